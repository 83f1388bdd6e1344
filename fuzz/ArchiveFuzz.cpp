// Loads arbitrary bytes as an archive: any input must be refused or loaded without
// a crash, an over-read, a leak or a hang.
//
//   cmake --preset fuzz && cmake --build --preset fuzz --target kv_fuzz_archive
//   build/fuzz/bin/kv_fuzz_archive -max_len=4194304 -timeout=10 -rss_limit_mb=2048 \
//       -max_total_time=600 NEW_CORPUS_DIR SEED_DIR
// Inputs of a few megabytes reach the counts and tables whose size a file claims;
// the time limit catches loads that grow faster than the file.
#include <cstddef>
#include <cstdint>

#include "kv/Archive.h"
#include "kv/Runtime.h"
#if defined(KV_FUZZ_WITH_SCENE)
#include "kv/Scene.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  KvRuntimeStartupDefault();
#if defined(KV_FUZZ_WITH_SCENE)
  RegisterSceneClasses();
#endif
  {
    KvArchive archive(KvArchiveStoreMemory::Create(data, static_cast<uint32_t>(size)), KvArchive::kModeLoad, 0);
    if (archive.Open()) {
      KvArray<KvObject*> unowned;
      KvObject* root = archive.LoadRoot(nullptr, unowned);
      delete root;
      for (KvObject* object : unowned) delete object;
    }
    archive.Close();
  }
#if defined(KV_FUZZ_WITH_SCENE)
  ShutDownSceneClasses();
#endif
  KvRuntimeShutdown();
  return 0;
}
