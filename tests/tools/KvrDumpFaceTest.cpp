// kvr dump on facial-animation archives: an actor, a face graph and a phoneme map
// as roots, in the JSON document and in the text report, and a damaged actor.
#include <sys/wait.h>

#include <algorithm>
#include <sstream>

#include "Dump.h"
#include "SceneTestSupport.h"
#include "kv/Actor.h"

namespace {

using Json = nlohmann::ordered_json;

template <typename T>
T* AddNode(KvFaceGraph& graph, const char* name) {
  T* node = new T;
  node->SetName(KvName(name));
  graph.AddNode(node);
  return node;
}

// Five node classes: a bone pose read by a combiner, which a delta and a morph
// target read in turn, and a current-time node that reads nothing.
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
  auto* speed = AddNode<KvDeltaNode>(graph, "Speed");
  speed->AddInputLink(KvFaceGraphNodeLink(mix, KvName("linear")));
  AddNode<KvCurrentTimeNode>(graph, "Now");
  auto* smile = AddNode<KvMorphTargetNode>(graph, "Smile");
  smile->AddInputLink(KvFaceGraphNodeLink(mix, KvName("negate")));
  auto* pucker = AddNode<KvBonePoseNode>(graph, "Pucker");
  pucker->bones.PushBack(KvBone(KvName("lip")));
  pucker->bones.PushBack(KvBone(KvName("cheek")));
}

KvAnim MakeAnim(const char* name) {
  KvAnim anim;
  anim.SetName(KvName(name));
  KvAnimCurve jaw;
  jaw.SetName(KvName("jaw"));
  jaw.interpolation = 2;
  const float jawKeys[] = {0.25f, 0.0f, 0.0f, 1.0f, 2.0f, 1.0f, 0.5f, -0.5f};
  jaw.SetKeys(jawKeys, 2);
  anim.curves.PushBack(jaw);
  KvAnimCurve lip;
  lip.SetName(KvName("lip"));
  const float lipKeys[] = {1.0f, 0.75f, 0.0f, 0.0f};
  lip.SetKeys(lipKeys, 1);
  anim.curves.PushBack(lip);
  anim.RecomputeTimeRange();
  anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("jaw"), 0.5f});
  anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("lip"), 0.25f});
  anim.textFields[0] = KvString("hello");
  anim.signedField = 7;
  return anim;
}

KvActor* BuildActor() {
  auto* actor = new KvActor;
  actor->SetName(KvName("Ada"));
  BuildFace(actor->GetFaceGraph());
  actor->Recompile();
  actor->GetDefaultGroup().anims.PushBack(MakeAnim("Idle"));
  actor->GetAnimGroups().PushBack(KvAnimGroup(KvName("Speech")));
  actor->GetAnimGroups()[0].anims.PushBack(MakeAnim("Hello"));
  actor->GetAnimGroups().PushBack(KvAnimGroup(KvName("Empty")));
  KvPhonemeMap& map = actor->GetPhonemeMap();
  map.entries.PushBack(KvPhonemeMapEntry{4, KvName("Smile"), 0.5f});
  map.entries.PushBack(KvPhonemeMapEntry{4, KvName("Open"), 0.25f});
  map.targetNames.PushBack(KvName("Smile"));
  map.targetNames.PushBack(KvName("Open"));
  return actor;
}

class KvrDumpFaceTest : public SceneTest {
 protected:
  std::string Save(KvObject* root, const char* name) {
    const std::string path = TempPath(name);
    EXPECT_TRUE(KvSaveObject(root, path.c_str(), nullptr, 0.0f));
    return path;
  }

  std::string SaveActor() {
    KvActor* actor = BuildActor();
    const std::string path = Save(actor, "actor.kvr");
    delete actor;
    return path;
  }

  Json Dump(const std::string& path) {
    Json document;
    std::string error;
    EXPECT_EQ(DumpToJson(path, document, error), kExitOk) << error;
    return document;
  }

