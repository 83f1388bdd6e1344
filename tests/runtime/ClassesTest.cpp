// Class registration and lookup, and the start-up cycle.
#include <gtest/gtest.h>

#include "kv/Object.h"
#include "RuntimeTest.h"

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

using ClassesTest = RuntimeTest;

TEST_F(ClassesTest, RegistrationRecordsVersionBaseSizeAndChildCounts) {
  const uint32_t namedChildren = KvNamedObject::StaticClass()->GetChildCount();
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), nullptr) << "not registered before first use";
  KvClass* square = TestSquare::StaticClass();
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), square);
  EXPECT_EQ(KvFindClass(KvName("TestShape")), TestShape::StaticClass()) << "the base registers first";
  EXPECT_EQ(square->GetVersion(), 1);
  EXPECT_EQ(square->GetSize(), sizeof(TestSquare));
  EXPECT_EQ(KvNamedObject::StaticClass()->GetChildCount(), namedChildren + 1) << "TestShape, not TestSquare";
  EXPECT_EQ(TestShape::StaticClass()->GetChildCount(), 1u);

  // A second registration under a taken name is kept, but lookup finds the first.
  // Shut-down clears every class's slot, so the slot must outlive the test body.
  static KvClass* slot = nullptr;
  KvClass* second = KvRegisterClass("TestShape", 9, KvObject::StaticClass(), 8, nullptr, &slot);
  EXPECT_EQ(slot, second);
  EXPECT_EQ(KvFindClass(KvName("TestShape")), TestShape::StaticClass());
  EXPECT_EQ(TestAbstract::StaticClass()->CreateObject(), nullptr) << "an abstract class has no factory";
}

// Shut-down resets every class's static pointer and ends the name system; names
// that outlive it stay inert across the next start-up.
TEST(RuntimeLifecycle, RestartRegistersEverythingAgainAndOldNamesStayInert) {
  KvRuntimeStartupDefault();
  TestSquare::StaticClass();
  const uint32_t registered = KvGetClassRegistry()->Size();
  auto* survivor = new KvName("Survivor");
  auto* restarted = new KvName("Survivor");
  KvRuntimeShutdown();
  EXPECT_EQ(KvGetClassRegistry(), nullptr);
  EXPECT_EQ(KvGetNameList(), nullptr);
  EXPECT_FALSE(KvNameSystemRunning());
  EXPECT_EQ(KvRuntimeUserCount(), 0u);
  delete survivor;       // must not touch the freed entry (the sanitizer would see it)
  KvName beforeStartup;  // constructed while the name system is down
  EXPECT_EQ(beforeStartup.GetNode(), nullptr);

  KvRuntimeStartupDefault();
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), nullptr) << "static pointers were reset";
  KvClass* square = TestSquare::StaticClass();
  EXPECT_EQ(KvGetClassRegistry()->Size(), registered);
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), square);
  // A survivor of the last run reads as unattached and releases nothing of this one.
  KvName fresh("Survivor");
  EXPECT_TRUE(KvName("") == beforeStartup) << "an unattached right-hand side reads as the null name";
  EXPECT_EQ(restarted->GetNode(), nullptr);
  EXPECT_STREQ(restarted->GetAsCString(), "");
  EXPECT_FALSE(*restarted == fresh);
  delete restarted;
  EXPECT_EQ(fresh.GetRefCount(), 1u);

  // A second user (another translator object) keeps the runtime alive until it too
  // shuts down; an unmatched shut-down does nothing.
  KvRuntimeStartupDefault();
  KvRuntimeShutdown();
  EXPECT_TRUE(KvNameSystemRunning());
  EXPECT_STREQ(fresh.GetAsCString(), "Survivor");
  EXPECT_EQ(KvFindClass(KvName("TestSquare")), square);
  KvRuntimeShutdown();
  EXPECT_FALSE(KvNameSystemRunning());
  KvRuntimeShutdown();
  EXPECT_EQ(KvRuntimeUserCount(), 0u);
}

}  // namespace
