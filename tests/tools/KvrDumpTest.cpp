#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>

#include "Dump.h"
#include "kv/Archive.h"
#include "DumpTestSupport.h"
#include "KvrProcess.h"
#include "SceneTestSupport.h"

namespace {

using Json = nlohmann::ordered_json;


// Every member of the sample scene's document in its place: scripts read the
// document by these names, in this order.
void ExpectMembersInTheirOrder(const Json& doc) {
  const std::pair<const char*, const char*> layouts[] = {
      {"", "header classVersions names objectCount root"},
      {"/header", "byteOrder archiveVersion licenseeName licenseeProjectName licenseeVersion"},
      {"/root", "index class textures materials skeletons meshes lights cameras"},
      {"/root/textures/0", "index class name width height depth bytesPerPixel format type origin dataSize pixels"},
      {"/root/materials/0", "index class name diffuse ambient specular emissive diffuseTexture specularPower factor"},
      {"/root/skeletons/0/joints/0",
       "index class name translation rotation scale bindTranslation bindRotation bindScale parent"},
      {"/root/meshes/0",
       "index class name vertexCapacity vertices texCoordCapacity texCoords influences surfaces skeleton "
       "morphController"},
      {"/root/meshes/0/vertices/0", "position normal color texCoord firstInfluence influenceCount"},
      {"/root/meshes/0/influences/0", "joint weight positionOffset"},
      {"/root/meshes/0/surfaces/0", "index class triangleCapacity triangles material"},
      {"/root/meshes/0/surfaces/0/triangles/0", "vertices texCoords"},
      {"/root/meshes/0/morphController", "index class morphTargets"},
      {"/root/meshes/0/morphController/morphTargets/0", "class name morphVertices"},
      {"/root/meshes/0/morphController/morphTargets/0/morphVertices/0", "positionDelta normalDelta vertexIndex"},
      {"/root/lights/0",
       "index class name type position direction color secondColor intensity parameter1 parameter2 parameter3 "
       "dropOff parameter4 parameter5 coneAngle enabled"},
      {"/root/cameras/0",
       "index class name projectionType fieldOfView parameter1 parameter2 parameter3 parameter4 parameter5 "
       "parameter6 parameter7 position rotation viewMatrixValid viewMatrix secondMatrixValid secondMatrix "
       "projectionMatrixValid projectionMatrix"},
      {"/root/cameras/0/viewMatrix", "flags values"},
  };
  for (const auto& [pointer, layout] : layouts) {
    std::string keys;
    for (const auto& item : doc.at(Json::json_pointer(pointer)).items()) keys += (keys.empty() ? "" : " ") + item.key();
    EXPECT_EQ(keys, layout) << pointer;
  }
}

class KvrDumpTest : public SceneTest {
 protected:
  // Runs the kvr program with `arguments` (already quoted where needed).
  ProcessRun Kvr(const std::string& arguments) {
    const std::filesystem::path dir = TempPath("run");
    std::filesystem::create_directories(dir);
    return RunKvr(dir, arguments);
  }

  // The sample scene saved in `byteOrder`.
  std::string SaveSampleScene(uint32_t byteOrder) {
    ScenePtr scene(BuildSampleScene(TempPath("checker.tga")));
    const std::string path = TempPath(byteOrder == 0 ? "little.kvr" : "big.kvr");
    SaveObject(scene.get(), path, byteOrder);
    return path;
  }
};

TEST_F(KvrDumpTest, TextReportShowsHeaderTablesAndTree) {
  const std::string path = SaveSampleScene(0);
  const ProcessRun run = Kvr("dump '" + path + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* expected : {
           "  byte order: little-endian\n",
           "  archive version: 1710\n",
           "  licensee: \"Tarnwell, Inc.\", project \"Kavrel Rendering Archive\", version 1000\n",
           "  KvSkeleton 1\n",
           "Objects: 14\nRoot:\n  #0 KvScene\n    textures (1):\n",
           "      #1 KvTexture \"checker.tga\": 2 x 2, 3 bytes per pixel, 12 bytes of pixels (sha256 "
           "3d335acc3b7c9d3edcf42098e24ad875a2c0ba87223c640b1d535be39677009c)\n",
           "      #2 KvMaterial \"skin\": power 12.5, factor 1\n"
           "        diffuse (1, 1, 1, 1), ambient (0.1, 0.2, 0.3, 1)\n",
           "        texture: #1 KvTexture \"checker.tga\"\n",
           "        hip (#5)\n          knee (#6)\n            ankle (#7)\n",
           "      #8 KvMesh \"leg\": 4 vertices, 2 texture coordinates, 2 triangles, 2 surfaces, 4 influences, 1 "
           "morph targets\n        skeleton: #4 KvSkeleton (root joint \"hip\")\n        materials: skin, cloth\n"
           "        morph target \"bend\": 1 morph vertices\n",
           "      #12 KvLight \"sun\": spot\n",
           "        cone angle 30, drop-off 0\n",
           "field of view 1.0471976 rad (60 deg)\n",
       }) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\nin:\n" << run.out;
  }
}

