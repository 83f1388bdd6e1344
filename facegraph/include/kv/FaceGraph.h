// The face graph: a directed graph of named nodes, each with a value range, a list
// of input links and user properties. Links name the node they read from and the
// link function that maps its value; link-up after loading turns the names into
// node pointers and rebuilds every node's outputs. The graph owns its nodes and
// indexes them by name (2048 buckets) and by node class (type groups).
//
// Nothing here evaluates a graph: the classes are stored data.
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/String.h"
#include "kv/StringMap.h"

class KvFaceGraphNode;

// A named bone transform held by bone-pose nodes (and by an actor's master bone list).
class KvBone : public KvNamedObject {
  KV_DECLARE_CLASS(KvBone)

  KvBone() = default;
  explicit KvBone(const KvName& boneName) : KvNamedObject(boneName) {}
  void Serialize(KvArchive& archive) override;

  float position[3] = {0.0f, 0.0f, 0.0f};
  // Stored first component first; (1, 0, 0, 0) is the identity.
  float rotation[4] = {1.0f, 0.0f, 0.0f, 0.0f};
  float scale[3] = {0.0f, 0.0f, 0.0f};
};

// A named value attached to a node. Kind 3 properties hold a string value in
// element 0 of `strings`; the other kinds' meanings belong to the tools that set them.
class KvFaceGraphNodeUserProperty : public KvNamedObject {
  KV_DECLARE_CLASS(KvFaceGraphNodeUserProperty)

  static constexpr uint32_t kStringKind = 3;

  KvFaceGraphNodeUserProperty() = default;
  // Kind 3 starts with one empty string.
  KvFaceGraphNodeUserProperty(const KvName& propertyName, uint32_t propertyKind);
  void Serialize(KvArchive& archive) override;

  uint32_t GetKind() const { return kind_; }
  // Replaces element 0 of the strings for kind 3; does nothing for other kinds.
  void SetStringValue(const KvString& value);
  // Element 0 of the strings, or an empty string when there is none.
  const KvString& GetStringValue() const;
  const KvArray<KvString>& GetStrings() const { return strings_; }
  // The two value words; `index` is 0 or 1.
  uint32_t GetValue(uint32_t index) const { return values_[index != 0 ? 1 : 0]; }
  void SetValue(uint32_t index, uint32_t value) { values_[index != 0 ? 1 : 0] = value; }
  // Takes name, kind, value words and strings of `other`.
  void CopyFrom(const KvFaceGraphNodeUserProperty& other);

 private:
  uint32_t kind_ = 0;
  uint32_t values_[2] = {0, 0};
  KvArray<KvString> strings_;
};

// One input of a node: the node read from (by name, resolved by link-up) and the
// link function with its parameter values.
class KvFaceGraphNodeLink : public KvObject {
  KV_DECLARE_CLASS(KvFaceGraphNodeLink)

  KvFaceGraphNodeLink() = default;
  // A link reading `input`'s value through the function `fnName`, with the
  // function's default parameters when it is known.
  KvFaceGraphNodeLink(KvFaceGraphNode* input, const KvName& fnName);
  // Also sets the cached type number from the link-function table; a function of
  // type 0 (withdrawn) empties the parameters.
  void Serialize(KvArchive& archive) override;

  void* userData = nullptr;
  KvName inputName;
  KvFaceGraphNode* inputNode = nullptr;  // not owned; set by link-up
  KvName linkFnName;
  int32_t linkFnType = -1;
  KvArray<float> parameters;
};

// The abstract node. Concrete classes differ in their flag word and in which input
// links they accept.
class KvFaceGraphNode : public KvNamedObject {
  KV_DECLARE_CLASS(KvFaceGraphNode)

  ~KvFaceGraphNode() override = default;
  void Serialize(KvArchive& archive) override;

  // A new node of this node's class (its default construction) with this node's data
  // copied in; null when the class cannot be instantiated. The caller owns it.
  virtual KvFaceGraphNode* Clone() const;
  // `target` takes the name, range and input operation, and each of its user
  // properties that shares a name with one of this node's takes that property's
  // content. Null does nothing.
  virtual void CopyDataInto(KvFaceGraphNode* target) const;
  // Appends the link; returns whether it was accepted.
  virtual bool AddInputLink(const KvFaceGraphNodeLink& link);

  // Appends unless a property of that name exists; returns whether it did.
  bool AddUserProperty(const KvFaceGraphNodeUserProperty& property);
  // Index of the property of that name, or -1.
  int32_t FindUserProperty(const KvName& propertyName) const;

  float GetMinValue() const { return minValue_; }
  float GetMaxValue() const { return maxValue_; }
  void SetRange(float minValue, float maxValue) {
    minValue_ = minValue;
    maxValue_ = maxValue;
  }
  uint32_t GetInputOperation() const { return inputOperation_; }
  void SetInputOperation(uint32_t operation) { inputOperation_ = operation; }
  uint32_t GetFlags() const { return flags_; }
  const KvArray<KvFaceGraphNodeLink>& GetInputLinks() const { return inputLinks_; }
  KvArray<KvFaceGraphNodeLink>& GetInputLinks() { return inputLinks_; }
  // Nodes that read this one (not owned); rebuilt by link-up.
  const KvArray<KvFaceGraphNode*>& GetOutputs() const { return outputs_; }
  const KvArray<KvFaceGraphNodeUserProperty>& GetUserProperties() const { return userProperties_; }
  KvArray<KvFaceGraphNodeUserProperty>& GetUserProperties() { return userProperties_; }

