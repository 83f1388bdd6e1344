// Textures: one image file held as a DevIL image, stored in archives as its DevIL
// description and raw pixel bytes (top row first).
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Object.h"
#include "kv/String.h"

class KvTexture : public KvNamedObject {
  KV_DECLARE_CLASS(KvTexture)

  // The stored image description, in stored order. Frozen.
  enum Description : uint32_t {
    kWidth,
    kHeight,
    kDepth,
    kBytesPerPixel,
    kFormat,
    kType,
    kOrigin,
    kDataSize,
    kDescriptionCount
  };

  KvTexture() = default;
  explicit KvTexture(const KvName& textureName) : KvNamedObject(textureName) {}
  KvTexture(const KvTexture&) = delete;
  KvTexture& operator=(const KvTexture&) = delete;
  // Deletes the held DevIL image.
  ~KvTexture() override;

  // Generates a DevIL image (held even when loading fails) and loads `fileName`
  // into it, top row first. True when DevIL loaded the file.
  bool LoadImage(const KvString& fileName);

  bool HasImage() const { return imageHeld; }
  // 0 without an image.
  uint32_t GetWidth() const;
  uint32_t GetHeight() const;
  uint32_t GetBytesPerPixel() const;
  // The eight description values as DevIL reports them (all 0 without an image).
  void GetDescription(uint32_t values[kDescriptionCount]) const;
  // The eight values as the archive stored them when the texture was loaded from one
  // (DevIL's own description may differ: the stored origin is not applied); all 0
  // otherwise.
  void GetArchivedDescription(uint32_t values[kDescriptionCount]) const;
  // DevIL's pixel buffer (null without an image). The rows are bottom-up when
  // IsFlipped, as after a load from an archive.
  const uint8_t* GetPixels() const;
  bool IsFlipped() const { return imageFlipped; }
  // Copies the pixel bytes in the order an archive stores them (top row first) into
  // `out`; empty without an image.
  void GetStoredPixels(KvArray<uint8_t>& out) const;

  // Saving writes the rows top first (flipping a flipped image for the write and
  // back afterwards); loading reads them and holds them bottom-up (flipped).
  void Serialize(KvArchive& archive) override;

 private:
  void ReleaseImage();
  void SaveImage(KvArchive& archive);
  void LoadImageFrom(KvArchive& archive);

  bool imageHeld = false;
  uint32_t image = 0;  // the DevIL image name
  bool imageFlipped = false;
  uint32_t archived[kDescriptionCount] = {};
};

// DevIL set-up with the upper-left origin for every loaded image; returns whether
// IL, ILU and ILUT are all of version 1.6.7 or later (false when the build has no
// ILUT to ask). Nothing depends on the answer.
bool KvImageLibraryStartup();
void KvImageLibraryShutdown();
