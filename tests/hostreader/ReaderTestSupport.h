#pragma once
// Matrices of the scene a reader test loaded, as the host's API gives them.

#include <gtest/gtest.h>

#include <maya/MDoubleArray.h>
#include <maya/MFnMatrixData.h>
#include <maya/MGlobal.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>

inline MMatrix matrixAt(const MPlug& plug) {
  MObject data = plug.asMObject();
  return MFnMatrixData(data).matrix();
}

// The world matrix "xform -q -ws -m" gives for a node name or path.
inline MMatrix worldMatrix(const MString& name) {
  MDoubleArray m;
  EXPECT_EQ(MGlobal::executeCommand("xform -q -ws -m " + name, m), MS::kSuccess) << name.asChar();
  MMatrix out;
  if (m.length() == 16)
    for (unsigned i = 0; i < 16; ++i) out[i / 4][i % 4] = m[i];
  return out;
}
