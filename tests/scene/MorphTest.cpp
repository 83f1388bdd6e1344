#include "SceneTestSupport.h"

#include <cmath>

#include "kv/Mesh.h"
#include "kv/Morph.h"

namespace {

using KvMorphTest = SceneTest;

// The triangle (0,0,0), (1,0,0), (0,1,0) with its normals computed, after a
// triangle that names a vertex the mesh lacks (which adds nothing).
KvMesh* Triangle() {
  auto* mesh = new KvMesh();
  mesh->SetNumVertices(3);
  for (KvVec3 p : {KvVec3{0, 0, 0}, KvVec3{1, 0, 0}, KvVec3{0, 1, 0}}) {
    KvVertex v;
    v.position = p;
    mesh->AddVertex(v);
  }
  auto* surface = new KvSurface(mesh);
  surface->SetNumTriangles(2);
  surface->AddTriangle(KvTriangle{{0, 1, 7}, {0, 0, 0}});
  surface->AddTriangle(KvTriangle{{0, 1, 2}, {0, 0, 0}});
  mesh->AddSurface(surface);
  mesh->ComputeNormals();
  return mesh;
}

KvMorphVertex Delta(uint32_t index, float x, float y = 0, float z = 0) {
  KvMorphVertex v;
  v.positionDelta = KvVec3{x, y, z};
  v.vertexIndex = index;
  return v;
}

TEST_F(KvMorphTest, NormalDeltasFollowTheMovedTriangleAndUnmovedEntriesArePruned) {
  std::unique_ptr<KvMesh> mesh(Triangle());
  const float h = std::sqrt(0.5f);
  // Corner 2 to (0,1,1): face normal (0,1,-1). Unmoved: zero normal deltas, all pruned.
  for (const float dz : {1.0f, 0.0f}) {
    KvMorphTarget target;
    for (uint32_t i = 0; i < 3; ++i) target.AddMorphVertex(Delta(i, 0, 0, i == 2 ? dz : 0.0f));
    target.ComputeNormalDeltas(mesh.get());
    for (uint32_t i = 0; i < 3; ++i) {
      const KvVec3& n = target.GetMorphVertex(i).normalDelta;
      EXPECT_EQ(n.x, 0.0f) << dz;
      EXPECT_NEAR(n.y, dz * h, 1e-6f) << dz;
      EXPECT_NEAR(n.z, dz * (1.0f - h), 1e-6f) << dz;
    }
    if (dz == 0) {
      EXPECT_EQ(target.RemoveSmallDeltas(mesh.get(), 0.001f), 3u);
      EXPECT_EQ(target.GetNumMorphVertices(), 0u);
    }
  }
}

TEST_F(KvMorphTest, CountMismatchLeavesNormalDeltasAlone) {
  std::unique_ptr<KvMesh> mesh(Triangle());
  KvMorphTarget target;
  KvMorphVertex v = Delta(0, 1);
  v.normalDelta = KvVec3{4, 5, 6};
  target.AddMorphVertex(v);
  target.AddMorphVertex(v);
  target.ComputeNormalDeltas(mesh.get());
  target.ComputeNormalDeltas(nullptr);
  EXPECT_EQ(target.GetMorphVertex(1).normalDelta.y, 5.0f);
  EXPECT_EQ(target.RemoveSmallDeltas(nullptr, 1.0f), 0u);
}

TEST_F(KvMorphTest, PruningAtTheThresholdBoundary) {
  std::unique_ptr<KvMesh> mesh(Triangle());
  struct Case {
    const char* what;
    float threshold;
    std::vector<KvMorphVertex> entries;
    std::vector<uint32_t> kept;  // vertex indexes left, in order
  };
  const float above = std::nextafter(0.5f, 1.0f);
  const Case cases[] = {
      {"exactly the threshold is removed", 0.5f, {Delta(0, 0.5f)}, {}},
      {"just above it stays", 0.5f, {Delta(0, above)}, {0}},
      {"0.001 from the origin is removed", 0.001f, {Delta(0, 0.001f)}, {}},
      {"length, not a component, is compared", 0.5f, {Delta(0, 0.4f, 0.4f)}, {0}},
      {"two small neighbours both go", 0.001f, {Delta(2, 1), Delta(0, 0), Delta(1, 0), Delta(2, 0, 2)}, {2, 2}},
      {"a missing mesh vertex is kept", 0.001f, {Delta(7, 0), Delta(1, 0)}, {7}},
      // (p + d) - p at p = (1,0,0): 3e-8 vanishes in the sum (though 1 - 3e-8 would not).
      {"the difference is measured after adding", 0.0f, {Delta(1, 3e-8f)}, {}},
  };
  for (const Case& c : cases) {
    KvMorphTarget target;
    for (const KvMorphVertex& v : c.entries) target.AddMorphVertex(v);
    const uint32_t removed = target.RemoveSmallDeltas(mesh.get(), c.threshold);
    EXPECT_EQ(removed, c.entries.size() - c.kept.size()) << c.what;
    ASSERT_EQ(target.GetNumMorphVertices(), c.kept.size()) << c.what;
    for (size_t i = 0; i < c.kept.size(); ++i) EXPECT_EQ(target.GetMorphVertex(i).vertexIndex, c.kept[i]) << c.what;
  }
}

TEST_F(KvMorphTest, ControllerWritesTargetsInPlace) {
  KvScene scene;
  auto* mesh = new KvMesh();
  mesh->SetName(KvName("m"));
  KvMorphTarget first(KvName("t1"));
  first.AddMorphVertex(Delta(4, 1, 2, 3));
  KvMorphTarget second(KvName("t2"));
  second.AddMorphVertex(Delta(0, 0.5f));
  second.AddMorphVertex(Delta(9, -1));
  auto* controller = new KvMorphController();
  controller->AddMorphTarget(first);
  controller->AddMorphTarget(second);
  mesh->SetMorphController(controller);
  scene.AddMesh(mesh);
  const Bytes bytes = SaveObject(&scene, TempPath("morph.kvr"), 0);

  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kMorphTargetClass, kMorphControllerClass, kMeshClass, kObjectClass},
             {"KvScene", "KvMesh", "m", "KvMorphController", "t1", "t2"}, 3);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvMesh)).U32(2);
  w.U32(0).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0xFFFFFFFF);
  w.U32(2).U32(3).U32(sizeof(KvMorphController)).U32(2);
  w.U32(4).U32(1).Floats({1, 2, 3, 0, 0, 0}).U32(4);
  w.U32(5).U32(2).Floats({0.5f, 0, 0, 0, 0, 0}).U32(0).Floats({-1, 0, 0, 0, 0, 0}).U32(9);
  w.U32(0).U32(0);
  EXPECT_EQ(bytes, w.Get());

  ScenePtr loaded(LoadScene(bytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(SaveObject(loaded.get(), TempPath("again.kvr"), 0), bytes);
}

}  // namespace
