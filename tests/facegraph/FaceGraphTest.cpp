// Face graphs: node defaults and operations, link-up, and the stored form, from a
// golden stream and from hand-built streams of older and hostile graphs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/FaceGraph.h"
#include "kv/LinkFunctions.h"
#include "kv/Runtime.h"

namespace {

using kvtest::StreamBuilder;

class FaceGraphTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

template <typename T>
T* MakeNode(const char* name, float minValue = 0.0f, float maxValue = 1.0f) {
  T* node = new T;
  node->SetName(KvName(name));
  node->SetRange(minValue, maxValue);
  return node;
}

TEST_F(FaceGraphTest, NodeDefaultsAndUserProperties) {
  KvBonePoseNode bonePose;
  KvCombinerNode combiner;
  KvCurrentTimeNode currentTime;
  KvDeltaNode delta;
  KvGenericTargetNode generic;
  KvMorphTargetNode morph;
  const std::pair<KvFaceGraphNode*, uint32_t> rows[] = {{&bonePose, 0}, {&combiner, 1}, {&currentTime, 1},
                                                        {&delta, 1},    {&generic, 0},  {&morph, 1}};
  for (const auto& [node, flags] : rows) {
    SCOPED_TRACE(node->ClassOf()->GetName().GetAsCString());
    EXPECT_EQ(node->GetFlags(), flags);
    EXPECT_EQ(node->GetMinValue(), 0.0f);
    EXPECT_EQ(node->GetMaxValue(), 1.0f);
    EXPECT_EQ(node->GetInputOperation(), 0u);
  }
  ASSERT_EQ(morph.GetUserProperties().Size(), 1u);
  const KvFaceGraphNodeUserProperty& property = morph.GetUserProperties()[0];
  EXPECT_STREQ(property.GetName().GetAsCString(), "Morph Target Name");
  EXPECT_EQ(property.GetKind(), 3u);
  EXPECT_STREQ(property.GetStringValue().View(), "Target");
  EXPECT_TRUE(generic.GetUserProperties().Empty());
  EXPECT_EQ(KvFaceGraphNodeLink().linkFnType, -1);
  EXPECT_EQ(KvFindClass(KvName("KvFaceGraphNode"))->CreateObject(), nullptr) << "the node base is abstract";

  // Only kind 3 takes strings; names are unique within a node.
  KvFaceGraphNodeUserProperty text(KvName("Label"), 3);
  text.SetStringValue(KvString("brow"));
  EXPECT_EQ(text.GetStrings().Size(), 1u) << "replaces element 0";
  KvFaceGraphNodeUserProperty number(KvName("Weight"), 1);
  number.SetStringValue(KvString("ignored"));
  EXPECT_TRUE(number.GetStrings().Empty());
  EXPECT_TRUE(combiner.AddUserProperty(text));
  EXPECT_TRUE(combiner.AddUserProperty(number));
  EXPECT_FALSE(combiner.AddUserProperty(KvFaceGraphNodeUserProperty(KvName("Label"), 0)));
  EXPECT_EQ(combiner.FindUserProperty(KvName("Weight")), 1);
  EXPECT_EQ(combiner.FindUserProperty(KvName("weight")), -1);
  EXPECT_STREQ(combiner.GetUserProperties()[0].GetStringValue().View(), "brow");
}

TEST_F(FaceGraphTest, DeltaTakesOneLinkAndCurrentTimeNone) {
  KvCombinerNode input;
  input.SetRange(-0.5f, 2.0f);
  KvDeltaNode delta;
  EXPECT_TRUE(delta.AddInputLink(KvFaceGraphNodeLink(&input, KvName("linear"))));
  EXPECT_EQ(delta.GetMaxValue(), 2.5f);
  EXPECT_EQ(delta.GetMinValue(), -2.5f);
  EXPECT_FALSE(delta.AddInputLink(KvFaceGraphNodeLink(&input, KvName("linear"))));
  EXPECT_EQ(delta.GetInputLinks().Size(), 1u);

  KvDeltaNode unresolved;
  unresolved.SetRange(0.25f, 0.75f);
  KvFaceGraphNodeLink byName;
  byName.inputName = KvName("Elsewhere");
  EXPECT_TRUE(unresolved.AddInputLink(byName));
  EXPECT_EQ(unresolved.GetMinValue(), 0.25f) << "no input node, no range change";

  KvCurrentTimeNode time;
  EXPECT_FALSE(time.AddInputLink(KvFaceGraphNodeLink(&input, KvName("linear"))));
  EXPECT_TRUE(time.GetInputLinks().Empty());
}

TEST_F(FaceGraphTest, CloneAndCopyDataCarryRangeMatchingPropertiesAndBones) {
  KvMorphTargetNode source;
  source.SetName(KvName("Blink"));
  source.SetRange(-1.0f, 3.0f);
  source.SetInputOperation(2);
  source.GetUserProperties()[0].SetStringValue(KvString("EyesShut"));
  source.AddUserProperty(KvFaceGraphNodeUserProperty(KvName("Extra"), 1));
  source.AddInputLink(KvFaceGraphNodeLink(&source, KvName("linear")));

  KvFaceGraphNode* clone = source.Clone();
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->ClassOf(), KvMorphTargetNode::StaticClass());
  EXPECT_TRUE(clone->GetName() == source.GetName());
  EXPECT_EQ(clone->GetMinValue(), -1.0f);
  EXPECT_EQ(clone->GetMaxValue(), 3.0f);
  EXPECT_EQ(clone->GetInputOperation(), 2u);
  ASSERT_EQ(clone->GetUserProperties().Size(), 1u) << "only properties the target already has are taken";
  EXPECT_STREQ(clone->GetUserProperties()[0].GetStringValue().View(), "EyesShut");
  EXPECT_TRUE(clone->GetInputLinks().Empty()) << "links are not node data";
  delete clone;

