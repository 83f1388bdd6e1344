// Actors: the stored order of a populated actor, older actors (stored face graph,
// "Default" among the groups, no phoneme map), hostile actors, and instances
// attaching and detaching.
#include <memory>
#include <string>
#include <vector>

#include "ArchiveBytes.h"
#include "kv/Actor.h"

namespace {

using kvtest::AddNode;
using kvtest::StreamBuilder;
using ActorTest = ::RuntimeTest;

KvAnimGroup Group(const char* name, std::vector<const char*> anims) {
  KvAnimGroup group{KvName(name)};
  group.anims.Resize(static_cast<uint32_t>(anims.size()));
  for (uint32_t i = 0; i < anims.size(); ++i) group.anims[i].SetName(KvName(anims[i]));
  return group;
}

// A face graph of three node classes whose two bone-pose nodes share a bone, and
// groups and phonemes with every field distinct.
KvActor* BuildActor() {
  auto* actor = new KvActor;
  actor->SetName(KvName("Ada"));
  // Made last to first, so that the nodes' addresses do not follow their order.
  auto* pucker = new KvBonePoseNode;
  auto* smile = new KvMorphTargetNode;
  auto* mix = new KvCombinerNode;
  auto* open = new KvBonePoseNode;
  const char* names[] = {"Open", "Mix", "Smile", "Pucker"};
  for (KvFaceGraphNode* node : std::vector<KvFaceGraphNode*>{open, mix, smile, pucker}) {
    node->SetName(KvName(names[actor->GetFaceGraph().GetNumNodes()]));
    actor->GetFaceGraph().AddNode(node);
  }
  open->bones.PushBack(KvBone(KvName("jaw")));
  open->bones.PushBack(KvBone(KvName("lip")));
  open->bones[0].position[2] = 3.0f;
  mix->SetRange(-1.0f, 2.0f);
  mix->SetInputOperation(1);
  pucker->bones.PushBack(KvBone(KvName("lip")));
  pucker->bones.PushBack(KvBone(KvName("cheek")));
  KvFaceGraphNodeLink toOpen(open, KvName("clamped linear"));
  toOpen.parameters[1] = 0.5f;
  mix->AddInputLink(toOpen);
  smile->AddInputLink(KvFaceGraphNodeLink(mix, KvName("negate")));
  KvFaceGraphNodeLink dangling;
  dangling.linkFnName = KvName("linear");
  smile->AddInputLink(dangling);
  actor->Recompile();
  actor->GetDefaultGroup().anims.PushBack(Group("", {"Idle"}).anims[0]);
  actor->GetAnimGroups().PushBack(Group("Speech", {"Hello", "Bye"}));
  actor->GetAnimGroups().PushBack(Group("Empty", {}));
  actor->GetPhonemeMap().entries.PushBack(KvPhonemeMapEntry{12, KvName("Smile"), 0.5f});
  actor->GetPhonemeMap().entries.PushBack(KvPhonemeMapEntry{12, KvName("Mix"), 0.25f});
  actor->GetPhonemeMap().targetNames.PushBack(KvName("Smile"));
  return actor;
}

// A stored animation group of empty animations.
StreamBuilder& StoredGroup(StreamBuilder& s, const char* group, std::vector<const char*> anims) {
  s.NamedPart(group).Version("KvAnimGroup", 0).Count(static_cast<uint32_t>(anims.size()));
  for (const char* name : anims) {
    s.NamedPart(name).Version("KvAnim", 6).Count(0).U32(0).F32(0.16f).F32(0.22f).Count(0).Str("").Str("").I32(-1);
  }
  return s;
}

// BuildActor as current archives store it: the master bones, the compiled graph,
// the groups and the phoneme map.
std::vector<uint8_t> GoldenActor(bool legacyArchive = false) {
  StreamBuilder s(legacyArchive);
  s.Object(0, "KvActor", KvActor::StaticClass()->GetSize()).NamedPart("Ada").Version("KvActor", 3);
  s.Version("KvMasterBoneList", 2).Count(3);
  for (const char* bone : {"jaw", "lip", "cheek"}) {
    s.NamedPart(bone).Version("KvBone", 0).Floats({0, 0, std::string(bone) == "jaw" ? 3.0f : 0, 1, 0, 0, 0, 0, 0, 0});
  }
  s.Version("KvCompiledFaceGraph", 0).Count(4);
  s.Name("Open").Name("KvBonePoseNode").F32(0.0f).F32(1.0f).U32(0).Count(0).Count(2).U32(0).U32(1);
  s.Name("Mix").Name("KvCombinerNode").F32(-1.0f).F32(2.0f).U32(1);
  s.Count(1).I32(0).I32(10).Count(4).F32(1.0f).F32(0.5f).F32(0.0f).F32(1.0f).Count(0);
  s.Name("Smile").Name("KvMorphTargetNode").F32(0.0f).F32(1.0f).U32(0);
  s.Count(2).I32(1).I32(5).Count(0).I32(-1).I32(-1).Count(0).Count(0);
  s.Name("Pucker").Name("KvBonePoseNode").F32(0.0f).F32(1.0f).U32(0).Count(0).Count(2).U32(1).U32(2);
  StoredGroup(StoredGroup(StoredGroup(s, "Default", {"Idle"}).Count(2), "Speech", {"Hello", "Bye"}), "Empty", {});
  s.ObjectPart().Version("KvPhonemeMap", 0).Count(2).U32(12).Name("Smile").F32(0.5f).U32(12).Name("Mix").F32(0.25f);
  s.Count(1).Name("Smile");
  return s.Finish(1);
}

TEST_F(ActorTest, ActorSavesToTheGoldenStreamAndLoadsBackInBothByteOrders) {
  KvActor fresh;
  EXPECT_STREQ(fresh.GetName().GetAsCString(), "NewActor");
  // The smallest elements still load when they fill the bytes after their count
  // exactly: 25 bones (44 bytes each, 24 follow), 21 compiled nodes (28, 20), 25
  // compiled links (12, 24), 9 groups (8, 8) and 5 phoneme entries (12, 4).
  for (int kind = 0; kind < 5; ++kind) {
    KvActor full;
    full.GetMasterBoneList().bones.Resize(kind == 0 ? 25 : 0);
    for (int i = 0; i < 21 && kind == 1; ++i) AddNode<KvCombinerNode>(full.GetFaceGraph(), "n");
    auto* links = kind == 2 ? AddNode<KvCombinerNode>(full.GetFaceGraph(), "n") : nullptr;
    for (int i = 0; i < 25 && links != nullptr; ++i) links->AddInputLink(KvFaceGraphNodeLink());
    full.Recompile();
    full.GetAnimGroups().Resize(kind == 3 ? 9 : 0);
    full.GetPhonemeMap().entries.Resize(kind == 4 ? 5 : 0);
    EXPECT_TRUE(kvtest::Loads<KvActor>(kvtest::SaveToBytes(&full))) << kind;
  }

  KvCombinerNode outside;
  KvActor lone;
  AddNode<KvCombinerNode>(lone.GetFaceGraph(), "n")->AddInputLink(KvFaceGraphNodeLink(&outside, KvName()));
  lone.Recompile();
  EXPECT_EQ(lone.GetCompiledFaceGraph().nodes[0].links[0].inputIndex, -1) << "an input outside the graph";

  std::unique_ptr<KvActor> original(BuildActor());
  std::unique_ptr<KvActor> actor = kvtest::ExpectGoldenRoundTrip(original.get(), GoldenActor(), GoldenActor(true));
  ASSERT_NE(actor, nullptr);
  EXPECT_EQ(actor->GetFaceGraph().GetNumNodes(), 0u) << "current actors store only the compiled graph";
}

// An actor of class version v as its writers stored it: below 3 the face graph itself
// (compiled on loading) and a list of names after the groups, below 2 "Default" among
// the groups, from 1 a phoneme map (with one entry or none).
std::vector<uint8_t> OldActor(uint16_t v, bool phonemeEntry) {
  StreamBuilder s;
  s.Object(0, "KvActor", KvActor::StaticClass()->GetSize()).NamedPart("Old").Version("KvActor", v);
  s.Version("KvMasterBoneList", 2).Count(1).NamedPart("jawbone").Version("KvBone", 0);
  for (int i = 0; i < 10; ++i) s.F32(5.0f);  // the listed bone keeps this transform
  if (v < 3) {
    s.ObjectPart().Version("KvFaceGraph", 1).Count(2);
    s.Object(1, "KvBonePoseNode").NamedPart("Jaw").Version("KvFaceGraphNode", 2);
    s.F32(0.0f).F32(1.0f).U32(0).Count(0).Count(0).U32(1).Version("KvBonePoseNode", 0).Count(1);
    s.NamedPart("jawbone").Version("KvBone", 0);
    for (int i = 0; i < 10; ++i) s.F32(0.0f);
    s.Object(2, "KvCombinerNode").NamedPart("Mix").Version("KvFaceGraphNode", 2).F32(0.0f).F32(1.0f).U32(0).Count(1);
    s.ObjectPart().Version("KvFaceGraphNodeLink", 0).Name("Jaw").Name("cubic").Version("KvLinkFnParameters", 1);
    s.Count(1).F32(2.0f).Count(0).U32(0).Version("KvCombinerNode", 0).U32(2).U32(1).U32(1);
  } else {
    s.Version("KvCompiledFaceGraph", 0).Count(2).Name("Jaw").Name("KvBonePoseNode").F32(0).F32(1).U32(0);
    s.Count(0).Count(1).U32(0).Name("Mix").Name("KvCombinerNode").F32(0).F32(1).U32(0);
    s.Count(1).I32(0).I32(3).Count(1).F32(2.0f).Count(0);
  }
  if (v < 2) StoredGroup(StoredGroup(s.Count(3), "Eyes", {"e"}), "Default", {"d1", "d2"});
  if (v >= 2) StoredGroup(StoredGroup(s, "Default", {"d1", "d2"}).Count(2), "Eyes", {"e"});
  StoredGroup(s, "Mouth", {});
  if (v < 3) s.U32(2).Name("legacy1").Name("legacy2");
  if (v >= 1) s.ObjectPart().Version("KvPhonemeMap", 0).Count(phonemeEntry ? 1 : 0);
  if (v >= 1 && phonemeEntry) s.U32(7).Name("Mix").F32(1.0f);
  if (v >= 1) s.Count(0);
  return s.Finish(v < 3 ? 3 : 1);
}

TEST_F(ActorTest, OlderActorsCompileTheirGraphAndHostileCutOrCorruptedActorsAreRejected) {
  for (uint16_t v = 0; v <= 2; ++v) {
    std::unique_ptr<KvActor> actor = kvtest::MustLoad<KvActor>(OldActor(v, true));
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->GetFaceGraph().GetNumNodes() + actor->GetFaceGraph().GetTypeGroups().Size(), 0u)
        << "the stored graph is dropped once compiled";
    EXPECT_EQ(kvtest::SaveToBytes(actor.get()), OldActor(3, v >= 1)) << "actor version " << v;
  }

