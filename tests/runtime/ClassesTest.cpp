// Class registration, lookup, kinds, factories and the start-up cycle.
#include <gtest/gtest.h>

#include "kv/Object.h"
#include "kv/Runtime.h"

namespace classes_test {

class TestShape : public KvNamedObject {
  KV_DECLARE_CLASS(TestShape)
  int sides = 3;
};
class TestSquare : public TestShape {
  KV_DECLARE_CLASS(TestSquare)
  TestSquare() { sides = 4; }
};
class TestAbstract : public KvObject {
  KV_DECLARE_CLASS(TestAbstract)
};

KV_IMPLEMENT_CLASS(TestShape, 3, KvNamedObject)
KV_IMPLEMENT_CLASS(TestSquare, 1, TestShape)
KV_IMPLEMENT_ABSTRACT_CLASS(TestAbstract, 0, KvObject)

}  // namespace classes_test

namespace {

using namespace classes_test;

class ClassesTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

TEST_F(ClassesTest, StartupRegistersTheRuntimeClassesInOrder) {
  KvArray<KvClass*>* registry = KvGetClassRegistry();
  ASSERT_NE(registry, nullptr);
  const char* expected[] = {"KvObject", "KvRefObject", "KvRefString", "KvNamedObject"};
  ASSERT_GE(registry->Size(), 4u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_STREQ((*registry)[i]->GetName().GetAsCString(), expected[i]);
  EXPECT_EQ(KvObject::StaticClass()->GetBase(), nullptr);
  EXPECT_EQ(KvRefString::StaticClass()->GetBase(), KvRefObject::StaticClass());
}

TEST_F(ClassesTest, FindClassKnowsOnlyRegisteredClasses) {
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), nullptr) << "not registered before first use";
  KvClass* square = TestSquare::StaticClass();
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), square);
  EXPECT_EQ(KvFindClass(KvName("TestShape")), TestShape::StaticClass()) << "the base registers first";
  EXPECT_EQ(square->GetVersion(), 1);
  EXPECT_EQ(square->GetSize(), sizeof(TestSquare));
}

TEST_F(ClassesTest, IsKindOfFollowsTheBaseChain) {
  KvClass* square = TestSquare::StaticClass();
  EXPECT_TRUE(square->IsKindOf(TestShape::StaticClass()));
  EXPECT_TRUE(square->IsKindOf(KvNamedObject::StaticClass()));
  EXPECT_TRUE(square->IsKindOf(KvObject::StaticClass()));
  EXPECT_FALSE(TestShape::StaticClass()->IsKindOf(square));
  EXPECT_FALSE(KvObject::StaticClass()->IsKindOf(KvNamedObject::StaticClass()));
  EXPECT_TRUE(KvObject::StaticClass()->IsKindOf(KvObject::StaticClass()));
}

TEST_F(ClassesTest, ChildCountCountsDirectSubclasses) {
  const uint32_t before = KvNamedObject::StaticClass()->GetChildCount();
  TestSquare::StaticClass();
  EXPECT_EQ(KvNamedObject::StaticClass()->GetChildCount(), before + 1) << "TestShape, not TestSquare";
  EXPECT_EQ(TestShape::StaticClass()->GetChildCount(), 1u);
}

TEST_F(ClassesTest, FactoriesMakeDefaultInstancesAndAbstractClassesNone) {
  KvObject* object = TestSquare::StaticClass()->CreateObject();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->ClassOf(), TestSquare::StaticClass());
  EXPECT_EQ(static_cast<TestSquare*>(object)->sides, 4);
  EXPECT_EQ(KvCast<TestShape>(object), object);
  EXPECT_EQ(KvCast<TestAbstract>(object), nullptr);
  KvReleaseObject(object);
  EXPECT_EQ(TestAbstract::StaticClass()->CreateObject(), nullptr);
}

TEST_F(ClassesTest, DuplicateRegistrationKeepsTheEarlierForLookup) {
  // Shut-down clears every class's slot, so the slot must outlive the test body.
  static KvClass* slot = nullptr;
  KvClass* first = TestShape::StaticClass();
  KvClass* second = KvRegisterClass("TestShape", 9, KvObject::StaticClass(), 8, nullptr, &slot);
  EXPECT_NE(first, second);
  EXPECT_EQ(slot, second);
  EXPECT_EQ(KvFindClass(KvName("TestShape")), first);
}

TEST(RuntimeLifecycle, RestartRegistersEverythingAgain) {
  KvRuntimeStartupDefault();
  TestSquare::StaticClass();
  const uint32_t registered = KvGetClassRegistry()->Size();
  KvRuntimeShutdown();
  EXPECT_EQ(KvGetClassRegistry(), nullptr);
  EXPECT_EQ(KvRuntimeUserCount(), 0u);

  KvRuntimeStartupDefault();
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), nullptr) << "static pointers were reset";
  KvClass* square = TestSquare::StaticClass();
  EXPECT_EQ(KvGetClassRegistry()->Size(), registered);
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), square);
  KvRuntimeShutdown();
}

TEST(RuntimeLifecycle, OverlappingUsersKeepTheRuntimeAlive) {
  KvRuntimeStartupDefault();
  KvRuntimeStartupDefault();  // a second translator object
  KvName held("Held");
  KvRuntimeShutdown();        // the first one goes away
  EXPECT_TRUE(KvNameSystemRunning());
  EXPECT_STREQ(held.GetAsCString(), "Held");
  EXPECT_NE(KvFindClass(KvName("KvNamedObject")), nullptr);
  KvRuntimeShutdown();
  EXPECT_FALSE(KvNameSystemRunning());
  KvRuntimeShutdown();  // unmatched: nothing happens
  EXPECT_EQ(KvRuntimeUserCount(), 0u);
}

TEST(RuntimeVersions, ConstantsAndLicenseeTexts) {
  KvRuntimeStartupDefault();
  EXPECT_EQ(KvGetRuntimeVersion(), 1710u);
  EXPECT_EQ(KvGetLicenseeVersion(), 1000u);
  EXPECT_TRUE(KvGetLicenseeName() == kKvLicenseeName);
  EXPECT_TRUE(KvGetLicenseeProjectName() == kKvLicenseeProjectName);
  KvRuntimeShutdown();
}

}  // namespace