  KvBonePoseNode pose;
  pose.bones.PushBack(KvBone(KvName("jaw")));
  pose.bones[0].position[1] = 4.0f;
  KvBonePoseNode poseTarget;
  KvCombinerNode combinerTarget;
  pose.CopyDataInto(&poseTarget);
  pose.CopyDataInto(&combinerTarget);
  pose.CopyDataInto(nullptr);
  ASSERT_EQ(poseTarget.bones.Size(), 1u);
  EXPECT_EQ(poseTarget.bones[0].position[1], 4.0f);
}

// A graph with every node class, links through live, withdrawn and unknown
// functions, a link to a missing node and two nodes of one name.
KvFaceGraph* BuildGraph() {
  auto* graph = new KvFaceGraph;
  auto* jaw = MakeNode<KvBonePoseNode>("JawOpen", 0.0f, 2.0f);
  jaw->bones.PushBack(KvBone(KvName("jaw")));
  jaw->bones[0].position[0] = 1.5f;
  jaw->bones[0].rotation[2] = 0.5f;
  jaw->bones[0].scale[1] = 2.0f;
  auto* time = MakeNode<KvCurrentTimeNode>("Time");
  auto* delta = MakeNode<KvDeltaNode>("JawSpeed");
  auto* mix = MakeNode<KvCombinerNode>("Mix");
  mix->SetInputOperation(3);
  auto* smile = MakeNode<KvMorphTargetNode>("Smile");
  smile->GetUserProperties()[0].SetStringValue(KvString("smile_shape"));
  KvFaceGraphNodeUserProperty tags(KvName("Tags"), 2);
  tags.SetValue(0, 7);
  tags.SetValue(1, 9);
  smile->AddUserProperty(tags);
  auto* twin = MakeNode<KvGenericTargetNode>("Mix");  // same name as the combiner

  delta->AddInputLink(KvFaceGraphNodeLink(jaw, KvName("linear")));
  KvFaceGraphNodeLink clamped(jaw, KvName("clamped linear"));
  clamped.parameters[0] = 0.25f;
  clamped.linkFnType = 77;  // stale: saving looks the type up again
  mix->AddInputLink(clamped);
  mix->AddInputLink(KvFaceGraphNodeLink(delta, KvName("custom")));
  KvFaceGraphNodeLink unknownFn(time, KvName("wobble"));
  unknownFn.parameters.PushBack(6.0f);
  mix->AddInputLink(unknownFn);
  smile->AddInputLink(KvFaceGraphNodeLink(mix, KvName("corrective")));
  KvFaceGraphNodeLink missing;
  missing.inputName = KvName("NoSuchNode");
  missing.linkFnName = KvName("negate");
  smile->AddInputLink(missing);

  for (KvFaceGraphNode* node : {static_cast<KvFaceGraphNode*>(jaw), static_cast<KvFaceGraphNode*>(time),
                                static_cast<KvFaceGraphNode*>(delta), static_cast<KvFaceGraphNode*>(mix),
                                static_cast<KvFaceGraphNode*>(smile), static_cast<KvFaceGraphNode*>(twin)}) {
    graph->AddNode(node);
  }
  return graph;
}

