#include "kv/Texture.h"

#include <cstring>

#include <IL/il.h>
#include <IL/ilu.h>
#if KV_HAVE_ILUT
#include <IL/ilut.h>
#endif

#include "kv/Archive.h"

KV_IMPLEMENT_CLASS(KvTexture, 0, KvNamedObject)

namespace {

// DevIL queries of the stored description, in stored order. Frozen.
constexpr ILenum kDescriptionQueries[KvTexture::kDescriptionCount] = {
    IL_IMAGE_WIDTH, IL_IMAGE_HEIGHT, IL_IMAGE_DEPTH, IL_IMAGE_BYTES_PER_PIXEL,
    IL_IMAGE_FORMAT, IL_IMAGE_TYPE, IL_IMAGE_ORIGIN, IL_IMAGE_SIZE_OF_DATA,
};

// The least IL, ILU and ILUT version (1.6.7) the exporter was built against.
constexpr ILint kLeastImageLibraryVersion = 167;

uint32_t ChannelsOf(uint32_t format) {
  switch (format) {
    case IL_COLOUR_INDEX:
    case IL_ALPHA:
    case IL_LUMINANCE:
      return 1;
    case IL_LUMINANCE_ALPHA:
      return 2;
    case IL_RGB:
    case IL_BGR:
      return 3;
    case IL_RGBA:
    case IL_BGRA:
      return 4;
    default:
      return 0;
  }
}

uint32_t BytesPerChannelOf(uint32_t type) {
  switch (type) {
    case IL_BYTE:
    case IL_UNSIGNED_BYTE:
      return 1;
    case IL_SHORT:
    case IL_UNSIGNED_SHORT:
    case IL_HALF:
      return 2;
    case IL_INT:
    case IL_UNSIGNED_INT:
    case IL_FLOAT:
      return 4;
    case IL_DOUBLE:
      return 8;
    default:
      return 0;
  }
}

uint32_t Query(ILenum mode) { return static_cast<uint32_t>(ilGetInteger(mode)); }

}  // namespace

bool KvImageLibraryStartup() {
  ilInit();
  iluInit();
  // Every image is loaded with its top row first, whatever the file's row order.
  ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
  ilEnable(IL_ORIGIN_SET);
#if KV_HAVE_ILUT
  const bool utilityToolkitRecent = ilutGetInteger(IL_VERSION_NUM) >= kLeastImageLibraryVersion;
#else
  const bool utilityToolkitRecent = false;  // not installed: nothing to vouch for it
#endif
  return ilGetInteger(IL_VERSION_NUM) >= kLeastImageLibraryVersion &&
         iluGetInteger(IL_VERSION_NUM) >= kLeastImageLibraryVersion && utilityToolkitRecent;
}

void KvImageLibraryShutdown() { ilShutDown(); }

KvTexture::~KvTexture() { ReleaseImage(); }

void KvTexture::ReleaseImage() {
  if (!imageHeld) return;
  const ILuint name = image;
  ilDeleteImages(1, &name);
  imageHeld = false;
  image = 0;
}

bool KvTexture::LoadImage(const KvString& fileName) {
  ReleaseImage();
  for (uint32_t& value : archived) value = 0;
  ILuint name = 0;
  ilGenImages(1, &name);
  image = name;
  imageHeld = true;
  ilBindImage(image);
  const bool loaded = ilLoadImage(fileName.View()) == IL_TRUE;
  if (!loaded) {
    // The image DevIL made holds bytes nobody wrote; black keeps the archive
    // the same from one export to the next.
    if (ILubyte* data = ilGetData()) std::memset(data, 0, Query(IL_IMAGE_SIZE_OF_DATA));
  }
  imageFlipped = false;
  return loaded;
}

uint32_t KvTexture::GetWidth() const {
  if (!imageHeld) return 0;
  ilBindImage(image);
  return Query(IL_IMAGE_WIDTH);
}

uint32_t KvTexture::GetHeight() const {
  if (!imageHeld) return 0;
  ilBindImage(image);
  return Query(IL_IMAGE_HEIGHT);
}

uint32_t KvTexture::GetBytesPerPixel() const {
  if (!imageHeld) return 0;
  ilBindImage(image);
  return Query(IL_IMAGE_BYTES_PER_PIXEL);
}

void KvTexture::GetDescription(uint32_t values[kDescriptionCount]) const {
  for (uint32_t i = 0; i < kDescriptionCount; ++i) values[i] = 0;
  if (!imageHeld) return;
  ilBindImage(image);
  for (uint32_t i = 0; i < kDescriptionCount; ++i) values[i] = Query(kDescriptionQueries[i]);
}

