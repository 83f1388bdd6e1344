#include "SceneTestSupport.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Skeleton.h"

namespace {

using KvMeshTest = SceneTest;

KvVertex At(float x, float y, float z) {
  KvVertex v;
  v.position = KvVec3{x, y, z};
  return v;
}

// A mesh of `positions` and one surface holding `triangles` (texture-coordinate
// indices 0).
KvMesh* MakeMesh(std::initializer_list<KvVec3> positions, std::initializer_list<std::array<uint32_t, 3>> triangles) {
  auto* mesh = new KvMesh();
  mesh->SetNumVertices(static_cast<uint32_t>(positions.size()));
  for (const KvVec3& p : positions) mesh->AddVertex(At(p.x, p.y, p.z));
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(static_cast<uint32_t>(triangles.size()));
  for (const auto& t : triangles) surface->AddTriangle(KvTriangle{{t[0], t[1], t[2]}, {0, 0, 0}});
  mesh->AddSurface(surface);
  return mesh;
}

void ExpectVec(const KvVec3& v, float x, float y, float z, float tolerance = 1e-6f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST_F(KvMeshTest, NormalsSumUnnormalisedFaceNormalsBeforeNormalising) {
  // Counter-clockwise seen from +z: the face normal e2 x e1 points to -z, length
  // twice the area, until the mesh normalises the sums.
  std::unique_ptr<KvMesh> single(MakeMesh({{0, 0, 0}, {2, 0, 0}, {0, 3, 0}}, {{0, 1, 2}}));
  single->GetSurface(0)->ComputeNormals();
  ExpectVec(single->GetVertex(1)->normal, 0, 0, -6);

  // Two faces at a right angle share the edge 0-1: its vertices average the face
  // normals (0,0,-1) and (0,-1,0). A triangle naming a missing vertex adds nothing.
  std::unique_ptr<KvMesh> mesh(
      MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 5, 5}}, {{0, 1, 2}, {4, 9, 4}, {0, 3, 1}}));
  mesh->ComputeNormals();
  const float h = std::sqrt(0.5f);
  ExpectVec(mesh->GetVertex(0)->normal, 0, -h, -h);
  ExpectVec(mesh->GetVertex(2)->normal, 0, 0, -1);
  ExpectVec(mesh->GetVertex(3)->normal, 0, -1, 0);
  ExpectVec(mesh->GetVertex(4)->normal, 0, 0, 0);  // used by no triangle
  single->ComputeNormals();
  ExpectVec(single->GetVertex(2)->normal, 0, 0, -1);
}

TEST_F(KvMeshTest, NormalOffsetsAreInJointSpace) {
  std::unique_ptr<KvMesh> mesh(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {7, 7, 7}}, {{0, 1, 2}}));
  // Joint turned a quarter about x (y -> z), scaled 2, translated (ignored for
  // directions): the world normal (0,0,-1) is (0,-0.5,0) in joint space.
  KvJoint joint;
  const float h = std::sqrt(0.5f);
  joint.SetRotation(KvQuat{h, h, 0, 0});
  joint.SetScale(KvVec3{2, 2, 2});
  joint.SetTranslation(KvVec3{5, 6, 7});
  KvJoint other;  // a second joint, identity pose
  other.SetScale(KvVec3{1, 1, 1});
  KvVertexInfluence influence;
  influence.joint = &joint;
  influence.normalOffset = KvVec3{9, 9, 9};
  mesh->AddInfluence(influence);  // 0: vertex 0
  influence.joint = &other;
  mesh->AddInfluence(influence);  // 1: vertex 0
  influence.joint = nullptr;
  mesh->AddInfluence(influence);  // 2: vertex 1, no joint: untouched
  influence.joint = &joint;
  mesh->AddInfluence(influence);  // 3: vertex 3, which has no normal
  mesh->AddInfluence(influence);  // 4: owned by no vertex: untouched
  mesh->GetVertex(0)->firstInfluence = 0;
  mesh->GetVertex(0)->influenceCount = 2;
  mesh->GetVertex(1)->firstInfluence = 2;
  mesh->GetVertex(1)->influenceCount = 1;
  mesh->GetVertex(3)->firstInfluence = 3;
  mesh->GetVertex(3)->influenceCount = 1;
  mesh->ComputeNormals();
  ExpectVec(mesh->GetInfluence(0).normalOffset, 0, -0.5f, 0);
  ExpectVec(mesh->GetInfluence(1).normalOffset, 0, 0, -1);
  ExpectVec(mesh->GetInfluence(2).normalOffset, 9, 9, 9);
  ExpectVec(mesh->GetInfluence(3).normalOffset, 0, 0, 0);
  ExpectVec(mesh->GetInfluence(4).normalOffset, 9, 9, 9);
}