  auto actor = [](uint16_t version, uint16_t boneListVersion) {
    StreamBuilder s;
    s.Object(0, "KvActor").NamedPart("A").Version("KvActor", version).Version("KvMasterBoneList", boneListVersion);
    return s.Count(0);
  };
  // A link reading node 1 of one (the corrupted bytes below reach other indexes).
  StreamBuilder badLink = actor(3, 2).Version("KvCompiledFaceGraph", 0).Count(1).Name("n").Name("KvCombinerNode");
  badLink.F32(0).F32(1).U32(0).Count(1).I32(1).I32(1).Count(0).Count(0).NamedPart("Default");
  badLink.Version("KvAnimGroup", 0).Count(0).Count(0).ObjectPart().Version("KvPhonemeMap", 0).Count(0).Count(0);
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {  // what also names the error
      {"a compiled link reads a node that does not exist", badLink.Finish(1)},
      {"a master bone list of an unknown version", actor(3, 1).Finish(1)},
      {"an old actor lists more names than the file holds",
       actor(1, 2).ObjectPart().Version("KvFaceGraph", 1).Count(0).U32(0).Count(0).U32(3).U32(0).U32(0).Finish(1)}};
  for (const auto& [what, bytes] : cases) {
    EXPECT_PRED_FORMAT2(testing::IsSubstring, what, kvtest::LoadError<KvActor>(bytes));
  }

