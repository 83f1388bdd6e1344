#pragma once
// Function set for any dependency node: name, type and plugs.

#include <maya/MFnBase.h>
#include <maya/MPlug.h>
#include <maya/MString.h>

class MPlugArray;

class OPENMAYA_EXPORT MFnDependencyNode : public MFnBase {
public:
  MFnDependencyNode() = default;
  MFnDependencyNode(const MObject& object, MStatus* status = nullptr);
  MFn::Type type() const override { return MFn::kDependencyNode; }

  // Creates a node of the given type (see kvhost::Scene::createNode).
  MObject create(const MString& type, MStatus* status = nullptr);
  MObject create(const MString& type, const MString& name, MStatus* status = nullptr);
  MString name(MStatus* status = nullptr) const;
  MString setName(const MString& name, bool createNamespace = false, MStatus* status = nullptr);
  MString typeName(MStatus* status = nullptr) const;
  // The plug of an attribute by long or short name; fails with kInvalidParameter
  // when the node has no such attribute.
  MPlug findPlug(const MString& attribute, MStatus* status = nullptr) const;
  MPlug findPlug(const MString& attribute, bool wantNetworkedPlug, MStatus* status = nullptr) const;
  MPlug findPlug(const MObject& attribute, MStatus* status = nullptr) const;
  MPlug findPlug(const MObject& attribute, bool wantNetworkedPlug, MStatus* status = nullptr) const;
  MObject attribute(const MString& name, MStatus* status = nullptr) const;
  unsigned int attributeCount(MStatus* status = nullptr) const;
  MObject attribute(unsigned int index, MStatus* status = nullptr) const;
  bool hasAttribute(const MString& name, MStatus* status = nullptr) const;
  // Every connected plug of the node.
  MStatus getConnections(MPlugArray& plugs) const;
  bool isDefaultNode(MStatus* status = nullptr) const;
};
