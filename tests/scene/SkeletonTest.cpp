#include "SceneTestSupport.h"

#include <cmath>
#include <map>

#include "kv/Skeleton.h"

namespace {

using KvSkeletonTest = SceneTest;

std::vector<std::string> Names(const KvSkeleton& skeleton) {
  std::vector<std::string> names;
  for (uint32_t i = 0; i < skeleton.GetNumJoints(); ++i) {
    names.push_back(skeleton.GetJoint(i)->GetName().GetAsCString());
  }
  return names;
}

TEST_F(KvSkeletonTest, SortOrdersParentsFirstAndDropsUnreachableJoints) {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KvJoint outside(KvName("outside"));
    auto* skeleton = new KvSkeleton();
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
    EXPECT_EQ(Names(*skeleton), c.expected);
    // Dropped joints are no longer the skeleton's: they survive it, and are ours.
    std::vector<KvJoint*> dropped;
    for (auto& [name, joint] : byName) {
      if (joint == &outside) continue;
      bool listed = false;
      for (uint32_t i = 0; i < skeleton->GetNumJoints(); ++i) listed = listed || skeleton->GetJoint(i) == joint;
      if (!listed) dropped.push_back(joint);
    }
    EXPECT_EQ(dropped.size(), c.dropped);
    delete skeleton;
    for (KvJoint* joint : dropped) EXPECT_NE(joint->GetName(), KvName()) << "still alive";
    for (KvJoint* joint : dropped) delete joint;
  }
}

TEST_F(KvSkeletonTest, EachJointHasOneOwnerWhenMovedOrAddedTwice) {
  // A joint one skeleton drops can join another; a root added twice is listed once.
  KvJoint outside(KvName("outside"));
  auto* first = new KvSkeleton();
  auto* second = new KvSkeleton();
  auto* root = new KvJoint(KvName("Root"));
  auto* stray = new KvJoint(KvName("Stray"));
  stray->SetParent(&outside);
  first->AddJoint(root);
  first->AddJoint(root);
  first->AddJoint(stray);
  EXPECT_EQ(Names(*first), (std::vector<std::string>{"Root"}));
  stray->SetParent(nullptr);
  second->AddJoint(stray);
  delete first;  // destroys Root once, and not Stray
  EXPECT_EQ(Names(*second), (std::vector<std::string>{"Stray"}));
  delete second;
}

TEST_F(KvSkeletonTest, FindJointReturnsTheEarlierOfTwoNamesakes) {
  KvSkeleton skeleton;
  auto* root = new KvJoint(KvName("twin"));
  auto* child = new KvJoint(KvName("twin"));
  skeleton.AddJoint(child);
  skeleton.AddJoint(root);
  child->SetParent(root);
  skeleton.SortJoints();  // the later-added root moves first
  EXPECT_EQ(skeleton.GetJoint(0), root);
  EXPECT_EQ(skeleton.FindJoint(KvName("twin")), root);
  EXPECT_EQ(skeleton.FindJoint(KvName("none")), nullptr);
}

TEST_F(KvSkeletonTest, WorldTransformComposesRotationTranslationScaleAndParent) {
  const float h = std::sqrt(0.5f);
  KvJoint root, child;
  root.SetRotation(KvQuat{h, 0, 0, h});  // quarter turn about z: x -> y
  root.SetTranslation(KvVec3{1, 0, 0});
  root.SetScale(KvVec3{2, 2, 2});
  child.SetTranslation(KvVec3{2, 0, 0});
  child.SetScale(KvVec3{1, 1, 1});
  child.SetParent(&root);
  // Child origin: (2,0,0) in root space; rotated (0,2,0); translated (1,2,0); scaled (2,4,0).
  const KvVec3 p = child.GetWorldTransform().TransformPoint(KvVec3{0, 0, 0});
  EXPECT_NEAR(p.x, 2.0f, 1e-6f);
  EXPECT_NEAR(p.y, 4.0f, 1e-6f);
  EXPECT_NEAR(p.z, 0.0f, 1e-6f);
  // A setter invalidates the cached local transform.
  root.SetTranslation(KvVec3{0, 0, 0});
  EXPECT_NEAR(child.GetWorldTransform().TransformPoint(KvVec3{0, 0, 0}).x, 0.0f, 1e-6f);

  // A scale that was never set zeroes the 3x3 part.
  KvJoint unscaled;
  unscaled.SetTranslation(KvVec3{1, 2, 3});
  const KvMatrix m = unscaled.GetWorldTransform();
  for (uint32_t i : {0u, 1u, 2u, 4u, 5u, 6u, 8u, 9u, 10u}) EXPECT_EQ(m[i], 0.0f) << i;
}

