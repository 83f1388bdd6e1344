// Linked into every test binary. Whether ctest or a person runs it, a binary keeps
// its temporary files in its own build tree's test-tmp directory and finds the
// sources that tree was built from: test runs of other trees on the same machine
// never share (or delete) each other's files.
#include <cstdlib>

namespace {

[[maybe_unused]] const bool kEnvironmentSet = [] {
  setenv("KV_SOURCE_DIR", KV_TEST_SOURCE_DIR, 1);
  setenv("TMPDIR", KV_TEST_TMPDIR, 1);       // the tests' own temporary paths
  setenv("TEST_TMPDIR", KV_TEST_TMPDIR, 1);  // ::testing::TempDir()
  return true;
}();

}  // namespace
