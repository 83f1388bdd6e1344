#pragma once
// Shared set-up for the host tests: each test starts from an empty scene.

#include <gtest/gtest.h>

#include <kvhost/Builder.h>
#include <kvhost/Scene.h>
#include <kvhost/TestSwitches.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MMatrix.h>
#include <maya/MObjectArray.h>
#include <maya/MPoint.h>
#include <maya/MPointArray.h>

#include <vector>

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
  // Each polygon's index into the shape's shading groups (-1 for none); `names` gets the groups' names.
  static std::vector<int> shaderIndices(const std::string& shape, std::vector<std::string>* names = nullptr) {
    MObjectArray groups;
    MIntArray indices;
    EXPECT_TRUE(MFnMesh(path(shape)).getConnectedShaders(0, groups, indices));
    if (names)
      for (unsigned i = 0; i < groups.length(); ++i) names->push_back(MFnDependencyNode(groups[i]).name().asChar());
    return indices.items();
  }

  kvhost::Builder b;
};

#define EXPECT_POINT_NEAR(actual, X, Y, Z) \
  do {                                     \
    MPoint _p = (actual);                  \
    EXPECT_NEAR(_p.x, (X), 1e-9) << "x";   \
    EXPECT_NEAR(_p.y, (Y), 1e-9) << "y";   \
    EXPECT_NEAR(_p.z, (Z), 1e-9) << "z";   \
  } while (0)

// Every point of `actual`, in order, within 1e-9 of `expected`.
inline void expectPointsNear(const MPointArray& actual, const std::vector<MPoint>& expected) {
  ASSERT_EQ(actual.length(), expected.size());
  for (unsigned i = 0; i < actual.length(); ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    EXPECT_POINT_NEAR(actual[i], expected[i].x, expected[i].y, expected[i].z);
  }
}
