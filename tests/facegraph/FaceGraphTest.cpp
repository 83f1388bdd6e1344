// Face graphs: node operations, link-up, and the stored form, from a golden stream
// and from hand-built streams of older and hostile graphs.
#include <memory>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/FaceGraph.h"

namespace {

using kvtest::AddNode;
using kvtest::StreamBuilder;
using FaceGraphTest = ::RuntimeTest;

// The graph after link-up: each node as "name(input:type ...)>output ...", inputs and
// outputs by node index, then each type group as "class:node ...".
std::string Wiring(const KvFaceGraph& graph) {
  std::string text;
  for (uint32_t n = 0; n < graph.GetNumNodes(); ++n) {
    text += std::string(graph.GetNode(n)->GetName().GetAsCString()) + "(";
    for (const KvFaceGraphNodeLink& link : graph.GetNode(n)->GetInputLinks()) {
      text += std::to_string(graph.IndexOfNode(link.inputNode)) + ":" + std::to_string(link.linkFnType) + " ";
    }
    text += ")>";
    for (const KvFaceGraphNode* output : graph.GetNode(n)->GetOutputs()) {
      text += std::to_string(graph.IndexOfNode(output)) + " ";
    }
    text += "; ";
  }
  for (const KvFaceGraphTypeGroup& group : graph.GetTypeGroups()) {
    text += std::string(group.nodeClass != nullptr ? group.nodeClass->GetName().GetAsCString() : "-") + ":";
    for (const KvFaceGraphNode* node : group.nodes) text += std::to_string(graph.IndexOfNode(node)) + " ";
  }
  return text;
}

// A graph with every node class, links through live, withdrawn and unknown
// functions, a link to a missing node and two nodes of one name; the links and
// properties that nodes refuse are not stored.
KvFaceGraph* BuildGraph() {
  auto* graph = new KvFaceGraph;
  auto* jaw = AddNode<KvBonePoseNode>(*graph, "JawOpen");
  jaw->SetRange(0.0f, 2.0f);
  jaw->bones.PushBack(KvBone(KvName("jaw")));
  jaw->bones[0].position[0] = 1.5f;
  jaw->bones[0].rotation[2] = 0.5f;
  jaw->bones[0].scale[1] = 2.0f;
  auto* time = AddNode<KvCurrentTimeNode>(*graph, "Time");
  auto* delta = AddNode<KvDeltaNode>(*graph, "JawSpeed");
  auto* mix = AddNode<KvCombinerNode>(*graph, "Mix");
  mix->SetInputOperation(3);
  auto* smile = AddNode<KvMorphTargetNode>(*graph, "Smile");
  smile->GetUserProperties()[0].SetStringValue(KvString("smile_shape"));
  KvFaceGraphNodeUserProperty tags(KvName("Tags"), 2);
  tags.SetValue(0, 7);
  tags.SetValue(1, 9);
  tags.SetStringValue(KvString("ignored"));  // only string properties take strings
  smile->AddUserProperty(tags);
  smile->AddUserProperty(KvFaceGraphNodeUserProperty(KvName("Tags"), 3));  // a second "Tags"
  delta->AddInputLink(KvFaceGraphNodeLink(jaw, KvName("linear")));
  delta->AddInputLink(KvFaceGraphNodeLink(time, KvName("linear")));  // a delta node takes one link
  time->AddInputLink(KvFaceGraphNodeLink(jaw, KvName("linear")));   // a current-time node none
  KvFaceGraphNodeLink clamped(jaw, KvName("clamped linear"));
  clamped.parameters[0] = 0.25f;
  clamped.linkFnType = 77;  // stale: saving looks the type up again
  mix->AddInputLink(clamped);
  KvFaceGraphNodeLink withdrawn(delta, KvName("custom"));
  withdrawn.parameters.PushBack(3.0f);  // dropped when saved
  mix->AddInputLink(withdrawn);
  KvFaceGraphNodeLink unknownFn(time, KvName("wobble"));
  unknownFn.parameters.PushBack(6.0f);
  mix->AddInputLink(unknownFn);
  smile->AddInputLink(KvFaceGraphNodeLink(mix, KvName("corrective")));
  KvFaceGraphNodeLink missing;
  missing.inputName = KvName("NoSuchNode");
  missing.linkFnName = KvName("negate");
  smile->AddInputLink(missing);
  AddNode<KvGenericTargetNode>(*graph, "Mix");  // the combiner's name again
  return graph;
}

// BuildGraph after link-up as current archives store it, every field distinct.
std::vector<uint8_t> GoldenGraph(bool legacyArchive = false) {
  StreamBuilder s(legacyArchive);
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
  s.Count(0).Count(0).U32(2).Version("KvBonePoseNode", 0).Count(1).NamedPart("jaw").Version("KvBone", 0);
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
  s.Count(2).NamedPart("Morph Target Name").Version("KvFaceGraphNodeUserProperty", 0).U32(3).U32(0).U32(0);
  s.Count(1).Str("smile_shape").NamedPart("Tags").Version("KvFaceGraphNodeUserProperty", 0).U32(2).U32(7).U32(9);
  s.Count(0);
  s.U32(0).Version("KvGenericTargetNode", 0).Version("KvMorphTargetNode", 0);
  node(6, "KvGenericTargetNode", "Mix", 0.0f, 1.0f, 0);
  s.Count(0).Count(0).U32(0).Version("KvGenericTargetNode", 0).U32(6).U32(1).U32(1).U32(1).U32(1).U32(1).U32(1);
  return s.Finish(7);
}

TEST_F(FaceGraphTest, GraphSavesToTheGoldenStreamLoadsBackLinkedUpAndFailsCutShort) {
  std::unique_ptr<KvFaceGraph> original(BuildGraph());
  ASSERT_EQ(original->GetTypeGroups().Size(), 6u) << "AddNode fills the groups";
  original->LinkUp(true);  // stored output counts become reserved capacity
  const std::vector<uint8_t> golden = GoldenGraph();
  std::unique_ptr<KvFaceGraph> graph = kvtest::ExpectGoldenRoundTrip(original.get(), golden, GoldenGraph(true));
  EXPECT_EQ(original->GetNode(3)->GetInputLinks()[0].linkFnType, 10) << "saving refreshed the stale type";
  EXPECT_TRUE(original->GetNode(3)->GetInputLinks()[1].parameters.Empty()) << "withdrawn: no parameters";

  // Inputs resolve by name (a shared name reaches the first node), types come from
  // the function table (-1 when unknown), and withdrawn functions lose their parameters.
  ASSERT_NE(graph, nullptr);
  const std::string wiring =
      "JawOpen()>2 3 ; Time()>3 ; JawSpeed(0:1 )>3 ; Mix(0:10 2:0 1:-1 )>4 ; Smile(3:9 -1:5 )>; Mix()>; "
      "KvBonePoseNode:0 KvCurrentTimeNode:1 KvDeltaNode:2 KvCombinerNode:3 KvMorphTargetNode:4 KvGenericTargetNode:5 ";
  EXPECT_EQ(Wiring(*graph), wiring);
  EXPECT_EQ(graph->FindNode(KvName("NoSuchNode")), nullptr);
  // A second link-up without clearing adds the outputs again, but no group member.
  graph->LinkUp(false);
  EXPECT_EQ(Wiring(*graph), "JawOpen()>2 3 2 3 ; Time()>3 3 ; JawSpeed(0:1 )>3 3 ; Mix(0:10 2:0 1:-1 )>4 4 ; " +
                                wiring.substr(wiring.find("Smile")));

  KvFaceGraph none;
  std::unique_ptr<KvFaceGraph> empty(kvtest::Load<KvFaceGraph>(kvtest::SaveToBytes(&none)));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->GetNameIndex(), nullptr) << "no nodes, no index";
  // The smallest elements still load when they fill the bytes after their count
  // exactly: 21 links (12 bytes each, 20 follow), 17 properties (20, 16), 9 bones (44, 8).
  for (int kind = 0; kind < 3; ++kind) {
    KvFaceGraph full;
    auto* pose = AddNode<KvBonePoseNode>(full, "P");
    for (int i = 0; i < 21 && kind == 0; ++i) pose->GetInputLinks().PushBack(KvFaceGraphNodeLink());
    for (int i = 0; i < 17 && kind == 1; ++i) pose->GetUserProperties().PushBack(KvFaceGraphNodeUserProperty());
    for (int i = 0; i < 9 && kind == 2; ++i) pose->bones.PushBack(KvBone());
    EXPECT_TRUE(kvtest::Loads<KvFaceGraph>(kvtest::SaveToBytes(&full))) << kind;
  }
  kvtest::ExpectEveryCutFails<KvFaceGraph>(golden);
}

