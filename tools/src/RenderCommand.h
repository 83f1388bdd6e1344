// kvr render: a picture of an archive's scene, written as PNG.
#pragma once

#include <iosfwd>
#include <string>

#include "kvrender/Render.h"

struct RenderCommandOptions {
  std::string archive;
  std::string output;  // -o: the picture; empty means ARCHIVE's name with .png, beside it
  kvrender::Options render;
};

// Parses "WxH" (each 1..kvrender::kMaxSize); false when it is not such a size.
bool ParsePictureSize(const std::string& text, uint32_t& width, uint32_t& height);

// Loads the archive (the runtime and the scene model must be started), renders it and
// writes the PNG, replacing `output` only once the whole picture is written. Returns
// 0 and one line on `out` naming the picture, or 1 with one line on `err` saying which
// file and why (an unreadable archive, an unknown camera, a picture that could not be
// written).
int RunRender(const RenderCommandOptions& options, std::ostream& out, std::ostream& err);
