#include "kv/Mesh.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#include "kv/Archive.h"
#include "kv/Material.h"
#include "kv/Morph.h"
#include "kv/Skeleton.h"

KV_IMPLEMENT_CLASS(KvSurface, 0, KvObject)
KV_IMPLEMENT_CLASS(KvMesh, 0, KvNamedObject)

namespace {

// Bytes one element takes in the object stream. Frozen by the archive layout.
constexpr uint32_t kVertexBytes = 56;
constexpr uint32_t kTexCoordBytes = 8;
constexpr uint32_t kTriangleBytes = 24;
constexpr uint32_t kInfluenceBytes = 20;  // joint reference, weight, position offset
constexpr uint32_t kReferenceBytes = 4;

// Vertices, texture coordinates and triangles in memory are their serialized
// forms (4-byte values in stream order, no padding), so their arrays move through
// the archive as single blocks.
static_assert(sizeof(KvVertex) == kVertexBytes && offsetof(KvVertex, normal) == 12 && offsetof(KvVertex, color) == 24 &&
              offsetof(KvVertex, texCoord) == 40 && offsetof(KvVertex, firstInfluence) == 48 &&
              offsetof(KvVertex, influenceCount) == 52);
static_assert(sizeof(KvTexCoord) == kTexCoordBytes && offsetof(KvTexCoord, v) == 4);
static_assert(sizeof(KvTriangle) == kTriangleBytes && offsetof(KvTriangle, texCoords) == 12);

template <typename T>
T* AllocateDefaults(uint32_t count) {
  if (count == 0) return nullptr;
  auto* storage = static_cast<T*>(KvAllocate(KvBlockBytes(count, sizeof(T))));
  for (uint32_t i = 0; i < count; ++i) new (storage + i) T();
  return storage;
}

// Loading: storage for `capacity` elements whose first `count` come from the
// archive in one block and the rest are default; all default when the read fails.
template <typename T>
T* LoadStorage(KvArchive& archive, uint32_t capacity, uint32_t count) {
  if (capacity == 0) return nullptr;
  auto* storage = static_cast<T*>(KvAllocate(KvBlockBytes(capacity, sizeof(T))));
  archive.SerializeRecords(storage, count);
  const uint32_t read = archive.IsValid() ? count : 0;
  for (uint32_t i = read; i < capacity; ++i) new (storage + i) T();
  return storage;
}

template <typename T>
void FreeStorage(T*& storage, uint32_t capacity) {
  if (storage != nullptr) KvFree(storage, KvBlockBytes(capacity, sizeof(T)));
  storage = nullptr;
}

// Face normal e2 x e1 of the triangle p0 p1 p2, not normalised.
KvVec3 FaceNormal(const KvVec3& p0, const KvVec3& p1, const KvVec3& p2) {
  const KvVec3 e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
  const KvVec3 e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
  return KvVec3{e2.y * e1.z - e2.z * e1.y, e2.z * e1.x - e1.z * e2.x, e1.y * e2.x - e2.y * e1.x};
}

void AddTo(KvVec3& target, const KvVec3& value) {
  target.x += value.x;
  target.y += value.y;
  target.z += value.z;
}

void SerializeInfluence(KvArchive& archive, KvVertexInfluence& influence) {
  archive.SerializeObject(influence.joint);
  archive.Serialize(influence.weight);
  archive.Serialize(influence.positionOffset.x);
  archive.Serialize(influence.positionOffset.y);
  archive.Serialize(influence.positionOffset.z);
}

// Influences: the joint reference, the weight and the position offset. They move
// in blocks of records in place in the archive's buffer as long as each joint
// reference is an index alone; a record whose joint is written or read in full
// there (or any record of a file in the other byte order) goes value by value.
constexpr uint32_t kInfluenceJoint = 0;
constexpr uint32_t kInfluenceWeight = 4;
constexpr uint32_t kInfluenceOffset = 8;
constexpr uint32_t kInfluenceBlock = 256;

// The joints a block of influences met, with their reference indexes: what the
// archive answered stays true until it next reads or writes an object.
class JointIndexes {
 public:
  JointIndexes() { Clear(); }
  void Clear() {
    for (Entry& entry : entries_) entry = Entry{nullptr, kKvNullObjectIndex};
  }
  // Saving: the index a reference to `joint` writes, or false when it writes the joint.
  bool IndexOf(KvArchive& archive, KvJoint* joint, uint32_t& index) {
    Entry& entry = entries_[Slot(reinterpret_cast<uintptr_t>(joint) >> 4)];
    if (entry.joint != joint) {
      if (!archive.ReferenceIndex(joint, index)) return false;
      entry = Entry{joint, index};
    }
    index = entry.index;
    return true;
  }
  // Loading: the joint a reference of `index` gives, or null when only reading it can tell.
  KvJoint* JointAt(KvArchive& archive, uint32_t index) {
    Entry& entry = entries_[Slot(index)];
    if (entry.index != index || entry.joint == nullptr) {
      KvObject* known = archive.KnownObject(index, KvJoint::StaticClass());
      if (known == nullptr) return nullptr;
      entry = Entry{static_cast<KvJoint*>(known), index};
    }
    return entry.joint;
  }

