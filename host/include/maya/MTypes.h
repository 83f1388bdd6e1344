#pragma once
// Basic declarations shared by every Maya API header of the stand-in host.

#include <cstddef>

// Classes of the host library keep default visibility so that plug-ins built
// with hidden visibility still resolve them from the shared library.
#ifndef OPENMAYA_EXPORT
#define OPENMAYA_EXPORT __attribute__((visibility("default")))
#endif
#ifndef OPENMAYAANIM_EXPORT
#define OPENMAYAANIM_EXPORT OPENMAYA_EXPORT
#endif
#ifndef OPENMAYAUI_EXPORT
#define OPENMAYAUI_EXPORT OPENMAYA_EXPORT
#endif
#ifndef OPENMAYARENDER_EXPORT
#define OPENMAYARENDER_EXPORT OPENMAYA_EXPORT
#endif

#define MAYA_API_VERSION 800

// Coordinate spaces for queries and edits.
class OPENMAYA_EXPORT MSpace {
public:
  enum Space {
    kInvalid = 0,
    kTransform = 1,
    kPreTransform = 2,
    kPostTransform = 3,
    kWorld = 4,
    kLast = 5,
    kObject = kPreTransform
  };
};

// Creates an instance of a plug-in class (a translator, a node, a command).
typedef void* (*MCreatorFunction)();
typedef int int2[2];

class MStatus;
class MString;
class MObject;
class MDagPath;
class MPlug;
class MMatrix;
class MPoint;
class MVector;
