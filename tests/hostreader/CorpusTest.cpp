// Real scenes saved by Maya: the matrices Maya stored beside the joints agree
// with those the host computes from the joints' attributes. (That every scene
// loads and exports is the corpus test of kvr export.)

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <kvhost/MayaAscii.h>
#include <kvhost/Scene.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MFnMesh.h>
#include <maya/MPlugArray.h>
#include <maya/MPointArray.h>

#include "ReaderTestSupport.h"

namespace fs = std::filesystem;

namespace {

fs::path corpusDir() {
  const char* root = std::getenv("KV_SOURCE_DIR");
  return fs::path(root ? root : ".") / ".." / "shared" / "corpus" / "maya-usd";
}

std::vector<fs::path> corpusScenes() {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(corpusDir(), ec))
    if (e.path().extension() == ".ma") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

int evaluationSink = 0;  // keeps evaluated results alive

#define SKIP_WITHOUT_CORPUS(scenes)                                                            \
  if ((scenes).empty()) GTEST_SKIP() << "no Maya scenes in " << corpusDir().string() \
                                     << " (the shared corpus is absent)"

// Largest element difference, relative to the larger matrix's largest element.
double relativeDifference(const MMatrix& a, const MMatrix& b) {
  double diff = 0, scale = 1e-30;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      diff = std::max(diff, std::fabs(a[r][c] - b[r][c]));
      scale = std::max({scale, std::fabs(a[r][c]), std::fabs(b[r][c])});
    }
  return diff / scale;
}

// The world matrix of a joint in the bind pose it is a member of, else its
// current world matrix.
MMatrix bindMatrixOf(const MFnDependencyNode& joint) {
  MPlugArray memberships;
  joint.findPlug("msg").connectedTo(memberships, false, true);
  for (unsigned i = 0; i < memberships.length(); ++i) {
    MFnDependencyNode pose(memberships[i].node());
    if (!pose.object().hasFn(MFn::kDagPose) || !pose.findPlug("bp").asBool()) continue;
    return matrixAt(pose.findPlug("wm").elementByLogicalIndex(memberships[i].logicalIndex()));
  }
  return worldMatrix(joint.name());
}

}  // namespace

// A bind pose keeps, per member joint, its local transform as an "xform"
// record (xm[i]) and its world matrix (wm[i], fed by the joint's bindPose);
// the record composed with the parent's pose matrix (p[i] fed by the parent's
// m[k], or by the pose's world plug for a root) gives that world matrix. A
// skin cluster's bindPreMatrix pm[j] is the inverse of the world matrix the
// influence connected to ma[j] had at bind time: its wm[i] in the bind pose it
// belongs to, or, outside any bind pose, its world matrix as the host composes it.
TEST(MayaAsciiCorpus, BindPosesAndBindPreMatricesAgreeWithTheJoints) {
  auto scenes = corpusScenes();
  SKIP_WITHOUT_CORPUS(scenes);
  int records = 0, influences = 0;
  for (const auto& path : scenes) {
    SCOPED_TRACE(path.filename().string());
    ASSERT_TRUE(kvhost::readMayaAsciiFile(path.string()).success);
    for (MItDependencyNodes it(MFn::kDagPose); !it.isDone(); it.next()) {
      MFnDependencyNode pose(it.item());
      if (!pose.findPlug("bp").asBool()) continue;
      MPlug members = pose.findPlug("m"), xm = pose.findPlug("xm"), wm = pose.findPlug("wm"), parents = pose.findPlug("p");
      MIntArray indices;
      xm.getExistingArrayAttributeIndices(indices);
      for (unsigned k = 0; k < indices.length(); ++k) {
        unsigned i = static_cast<unsigned>(indices[k]);
        MPlugArray joint, parent;
        members.elementByLogicalIndex(i).connectedTo(joint, true, false);
        parents.elementByLogicalIndex(i).connectedTo(parent, true, false);
        if (joint.length() != 1 || parent.length() != 1) continue;  // a record without a member
        MMatrix parentWorld;
        if (parent[0].isElement()) parentWorld = matrixAt(wm.elementByLogicalIndex(parent[0].logicalIndex()));
        MMatrix expected = matrixAt(xm.elementByLogicalIndex(i)) * parentWorld;
        EXPECT_LT(relativeDifference(expected, matrixAt(wm.elementByLogicalIndex(i))), 1e-5)
            << MFnDependencyNode(joint[0].node()).name().asChar() << " in " << pose.name().asChar();
        ++records;
      }
    }
    for (MItDependencyNodes it(MFn::kSkinClusterFilter); !it.isDone(); it.next()) {
      MFnDependencyNode skin(it.item());
      MPlug ma = skin.findPlug("ma"), pm = skin.findPlug("pm");
      MIntArray indices;
      ma.getExistingArrayAttributeIndices(indices);
      for (unsigned k = 0; k < indices.length(); ++k) {
        MPlugArray sources;
        ma.elementByLogicalIndex(static_cast<unsigned>(indices[k])).connectedTo(sources, true, false);
        if (sources.length() != 1) continue;
        MFnDependencyNode influence(sources[0].node());
        MMatrix product = matrixAt(pm.elementByLogicalIndex(static_cast<unsigned>(indices[k]))) * bindMatrixOf(influence);
        EXPECT_LT(relativeDifference(product, MMatrix()), 1e-5)
            << skin.name().asChar() << ".pm[" << indices[k] << "] and " << influence.name().asChar();
        ++influences;
      }
    }
  }
  EXPECT_GT(records, 0);
  EXPECT_GT(influences, 0);
}