TEST_F(KvrDumpTest, JsonDocumentHoldsEveryTableAndReferencesByIndex) {
  for (uint32_t byteOrder : {0u, 1u}) {
    const ProcessRun run = Kvr("dump --json '" + SaveSampleScene(byteOrder) + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const Json doc = Json::parse(run.out);
    EXPECT_EQ(doc["header"]["byteOrder"], byteOrder == 0 ? "little" : "big");
    EXPECT_EQ(doc["header"]["archiveVersion"], 1710);
    EXPECT_EQ(doc["header"]["licenseeName"], "Tarnwell, Inc.");
    EXPECT_EQ(doc["header"]["licenseeProjectName"], "Kavrel Rendering Archive");
    EXPECT_EQ(doc["header"]["licenseeVersion"], 1000);
    // Every class the archive names, with its version.
    EXPECT_EQ(doc["classVersions"], Json::parse(R"({"KvName":1,"KvNamedObject":0,"KvSurface":0,"KvScene":0,
        "KvTexture":0,"KvLight":0,"KvJoint":0,"KvMorphTarget":0,"KvMaterial":0,"KvSkeleton":1,"KvCamera":0,
        "KvMorphController":0,"KvMesh":0,"KvObject":0})"));
    EXPECT_EQ(doc["names"][0], "KvScene");
    EXPECT_EQ(doc["objectCount"], 14);

    const Json& root = doc["root"];
    EXPECT_EQ(root["index"], 0);
    EXPECT_EQ(root["class"], "KvScene");
    const Json& texture = root["textures"][0];
    EXPECT_EQ(texture["index"], 1);
    EXPECT_EQ(texture["name"], "checker.tga");
    EXPECT_EQ(texture["width"], 2);
    EXPECT_EQ(texture["origin"], 0x0602);  // as stored (upper left), not DevIL's view after loading
    EXPECT_EQ(texture["pixels"]["bytes"], 12);
    // The pixels as the archive stores them: top row first.
    EXPECT_EQ(texture["pixels"]["sha256"], "3d335acc3b7c9d3edcf42098e24ad875a2c0ba87223c640b1d535be39677009c");
    // The shared texture is in full once, then a reference.
    EXPECT_EQ(root["materials"][0]["diffuseTexture"], Json({{"ref", 1}}));
    EXPECT_EQ(root["materials"][1]["diffuseTexture"], Json({{"ref", 1}}));
    EXPECT_EQ(root["materials"][0]["specularPower"], 12.5);
    EXPECT_EQ(root["materials"][0]["ambient"], Json({0.1, 0.2, 0.3, 1}));
    const Json& joints = root["skeletons"][0]["joints"];
    ASSERT_EQ(joints.size(), 3u);
    EXPECT_EQ(joints[0]["parent"], nullptr);
    EXPECT_EQ(joints[1]["parent"], Json({{"ref", 5}}));
    EXPECT_EQ(joints[2]["name"], "ankle");
    const Json& mesh = root["meshes"][0];
    EXPECT_EQ(mesh["skeleton"], Json({{"ref", 4}}));
    EXPECT_EQ(mesh["influences"][1]["joint"], Json({{"ref", 6}}));
    EXPECT_EQ(mesh["surfaces"][1]["class"], "KvSurface");
    EXPECT_EQ(mesh["surfaces"][1]["triangles"][0]["vertices"], Json({1, 3, 2}));
    EXPECT_EQ(mesh["surfaces"][1]["material"], Json({{"ref", 3}}));
    EXPECT_EQ(mesh["vertices"][3]["position"], Json({1, 1, 1}));
    EXPECT_EQ(mesh["morphController"]["index"], 11);
    EXPECT_EQ(mesh["morphController"]["morphTargets"][0]["name"], "bend");
    EXPECT_EQ(root["lights"][0]["type"], 2);
    EXPECT_EQ(root["lights"][0]["coneAngle"], 30);
    const Json& camera = root["cameras"][0];
    EXPECT_EQ(camera["fieldOfView"], 1.0471976);
    EXPECT_EQ(camera["viewMatrix"], Json::parse(R"({"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]})"));
    EXPECT_EQ(camera["projectionMatrixValid"], false);
    EXPECT_EQ(camera["parameter2"], 1e7);
    EXPECT_EQ(mesh["surfaces"][0]["triangleCapacity"], 1);
    ExpectMembersInTheirOrder(doc);
  }
}

