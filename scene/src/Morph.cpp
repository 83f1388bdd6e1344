#include "kv/Morph.h"

#include <cmath>
#include <cstddef>

#include "kv/Archive.h"
#include "kv/Mesh.h"

KV_IMPLEMENT_CLASS(KvMorphController, 0, KvObject)
KV_IMPLEMENT_CLASS(KvMorphTarget, 0, KvNamedObject)

namespace {

// A morph vertex in memory is its serialized form, so arrays of them move as one
// block: 28 bytes (frozen by the archive layout), fields in stream order.
static_assert(sizeof(KvMorphVertex) == 28 && offsetof(KvMorphVertex, normalDelta) == 12 &&
              offsetof(KvMorphVertex, vertexIndex) == 24);
// A target written in place: at least its name index and its morph vertex count.
constexpr uint32_t kMinTargetBytes = 8;

}  // namespace

void KvMorphTarget::ComputeNormalDeltas(const KvMesh* mesh) {
  if (mesh == nullptr || mesh->GetNumVertices() != morphVertices.Size()) return;
  const uint32_t n = morphVertices.Size();
  for (KvMorphVertex& vertex : morphVertices) vertex.normalDelta = KvVec3{0.0f, 0.0f, 0.0f};

  for (uint32_t s = 0; s < mesh->GetNumSurfaces(); ++s) {
    KvSurface* surface = mesh->GetSurface(s);
    if (surface == nullptr) continue;
    for (uint32_t t = 0; t < surface->GetNumTriangles(); ++t) {
      const KvTriangle& triangle = *surface->GetTriangle(t);
      KvVec3 p[3];
      bool complete = true;
      for (uint32_t c = 0; c < 3 && complete; ++c) {
        const KvVertex* vertex = mesh->GetVertex(triangle.vertices[c]);
        if (vertex == nullptr) {
          complete = false;
          break;
        }
        // The vertex count equals n, so the index is a valid morph vertex too.
        const KvVec3& d = morphVertices[triangle.vertices[c]].positionDelta;
        p[c] = KvVec3{vertex->position.x + d.x, vertex->position.y + d.y, vertex->position.z + d.z};
      }
      if (!complete) continue;
      const KvVec3 e1{p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
      const KvVec3 e2{p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z};
      const KvVec3 normal{e2.y * e1.z - e2.z * e1.y, e2.z * e1.x - e1.z * e2.x, e1.y * e2.x - e2.y * e1.x};
      for (uint32_t c = 0; c < 3; ++c) {
        KvVec3& accumulated = morphVertices[triangle.vertices[c]].normalDelta;
        accumulated.x += normal.x;
        accumulated.y += normal.y;
        accumulated.z += normal.z;
      }
    }
  }

  for (uint32_t i = 0; i < n; ++i) {
    KvVec3& normal = morphVertices[i].normalDelta;
    const float length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    if (length != 0.0f) {
      const float f = 1.0f / length;
      normal = KvVec3{normal.x * f, normal.y * f, normal.z * f};
    }
    const KvVertex* vertex = mesh->GetVertex(i);
    if (vertex != nullptr) {
      normal = KvVec3{normal.x - vertex->normal.x, normal.y - vertex->normal.y, normal.z - vertex->normal.z};
    }
  }
}

uint32_t KvMorphTarget::RemoveSmallDeltas(const KvMesh* mesh, float threshold) {
  if (mesh == nullptr || morphVertices.Empty()) return 0;
  uint32_t removed = 0;
  uint32_t i = 0;
  while (i < morphVertices.Size()) {
    const KvMorphVertex& entry = morphVertices[i];
    const KvVertex* vertex = mesh->GetVertex(entry.vertexIndex);
    if (vertex == nullptr) {
      ++i;
      continue;
    }
    const KvVec3& p = vertex->position;
    const KvVec3& d = entry.positionDelta;
    const float dx = (p.x + d.x) - p.x;
    const float dy = (p.y + d.y) - p.y;
    const float dz = (p.z + d.z) - p.z;
    if (std::sqrt(dx * dx + dy * dy + dz * dz) <= threshold) {
      // The next entry moves into slot i and is examined there.
      morphVertices.RemoveAt(i);
      ++removed;
    } else {
      ++i;
    }
  }
  return removed;
}

void KvMorphTarget::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvMorphTarget");
  archive.SerializeRecordArray(morphVertices);
}

void KvMorphController::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  archive.SerializeClassVersion("KvMorphController");
  archive.SerializeArray(
      morphTargets, [&archive](KvMorphTarget& target) { target.Serialize(archive); }, kMinTargetBytes);
}
