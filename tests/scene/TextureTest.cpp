#include "SceneTestSupport.h"

#include <IL/il.h>

#include "kv/Texture.h"

namespace {

using KvTextureTest = SceneTest;

// The same pixels as DevIL holds them after loading: top row first.
const Bytes kTopRowFirst = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
const Bytes kBottomRowFirst = {0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};

// The scene of one texture "checker" as a file, with `description` and `pixels`.
Bytes OneTextureScene(std::initializer_list<uint32_t> description, const Bytes& pixels) {
  ByteWriter w;
  w.Header();
  TableBlock(w, {kName, kNamedObject, kSceneClass, kTextureClass, kObjectClass}, {"KvScene", "KvTexture", "checker"},
             2);
  w.U32(0).U32(0).U32(sizeof(KvScene));
  w.U32(1).U32(1).U32(1).U32(sizeof(KvTexture)).U32(2);
  for (uint32_t v : description) w.U32(v);
  w.Raw(pixels);
  for (int i = 0; i < 5; ++i) w.U32(0);
  return w.Get();
}

class TextureFileTest : public KvTextureTest {
 protected:
  void SetUp() override {
    KvTextureTest::SetUp();
    tgaPath = TempPath("checker.tga");
    WriteFile(tgaPath, BottomUpTga());
  }
  std::string tgaPath;
};

TEST_F(TextureFileTest, BottomUpFileIsWrittenTopRowFirst) {
  KvScene scene;
  auto* texture = new KvTexture(KvName("checker"));
  ASSERT_TRUE(texture->LoadImage(KvString(tgaPath.c_str())));
  scene.AddTexture(texture);
  EXPECT_EQ(texture->GetWidth(), 2u);
  EXPECT_EQ(texture->GetHeight(), 2u);
  EXPECT_EQ(texture->GetBytesPerPixel(), 3u);
  EXPECT_FALSE(texture->IsFlipped());
  uint32_t d[KvTexture::kDescriptionCount];
  texture->GetDescription(d);
  // DevIL keeps a TGA's own channel order.
  EXPECT_EQ(d[KvTexture::kFormat], static_cast<uint32_t>(IL_BGR));

  const std::string path = TempPath("texture.kvr");
  ASSERT_TRUE(KvSaveScene(&scene, path.c_str(), nullptr, 0.01f));  // counting pass, then the file
  EXPECT_EQ(ReadFile(path), OneTextureScene({2, 2, 1, 3, IL_BGR, IL_UNSIGNED_BYTE, IL_ORIGIN_UPPER_LEFT, 12},
                                            kTopRowFirst));
}

TEST_F(TextureFileTest, EachTextureHoldsAnImageOfItsOwn) {
  Bytes other = BottomUpTga();
  for (size_t i = 18; i < other.size(); ++i) other[i] = static_cast<uint8_t>(i);
  const std::string otherPath = TempPath("other.tga");
  WriteFile(otherPath, other);
  KvTexture first(KvName("first")), second(KvName("second"));
  ASSERT_TRUE(first.LoadImage(KvString(tgaPath.c_str())));
  ASSERT_TRUE(second.LoadImage(KvString(otherPath.c_str())));
  EXPECT_EQ(Bytes(first.GetPixels(), first.GetPixels() + 12), kTopRowFirst);
  EXPECT_NE(Bytes(second.GetPixels(), second.GetPixels() + 12), kTopRowFirst);
}

TEST_F(TextureFileTest, LoadedTextureHoldsRowsBottomUpAndSavesThemBackTopFirst) {
  const Bytes file = OneTextureScene({2, 2, 1, 3, IL_BGR, IL_UNSIGNED_BYTE, IL_ORIGIN_UPPER_LEFT, 12}, kTopRowFirst);
  ScenePtr scene(LoadScene(file));
  ASSERT_NE(scene, nullptr);
  KvTexture* texture = scene->FindTexture(KvName("checker"));
  ASSERT_NE(texture, nullptr);
  EXPECT_TRUE(texture->IsFlipped());
  EXPECT_EQ(Bytes(texture->GetPixels(), texture->GetPixels() + 12), kBottomRowFirst);
  // Saved twice: the pixel bytes it read, both times; the held rows stay bottom-up.
  // The stored origin is not applied on loading, so DevIL's own comes back; the
  // texture still knows what the file said.
  uint32_t d[KvTexture::kDescriptionCount];
  texture->GetDescription(d);
  uint32_t archived[KvTexture::kDescriptionCount];
  texture->GetArchivedDescription(archived);
  EXPECT_EQ(archived[KvTexture::kOrigin], static_cast<uint32_t>(IL_ORIGIN_UPPER_LEFT));
  EXPECT_EQ(archived[KvTexture::kDataSize], 12u);
  const Bytes expected =
      OneTextureScene({2, 2, 1, 3, IL_BGR, IL_UNSIGNED_BYTE, d[KvTexture::kOrigin], 12}, kTopRowFirst);
  const std::string path = TempPath("again.kvr");
  ASSERT_TRUE(KvSaveScene(scene.get(), path.c_str(), nullptr, 0.01f));
  EXPECT_EQ(ReadFile(path), expected);
  ASSERT_TRUE(KvSaveScene(scene.get(), path.c_str(), nullptr, 0.01f));
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(Bytes(texture->GetPixels(), texture->GetPixels() + 12), kBottomRowFirst);
}

TEST_F(KvTextureTest, FailedLoadStillHoldsAnImageAndWritesDevILsDescriptionOfIt) {
  KvScene scene;
  auto* texture = new KvTexture(KvName("checker"));
  EXPECT_FALSE(texture->LoadImage(KvString(TempPath("missing.tga").c_str())));
  EXPECT_TRUE(texture->HasImage());
  scene.AddTexture(texture);
  const Bytes bytes = SaveObject(&scene, TempPath("failed.kvr"), 0);
  // What DevIL itself says of an image that was generated and never loaded.
  ILuint fresh = 0;
  ilGenImages(1, &fresh);
  ilBindImage(fresh);
  std::vector<uint32_t> d;
  for (ILenum query : {IL_IMAGE_WIDTH, IL_IMAGE_HEIGHT, IL_IMAGE_DEPTH, IL_IMAGE_BYTES_PER_PIXEL, IL_IMAGE_FORMAT,
                       IL_IMAGE_TYPE, IL_IMAGE_ORIGIN, IL_IMAGE_SIZE_OF_DATA}) {
    d.push_back(static_cast<uint32_t>(ilGetInteger(query)));
  }
  ilDeleteImages(1, &fresh);
  EXPECT_NE(d[0], 0u) << "an empty DevIL image still has a size, unlike a texture without one";
  // Its pixels are black, so that every export of the scene gives the same bytes.
  EXPECT_EQ(bytes, OneTextureScene({d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]}, Bytes(d[7], 0)));
}

