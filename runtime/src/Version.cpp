#include "kv/Version.h"

uint32_t KvGetRuntimeVersion() { return kKvRuntimeVersion; }
uint32_t KvGetLicenseeVersion() { return kKvLicenseeVersion; }
KvString KvGetLicenseeName() { return KvString(kKvLicenseeName); }
KvString KvGetLicenseeProjectName() { return KvString(kKvLicenseeProjectName); }
