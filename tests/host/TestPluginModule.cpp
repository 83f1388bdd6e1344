// A plug-in module for the loader tests: registers one translator whose
// writer counts the joints it sees in the host scene and writes the count.

#include <cstdio>

#include <maya/MFileObject.h>
#include <maya/MFnPlugin.h>
#include <maya/MItDag.h>
#include <maya/MPxFileTranslator.h>

#define TEST_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class JointCounter : public MPxFileTranslator {
public:
  static void* creator() { return new JointCounter; }
  MStatus writer(const MFileObject& file, const MString&, FileAccessMode mode) override {
    int joints = 0;
    for (MItDag it(MItDag::kDepthFirst, MFn::kJoint); !it.isDone(); it.next()) ++joints;
    FILE* f = std::fopen(file.fullName().asChar(), "w");
    if (!f) return MS::kFailure;
    std::fprintf(f, "%d joints, mode %d", joints, static_cast<int>(mode));
    std::fclose(f);
    return MS::kSuccess;
  }
  bool haveWriteMethod() const override { return true; }
  MString defaultExtension() const override { return "jc"; }
};

}  // namespace

TEST_PLUGIN_EXPORT const char MApiVersion[] = "800";

TEST_PLUGIN_EXPORT MStatus initializePlugin(MObject plugin) {
  MFnPlugin fn(plugin, "Tests", "1.0", "Any");
  return fn.registerFileTranslator("Joint Counter", "none", JointCounter::creator, "", "", false);
}

TEST_PLUGIN_EXPORT MStatus uninitializePlugin(MObject plugin) {
  MFnPlugin fn(plugin);
  return fn.deregisterFileTranslator("Joint Counter");
}