// BuildGraph after link-up as current archives store it, every field distinct.
std::vector<uint8_t> GoldenGraph() {
  StreamBuilder s;
  auto node = [&s](uint32_t index, const char* cls, const char* name, float min, float max, uint32_t operation) {
    s.Object(index, cls, KvFindClass(KvName(cls))->GetSize()).NamedPart(name).Version("KvFaceGraphNode", 2);
    s.F32(min).F32(max).U32(operation);
  };
  auto link = [&s](const char* input, const char* fn, std::vector<float> parameters) {
    s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name(input).Name(fn).Version("KvLinkFnParameters", 1);
    s.Count(static_cast<uint32_t>(parameters.size()));
    for (float p : parameters) s.F32(p);
  };
  s.Object(0, "KvFaceGraph", KvFaceGraph::StaticClass()->GetSize()).ObjectPart().Version("KvFaceGraph", 1).Count(6);
  node(1, "KvBonePoseNode", "JawOpen", 0.0f, 2.0f, 0);
  s.Count(0).Count(0).U32(2).Version("KvBonePoseNode", 0).Count(1);
  s.NamedPart("jaw").Version("KvBone", 0);
  for (float f : {1.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.0f, 2.0f, 0.0f}) s.F32(f);
  node(2, "KvCurrentTimeNode", "Time", 0.0f, 1.0f, 0);
  s.Count(0).Count(0).U32(1).Version("KvCurrentTimeNode", 0);
  node(3, "KvDeltaNode", "JawSpeed", -2.0f, 2.0f, 0);
  s.Count(1);
  link("JawOpen", "linear", {1.0f, 0.0f});
  s.Count(0).U32(1).Version("KvDeltaNode", 0);
  node(4, "KvCombinerNode", "Mix", 0.0f, 1.0f, 3);
  s.Count(3);
  link("JawOpen", "clamped linear", {0.25f, 0.0f, 0.0f, 1.0f});
  link("JawSpeed", "custom", {});
  link("Time", "wobble", {6.0f});
  s.Count(0).U32(1).Version("KvCombinerNode", 0);
  node(5, "KvMorphTargetNode", "Smile", 0.0f, 1.0f, 0);
  s.Count(2);
  link("Mix", "corrective", {1.0f});
  link("", "negate", {});
  s.Count(2);
  s.NamedPart("Morph Target Name").Version("KvFaceGraphNodeUserProperty", 0).U32(3).U32(0).U32(0).Count(1);
  s.Str("smile_shape");
  s.NamedPart("Tags").U32(2).U32(7).U32(9).Count(0);
  s.U32(0).Version("KvGenericTargetNode", 0).Version("KvMorphTargetNode", 0);
  node(6, "KvGenericTargetNode", "Mix", 0.0f, 1.0f, 0);
  s.Count(0).Count(0).U32(0);
  s.U32(6);
  for (int i = 0; i < 6; ++i) s.U32(1);
  return s.Finish(7);
}