 private:
  struct Entry {
    KvJoint* joint;
    uint32_t index;
  };
  static constexpr uint32_t kEntries = 16;
  static uint32_t Slot(uintptr_t key) { return static_cast<uint32_t>(key) & (kEntries - 1); }
  Entry entries_[kEntries];
};

void SaveInfluences(KvArchive& archive, KvArray<KvVertexInfluence>& influences) {
  JointIndexes known;
  const bool counting = archive.IsCounting();  // only the joint references matter then
  const uint32_t count = influences.Size();
  for (uint32_t i = 0; i < count;) {
    const uint32_t block = count - i < kInfluenceBlock ? count - i : kInfluenceBlock;
    uint8_t* records = archive.Window(block * kInfluenceBytes);
    uint32_t done = 0;
    for (; records != nullptr && done < block; ++done) {
      const KvVertexInfluence& influence = influences[i + done];
      uint32_t index = 0;
      if (!known.IndexOf(archive, influence.joint, index)) break;
      if (counting) continue;
      uint8_t* record = records + done * kInfluenceBytes;
      std::memcpy(record + kInfluenceJoint, &index, 4);
      std::memcpy(record + kInfluenceWeight, &influence.weight, 4);
      std::memcpy(record + kInfluenceOffset, &influence.positionOffset, 12);
    }
    if (records != nullptr) archive.Advance(done * kInfluenceBytes);
    i += done;
    if (done < block) {
      SerializeInfluence(archive, influences[i++]);
      known.Clear();
    }
  }
}

// A loaded influence's normal offset starts at zero.
void LoadInfluences(KvArchive& archive, uint32_t count, KvArray<KvVertexInfluence>& influences) {
  JointIndexes known;
  KvArray<KvVertexInfluence> loaded(count);
  while (loaded.Size() < count && archive.IsValid()) {
    const uint32_t left = count - loaded.Size();
    const uint32_t block = left < kInfluenceBlock ? left : kInfluenceBlock;
    const uint8_t* records = archive.Window(block * kInfluenceBytes);
    uint32_t done = 0;
    for (; records != nullptr && done < block; ++done) {
      const uint8_t* record = records + done * kInfluenceBytes;
      uint32_t index = 0;
      std::memcpy(&index, record + kInfluenceJoint, 4);
      KvVertexInfluence influence;
      influence.joint = known.JointAt(archive, index);
      if (influence.joint == nullptr) break;
      std::memcpy(&influence.weight, record + kInfluenceWeight, 4);
      std::memcpy(&influence.positionOffset, record + kInfluenceOffset, 12);
      loaded.PushBack(influence);
    }
    if (records != nullptr) archive.Advance(done * kInfluenceBytes);
    if (done < block) {
      KvVertexInfluence influence;
      SerializeInfluence(archive, influence);
      loaded.PushBack(influence);
      known.Clear();
    }
  }
  influences.Swap(loaded);
}

// A capacity read from an archive must be one the rest of the archive could fill:
// this bounds what a hostile file can make a load allocate by the file's own size.
// Its elements of type T must also fit in one block of memory.
template <typename T>
bool CheckCapacity(KvArchive& archive, uint32_t capacity, uint32_t elementBytes, const char* what) {
  if (!archive.IsValid()) return false;
  if (capacity > archive.BytesLeft() / elementBytes) {
    archive.Fail(KvArchiveError::kCorrupt, what);
    return false;
  }
  return archive.CheckCount(capacity, 0, sizeof(T));
}

// Fixed-capacity storage: the capacity, the count, then the first `count`
// elements as one block. Loading replaces the storage, after checking the capacity
// against the bytes left and the count against the capacity. Returns IsValid.
template <typename T>
bool SerializeStorage(KvArchive& archive, T*& storage, uint32_t& capacity, uint32_t& count, uint32_t elementBytes,
                      const char* capacityError, const char* countError) {
  uint32_t loadedCapacity = capacity;
  archive.Serialize(loadedCapacity);
  if (archive.IsSaving()) {
    uint32_t saved = count;
    archive.Serialize(saved);
    archive.SerializeRecords(storage, count);
    return archive.IsValid();
  }
  if (!CheckCapacity<T>(archive, loadedCapacity, elementBytes, capacityError)) return false;
  uint32_t loadedCount = 0;
  archive.Serialize(loadedCount);
  if (archive.IsValid() && loadedCount > loadedCapacity) archive.Fail(KvArchiveError::kCorrupt, countError);
  if (!archive.IsValid()) loadedCount = 0;
  FreeStorage(storage, capacity);
  storage = LoadStorage<T>(archive, loadedCapacity, loadedCount);
  capacity = loadedCapacity;
  count = archive.IsValid() ? loadedCount : 0;
  return archive.IsValid();
}

}  // namespace

