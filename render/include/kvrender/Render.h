// kvrender: a software picture of a rendering archive's scene, as Maya's viewport
// would show it.
//
// Archives hold Maya's space mirrored in X: positions and directions with x negated,
// rotations mirrored to match, texture coordinates with v turned over (rows top
// first). The renderer turns all of it back into Maya's right-handed space before
// drawing, so the picture shows the scene the right way round, not its mirror image.
//
// It draws every surface of every mesh in its bind pose (morph targets are not
// applied) with a z-buffer, the material's diffuse colour or diffuse texture
// (sampled with perspective-correct texture coordinates), the material's ambient and
// emissive colours, and diffuse lighting from the scene's lights, or from a head-light
// at the eye when the scene has none. Surfaces are lit on both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class KvScene;

namespace kvrender {

// An RGB picture, 8 bits per channel, top row first.
struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes

  // The pixel at column x, row y (row 0 at the top); the caller keeps both in range.
  const uint8_t* At(uint32_t x, uint32_t y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Largest width and height a render accepts.
inline constexpr uint32_t kMaxSize = 16384;

struct Options {
  uint32_t width = 800;
  uint32_t height = 600;
  // The camera to look through, by name; empty means the scene's first perspective
  // camera (or a framed view when it has none).
  std::string camera;
  // Frame the bounding box of all meshes from a three-quarter view instead.
  bool frame = false;
  // Draw each joint as a dot and a line to its parent, over everything else.
  bool skeleton = false;
  // Draw the visible edges of the triangles over the surfaces.
  bool wireframe = false;
};

// What a render looked through and drew.
struct Report {
  std::string view;            // "camera \"shotCam\"" or "framed view"
  uint64_t triangles = 0;      // triangles handed to the rasterizer
  uint64_t pixelsCovered = 0;  // pixels showing a surface
};

// Renders `scene` into `image` (resized to the options' size). Returns false, with
// `error` saying why and `image` left empty, when the size is 0 or above kMaxSize, or
// when `options.camera` names no camera of the scene or a camera that is not a
// perspective one. `report` may be null.
bool Render(KvScene& scene, const Options& options, Image& image, Report* report, std::string& error);

}  // namespace kvrender