TEST_F(FaceGraphTest, OlderGraphsLinkUpDropOldParameterObjectsAndKeepReservedGroupsAndHostileGraphsAreRefused) {
  // Version 0: no user properties or output counts, and old parameter blocks whose
  // trailing object is read and destroyed, here at indexes the file left free
  // before the nodes, and out of order.
  for (bool legacyArchive : {false, true}) {
    SCOPED_TRACE(legacyArchive ? "archive 1699" : "archive 1710");
    StreamBuilder s(legacyArchive);
    auto oldLinks = [&s](const char* input, std::vector<uint32_t> objects) {
      s.Count(static_cast<uint32_t>(objects.size()));
      for (uint32_t object : objects) {
        s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name(input).Name("linear").Version("KvLinkFnParameters", 0);
        s.Count(2).F32(2.0f).F32(0.5f).Object(object, "KvBone").NamedPart("Old").Version("KvBone", 0);
        for (int i = 0; i < 10; ++i) s.F32(0.0f);
      }
    };
    s.Object(5, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(2);
    s.Object(6, "KvBonePoseNode").NamedPart("Jaw").Version("KvFaceGraphNode", 0).F32(-1.0f).F32(1.0f).U32(0);
    oldLinks("Smile", {1});
    s.Version("KvBonePoseNode", 0).Count(0);
    s.Object(7, "KvGenericTargetNode").NamedPart("Smile").Version("KvFaceGraphNode", 0).F32(0.0f).F32(1.0f).U32(1);
    oldLinks("Jaw", {3, 0});
    auto graph = kvtest::MustLoad<KvFaceGraph>(s.Version("KvGenericTargetNode", 0).Finish(8));
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(Wiring(*graph), "Jaw(1:1 )>1 1 ; Smile(0:1 0:1 )>0 ; KvBonePoseNode:0 KvGenericTargetNode:1 ");
    EXPECT_EQ(graph->GetNode(0)->GetMinValue(), -1.0f);
    EXPECT_EQ(graph->GetNode(1)->GetInputOperation(), 1u);
    ASSERT_EQ(graph->GetNode(1)->GetInputLinks()[0].parameters.Size(), 2u);
    EXPECT_EQ(graph->GetNode(1)->GetInputLinks()[0].parameters[1], 0.5f);
  }

  // Version 1: stored group sizes reserve storage that link-up fills in order of
  // first appearance; a group beyond the classes stays without one.
  StreamBuilder s;
  s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 1).Count(3);
  const char* classes[] = {"KvDeltaNode", "KvCombinerNode", "KvDeltaNode"};
  for (uint32_t i = 0; i < 3; ++i) {
    s.Object(i + 1, classes[i]).NamedPart(std::string(1, static_cast<char>('A' + i))).Version("KvFaceGraphNode", 2);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Count(0).U32(i == 1 ? 7 : 0).Version(classes[i], 0);
  }
  std::unique_ptr<KvFaceGraph> reserved(kvtest::Load<KvFaceGraph>(s.U32(3).U32(2).U32(1).U32(0).Finish(4)));
  ASSERT_NE(reserved, nullptr);
  EXPECT_EQ(Wiring(*reserved), "A()>; B()>; C()>; KvDeltaNode:0 2 KvCombinerNode:1 -:");
  EXPECT_EQ(reserved->GetTypeGroups()[0].nodes.Capacity(), 2u) << "the stored count reserved the storage";
  EXPECT_EQ(reserved->GetNode(1)->GetOutputs().Capacity(), 7u) << "outputs reserved to the stored count";
  EXPECT_TRUE(reserved->GetNode(1)->GetOutputs().Empty());

  auto graph = [](uint16_t version, uint32_t nodes) {
    StreamBuilder s;
    s.Object(0, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", version).Count(nodes);
    return s;
  };
  auto node = [](StreamBuilder s, uint32_t index, uint16_t version, uint32_t outputs = 0) {
    s.Object(index, "KvCombinerNode").NamedPart("A").Version("KvFaceGraphNode", version).F32(0).F32(1).U32(0).Count(0);
    if (version >= 2) s.Count(0).U32(outputs);
    return s.Version("KvCombinerNode", 0);
  };
  // A version-0 node (at `index`) whose link has an old parameter block, up to its object.
  auto oldLink = [](StreamBuilder s, uint32_t index) {
    s.Object(index, "KvCombinerNode").NamedPart("B").Version("KvFaceGraphNode", 0).F32(0.0f).F32(1.0f).U32(0);
    s.Count(1).ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("A").Name("linear");
    return s.Version("KvLinkFnParameters", 0).Count(0);
  };
  StreamBuilder nested;  // graph -> node -> link -> old parameter object (a graph) -> node -> ...
  for (uint32_t i = 0; i < 800; ++i) {
    nested = oldLink(nested.Object(2 * i, "KvFaceGraph").ObjectPart().Version("KvFaceGraph", 0).Count(1), 2 * i + 1);
  }
  for (uint32_t i = 0; i < 800; ++i) nested.Version("KvCombinerNode", 0);
  // The first node, at index 1100, leaves more gaps below it than a graph can need:
  // from the next old link on, old parameter objects are refused, even once other
  // nodes fill the gaps.
  StreamBuilder sparse = oldLink(node(graph(0, 1102), 1100, 0), 1101).NullObject().Version("KvCombinerNode", 0);
  for (uint32_t i = 1; i < 1100; ++i) sparse = node(sparse, i, 0);
  sparse = oldLink(sparse, 1102).Object(1103, "KvBone").NamedPart("Old").Version("KvBone", 0);
  for (int i = 0; i < 10; ++i) sparse.F32(0.0f);
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"a face-graph node claims more outputs", node(graph(1, 1), 1, 2, 0xFFFFFFF0u).U32(0).Finish(2)},
      {"a type group claims more nodes", graph(1, 0).U32(1).U32(1000000).Finish(1)},
      {"a face graph claims more type groups than the file holds", graph(1, 0).U32(3).U32(0).Finish(1)},
      {"a face graph holds a null node", graph(1, 1).NullObject().U32(0).Finish(1)},
      {"object 0 refers to itself", oldLink(graph(0, 1), 1).U32(0).Finish(2)},
      {"old link parameters carry further objects",
       node(oldLink(graph(0, 1), 1).Object(2, "KvFaceGraph").ObjectPart().Count(1), 3, 0).Finish(4)},
      {"old link parameters refer to an object read earlier", oldLink(node(graph(0, 2), 1, 0), 2).U32(1).Finish(3)},
      {"objects are nested too deeply", nested.NullObject().Finish(1600)},
      {"old link parameters in an object table with too many gaps",
       sparse.Version("KvCombinerNode", 0).Finish(1104)}};
  for (const auto& [what, bytes] : cases) {
    const std::string error = kvtest::LoadError<KvFaceGraph>(bytes);
    EXPECT_EQ(error.rfind("corrupt at byte ", 0), 0u) << error;
    EXPECT_PRED_FORMAT2(testing::IsSubstring, what, error);
  }
}

}  // namespace
