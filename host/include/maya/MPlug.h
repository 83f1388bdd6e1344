#pragma once
// A plug: an attribute of a node, with logical indices for its multi
// attributes ("wl[3].w[2]").

#include <memory>
#include <vector>
#include <maya/MDGContext.h>
#include <maya/MObject.h>
#include <maya/MString.h>

class MPlugArray;
namespace kvhost {
class Node;
struct Attribute;
}

class OPENMAYA_EXPORT MPlug {
public:
  MPlug() = default;
  MPlug(const MObject& node, const MObject& attribute);
  MPlug(const MPlug&) = default;
  MPlug& operator=(const MPlug&) = default;

  bool isNull(MStatus* status = nullptr) const;
  MObject node(MStatus* status = nullptr) const;
  MObject attribute(MStatus* status = nullptr) const;
  // "node.attr[1].child" with short names (partialName) or long names (name).
  MString name(MStatus* status = nullptr) const;
  MString partialName(bool includeNodeName = false, bool includeNonMandatoryIndices = false,
                      bool includeInstancedIndices = false, bool useAlias = false, bool useFullAttributePath = false,
                      bool useLongNames = false, MStatus* status = nullptr) const;
  MString info(MStatus* status = nullptr) const { return name(status); }

  bool isArray(MStatus* status = nullptr) const;
  bool isElement(MStatus* status = nullptr) const;
  bool isCompound(MStatus* status = nullptr) const;
  bool isChild(MStatus* status = nullptr) const;
  bool isConnected(MStatus* status = nullptr) const;
  bool isDestination(MStatus* status = nullptr) const;
  bool isSource(MStatus* status = nullptr) const;
  unsigned int logicalIndex(MStatus* status = nullptr) const;
  // Existing elements of an array plug, in ascending logical index.
  unsigned int numElements(MStatus* status = nullptr) const;
  unsigned int evaluateNumElements(MStatus* status = nullptr) const { return numElements(status); }
  unsigned int getExistingArrayAttributeIndices(class MIntArray& indices, MStatus* status = nullptr) const;
  MPlug elementByLogicalIndex(unsigned int index, MStatus* status = nullptr) const;
  MPlug elementByPhysicalIndex(unsigned int index, MStatus* status = nullptr) const;
  MPlug operator[](unsigned int physicalIndex) const { return elementByPhysicalIndex(physicalIndex); }
  MStatus selectAncestorLogicalIndex(unsigned int index, const MObject& attribute = MObject::kNullObj);
  unsigned int numChildren(MStatus* status = nullptr) const;
  MPlug child(unsigned int index, MStatus* status = nullptr) const;
  MPlug child(const MObject& attribute, MStatus* status = nullptr) const;
  MPlug parent(MStatus* status = nullptr) const;
  MPlug array(MStatus* status = nullptr) const;

  // Plugs connected to this one: its source when asDst, its destinations when asSrc.
  bool connectedTo(MPlugArray& plugs, bool asDst, bool asSrc, MStatus* status = nullptr) const;

  MStatus getValue(MObject& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(MString& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(double& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(float& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(int& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(short& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(bool& value, const MDGContext& ctx = MDGContext::fsNormal) const;
  MStatus getValue(char& value, const MDGContext& ctx = MDGContext::fsNormal) const;

  MStatus setValue(const MObject& value);
  MStatus setValue(const MString& value);
  MStatus setValue(const char* value);
  MStatus setValue(double value);
  MStatus setValue(float value);
  MStatus setValue(int value);
  MStatus setValue(short value);
  MStatus setValue(bool value);
  MStatus setValue(char value);

  // Values in the normal context, or in a given one (no default for the context).
  double asDouble(MStatus* status = nullptr) const { return asDouble(MDGContext::fsNormal, status); }
  double asDouble(const MDGContext& ctx, MStatus* status = nullptr) const;
  float asFloat(MStatus* status = nullptr) const { return asFloat(MDGContext::fsNormal, status); }
  float asFloat(const MDGContext& ctx, MStatus* status = nullptr) const;
  int asInt(MStatus* status = nullptr) const { return asInt(MDGContext::fsNormal, status); }
  int asInt(const MDGContext& ctx, MStatus* status = nullptr) const;
  short asShort(MStatus* status = nullptr) const { return asShort(MDGContext::fsNormal, status); }
  short asShort(const MDGContext& ctx, MStatus* status = nullptr) const;
  bool asBool(MStatus* status = nullptr) const { return asBool(MDGContext::fsNormal, status); }
  bool asBool(const MDGContext& ctx, MStatus* status = nullptr) const;
  MString asString(MStatus* status = nullptr) const { return asString(MDGContext::fsNormal, status); }
  MString asString(const MDGContext& ctx, MStatus* status = nullptr) const;
  MObject asMObject(MStatus* status = nullptr) const { return asMObject(MDGContext::fsNormal, status); }
  MObject asMObject(const MDGContext& ctx, MStatus* status = nullptr) const;

  bool operator==(const MPlug& other) const;
  bool operator!=(const MPlug& other) const { return !(*this == other); }

  std::shared_ptr<kvhost::Node> fNode;
  const kvhost::Attribute* fAttr = nullptr;
  // One entry per attribute from the top-level attribute down to fAttr: the
  // logical index of a multi, -1 where not a multi or not chosen.
  std::vector<int> fIndices;
};
