// Translator registration through MFnPlugin and translator objects. (Loading a module,
// a name taken twice and exporting the host scene through it are the plug-in suite's.)

#include <kvhost/Plugins.h>
#include <maya/MFileObject.h>
#include <maya/MFnPlugin.h>
#include <maya/MPxFileTranslator.h>

#include "HostTestSupport.h"

namespace {

using PluginTest = HostTest;

MPxFileTranslator::FileAccessMode gSeenMode = MPxFileTranslator::kUnknownAccessMode;

class Recorder : public MPxFileTranslator {
public:
  static void* creator() { return new Recorder; }
  MStatus writer(const MFileObject&, const MString&, FileAccessMode mode) override {
    gSeenMode = fileAccessMode();
    return mode == kExportAccessMode || mode == kExportActiveAccessMode ? MS::kSuccess : MS::kFailure;
  }
  bool haveWriteMethod() const override { return true; }
};

TEST_F(PluginTest, RegistrationMakesTranslatorsAndIsUndoneOnlyByItsPlugin) {
  MObject plugin = kvhost::makePluginObject("recorderPlugin");
  MStatus s;
  MFnPlugin fn(plugin, "Vendor", "2.0", "Any", &s);
  ASSERT_TRUE(s);
  EXPECT_EQ(fn.vendor(), MString("Vendor"));
  ASSERT_TRUE(fn.registerFileTranslator("Recorder", "none", Recorder::creator, "", "", false));
  kvhost::TranslatorInfo info;
  ASSERT_TRUE(kvhost::findTranslator("Recorder", info));
  EXPECT_EQ(info.plugin, "recorderPlugin");
  kvhost::TranslatorPtr t = kvhost::createTranslator("Recorder");
  ASSERT_TRUE(t);
  EXPECT_TRUE(kvhost::runWriter(*t, "/tmp/out/scene.rec", MPxFileTranslator::kExportActiveAccessMode));
  EXPECT_EQ(gSeenMode, MPxFileTranslator::kExportActiveAccessMode);
  EXPECT_FALSE(kvhost::runWriter(*t, "x", MPxFileTranslator::kSaveAccessMode));
  EXPECT_EQ(MPxFileTranslator::fileAccessMode(), MPxFileTranslator::kUnknownAccessMode);
  EXPECT_FALSE(kvhost::createTranslator("Nobody"));

  MObject otherPlugin = kvhost::makePluginObject("otherPlugin");
  MFnPlugin other(otherPlugin);
  EXPECT_EQ(other.deregisterFileTranslator("Recorder"), MS::kFailure) << "not its translator";
  MObject none;
  MFnPlugin unattached(none, "x", "y", "Any", &s);
  EXPECT_FALSE(s);
  EXPECT_EQ(unattached.registerFileTranslator("Loose", "none", Recorder::creator), MS::kFailure);

  ASSERT_TRUE(fn.deregisterFileTranslator("Recorder"));

  std::string error;
  EXPECT_FALSE(kvhost::PluginModule::load("/nonexistent/plugin.so", error));
  EXPECT_NE(error.find("/nonexistent/plugin.so"), std::string::npos);
}

}  // namespace
