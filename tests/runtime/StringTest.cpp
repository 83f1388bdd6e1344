// KvString's ownership and exact capacity rules.
#include <gtest/gtest.h>

#include "kv/String.h"
#include "RuntimeTest.h"

namespace {

using StringTest = RuntimeTest;

TEST_F(StringTest, EmptyStringsOwnNothingAppendsAndCopiesAreSizedExactlyAndEqualityComparesLengthThenBytes) {
  KvString fromNull(nullptr);
  KvString fromEmpty("");
  KvString withZeroCount("abc", 0);
  for (const KvString* s : {&fromNull, &fromEmpty, &withZeroCount}) {
    EXPECT_EQ(s->Data(), nullptr);
    EXPECT_EQ(s->Capacity(), 0u);
    EXPECT_EQ(s->Length(), 0u);
  }
  KvString empty;
  EXPECT_STREQ(empty.CStr(), "");
  EXPECT_EQ(empty.Capacity(), 16u);
  EXPECT_EQ(empty.Length(), 0u);
  const char* before = empty.Data();
  empty.Append("x", 1);
  EXPECT_EQ(empty.Data(), before) << "one byte fits without reallocation";
  EXPECT_STREQ(empty.CStr(), "x");

  KvString nothing;
  nothing.Append("", 0);
  EXPECT_EQ(nothing.Capacity(), 1u);
  EXPECT_STREQ(nothing.CStr(), "");

  KvString s("abcdef", 3);
  ASSERT_EQ(s.Capacity(), 4u);
  s.Append("de", 2);
  EXPECT_EQ(s.Capacity(), 6u);
  EXPECT_STREQ(s.CStr(), "abcde");
  s.Append("f", 1);
  EXPECT_EQ(s.Capacity(), 7u) << "no spare room: every append reallocates";
  s.Append(s);
  EXPECT_STREQ(s.CStr(), "abcdefabcdef");

  KvString roomy;
  roomy.CStr();  // capacity 16
  roomy.Append("abc", 3);
  KvString copy(roomy);
  EXPECT_EQ(copy.Capacity(), 4u);
  EXPECT_NE(copy.Data(), roomy.Data()) << "copies never share";
  KvString emptyWithRoom;
  emptyWithRoom.CStr();
  EXPECT_EQ(KvString(emptyWithRoom).Data(), nullptr);

  KvString assigned("previous text");
  assigned = roomy;
  assigned = assigned;
  EXPECT_EQ(assigned.Capacity(), 4u);
  EXPECT_TRUE(assigned == "abc");

  EXPECT_TRUE(KvString("abc") == KvString("abc"));
  EXPECT_FALSE(KvString("abc") == KvString("abd"));
  EXPECT_FALSE(KvString("abc") == KvString("ab"));
  EXPECT_FALSE(KvString("a\0b", 3) == KvString("a")) << "embedded zeros count";
  EXPECT_FALSE(KvString("Abc") == "abc") << "case-sensitive";
  EXPECT_TRUE(KvString() == "");
  EXPECT_FALSE(KvString() == static_cast<const char*>(nullptr));
  EXPECT_TRUE((KvString("ab") + KvString("cd")) == "abcd");
}

}  // namespace
