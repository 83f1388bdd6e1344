#pragma once
// Application-wide services: messages to the user and MEL commands.

#include <maya/MDoubleArray.h>
#include <maya/MIntArray.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

class OPENMAYA_EXPORT MGlobal {
public:
  enum MMayaState { kBatch, kInteractive, kLibraryApp, kBaseUIMode };
  static MMayaState mayaState(MStatus* status = nullptr);
  // "// Error: text" on standard error (and recorded for tests).
  static void displayError(const MString& text);
  // "// Warning: text" on standard error (and recorded for tests).
  static void displayWarning(const MString& text);
  // The text on standard error (and recorded for tests).
  static void displayInfo(const MString& text);

  // The MEL commands the host understands: "xform -q -ws -m NODE" (16 numbers)
  // and "xform -ws -m m0 .. m15 NODE". Anything else fails with kFailure and
  // an error naming the command.
  static MStatus executeCommand(const MString& command, bool displayEnabled = false, bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MDoubleArray& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MIntArray& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MString& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MStringArray& result, bool displayEnabled = false,
                                bool undoEnabled = false);
};