// Inverse world transforms of the joints ComputeNormals meets. Each world
// transform is formed once, as local x (parent's world), exactly the products
// KvJoint::GetWorldTransform forms, so that many influences on a long joint chain
// cost one pass over the chain instead of one per influence.
class KvMesh::JointSpaces {
 public:
  const KvMatrix& InverseWorld(KvJoint* joint) {
    Recent& recent = recent_[(reinterpret_cast<uintptr_t>(joint) >> 4) % kRecent];
    if (recent.joint == joint && joint != nullptr) return *recent.inverse;
    Slot* slot = Find(joint);
    if (slot == nullptr) slot = Add(joint);
    if (!slot->hasInverse) {
      slot->inverse = slot->world.Inverse();
      slot->hasInverse = true;
    }
    recent = Recent{joint, &slot->inverse};
    return slot->inverse;
  }

 private:
  struct Slot {
    const KvJoint* joint = nullptr;
    KvMatrix world;
    KvMatrix inverse;
    bool hasInverse = false;
  };

  static uint32_t Hash(const KvJoint* joint) {
    const auto bits = reinterpret_cast<uintptr_t>(joint);
    return static_cast<uint32_t>((bits >> 4) ^ (bits >> 20)) * 2654435761u;
  }

  Slot* Find(const KvJoint* joint) {
    if (slots_.Empty()) return nullptr;
    const uint32_t mask = slots_.Size() - 1;
    for (uint32_t i = Hash(joint) & mask;; i = (i + 1) & mask) {
      if (slots_[i].joint == joint) return &slots_[i];
      if (slots_[i].joint == nullptr) return nullptr;
    }
  }

  Slot* Insert(const KvJoint* joint, const KvMatrix& world) {
    if (2 * (used_ + 1) > slots_.Size()) Grow();
    const uint32_t mask = slots_.Size() - 1;
    uint32_t i = Hash(joint) & mask;
    while (slots_[i].joint != nullptr) i = (i + 1) & mask;
    slots_[i].joint = joint;
    slots_[i].world = world;
    ++used_;
    return &slots_[i];
  }

