// Actors: defaults and stored order, round trips of a populated actor, older
// actors (stored face graph, "Default" among the groups, no phoneme map), instances
// attaching and detaching, and the actor list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/Actor.h"
#include "kv/ArchiveStore.h"
#include "kv/Runtime.h"

namespace {

using kvtest::StreamBuilder;

class ActorTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

template <typename T>
T* AddNode(KvFaceGraph& graph, const char* name) {
  T* node = new T;
  node->SetName(KvName(name));
  graph.AddNode(node);
  return node;
}

KvAnim MakeAnim(const char* name, float lastTime) {
  KvAnim anim;
  anim.SetName(KvName(name));
  KvAnimCurve curve;
  curve.SetName(KvName("jaw"));
  const float keys[] = {0.0f, 0.0f, 0.0f, 0.0f, lastTime, 1.0f, 0.5f, 0.5f};
  curve.SetKeys(keys, 2);
  anim.curves.PushBack(curve);
  anim.boneWeights.PushBack(KvAnimBoneWeight{KvName("jaw"), 0.5f});
  return anim;
}

// A face graph of three node classes whose two bone-pose nodes share a bone.
void BuildFace(KvActor& actor) {
  KvFaceGraph& graph = actor.GetFaceGraph();
  auto* open = AddNode<KvBonePoseNode>(graph, "Open");
  open->bones.PushBack(KvBone(KvName("jaw")));
  open->bones.PushBack(KvBone(KvName("lip")));
  open->bones[0].position[2] = 3.0f;
  auto* mix = AddNode<KvCombinerNode>(graph, "Mix");
  mix->SetRange(-1.0f, 2.0f);
  mix->SetInputOperation(1);
  auto* smile = AddNode<KvMorphTargetNode>(graph, "Smile");
  auto* pucker = AddNode<KvBonePoseNode>(graph, "Pucker");
  pucker->bones.PushBack(KvBone(KvName("lip")));
  pucker->bones.PushBack(KvBone(KvName("cheek")));
  KvFaceGraphNodeLink toOpen(open, KvName("clamped linear"));
  toOpen.parameters[1] = 0.5f;
  mix->AddInputLink(toOpen);
  smile->AddInputLink(KvFaceGraphNodeLink(mix, KvName("negate")));
  KvFaceGraphNodeLink dangling;
  dangling.linkFnName = KvName("linear");
  smile->AddInputLink(dangling);
}

KvActor* BuildActor() {
  auto* actor = new KvActor;
  actor->SetName(KvName("Ada"));
  BuildFace(*actor);
  actor->Recompile();
  actor->GetDefaultGroup().anims.PushBack(MakeAnim("Idle", 2.0f));
  actor->GetAnimGroups().PushBack(KvAnimGroup(KvName("Speech")));
  actor->GetAnimGroups()[0].anims.PushBack(MakeAnim("Hello", 1.5f));
  actor->GetAnimGroups()[0].anims.PushBack(MakeAnim("Bye", 0.75f));
  actor->GetAnimGroups().PushBack(KvAnimGroup(KvName("Empty")));
  actor->GetPhonemeMap().entries.PushBack(KvPhonemeMapEntry{12, KvName("Smile"), 0.5f});
  actor->GetPhonemeMap().entries.PushBack(KvPhonemeMapEntry{12, KvName("Mix"), 0.25f});
  actor->GetPhonemeMap().targetNames.PushBack(KvName("Smile"));
  return actor;
}

// BuildActor as current archives store it: the master bones, the compiled graph,
// the groups and the phoneme map, every field distinct.
std::vector<uint8_t> GoldenActor() {
  StreamBuilder s;
  s.Object(0, "KvActor", KvActor::StaticClass()->GetSize()).NamedPart("Ada").Version("KvActor", 3);
  s.Version("KvMasterBoneList", 2).Count(3);
  for (const char* bone : {"jaw", "lip", "cheek"}) {
    s.NamedPart(bone).Version("KvBone", 0);
    const float z = std::string(bone) == "jaw" ? 3.0f : 0.0f;
    for (float f : {0.0f, 0.0f, z, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}) s.F32(f);
  }
  s.Version("KvCompiledFaceGraph", 0).Count(4);
  auto node = [&s](const char* name, const char* cls, float min, float max, uint32_t operation) {
    s.Name(name).Name(cls).F32(min).F32(max).U32(operation);
  };
  node("Open", "KvBonePoseNode", 0.0f, 1.0f, 0);
  s.Count(0).Count(2).U32(0).U32(1);
  node("Mix", "KvCombinerNode", -1.0f, 2.0f, 1);
  s.Count(1).I32(0).I32(10).Count(4).F32(1.0f).F32(0.5f).F32(0.0f).F32(1.0f).Count(0);
  node("Smile", "KvMorphTargetNode", 0.0f, 1.0f, 0);
  s.Count(2).I32(1).I32(5).Count(0).I32(-1).I32(-1).Count(0).Count(0);
  node("Pucker", "KvBonePoseNode", 0.0f, 1.0f, 0);
  s.Count(0).Count(2).U32(1).U32(2);
  auto anim = [&s](const char* name, float lastTime) {
    s.NamedPart(name).Version("KvAnim", 6).Count(1).NamedPart("jaw").Version("KvAnimCurve", 1).U32(0).U32(2);
    for (float f : {0.0f, 0.0f, 0.0f, 0.0f, lastTime, 1.0f, 0.5f, 0.5f}) s.F32(f);
    s.Count(1).U32(2).F32(0.16f).F32(0.22f).Count(1).Version("KvAnimBoneWeight", 0).Name("jaw").F32(0.5f);
    s.Str("").Str("").I32(-1);
  };
  s.NamedPart("Default").Version("KvAnimGroup", 0).Count(1);
  anim("Idle", 2.0f);
  s.Count(2).NamedPart("Speech").Count(2);
  anim("Hello", 1.5f);
  anim("Bye", 0.75f);
  s.NamedPart("Empty").Count(0);
  s.ObjectPart().Version("KvPhonemeMap", 0).Count(2).U32(12).Name("Smile").F32(0.5f).U32(12).Name("Mix").F32(0.25f);
  s.Count(1).Name("Smile");
  return s.Finish(1);
}

TEST_F(ActorTest, ActorSavesToTheGoldenStreamAndLoadsBackInBothByteOrders) {
  KvActor fresh;
  EXPECT_STREQ(fresh.GetName().GetAsCString(), "NewActor");
  EXPECT_STREQ(fresh.GetDefaultGroup().GetName().GetAsCString(), "Default");
  // Ten empty groups fill the bytes up to the phoneme map exactly: 8 bytes a group.
  for (int i = 0; i < 10; ++i) fresh.GetAnimGroups().PushBack(KvAnimGroup(KvName("g")));
  KvActor* groups = kvtest::Load<KvActor>(kvtest::SaveToBytes(&fresh));
  ASSERT_NE(groups, nullptr);
  EXPECT_EQ(groups->GetAnimGroups().Size(), 10u);
  delete groups;

  KvActor* original = BuildActor();
  const std::vector<uint8_t> golden = GoldenActor();
  EXPECT_EQ(kvtest::SaveToBytes(original), golden);
  std::string error;
  KvActor* actor = kvtest::Load<KvActor>(kvtest::SaveToBytes(original, 1), &error);
  delete original;
  ASSERT_NE(actor, nullptr) << error;
  EXPECT_EQ(actor->GetFaceGraph().GetNumNodes(), 0u) << "current actors store only the compiled graph";
  EXPECT_EQ(actor->GetAnimGroups()[0].anims[1].endTime, 0.75f) << "the time range is recomputed";
  EXPECT_EQ(kvtest::SaveToBytes(actor), golden);
  delete actor;
}

// Forward declared: older actors are built below.
std::vector<uint8_t> OldActor(uint16_t v);

TEST_F(ActorTest, EveryTruncationFailsAndEveryCorruptedByteFailsOrLoadsInRange) {
  KvActor* original = BuildActor();
  const std::vector<std::vector<uint8_t>> files = {kvtest::SaveToBytes(original), kvtest::SaveToBytes(original, 1),
                                                   OldActor(0)};
  delete original;
  for (const std::vector<uint8_t>& file : files) {
    for (size_t at = 0; at < file.size(); ++at) {
      KvActor* cut = kvtest::Load<KvActor>(std::vector<uint8_t>(file.begin(), file.begin() + static_cast<long>(at)));
      EXPECT_EQ(cut, nullptr) << "length " << at;
      delete cut;
      for (uint8_t pattern : {uint8_t{0xFF}, uint8_t{0x01}}) {
        std::vector<uint8_t> bytes = file;
        bytes[at] ^= pattern;
        std::string error;
        KvActor* actor = kvtest::Load<KvActor>(bytes, &error);
        if (actor == nullptr) {
          EXPECT_NE(error, "valid") << at;
          continue;
        }
        // A loaded actor's compiled graph only names nodes and bones it has.
        const KvCompiledFaceGraph& compiled = actor->GetCompiledFaceGraph();
        const auto nodes = static_cast<int32_t>(compiled.GetNumNodes());
        for (const KvCompiledNode& node : compiled.nodes) {
          for (const KvCompiledLink& link : node.links) {
            EXPECT_TRUE(link.inputIndex >= -1 && link.inputIndex < nodes) << at;
          }
          for (uint32_t bone : node.boneIndices) EXPECT_LT(bone, actor->GetMasterBoneList().GetNumBones()) << at;
        }
        delete actor;
      }
    }
  }
}

// An actor of class version v (0 to 2) as older writers stored it: the face graph
// itself, the groups (below 2 with "Default" among them), a list of names, and from
// version 1 on a phoneme map.
std::vector<uint8_t> OldActor(uint16_t v) {
  StreamBuilder s;
  s.Object(0, "KvActor").NamedPart("Old").Version("KvActor", v);
  s.Version("KvMasterBoneList", 2).Count(1).NamedPart("jawbone").Version("KvBone", 0);
  for (int i = 0; i < 10; ++i) s.F32(5.0f);  // the listed bone keeps this transform
  s.ObjectPart().Version("KvFaceGraph", 1).Count(2);
  s.Object(1, "KvBonePoseNode").NamedPart("Jaw").Version("KvFaceGraphNode", 2);
  s.F32(0.0f).F32(1.0f).U32(0).Count(0).Count(0).U32(1).Version("KvBonePoseNode", 0).Count(1);
  s.NamedPart("jawbone").Version("KvBone", 0);
  for (int i = 0; i < 10; ++i) s.F32(0.0f);
  s.Object(2, "KvCombinerNode").NamedPart("Mix").Version("KvFaceGraphNode", 2);
  s.F32(0.0f).F32(1.0f).U32(0).Count(1);
  s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("Jaw").Name("cubic");
  s.Version("KvLinkFnParameters", 1).Count(1).F32(2.0f);
  s.Count(0).U32(0).Version("KvCombinerNode", 0);
  s.U32(2).U32(1).U32(1);

  auto group = [&s](const char* name, uint32_t anims) {
    s.NamedPart(name).Version("KvAnimGroup", 0).Count(anims);
    for (uint32_t i = 0; i < anims; ++i) {
      s.NamedPart("a").Version("KvAnim", 6).Count(0).U32(0).F32(0.1f).F32(0.2f).Count(0).Str("").Str("").I32(0);
    }
  };
  if (v < 2) {
    s.Count(3);
    group("Eyes", 1);
    group("Default", 2);
    group("Mouth", 0);
  } else {
    group("Default", 2);
    s.Count(2);
    group("Eyes", 1);
    group("Mouth", 0);
  }
  s.U32(2).Name("legacy1").Name("legacy2");
  if (v >= 1) s.ObjectPart().Version("KvPhonemeMap", 0).Count(1).U32(7).Name("Mix").F32(1.0f).Count(0);
  return s.Finish(3);
}

TEST_F(ActorTest, OlderActorsCompileTheirGraphAndFindTheirDefaultGroup) {
  for (uint16_t v = 0; v <= 2; ++v) {
    SCOPED_TRACE(testing::Message() << "actor version " << v);
    std::string error;
    KvActor* actor = kvtest::Load<KvActor>(OldActor(v), &error);
    ASSERT_NE(actor, nullptr) << error;
    EXPECT_EQ(actor->GetFaceGraph().GetNumNodes(), 0u) << "the stored graph is dropped once compiled";
    EXPECT_TRUE(actor->GetFaceGraph().GetTypeGroups().Empty()) << "with its groups";
    const KvCompiledFaceGraph& compiled = actor->GetCompiledFaceGraph();
    ASSERT_EQ(compiled.GetNumNodes(), 2u);
    ASSERT_EQ(compiled.nodes[1].links.Size(), 1u);
    EXPECT_EQ(compiled.nodes[1].links[0].inputIndex, 0);
    EXPECT_EQ(compiled.nodes[1].links[0].linkFnType, 3);
    ASSERT_EQ(actor->GetMasterBoneList().GetNumBones(), 1u) << "a bone already listed is not added again";
    EXPECT_STREQ(actor->GetMasterBoneList().bones[0].GetName().GetAsCString(), "jawbone");
    EXPECT_EQ(actor->GetMasterBoneList().bones[0].position[0], 5.0f);
    ASSERT_EQ(compiled.nodes[0].boneIndices.Size(), 1u);
    EXPECT_EQ(compiled.nodes[0].boneIndices[0], 0u);

    EXPECT_STREQ(actor->GetDefaultGroup().GetName().GetAsCString(), "Default");
    EXPECT_EQ(actor->GetDefaultGroup().anims.Size(), 2u);
    ASSERT_EQ(actor->GetAnimGroups().Size(), 2u);
    EXPECT_STREQ(actor->GetAnimGroups()[0].GetName().GetAsCString(), "Eyes");
    EXPECT_STREQ(actor->GetAnimGroups()[1].GetName().GetAsCString(), "Mouth");
    EXPECT_EQ(actor->GetPhonemeMap().entries.Size(), v >= 1 ? 1u : 0u);
    delete actor;
  }
}

TEST_F(ActorTest, RejectsHostileActors) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  auto header = [](StreamBuilder& s) {
    s.Object(0, "KvActor").NamedPart("A").Version("KvActor", 3);
    s.Version("KvMasterBoneList", 2).Count(0);
  };
  {
    StreamBuilder s;
    header(s);
    s.Version("KvCompiledFaceGraph", 0).Count(1).Name("n").Name("KvCombinerNode").F32(0).F32(1).U32(0);
    s.Count(1).I32(5).I32(1).Count(0).Count(0);
    s.NamedPart("Default").Version("KvAnimGroup", 0).Count(0).Count(0);
    s.ObjectPart().Version("KvPhonemeMap", 0).Count(0).Count(0);
    cases.push_back({"compiled link to a missing node", s.Finish(1)});
  }
  {
    StreamBuilder s;
    header(s);
    s.Version("KvCompiledFaceGraph", 0).Count(1).Name("n").Name("KvBonePoseNode").F32(0).F32(1).U32(0);
    s.Count(0).Count(1).U32(0);
    s.NamedPart("Default").Version("KvAnimGroup", 0).Count(0).Count(0);
    s.ObjectPart().Version("KvPhonemeMap", 0).Count(0).Count(0);
    cases.push_back({"bone index beyond the master list", s.Finish(1)});
  }
  {
    StreamBuilder s;
    s.Object(0, "KvActor").NamedPart("A").Version("KvActor", 3).Version("KvMasterBoneList", 1).Count(0);
    cases.push_back({"master bone list of another version", s.Finish(1)});
  }
  {
    StreamBuilder s;
    s.Object(0, "KvActor").NamedPart("A").Version("KvActor", 1);
    s.Version("KvMasterBoneList", 2).Count(0);
    s.ObjectPart().Version("KvFaceGraph", 1).Count(0).U32(0);
    s.Count(0).U32(0x7FFFFFFF);
    cases.push_back({"old name list beyond the file", s.Finish(1)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    KvActor* actor = kvtest::Load<KvActor>(c.bytes, &error);
    EXPECT_EQ(actor, nullptr);
    EXPECT_NE(error.find("corrupt"), std::string::npos) << error;
    delete actor;
  }
}

TEST_F(ActorTest, InstancesAttachOnceAndFollowRecompiles) {
  KvActor* first = BuildActor();
  KvActor second;
  KvActorInstance instance;
  EXPECT_EQ(KvActorInstance::StaticClass()->CreateObject(), nullptr) << "no factory";

  instance.AttachTo(first);
  instance.AttachTo(first);
  EXPECT_EQ(first->GetNumInstances(), 1u) << "attaching twice enters the instance once";
  ASSERT_EQ(instance.GetNodeValues().Size(), 4u);
  for (const KvActorNodeValue& record : instance.GetNodeValues()) {
    for (uint32_t word : record.words) EXPECT_EQ(word, 0u);
    EXPECT_EQ(record.time, -2147483648.0f);
    EXPECT_EQ(record.word8, 0u);
    EXPECT_EQ(record.word9, 3);
    EXPECT_EQ(record.word10, 6);
    EXPECT_EQ(record.word11, 0u);
  }

  AddNode<KvCombinerNode>(first->GetFaceGraph(), "Extra");
  first->Recompile();
  EXPECT_EQ(instance.GetNodeValues().Size(), 5u) << "a recompile resizes the working records";
  EXPECT_EQ(first->GetNumInstances(), 1u);

  instance.AttachTo(&second);
  EXPECT_EQ(first->GetNumInstances(), 0u);
  EXPECT_EQ(second.GetNumInstances(), 1u);
  EXPECT_EQ(instance.GetActor(), &second);
  EXPECT_TRUE(instance.GetNodeValues().Empty()) << "a new actor without nodes gives no records";

  instance.AttachTo(nullptr);
  EXPECT_EQ(instance.GetActor(), nullptr);
  EXPECT_EQ(second.GetNumInstances(), 0u);

  {
    KvActorInstance shortLived;
    shortLived.AttachTo(first);
    instance.AttachTo(first);
    EXPECT_EQ(first->GetNumInstances(), 2u);
  }
  EXPECT_EQ(first->GetNumInstances(), 1u) << "a destroyed instance leaves its actor";
  delete first;
  EXPECT_EQ(instance.GetActor(), nullptr) << "a destroyed actor detaches its instances";
  EXPECT_TRUE(instance.GetNodeValues().Empty());
}

TEST_F(ActorTest, ActorListOwnsItsActorsUntilShutDown) {
  ASSERT_NE(KvGetActorList(), nullptr);
  EXPECT_EQ(KvGetActorList()->Count(), 0u);
  auto* kept = new KvActor;
  auto* taken = BuildActor();
  // The instance outlives the runtime, so it lives in storage of its own and is
  // destroyed before the next start-up (its name is only inert until then).
  alignas(KvActorInstance) unsigned char storage[sizeof(KvActorInstance)];
  auto* instance = ::new (static_cast<void*>(storage)) KvActorInstance;
  instance->AttachTo(kept);
  EXPECT_TRUE(KvActorListAdd(kept));
  EXPECT_TRUE(KvActorListAdd(taken));
  EXPECT_FALSE(KvActorListAdd(nullptr));
  EXPECT_TRUE(KvActorListRemove(taken));
  EXPECT_FALSE(KvActorListRemove(taken));
  delete taken;
  EXPECT_EQ(KvGetActorList()->Count(), 1u);

  // A second user keeps the runtime up until both have left; then shut-down
  // destroys the listed actor (the leak checker sees anything left behind).
  KvRuntimeStartupDefault();
  KvRuntimeShutdown();
  EXPECT_EQ(KvGetActorList()->Count(), 1u);
  KvRuntimeShutdown();
  EXPECT_EQ(KvGetActorList(), nullptr);
  EXPECT_EQ(instance->GetActor(), nullptr) << "the destroyed actor detached its instance";
  instance->~KvActorInstance();
  KvRuntimeStartupDefault();  // for TearDown
  EXPECT_EQ(KvGetActorList()->Count(), 0u);
}

}  // namespace
