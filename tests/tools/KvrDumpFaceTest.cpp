// kvr dump on facial-animation archives: actor, face graph and phoneme map roots in
// both forms, and damaged actors.

#include <sstream>

#include "../facegraph/ArchiveBytes.h"
#include "Dump.h"
#include "DumpTestSupport.h"
#include "SceneTestSupport.h"
#include "kv/Actor.h"

namespace {

using Json = nlohmann::ordered_json;
using kvtest::AddNode;

// Bone pose -> combiner -> morph target; a second bone pose sharing the bone "lip".
void BuildFace(KvFaceGraph& graph) {
  auto* open = AddNode<KvBonePoseNode>(graph, "Open");
  open->bones.PushBack(KvBone(KvName("jaw")));
  open->bones.PushBack(KvBone(KvName("lip")));
  open->bones[0].position[2] = 3.0f;
  auto* mix = AddNode<KvCombinerNode>(graph, "Mix");
  mix->SetRange(-1.0f, 2.0f);
  mix->SetInputOperation(1);
  KvFaceGraphNodeLink fromOpen(open, KvName("clamped linear"));
  fromOpen.parameters[1] = 0.5f;
  mix->AddInputLink(fromOpen);
  AddNode<KvMorphTargetNode>(graph, "Smile")->AddInputLink(KvFaceGraphNodeLink(mix, KvName("negate")));
  auto* pucker = AddNode<KvBonePoseNode>(graph, "Pucker");
  pucker->bones.PushBack(KvBone(KvName("lip")));
  pucker->bones.PushBack(KvBone(KvName("cheek")));
}

KvActor* BuildActor() {
  KvAnim anim;
  anim.SetName(KvName("Idle"));
  anim.curves.Resize(2);
  anim.curves[0].SetName(KvName("jaw"));
  anim.curves[0].interpolation = 2;
  const float keys[] = {0.25f, 0.0f, 0.0f, 1.0f, 2.0f, 1.0f, 0.5f, -0.5f};
  anim.curves[0].SetKeys(keys, 2);
  anim.curves[1].SetKeys(keys, 1);
  anim.RecomputeTimeRange();
  anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("jaw"), 0.5f});
  anim.textFields[0] = KvString("hello");
  auto* actor = new KvActor;
  actor->SetName(KvName("Ada"));
  BuildFace(actor->GetFaceGraph());
  actor->Recompile();
  actor->GetDefaultGroup().anims.PushBack(anim);
  actor->GetAnimGroups().PushBack(KvAnimGroup(KvName("Speech")));
  actor->GetPhonemeMap().entries.PushBack(KvPhonemeMapEntry{4, KvName("Smile"), 0.5f});
  actor->GetPhonemeMap().targetNames.PushBack(KvName("Smile"));
  return actor;
}

class KvrDumpFaceTest : public SceneTest {
 protected:
  std::string Save(KvObject* root) {
    const std::string path = TempPath(root->ClassOf()->GetName().GetAsCString());
    EXPECT_TRUE(KvSaveObject(root, path.c_str(), nullptr, 0.0f));
    return path;
  }
  static std::string Text(const Json& document) {
    std::ostringstream text;
    WriteTextReport(document, text);
    return text.str();
  }
};

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (part) << "\nin:\n" << (text)

