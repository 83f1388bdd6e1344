// Triangle rasterization into a visibility buffer: for every pixel, the nearest
// triangle's id and its depth. Shading happens afterwards, once per pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "Geometry.h"

namespace kvrender {

// Per pixel (row-major, top row first): the id of the nearest triangle drawn there
// (kNoTriangle when none) and its 1/z (0 when none; larger is nearer).
struct VisibilityBuffer {
  static constexpr uint32_t kNoTriangle = 0xFFFFFFFFu;

  VisibilityBuffer(uint32_t w, uint32_t h)
      : width(w), height(h), inverseDepth(static_cast<size_t>(w) * h, 0.0f),
        ids(static_cast<size_t>(w) * h, kNoTriangle) {}

  uint32_t width, height;
  std::vector<float> inverseDepth;
  std::vector<uint32_t> ids;
};

// A point projected onto the picture: its position in 1/256 pixel, its 1/z, and the
// clipping planes it lies outside of (0 when the fast path may draw it).
struct ScreenVertex {
  int32_t x = 0, y = 0;
  float inverseDepth = 0.0f;
  uint32_t outside = 0;
};

class Rasterizer {
 public:
  Rasterizer(const View& view, VisibilityBuffer& buffer);

  ScreenVertex Project(Vec3 viewPoint) const;

  // Draws triangle `id` from its projected corners, either face towards the eye.
  // Corners outside some clipping plane go through DrawClipped instead.
  void Draw(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t id);
  // Draws a triangle given in view space, clipped to the near plane and to a guard
  // band around the picture.
  void DrawClipped(Vec3 a, Vec3 b, Vec3 c, uint32_t id);

 private:
  float PlaneDistance(uint32_t plane, Vec3 p) const;

  const View& view_;
  VisibilityBuffer& buffer_;
};

}  // namespace kvrender