  void Grow() {
    for (Recent& recent : recent_) recent = Recent{};  // the slots move
    KvArray<Slot> old;
    old.Swap(slots_);
    slots_.Resize(old.Empty() ? 16 : old.Size() * 2);
    used_ = 0;
    for (const Slot& slot : old) {
      if (slot.joint == nullptr) continue;
      Slot* moved = Insert(slot.joint, slot.world);
      moved->inverse = slot.inverse;
      moved->hasInverse = slot.hasInverse;
    }
  }

  // Walks up to the first joint already known (or past the root), then forms the
  // world transforms on the way back down.
  Slot* Add(KvJoint* joint) {
    chain_.Clear();
    KvJoint* known = joint;
    while (known != nullptr && Find(known) == nullptr) {
      chain_.PushBack(known);
      known = known->GetParent();
    }
    uint32_t i = chain_.Size();
    KvMatrix world;
    if (known != nullptr) {
      world = Find(known)->world;
    } else {
      world = chain_[--i]->GetLocalTransform();
      Insert(chain_[i], world);
    }
    while (i-- > 0) {
      world = chain_[i]->GetLocalTransform() * world;
      Insert(chain_[i], world);
    }
    return Find(joint);
  }

  // The joints asked for last, direct-mapped by address.
  struct Recent {
    const KvJoint* joint = nullptr;
    const KvMatrix* inverse = nullptr;
  };
  static constexpr uint32_t kRecent = 16;

  KvArray<Slot> slots_;
  uint32_t used_ = 0;
  KvArray<KvJoint*> chain_;
  Recent recent_[kRecent];
};

namespace {

// Where a load keeps the joint spaces its meshes share.
const char kLoadSpacesKey = 0;

}  // namespace

KvMesh::JointSpaces& KvMesh::LoadSpaces(KvArchive& archive) {
  // Joints are complete before any mesh of the load can reach them, and nothing
  // in a load moves them afterwards: one mesh's transforms hold for the next.
  struct Context : KvArchiveContext {
    JointSpaces spaces;
  };
  auto* context = static_cast<Context*>(archive.GetContext(&kLoadSpacesKey));
  if (context == nullptr) {
    context = new Context;
    archive.SetContext(&kLoadSpacesKey, context);
  }
  return context->spaces;
}



KvBoundingBox KvBoundingBox::FromVertices(const KvVertex* vertices, uint32_t count) {
  KvBoundingBox box;
  if (count == 0) return box;
  box.MakeEmpty();
  for (uint32_t i = 0; i < count; ++i) box.Expand(vertices[i].position);
  return box;
}

// ---- KvSurface ------------------------------------------------------------------------

KvSurface::~KvSurface() { FreeStorage(triangles, triangleStorage); }

void KvSurface::SetNumTriangles(uint32_t count) {
  FreeStorage(triangles, triangleStorage);
  triangleCapacity = count;
  triangleStorage = count;
  triangleCount = 0;
  triangles = AllocateDefaults<KvTriangle>(count);
}

bool KvSurface::AddTriangle(const KvTriangle& triangle) {
  if (triangleCount == triangleCapacity) return false;
  if (triangleCount == triangleStorage) {
    KvTriangle* grown = AllocateDefaults<KvTriangle>(triangleCapacity);
    for (uint32_t t = 0; t < triangleCount; ++t) grown[t] = triangles[t];
    FreeStorage(triangles, triangleStorage);
    triangles = grown;
    triangleStorage = triangleCapacity;
  }
  triangles[triangleCount++] = triangle;
  return true;
}


void KvSurface::ComputeNormals() {
  if (mesh == nullptr) return;
  for (uint32_t t = 0; t < triangleCount; ++t) {
    const KvTriangle& triangle = triangles[t];
    KvVertex* v0 = mesh->GetVertex(triangle.vertices[0]);
    KvVertex* v1 = mesh->GetVertex(triangle.vertices[1]);
    KvVertex* v2 = mesh->GetVertex(triangle.vertices[2]);
    // A triangle that names a vertex the mesh lacks adds nothing.
    if (v0 == nullptr || v1 == nullptr || v2 == nullptr) continue;
    const KvVec3 n = FaceNormal(v0->position, v1->position, v2->position);
    AddTo(v0->normal, n);
    AddTo(v1->normal, n);
    AddTo(v2->normal, n);
  }
}

