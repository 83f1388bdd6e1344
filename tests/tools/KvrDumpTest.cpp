// kvr dump on scene archives: both forms, bad files, hostile tables, usage.
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "DumpTestSupport.h"
#include "KvrProcess.h"

namespace {

using Json = nlohmann::ordered_json;

class KvrDumpTest : public SceneTest {
 protected:
  // Runs the kvr program with `arguments` (already quoted where needed).
  ProcessRun Kvr(const std::string& arguments) { return RunKvr(TempPath("run"), arguments); }

  // The sample scene saved in `byteOrder`.
  std::string SaveSampleScene(uint32_t byteOrder) {
    ScenePtr scene(BuildSampleScene(TempPath("checker.tga")));
    const std::string path = TempPath(byteOrder == 0 ? "little.kvr" : "big.kvr");
    SaveToFile(scene.get(), path, byteOrder);
    return path;
  }
};

// The sample scene in both forms: the text shows the header, the tables and the
// object tree; the JSON document holds every table, with references by index, in
// either byte order.
TEST_F(KvrDumpTest, SampleSceneInBothForms) {
  const ProcessRun run = Kvr("dump '" + SaveSampleScene(0) + "'");
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

  // Every member in its place (scripts read the document by these names, in this
  // order): the texture's origin as stored (0x0602, upper left), its pixels' hash
  // top row first, the shared texture in full once and then by reference.
  Json expected = Json::parse(R"(
{"header":{"byteOrder":"little","archiveVersion":1710,"licenseeName":"Tarnwell, Inc.",
"licenseeProjectName":"Kavrel Rendering Archive","licenseeVersion":1000},"classVersions":{"KvName":1,
"KvNamedObject":0,"KvSurface":0,"KvScene":0,"KvTexture":0,"KvLight":0,"KvJoint":0,"KvMorphTarget":0,
"KvMaterial":0,"KvSkeleton":1,"KvCamera":0,"KvMorphController":0,"KvMesh":0,"KvObject":0},"names":["KvScene",
"KvTexture","checker.tga","KvMaterial","skin","cloth","KvSkeleton","KvJoint","hip","knee","ankle","KvMesh",
"leg","KvSurface","KvMorphController","bend","KvLight","sun","KvCamera","persp"],"objectCount":14,
"root":{"index":0,"class":"KvScene","textures":[{"index":1,"class":"KvTexture","name":"checker.tga","width":2,
"height":2,"depth":1,"bytesPerPixel":3,"format":32992,"type":5121,"origin":1538,"dataSize":12,
"pixels":{"bytes":12,"sha256":"3d335acc3b7c9d3edcf42098e24ad875a2c0ba87223c640b1d535be39677009c"}}],
"materials":[{"index":2,"class":"KvMaterial","name":"skin","diffuse":[1,1,1,1],"ambient":[0.1,0.2,0.3,1],
"specular":[0,0,0,1],"emissive":[0,0,0,1],"diffuseTexture":{"ref":1},"specularPower":12.5,"factor":1},
{"index":3,"class":"KvMaterial","name":"cloth","diffuse":[1,1,1,1],"ambient":[0,0,0,1],"specular":[0,0,0,1],
"emissive":[0,0,0,1],"diffuseTexture":{"ref":1},"specularPower":0,"factor":1}],"skeletons":[{"index":4,
"class":"KvSkeleton","joints":[{"index":5,"class":"KvJoint","name":"hip","translation":[0,-1,0.5],
"rotation":[0.70710677,0,0.70710677,0],"scale":[1,1,1],"bindTranslation":[0,-1,0.5],"bindRotation":[0.70710677,
0,0.70710677,0],"bindScale":[1,1,1],"parent":null},{"index":6,"class":"KvJoint","name":"knee","translation":[0,
-1,0.5],"rotation":[0.70710677,0,0.70710677,0],"scale":[1,1,1],"bindTranslation":[0,-1,0.5],
"bindRotation":[0.70710677,0,0.70710677,0],"bindScale":[1,1,1],"parent":{"ref":5}},{"index":7,"class":"KvJoint",
"name":"ankle","translation":[0,-1,0.5],"rotation":[0.70710677,0,0.70710677,0],"scale":[1,1,1],
"bindTranslation":[0,-1,0.5],"bindRotation":[0.70710677,0,0.70710677,0],"bindScale":[1,1,1],
"parent":{"ref":6}}]}],"meshes":[{"index":8,"class":"KvMesh","name":"leg","vertexCapacity":4,
"vertices":[{"position":[0,0,0],"normal":[0,0,-1],"color":[1,1,1,1],"texCoord":[0,0],"firstInfluence":0,
"influenceCount":1},{"position":[1,0,0],"normal":[0.40824828,0.40824828,-0.81649655],"color":[1,1,1,1],
"texCoord":[0,0],"firstInfluence":1,"influenceCount":1},{"position":[0,1,0],"normal":[0.40824828,0.40824828,
-0.81649655],"color":[1,1,1,1],"texCoord":[0,0],"firstInfluence":2,"influenceCount":1},{"position":[1,1,1],
"normal":[0.57735026,0.57735026,-0.57735026],"color":[1,1,1,1],"texCoord":[0,0],"firstInfluence":3,
"influenceCount":1}],"texCoordCapacity":2,"texCoords":[[0,1],[1,0.5]],"influences":[{"joint":{"ref":5},
"weight":1,"positionOffset":[0,0,0]},{"joint":{"ref":6},"weight":1,"positionOffset":[0.5,0,0]},
{"joint":{"ref":7},"weight":1,"positionOffset":[1,0,0]},{"joint":{"ref":5},"weight":1,"positionOffset":[1.5,0,
0]}],"surfaces":[{"index":9,"class":"KvSurface","triangleCapacity":1,"triangles":[{"vertices":[0,1,2],
"texCoords":[0,1,0]}],"material":{"ref":2}},{"index":10,"class":"KvSurface","triangleCapacity":1,
"triangles":[{"vertices":[1,3,2],"texCoords":[1,1,0]}],"material":{"ref":3}}],"skeleton":{"ref":4},
"morphController":{"index":11,"class":"KvMorphController","morphTargets":[{"class":"KvMorphTarget",
"name":"bend","morphVertices":[{"positionDelta":[0,0,0.5],"normalDelta":[0.062251925,0.062251925,0.15094882],
"vertexIndex":3}]}]}}],"lights":[{"index":12,"class":"KvLight","name":"sun","type":2,"position":[0,0,0],
"direction":[0,0,1],"color":[1,1,1,1],"secondColor":[0,0,0,1],"intensity":[1,1,1,1],"parameter1":10000,
"parameter2":1,"parameter3":0,"dropOff":0,"parameter4":0,"parameter5":0,"coneAngle":30,"enabled":true}],
"cameras":[{"index":13,"class":"KvCamera","name":"persp","projectionType":0,"fieldOfView":1.0471976,
"parameter1":1,"parameter2":10000000,"parameter3":1,"parameter4":1e-08,"parameter5":3.4028235e+38,
"parameter6":1,"parameter7":1,"position":[0,5,-10],"rotation":[0,0,0],"viewMatrixValid":false,
"viewMatrix":{"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]},"secondMatrixValid":false,
"secondMatrix":{"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]},"projectionMatrixValid":false,
"projectionMatrix":{"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]}}]}})");
  for (uint32_t byteOrder : {0u, 1u}) {
    const ProcessRun json = Kvr("dump --json '" + SaveSampleScene(byteOrder) + "'");
    ASSERT_EQ(json.status, 0) << json.err;
    expected["header"]["byteOrder"] = byteOrder == 0 ? "little" : "big";
    EXPECT_EQ(Json::parse(json.out), expected);
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
  SaveToFile(&awkward, awkwardPath, 0);
  ExpectDumpsMatchDocument(awkwardPath);

  // The skeleton is not in the scene: its joints are written in full inside the
  // first influence (knee, its parent hip inside it), then by reference. Nor is the
  // material of the mesh's surface, which is shown in full under the mesh.
  KvScene scene;
  std::unique_ptr<KvSkeleton> skeleton(new KvSkeleton);
  std::unique_ptr<KvMaterial> loose(new KvMaterial(KvName("loose")));
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
  auto* surface = new KvSurface(mesh);
  surface->SetMaterial(loose.get());
  mesh->AddSurface(surface);
  scene.AddMesh(mesh);
  const std::string oddPath = TempPath("odd.kvr");
  SaveToFile(&scene, oddPath, 0);
  ExpectDumpsMatchDocument(oddPath);
  std::ostringstream text, err;
  RunDump(oddPath, false, text, err);
  EXPECT_NE(text.str().find("          #6 KvSkeleton: 2 joints\n            hip (#3) (shown above)\n"
                            "              knee (#2) (shown above)\n        materials: loose\n"
                            "          #5 KvMaterial \"loose\": power 0, factor 1\n"),
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

  // Every byte of the object stream flipped in turn: whatever still loads must
  // render in both forms (odd but valid graphs: objects first met in unusual places,
  // nulls), and whatever does not must say why.
  EXPECT_GT(DumpEveryFlippedByte(good, sceneRecord, TempPath("patched.kvr")), 0u);
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

// Usage errors of every command are status 2 and say what is wrong, before any
// file is read.
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
      {"frobnicate x.ma", 2, "kvr: there is no command \"frobnicate\"; the commands are dump, export, check, render, help "
                             "(kvr --help explains them)\n"},
      {"export a.ma b.ma -o x.kvr", 2, "-o names the archive of one scene"},
      {"export a.ma -o x.kvr --output-dir d", 2, "give either -o or --output-dir, not both"},
      {"export -j 0 a.ma", 2, "--jobs"},
      {"check", 2, "ARCHIVE is required"},
      {"render x.kvr --size 0x10", 2, "--size takes WIDTHxHEIGHT, each from 1 to 16384, not \"0x10\""},
      {"render x.kvr --size 640", 2, "not \"640\""},
      {"render x.kvr --size 640x480x3", 2, "not \"640x480x3\""},
      {"render x.kvr --size 16385x2", 2, "not \"16385x2\""},
      {"render x.kvr --camera cam --frame", 2, "excludes"},
  };
  for (const Case& c : cases) {
    const ProcessRun run = Kvr(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << c.arguments << ": " << run.out << run.err;
  }
}

}  // namespace
