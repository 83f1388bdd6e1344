#pragma once
// Function set for blend-shape deformers.

#include <maya/MFnGeometryFilter.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>

class OPENMAYA_EXPORT MFnBlendShapeDeformer : public MFnGeometryFilter {
public:
  MFnBlendShapeDeformer() = default;
  MFnBlendShapeDeformer(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kBlendShape; }

  // The deformed (output) shapes in outputGeometry order.
  MStatus getBaseObjects(MObjectArray& objects) const;
  // Logical indices of the weight[] elements.
  MStatus weightIndexList(MIntArray& indexList) const;
  unsigned int numWeights(MStatus* status = nullptr) const;
  float weight(unsigned int index, MStatus* status = nullptr) const;
  MStatus setWeight(unsigned int index, float weight);
  // Target shapes connected to the base object's target group `weightIndex`,
  // in target item order. Fails when `baseObject` is not deformed by this node,
  // and when no target shape is connected (a target deleted from the scene,
  // kept only as stored deltas).
  MStatus getTargets(MObject baseObject, int weightIndex, MObjectArray& targetObjects) const;
};
