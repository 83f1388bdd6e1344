#include "SceneTestSupport.h"

#include <array>

namespace {

using KvMeshTest = SceneTest;
using KvMorphTest = SceneTest;

// A mesh of `positions` and one surface holding `triangles` (texture-coordinate
// indices 0), its normals computed.
KvMesh* MakeMesh(std::initializer_list<KvVec3> positions, std::initializer_list<std::array<uint32_t, 3>> triangles) {
  auto* mesh = new KvMesh();
  mesh->SetNumVertices(static_cast<uint32_t>(positions.size()));
  for (const KvVec3& p : positions) mesh->AddVertex(At(p.x, p.y, p.z));
  EXPECT_FALSE(mesh->AddVertex(At(0, 0, 0))) << "no room left";
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(static_cast<uint32_t>(triangles.size()));
  for (const auto& t : triangles) surface->AddTriangle(KvTriangle{{t[0], t[1], t[2]}, {0, 0, 0}});
  mesh->AddSurface(surface);
  mesh->ComputeNormals();
  return mesh;
}

TEST_F(KvMeshTest, NormalsSumUnnormalisedFaceNormalsSkipTrianglesWithAMissingVertexAndTurnIntoEachJointsSpace) {
  // Counter-clockwise seen from +z: the face normal e2 x e1 points to -z, length
  // twice the area, until the mesh normalises the sums.
  std::unique_ptr<KvMesh> single(MakeMesh({{0, 0, 0}, {2, 0, 0}, {0, 3, 0}}, {{0, 1, 2}}));
  ExpectVec(single->GetVertex(2)->normal, 0, 0, -1);
  single->GetSurface(0)->ComputeNormals();
  ExpectVec(single->GetVertex(1)->normal, 0, 0, -7);  // -1 + -6
  // Two faces at a right angle share the edge 0-1: its vertices average the face
  // normals (0,0,-1) and (0,-1,0). The triangle naming a missing vertex adds nothing,
  // and the one after it still counts.
  std::unique_ptr<KvMesh> mesh(
      MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 5, 5}}, {{0, 1, 2}, {4, 9, 4}, {0, 3, 1}}));
  const float h = std::sqrt(0.5f);
  ExpectVec(mesh->GetVertex(0)->normal, 0, -h, -h);
  ExpectVec(mesh->GetVertex(2)->normal, 0, 0, -1);
  ExpectVec(mesh->GetVertex(3)->normal, 0, -1, 0);
  ExpectVec(mesh->GetVertex(4)->normal, 0, 0, 0);  // used by no complete triangle

  std::unique_ptr<KvMesh> skinned(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {7, 7, 7}}, {{0, 1, 2}}));
  // Joint turned a quarter about x (y -> z), scaled 2, translated (ignored for
  // directions): the world normal (0,0,-1) is (0,-0.5,0) in joint space.
  KvJoint joint, other;  // the other joint keeps the identity pose
  joint.SetRotation(KvQuat{h, h, 0, 0});
  joint.SetScale(KvVec3{2, 2, 2});
  joint.SetTranslation(KvVec3{5, 6, 7});
  other.SetScale(KvVec3{1, 1, 1});
  // Influences 0 and 1 are vertex 0's, 2 (no joint) and 3 vertex 1's, 4 vertex 3's
  // (which has no normal); 5 is no vertex's.
  for (KvJoint* j : {&joint, &other, static_cast<KvJoint*>(nullptr), &joint, &joint, &joint}) {
    skinned->AddInfluence(KvVertexInfluence{j, 0, {}, {9, 9, 9}});
  }
  const uint32_t runs[4][2] = {{0, 2}, {2, 2}, {0, 0}, {4, 1}};
  for (uint32_t v = 0; v < 4; ++v) {
    skinned->GetVertex(v)->firstInfluence = runs[v][0];
    skinned->GetVertex(v)->influenceCount = runs[v][1];
  }
  skinned->ComputeNormals();
  const KvVec3 offsets[] = {{0, -0.5f, 0}, {0, 0, -1}, {9, 9, 9}, {0, -0.5f, 0}, {0, 0, 0}, {9, 9, 9}};
  for (uint32_t i = 0; i < 6; ++i) {
    ExpectVec(skinned->GetInfluence(i).normalOffset, offsets[i].x, offsets[i].y, offsets[i].z);
  }

  // Many influences alternating between joints deep in a chain, each joint turned a
  // little: every offset equals the direction through the inverse of that joint's
  // own world transform, bit for bit.
  constexpr uint32_t kJoints = 1000, kInfluences = 7 * 858;  // the last seven name the first seven's joints
  KvSkeleton skeleton;
  for (uint32_t i = 0; i < kJoints; ++i) {
    auto* link = new KvJoint();
    link->SetRotation(KvQuat{std::cos(0.01f), 0, std::sin(0.01f), 0});
    link->SetTranslation(KvVec3{0, 0.1f, 0});
    link->SetScale(KvVec3{1, 1, 1});
    link->SetParent(i == 0 ? nullptr : skeleton.GetJoint(i - 1));
    skeleton.AddJoint(link);
  }
  std::unique_ptr<KvMesh> chained(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  for (uint32_t i = 0; i < kInfluences; ++i) {
    chained->AddInfluence(KvVertexInfluence{skeleton.GetJoint(kJoints - 1 - (i % 7) * 13), 0, {}, {}});
  }
  chained->GetVertex(0)->influenceCount = kInfluences;
  chained->ComputeNormals();
  for (uint32_t i = 0; i < 7; ++i) {
    const KvVec3 expected =
        chained->GetInfluence(i).joint->GetWorldTransform().Inverse().TransformDirection(chained->GetVertex(0)->normal);
    for (uint32_t k : {i, kInfluences - 7 + i}) {
      const KvVec3 got = chained->GetInfluence(k).normalOffset;
      EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << k;
    }
  }
}