// The 20 floats of a joint at rest: translation, rotation, scale, then the bind pose.
void RestPose(ByteWriter& w) {
  for (int i = 0; i < 2; ++i) w.Floats({0, 0, 0, 1, 0, 0, 0, 1, 1, 1});
}

TEST_F(KvSkeletonTest, JointLayoutWritesParentAfterBindValues) {
  KvScene scene;
  auto* skeleton = new KvSkeleton();
  auto* root = new KvJoint(KvName("root"));
  auto* child = new KvJoint(KvName("child"));
  child->SetTranslation(KvVec3{1, 2, 3});
  child->SetScale(KvVec3{1, 1, 1});
  root->SetScale(KvVec3{1, 1, 1});
  // Added child first and parented afterwards: saving sorts the parent first.
  skeleton->AddJoint(child);
  skeleton->AddJoint(root);
  child->SetParent(root);
  child->SetRotation(KvQuat{0.5f, 0.5f, 0.5f, 0.5f});
  skeleton->StoreBindPose();
  child->SetTranslation(KvVec3{4, 5, 6});  // after the bind pose: the pose alone changes
  child->SetScale(KvVec3{7, 8, 9});
  scene.AddSkeleton(skeleton);
  const Bytes bytes = SaveObject(&scene, TempPath("skeleton.kvr"), 0);

  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kJointClass, kSkeletonClass, kObjectClass},
             {"KvScene", "KvSkeleton", "KvJoint", "root", "child"}, 4);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvSkeleton)).U32(2);
  w.U32(2).U32(2).U32(sizeof(KvJoint)).U32(3);
  RestPose(w);
  w.U32(0xFFFFFFFF);
  w.U32(3).U32(2).U32(sizeof(KvJoint)).U32(4);
  w.Floats({4, 5, 6, 0.5f, 0.5f, 0.5f, 0.5f, 7, 8, 9, 1, 2, 3, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1, 1});
  w.U32(2);  // the parent, already written: its index only
  w.U32(0).U32(0).U32(0);
  EXPECT_EQ(bytes, w.Get());
}

// A scene of one skeleton whose joints are stored child first (the child carries
// its parent in full), in a file whose skeleton class version is `version`.
Bytes ChildFirstSkeleton(uint16_t version) {
  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kJointClass, {107, "KvSkeleton", version}, kObjectClass},
             {"KvScene", "KvSkeleton", "KvJoint", "Child", "Parent"}, 4);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvSkeleton)).U32(2);
  w.U32(2).U32(2).U32(sizeof(KvJoint)).U32(3);
  RestPose(w);
  w.U32(3).U32(2).U32(sizeof(KvJoint)).U32(4);
  RestPose(w);
  w.U32(0xFFFFFFFF);
  w.U32(3);
  w.U32(0).U32(0).U32(0);
  return w.Get();
}

TEST_F(KvSkeletonTest, VersionZeroSkeletonIsSortedAfterLoadingWithoutItsNullJoints) {
  ScenePtr v0(LoadScene(ChildFirstSkeleton(0)));
  ASSERT_NE(v0, nullptr);
  EXPECT_EQ(Names(*v0->GetSkeleton(0)), (std::vector<std::string>{"Parent", "Child"}));
  ScenePtr v1(LoadScene(ChildFirstSkeleton(1)));
  ASSERT_NE(v1, nullptr);
  EXPECT_EQ(Names(*v1->GetSkeleton(0)), (std::vector<std::string>{"Child", "Parent"}));

  // The sort drops a null joint, but not the joints after it.
  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kJointClass, {107, "KvSkeleton", 0}, kObjectClass},
             {"KvScene", "KvSkeleton", "KvJoint", "A"}, 3);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvSkeleton)).U32(2).U32(0xFFFFFFFF);
  w.U32(2).U32(2).U32(sizeof(KvJoint)).U32(3);
  RestPose(w);
  w.U32(0xFFFFFFFF).U32(0).U32(0).U32(0);
  ScenePtr scene(LoadScene(w.Get()));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(Names(*scene->GetSkeleton(0)), (std::vector<std::string>{"A"}));
}

