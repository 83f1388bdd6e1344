#pragma once
// Switches that tests use to drive the failure paths of plug-in code.

#include <maya/MTypes.h>

namespace kvhost {

// The next MItDag constructed reports kFailure (and is done at once).
OPENMAYA_EXPORT void failNextDagIterator();
// The next MItDependencyNodes constructed reports kFailure (and is done at once).
OPENMAYA_EXPORT void failNextDependencyNodeIterator();
// Clears both switches.
OPENMAYA_EXPORT void clearTestSwitches();

}  // namespace kvhost
