// The link-function table: its twelve rows, lookups by exact name, and its life
// across runtime start-up and shut-down.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kv/LinkFunctions.h"
#include "kv/Runtime.h"

namespace {

struct LinkFnRow {
  const char* name;
  const char* className;
  int32_t type;
  const char* description;
  std::vector<std::pair<const char*, float>> params;
};

const std::vector<LinkFnRow>& ExpectedTable() {
  static const std::vector<LinkFnRow> rows = {
      {"linear", "KvLinearLinkFn", 1, " y = m * x + b ", {{"m", 1.0f}, {"b", 0.0f}}},
      {"quadratic", "KvQuadraticLinkFn", 2, " y = a * x ^2 ", {{"a", 1.0f}}},
      {"cubic", "KvCubicLinkFn", 3, " y = a * x ^3 ", {{"a", 1.0f}}},
      {"square root", "KvSqrtLinkFn", 4, " y = a * sqrt( x ) ", {{"a", 1.0f}}},
      {"negate", "KvNegateLinkFn", 5, " y = - x ", {}},
      {"inverse", "KvInverseLinkFn", 6, " y = 1 / x ", {}},
      {"oneclamp", "KvOneClampLinkFn", 7, " y = [1 if x <= 1] or [1 / x if x > 1) ", {}},
      {"constant", "KvConstantLinkFn", 8, " y = c ", {{"c", 1.0f}}},
      {"corrective", "KvCorrectiveLinkFn", 9, " x corrects for y ", {{"Correction Factor", 1.0f}}},
      {"custom", "KvNullLinkFn", 0, " This link function type has been deprecated. ", {}},
      {"perlin noise", "KvNullLinkFn", 0, " This link function type has been deprecated. ", {}},
      {"clamped linear",
       "KvClampedLinearLinkFn",
       10,
       " y = m * x ",
       {{"m", 1.0f}, {"clampx", 0.0f}, {"clampy", 0.0f}, {"clampdir", 1.0f}}},
  };
  return rows;
}

TEST(LinkFunctionsTest, AbsentBeforeStartUpAndAfterShutDown) {
  ASSERT_EQ(KvRuntimeUserCount(), 0u);
  EXPECT_EQ(GetLinkFunctionTable(), nullptr);
  EXPECT_EQ(FindLinkFunction(KvName()), nullptr);
  EXPECT_EQ(GetLinkFunctionType(KvName()), -1);

  KvRuntimeStartupDefault();
  {
    KvName linear("linear");
    EXPECT_EQ(GetLinkFunctionType(linear), 1);
    KvRuntimeShutdown();
    EXPECT_EQ(GetLinkFunctionTable(), nullptr);
    EXPECT_EQ(FindLinkFunction(linear), nullptr) << "a name that outlived shut-down finds nothing";
    EXPECT_EQ(GetLinkFunctionType(linear), -1);
  }
}

class LinkFunctionTableTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};

TEST_F(LinkFunctionTableTest, RowsMatchTheirNamesTextsParametersAndTypesAndLookupsAreExact) {
  const KvArray<KvLinkFn*>* table = GetLinkFunctionTable();
  ASSERT_NE(table, nullptr);
  const auto& expected = ExpectedTable();
  ASSERT_EQ(table->Size(), expected.size());
  for (uint32_t i = 0; i < table->Size(); ++i) {
    const LinkFnRow& row = expected[i];
    SCOPED_TRACE(row.name);
    KvLinkFn* fn = (*table)[i];
    EXPECT_STREQ(fn->GetName().GetAsCString(), row.name);
    EXPECT_STREQ(fn->ClassOf()->GetName().GetAsCString(), row.className);
    EXPECT_EQ(fn->GetFnType(), row.type);
    EXPECT_EQ(std::string(fn->GetDescription().View()), row.description);
    EXPECT_EQ(fn->IsCorrective(), row.type == 9);
    ASSERT_EQ(fn->GetNumParams(), row.params.size());
    for (uint32_t p = 0; p < fn->GetNumParams(); ++p) {
      EXPECT_STREQ(fn->GetParamName(p).View(), row.params[p].first);
      EXPECT_EQ(fn->GetParamDefaultValue(p), row.params[p].second);
    }
    EXPECT_EQ(FindLinkFunction(KvName(row.name)), fn) << "lookups give the one shared instance";
    EXPECT_EQ(GetLinkFunctionType(KvName(row.name)), row.type);
    EXPECT_TRUE(fn->IsKindOf(KvLinkFn::StaticClass()));
  }
  // Lookups are exact: unknown names give nothing and type -1.
  for (const char* name : {"Linear", "linear ", "", "clamped", "Default"}) {
    EXPECT_EQ(FindLinkFunction(KvName(name)), nullptr) << name;
    EXPECT_EQ(GetLinkFunctionType(KvName(name)), -1) << name;
  }
}

TEST_F(LinkFunctionTableTest, NestedStartUpKeepsTheTwelveInstances) {
  const KvArray<KvLinkFn*>* before = GetLinkFunctionTable();
  KvLinkFn* linear = FindLinkFunction(KvName("linear"));
  StartupLinkFunctions();
  KvRuntimeStartupDefault();
  EXPECT_EQ(GetLinkFunctionTable(), before);
  EXPECT_EQ(GetLinkFunctionTable()->Size(), 12u);
  EXPECT_EQ(FindLinkFunction(KvName("linear")), linear);
  KvRuntimeShutdown();
  EXPECT_NE(GetLinkFunctionTable(), nullptr) << "the outer user still holds the runtime";
}

}  // namespace