// kvr dump streams the JSON and renders the text from a summary; both must come out
// as the whole document in memory would, for values with printing rules of their
// own and for a graph whose joints are first met among a mesh's influences.
TEST_F(KvrDumpTest, BothFormsMatchTheDocumentInMemory) {
  ExpectDumpsMatchDocument(SaveSampleScene(1));

  KvScene awkward;
  auto* light = new KvLight(KvName("tab\t back\\slash caf\xC3\xA9 \x7F latin\xE9"));
  light->SetPosition(KvVec3{std::nanf(""), INFINITY, -0.0f});
  light->SetDirection(KvVec3{1e-7f, 3.4e38f, -1e20f});
  light->SetColor(KvColor(0.1f, 1e7f, 123456.7f, -1.5e-5f));
  awkward.AddLight(light);
  const std::string awkwardPath = TempPath("awkward.kvr");
  SaveObject(&awkward, awkwardPath, 0);
  ExpectDumpsMatchDocument(awkwardPath);

  // The skeleton is not in the scene: its joints are written in full inside the
  // first influence (knee, its parent hip inside it), then by reference.
  KvScene scene;
  std::unique_ptr<KvSkeleton> skeleton(new KvSkeleton);
  auto* hip = new KvJoint(KvName("hip"));
  auto* knee = new KvJoint(KvName("knee"));
  knee->SetParent(hip);
  skeleton->AddJoint(hip);
  skeleton->AddJoint(knee);
  auto* mesh = new KvMesh;
  mesh->SetNumVertices(1);
  KvVertex vertex;
  vertex.influenceCount = 2;
  mesh->AddVertex(vertex);
  for (KvJoint* joint : {knee, hip}) {
    KvVertexInfluence influence;
    influence.joint = joint;
    influence.weight = 0.5f;
    mesh->AddInfluence(influence);
  }
  mesh->SetSkeleton(skeleton.get());
  scene.AddMesh(mesh);
  const std::string oddPath = TempPath("odd.kvr");
  SaveObject(&scene, oddPath, 0);
  ExpectDumpsMatchDocument(oddPath);
  std::ostringstream text, err;
  RunDump(oddPath, false, text, err);
  EXPECT_NE(text.str().find("          #4 KvSkeleton: 2 joints\n            hip (#3) (shown above)\n"
                            "              knee (#2) (shown above)\n"),
            std::string::npos)
      << text.str();
}

TEST_F(KvrDumpTest, BadFilesGiveOneLineAndStatusOne) {
  const Bytes good = ReadFile(SaveSampleScene(0));
  Bytes wrongMagic = good;
  wrongMagic[3] = 'X';
  Bytes newer = good;
  newer[4] = 0xAF;  // 1711
  Bytes trailing = good;
  trailing.push_back(0);
  Bytes badCount = good;
  // The scene's texture count (right after the root's record) claims 1000 textures.
  const Bytes sceneRecord = ByteWriter().U32(0).U32(0).U32(sizeof(KvScene)).U32(1).Get();
  auto at = std::search(badCount.begin(), badCount.end(), sceneRecord.begin(), sceneRecord.end());
  ASSERT_NE(at, badCount.end());
  at[12] = 0xE8;
  at[13] = 0x03;
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;
  };
  const Case cases[] = {
      {"empty", {}, "not a KVR archive"},
      {"wrong magic", wrongMagic, "not a KVR archive"},
      {"newer version", newer, "unsupported archive version"},
      {"cut in the header", Bytes(good.begin(), good.begin() + 20), "truncated at byte"},
      {"cut in the object stream", Bytes(good.begin(), good.end() - 30), "truncated at byte"},
      {"extra byte", trailing, "unexpected byte(s) after the object stream"},
      {"count beyond the file", badCount, "corrupt at byte"},
  };
  for (const Case& c : cases) {
    const std::string path = TempPath("bad.kvr");
    WriteFile(path, c.bytes);
    const ProcessRun run = Kvr("dump '" + path + "'");
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err.rfind("kvr: " + path + ": ", 0), 0u) << c.what << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what << ": " << run.err;
  }
  const ProcessRun missing = Kvr("dump '" + TempPath("missing.kvr") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot be opened: No such file or directory"), std::string::npos) << missing.err;
}