void KvSurface::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  archive.SerializeClassVersion("KvSurface");
  // The capacity is the room the writer set aside (one triangle per polygon of the
  // host mesh); polygons that were not triangles leave it larger than the count.
  // Only the count is backed by bytes of the file, so only the count is allocated.
  uint32_t capacity = triangleCapacity;
  archive.Serialize(capacity);
  if (archive.IsLoading() && archive.IsValid()) {
    FreeStorage(triangles, triangleStorage);
    triangles = nullptr;
    triangleStorage = 0;
    triangleCount = 0;
    triangleCapacity = capacity;
  }
  uint32_t count = triangleCount;
  archive.Serialize(count);
  if (archive.IsLoading()) {
    if (!archive.IsValid()) return;
    if (count > capacity) {
      archive.Fail(KvArchiveError::kCorrupt, "a surface's triangle count exceeds its capacity");
      return;
    }
    if (!CheckCapacity<KvTriangle>(archive, count, kTriangleBytes, "a surface's triangle count exceeds the bytes left")) return;
    triangles = LoadStorage<KvTriangle>(archive, count, count);
    triangleStorage = count;
    triangleCount = archive.IsValid() ? count : 0;
  } else {
    archive.SerializeRecords(triangles, count);
  }
  archive.SerializeObject(material);
}

// ---- KvMesh --------------------------------------------------------------------------

KvMesh::~KvMesh() {
  FreeStorage(vertices, vertexCapacity);
  FreeStorage(texCoords, texCoordCapacity);
  for (KvSurface* surface : surfaces) delete surface;
  delete morphController;
}

void KvMesh::SetNumVertices(uint32_t count) {
  FreeStorage(vertices, vertexCapacity);
  vertexCapacity = count;
  vertexCount = 0;
  vertices = AllocateDefaults<KvVertex>(count);
  boundingBoxValid = false;
}

bool KvMesh::AddVertex(const KvVertex& vertex) {
  if (vertexCount == vertexCapacity) return false;
  vertices[vertexCount++] = vertex;
  boundingBoxValid = false;
  return true;
}


void KvMesh::SetNumTexCoords(uint32_t count) {
  FreeStorage(texCoords, texCoordCapacity);
  texCoordCapacity = count;
  texCoordCount = 0;
  texCoords = AllocateDefaults<KvTexCoord>(count);
}

bool KvMesh::AddTexCoord(const KvTexCoord& texCoord) {
  if (texCoordCount == texCoordCapacity) return false;
  texCoords[texCoordCount++] = texCoord;
  return true;
}

const KvTexCoord* KvMesh::GetTexCoord(uint32_t index) const {
  return index < texCoordCount ? &texCoords[index] : nullptr;
}

void KvMesh::AddSurface(KvSurface* surface) {
  if (surface != nullptr) surface->SetMesh(this);
  surfaces.PushBack(surface);
  boundingBoxValid = false;
}

void KvMesh::SetMorphController(KvMorphController* controller) {
  if (controller != morphController) delete morphController;
  morphController = controller;
}

KvBoundingBox KvMesh::GetBoundingBox() {
  if (!boundingBoxValid) {
    boundingBox = KvBoundingBox::FromVertices(vertices, vertexCount);
    boundingBoxValid = true;
  }
  return boundingBox;
}

void KvMesh::ComputeNormals() {
  JointSpaces spaces;
  ComputeNormals(spaces);
}

