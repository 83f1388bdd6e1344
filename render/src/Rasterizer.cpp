#include "Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kvrender {
namespace {

// Corners snap to 1/256 pixel, so edge functions are exact integers: two triangles
// sharing an edge cover every pixel along it exactly once.
constexpr int kSubpixelBits = 8;
constexpr int64_t kSubpixels = int64_t{1} << kSubpixelBits;
constexpr int64_t kHalfPixel = kSubpixels / 2;
// Triangles reaching further than this beyond the picture are clipped first, which
// keeps every snapped coordinate (and every edge product) well inside 64 bits.
constexpr float kGuardBand = 4096.0f;

enum ClipPlane : uint32_t { kNear, kLeft, kRight, kTop, kBottom, kClipPlaneCount };

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// One edge's function E(p) = a * (p.x - start.x) + b * (p.y - start.y), positive on
// the triangle's side; `bias` makes pixel centres exactly on an edge belong to the
// top or left edge only.
struct Edge {
  int64_t a, b, bias;
  Edge(const ScreenVertex& s, const ScreenVertex& e) : a(-(int64_t{e.y} - s.y)), b(int64_t{e.x} - s.x) {
    const bool topLeft = a > 0 || (a == 0 && b > 0);
    bias = topLeft ? 0 : -1;
  }
  int64_t At(const ScreenVertex& s, int64_t x, int64_t y) const { return a * (x - s.x) + b * (y - s.y) + bias; }
};

}  // namespace

Rasterizer::Rasterizer(const View& view, VisibilityBuffer& buffer) : view_(view), buffer_(buffer) {}

float Rasterizer::PlaneDistance(uint32_t plane, Vec3 p) const {
  const float width = static_cast<float>(view_.width), height = static_cast<float>(view_.height);
  switch (plane) {
    case kNear:
      return p.z - view_.nearZ;
    case kLeft:  // cx + focal * x / z >= -guard
      return view_.focal * p.x + (view_.cx + kGuardBand) * p.z;
    case kRight:  // cx + focal * x / z <= width + guard
      return -view_.focal * p.x + (width + kGuardBand - view_.cx) * p.z;
    case kTop:  // cy - focal * y / z >= -guard
      return -view_.focal * p.y + (view_.cy + kGuardBand) * p.z;
    default:  // cy - focal * y / z <= height + guard
      return view_.focal * p.y + (height + kGuardBand - view_.cy) * p.z;
  }
}

ScreenVertex Rasterizer::Project(Vec3 p) const {
  ScreenVertex s;
  for (uint32_t plane = 0; plane < kClipPlaneCount; ++plane) {
    // Written so that a NaN counts as outside.
    if (!(PlaneDistance(plane, p) >= 0.0f)) s.outside |= 1u << plane;
  }
  if (s.outside != 0) return s;
  const float inverse = 1.0f / p.z;
  const float x = view_.cx + view_.focal * p.x * inverse;
  const float y = view_.cy - view_.focal * p.y * inverse;
  s.x = static_cast<int32_t>(std::lrint(x * static_cast<float>(kSubpixels)));
  s.y = static_cast<int32_t>(std::lrint(y * static_cast<float>(kSubpixels)));
  s.inverseDepth = inverse;
  return s;
}

