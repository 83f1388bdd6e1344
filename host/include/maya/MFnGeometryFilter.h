#pragma once
// Function set for deformers (skinCluster, blendShape, tweak, ...).

#include <vector>

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObjectArray.h>

class OPENMAYA_EXPORT MFnGeometryFilter : public MFnDependencyNode {
public:
  MFnGeometryFilter() = default;
  MFnGeometryFilter(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kGeometryFilt; }

  // The logical index k of the output geometry og[k] that feeds the shape,
  // directly or through further deformers. Fails when it feeds no such shape.
  unsigned int indexForOutputShape(const MObject& shape, MStatus* status = nullptr) const;
  // The path of the shape fed by og[index].
  MStatus getPathAtIndex(unsigned int index, MDagPath& path) const;
  MObject outputShapeAtIndex(unsigned int index, MStatus* status = nullptr) const;
  MObject inputShapeAtIndex(unsigned int index, MStatus* status = nullptr) const;
  MStatus getOutputGeometry(MObjectArray& shapes) const;
  MStatus getInputGeometry(MObjectArray& shapes) const;
  unsigned int numOutputConnections(MStatus* status = nullptr) const;
  unsigned int indexForOutputConnection(unsigned int connectionIndex, MStatus* status = nullptr) const;
  float envelope(MStatus* status = nullptr) const;
  MStatus setEnvelope(float envelope);

protected:
  // Logical indices of og[] elements that feed something, ascending.
  std::vector<int> outputIndices() const;
};