  // Runs `kvr dump FILE`: the exit status, standard output and standard error.
  int KvrDump(const std::string& file, std::string& out, std::string& err) {
    const std::string outPath = TempPath("stdout.txt");
    const std::string errPath = TempPath("stderr.txt");
    const std::string command =
        std::string("'") + KVR_BINARY + "' dump '" + file + "' >'" + outPath + "' 2>'" + errPath + "'";
    const int raw = std::system(command.c_str());
    const Bytes outBytes = ReadFile(outPath);
    const Bytes errBytes = ReadFile(errPath);
    out.assign(outBytes.begin(), outBytes.end());
    err.assign(errBytes.begin(), errBytes.end());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  static std::string Text(const Json& document) {
    std::ostringstream text;
    WriteTextReport(document, text);
    return text.str();
  }

  static void ExpectLines(const std::string& text, std::initializer_list<const char*> expected) {
    for (const char* lines : expected) EXPECT_NE(text.find(lines), std::string::npos) << lines << "\nin:\n" << text;
  }
};

TEST_F(KvrDumpFaceTest, ActorJsonHoldsBonesCompiledGraphGroupsAndPhonemeMap) {
  const Json doc = Dump(SaveActor());
  EXPECT_EQ(doc["classVersions"]["KvActor"], 3);
  EXPECT_EQ(doc["objectCount"], 1) << "everything below the actor is held by value";
  const Json& actor = doc["root"];
  EXPECT_EQ(actor["index"], 0);
  EXPECT_EQ(actor["class"], "KvActor");
  EXPECT_EQ(actor["name"], "Ada");

  const Json& bones = actor["masterBoneList"];
  ASSERT_EQ(bones.size(), 3u) << "the shared bone once";
  EXPECT_EQ(bones[0], Json({{"class", "KvBone"},
                            {"name", "jaw"},
                            {"position", {0, 0, 3}},
                            {"rotation", {1, 0, 0, 0}},
                            {"scale", {0, 0, 0}}}));
  EXPECT_EQ(bones[2]["name"], "cheek");

  const Json& compiled = actor["compiledFaceGraph"];
  EXPECT_EQ(compiled["nodeCount"], 6);
  ASSERT_EQ(compiled["nodes"].size(), 6u);
  const Json& mix = compiled["nodes"][1];
  EXPECT_EQ(mix["name"], "Mix");
  EXPECT_EQ(mix["nodeClass"], "KvCombinerNode");
  EXPECT_EQ(mix["minValue"], -1);
  EXPECT_EQ(mix["inputOperation"], 1);
  EXPECT_EQ(mix["links"], Json::parse(R"([{"inputIndex":0,"linkFunctionType":10,"parameters":[1,0.5,0,1]}])"));
  EXPECT_EQ(compiled["nodes"][2]["minValue"], -3) << "the delta node spans its input's width";
  EXPECT_EQ(compiled["nodes"][5]["boneIndices"], Json({1, 2}));

  const Json& idle = actor["defaultGroup"];
  EXPECT_EQ(idle["class"], "KvAnimGroup");
  EXPECT_EQ(idle["name"], "Default");
  EXPECT_FALSE(idle.contains("index"));
  ASSERT_EQ(idle["anims"].size(), 1u);
  const Json& anim = idle["anims"][0];
  EXPECT_EQ(anim["name"], "Idle");
  EXPECT_FALSE(anim.contains("index"));
  EXPECT_EQ(anim["startTime"], 0.25);
  EXPECT_EQ(anim["endTime"], 2);
  EXPECT_EQ(anim["keyCount"], 3);
  EXPECT_EQ(anim["timingParameters"], Json({0.16, 0.22}));
  EXPECT_EQ(anim["boneWeights"], Json::parse(R"([{"bone":"jaw","weight":0.5},{"bone":"lip","weight":0.25}])"));
  EXPECT_EQ(anim["textFields"], Json({"hello", ""}));
  EXPECT_EQ(anim["signedField"], 7);
  ASSERT_EQ(anim["curves"].size(), 2u);
  const Json& jaw = anim["curves"][0];
  EXPECT_EQ(jaw["class"], "KvAnimCurve");
  EXPECT_EQ(jaw["name"], "jaw");
  EXPECT_EQ(jaw["interpolation"], 2);
  EXPECT_EQ(jaw["keyCount"], 2);
  EXPECT_EQ(jaw["keys"][1], Json({{"time", 2}, {"value", 1}, {"slopeIn", 0.5}, {"slopeOut", -0.5}}));
  EXPECT_EQ(anim["curves"][1]["keys"][0]["value"], 0.75);

  const Json& groups = actor["animGroups"];
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0]["name"], "Speech");
  EXPECT_EQ(groups[0]["anims"][0]["name"], "Hello");
  EXPECT_EQ(groups[1]["anims"], Json::array());

  const Json& map = actor["phonemeMap"];
  EXPECT_EQ(map["class"], "KvPhonemeMap");
  EXPECT_FALSE(map.contains("index"));
  EXPECT_EQ(map["entries"], Json::parse(R"([{"phoneme":4,"target":"Smile","amount":0.5},
                                              {"phoneme":4,"target":"Open","amount":0.25}])"));
  EXPECT_EQ(map["targetNames"], Json({"Smile", "Open"}));
}

