#include "RenderCommand.h"

#include <IL/il.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "Dump.h"
#include "kv/Scene.h"

namespace fs = std::filesystem;

namespace {

bool ParseDimension(const char* begin, const char* end, uint32_t& value) {
  const auto result = std::from_chars(begin, end, value);
  return result.ec == std::errc() && result.ptr == end && value >= 1 && value <= kvrender::kMaxSize;
}

// Writes the picture through DevIL (whose start-up the scene model has run) to a
// temporary file beside `path`, which then replaces `path`.
bool WritePng(const kvrender::Image& image, const std::string& path, std::string& error) {
  const std::string temporary = path + ".tmp-" + std::to_string(getpid());
  ILuint name = 0;
  ilGenImages(1, &name);
  ilBindImage(name);
  bool written = ilTexImage(image.width, image.height, 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
                            const_cast<uint8_t*>(image.rgb.data())) == IL_TRUE;
  // The rows are top first; DevIL takes new images as bottom first unless told.
  ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
  ilEnable(IL_FILE_OVERWRITE);
  errno = 0;
  written = written && ilSave(IL_PNG, temporary.c_str()) == IL_TRUE;
  const int saveError = errno;
  ilDeleteImages(1, &name);
  if (!written) {
    // DevIL says only that it failed; the C library often knows why.
    error = saveError != 0 ? std::strerror(saveError) : "the image library could not save it";
  } else if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    written = false;
  }
  if (!written) std::remove(temporary.c_str());
  return written;
}

}  // namespace

bool ParsePictureSize(const std::string& text, uint32_t& width, uint32_t& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  const char* data = text.data();
  return ParseDimension(data, data + x, width) && ParseDimension(data + x + 1, data + text.size(), height);
}

int RunRender(const RenderCommandOptions& options, std::ostream& out, std::ostream& err) {
  const std::string output =
      options.output.empty() ? fs::path(options.archive).replace_extension(".png").string() : options.output;
  KvString loadError;
  KvScene* scene = KvLoadScene(options.archive.c_str(), &loadError);
  if (scene == nullptr) {
    err << "kvr: " << options.archive << ": " << loadError.View() << "\n";
    return kExitBadArchive;
  }
  kvrender::Image image;
  kvrender::Report report;
  std::string error;
  const bool rendered = kvrender::Render(*scene, options.render, image, &report, error);
  delete scene;
  if (!rendered) {
    err << "kvr: " << options.archive << ": " << error << "\n";
    return kExitBadArchive;
  }
  if (!WritePng(image, output, error)) {
    err << "kvr: could not write " << output << ": " << error << "\n";
    return kExitBadArchive;
  }
  out << "Wrote " << output << ": " << image.width << "x" << image.height << ", " << report.view << ", "
      << report.triangles << (report.triangles == 1 ? " triangle" : " triangles") << "\n";
  return kExitOk;
}
