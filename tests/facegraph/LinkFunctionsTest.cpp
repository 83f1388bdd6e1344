// Runtime start-up and shut-down of the facial-animation classes, and the
// link-function table: its twelve rows and its lookups by exact name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kv/Actor.h"
#include "kv/LinkFunctions.h"
#include "kv/Runtime.h"

namespace {

// The class registry in order, each class as "name version base" and "+" for a factory.
std::vector<std::string> Registry() {
  std::vector<std::string> rows;
  for (const KvClass* cls : *KvGetClassRegistry()) {
    rows.push_back(std::string(cls->GetName().GetAsCString()) + " " + std::to_string(cls->GetVersion()) + " " +
                   (cls->GetBase() != nullptr ? cls->GetBase()->GetName().GetAsCString() : "-") +
                   (cls->HasFactory() ? " +" : ""));
  }
  return rows;
}

// Registration order after start-up.
const std::vector<std::string> kRegistry = {
    "KvObject 0 - +", "KvRefObject 0 KvObject +", "KvRefString 0 KvRefObject +", "KvNamedObject 0 KvObject +",
    "KvBone 0 KvNamedObject +", "KvFaceGraphNode 2 KvNamedObject", "KvFaceGraphNodeUserProperty 0 KvNamedObject +",
    "KvFaceGraphNodeLink 0 KvObject +", "KvBonePoseNode 0 KvFaceGraphNode +", "KvCombinerNode 0 KvFaceGraphNode +",
    "KvCurrentTimeNode 0 KvFaceGraphNode +", "KvDeltaNode 0 KvFaceGraphNode +",
    "KvGenericTargetNode 0 KvFaceGraphNode +", "KvMorphTargetNode 0 KvGenericTargetNode +",
    "KvFaceGraph 1 KvObject +", "KvAnimCurve 1 KvNamedObject +", "KvAnimGroup 0 KvNamedObject +",
    "KvAnimSet 0 KvNamedObject +", "KvAnim 6 KvNamedObject +", "KvActor 3 KvNamedObject +",
    "KvActorInstance 0 KvNamedObject", "KvPhonemeMap 0 KvObject +", "KvLinkFn 0 KvNamedObject",
    "KvNullLinkFn 0 KvLinkFn", "KvLinearLinkFn 0 KvLinkFn", "KvQuadraticLinkFn 0 KvLinkFn",
    "KvCubicLinkFn 0 KvLinkFn", "KvSqrtLinkFn 0 KvLinkFn", "KvNegateLinkFn 0 KvLinkFn", "KvInverseLinkFn 0 KvLinkFn",
    "KvOneClampLinkFn 0 KvLinkFn", "KvConstantLinkFn 0 KvLinkFn", "KvCorrectiveLinkFn 0 KvLinkFn",
    "KvClampedLinearLinkFn 0 KvLinkFn"};

// A function as "name class type [description] param=default ...", "*" when corrective.
std::string Describe(const KvLinkFn& fn) {
  std::string text = std::string(fn.GetName().GetAsCString()) + " " + fn.ClassOf()->GetName().GetAsCString() + " " +
                     std::to_string(fn.GetFnType()) + " [" + fn.GetDescription().View() + "]";
  for (uint32_t p = 0; p < fn.GetNumParams(); ++p) {
    char value[32];
    std::snprintf(value, sizeof(value), "%.9g", static_cast<double>(fn.GetParamDefaultValue(p)));
    text += std::string(" ") + fn.GetParamName(p).View() + "=" + value;
  }
  return text + (fn.IsCorrective() ? " *" : "");
}

TEST(StartupTest, RegistersEveryClassOnceBuildsTheLinkFunctionTableAndDropsItAtShutDown) {
  ASSERT_EQ(KvRuntimeUserCount(), 0u);
  KvRuntimeStartupDefault();
  EXPECT_EQ(Registry(), kRegistry);
  // The table's rows in order, each the one shared instance its name finds; lookups
  // are exact.
  const std::vector<std::string> expected = {
      "linear KvLinearLinkFn 1 [ y = m * x + b ] m=1 b=0",
      "quadratic KvQuadraticLinkFn 2 [ y = a * x ^2 ] a=1",
      "cubic KvCubicLinkFn 3 [ y = a * x ^3 ] a=1",
      "square root KvSqrtLinkFn 4 [ y = a * sqrt( x ) ] a=1",
      "negate KvNegateLinkFn 5 [ y = - x ]",
      "inverse KvInverseLinkFn 6 [ y = 1 / x ]",
      "oneclamp KvOneClampLinkFn 7 [ y = [1 if x <= 1] or [1 / x if x > 1) ]",
      "constant KvConstantLinkFn 8 [ y = c ] c=1",
      "corrective KvCorrectiveLinkFn 9 [ x corrects for y ] Correction Factor=1 *",
      "custom KvNullLinkFn 0 [ This link function type has been deprecated. ]",
      "perlin noise KvNullLinkFn 0 [ This link function type has been deprecated. ]",
      "clamped linear KvClampedLinearLinkFn 10 [ y = m * x ] m=1 clampx=0 clampy=0 clampdir=1"};
  std::vector<std::string> rows;
  for (KvLinkFn* fn : *GetLinkFunctionTable()) {
    rows.push_back(Describe(*fn));
    EXPECT_EQ(FindLinkFunction(fn->GetName()), fn) << "lookups give the one shared instance";
    EXPECT_EQ(GetLinkFunctionType(KvName(fn->GetName().GetAsCString())), fn->GetFnType());
  }
  EXPECT_EQ(rows, expected);
  for (const char* name : {"Linear", "linear ", "", "clamped", "Default"}) {
    EXPECT_EQ(FindLinkFunction(KvName(name)), nullptr) << name;
    EXPECT_EQ(GetLinkFunctionType(KvName(name)), -1) << name;
  }
  const KvArray<KvLinkFn*>* table = GetLinkFunctionTable();
  StartupLinkFunctions();
  KvRuntimeStartupDefault();  // a nested start-up builds nothing new
  EXPECT_EQ(Registry(), kRegistry);
  EXPECT_EQ(GetLinkFunctionTable(), table);
  EXPECT_EQ(table->Size(), 12u);
  KvRuntimeShutdown();
  EXPECT_EQ(GetLinkFunctionTable(), table) << "the outer user still holds the runtime";
  // Shut-down destroys the listed actors (the leak checker sees any left behind),
  // which detach their instances. This one outlives the runtime in storage of its
  // own and is destroyed before the next start-up (its name is inert until then).
  auto* listed = new KvActor;
  auto* taken = new KvActor;
  alignas(KvActorInstance) unsigned char storage[sizeof(KvActorInstance)];
  auto* instance = ::new (static_cast<void*>(storage)) KvActorInstance;
  instance->AttachTo(listed);
  EXPECT_TRUE(KvActorListAdd(listed) && KvActorListAdd(taken) && KvActorListRemove(taken));
  EXPECT_FALSE(KvActorListAdd(nullptr) || KvActorListRemove(nullptr) || KvActorListRemove(taken));
  delete taken;
  EXPECT_EQ(KvGetActorList()->Count(), 1u);
  {
    KvName kept("linear");
    KvRuntimeShutdown();
    EXPECT_EQ(instance->GetActor(), nullptr);
    instance->~KvActorInstance();
    EXPECT_EQ(KvGetClassRegistry(), nullptr);
    EXPECT_EQ(KvGetActorList(), nullptr);
    EXPECT_EQ(GetLinkFunctionTable(), nullptr);
    EXPECT_EQ(FindLinkFunction(kept), nullptr) << "a name that outlived shut-down finds nothing";
    EXPECT_EQ(GetLinkFunctionType(kept), -1);
  }
  KvRuntimeStartupDefault();  // a restart registers everything again
  EXPECT_EQ(Registry(), kRegistry);
  EXPECT_EQ(GetLinkFunctionType(KvName("corrective")), 9);
  KvRuntimeShutdown();
}

}  // namespace