// A second of processor time for each refusal; the sanitizers' build of kvr runs
// about eight times slower. (The same files took minutes, or crashed, when table
// loading was quadratic and sizes wrapped.)
#if defined(__SANITIZE_ADDRESS__)
constexpr double kRefusalSeconds = 8.0;
#else
constexpr double kRefusalSeconds = 1.0;
#endif

double ChildProcessorSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Names whose every two bytes add the same to the 5381/33 hash ("Ez", "FY", "G8",
// ... "L\x93", the last four as signed bytes): every name `Crowded(i)` has one and
// the same hash, so all of them share a bucket in any table.
std::string Crowded(uint32_t i) {
  static const char* const kPairs[8] = {"Ez", "FY", "G8", "H\x17", "I\xF6", "J\xD5", "K\xB4", "L\x93"};
  std::string name;
  for (int digit = 0; digit < 6; ++digit, i /= 8) name += kPairs[i % 8];
  return name;
}

// Each hostile file is a few lines of bytes; kvr must refuse each with status 1,
// at once: no wrapped allocation, no quadratic table.
TEST_F(KvrDumpTest, HostileTablesAreRefusedAtOnce) {
  ASSERT_EQ(KvHashString(Crowded(0).c_str(), 12), KvHashString(Crowded(262143).c_str(), 12));
  // 1. 178,956,971 names (at 24 bytes each in memory, 2^32 + 8 bytes), and enough
  //    zeros (empty names) to back the count: a sparse file of almost no disk.
  const std::string sparse = TempPath("names-beyond-memory.kvr");
  WriteFile(sparse, ByteWriter().Header().U16(0).U32(178956971).Get());
  std::filesystem::resize_file(sparse, 64 + uint64_t{178956971} * 4);
  // 2. 80,000 distinct names that share one name-table bucket.
  ByteWriter names;
  names.Header().U16(0).U32(80000);
  for (uint32_t i = 0; i < 80000; ++i) names.Str(Crowded(i));
  names.U32(0);
  // 3. 100,000 class-table entries in the bucket "KvName" is looked up in, the
  //    first name again last.
  ByteWriter classes;
  classes.Header().U16(1).U32(1).U32(KvClassVersionTable::BucketOf("KvName", 6)).U32(100001);
  for (uint32_t i = 0; i <= 100000; ++i) classes.Str(Crowded(i % 100000)).U16(1);
  classes.U32(0).U32(0);
  struct Case {
    std::string path;
    const char* message;
  };
  const Case cases[] = {
      {sparse, "a count of 178956971 elements of"},
      {TempPath("crowded-names.kvr"), "truncated at byte"},
      {TempPath("crowded-classes.kvr"), "names class \"EzEzEzEzEzEz\" twice"},
  };
  WriteFile(cases[1].path, names.Get());
  WriteFile(cases[2].path, classes.Get());
  for (const Case& c : cases) {
    // The processor time kvr took, which other work on the machine does not stretch.
    const double before = ChildProcessorSeconds();
    const ProcessRun run = Kvr("dump '" + c.path + "'");
    const double seconds = ChildProcessorSeconds() - before;
    EXPECT_EQ(run.status, 1) << c.path;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_LT(seconds, kRefusalSeconds) << c.path;
    std::remove(c.path.c_str());
  }
}

TEST_F(KvrDumpTest, PatchedArchivesAreReportedOrRejectedWithoutHarm) {
  // Every byte of the sample flipped in turn: whatever still loads must render in
  // both forms (odd but valid graphs: objects first met in unusual places, nulls),
  // and whatever does not must say why.
  const Bytes good = ReadFile(SaveSampleScene(0));
  const std::string path = TempPath("patched.kvr");
  const uint32_t rendered =
      DumpEveryFlippedByte(good, ByteWriter().U32(0).U32(0).U32(sizeof(KvScene)).Get(), path);
  EXPECT_GT(rendered, 0u);
}

TEST_F(KvrDumpTest, UsageErrorsAndHelp) {
  struct Case {
    const char* arguments;
    int status;
    const char* text;  // in stdout or stderr
  };
  const Case cases[] = {
      {"", 2, "subcommand is required"},
      {"dump", 2, "FILE is required"},
      {"dump --bogus x.kvr", 2, "--bogus"},
      {"--version", 0, "kvr 1.5.0"},
      {"--help", 0, "dump"},
      {"help dump", 0, "--json"},
      {"help nothing", 2, "no command named \"nothing\""},
  };
  for (const Case& c : cases) {
    const ProcessRun run = Kvr(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << c.arguments << ": " << run.out << run.err;
  }
}

}  // namespace
