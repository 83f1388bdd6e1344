// KvScene: the root object of a rendering archive, and the scene model's start-up.
//
// The scene owns every object in its six lists; objects refer to one another only
// through non-owning pointers to objects the scene (or a skeleton or mesh in it)
// owns.
#pragma once

#include <cstdint>

#include "kv/List.h"
#include "kv/Math.h"
#include "kv/Name.h"
#include "kv/Object.h"

class KvCamera;
class KvLight;
class KvMaterial;
class KvMesh;
class KvSkeleton;
class KvTexture;

class KvScene : public KvObject {
  KV_DECLARE_CLASS(KvScene)

  KvScene() = default;
  KvScene(const KvScene&) = delete;
  KvScene& operator=(const KvScene&) = delete;
  // Destroys every object of the lists, list by list in field order.
  ~KvScene() override;

  // Append; the scene takes ownership. No check for null or duplicates.
  void AddTexture(KvTexture* texture) { textures.PushBack(texture); }
  void AddMaterial(KvMaterial* material) { materials.PushBack(material); }
  void AddSkeleton(KvSkeleton* skeleton) { skeletons.PushBack(skeleton); }
  void AddMesh(KvMesh* mesh) { meshes.PushBack(mesh); }
  void AddLight(KvLight* light) { lights.PushBack(light); }
  void AddCamera(KvCamera* camera) { cameras.PushBack(camera); }

  uint32_t GetNumTextures() const { return textures.Count(); }
  uint32_t GetNumMaterials() const { return materials.Count(); }
  uint32_t GetNumSkeletons() const { return skeletons.Count(); }
  uint32_t GetNumMeshes() const { return meshes.Count(); }
  uint32_t GetNumLights() const { return lights.Count(); }
  uint32_t GetNumCameras() const { return cameras.Count(); }

  // The element at `index`; the caller keeps it below the count.
  KvSkeleton* GetSkeleton(uint32_t index);
  KvMesh* GetMesh(uint32_t index);

  // The first object in list order with that name (null entries skipped), or null.
  KvTexture* FindTexture(const KvName& name);
  KvMaterial* FindMaterial(const KvName& name);
  KvMesh* FindMesh(const KvName& name);

  // The union of the meshes' boxes; all zero for a scene without meshes.
  KvBoundingBox GetBoundingBox();

  // The lists themselves, for walking a scene (tools, tests).
  KvList<KvTexture*>& Textures() { return textures; }
  KvList<KvMaterial*>& Materials() { return materials; }
  KvList<KvSkeleton*>& Skeletons() { return skeletons; }
  KvList<KvMesh*>& Meshes() { return meshes; }
  KvList<KvLight*>& Lights() { return lights; }
  KvList<KvCamera*>& Cameras() { return cameras; }

  // Loading is meant for a freshly constructed scene.
  void Serialize(KvArchive& archive) override;

 private:
  KvList<KvTexture*> textures;
  KvList<KvMaterial*> materials;
  KvList<KvSkeleton*> skeletons;
  KvList<KvMesh*> meshes;
  KvList<KvLight*> lights;
  KvList<KvCamera*> cameras;
};

// Saves `scene` to `fileName` in two passes (a counting pass over a null store,
// then the file). False for a null scene or a file that cannot be opened.
// `progress` and `interval` are handed to the file archive, which ignores them
// while saving.
bool KvSaveScene(KvScene* scene, const char* fileName, void (*progress)(float), float interval);

// Loads a rendering archive: the root must be a KvScene. Returns null when the file
// is not a valid rendering archive; `error` (may be null) then receives one line
// saying what is wrong and where.
KvScene* KvLoadScene(const char* fileName, KvString* error);

// Registers the eleven scene classes (each only if not yet registered), then sets up
// DevIL. Call after runtime start-up. Start-ups are counted like the runtime's.
void RegisterSceneClasses();
// Shuts DevIL down when the last start-up ends. Call before runtime shut-down.
void ShutDownSceneClasses();