TEST_F(KvrDumpFaceTest, FaceGraphJsonHoldsNodesLinksPropertiesBonesAndTypeGroups) {
  KvFaceGraph graph;
  BuildFace(graph);
  const Json doc = Dump(Save(&graph, "graph.kvr"));
  EXPECT_EQ(doc["objectCount"], 7);
  const Json& root = doc["root"];
  EXPECT_EQ(root["index"], 0);
  EXPECT_EQ(root["class"], "KvFaceGraph");
  EXPECT_FALSE(root.contains("name"));
  const Json& nodes = root["nodes"];
  ASSERT_EQ(nodes.size(), 6u);
  for (size_t i = 0; i < nodes.size(); ++i) EXPECT_EQ(nodes[i]["index"], i + 1) << "nodes go through the object table";

  const Json& open = nodes[0];
  EXPECT_EQ(open["class"], "KvBonePoseNode");
  EXPECT_EQ(open["bones"][0]["name"], "jaw");
  EXPECT_EQ(open["bones"][0]["position"], Json({0, 0, 3}));
  EXPECT_EQ(open["inputLinks"], Json::array());

  const Json& mix = nodes[1];
  EXPECT_EQ(mix["class"], "KvCombinerNode");
  EXPECT_EQ(mix["minValue"], -1);
  EXPECT_EQ(mix["maxValue"], 2);
  EXPECT_EQ(mix["inputOperation"], 1);
  EXPECT_FALSE(mix.contains("bones"));
  EXPECT_EQ(mix["inputLinks"], Json::parse(R"([{"class":"KvFaceGraphNodeLink","inputName":"Open",
      "linkFunction":"clamped linear","linkFunctionType":10,"parameters":[1,0.5,0,1],
      "parameterNames":["m","clampx","clampy","clampdir"]}])"));

  EXPECT_EQ(nodes[2]["class"], "KvDeltaNode");
  EXPECT_EQ(nodes[2]["minValue"], -3);
  EXPECT_EQ(nodes[2]["inputLinks"][0]["parameterNames"], Json({"m", "b"}));
  EXPECT_EQ(nodes[3]["class"], "KvCurrentTimeNode");

  const Json& smile = nodes[4];
  EXPECT_EQ(smile["class"], "KvMorphTargetNode");
  EXPECT_EQ(smile["inputLinks"][0]["linkFunction"], "negate");
  EXPECT_EQ(smile["inputLinks"][0]["linkFunctionType"], 5);
  EXPECT_EQ(smile["inputLinks"][0]["parameters"], Json::array());
  EXPECT_EQ(smile["userProperties"], Json::parse(R"([{"class":"KvFaceGraphNodeUserProperty",
      "name":"Morph Target Name","kind":3,"values":[0,0],"strings":["Target"]}])"));

  // One group per node class, in order of first appearance, members by reference.
  EXPECT_EQ(root["typeGroups"], Json::parse(R"([
      {"nodeClass":"KvBonePoseNode","nodes":[{"ref":1},{"ref":6}]},
      {"nodeClass":"KvCombinerNode","nodes":[{"ref":2}]},
      {"nodeClass":"KvDeltaNode","nodes":[{"ref":3}]},
      {"nodeClass":"KvCurrentTimeNode","nodes":[{"ref":4}]},
      {"nodeClass":"KvMorphTargetNode","nodes":[{"ref":5}]}])"));
}

