#include "kvrender/Render.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "Geometry.h"
#include "Rasterizer.h"
#include "Shading.h"
#include "View.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Scene.h"
#include "kv/Skeleton.h"

namespace kvrender {
namespace {

// The colours of the picture's own marks: background, wireframe, bones and joints.
constexpr Vec3 kBackground{0.36f, 0.36f, 0.36f};
constexpr Vec3 kWireColor{0.0f, 0.0f, 0.0f};
constexpr Vec3 kBoneColor{0.25f, 0.6f, 1.0f};
constexpr Vec3 kJointColor{1.0f, 0.8f, 0.2f};
// A pixel is on an edge when its centre lies within this many pixels of the edge.
constexpr float kWireHalfWidth = 0.6f;
constexpr int kJointRadius = 3;

Vec3 Mul(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

uint8_t Byte(float value) {
  if (!(value > 0.0f)) return 0;  // also NaN
  return value >= 1.0f ? 255 : static_cast<uint8_t>(value * 255.0f + 0.5f);
}

void Put(Image& image, int64_t x, int64_t y, Vec3 color) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
  uint8_t* pixel = &image.rgb[(static_cast<size_t>(y) * image.width + static_cast<size_t>(x)) * 3];
  pixel[0] = Byte(color.x);
  pixel[1] = Byte(color.y);
  pixel[2] = Byte(color.z);
}

// A point of view space as a homogeneous picture point (x, y, w): the picture point
// is (x / w, y / w). It stays meaningful behind the eye, so the line through two of
// them is the picture of the 3D line through both.
Vec3 Homogeneous(const View& view, Vec3 q) {
  return {view.cx * q.z + view.focal * q.x, view.cy * q.z - view.focal * q.y, q.z};
}

// The triangle a run of pixels shows, prepared for shading them.
struct ShadedTriangle {
  uint32_t id = VisibilityBuffer::kNoTriangle;
  Vec3 p0, e1, e2;  // corner 0 and the edges to corners 1 and 2, in Maya's space
  Vec3 normal[3];
  float u[3] = {}, v[3] = {};
  bool textured = false;
  const SurfaceLook* look = nullptr;
  Vec3 edgeLine[3];  // the edges as lines a*x + b*y + c = 0 in the picture, (a, b) unit
};

class Renderer {
 public:
  Renderer(KvScene& scene, const Options& options, const View& view)
      : scene_(scene), options_(options), view_(view), buffer_(view.width, view.height), lights_(GatherLights(scene)) {}

  void Rasterize(Report& report);
  void Shade(Image& image, Report& report);
  void DrawSkeletons(Image& image);

 private:
  struct SurfaceRange {
    uint32_t firstId;
    KvMesh* mesh;
    KvSurface* surface;
    size_t look;
  };

  size_t LookIndex(KvMaterial* material);
  void Prepare(uint32_t id, ShadedTriangle& triangle) const;
  Vec3 ShadePixel(const ShadedTriangle& triangle, float px, float py) const;
  void DrawLine(Image& image, Vec3 from, Vec3 to, Vec3 color) const;

