// Real scenes saved by Maya: each loads without error, and the matrices Maya
// stored beside the joints agree with those the host computes from the
// joints' attributes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <kvhost/MayaAscii.h>
#include <kvhost/Scene.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMatrixData.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

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

#define SKIP_WITHOUT_CORPUS(scenes)                                                            \
  if ((scenes).empty()) GTEST_SKIP() << "no Maya scenes in " << corpusDir().string() \
                                     << " (the shared corpus is absent)"

}  // namespace

TEST(MayaAsciiCorpus, EverySceneLoadsWithoutError) {
  auto scenes = corpusScenes();
  SKIP_WITHOUT_CORPUS(scenes);
  for (const auto& path : scenes) {
    SCOPED_TRACE(path.filename().string());
    kvhost::MayaAsciiResult r = kvhost::readMayaAsciiFile(path.string());
    EXPECT_TRUE(r.success) << r.error;
    EXPECT_GT(r.stats.nodes, 0u);
    std::cout << path.filename().string() << ": " << r.stats.statements << " statements, " << r.stats.nodes
              << " nodes, " << r.warnings.size() << " warning kinds, " << r.warningCount() << " warnings\n";
    for (const auto& w : r.warnings) std::cout << "    " << w.count << "x " << w.text << "\n";
  }
}