  std::unique_ptr<KvActor> original(BuildActor());
  for (const std::vector<uint8_t>& file :
       {kvtest::SaveToBytes(original.get()), kvtest::SaveToBytes(original.get(), 1), OldActor(0, true)}) {
    kvtest::ExpectEveryCutFails<KvActor>(file);
    for (size_t at = 0; at < file.size(); ++at) {
      for (uint8_t pattern : {uint8_t{0xFF}, uint8_t{0x01}}) {
        std::vector<uint8_t> bytes = file;
        bytes[at] ^= pattern;
        std::unique_ptr<KvActor> loaded(kvtest::Load<KvActor>(bytes));
        if (loaded == nullptr) continue;
        // A loaded actor's compiled graph only names nodes and bones it has.
        const KvCompiledFaceGraph& compiled = loaded->GetCompiledFaceGraph();
        for (const KvCompiledNode& node : compiled.nodes) {
          for (const KvCompiledLink& link : node.links) {
            EXPECT_TRUE(link.inputIndex >= -1 && link.inputIndex < static_cast<int32_t>(compiled.GetNumNodes())) << at;
          }
          for (uint32_t bone : node.boneIndices) EXPECT_LT(bone, loaded->GetMasterBoneList().GetNumBones()) << at;
        }
      }
    }
  }
}

