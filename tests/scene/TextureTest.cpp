#include "SceneTestSupport.h"

#include <IL/il.h>

namespace {

using KvTextureTest = SceneTest;

// The pixels of BottomUpTga as DevIL holds them after loading (top row first), and
// turned over.
const Bytes kTopRowFirst = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
const Bytes kBottomRowFirst = {0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};

// The scene of one texture "checker" as a file, with `description` and `pixels`.
Bytes OneTextureScene(const std::vector<uint32_t>& description, const Bytes& pixels) {
  StreamBuilder s;
  s.Object(0, "KvScene", sizeof(KvScene)).ObjectPart().Version("KvScene", 0).Count(1);
  s.Object(1, "KvTexture", sizeof(KvTexture)).NamedPart("checker").Version("KvTexture", 0);
  for (uint32_t v : description) s.U32(v);
  s.Raw(pixels);
  for (int i = 0; i < 5; ++i) s.U32(0);
  return s.Finish(2);
}

Bytes Pixels(const KvTexture& texture) { return Bytes(texture.GetPixels(), texture.GetPixels() + 12); }

TEST_F(KvTextureTest, BottomUpFileIsWrittenTopRowFirstAndReadBackBottomUpAndAFailedLoadKeepsBlackPixels) {
  const std::string tga = TempPath("checker.tga"), other = TempPath("other.tga");
  WriteFile(tga, BottomUpTga());
  Bytes otherImage = BottomUpTga();
  for (size_t i = 18; i < otherImage.size(); ++i) otherImage[i] = static_cast<uint8_t>(i);
  WriteFile(other, otherImage);
  KvScene scene;
  auto* texture = new KvTexture(KvName("checker"));
  KvTexture second;
  ASSERT_TRUE(texture->LoadImage(KvString(tga.c_str())));
  ASSERT_TRUE(second.LoadImage(KvString(tga.c_str())));
  const ILint replaced = ilGetInteger(IL_CUR_IMAGE);
  ASSERT_TRUE(second.LoadImage(KvString(other.c_str())));  // an image of its own, the one before let go
  EXPECT_TRUE(ilGetInteger(IL_CUR_IMAGE) == replaced || !ilIsImage(static_cast<ILuint>(replaced)));
  uint32_t archived[KvTexture::kDescriptionCount];
  texture->GetArchivedDescription(archived);
  EXPECT_EQ(std::vector<uint32_t>(archived, archived + 8), std::vector<uint32_t>(8, 0)) << "read from no archive";
  scene.AddTexture(texture);
  EXPECT_EQ(texture->GetHeight(), 2u);
  EXPECT_EQ(texture->GetBytesPerPixel(), 3u);
  EXPECT_EQ(Pixels(*texture), kTopRowFirst);
  EXPECT_NE(Pixels(second), kTopRowFirst);
  // DevIL keeps a TGA's own channel order. The counting pass, then the file.
  const Bytes file = OneTextureScene({2, 2, 1, 3, IL_BGR, IL_UNSIGNED_BYTE, IL_ORIGIN_UPPER_LEFT, 12}, kTopRowFirst);
  const std::string path = TempPath("texture.kvr");
  ASSERT_TRUE(KvSaveScene(&scene, path.c_str(), nullptr, 0.01f));
  EXPECT_EQ(ReadFile(path), file);

  // Loaded, the rows are held bottom-up; saved twice, both times top row first.
  // The stored origin is not applied, so DevIL's own comes back; the texture still
  // knows what the file said.
  ScenePtr loaded(LoadScene(file));
  ASSERT_NE(loaded, nullptr);
  KvTexture* back = loaded->FindTexture(KvName("checker"));
  EXPECT_TRUE(back->IsFlipped());
  EXPECT_EQ(Pixels(*back), kBottomRowFirst);
  uint32_t d[KvTexture::kDescriptionCount];
  back->GetDescription(d);
  back->GetArchivedDescription(archived);
  EXPECT_EQ(archived[KvTexture::kOrigin], static_cast<uint32_t>(IL_ORIGIN_UPPER_LEFT));
  EXPECT_EQ(archived[KvTexture::kDataSize], 12u);
  const Bytes expected =
      OneTextureScene({2, 2, 1, 3, IL_BGR, IL_UNSIGNED_BYTE, d[KvTexture::kOrigin], 12}, kTopRowFirst);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(KvSaveScene(loaded.get(), path.c_str(), nullptr, 0.01f));
    EXPECT_EQ(ReadFile(path), expected);
  }
  EXPECT_EQ(Pixels(*back), kBottomRowFirst);
  KvArray<uint8_t> stored;
  back->GetStoredPixels(stored);
  back->GetStoredPixels(stored);  // replaces, never appends
  EXPECT_EQ(Bytes(stored.begin(), stored.end()), kTopRowFirst);
  ASSERT_TRUE(back->LoadImage(KvString(tga.c_str())));
  EXPECT_FALSE(back->IsFlipped()) << "a file's image is held as the file has it";