  void* userData = nullptr;
  uint32_t workingWord = 0;  // scratch for tools; neither copied nor stored

 protected:
  explicit KvFaceGraphNode(uint32_t flags = 1) : flags_(flags) {}
  KvFaceGraphNode(const KvFaceGraphNode&) = delete;
  KvFaceGraphNode& operator=(const KvFaceGraphNode&) = delete;

 private:
  friend class KvFaceGraph;

  float minValue_ = 0.0f;
  float maxValue_ = 1.0f;
  uint32_t inputOperation_ = 0;
  KvArray<KvFaceGraphNodeLink> inputLinks_;
  KvArray<KvFaceGraphNode*> outputs_;
  uint32_t flags_;
  KvArray<KvFaceGraphNodeUserProperty> userProperties_;
};

class KvBonePoseNode : public KvFaceGraphNode {
  KV_DECLARE_CLASS(KvBonePoseNode)

  KvBonePoseNode() : KvFaceGraphNode(0) {}
  void Serialize(KvArchive& archive) override;
  // Also hands the bones over when `target` is a bone-pose node.
  void CopyDataInto(KvFaceGraphNode* target) const override;

  KvArray<KvBone> bones;
};

class KvCombinerNode : public KvFaceGraphNode {
  KV_DECLARE_CLASS(KvCombinerNode)

  KvCombinerNode() : KvFaceGraphNode(1) {}
  void Serialize(KvArchive& archive) override;
};

// Reads the current time: it accepts no input link.
class KvCurrentTimeNode : public KvFaceGraphNode {
  KV_DECLARE_CLASS(KvCurrentTimeNode)

  KvCurrentTimeNode() : KvFaceGraphNode(1) {}
  void Serialize(KvArchive& archive) override;
  bool AddInputLink(const KvFaceGraphNodeLink& link) override;
};

// The change of one input: it accepts a single link, and takes a range symmetric
// around zero as wide as its input's range.
class KvDeltaNode : public KvFaceGraphNode {
  KV_DECLARE_CLASS(KvDeltaNode)

  KvDeltaNode() : KvFaceGraphNode(1) {}
  void Serialize(KvArchive& archive) override;
  bool AddInputLink(const KvFaceGraphNodeLink& link) override;
};

class KvGenericTargetNode : public KvFaceGraphNode {
  KV_DECLARE_CLASS(KvGenericTargetNode)

  KvGenericTargetNode() : KvFaceGraphNode(0) {}
  void Serialize(KvArchive& archive) override;

 protected:
  explicit KvGenericTargetNode(uint32_t flags) : KvFaceGraphNode(flags) {}
};

// A generic target carrying the kind-3 property "Morph Target Name" ("Target").
class KvMorphTargetNode : public KvGenericTargetNode {
  KV_DECLARE_CLASS(KvMorphTargetNode)

  KvMorphTargetNode();
  void Serialize(KvArchive& archive) override;
};

// The nodes of one type group: a node class and the nodes of exactly that class.
struct KvFaceGraphTypeGroup {
  KvClass* nodeClass = nullptr;
  KvArray<KvFaceGraphNode*> nodes;  // not owned
};

class KvFaceGraph : public KvObject {
  KV_DECLARE_CLASS(KvFaceGraph)

  using NameIndex = KvStringMap<KvFaceGraphNode*, 2048>;

  KvFaceGraph() = default;
  KvFaceGraph(const KvFaceGraph&) = delete;
  KvFaceGraph& operator=(const KvFaceGraph&) = delete;
  ~KvFaceGraph() override;
  // Loading replaces the whole graph and links it up.
  void Serialize(KvArchive& archive) override;

  // Takes ownership of `node` (null is ignored; it must not belong to another
  // graph): appends it, indexes it by name (a name already present keeps its first
  // node) and enters it in its type group. Links are resolved by LinkUp.
  void AddNode(KvFaceGraphNode* node);
  // Destroys every node, empties the name index and releases the type groups.
  void Clear();
  // Resolves every link's input by name and rebuilds outputs and type groups. With
  // `clearFirst` outputs and type groups are rebuilt from nothing.
  void LinkUp(bool clearFirst);

  uint32_t GetNumNodes() const { return nodes_.Size(); }
  // `index` must be below GetNumNodes.
  KvFaceGraphNode* GetNode(uint32_t index) const { return nodes_[index]; }
  // The first node of that name, or null.
  KvFaceGraphNode* FindNode(const KvName& nodeName) const;
  KvFaceGraphNode* FindNode(const char* text, uint32_t length) const;
  // Index of `node` in the node array, or -1.
  int32_t IndexOfNode(const KvFaceGraphNode* node) const;
  const KvArray<KvFaceGraphTypeGroup>& GetTypeGroups() const { return typeGroups_; }
  // The name index, or null when the graph has none.
  const NameIndex* GetNameIndex() const { return nameIndex_; }

 private:
  void EnsureNameIndex();
  KvFaceGraphTypeGroup& GroupFor(KvClass* nodeClass);

  KvArray<KvFaceGraphNode*> nodes_;
  NameIndex* nameIndex_ = nullptr;
  KvArray<KvFaceGraphTypeGroup> typeGroups_;
};