TEST_F(ActorTest, InstancesAttachOnceFollowRecompilesAndOutliveTheirActors) {
  KvActor* first = BuildActor();
  KvActor second;
  KvActorInstance instance;
  instance.SetName(KvName("Ann"));
  StreamBuilder golden;
  golden.Object(0, "KvActorInstance", KvActorInstance::StaticClass()->GetSize()).NamedPart("Ann");
  EXPECT_EQ(kvtest::SaveToBytes(&instance), golden.Version("KvActorInstance", 0).Finish(1));
  instance.AttachTo(first);
  instance.AttachTo(first);
  EXPECT_EQ(first->GetNumInstances(), 1u) << "attaching twice enters the instance once";
  ASSERT_EQ(instance.GetNodeValues().Size(), 4u);
  EXPECT_EQ(instance.GetNodeValues()[3].time, -2147483648.0f);
  AddNode<KvCombinerNode>(first->GetFaceGraph(), "Extra");
  first->Recompile();
  EXPECT_EQ(instance.GetNodeValues().Size(), 5u) << "a recompile resizes the working records";
  instance.AttachTo(&second);
  EXPECT_EQ(first->GetNumInstances() * 10 + second.GetNumInstances(), 1u) << "moved from the first to the second";
  EXPECT_TRUE(instance.GetNodeValues().Empty()) << "a new actor without nodes gives no records";
  instance.AttachTo(nullptr);
  EXPECT_EQ(second.GetNumInstances(), 0u);
  {
    KvActorInstance shortLived;
    shortLived.AttachTo(first);
  }
  instance.AttachTo(first);
  EXPECT_EQ(first->GetNumInstances(), 1u) << "a destroyed instance leaves its actor";
  delete first;
  EXPECT_EQ(instance.GetActor(), nullptr) << "a destroyed actor detaches its instances";
  EXPECT_TRUE(instance.GetNodeValues().Empty());
}

}  // namespace