  KvScene& scene_;
  const Options& options_;
  const View& view_;
  VisibilityBuffer buffer_;
  std::vector<Light> lights_;
  std::vector<SurfaceRange> ranges_;  // in id order
  std::vector<SurfaceLook> looks_;
  std::map<KvMaterial*, size_t> lookOfMaterial_;
  std::map<KvTexture*, TextureImage> textures_;
};

size_t Renderer::LookIndex(KvMaterial* material) {
  const auto found = lookOfMaterial_.find(material);
  if (found != lookOfMaterial_.end()) return found->second;
  const TextureImage* texture = nullptr;
  if (material != nullptr && material->GetDiffuseTexture() != nullptr) {
    KvTexture* source = material->GetDiffuseTexture();
    auto converted = textures_.find(source);
    if (converted == textures_.end()) converted = textures_.emplace(source, ConvertTexture(*source)).first;
    texture = &converted->second;
  }
  looks_.push_back(LookOf(material, texture));
  lookOfMaterial_.emplace(material, looks_.size() - 1);
  return looks_.size() - 1;
}

void Renderer::Rasterize(Report& report) {
  Rasterizer rasterizer(view_, buffer_);
  std::vector<ScreenVertex> screen;
  uint32_t nextId = 0;
  for (KvMesh* mesh : scene_.Meshes()) {
    if (mesh == nullptr) continue;
    const uint32_t vertexCount = mesh->GetNumVertices();
    screen.resize(vertexCount);
    for (uint32_t i = 0; i < vertexCount; ++i) {
      screen[i] = rasterizer.Project(view_.ToView(FromArchive(mesh->GetVertex(i)->position)));
    }
    auto viewPoint = [&](uint32_t vertex) { return view_.ToView(FromArchive(mesh->GetVertex(vertex)->position)); };
    for (uint32_t s = 0; s < mesh->GetNumSurfaces(); ++s) {
      KvSurface* surface = mesh->GetSurface(s);
      if (surface == nullptr) continue;
      ranges_.push_back(SurfaceRange{nextId, mesh, surface, LookIndex(surface->GetMaterial())});
      const uint32_t count = surface->GetNumTriangles();
      for (uint32_t t = 0; t < count; ++t) {
        const KvTriangle& triangle = *surface->GetTriangle(t);
        const uint32_t i0 = triangle.vertices[0], i1 = triangle.vertices[1], i2 = triangle.vertices[2];
        if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount) continue;
        const ScreenVertex &a = screen[i0], &b = screen[i1], &c = screen[i2];
        if ((a.outside & b.outside & c.outside) != 0) continue;  // wholly outside one plane
        if ((a.outside | b.outside | c.outside) == 0) {
          rasterizer.Draw(a, b, c, nextId + t);
        } else {
          rasterizer.DrawClipped(viewPoint(i0), viewPoint(i1), viewPoint(i2), nextId + t);
        }
      }
      nextId += count;
      report.triangles += count;
    }
  }
}

void Renderer::Prepare(uint32_t id, ShadedTriangle& shaded) const {
  shaded = ShadedTriangle{};
  shaded.id = id;
  const auto range = std::upper_bound(ranges_.begin(), ranges_.end(), id,
                                      [](uint32_t value, const SurfaceRange& r) { return value < r.firstId; }) -
                     1;
  const KvTriangle* triangle = range->surface->GetTriangle(id - range->firstId);
  const KvMesh& mesh = *range->mesh;
  Vec3 corner[3];
  for (int k = 0; k < 3; ++k) {
    const KvVertex* vertex = mesh.GetVertex(triangle->vertices[k]);
    corner[k] = FromArchive(vertex->position);
    shaded.normal[k] = FromArchive(vertex->normal);
  }
  shaded.look = &looks_[range->look];
  shaded.textured = shaded.look->texture != nullptr;
  for (int k = 0; k < 3 && shaded.textured; ++k) {
    const KvTexCoord* texCoord = mesh.GetTexCoord(triangle->texCoords[k]);
    shaded.textured = texCoord != nullptr;
    if (texCoord != nullptr) {
      shaded.u[k] = texCoord->u;
      shaded.v[k] = texCoord->v;
    }
  }
  shaded.p0 = corner[0];
  shaded.e1 = corner[1] - corner[0];
  shaded.e2 = corner[2] - corner[0];
  if (options_.wireframe) {
    for (int k = 0; k < 3; ++k) {
      const Vec3 line = Cross(Homogeneous(view_, view_.ToView(corner[k])),
                              Homogeneous(view_, view_.ToView(corner[(k + 1) % 3])));
      const float length = std::sqrt(line.x * line.x + line.y * line.y);
      shaded.edgeLine[k] = length > 0.0f ? line * (1.0f / length) : Vec3{0.0f, 0.0f, 1e30f};
    }
  }
}

Vec3 Renderer::ShadePixel(const ShadedTriangle& t, float px, float py) const {
  if (options_.wireframe) {
    for (const Vec3& line : t.edgeLine) {
      if (std::fabs(line.x * px + line.y * py + line.z) < kWireHalfWidth) return kWireColor;
    }
  }
  // Where the eye's ray through the pixel meets the triangle: the barycentric
  // weights found in space are the perspective-correct ones.
  const Vec3 ray = view_.RayThrough(px, py);
  const Vec3 across = Cross(ray, t.e2);
  const float inverse = 1.0f / Dot(t.e1, across);
  const Vec3 fromCorner = view_.eye - t.p0;
  float w1 = Dot(fromCorner, across) * inverse;
  float w2 = Dot(ray, Cross(fromCorner, t.e1)) * inverse;
  // Pixel centres just outside the triangle (on its edges) stay on it; a ray along
  // the triangle's plane (no finite weights) takes its first corner.
  w1 = std::clamp(std::isfinite(w1) ? w1 : 0.0f, 0.0f, 1.0f);
  w2 = std::clamp(std::isfinite(w2) ? w2 : 0.0f, 0.0f, 1.0f - w1);
  const float w0 = 1.0f - w1 - w2;
  const Vec3 point = t.p0 + t.e1 * w1 + t.e2 * w2;
  Vec3 normal = Normalize(t.normal[0] * w0 + t.normal[1] * w1 + t.normal[2] * w2);
  if (Dot(normal, normal) == 0.0f) normal = Normalize(Cross(t.e1, t.e2));
  if (Dot(normal, ray) > 0.0f) normal = -normal;  // lit on the side the eye sees

  const SurfaceLook& look = *t.look;
  const Vec3 base = t.textured ? look.texture->Sample(t.u[0] * w0 + t.u[1] * w1 + t.u[2] * w2,
                                                      t.v[0] * w0 + t.v[1] * w1 + t.v[2] * w2)
                               : look.diffuse;
  return Mul(base, look.ambient + Illuminate(lights_, point, normal, view_.eye)) + look.emissive;
}

void Renderer::Shade(Image& image, Report& report) {
  ShadedTriangle triangle;
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint32_t id = buffer_.ids[static_cast<size_t>(y) * image.width + x];
      if (id == VisibilityBuffer::kNoTriangle) {
        Put(image, x, y, kBackground);
        continue;
      }
      ++report.pixelsCovered;
      if (id != triangle.id) Prepare(id, triangle);
      Put(image, x, y, ShadePixel(triangle, static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f));
    }
  }
}

