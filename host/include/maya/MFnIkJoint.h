#pragma once
// Function set for joints.

#include <maya/MFnTransform.h>

class OPENMAYA_EXPORT MFnIkJoint : public MFnTransform {
public:
  MFnIkJoint() = default;
  MFnIkJoint(const MObject& object, MStatus* status = nullptr);
  MFnIkJoint(const MDagPath& path, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kJoint; }

  MStatus getOrientation(MEulerRotation& orientation) const;
  MStatus getOrientation(MQuaternion& orientation) const;
  MStatus setOrientation(const MEulerRotation& orientation);
  MStatus setOrientation(const MQuaternion& orientation);
  MStatus getScaleOrientation(MQuaternion& orientation) const;
  MStatus setScaleOrientation(const MQuaternion& orientation);
  MStatus getSegmentScale(double scale[3]) const;
  MStatus setSegmentScale(const double scale[3]);
};