TEST_F(KvrDumpFaceTest, TextReportShowsTheSameFigures) {
  std::string out;
  std::string err;
  ASSERT_EQ(KvrDump(SaveActor(), out, err), kExitOk) << err;
  ExpectLines(out,
              {
                  "Objects: 1\nRoot:\n  #0 KvActor \"Ada\": 3 master bones, compiled face graph of 6 nodes, 2 groups "
                  "besides the default\n    master bone list (3):\n"
                  "      bone \"jaw\": position (0, 0, 3), rotation (1, 0, 0, 0), scale (0, 0, 0)\n",
                  "    compiled face graph (6 nodes):\n"
                  "      \"Open\" KvBonePoseNode: range [0, 1], input operation 0, inputs (none), bones \"jaw\", "
                  "\"lip\"\n"
                  "      \"Mix\" KvCombinerNode: range [-1, 2], input operation 1, inputs \"Open\" type 10 "
                  "(1, 0.5, 0, 1)\n",
                  "      \"Smile\" KvMorphTargetNode: range [0, 1], input operation 0, inputs \"Mix\" type 5\n"
                  "      \"Pucker\" KvBonePoseNode: range [0, 1], input operation 0, inputs (none), bones \"lip\", "
                  "\"cheek\"\n",
                  "    default group:\n      KvAnimGroup \"Default\": 1 animations\n"
                  "        KvAnim \"Idle\": time 0.25 to 2, 2 curves, 3 keys, timing parameters (0.16, 0.22), "
                  "signed field 7\n"
                  "          curve \"jaw\": interpolation 2, 2 keys\n"
                  "            key at 0.25: value 0, slopes in 0 out 1\n"
                  "            key at 2: value 1, slopes in 0.5 out -0.5\n",
                  "          bone weights: \"jaw\" 0.5, \"lip\" 0.25\n          text fields: \"hello\", \"\"\n",
                  "    groups (2):\n      KvAnimGroup \"Speech\": 1 animations\n",
                  "      KvAnimGroup \"Empty\": 0 animations\n    phoneme map:\n"
                  "      KvPhonemeMap: 2 entries, 2 target names\n        phoneme 4: \"Smile\" amount 0.5\n"
                  "        phoneme 4: \"Open\" amount 0.25\n        target names: \"Smile\", \"Open\"\n",
              });

  KvFaceGraph graph;
  BuildFace(graph);
  ExpectLines(Text(Dump(Save(&graph, "graph.kvr"))),
              {
                  "  #0 KvFaceGraph: 6 nodes, 5 type groups\n    nodes (6):\n"
                  "      #1 KvBonePoseNode \"Open\": range [0, 1], input operation 0, 0 input links, 0 user "
                  "properties, 2 bones\n"
                  "        bone \"jaw\": position (0, 0, 3), rotation (1, 0, 0, 0), scale (0, 0, 0)\n",
                  "      #2 KvCombinerNode \"Mix\": range [-1, 2], input operation 1, 1 input links, 0 user "
                  "properties\n"
                  "        input \"Open\" through \"clamped linear\" (type 10): m 1, clampx 0.5, clampy 0, "
                  "clampdir 1\n",
                  "      #5 KvMorphTargetNode \"Smile\": range [0, 1], input operation 0, 1 input links, 1 user "
                  "properties\n        input \"Mix\" through \"negate\" (type 5)\n"
                  "        property \"Morph Target Name\": kind 3, values (0, 0), strings \"Target\"\n",
                  "    type groups (5):\n      KvBonePoseNode: \"Open\", \"Pucker\"\n",
              });
}

TEST_F(KvrDumpFaceTest, PhonemeMapAsRoot) {
  KvPhonemeMap map;
  map.entries.PushBack(KvPhonemeMapEntry{12, KvName("Wide"), 1.5f});
  map.targetNames.PushBack(KvName("Wide"));
  const std::string path = Save(&map, "map.kvr");
  const Json doc = Dump(path);
  EXPECT_EQ(doc["root"], Json::parse(R"({"index":0,"class":"KvPhonemeMap",
      "entries":[{"phoneme":12,"target":"Wide","amount":1.5}],"targetNames":["Wide"]})"));
  ExpectLines(Text(doc), {"  #0 KvPhonemeMap: 1 entries, 1 target names\n    phoneme 12: \"Wide\" amount 1.5\n"
                          "    target names: \"Wide\"\n"});
}

TEST_F(KvrDumpFaceTest, DamagedActorsAreRejectedOrRenderedWithoutHarm) {
  const Bytes good = ReadFile(SaveActor());
  const std::string path = TempPath("bad.kvr");
  // Cut short inside the phoneme map.
  Bytes cut(good.begin(), good.end() - 9);
  WriteFile(path, cut);
  std::string out;
  std::string line;
  EXPECT_EQ(KvrDump(path, out, line), kExitBadArchive);
  EXPECT_EQ(out, "");
  EXPECT_EQ(line.rfind("kvr: " + path + ": ", 0), 0u) << line;
  EXPECT_NE(line.find("truncated at byte"), std::string::npos) << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;

  // Every byte of the object stream flipped in turn: what loads renders in both
  // forms, what does not says why.
  const Bytes rootRecord = ByteWriter().U32(0).U32(0).U32(KvActor::StaticClass()->GetSize()).Get();
  const size_t stream = std::search(good.begin(), good.end(), rootRecord.begin(), rootRecord.end()) - good.begin();
  ASSERT_LT(stream, good.size());
  uint32_t rejected = 0;
  for (size_t i = stream; i < good.size(); ++i) {
    Bytes patched = good;
    patched[i] ^= 0xFF;
    WriteFile(path, patched);
    Json document;
    std::string error;
    if (DumpToJson(path, document, error) != kExitOk) {
      EXPECT_FALSE(error.empty()) << i;
      ++rejected;
      continue;
    }
    EXPECT_FALSE(Text(document).empty()) << i;
    EXPECT_FALSE(document.dump(-1, ' ', false, Json::error_handler_t::replace).empty()) << i;
  }
  EXPECT_GT(rejected, 0u);
}

}  // namespace
