#pragma once
// Shared set-up for the host tests: each test starts from an empty scene.

#include <gtest/gtest.h>

#include <kvhost/Builder.h>
#include <kvhost/Scene.h>
#include <kvhost/TestSwitches.h>
#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>

class HostTest : public ::testing::Test {
protected:
  void SetUp() override {
    kvhost::Scene::get().reset();
    kvhost::Scene::get().clearMessages();
    kvhost::clearTestSwitches();
  }
  void TearDown() override { kvhost::Scene::get().reset(); }

  static MObject node(const std::string& name) { return kvhost::Scene::get().findNode(name); }
  static MDagPath path(const std::string& name) {
    MDagPath p;
    MDagPath::getAPathTo(node(name), p);
    return p;
  }
  static MPoint worldPoint(const std::string& name, const MPoint& local) { return local * path(name).inclusiveMatrix(); }

  kvhost::Builder b;
};

#define EXPECT_POINT_NEAR(actual, X, Y, Z) \
  do {                                     \
    MPoint _p = (actual);                  \
    EXPECT_NEAR(_p.x, (X), 1e-9) << "x";   \
    EXPECT_NEAR(_p.y, (Y), 1e-9) << "y";   \
    EXPECT_NEAR(_p.z, (Z), 1e-9) << "z";   \
  } while (0)