void Rasterizer::Draw(const ScreenVertex& a, const ScreenVertex& b0, const ScreenVertex& c0, uint32_t id) {
  const ScreenVertex* b = &b0;
  const ScreenVertex* c = &c0;
  int64_t area = (int64_t{b->x} - a.x) * (int64_t{c->y} - a.y) - (int64_t{b->y} - a.y) * (int64_t{c->x} - a.x);
  if (area == 0) return;
  if (area < 0) {  // facing away: draw it turned round
    std::swap(b, c);
    area = -area;
  }
  const int64_t minX = std::min({a.x, b->x, c->x}), maxX = std::max({a.x, b->x, c->x});
  const int64_t minY = std::min({a.y, b->y, c->y}), maxY = std::max({a.y, b->y, c->y});
  // The pixels whose centres (x * 256 + 128) fall inside the box.
  const int64_t x0 = std::max<int64_t>(CeilDiv(minX - kHalfPixel, kSubpixels), 0);
  const int64_t x1 = std::min<int64_t>(FloorDiv(maxX - kHalfPixel, kSubpixels), buffer_.width - 1);
  const int64_t y0 = std::max<int64_t>(CeilDiv(minY - kHalfPixel, kSubpixels), 0);
  const int64_t y1 = std::min<int64_t>(FloorDiv(maxY - kHalfPixel, kSubpixels), buffer_.height - 1);
  if (x0 > x1 || y0 > y1) return;  // between pixel centres: most triangles of a dense mesh

  // Each corner's weight is the edge function of the opposite edge.
  const Edge edgeA(*b, *c), edgeB(*c, a), edgeC(a, *b);
  const int64_t startX = x0 * kSubpixels + kHalfPixel, startY = y0 * kSubpixels + kHalfPixel;
  int64_t rowA = edgeA.At(*b, startX, startY), rowB = edgeB.At(*c, startX, startY), rowC = edgeC.At(a, startX, startY);
  const float inverseArea = 1.0f / static_cast<float>(area);
  const float depthA = a.inverseDepth * inverseArea, depthB = b->inverseDepth * inverseArea,
              depthC = c->inverseDepth * inverseArea;
  for (int64_t y = y0; y <= y1; ++y) {
    int64_t wa = rowA, wb = rowB, wc = rowC;
    const size_t row = static_cast<size_t>(y) * buffer_.width;
    for (int64_t x = x0; x <= x1; ++x) {
      if ((wa | wb | wc) >= 0) {
        // 1/z is linear across the picture, so the weights interpolate it exactly.
        const float depth = static_cast<float>(wa) * depthA + static_cast<float>(wb) * depthB +
                            static_cast<float>(wc) * depthC;
        const size_t pixel = row + static_cast<size_t>(x);
        if (depth > buffer_.inverseDepth[pixel]) {
          buffer_.inverseDepth[pixel] = depth;
          buffer_.ids[pixel] = id;
        }
      }
      wa += edgeA.a * kSubpixels;
      wb += edgeB.a * kSubpixels;
      wc += edgeC.a * kSubpixels;
    }
    rowA += edgeA.b * kSubpixels;
    rowB += edgeB.b * kSubpixels;
    rowC += edgeC.b * kSubpixels;
  }
}

void Rasterizer::DrawClipped(Vec3 a, Vec3 b, Vec3 c, uint32_t id) {
  if (!Finite(a) || !Finite(b) || !Finite(c)) return;
  // Each plane adds at most one corner to the polygon.
  constexpr uint32_t kMaxCorners = 3 + kClipPlaneCount;
  Vec3 polygon[kMaxCorners] = {a, b, c};
  Vec3 clipped[kMaxCorners];
  uint32_t count = 3;
  for (uint32_t plane = 0; plane < kClipPlaneCount && count >= 3; ++plane) {
    float distance[kMaxCorners];
    bool allInside = true;
    for (uint32_t i = 0; i < count; ++i) {
      distance[i] = PlaneDistance(plane, polygon[i]);
      allInside = allInside && distance[i] >= 0.0f;
    }
    if (allInside) continue;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t next = (i + 1) % count;
      const bool inside = distance[i] >= 0.0f, nextInside = distance[next] >= 0.0f;
      if (inside) clipped[kept++] = polygon[i];
      if (inside != nextInside) {
        const float t = distance[i] / (distance[i] - distance[next]);
        clipped[kept++] = polygon[i] + (polygon[next] - polygon[i]) * t;
      }
    }
    std::copy(clipped, clipped + kept, polygon);
    count = kept;
  }
  if (count < 3) return;
  ScreenVertex corners[kMaxCorners];
  for (uint32_t i = 0; i < count; ++i) {
    // Inside every plane up to rounding: project without the plane tests.
    const float inverse = 1.0f / std::max(polygon[i].z, view_.nearZ);
    corners[i].x = static_cast<int32_t>(
        std::lrint((view_.cx + view_.focal * polygon[i].x * inverse) * static_cast<float>(kSubpixels)));
    corners[i].y = static_cast<int32_t>(
        std::lrint((view_.cy - view_.focal * polygon[i].y * inverse) * static_cast<float>(kSubpixels)));
    corners[i].inverseDepth = inverse;
  }
  for (uint32_t i = 1; i + 1 < count; ++i) Draw(corners[0], corners[i], corners[i + 1], id);
}

}  // namespace kvrender
