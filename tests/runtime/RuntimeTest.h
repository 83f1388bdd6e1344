// A started runtime for the length of each test.
#pragma once

#include <gtest/gtest.h>

#include "kv/Runtime.h"

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override { KvRuntimeStartupDefault(); }
  void TearDown() override { KvRuntimeShutdown(); }
};
