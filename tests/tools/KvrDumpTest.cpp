// kvr dump on scene archives: both forms, bad files, hostile tables, usage.
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "DumpTestSupport.h"
#include "KvrProcess.h"

namespace {

using Json = nlohmann::ordered_json;

class KvrDumpTest : public SceneTest {
 protected:
  ProcessRun Kvr(const std::string& arguments) { return RunKvr(TempPath("run"), arguments); }

  // The scene tests' two golden scenes in one, 14 objects: the look scene, its
  // texture given the image BottomUpTga, joined by the skinned scene's material,
  // skeleton and mesh.
  std::string SaveSampleScene(uint32_t byteOrder) {
    ScenePtr scene(BuildLookScene());
    WriteFile(TempPath("checker.tga"), BottomUpTga());
    EXPECT_TRUE((*scene->Textures().begin())->LoadImage(KvString(TempPath("checker.tga").c_str())));
    ScenePtr skinned(BuildSkinnedScene());
    scene->AddMaterial(*skinned->Materials().begin());
    scene->AddSkeleton(skinned->GetSkeleton(0));
    scene->AddMesh(skinned->GetMesh(0));
    skinned->Materials().Clear();
    skinned->Skeletons().Clear();
    skinned->Meshes().Clear();
    const std::string path = TempPath(byteOrder == 0 ? "little.kvr" : "big.kvr");
    SaveToFile(scene.get(), path, byteOrder);
    return path;
  }
};

// The sample scene in both forms: the text shows the header, the tables and the
// object tree; the JSON document holds every table, with references by index, in
// either byte order. Both forms come out as the document in memory would.
TEST_F(KvrDumpTest, BothFormsShowTheSampleSceneAndMatchTheDocumentInMemory) {
  const ProcessRun run = Kvr("dump '" + SaveSampleScene(0) + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* expected : {
           "  byte order: little-endian\n  archive version: 1710\n"
           "  licensee: \"Tarnwell, Inc.\", project \"Kavrel Rendering Archive\", version 1000\n",
           "  KvSkeleton 1\n",
           "Name table: 21 names\nObjects: 14\nRoot:\n  #0 KvScene\n    textures (1):\n"
           "      #1 KvTexture \"wood\": 2 x 2, 3 bytes per pixel, 12 bytes of pixels (sha256 "
           "3d335acc3b7c9d3edcf42098e24ad875a2c0ba87223c640b1d535be39677009c)\n    materials (3):\n"
           "      #2 KvMaterial \"skin\": power 12.5, factor 1\n        diffuse (0.1, 0.2, 0.3, 0.4), ambient (0.5, 0.6, 0.7, 0.8)\n"
           "        specular (0.9, 1.1, 1.2, 1.3), emissive (1.4, 1.5, 1.6, 1.7)\n        texture: #1 KvTexture \"wood\"\n",
           "        texture: (none)\n    skeletons (1):\n      #5 KvSkeleton: 2 joints\n        root (#6)\n          child (#7)\n"
           "    meshes (1):\n      #8 KvMesh \"m\": 3 vertices, 1 texture coordinates, 1 triangles, 1 surfaces, 1 influences, "
           "2 morph targets\n        skeleton: #5 KvSkeleton (root joint \"root\")\n        materials: skin\n"
           "        morph target \"t1\": 1 morph vertices\n        morph target \"t2\": 2 morph vertices\n    lights (3):\n"
           "      #11 KvLight \"p\": point\n        position (1, 2, 3), direction (0, 0, 1)\n"
           "        colour (1, 1, 1, 1), intensity (1, 1, 1, 1), second colour (0, 0, 0, 1)\n"
           "        cone angle 1.5707964, drop-off 0\n      (none)\n      #12 KvLight \"s\": spot\n"
           "        position (0, 0, 0), direction (0, -1, 0)\n"
           "        colour (0.5, 0.25, 1, 1), intensity (2, 3, 4, 1), second colour (0, 0, 0, 1)\n"
           "        cone angle 45, drop-off 3\n    cameras (1):\n      #13 KvCamera \"cam\": position (1, 2, 3), rotation "
           "(0.5, 0.25, 0.125), field of view 1.5707964 rad (90 deg)\n",
       }) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\nin:\n" << run.out;
  }

