// Morph targets (blend shapes) of a mesh, stored as per-vertex differences.
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Math.h"
#include "kv/Object.h"

class KvMesh;

struct KvMorphVertex {
  KvVec3 positionDelta{0.0f, 0.0f, 0.0f};  // target position minus mesh position
  KvVec3 normalDelta{0.0f, 0.0f, 0.0f};    // target normal minus mesh normal
  uint32_t vertexIndex = 0;                // the mesh vertex this entry moves
};

class KvMorphTarget : public KvNamedObject {
  KV_DECLARE_CLASS(KvMorphTarget)

  KvMorphTarget() = default;
  explicit KvMorphTarget(const KvName& targetName) : KvNamedObject(targetName) {}
  // Copies the name and the morph vertices (capacity = count).
  KvMorphTarget(const KvMorphTarget&) = default;
  KvMorphTarget& operator=(const KvMorphTarget&) = default;

  void AddMorphVertex(const KvMorphVertex& vertex) { morphVertices.PushBack(vertex); }
  uint32_t GetNumMorphVertices() const { return morphVertices.Size(); }
  // The caller keeps `index` below GetNumMorphVertices.
  const KvMorphVertex& GetMorphVertex(uint32_t index) const { return morphVertices[index]; }

  // Derives the normal differences from the mesh's triangles with the position
  // differences applied. Nothing happens for a null mesh or when the mesh's vertex
  // count differs from the morph vertex count (entry i belongs to vertex i).
  void ComputeNormalDeltas(const KvMesh* mesh);
  // Removes every entry that moves its vertex by at most `threshold`; returns how
  // many were removed.
  uint32_t RemoveSmallDeltas(const KvMesh* mesh, float threshold);

  void Serialize(KvArchive& archive) override;

 private:
  KvArray<KvMorphVertex> morphVertices;
};

class KvMorphController : public KvObject {
  KV_DECLARE_CLASS(KvMorphController)

  // Appends a copy of `target`.
  void AddMorphTarget(const KvMorphTarget& target) { morphTargets.PushBack(target); }
  uint32_t GetNumMorphTargets() const { return morphTargets.Size(); }
  const KvMorphTarget& GetMorphTarget(uint32_t index) const { return morphTargets[index]; }

  // Targets are written in place, not as object references.
  void Serialize(KvArchive& archive) override;

 private:
  KvArray<KvMorphTarget> morphTargets;
};