TEST_F(KvMeshTest, FixedCapacityArraysRefuseTheExtraElement) {
  KvMesh mesh;
  mesh.SetNumVertices(3);
  EXPECT_TRUE(mesh.AddVertex(At(1, 1, 1)));
  EXPECT_TRUE(mesh.AddVertex(At(2, 2, 2)));
  const KvMesh& view = mesh;
  EXPECT_EQ(mesh.GetVertex(2), nullptr) << "room, but no vertex yet";
  EXPECT_EQ(view.GetVertex(2), nullptr);
  EXPECT_TRUE(mesh.AddVertex(At(3, 3, 3)));
  EXPECT_FALSE(mesh.AddVertex(At(4, 4, 4)));
  EXPECT_EQ(mesh.GetNumVertices(), 3u);
  EXPECT_EQ(view.GetVertex(3), nullptr);
  EXPECT_EQ(view.GetVertex(1)->position.x, 2.0f);

  mesh.SetNumTexCoords(1);
  EXPECT_TRUE(mesh.AddTexCoord(KvTexCoord{0.5f, 0.25f}));
  EXPECT_FALSE(mesh.AddTexCoord(KvTexCoord{1, 1}));
  mesh.SetNumTexCoords(3);
  mesh.SetNumTexCoords(3);
  EXPECT_EQ(mesh.GetNumTexCoords(), 0u);
  EXPECT_EQ(mesh.GetTexCoordCapacity(), 3u);

  KvSurface surface;
  surface.SetNumTriangles(1);
  EXPECT_TRUE(surface.AddTriangle(KvTriangle{{0, 1, 0}, {0, 0, 0}}));
  EXPECT_FALSE(surface.AddTriangle(KvTriangle{{1, 1, 1}, {0, 0, 0}}));
  EXPECT_EQ(surface.GetTriangle(1), nullptr);
  EXPECT_EQ(surface.GetTriangle(0)->vertices[1], 1u);
}

// The fields of the one-mesh scene below that the corrupt cases change.
struct MeshFields {
  uint32_t vertexCapacity = 3, vertexCount = 3;
  uint32_t texCoordCapacity = 1, texCoordCount = 1;
  uint32_t influenceCount = 1;
  uint32_t firstInfluence = 0, vertexInfluences = 1;  // of vertex 0
  uint32_t triangleCapacity = 1, triangleCount = 1;
  uint32_t corner2 = 2, texCoord2 = 0;  // indices of the triangle's last corner
};

