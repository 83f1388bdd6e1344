// KvString's ownership and exact capacity rules.
#include <gtest/gtest.h>

#include "kv/Runtime.h"
#include "kv/String.h"

namespace {

class StringTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

TEST_F(StringTest, EmptyInputsOwnNothing) {
  KvString fromNull(nullptr);
  KvString fromEmpty("");
  KvString withZeroCount("abc", 0);
  for (const KvString* s : {&fromNull, &fromEmpty, &withZeroCount}) {
    EXPECT_EQ(s->Data(), nullptr);
    EXPECT_EQ(s->Capacity(), 0u);
    EXPECT_EQ(s->Length(), 0u);
  }
}

TEST_F(StringTest, CountLimitsTheCopyAndKeepsEmbeddedZeros) {
  KvString prefix("abcdef", 3);
  EXPECT_EQ(prefix.Length(), 3u);
  EXPECT_EQ(prefix.Capacity(), 4u);
  EXPECT_STREQ(prefix.CStr(), "abc");
  KvString withZero("a\0b", 3);
  EXPECT_EQ(withZero.Length(), 3u);
  EXPECT_FALSE(withZero == KvString("a"));
}

TEST_F(StringTest, CStrOnAnEmptyStringAllocatesSixteenBytes) {
  KvString empty;
  EXPECT_STREQ(empty.CStr(), "");
  EXPECT_EQ(empty.Capacity(), 16u);
  EXPECT_EQ(empty.Length(), 0u);
  // Appending one byte fits without reallocation.
  const char* before = empty.Data();
  empty.Append("x", 1);
  EXPECT_EQ(empty.Data(), before);
  EXPECT_EQ(empty.Capacity(), 16u);
  EXPECT_STREQ(empty.CStr(), "x");
}

TEST_F(StringTest, AppendReallocatesToExactlyWhatIsNeeded) {
  KvString s("abc");
  ASSERT_EQ(s.Capacity(), 4u);
  s.Append("de", 2);
  EXPECT_EQ(s.Capacity(), 6u);
  EXPECT_STREQ(s.CStr(), "abcde");
  s.Append("f", 1);
  EXPECT_EQ(s.Capacity(), 7u) << "no spare room: every append reallocates";

  KvString nothing;
  nothing.Append("", 0);
  EXPECT_EQ(nothing.Capacity(), 1u);
  EXPECT_STREQ(nothing.CStr(), "");

  KvString self("xy");
  self.Append(self);
  EXPECT_STREQ(self.CStr(), "xyxy");
}

TEST_F(StringTest, CopiesAreSizedToTheLength) {
  KvString roomy;
  roomy.CStr();  // capacity 16
  roomy.Append("abc", 3);
  ASSERT_EQ(roomy.Capacity(), 16u);
  KvString copy(roomy);
  EXPECT_EQ(copy.Capacity(), 4u);
  EXPECT_NE(copy.Data(), roomy.Data()) << "copies never share";

  KvString emptyWithRoom;
  emptyWithRoom.CStr();
  KvString emptyCopy(emptyWithRoom);
  EXPECT_EQ(emptyCopy.Data(), nullptr);

  KvString assigned("previous text");
  assigned = roomy;
  EXPECT_EQ(assigned.Capacity(), 4u);
  EXPECT_TRUE(assigned == "abc");
  assigned = assigned;
  EXPECT_TRUE(assigned == "abc");
}

TEST_F(StringTest, EqualityComparesLengthThenBytes) {
  EXPECT_TRUE(KvString("abc") == KvString("abc"));
  EXPECT_FALSE(KvString("abc") == KvString("abd"));
  EXPECT_FALSE(KvString("abc") == KvString("ab"));
  EXPECT_FALSE(KvString("Abc") == "abc") << "case-sensitive";
  EXPECT_TRUE(KvString() == "");
  EXPECT_FALSE(KvString() == static_cast<const char*>(nullptr));
  EXPECT_TRUE((KvString("ab") + KvString("cd")) == "abcd");
}

}  // namespace