  // Every member in its place (scripts read the document by these names, in this
  // order): the texture's origin as stored (0x0602, upper left), its pixels' hash
  // top row first, the shared texture in full once and then by reference, the
  // null light as null.
  Json expected = Json::parse(R"(
{"header":{"byteOrder":"little","archiveVersion":1710,"licenseeName":"Tarnwell, Inc.",
"licenseeProjectName":"Kavrel Rendering Archive","licenseeVersion":1000},"classVersions":{"KvName":1,
"KvNamedObject":0,"KvSurface":0,"KvScene":0,"KvTexture":0,"KvLight":0,"KvJoint":0,"KvMorphTarget":0,
"KvMaterial":0,"KvSkeleton":1,"KvCamera":0,"KvMorphController":0,"KvMesh":0,"KvObject":0},"names":["KvScene",
"KvTexture","wood","KvMaterial","skin","plain","KvSkeleton","KvJoint","root","child","KvMesh","m","KvSurface",
"KvMorphController","t1","t2","KvLight","p","s","KvCamera","cam"],"objectCount":14,"root":{"index":0,
"class":"KvScene","textures":[{"index":1,"class":"KvTexture","name":"wood","width":2,"height":2,"depth":1,
"bytesPerPixel":3,"format":32992,"type":5121,"origin":1538,"dataSize":12,"pixels":{"bytes":12,
"sha256":"3d335acc3b7c9d3edcf42098e24ad875a2c0ba87223c640b1d535be39677009c"}}],"materials":[{"index":2,
"class":"KvMaterial","name":"skin","diffuse":[0.1,0.2,0.3,0.4],"ambient":[0.5,0.6,0.7,0.8],"specular":[0.9,1.1,
1.2,1.3],"emissive":[1.4,1.5,1.6,1.7],"diffuseTexture":{"ref":1},"specularPower":12.5,"factor":1},{"index":3,
"class":"KvMaterial","name":"plain","diffuse":[1,1,1,1],"ambient":[0,0,0,1],"specular":[0,0,0,1],"emissive":[0,0,
0,1],"diffuseTexture":{"ref":1},"specularPower":0,"factor":1},{"index":4,"class":"KvMaterial","name":"skin",
"diffuse":[1,1,1,1],"ambient":[0,0,0,1],"specular":[0,0,0,1],"emissive":[0,0,0,1],"diffuseTexture":null,
"specularPower":0,"factor":1}],"skeletons":[{"index":5,"class":"KvSkeleton","joints":[{"index":6,
"class":"KvJoint","name":"root","translation":[0,0,0],"rotation":[1,0,0,0],"scale":[1,1,1],"bindTranslation":[0,0,
0],"bindRotation":[1,0,0,0],"bindScale":[1,1,1],"parent":null},{"index":7,"class":"KvJoint","name":"child",
"translation":[4,5,6],"rotation":[0,0,1,0],"scale":[7,8,9],"bindTranslation":[1,2,3],"bindRotation":[0.5,0.5,0.5,
0.5],"bindScale":[1,1,1],"parent":{"ref":6}}]}],"meshes":[{"index":8,"class":"KvMesh","name":"m",
"vertexCapacity":3,"vertices":[{"position":[0,0,0],"normal":[0,0,-1],"color":[0,0,0,1],"texCoord":[0,0],
"firstInfluence":0,"influenceCount":1},{"position":[1,0,0],"normal":[0,0,-1],"color":[0,0,0,1],"texCoord":[0,0],
"firstInfluence":0,"influenceCount":0},{"position":[0,1,0],"normal":[0,0,-1],"color":[0,0,0,1],"texCoord":[0,0],
"firstInfluence":0,"influenceCount":0}],"texCoordCapacity":1,"texCoords":[[0.25,0.75]],
"influences":[{"joint":{"ref":7},"weight":0.75,"positionOffset":[0.5,0.25,0.125]}],"surfaces":[{"index":9,
"class":"KvSurface","triangleCapacity":1,"triangles":[{"vertices":[0,1,2],"texCoords":[0,0,0]}],
"material":{"ref":4}}],"skeleton":{"ref":5},"morphController":{"index":10,"class":"KvMorphController",
"morphTargets":[{"class":"KvMorphTarget","name":"t1","morphVertices":[{"positionDelta":[1,2,3],"normalDelta":[4,5,
6],"vertexIndex":2}]},{"class":"KvMorphTarget","name":"t2","morphVertices":[{"positionDelta":[0.5,0,0],
"normalDelta":[0,0,0],"vertexIndex":0},{"positionDelta":[-1,0,0],"normalDelta":[0,0,0],"vertexIndex":1}]}]}}],
"lights":[{"index":11,"class":"KvLight","name":"p","type":1,"position":[1,2,3],"direction":[0,0,1],"color":[1,1,1,
1],"secondColor":[0,0,0,1],"intensity":[1,1,1,1],"parameter1":10000,"parameter2":1,"parameter3":0,"dropOff":0,
"parameter4":0,"parameter5":0,"coneAngle":1.5707964,"enabled":true},null,{"index":12,"class":"KvLight","name":"s",
"type":2,"position":[0,0,0],"direction":[0,-1,0],"color":[0.5,0.25,1,1],"secondColor":[0,0,0,1],"intensity":[2,3,
4,1],"parameter1":10000,"parameter2":1,"parameter3":0,"dropOff":3,"parameter4":0,"parameter5":0,"coneAngle":45,
"enabled":true}],"cameras":[{"index":13,"class":"KvCamera","name":"cam","projectionType":1,
"fieldOfView":1.5707964,"parameter1":1,"parameter2":10000000,"parameter3":1,"parameter4":1e-08,
"parameter5":3.4028235e+38,"parameter6":1,"parameter7":1,"position":[1,2,3],"rotation":[0.5,0.25,0.125],
"viewMatrixValid":false,"viewMatrix":{"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]},
"secondMatrixValid":false,"secondMatrix":{"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]},
"projectionMatrixValid":false,"projectionMatrix":{"flags":3,"values":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]}}]}})");
  for (uint32_t byteOrder : {0u, 1u}) {
    expected["header"]["byteOrder"] = byteOrder == 0 ? "little" : "big";
    EXPECT_EQ(ExpectDumpsMatchDocument(SaveSampleScene(byteOrder)), expected);
  }

  // kvr dump streams the JSON and renders the text from a summary; both must come out
  // as the whole document in memory would, for values with printing rules of their
  // own and for a graph whose joints are first met among a mesh's influences.
  KvScene awkward;
  auto* light = new KvLight(KvName("tab\t back\\slash caf\xC3\xA9 \x7F latin\xE9"));
  light->SetPosition(KvVec3{std::nanf(""), INFINITY, -0.0f});
  light->SetDirection(KvVec3{1e-7f, 3.4e38f, -1e20f});
  light->SetColor(KvColor(0.1f, 1e7f, 123456.7f, -1.5e-5f));
  awkward.AddLight(light);
  const std::string awkwardPath = TempPath("awkward.kvr");
  SaveToFile(&awkward, awkwardPath, 0);
  ExpectDumpsMatchDocument(awkwardPath);

  // The skinned scene without the skeleton and the material in its lists: the joints
  // are written in full inside the influence (the child, its parent inside it), then
  // by reference; the surface's material is shown in full under the mesh.
  ScenePtr scene(BuildSkinnedScene());
  const std::unique_ptr<KvSkeleton> skeleton(scene->GetSkeleton(0));
  const std::unique_ptr<KvMaterial> skin(*scene->Materials().begin());
  scene->Skeletons().Clear();
  scene->Materials().Clear();
  const std::string oddPath = TempPath("odd.kvr");
  SaveToFile(scene.get(), oddPath, 0);
  std::ostringstream text;
  WriteTextReport(ExpectDumpsMatchDocument(oddPath), text);
  EXPECT_NE(text.str().find("          #6 KvSkeleton: 2 joints\n            root (#3) (shown above)\n"
                            "              child (#2) (shown above)\n        materials: skin\n"
                            "          #5 KvMaterial \"skin\": power 0, factor 1\n"),
            std::string::npos)
      << text.str();
}

// A second of processor time for each refusal; the sanitizers' build of kvr runs
// about eight times slower. (The hostile tables below took minutes, or crashed,
// when table loading was quadratic and sizes wrapped.)
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

// A bad file, hostile or not, is refused at once with status 1 and one line that
// names it and says why: no wrapped allocation, no quadratic table.
TEST_F(KvrDumpTest, BadFilesAreRefusedAtOnceWithOneLineAndStatusOne) {
  const Bytes good = ReadFile(SaveSampleScene(0));
  // The scene's texture count (1) comes right after the root's record.
  const Bytes sceneRecord = ByteWriter().U32(0).U32(0).U32(sizeof(KvScene)).U32(1).Get();
  const size_t textures = std::search(good.begin(), good.end(), sceneRecord.begin(), sceneRecord.end()) - good.begin() + 12;
  ASSERT_LT(textures, good.size());
  auto patched = [&good](const std::function<void(Bytes&)>& patch) {
    Bytes bytes = good;
    patch(bytes);
    return bytes;
  };
  ASSERT_EQ(KvHashString(Crowded(0).c_str(), 12), KvHashString(Crowded(262143).c_str(), 12));
  // 80,000 distinct names that share one name-table bucket.
  ByteWriter names;
  names.Header().U16(0).U32(80000);
  for (uint32_t i = 0; i < 80000; ++i) names.Str(Crowded(i));
  names.U32(0);
  // 100,000 class-table entries in the bucket "KvName" is looked up in, the first
  // name again last.
  ByteWriter classes;
  classes.Header().U16(1).U32(1).U32(KvClassVersionTable::BucketOf("KvName", 6)).U32(100001);
  for (uint32_t i = 0; i <= 100000; ++i) classes.Str(Crowded(i % 100000)).U16(1);
  classes.U32(0).U32(0);
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;
    uint64_t sparseSize = 0;  // the file made this long with zeros that take no disk
  };
  const Case cases[] = {
      {"empty", {}, "not a KVR archive"},
      {"wrong magic", patched([](Bytes& b) { b[3] = 'X'; }), "not a KVR archive"},
      {"newer version", patched([](Bytes& b) { b[4] = 0xAF; }), "unsupported archive version"},  // 1711
      {"cut in the header", Bytes(good.begin(), good.begin() + 20), "truncated at byte"},
      {"cut in the object stream", Bytes(good.begin(), good.end() - 30), "truncated at byte"},
      {"extra byte", patched([](Bytes& b) { b.push_back(0); }), "unexpected byte(s) after the object stream"},
      {"count beyond the file", patched([&](Bytes& b) { b[textures + 1] = 0x03; }), "corrupt at byte"},  // 769
      {"missing", {}, "cannot be opened: No such file or directory"},
      // 178,956,971 names (at 24 bytes each in memory, 2^32 + 8 bytes), and enough
      // zeros (empty names) to back the count.
      {"names beyond memory", ByteWriter().Header().U16(0).U32(178956971).Get(), "a count of 178956971 elements of",
       64 + uint64_t{178956971} * 4},
      {"crowded names", names.Get(), "truncated at byte"},
      {"crowded classes", classes.Get(), "names class \"EzEzEzEzEzEz\" twice"},
  };
  for (const Case& c : cases) {
    const std::string path = TempPath(std::string(c.what) + ".kvr");
    if (c.what != std::string("missing")) WriteFile(path, c.bytes);
    if (c.sparseSize > 0) std::filesystem::resize_file(path, c.sparseSize);
    // The processor time kvr took, which other work on the machine does not stretch.
    const double before = ChildProcessorSeconds();
    const ProcessRun run = Kvr("dump '" + path + "'");
    EXPECT_LT(ChildProcessorSeconds() - before, kRefusalSeconds) << c.what;
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err.rfind("kvr: " + path + ": ", 0), 0u) << c.what << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.what << ": " << run.err;
    std::remove(path.c_str());
  }
  EXPECT_GT(DumpEveryFlippedByte(good, sceneRecord, TempPath("patched.kvr")), 0u);
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