// A scene with one mesh "m": vertices (0,0,0), (1,0,0), (0,1,0), one texture
// coordinate, one influence without a joint, one surface with one triangle.
Bytes OneMeshScene(const MeshFields& f) {
  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSurfaceClass, kSceneClass, kMeshClass, kObjectClass},
             {"KvScene", "KvMesh", "m", "KvSurface"}, 3);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvMesh)).U32(2);
  w.U32(f.vertexCapacity).U32(f.vertexCount);
  const float positions[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (int i = 0; i < 3; ++i) {
    w.Floats({positions[i][0], positions[i][1], positions[i][2], 0, 0, -1, 0, 0, 0, 1, 0, 0});
    w.U32(i == 0 ? f.firstInfluence : 0).U32(i == 0 ? f.vertexInfluences : 0);
  }
  w.U32(f.texCoordCapacity).U32(f.texCoordCount).Floats({0.25f, 0.75f});
  w.U32(f.influenceCount).U32(0xFFFFFFFF).Floats({1, 0.5f, 0.5f, 0.5f});
  w.U32(1).U32(2).U32(3).U32(sizeof(KvSurface));
  w.U32(f.triangleCapacity).U32(f.triangleCount).U32(0).U32(1).U32(f.corner2).U32(0).U32(0).U32(f.texCoord2);
  w.U32(0xFFFFFFFF);                // material
  w.U32(0xFFFFFFFF).U32(0xFFFFFFFF);  // skeleton, morph controller
  w.U32(0).U32(0);
  return w.Get();
}

TEST_F(KvMeshTest, MeshLayoutIsByteExact) {
  KvScene scene;
  KvMesh* mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  mesh->SetName(KvName("m"));
  mesh->SetNumTexCoords(1);
  mesh->AddTexCoord(KvTexCoord{0.25f, 0.75f});
  KvVertexInfluence influence;
  influence.weight = 1;
  influence.positionOffset = KvVec3{0.5f, 0.5f, 0.5f};
  mesh->AddInfluence(influence);
  mesh->GetVertex(0)->influenceCount = 1;
  mesh->ComputeNormals();
  scene.AddMesh(mesh);
  EXPECT_EQ(SaveObject(&scene, TempPath("mesh.kvr"), 0), OneMeshScene(MeshFields{}));
}

TEST_F(KvMeshTest, CorruptCountsAndIndexesFailTheLoad) {
  struct Case {
    const char* what;
    void (*patch)(MeshFields&);
  };
  const Case cases[] = {
      {"vertex count above capacity", [](MeshFields& f) { f.vertexCount = 4; }},
      {"vertex capacity beyond the file", [](MeshFields& f) { f.vertexCapacity = 0xFFFFFFFF; }},
      {"texture-coordinate count above capacity", [](MeshFields& f) { f.texCoordCount = 2; }},
      {"texture-coordinate capacity beyond the file", [](MeshFields& f) { f.texCoordCapacity = 0x20000000; }},
      {"triangle count above capacity", [](MeshFields& f) { f.triangleCount = 2; }},
      {"triangle count beyond the file",
       [](MeshFields& f) {
         f.triangleCapacity = 0x10000000;
         f.triangleCount = 0x10000000;
       }},
      {"triangle vertex index out of range", [](MeshFields& f) { f.corner2 = 3; }},
      {"triangle texture-coordinate index out of range", [](MeshFields& f) { f.texCoord2 = 1; }},
      {"influence run past the list", [](MeshFields& f) { f.vertexInfluences = 2; }},
      {"influence run that wraps around", [](MeshFields& f) { f.firstInfluence = 0xFFFFFFFF; }},
      {"influence count beyond the file", [](MeshFields& f) { f.influenceCount = 0x7FFFFFFF; }},
  };
  for (const Case& c : cases) {
    MeshFields fields;
    c.patch(fields);
    LoadResult result = LoadBytes(OneMeshScene(fields), KvScene::StaticClass());
    EXPECT_EQ(result.root, nullptr) << c.what;
    EXPECT_EQ(result.error, KvArchiveError::kCorrupt) << c.what << ": " << result.message;
    delete result.root;
  }
}