void KvMesh::ComputeNormals(JointSpaces& spaces) {
  for (uint32_t i = 0; i < vertexCount; ++i) vertices[i].normal = KvVec3{0.0f, 0.0f, 0.0f};
  for (KvSurface* surface : surfaces) {
    if (surface != nullptr) surface->ComputeNormals();
  }
  const uint32_t influenceTotal = influences.Size();
  for (uint32_t i = 0; i < vertexCount; ++i) {
    KvVertex& vertex = vertices[i];
    KvVec3& n = vertex.normal;
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length != 0.0f) {
      const float f = 1.0f / length;
      n = KvVec3{n.x * f, n.y * f, n.z * f};
    }
    if (influenceTotal == 0) continue;
    const uint64_t end = static_cast<uint64_t>(vertex.firstInfluence) + vertex.influenceCount;
    for (uint64_t k = vertex.firstInfluence; k < end && k < influenceTotal; ++k) {
      KvVertexInfluence& influence = influences[static_cast<uint32_t>(k)];
      if (influence.joint == nullptr) continue;
      influence.normalOffset = spaces.InverseWorld(influence.joint).TransformDirection(n);
    }
  }
}

bool KvMesh::CheckLoaded(KvArchive& archive) {
  if (!archive.IsValid()) return false;
  const uint64_t influenceTotal = influences.Size();
  for (uint32_t i = 0; i < vertexCount; ++i) {
    if (static_cast<uint64_t>(vertices[i].firstInfluence) + vertices[i].influenceCount > influenceTotal) {
      archive.Fail(KvArchiveError::kCorrupt, "a mesh vertex's influences run past the influence list");
      return false;
    }
  }
  for (KvSurface* surface : surfaces) {
    if (surface == nullptr) continue;
    for (uint32_t t = 0; t < surface->GetNumTriangles(); ++t) {
      const KvTriangle& triangle = *surface->GetTriangle(t);
      for (uint32_t c = 0; c < 3; ++c) {
        if (triangle.vertices[c] >= vertexCount) {
          archive.Fail(KvArchiveError::kCorrupt, "a triangle names a vertex the mesh does not have");
          return false;
        }
        // A mesh without texture coordinates cannot meet this rule, and nothing
        // reads its triangles' texture-coordinate indices.
        if (texCoordCount > 0 && triangle.texCoords[c] >= texCoordCount) {
          archive.Fail(KvArchiveError::kCorrupt, "a triangle names a texture coordinate the mesh does not have");
          return false;
        }
      }
    }
  }
  return true;
}

void KvMesh::Serialize(KvArchive& archive) {
  KvNamedObject::Serialize(archive);
  archive.SerializeClassVersion("KvMesh");
  const bool loading = archive.IsLoading();

  boundingBoxValid = boundingBoxValid && !loading;
  if (!SerializeStorage(archive, vertices, vertexCapacity, vertexCount, kVertexBytes,
                        "a mesh's vertex capacity exceeds the bytes left",
                        "a mesh's vertex count exceeds its capacity") ||
      !SerializeStorage(archive, texCoords, texCoordCapacity, texCoordCount, kTexCoordBytes,
                        "a mesh's texture-coordinate capacity exceeds the bytes left",
                        "a mesh's texture-coordinate count exceeds its capacity")) {
    return;
  }

  uint32_t count = influences.Size();
  if (!archive.SerializeCount(count, kInfluenceBytes, sizeof(KvVertexInfluence))) return;
  if (loading) {
    LoadInfluences(archive, count, influences);
  } else {
    SaveInfluences(archive, influences);
  }

  if (loading) {
    // Surfaces held before the load stay owned through `previous` until replaced.
    KvArray<KvSurface*> previous;
    previous.Swap(surfaces);
    for (KvSurface* surface : previous) delete surface;
  }
  archive.SerializeArray(
      surfaces, [&archive](KvSurface*& surface) { archive.SerializeOwnedObject(surface); }, kReferenceBytes);
  if (loading) {
    for (KvSurface* surface : surfaces) {
      if (surface != nullptr) surface->SetMesh(this);
    }
  }
  archive.SerializeObject(skeleton);
  KvMorphController* controller = morphController;
  archive.SerializeOwnedObject(controller);
  if (loading) {
    morphController = controller;
    boundingBoxValid = false;
    if (CheckLoaded(archive)) ComputeNormals(LoadSpaces(archive));
  }
}
