// Start-up and shut-down of the object runtime.
//
// Start-up builds the runtime's globals in a fixed order (memory, class registry,
// names, the 22 runtime classes, link functions, archive registry, actor list);
// shut-down takes them down in its own fixed order (actor list, archive registry,
// link functions, names, class registry, memory) and returns every global to its
// not-started value, so the runtime can start again in the same process.
//
// Start-ups are counted: while several users hold the runtime (two translator
// objects alive at once), only the last shut-down takes it down, and a nested
// start-up changes nothing (it does not re-apply a memory configuration while
// blocks of the current one are in use).
#pragma once

#include <cstdint>

#include "kv/Memory.h"
#include "kv/Version.h"

void KvRuntimeStartup(const KvMemoryConfig& config);
// Start-up with a default KvMemoryConfig: operator new / delete, no pools.
void KvRuntimeStartupDefault();
void KvRuntimeShutdown();

// Number of start-ups not yet matched by a shut-down.
uint32_t KvRuntimeUserCount();