TEST_F(KvrDumpFaceTest, ActorFaceGraphAndAnimationSetInBothFormsAndADamagedActor) {
  const std::unique_ptr<KvActor> actor(BuildActor());
  const std::string path = Save(actor.get());
  const Json doc = ExpectDumpsMatchDocument(path);
  // The shared bone "lip" once in the master list; the default group without an
  // index (held by value).
  EXPECT_EQ(doc["root"], Json::parse(R"(
{"index":0,"class":"KvActor","name":"Ada","masterBoneList":[{"class":"KvBone","name":"jaw","position":[0,0,3],
"rotation":[1,0,0,0],"scale":[0,0,0]},{"class":"KvBone","name":"lip","position":[0,0,0],"rotation":[1,0,0,0],
"scale":[0,0,0]},{"class":"KvBone","name":"cheek","position":[0,0,0],"rotation":[1,0,0,0],"scale":[0,0,0]}],
"compiledFaceGraph":{"nodeCount":4,"nodes":[{"name":"Open","nodeClass":"KvBonePoseNode","minValue":0,
"maxValue":1,"inputOperation":0,"links":[],"boneIndices":[0,1]},{"name":"Mix","nodeClass":"KvCombinerNode",
"minValue":-1,"maxValue":2,"inputOperation":1,"links":[{"inputIndex":0,"linkFunctionType":10,"parameters":[1,
0.5,0,1]}],"boneIndices":[]},{"name":"Smile","nodeClass":"KvMorphTargetNode","minValue":0,"maxValue":1,
"inputOperation":0,"links":[{"inputIndex":1,"linkFunctionType":5,"parameters":[]}],"boneIndices":[]},{"name":"Pucker",
"nodeClass":"KvBonePoseNode","minValue":0,"maxValue":1,"inputOperation":0,"links":[],"boneIndices":[1,2]}]},
"defaultGroup":{"class":"KvAnimGroup","name":"Default","anims":[{"class":"KvAnim","name":"Idle",
"startTime":0.25,"endTime":2,"keyCount":3,"curves":[{"class":"KvAnimCurve","name":"jaw","interpolation":2,
"keyCount":2,"keys":[{"time":0.25,"value":0,"slopeIn":0,"slopeOut":1},{"time":2,"value":1,"slopeIn":0.5,
"slopeOut":-0.5}]},{"class":"KvAnimCurve","name":"","interpolation":0,"keyCount":1,"keys":[{"time":0.25,
"value":0,"slopeIn":0,"slopeOut":1}]}],"timingParameters":[0.16,0.22],"boneWeights":[{"bone":"jaw",
"weight":0.5}],"textFields":["hello",""],"signedField":-1}]},"animGroups":[{"class":"KvAnimGroup",
"name":"Speech","anims":[]}],"phonemeMap":{"class":"KvPhonemeMap","entries":[{"phoneme":4,"target":"Smile",
"amount":0.5}],"targetNames":["Smile"]}})"));

  const std::string out = Text(doc);
  EXPECT_HAS(out, "  #0 KvActor \"Ada\": 3 master bones, compiled face graph of 4 nodes, 1 groups besides the "
                  "default\n    master bone list (3):\n"
                  "      bone \"jaw\": position (0, 0, 3), rotation (1, 0, 0, 0), scale (0, 0, 0)\n");
  EXPECT_HAS(out, "\n    compiled face graph (4 nodes):\n");
  EXPECT_HAS(out, "      \"Mix\" KvCombinerNode: range [-1, 2], input operation 1, inputs \"Open\" type 10 "
                  "(1, 0.5, 0, 1)\n");
  EXPECT_HAS(out, "bones \"lip\", \"cheek\"\n");
  EXPECT_HAS(out, "        KvAnim \"Idle\": time 0.25 to 2, 2 curves, 3 keys, timing parameters (0.16, 0.22), "
                  "signed field -1\n          curve \"jaw\": interpolation 2, 2 keys\n"
                  "            key at 0.25: value 0, slopes in 0 out 1\n");
  EXPECT_HAS(out, "          bone weights: \"jaw\" 0.5\n          text fields: \"hello\", \"\"\n");
  EXPECT_HAS(out, "      KvPhonemeMap: 1 entries, 1 target names\n        phoneme 4: \"Smile\" amount 0.5\n");

  // Damaged: every byte of the object stream flipped in turn: what loads renders in
  // both forms, what does not says why.
  DumpEveryFlippedByte(ReadFile(path), ByteWriter().U32(0).U32(0).U32(KvActor::StaticClass()->GetSize()).Get(),
                       TempPath("bad.kvr"));

  // A face graph and an animation set as the root.
  KvFaceGraph graph;
  BuildFace(graph);
  const Json graphDoc = ExpectDumpsMatchDocument(Save(&graph));
  const Json& nodes = graphDoc["root"]["nodes"];
  ASSERT_EQ(nodes.size(), 4u);
  for (size_t i = 0; i < nodes.size(); ++i) EXPECT_EQ(nodes[i]["index"], i + 1);
  EXPECT_EQ(nodes[0]["bones"][0]["position"], Json({0, 0, 3}));
  EXPECT_EQ(nodes[1]["inputLinks"], Json::parse(R"([{"class":"KvFaceGraphNodeLink","inputName":"Open",
      "linkFunction":"clamped linear","linkFunctionType":10,"parameters":[1,0.5,0,1],
      "parameterNames":["m","clampx","clampy","clampdir"]}])"));
  EXPECT_EQ(nodes[2], Json::parse(R"({"index":3,"class":"KvMorphTargetNode","name":"Smile","minValue":0,"maxValue":1,
      "inputOperation":0,"inputLinks":[{"class":"KvFaceGraphNodeLink","inputName":"Mix","linkFunction":"negate",
      "linkFunctionType":5,"parameters":[],"parameterNames":[]}],"userProperties":[{"class":
      "KvFaceGraphNodeUserProperty","name":"Morph Target Name","kind":3,"values":[0,0],"strings":["Target"]}]})"));
  EXPECT_EQ(graphDoc["root"]["typeGroups"][0],
            Json::parse(R"({"nodeClass":"KvBonePoseNode","nodes":[{"ref":1},{"ref":4}]})"));
  EXPECT_EQ(graphDoc["root"]["typeGroups"].size(), 3u);

  const std::string text = Text(graphDoc);
  EXPECT_HAS(text, "  #0 KvFaceGraph: 4 nodes, 3 type groups\n    nodes (4):\n"
                   "      #1 KvBonePoseNode \"Open\": range [0, 1], input operation 0, 0 input links, 0 user "
                   "properties, 2 bones\n");
  EXPECT_HAS(text, "        input \"Open\" through \"clamped linear\" (type 10): m 1, clampx 0.5, clampy 0, "
                   "clampdir 1\n");
  EXPECT_HAS(text, "        input \"Mix\" through \"negate\" (type 5)\n"
                   "        property \"Morph Target Name\": kind 3, values (0, 0), strings \"Target\"\n");
  EXPECT_HAS(text, "    type groups (3):\n      KvBonePoseNode: \"Open\", \"Pucker\"\n");

  KvAnimSet set;
  set.SetName(KvName("Walk"));
  set.secondName = KvName("Cycle");
  set.group.SetName(KvName("Steps"));
  const Json setDoc = ExpectDumpsMatchDocument(Save(&set));
  EXPECT_EQ(setDoc["root"], Json::parse(R"({"index":0,"class":"KvAnimSet","name":"Walk","secondName":"Cycle",
      "group":{"class":"KvAnimGroup","name":"Steps","anims":[]}})"));
  EXPECT_HAS(Text(setDoc), "  #0 KvAnimSet \"Walk\": second name \"Cycle\"\n    KvAnimGroup \"Steps\": 0 animations\n");
}

}  // namespace
