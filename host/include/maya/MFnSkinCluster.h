#pragma once
// Function set for skin clusters.

#include <maya/MDagPathArray.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnGeometryFilter.h>
#include <maya/MIntArray.h>

class OPENMAYA_EXPORT MFnSkinCluster : public MFnGeometryFilter {
public:
  MFnSkinCluster() = default;
  MFnSkinCluster(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kSkinClusterFilter; }

  // Influences: the nodes connected to matrix[j], in ascending logical index j.
  unsigned int influenceObjects(MDagPathArray& paths, MStatus* status = nullptr) const;
  // The logical index j of an influence's matrix[j].
  unsigned int indexForInfluenceObject(const MDagPath& influence, MStatus* status = nullptr) const;
  // For each vertex of `components` (all vertices for a null object), one
  // weight per influence in influenceObjects order; an absent weight is 0.
  MStatus getWeights(const MDagPath& shape, const MObject& components, MDoubleArray& weights,
                     unsigned int& influenceCount) const;
  // Weights of one influence (by its position in influenceObjects).
  MStatus getWeights(const MDagPath& shape, const MObject& components, unsigned int influenceIndex,
                     MDoubleArray& weights) const;
};