// Real scenes with bytes overwritten by tokens that matter to the grammar
// (quotes, brackets, semicolons, huge numbers): every load either succeeds or
// fails with a located error, and never crashes, hangs or reads out of bounds.
TEST(MayaAsciiCorpus, PatchedScenesFailCleanly) {
  auto scenes = corpusScenes();
  SKIP_WITHOUT_CORPUS(scenes);
  const char* patches[] = {"\"", ";", "[", "]", ":", "(", ")", "{", "-", ".", "|", "\\", "4000000000", "1e300",
                           "-7", "xform", "f", "mu", "h", "\n", "createNode mesh -n \"m\";", "//"};
  const int rounds = std::getenv("KV_READER_PATCH_ROUNDS") ? std::atoi(std::getenv("KV_READER_PATCH_ROUNDS")) : 150;
  std::mt19937_64 random(0x9E3779B97F4A7C15ull);
  for (const auto& path : scenes) {
    std::ifstream in(path, std::ios::binary);
    std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (original.size() > 20000) continue;  // the small scenes cover every statement kind
    for (int round = 0; round < rounds; ++round) {
      std::string text = original;
      for (int k = 0, n = 1 + static_cast<int>(random() % 4); k < n; ++k) {
        const char* patch = patches[random() % std::size(patches)];
        size_t at = random() % text.size();
        text.replace(at, std::min(std::strlen(patch), text.size() - at), patch);
      }
      kvhost::MayaAsciiResult r = kvhost::readMayaAsciiString(text, "patched.ma");
      if (!r.success) {
        EXPECT_EQ(r.error.rfind("patched.ma:", 0), 0u) << r.error;
        continue;
      }
      // What was read evaluates: meshes and world matrices.
      for (MItDependencyNodes it(MFn::kMesh); !it.isDone(); it.next()) {
        MFnMesh mesh(it.item());
        MPointArray points;
        mesh.getPoints(points);
        evaluationSink += mesh.numPolygons() + static_cast<int>(points.length());
      }
      for (MItDependencyNodes it(MFn::kTransform); !it.isDone(); it.next()) {
        MDoubleArray m;  // names mangled by a patch may not parse as a command; only crashes matter
        MGlobal::executeCommand("xform -q -ws -m " + MFnDependencyNode(it.item()).name(), m);
        evaluationSink += static_cast<int>(m.length());
      }
    }
  }
}