TEST_F(KvSkeletonTest, VersionZeroSortHandsDroppedJointsToTheCaller) {
  // Two skeletons; the second's only joint has its parent in the first, so the
  // sort after loading drops it: the load hands it back as owned by nothing, and a
  // scene, which must own everything in it, is refused.
  for (uint16_t version : {0, 1}) {
    ByteWriter w;
    w.Header();
    TableBlock(w, {kName, kNamedObject, kSceneClass, kJointClass, {107, "KvSkeleton", version}, kObjectClass},
               {"KvScene", "KvSkeleton", "KvJoint", "A", "B"}, 5);
    w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0);
    w.U32(2);
    w.U32(1).U32(1).U32(sizeof(KvSkeleton)).U32(1);
    w.U32(2).U32(2).U32(sizeof(KvJoint)).U32(3);
    RestPose(w);
    w.U32(0xFFFFFFFF);
    w.U32(3).U32(1).U32(sizeof(KvSkeleton)).U32(1);
    w.U32(4).U32(2).U32(sizeof(KvJoint)).U32(4);
    RestPose(w);
    w.U32(2);
    w.U32(0).U32(0).U32(0);
    const Bytes bytes = w.Get();
    KvArchive archive(KvArchiveStoreMemory::Create(bytes.data(), static_cast<uint32_t>(bytes.size())), 0, 0);
    ASSERT_TRUE(archive.Open());
    KvArray<KvObject*> unowned;
    ScenePtr scene(static_cast<KvScene*>(archive.LoadRoot(KvScene::StaticClass(), unowned)));
    archive.Close();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->GetSkeleton(1)->GetNumJoints(), version == 0 ? 0u : 1u) << version;
    ASSERT_EQ(unowned.Size(), version == 0 ? 1u : 0u) << version;
    if (version == 0) {
      EXPECT_STREQ(static_cast<KvJoint*>(unowned[0])->GetName().GetAsCString(), "B");
      delete unowned[0];
      const std::string path = TempPath("dropped.kvr");
      WriteFile(path, bytes);
      KvString error;
      EXPECT_EQ(KvLoadScene(path.c_str(), &error), nullptr);
      EXPECT_STREQ(error.View(), "a KvJoint in the file is owned by nothing in the scene");
      std::remove(path.c_str());
    }
  }
}

TEST_F(KvSkeletonTest, DeepLoadedChainDoesNotExhaustTheStack) {
  // A version-0 skeleton of one long chain, stored parents first: the sort after
  // loading and the world transform of the last joint walk all of it.
  constexpr uint32_t kJoints = 100000;
  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kJointClass, {107, "KvSkeleton", 0}, kObjectClass},
             {"KvScene", "KvSkeleton", "KvJoint"}, kJoints + 2);
  w.U32(0).U32(0).U32(sizeof(KvScene)).U32(0).U32(0);
  w.U32(1).U32(1).U32(1).U32(sizeof(KvSkeleton)).U32(kJoints);
  for (uint32_t i = 0; i < kJoints; ++i) {
    w.U32(2 + i).U32(2).U32(sizeof(KvJoint)).U32(0);
    w.Floats({1, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1});
    w.U32(i == 0 ? 0xFFFFFFFF : 1 + i);
  }
  w.U32(0).U32(0).U32(0);
  ScenePtr scene(LoadScene(w.Get()));
  ASSERT_NE(scene, nullptr);
  KvSkeleton* skeleton = scene->GetSkeleton(0);
  ASSERT_EQ(skeleton->GetNumJoints(), kJoints);
  EXPECT_FLOAT_EQ(skeleton->GetJoint(kJoints - 1)->GetWorldTransform().TransformPoint(KvVec3{0, 0, 0}).x,
                  static_cast<float>(kJoints));
}

}  // namespace
