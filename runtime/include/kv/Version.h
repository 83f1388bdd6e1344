// Build-time constants of the runtime, written into every archive header.
#pragma once

#include <cstdint>

#include "kv/String.h"

// Written as the archive version of every archive; the highest version a reader
// accepts. Frozen: changing it changes every file written.
inline constexpr uint32_t kKvRuntimeVersion = 1710;
// Written into every archive header. Frozen.
inline constexpr uint32_t kKvLicenseeVersion = 1000;
// The licensee texts of every archive header. Frozen.
inline constexpr char kKvLicenseeName[] = "Tarnwell, Inc.";
inline constexpr char kKvLicenseeProjectName[] = "Kavrel Rendering Archive";

// Archive versions that older readers distinguish: below 1600 there is no table
// block; below 1700 counts and strings carry a legacy u16 prefix and class versions
// are stored in-line.
inline constexpr uint32_t kKvArchiveVersionTableBlock = 1600;
inline constexpr uint32_t kKvArchiveVersionClassTable = 1700;

uint32_t KvGetRuntimeVersion();
uint32_t KvGetLicenseeVersion();
KvString KvGetLicenseeName();
KvString KvGetLicenseeProjectName();