// A segment between two points of Maya's space, cut at the near plane, one pixel
// wide.
void Renderer::DrawLine(Image& image, Vec3 from, Vec3 to, Vec3 color) const {
  Vec3 a = view_.ToView(from), b = view_.ToView(to);
  if (a.z < view_.nearZ && b.z < view_.nearZ) return;
  if (a.z < view_.nearZ) a = a + (b - a) * ((view_.nearZ - a.z) / (b.z - a.z));
  if (b.z < view_.nearZ) b = b + (a - b) * ((view_.nearZ - b.z) / (a.z - b.z));
  const float ax = view_.cx + view_.focal * a.x / a.z, ay = view_.cy - view_.focal * a.y / a.z;
  const float bx = view_.cx + view_.focal * b.x / b.z, by = view_.cy - view_.focal * b.y / b.z;
  // Only the part inside the picture is walked.
  float t0 = 0.0f, t1 = 1.0f;
  const float dx = bx - ax, dy = by - ay;
  const float p[4] = {-dx, dx, -dy, dy};
  const float q[4] = {ax + 1.0f, static_cast<float>(image.width) + 1.0f - ax, ay + 1.0f,
                      static_cast<float>(image.height) + 1.0f - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0f) {
      if (q[i] < 0.0f) return;
      continue;
    }
    const float r = q[i] / p[i];
    if (p[i] < 0.0f) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
  }
  if (!(t0 <= t1)) return;
  const float sx = ax + dx * t0, sy = ay + dy * t0;
  const float length = std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0);
  const int steps = static_cast<int>(std::ceil(length));
  for (int i = 0; i <= steps; ++i) {
    const float f = steps == 0 ? 0.0f : (t1 - t0) * static_cast<float>(i) / static_cast<float>(steps);
    Put(image, static_cast<int64_t>(std::floor(sx + dx * f)), static_cast<int64_t>(std::floor(sy + dy * f)), color);
  }
}

void Renderer::DrawSkeletons(Image& image) {
  // Each joint's position in Maya's space: the translation row of its world matrix.
  std::map<KvJoint*, Vec3> positions;
  for (KvSkeleton* skeleton : scene_.Skeletons()) {
    if (skeleton == nullptr) continue;
    for (uint32_t i = 0; i < skeleton->GetNumJoints(); ++i) {
      KvJoint* joint = skeleton->GetJoint(i);
      if (joint == nullptr) continue;
      const KvMatrix world = joint->GetWorldTransform();
      positions[joint] = FromArchive(KvVec3{world[12], world[13], world[14]});
    }
  }
  for (const auto& [joint, position] : positions) {
    const auto parent = positions.find(joint->GetParent());
    if (parent != positions.end()) DrawLine(image, parent->second, position, kBoneColor);
  }
  for (const auto& [joint, position] : positions) {
    const Vec3 q = view_.ToView(position);
    if (!(q.z >= view_.nearZ)) continue;
    const float x = view_.cx + view_.focal * q.x / q.z, y = view_.cy - view_.focal * q.y / q.z;
    if (!(std::fabs(x) < 1e6f && std::fabs(y) < 1e6f)) continue;
    const int64_t cx = static_cast<int64_t>(std::floor(x)), cy = static_cast<int64_t>(std::floor(y));
    for (int dy = -kJointRadius; dy <= kJointRadius; ++dy) {
      for (int dx = -kJointRadius; dx <= kJointRadius; ++dx) {
        if (dx * dx + dy * dy <= kJointRadius * kJointRadius) Put(image, cx + dx, cy + dy, kJointColor);
      }
    }
  }
}

}  // namespace

bool Render(KvScene& scene, const Options& options, Image& image, Report* report, std::string& error) {
  image = Image{};
  if (options.width == 0 || options.height == 0 || options.width > kMaxSize || options.height > kMaxSize) {
    error = "the picture size must be between 1x1 and " + std::to_string(kMaxSize) + "x" + std::to_string(kMaxSize);
    return false;
  }
  View view;
  Report local;
  if (!MakeView(scene, options, view, local.view, error)) return false;
  image.width = options.width;
  image.height = options.height;
  image.rgb.assign(static_cast<size_t>(image.width) * image.height * 3, 0);

  Renderer renderer(scene, options, view);
  renderer.Rasterize(local);
  renderer.Shade(image, local);
  if (options.skeleton) renderer.DrawSkeletons(image);
  if (report != nullptr) *report = local;
  return true;
}

}  // namespace kvrender