TEST_F(KvMeshTest, TriangleRoomBeyondTheCountLoadsWithoutBeingAllocated) {
  // The writer sets aside one triangle per host polygon and stores only the
  // triangles; room for 2^28 triangles with one stored is a valid surface.
  MeshFields fields;
  fields.triangleCapacity = 0x10000000;
  ScenePtr scene(LoadScene(OneMeshScene(fields)));
  ASSERT_NE(scene, nullptr);
  KvSurface* surface = scene->GetMesh(0)->GetSurface(0);
  EXPECT_EQ(surface->GetTriangleCapacity(), 0x10000000u);
  EXPECT_EQ(surface->GetNumTriangles(), 1u);

  // A small loaded surface still takes triangles up to its stored room.
  MeshFields small;
  small.triangleCapacity = 3;
  ScenePtr again(LoadScene(OneMeshScene(small)));
  ASSERT_NE(again, nullptr);
  KvSurface* roomy = again->GetMesh(0)->GetSurface(0);
  const KvTriangle first = *roomy->GetTriangle(0);
  EXPECT_TRUE(roomy->AddTriangle(KvTriangle{{0, 1, 2}, {0, 0, 0}}));
  EXPECT_TRUE(roomy->AddTriangle(KvTriangle{{2, 1, 0}, {0, 0, 0}}));
  EXPECT_FALSE(roomy->AddTriangle(KvTriangle{{0, 0, 0}, {0, 0, 0}}));
  EXPECT_EQ(roomy->GetTriangle(0)->vertices[2], first.vertices[2]) << "growing kept the loaded triangle";
  EXPECT_EQ(roomy->GetTriangle(2)->vertices[0], 2u);
}

TEST_F(KvMeshTest, TextureCoordinateIndexesAreFreeWithoutTextureCoordinates) {
  MeshFields fields;
  fields.texCoordCapacity = 0;
  fields.texCoordCount = 0;
  fields.texCoord2 = 7;
  Bytes bytes = OneMeshScene(fields);
  // Without texture coordinates the pair (0.25, 0.75) is not in the stream.
  const Bytes pair = ByteWriter().Floats({0.25f, 0.75f}).Get();
  auto at = std::search(bytes.begin(), bytes.end(), pair.begin(), pair.end());
  ASSERT_NE(at, bytes.end());
  bytes.erase(at, at + 8);
  ScenePtr scene(LoadScene(bytes));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->GetMesh(0)->GetNumTexCoords(), 0u);
}

}  // namespace

namespace {

using KvMeshJointSpaceTest = SceneTest;

TEST_F(KvMeshJointSpaceTest, ManyInfluencesOnALongChainMatchTheJointsOwnTransforms) {
  // A chain of joints, each turned a little; influences alternate between joints
  // deep in the chain. Every normal offset must equal the direction through the
  // inverse of that joint's own world transform, bit for bit.
  constexpr uint32_t kJoints = 1000;
  KvSkeleton skeleton;
  KvJoint* parent = nullptr;
  const float s = std::sin(0.01f), c = std::cos(0.01f);
  for (uint32_t i = 0; i < kJoints; ++i) {
    auto* joint = new KvJoint();
    joint->SetRotation(KvQuat{c, 0, s, 0});
    joint->SetTranslation(KvVec3{0, 0.1f, 0});
    joint->SetScale(KvVec3{1, 1, 1});
    joint->SetParent(parent);
    skeleton.AddJoint(joint);
    parent = joint;
  }
  std::unique_ptr<KvMesh> mesh(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  constexpr uint32_t kInfluences = 7 * 858;  // the last seven name the same joints as the first
  for (uint32_t i = 0; i < kInfluences; ++i) {
    KvVertexInfluence influence;
    influence.joint = skeleton.GetJoint(kJoints - 1 - (i % 7) * 13);
    mesh->AddInfluence(influence);
  }
  mesh->GetVertex(0)->influenceCount = kInfluences;
  mesh->ComputeNormals();
  const KvVec3 n = mesh->GetVertex(0)->normal;
  for (uint32_t i = 0; i < 7; ++i) {
    const KvVec3 expected = mesh->GetInfluence(i).joint->GetWorldTransform().Inverse().TransformDirection(n);
    const KvVec3 got = mesh->GetInfluence(kInfluences - 7 + i).normalOffset;
    const KvVec3 first = mesh->GetInfluence(i).normalOffset;
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << i;
    EXPECT_EQ(std::memcmp(&first, &expected, sizeof got), 0) << i;
  }
}

}  // namespace