TEST_F(FaceGraphTest, GraphSavesToTheGoldenStreamLoadsBackLinkedUpAndFailsCutShort) {
  KvFaceGraph* original = BuildGraph();
  ASSERT_EQ(original->GetTypeGroups().Size(), 6u) << "AddNode fills the groups";
  original->LinkUp(true);  // stored output counts become reserved capacity
  const std::vector<uint8_t> golden = GoldenGraph();
  EXPECT_EQ(kvtest::SaveToBytes(original), golden);
  EXPECT_EQ(original->GetNode(3)->GetInputLinks()[0].linkFnType, 10) << "saving refreshed the stale type";
  delete original;

  std::string error;
  KvFaceGraph* graph = kvtest::Load<KvFaceGraph>(golden, &error);
  ASSERT_NE(graph, nullptr) << error;
  ASSERT_EQ(graph->GetNumNodes(), 6u);
  KvFaceGraphNode* jaw = graph->GetNode(0);
  KvFaceGraphNode* time = graph->GetNode(1);
  KvFaceGraphNode* delta = graph->GetNode(2);
  KvFaceGraphNode* mix = graph->GetNode(3);
  KvFaceGraphNode* smile = graph->GetNode(4);
  // Links: inputs resolved by name (a shared name reaches the first node), types
  // from the function table, withdrawn functions without parameters.
  ASSERT_EQ(mix->GetInputLinks().Size(), 3u);
  EXPECT_EQ(mix->GetInputLinks()[0].inputNode, jaw);
  EXPECT_EQ(mix->GetInputLinks()[0].linkFnType, 10);
  EXPECT_EQ(mix->GetInputLinks()[1].linkFnType, 0);
  EXPECT_EQ(mix->GetInputLinks()[2].linkFnType, -1);
  EXPECT_EQ(mix->GetInputLinks()[2].inputNode, time);
  EXPECT_EQ(smile->GetInputLinks()[0].inputNode, mix);
  EXPECT_EQ(smile->GetInputLinks()[1].inputNode, nullptr);
  EXPECT_EQ(graph->FindNode(KvName("Mix")), mix);
  EXPECT_EQ(graph->FindNode(KvName("NoSuchNode")), nullptr);
  EXPECT_EQ(graph->IndexOfNode(smile), 4);
  EXPECT_EQ(graph->IndexOfNode(nullptr), -1);
  ASSERT_EQ(jaw->GetOutputs().Size(), 2u);
  EXPECT_EQ(jaw->GetOutputs()[0], delta);
  EXPECT_EQ(jaw->GetOutputs()[1], mix);
  EXPECT_TRUE(graph->GetNode(5)->GetOutputs().Empty());
  const KvArray<KvFaceGraphTypeGroup>& groups = graph->GetTypeGroups();
  ASSERT_EQ(groups.Size(), 6u);
  for (uint32_t i = 0; i < groups.Size(); ++i) {
    EXPECT_EQ(groups[i].nodeClass, graph->GetNode(i)->ClassOf());
    ASSERT_EQ(groups[i].nodes.Size(), 1u);
    EXPECT_EQ(groups[i].nodes[0], graph->GetNode(i));
  }
  // The same graph by way of the other byte order.
  KvFaceGraph* big = kvtest::Load<KvFaceGraph>(kvtest::SaveToBytes(graph, 1));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(kvtest::SaveToBytes(big), golden);
  delete big;
  // A second link-up keeps each node once in its group.
  graph->LinkUp(false);
  for (const KvFaceGraphTypeGroup& group : graph->GetTypeGroups()) EXPECT_EQ(group.nodes.Size(), 1u);
  EXPECT_EQ(jaw->GetOutputs().Size(), 4u) << "without clearing, outputs are added again";
  delete graph;

  KvFaceGraph none;
  KvFaceGraph* empty = kvtest::Load<KvFaceGraph>(kvtest::SaveToBytes(&none));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->GetNameIndex(), nullptr) << "no nodes, no index";
  delete empty;
  for (size_t length = 0; length < golden.size(); ++length) {
    KvFaceGraph* cut =
        kvtest::Load<KvFaceGraph>(std::vector<uint8_t>(golden.begin(), golden.begin() + static_cast<long>(length)));
    EXPECT_EQ(cut, nullptr) << "length " << length;
    delete cut;
  }
}

// A graph of class version 0: nodes without user properties or output counts, and
// an old parameter block whose trailing object is read and destroyed.
std::vector<uint8_t> VersionZeroGraph(bool legacyArchive) {
  StreamBuilder s(legacyArchive);
  s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(2);
  s.Object(1, "KvCombinerNode").NamedPart("Jaw").Version("KvFaceGraphNode", 0);
  s.F32(-1.0f).F32(1.0f).U32(0).Count(0).Version("KvCombinerNode", 0);
  s.Object(2, "KvGenericTargetNode").NamedPart("Smile").Version("KvFaceGraphNode", 0);
  s.F32(0.0f).F32(1.0f).U32(1).Count(1);
  s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("Jaw").Name("linear");
  s.Version("KvLinkFnParameters", 0).Count(2).F32(2.0f).F32(0.5f);
  s.Object(3, "KvBone").NamedPart("Old").Version("KvBone", 0);
  for (int i = 0; i < 10; ++i) s.F32(0.0f);
  s.Version("KvGenericTargetNode", 0);
  return s.Finish(4);
}

