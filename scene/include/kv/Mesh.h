// Triangle meshes: vertices, texture coordinates, surfaces of triangles, and the
// joint influences that bind the vertices to a skeleton.
//
// Vertices, texture coordinates and triangles live in fixed-capacity storage sized
// once (adding never reallocates). The mesh relies on these invariants, which a
// load checks and rejects when broken: triangle vertex indices below the vertex
// count, texture-coordinate indices below the texture-coordinate count, and every
// vertex's influences a consecutive run inside the influence list.
#pragma once

#include <cstdint>

#include "kv/Array.h"
#include "kv/Math.h"
#include "kv/Object.h"

class KvJoint;
class KvMaterial;
class KvMesh;
class KvMorphController;
class KvSkeleton;

struct KvVertex {
  KvVec3 position{0.0f, 0.0f, 0.0f};
  KvVec3 normal{0.0f, 0.0f, 0.0f};
  KvColor color;
  KvTexCoord texCoord;
  uint32_t firstInfluence = 0;  // index of the vertex's first influence
  uint32_t influenceCount = 0;  // number of consecutive influences
};

struct KvTriangle {
  uint32_t vertices[3];
  uint32_t texCoords[3];
};

// One joint's share of one vertex.
struct KvVertexInfluence {
  KvJoint* joint = nullptr;  // non-owning
  float weight = 0.0f;
  KvVec3 positionOffset{0.0f, 0.0f, 0.0f};  // the vertex position in joint space
  KvVec3 normalOffset{0.0f, 0.0f, 0.0f};    // the vertex normal in joint space (derived)
};

// A set of triangles drawn with one material.
class KvSurface : public KvObject {
  KV_DECLARE_CLASS(KvSurface)

  KvSurface() = default;
  explicit KvSurface(KvMesh* owner) : mesh(owner) {}
  KvSurface(const KvSurface&) = delete;
  KvSurface& operator=(const KvSurface&) = delete;
  ~KvSurface() override;

  // Replaces the storage with room for `count` triangles; the count becomes 0.
  void SetNumTriangles(uint32_t count);
  // False when full.
  bool AddTriangle(const KvTriangle& triangle);
  // Null when index >= count.
  KvTriangle* GetTriangle(uint32_t index) { return index < triangleCount ? &triangles[index] : nullptr; }
  uint32_t GetNumTriangles() const { return triangleCount; }
  uint32_t GetTriangleCapacity() const { return triangleCapacity; }

  void SetMaterial(KvMaterial* newMaterial) { material = newMaterial; }
  KvMaterial* GetMaterial() const { return material; }
  KvMesh* GetMesh() const { return mesh; }
  void SetMesh(KvMesh* owner) { mesh = owner; }

  // Adds each triangle's face normal (e2 x e1, unnormalised) to its corners' normals.
  void ComputeNormals();
  void Serialize(KvArchive& archive) override;

 private:
  KvMesh* mesh = nullptr;
  KvTriangle* triangles = nullptr;
  uint32_t triangleCapacity = 0;
  uint32_t triangleCount = 0;
  KvMaterial* material = nullptr;
  // Triangles the storage holds. A loaded surface keeps its stored capacity but
  // allocates only the triangles it read; the rest comes on the first add.
  uint32_t triangleStorage = 0;
};

class KvMesh : public KvNamedObject {
  KV_DECLARE_CLASS(KvMesh)

  KvMesh() = default;
  KvMesh(const KvMesh&) = delete;
  KvMesh& operator=(const KvMesh&) = delete;
  // Destroys the surfaces and the morph controller; leaves the skeleton alone.
  ~KvMesh() override;

  // Replaces the vertex storage with `count` default vertices; the count becomes 0.
  void SetNumVertices(uint32_t count);
  // False when full.
  bool AddVertex(const KvVertex& vertex);
  // Null when index >= count.
  KvVertex* GetVertex(uint32_t index) { return index < vertexCount ? &vertices[index] : nullptr; }
  const KvVertex* GetVertex(uint32_t index) const { return index < vertexCount ? &vertices[index] : nullptr; }
  uint32_t GetNumVertices() const { return vertexCount; }
  uint32_t GetVertexCapacity() const { return vertexCapacity; }

  void SetNumTexCoords(uint32_t count);
  bool AddTexCoord(const KvTexCoord& texCoord);
  // Null when index >= count.
  const KvTexCoord* GetTexCoord(uint32_t index) const;
  uint32_t GetNumTexCoords() const { return texCoordCount; }
  uint32_t GetTexCoordCapacity() const { return texCoordCapacity; }

  void AddInfluence(const KvVertexInfluence& influence) { influences.PushBack(influence); }
  // Room for `count` influences in all, so that adding up to that many never moves
  // the list (beyond it, the list doubles as it grows).
  void ReserveInfluences(uint32_t count) { influences.Reserve(count); }
  uint32_t GetNumInfluences() const { return influences.Size(); }
  // The caller keeps `index` below GetNumInfluences.
  KvVertexInfluence& GetInfluence(uint32_t index) { return influences[index]; }

  // Takes ownership of `surface` and points it back at this mesh.
  void AddSurface(KvSurface* surface);
  uint32_t GetNumSurfaces() const { return surfaces.Size(); }
  KvSurface* GetSurface(uint32_t index) const { return surfaces[index]; }

  void SetSkeleton(KvSkeleton* newSkeleton) { skeleton = newSkeleton; }
  KvSkeleton* GetSkeleton() const { return skeleton; }
  // Takes ownership of `controller`; a previous controller is destroyed.
  void SetMorphController(KvMorphController* controller);
  KvMorphController* GetMorphController() const { return morphController; }

  // Cached; all zero for a mesh without vertices.
  KvBoundingBox GetBoundingBox();
  // Vertex normals from the surfaces' triangles (normalised), then each influence's
  // normal offset in its joint's space.
  void ComputeNormals();

  void Serialize(KvArchive& archive) override;

 private:
  // Checks the invariants of freshly loaded data; fails the archive when broken.
  bool CheckLoaded(KvArchive& archive);
  // Joint-space transforms that ComputeNormals forms (see Mesh.cpp); the meshes of
  // one load share theirs, kept in the archive.
  class JointSpaces;
  void ComputeNormals(JointSpaces& spaces);
  static JointSpaces& LoadSpaces(KvArchive& archive);

  KvVertex* vertices = nullptr;
  uint32_t vertexCapacity = 0;
  uint32_t vertexCount = 0;
  KvTexCoord* texCoords = nullptr;
  uint32_t texCoordCapacity = 0;
  uint32_t texCoordCount = 0;
  bool boundingBoxValid = false;
  KvBoundingBox boundingBox;
  KvArray<KvVertexInfluence> influences;
  KvArray<KvSurface*> surfaces;
  KvSkeleton* skeleton = nullptr;
  KvMorphController* morphController = nullptr;
};
