// Runtime start-up registers every runtime class and link-function class in its
// fixed order, with the versions, bases and factories archives depend on.
#include <gtest/gtest.h>

#include <string>

#include "kv/Actor.h"
#include "kv/LinkFunctions.h"
#include "kv/Runtime.h"

namespace {

struct ClassRow {
  const char* name;
  uint16_t version;
  const char* base;
  bool factory;
};

// Registration order: the 22 runtime classes, then the link-function classes.
const ClassRow kRegistered[] = {
    {"KvObject", 0, nullptr, true},
    {"KvRefObject", 0, "KvObject", true},
    {"KvRefString", 0, "KvRefObject", true},
    {"KvNamedObject", 0, "KvObject", true},
    {"KvBone", 0, "KvNamedObject", true},
    {"KvFaceGraphNode", 2, "KvNamedObject", false},
    {"KvFaceGraphNodeUserProperty", 0, "KvNamedObject", true},
    {"KvFaceGraphNodeLink", 0, "KvObject", true},
    {"KvBonePoseNode", 0, "KvFaceGraphNode", true},
    {"KvCombinerNode", 0, "KvFaceGraphNode", true},
    {"KvCurrentTimeNode", 0, "KvFaceGraphNode", true},
    {"KvDeltaNode", 0, "KvFaceGraphNode", true},
    {"KvGenericTargetNode", 0, "KvFaceGraphNode", true},
    {"KvMorphTargetNode", 0, "KvGenericTargetNode", true},
    {"KvFaceGraph", 1, "KvObject", true},
    {"KvAnimCurve", 1, "KvNamedObject", true},
    {"KvAnimGroup", 0, "KvNamedObject", true},
    {"KvAnimSet", 0, "KvNamedObject", true},
    {"KvAnim", 6, "KvNamedObject", true},
    {"KvActor", 3, "KvNamedObject", true},
    {"KvActorInstance", 0, "KvNamedObject", false},
    {"KvPhonemeMap", 0, "KvObject", true},
    {"KvLinkFn", 0, "KvNamedObject", false},
    {"KvNullLinkFn", 0, "KvLinkFn", false},
    {"KvLinearLinkFn", 0, "KvLinkFn", false},
    {"KvQuadraticLinkFn", 0, "KvLinkFn", false},
    {"KvCubicLinkFn", 0, "KvLinkFn", false},
    {"KvSqrtLinkFn", 0, "KvLinkFn", false},
    {"KvNegateLinkFn", 0, "KvLinkFn", false},
    {"KvInverseLinkFn", 0, "KvLinkFn", false},
    {"KvOneClampLinkFn", 0, "KvLinkFn", false},
    {"KvConstantLinkFn", 0, "KvLinkFn", false},
    {"KvCorrectiveLinkFn", 0, "KvLinkFn", false},
    {"KvClampedLinearLinkFn", 0, "KvLinkFn", false},
};
constexpr uint32_t kRegisteredCount = sizeof(kRegistered) / sizeof(kRegistered[0]);

void ExpectRegistry() {
  const KvArray<KvClass*>* registry = KvGetClassRegistry();
  ASSERT_NE(registry, nullptr);
  ASSERT_EQ(registry->Size(), kRegisteredCount);
  for (uint32_t i = 0; i < kRegisteredCount; ++i) {
    const ClassRow& row = kRegistered[i];
    SCOPED_TRACE(row.name);
    const KvClass* cls = (*registry)[i];
    EXPECT_STREQ(cls->GetName().GetAsCString(), row.name);
    EXPECT_EQ(KvFindClass(KvName(row.name)), cls);
    EXPECT_EQ(cls->GetVersion(), row.version);
    EXPECT_EQ(cls->HasFactory(), row.factory);
    if (row.base == nullptr) {
      EXPECT_EQ(cls->GetBase(), nullptr);
    } else {
      ASSERT_NE(cls->GetBase(), nullptr);
      EXPECT_STREQ(cls->GetBase()->GetName().GetAsCString(), row.base);
    }
  }
}

TEST(StartupTest, RegistersEveryRuntimeAndLinkFunctionClassInOrderAgainOnRestart) {
  KvRuntimeStartupDefault();
  ExpectRegistry();
  EXPECT_EQ(KvFindClass(KvName("KvScene")), nullptr) << "scene classes come from the exporter's start-up";

  uint32_t namedChildren = 0;
  for (const ClassRow& row : kRegistered) namedChildren += row.base != nullptr && std::string(row.base) == "KvNamedObject";
  EXPECT_EQ(KvNamedObject::StaticClass()->GetChildCount(), namedChildren);

  // A nested start-up builds nothing new.
  KvRuntimeStartupDefault();
  EXPECT_EQ(KvGetClassRegistry()->Size(), kRegisteredCount);
  KvRuntimeShutdown();

  KvObject* made = KvFindClass(KvName("KvActor"))->CreateObject();
  ASSERT_NE(made, nullptr);
  EXPECT_STREQ(static_cast<KvActor*>(made)->GetName().GetAsCString(), "NewActor");
  delete made;
  KvRuntimeShutdown();
  EXPECT_EQ(KvGetClassRegistry(), nullptr);
  EXPECT_EQ(KvGetActorList(), nullptr);
  EXPECT_EQ(GetLinkFunctionTable(), nullptr);

  // A restart registers everything again, actor list and link functions included.
  KvRuntimeStartupDefault();
  ExpectRegistry();
  EXPECT_EQ(GetLinkFunctionType(KvName("corrective")), 9);
  ASSERT_NE(KvGetActorList(), nullptr);
  KvActorListAdd(new KvActor);  // destroyed by the shut-down below
  KvRuntimeShutdown();
}

}  // namespace
