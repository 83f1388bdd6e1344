#include "SceneTestSupport.h"

#include <map>

namespace {

using KvSkeletonTest = SceneTest;

TEST_F(KvSkeletonTest, SortOrdersParentsFirstDropsUnreachableJointsAndWorldTransformsCompose) {
  struct Joint {
    const char* name;
    const char* parent;  // "" for a root; "outside" for a joint of no skeleton here
  };
  struct Case {
    const char* what;
    std::vector<Joint> joints;  // in the order they are added
    bool parentsBeforeAdding;   // else parents are set afterwards and one more sort runs
    std::vector<std::string> expected;
    uint32_t dropped;
  };
  const Case cases[] = {
      {"no parents: insertion order", {{"Knee", ""}, {"Hip", ""}, {"Thigh", ""}}, true, {"Knee", "Hip", "Thigh"}, 0},
      {"parents set after adding", {{"Knee", "Thigh"}, {"Hip", ""}, {"Thigh", "Hip"}}, false,
       {"Hip", "Thigh", "Knee"}, 0},
      {"roots keep their order, each followed by its subtree",
       {{"R1", ""}, {"R2", ""}, {"c2", "R2"}, {"c1", "R1"}, {"g1", "c1"}, {"c1b", "R1"}}, true,
       {"R1", "c1", "g1", "c1b", "R2", "c2"}, 0},
      {"a child added before its parent waits for it", {{"Root", ""}, {"Leaf", "Mid"}, {"Mid", "Root"}}, false,
       {"Root", "Mid", "Leaf"}, 0},
      {"a parent outside the skeleton drops the joint and its subtree",
       {{"Root", ""}, {"Stray", "outside"}, {"StrayChild", "Stray"}, {"Kept", "Root"}}, false, {"Root", "Kept"}, 2},
      {"dropped at the add that finds it", {{"Root", ""}, {"Stray", "outside"}}, true, {"Root"}, 1},
      {"a dropped joint added again after its parent comes back",
       {{"Leaf", "Root"}, {"Root", ""}, {"Leaf", "Root"}}, true, {"Root", "Leaf"}, 0},
      {"a cycle has no root and is dropped", {{"A", "B"}, {"B", "A"}, {"Root", ""}}, false, {"Root"}, 2},
      {"a root added twice is listed once", {{"Root", ""}, {"Root", ""}, {"Leaf", "Root"}}, true, {"Root", "Leaf"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KvJoint outside(KvName("outside"));
    auto* skeleton = new KvSkeleton();
    skeleton->AddJoint(nullptr);  // passed over
    std::map<std::string, KvJoint*> byName{{"outside", &outside}};
    for (const Joint& j : c.joints) {
      if (byName.count(j.name) == 0) byName[j.name] = new KvJoint(KvName(j.name));
    }
    auto setParent = [&](const Joint& j) {
      if (*j.parent != '\0') byName[j.name]->SetParent(byName[j.parent]);
    };
    for (const Joint& j : c.joints) {
      if (c.parentsBeforeAdding) setParent(j);
      skeleton->AddJoint(byName[j.name]);
    }
    if (!c.parentsBeforeAdding) {
      for (const Joint& j : c.joints) setParent(j);
      skeleton->SortJoints();
    }
    EXPECT_EQ(JointNames(*skeleton), c.expected);
    // Dropped joints are no longer the skeleton's: they survive it, and are ours.
    std::vector<KvJoint*> dropped;
    for (auto& [name, joint] : byName) {
      if (joint != &outside && skeleton->FindJoint(joint->GetName()) != joint) dropped.push_back(joint);
    }
    EXPECT_EQ(dropped.size(), c.dropped);
    delete skeleton;
    for (KvJoint* joint : dropped) EXPECT_NE(joint->GetName(), KvName()) << "still alive";
    for (KvJoint* joint : dropped) delete joint;
  }

  const float h = std::sqrt(0.5f);
  KvJoint root, child;
  root.SetRotation(KvQuat{h, 0, 0, h});  // quarter turn about z: x -> y
  root.SetTranslation(KvVec3{1, 0, 0});
  root.SetScale(KvVec3{2, 2, 2});
  child.SetTranslation(KvVec3{2, 0, 0});
  child.SetScale(KvVec3{1, 1, 1});
  child.SetParent(&root);
  // Child origin: (2,0,0) in root space; rotated (0,2,0); translated (1,2,0); scaled (2,4,0).
  ExpectVec(child.GetWorldTransform().TransformPoint(KvVec3{0, 0, 0}), 2, 4, 0);
  root.SetTranslation(KvVec3{0, 0, 0});  // a setter invalidates the cached local transform
  EXPECT_NEAR(child.GetWorldTransform().TransformPoint(KvVec3{0, 0, 0}).x, 0.0f, 1e-6f);
  KvJoint unscaled;  // a scale that was never set zeroes the 3x3 part
  unscaled.SetTranslation(KvVec3{1, 2, 3});
  const KvMatrix m = unscaled.GetWorldTransform();
  for (uint32_t i : {0u, 1u, 2u, 4u, 5u, 6u, 8u, 9u, 10u}) EXPECT_EQ(m[i], 0.0f) << i;
}

// A scene up to its skeleton count: no textures, no materials.
StreamBuilder SkeletonScene() {
  StreamBuilder s;
  s.Object(0, "KvScene", sizeof(KvScene)).ObjectPart().Version("KvScene", 0).Count(0).Count(0);
  return s;
}

// A skeleton of class version `version` up to its joint count.
StreamBuilder& Skeleton(StreamBuilder& s, uint32_t index, uint16_t version, uint32_t joints) {
  return s.Object(index, "KvSkeleton", sizeof(KvSkeleton)).ObjectPart().Version("KvSkeleton", version).Count(joints);
}

// A joint written in full, at rest but for a translation along x; its parent follows.
StreamBuilder& Joint(StreamBuilder& s, uint32_t index, const char* name, float x = 0) {
  s.Object(index, "KvJoint", sizeof(KvJoint)).NamedPart(name).Version("KvJoint", 0);
  return s.Floats({x, 0, 0, 1, 0, 0, 0, 1, 1, 1, x, 0, 0, 1, 0, 0, 0, 1, 1, 1});
}

TEST_F(KvSkeletonTest, VersionZeroSkeletonsSortAfterLoadingHandBackWhatTheyDropAndSurviveDeepChains) {
  // Stored child first, the child carrying its parent in full.
  for (uint16_t version : {0, 1}) {
    StreamBuilder s = SkeletonScene();
    Skeleton(s.Count(1), 1, version, 2);
    Joint(s, 2, "Child");
    Joint(s, 3, "Parent").NullObject().U32(3).Count(0).Count(0).Count(0);
    ScenePtr scene(LoadScene(s.Finish(4)));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(JointNames(*scene->GetSkeleton(0)), version == 0 ? (std::vector<std::string>{"Parent", "Child"})
                                                          : (std::vector<std::string>{"Child", "Parent"}));
  }
  // The sort drops a null joint, but not the joints after it.
  StreamBuilder s = SkeletonScene();
  Skeleton(s.Count(1), 1, 0, 2).NullObject();
  Joint(s, 2, "A").NullObject().Count(0).Count(0).Count(0);
  ScenePtr scene(LoadScene(s.Finish(3)));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(JointNames(*scene->GetSkeleton(0)), (std::vector<std::string>{"A"}));
  // Two skeletons; the second's only joint has its parent in the first, so the sort
  // drops it: the load hands it back as owned by nothing, and a scene, which must
  // own everything in it, is refused.
  StreamBuilder two = SkeletonScene();
  Joint(Skeleton(two.Count(2), 1, 0, 1), 2, "A").NullObject();
  Joint(Skeleton(two, 3, 0, 1), 4, "B").U32(2).Count(0).Count(0).Count(0);
  const Bytes bytes = two.Finish(5);
  std::vector<KvObject*> unowned;
  scene.reset(static_cast<KvScene*>(archive_test::LoadFromBytes(bytes, nullptr, KvScene::StaticClass(), &unowned)));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->GetSkeleton(1)->GetNumJoints(), 0u);
  ASSERT_EQ(unowned.size(), 1u);
  EXPECT_STREQ(static_cast<KvJoint*>(unowned[0])->GetName().GetAsCString(), "B");
  delete unowned[0];
  const std::string path = TempPath("dropped.kvr");
  WriteFile(path, bytes);
  KvString error;
  EXPECT_EQ(KvLoadScene(path.c_str(), &error), nullptr);
  EXPECT_STREQ(error.View(), "a KvJoint in the file is owned by nothing in the scene");

  // A version-0 skeleton of one long chain, stored parents first: the sort after
  // loading and the world transform of the last joint walk all of it.
  constexpr uint32_t kJoints = 100000;
  StreamBuilder chain = SkeletonScene();
  Skeleton(chain.Count(1), 1, 0, kJoints);
  for (uint32_t i = 0; i < kJoints; ++i) Joint(chain, 2 + i, "", 1).U32(i == 0 ? 0xFFFFFFFF : 1 + i);
  scene = LoadScene(chain.Count(0).Count(0).Count(0).Finish(kJoints + 2));
  ASSERT_NE(scene, nullptr);
  KvSkeleton* skeleton = scene->GetSkeleton(0);
  ASSERT_EQ(skeleton->GetNumJoints(), kJoints);
  EXPECT_FLOAT_EQ(skeleton->GetJoint(kJoints - 1)->GetWorldTransform().TransformPoint(KvVec3{0, 0, 0}).x,
                  static_cast<float>(kJoints));
}

}  // namespace