TEST_F(KvTextureTest, ImageLibraryVersionsAreRecentEnough) {
  // IL, ILU and ILUT all answer the version check (set-up runs again harmlessly).
  EXPECT_TRUE(KvImageLibraryStartup());
}

TEST_F(KvTextureTest, TextureWithoutImageWritesEightZerosAndLoadsWithoutOne) {
  const Bytes file = OneTextureScene({0, 0, 0, 0, 0, 0, 0, 0}, {});
  KvScene scene;
  scene.AddTexture(new KvTexture(KvName("checker")));
  EXPECT_EQ(SaveObject(&scene, TempPath("none.kvr"), 0), file);
  ScenePtr loaded(LoadScene(file));
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE((*loaded->Textures().begin())->HasImage());
  EXPECT_EQ((*loaded->Textures().begin())->GetWidth(), 0u);
}

TEST_F(KvTextureTest, CorruptDescriptionsFailTheLoad) {
  struct Case {
    const char* what;
    std::initializer_list<uint32_t> description;
    size_t pixelBytes;
    KvArchiveError error;
  };
  const Case cases[] = {
      {"data size larger than the dimensions", {2, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, 0, 13}, 13,
       KvArchiveError::kCorrupt},
      {"bytes per pixel not the format's", {2, 2, 1, 4, IL_RGB, IL_UNSIGNED_BYTE, 0, 16}, 16,
       KvArchiveError::kCorrupt},
      {"unknown format", {2, 2, 1, 3, 0x1234, IL_UNSIGNED_BYTE, 0, 12}, 12, KvArchiveError::kCorrupt},
      {"unknown type", {2, 2, 1, 3, IL_RGB, 0x1234, 0, 12}, 12, KvArchiveError::kCorrupt},
      {"dimensions whose product wraps", {0x10000, 0x10000, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, 0, 0}, 0,
       KvArchiveError::kCorrupt},
      {"huge image beyond the file", {40000, 40000, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, 0, 6400000000u & 0xFFFFFFFF},
       16, KvArchiveError::kCorrupt},
      {"pixels cut short", {2, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, 0, 12}, 4, KvArchiveError::kTruncated},
      {"pixel bytes without an image", {0, 2, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, 0, 12}, 12, KvArchiveError::kCorrupt},
  };
  for (const Case& c : cases) {
    Bytes file = OneTextureScene(c.description, Bytes(c.pixelBytes, 0x5A));
    if (c.error == KvArchiveError::kTruncated) file.resize(file.size() - 20);  // the file ends in the pixels
    LoadResult result = LoadBytes(file, KvScene::StaticClass());
    EXPECT_EQ(result.root, nullptr) << c.what;
    EXPECT_EQ(result.error, c.error) << c.what << ": " << result.message;
  }
}

TEST_F(KvTextureTest, SixteenBitImageKeepsItsBytes) {
  // Two channels of two bytes: DevIL is given the channel count, not the bytes
  // per pixel, and the pixel bytes come back unchanged.
  const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const Bytes file =
      OneTextureScene({2, 2, 1, 4, IL_LUMINANCE_ALPHA, IL_UNSIGNED_SHORT, IL_ORIGIN_UPPER_LEFT, 16}, pixels);
  ScenePtr scene(LoadScene(file));
  ASSERT_NE(scene, nullptr);
  KvTexture* texture = *scene->Textures().begin();
  uint32_t d[KvTexture::kDescriptionCount];
  texture->GetDescription(d);
  const std::string path = TempPath("sixteen.kvr");
  ASSERT_TRUE(KvSaveScene(scene.get(), path.c_str(), nullptr, 0.01f));
  EXPECT_EQ(ReadFile(path),
            OneTextureScene({2, 2, 1, 4, IL_LUMINANCE_ALPHA, IL_UNSIGNED_SHORT, d[KvTexture::kOrigin], 16}, pixels));
}

}  // namespace