TEST_F(FaceGraphTest, VersionZeroGraphLinksUpAndDropsOldParameterObjects) {
  for (bool legacyArchive : {false, true}) {
    SCOPED_TRACE(legacyArchive ? "archive 1699" : "archive 1710");
    std::string error;
    KvFaceGraph* graph = kvtest::Load<KvFaceGraph>(VersionZeroGraph(legacyArchive), &error);
    ASSERT_NE(graph, nullptr) << error;
    ASSERT_EQ(graph->GetNumNodes(), 2u);
    KvFaceGraphNode* jaw = graph->GetNode(0);
    KvFaceGraphNode* smile = graph->GetNode(1);
    EXPECT_EQ(jaw->GetMinValue(), -1.0f);
    EXPECT_EQ(smile->GetInputOperation(), 1u);
    ASSERT_EQ(smile->GetInputLinks().Size(), 1u);
    const KvFaceGraphNodeLink& link = smile->GetInputLinks()[0];
    EXPECT_EQ(link.inputNode, jaw);
    EXPECT_EQ(link.linkFnType, 1);
    ASSERT_EQ(link.parameters.Size(), 2u);
    EXPECT_EQ(link.parameters[1], 0.5f);
    ASSERT_EQ(jaw->GetOutputs().Size(), 1u);
    EXPECT_EQ(jaw->GetOutputs()[0], smile);
    ASSERT_EQ(graph->GetTypeGroups().Size(), 2u);
    EXPECT_EQ(graph->GetTypeGroups()[0].nodeClass, KvCombinerNode::StaticClass());
    EXPECT_EQ(graph->GetTypeGroups()[1].nodes[0], smile);
    delete graph;
  }
}

TEST_F(FaceGraphTest, VersionOneGraphFillsReservedGroupsInClassOrder) {
  StreamBuilder s;
  s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 1).Count(3);
  const char* classes[] = {"KvDeltaNode", "KvCombinerNode", "KvDeltaNode"};
  const char* names[] = {"A", "B", "C"};
  for (uint32_t i = 0; i < 3; ++i) {
    s.Object(i + 1, classes[i]).NamedPart(names[i]).Version("KvFaceGraphNode", 2);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Count(0).U32(i == 1 ? 7 : 0).Version(classes[i], 0);
  }
  s.U32(3).U32(2).U32(1).U32(0);  // three groups: the third stays without a class
  KvFaceGraph* graph = kvtest::Load<KvFaceGraph>(s.Finish(4));
  ASSERT_NE(graph, nullptr);
  const KvArray<KvFaceGraphTypeGroup>& groups = graph->GetTypeGroups();
  ASSERT_EQ(groups.Size(), 3u);
  EXPECT_EQ(groups[0].nodeClass, KvDeltaNode::StaticClass());
  EXPECT_EQ(groups[0].nodes.Size(), 2u);
  EXPECT_EQ(groups[0].nodes.Capacity(), 2u) << "the stored count reserved the storage";
  EXPECT_EQ(groups[1].nodeClass, KvCombinerNode::StaticClass());
  EXPECT_EQ(groups[2].nodeClass, nullptr);
  EXPECT_EQ(graph->GetNode(1)->GetOutputs().Capacity(), 7u) << "outputs reserved to the stored count";
  EXPECT_TRUE(graph->GetNode(1)->GetOutputs().Empty());
  delete graph;
}