void KvTexture::GetArchivedDescription(uint32_t values[kDescriptionCount]) const {
  for (uint32_t i = 0; i < kDescriptionCount; ++i) values[i] = archived[i];
}

const uint8_t* KvTexture::GetPixels() const {
  if (!imageHeld) return nullptr;
  ilBindImage(image);
  return ilGetData();
}

void KvTexture::GetStoredPixels(KvArray<uint8_t>& out) const {
  out.Clear();
  if (!imageHeld) return;
  ilBindImage(image);
  const uint32_t size = Query(IL_IMAGE_SIZE_OF_DATA);
  if (imageFlipped) iluFlipImage();
  const ILubyte* data = ilGetData();
  if (data != nullptr && size > 0) {
    out.Reserve(size);
    for (uint32_t i = 0; i < size; ++i) out.PushBack(data[i]);
  }
  if (imageFlipped) iluFlipImage();
}

void KvTexture::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvTexture");
  if (archive.IsLoading()) {
    LoadImageFrom(archive);
  } else {
    SaveImage(archive);
  }
}

void KvTexture::SaveImage(KvArchive& archive) {
  uint32_t values[kDescriptionCount] = {};
  ILubyte* data = nullptr;
  // The counting pass writes nothing, so it need not turn the rows over.
  const bool flipForWrite = imageHeld && imageFlipped && archive.GetMode() != KvArchive::kModeCount;
  if (imageHeld) {
    ilBindImage(image);
    for (uint32_t i = 0; i < kDescriptionCount; ++i) values[i] = Query(kDescriptionQueries[i]);
    if (flipForWrite) iluFlipImage();
    data = ilGetData();
  }
  archive.SerializeUInt32s(values, kDescriptionCount);
  if (values[kDataSize] > 0 && data != nullptr && archive.IsValid()) archive.SerializeRaw(data, values[kDataSize]);
  if (flipForWrite) {
    // Turn the held rows back, so that every later save writes the same bytes.
    ilBindImage(image);
    iluFlipImage();
  }
}

void KvTexture::LoadImageFrom(KvArchive& archive) {
  ReleaseImage();
  uint32_t values[kDescriptionCount] = {};
  archive.SerializeUInt32s(values, kDescriptionCount);
  if (!archive.IsValid()) return;
  for (uint32_t i = 0; i < kDescriptionCount; ++i) archived[i] = values[i];

  const uint32_t width = values[kWidth], height = values[kHeight], depth = values[kDepth];
  const uint32_t dataSize = values[kDataSize];
  if (width == 0 || height == 0 || depth == 0) {
    // Saved without an image: nothing to recreate.
    if (dataSize != 0) archive.Fail(KvArchiveError::kCorrupt, "a texture without pixels claims pixel bytes");
    return;
  }
  // The description must match the pixel bytes that follow, and those must be in
  // the file, before DevIL is asked to allocate anything.
  const uint32_t channels = ChannelsOf(values[kFormat]);
  const uint32_t channelBytes = BytesPerChannelOf(values[kType]);
  if (channels == 0 || channelBytes == 0 || channels * channelBytes != values[kBytesPerPixel]) {
    archive.Fail(KvArchiveError::kCorrupt, "a texture's format, type and bytes per pixel disagree");
    return;
  }
  const uint64_t expected = static_cast<uint64_t>(width) * height * depth * values[kBytesPerPixel];
  if (expected != dataSize) {
    archive.Fail(KvArchiveError::kCorrupt, "a texture's data size does not match its dimensions");
    return;
  }
  if (dataSize > archive.BytesLeft()) {
    archive.Fail(KvArchiveError::kTruncated, "a texture's pixels run past the end of the file");
    return;
  }

  ILuint name = 0;
  ilGenImages(1, &name);
  image = name;
  imageHeld = true;
  ilBindImage(image);
  // DevIL takes the channel count here; it equals the bytes per pixel for byte
  // images, the only kind whose description can be passed through unchanged.
  if (ilTexImage(width, height, depth, static_cast<ILubyte>(channels), values[kFormat], values[kType], nullptr) !=
          IL_TRUE ||
      Query(IL_IMAGE_SIZE_OF_DATA) != dataSize) {
    archive.Fail(KvArchiveError::kCorrupt, "the image library rejects a texture's description");
    return;
  }
  auto* buffer = static_cast<uint8_t*>(KvAllocate(dataSize));
  archive.SerializeRaw(buffer, dataSize);
  if (archive.IsValid()) {
    ilSetData(buffer);
    // Archives hold the top row first; the held image is bottom row first.
    iluFlipImage();
  }
  KvFree(buffer, dataSize);
  imageFlipped = true;
}