  // A failed load keeps an image of black pixels: unlike a texture without an
  // image, it has a size, the image library's default.
  const KvTexture none;
  EXPECT_EQ((std::vector{none.GetWidth(), none.GetHeight(), none.GetBytesPerPixel()}), std::vector<uint32_t>(3, 0));
  KvScene failedScene;
  auto* failed = new KvTexture(KvName("checker"));
  EXPECT_FALSE(failed->LoadImage(KvString(TempPath("missing.tga").c_str())));
  EXPECT_TRUE(failed->HasImage());
  failedScene.AddTexture(failed);
  failed->GetDescription(d);
  ASSERT_NE(d[KvTexture::kDataSize], 0u);
  EXPECT_EQ(SaveToFile(&failedScene, TempPath("failed.kvr"), 0),
            OneTextureScene(std::vector<uint32_t>(d, d + 8), Bytes(d[KvTexture::kDataSize], 0)));
  EXPECT_TRUE(KvImageLibraryStartup()) << "IL, ILU and ILUT all recent enough";
}

TEST_F(KvTextureTest, DescriptionsMustMatchTheirPixelBytes) {
  struct Case {
    std::vector<uint32_t> description;
    size_t pixelBytes;
    const char* error;  // the start of the load's message (after the description, at byte 284); "" if it loads
  };
  const char* disagree = "corrupt at byte 284: a texture's format, type and bytes per pixel disagree";
  const char* mismatch = "corrupt at byte 284: a texture's data size does not match its dimensions";
  const Case cases[] = {
      // Two channels of two bytes: DevIL is given the channel count, not the bytes
      // per pixel, and the pixel bytes come back unchanged.
      {{2, 2, 1, 4, IL_LUMINANCE_ALPHA, IL_UNSIGNED_SHORT, 0, 16}, 16, ""},
      {{2, 1, 1, 12, IL_RGB, IL_FLOAT, 0, 24}, 24, ""},
      {{2, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, 0, 13}, 13, mismatch},
      {{2, 2, 1, 4, IL_RGB, IL_UNSIGNED_BYTE, 0, 16}, 16, disagree},
      {{2, 2, 1, 3, 0x1234, IL_UNSIGNED_BYTE, 0, 12}, 12, disagree},
      {{2, 2, 1, 3, IL_RGB, 0x1234, 0, 12}, 12, disagree},
      {{0x10000, 0x10000, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, 0, 0}, 0, mismatch},  // a 32-bit product is 0
      {{20000, 20000, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, 0, 1600000000}, 16,
       "truncated at byte 284: a texture's pixels run past the end of the file"},
      {{2, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, 0, 12}, 4, "truncated at byte 284: a texture's pixels run past"},
      {{0, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, 0, 12}, 12, "corrupt at byte 284: a texture without pixels claims"},
  };
  for (const Case& c : cases) {
    Bytes pixels(c.pixelBytes);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i + 1);
    Bytes file = OneTextureScene(c.description, pixels);
    if (pixels.size() == 4) file.resize(file.size() - 20);  // the file ends in the pixels
    std::string message;
    ScenePtr scene(kvtest::Load<KvScene>(file, &message));
    EXPECT_EQ(message.substr(0, std::strlen(c.error)), c.error) << message;
    if (*c.error != '\0') {
      EXPECT_EQ(scene, nullptr) << c.error;
      continue;
    }
    ASSERT_NE(scene, nullptr) << message;
    uint32_t d[KvTexture::kDescriptionCount];
    (*scene->Textures().begin())->GetDescription(d);
    std::vector<uint32_t> again = c.description;
    again[KvTexture::kOrigin] = d[KvTexture::kOrigin];  // the stored origin is not applied
    EXPECT_EQ(SaveToFile(scene.get(), TempPath("again.kvr"), 0), OneTextureScene(again, pixels));
  }
}

}  // namespace