TEST_F(FaceGraphTest, RejectsHostileGraphs) {
  struct Case {
    const char* what;  // also the start of the error's detail
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  {
    StreamBuilder s;  // a node claiming four billion outputs
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 1).Count(1);
    s.Object(1, "KvCombinerNode").NamedPart("A").Version("KvFaceGraphNode", 2);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Count(0).U32(0xFFFFFFF0u).Version("KvCombinerNode", 0).U32(0);
    cases.push_back({"a face-graph node claims more outputs", s.Finish(2)});
  }
  {
    StreamBuilder s;  // a type group larger than the graph
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 1).Count(0).U32(1).U32(1000000);
    cases.push_back({"a type group claims more nodes", s.Finish(1)});
  }
  {
    StreamBuilder s;  // the same node owned twice by the node array
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 1).Count(2);
    s.Object(1, "KvCombinerNode").NamedPart("A").Version("KvFaceGraphNode", 2);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Count(0).U32(0).Version("KvCombinerNode", 0);
    s.U32(1).U32(0);
    cases.push_back({"object 1 has two owners", s.Finish(2)});
  }
  {
    StreamBuilder s;  // a null node
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 1).Count(1).NullObject().U32(0);
    cases.push_back({"a face graph holds a null node", s.Finish(1)});
  }
  {
    StreamBuilder s;  // an old parameter object that is a node of the graph itself
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(1);
    s.Object(1, "KvCombinerNode").NamedPart("A").Version("KvFaceGraphNode", 0);
    s.F32(0.0f).F32(1.0f).U32(0).Count(1);
    s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("A").Name("linear");
    s.Version("KvLinkFnParameters", 0).Count(0).U32(0);
    s.Version("KvCombinerNode", 0);
    cases.push_back({"object 0 refers to itself", s.Finish(2)});
  }
  {
    StreamBuilder s;  // an old parameter object that brings a graph of its own
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(1);
    s.Object(1, "KvCombinerNode").NamedPart("A").Version("KvFaceGraphNode", 0);
    s.F32(0.0f).F32(1.0f).U32(0).Count(1);
    s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("A").Name("linear");
    s.Version("KvLinkFnParameters", 0).Count(0);
    s.Object(2, "KvFaceGraph").ObjectPart().Count(1);
    s.Object(3, "KvCombinerNode").NamedPart("B").Version("KvFaceGraphNode", 0);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Version("KvCombinerNode", 0);
    s.Version("KvCombinerNode", 0);
    cases.push_back({"old link parameters carry further objects", s.Finish(4)});
  }
  {
    StreamBuilder s;  // an old parameter object that is the node read before
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(2);
    s.Object(1, "KvCombinerNode").NamedPart("A").Version("KvFaceGraphNode", 0);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Version("KvCombinerNode", 0);
    s.Object(2, "KvCombinerNode").NamedPart("B").F32(0.0f).F32(1.0f).U32(0).Count(1);
    s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("A").Name("linear");
    s.Version("KvLinkFnParameters", 0).Count(0).U32(1);
    cases.push_back({"old link parameters refer to an object read earlier", s.Finish(3)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    KvFaceGraph* graph = kvtest::Load<KvFaceGraph>(c.bytes, &error);
    EXPECT_EQ(graph, nullptr);
    EXPECT_NE(error.find(std::string("corrupt at byte ")), std::string::npos) << error;
    EXPECT_NE(error.find(c.what), std::string::npos) << error;
    delete graph;
  }
}

TEST_F(FaceGraphTest, RejectsOldParameterObjectsNestedWithoutEnd) {
  // graph -> node -> link -> old parameter object (a graph) -> node -> ...
  StreamBuilder s;
  const uint32_t levels = 800;
  for (uint32_t i = 0; i < levels; ++i) {
    s.Object(2 * i, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(1);
    s.Object(2 * i + 1, "KvCombinerNode").NamedPart("N").Version("KvFaceGraphNode", 0);
    s.F32(0.0f).F32(1.0f).U32(0).Count(1);
    s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("N").Name("linear");
    s.Version("KvLinkFnParameters", 0).Count(0);
  }
  s.NullObject();
  for (uint32_t i = 0; i < levels; ++i) s.Version("KvCombinerNode", 0);
  std::string error;
  KvFaceGraph* graph = kvtest::Load<KvFaceGraph>(s.Finish(2 * levels), &error);
  EXPECT_EQ(graph, nullptr);
  EXPECT_NE(error.find("corrupt"), std::string::npos) << error;
  delete graph;
}

}  // namespace