TEST_F(KvMeshTest, CorruptCountsIndexesAndReferencesFailTheLoadButRoomBeyondTheCountsLoads) {
  const std::pair<const char*, MeshFields> cases[] = {
      {"a mesh's vertex count exceeds its capacity", {.vertexCount = 4}},
      {"a mesh's vertex capacity exceeds the bytes left", {.vertexCapacity = 0xFFFFFFFF}},
      {"a mesh's texture-coordinate count exceeds its capacity", {.texCoordCount = 2}},
      {"a mesh's texture-coordinate capacity exceeds the bytes left", {.texCoordCapacity = 0x20000000}},
      {"a surface's triangle count exceeds its capacity", {.triangleCount = 2}},
      {"a surface's triangle count exceeds the bytes left",
       {.triangleCapacity = 0x10000000, .triangleCount = 0x10000000}},
      {"a triangle names a vertex the mesh does not have", {.corner2 = 3}},
      {"a triangle names a texture coordinate the mesh does not have", {.texCoord2 = 1}},
      {"a mesh vertex's influences run past the influence list", {.vertexInfluences = 2}},
      {"a mesh vertex's influences run past the influence list", {.firstInfluence = 0xFFFFFFFF}},
      {"a count of 2147483647 is larger than the bytes left", {.influenceCount = 0x7FFFFFFF}},
      {"object 3 is a KvJoint where a KvMaterial is expected", {.surfaceMaterial = 3}},
  };
  for (const auto& [what, fields] : cases) {
    const std::string message = kvtest::LoadError<KvScene>(SkinnedSceneBytes(fields));
    EXPECT_EQ(message.rfind("corrupt at byte ", 0), 0u) << message;
    EXPECT_PRED_FORMAT2(testing::IsSubstring, what, message);
  }

  // The writer sets aside one triangle per host polygon and stores only the
  // triangles: room for 2^28 triangles with one stored is a valid surface.
  ScenePtr scene(LoadScene(SkinnedSceneBytes({.triangleCapacity = 0x10000000})));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->GetMesh(0)->GetSurface(0)->GetTriangleCapacity(), 0x10000000u);
  EXPECT_EQ(scene->GetMesh(0)->GetSurface(0)->GetNumTriangles(), 1u);
  // A small loaded surface, with or without its triangle, still takes triangles up
  // to its stored room, keeping the loaded one.
  for (uint32_t stored : {0u, 1u}) {
    ScenePtr again(LoadScene(SkinnedSceneBytes({.triangleCapacity = 3, .triangleCount = stored})));
    ASSERT_NE(again, nullptr);
    KvSurface* roomy = again->GetMesh(0)->GetSurface(0);
    for (uint32_t t = stored; t < 3; ++t) EXPECT_TRUE(roomy->AddTriangle(KvTriangle{{t, 0, 1}, {0, 0, 0}}));
    EXPECT_FALSE(roomy->AddTriangle(KvTriangle{{0, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(roomy->GetTriangle(3), nullptr);
    for (uint32_t t = 0; t < 3; ++t) EXPECT_EQ(roomy->GetTriangle(t)->vertices[0], t);
    EXPECT_EQ(roomy->GetTriangle(0)->vertices[2], stored == 1 ? 2u : 1u);
  }
  // Without texture coordinates no triangle's texture-coordinate index is checked.
  const MeshFields bare{.texCoordCapacity = 0, .texCoordCount = 0, .texCoord2 = 7, .texCoordPair = false};
  ScenePtr plain(LoadScene(SkinnedSceneBytes(bare)));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->GetMesh(0)->GetNumTexCoords(), 0u);
}

KvMorphVertex Delta(uint32_t index, float x, float y = 0, float z = 0) { return KvMorphVertex{{x, y, z}, {}, index}; }

TEST_F(KvMorphTest, NormalDeltasFollowTheMovedTriangleOnlyWhenCountsMatchAndPruningStopsAtTheThreshold) {
  // A triangle naming a missing vertex comes first and adds nothing.
  // In the plane x = 1 with the vertex normal (1,0,0), nothing at the origin.
  // The fourth vertex is in no triangle.
  std::unique_ptr<KvMesh> tilted(MakeMesh({{1, 2, 3}, {1, 2, 4}, {1, 3, 3}, {9, 9, 9}}, {{0, 1, 7}, {0, 1, 2}}));
  std::unique_ptr<KvMesh> mesh(MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  const float h = std::sqrt(0.5f);
  // Corner 2 to (2,3,3): face normal (1,-1,0). Unmoved: zero normal deltas.
  for (const float dx : {1.0f, 0.0f}) {
    KvMorphTarget target;
    for (uint32_t i = 0; i < 4; ++i) target.AddMorphVertex(Delta(i, i == 2 ? dx : 0.0f));
    target.ComputeNormalDeltas(tilted.get());
    for (uint32_t i = 0; i < 3; ++i) ExpectVec(target.GetMorphVertex(i).normalDelta, dx * (h - 1), -dx * h, 0);
    ExpectVec(target.GetMorphVertex(3).normalDelta, 0, 0, 0);
  }
  KvMorphTarget mismatched;
  KvMorphVertex v = Delta(0, 1);
  v.normalDelta = KvVec3{4, 5, 6};
  mismatched.AddMorphVertex(v);
  mismatched.AddMorphVertex(v);
  mismatched.ComputeNormalDeltas(mesh.get());
  mismatched.ComputeNormalDeltas(nullptr);
  EXPECT_EQ(mismatched.GetMorphVertex(1).normalDelta.y, 5.0f);
  EXPECT_EQ(mismatched.RemoveSmallDeltas(nullptr, 1.0f), 0u);

  struct Case {
    const char* what;
    float threshold;
    std::vector<KvMorphVertex> entries;
    std::vector<uint32_t> kept;  // vertex indexes left, in order
  };
  const Case cases[] = {
      {"exactly the threshold is removed", 0.5f, {Delta(0, 0.5f)}, {}},
      {"just above it stays", 0.5f, {Delta(0, std::nextafter(0.5f, 1.0f))}, {0}},
      {"length, not a component, is compared", 0.5f, {Delta(0, 0.4f, 0.4f)}, {0}},
      {"unmoved entries all go, neighbours too", 0.001f, {Delta(2, 1), Delta(0, 0), Delta(1, 0), Delta(2, 0, 2)},
       {2, 2}},
      {"a missing mesh vertex is kept", 0.001f, {Delta(7, 0), Delta(1, 0)}, {7}},
      // (p + d) - p at p = (1,0,0): 3e-8 vanishes in the sum (though 1 - 3e-8 would not).
      {"the difference is measured after adding", 0.0f, {Delta(1, 3e-8f)}, {}},
  };
  for (const Case& c : cases) {
    KvMorphTarget target;
    for (const KvMorphVertex& v : c.entries) target.AddMorphVertex(v);
    EXPECT_EQ(target.RemoveSmallDeltas(mesh.get(), c.threshold), c.entries.size() - c.kept.size()) << c.what;
    ASSERT_EQ(target.GetNumMorphVertices(), c.kept.size()) << c.what;
    for (size_t i = 0; i < c.kept.size(); ++i) EXPECT_EQ(target.GetMorphVertex(i).vertexIndex, c.kept[i]) << c.what;
  }
}

}  // namespace
