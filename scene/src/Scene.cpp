#include "kv/Scene.h"

#include <cstdio>

#include "kv/Archive.h"
#include "kv/Camera.h"
#include "kv/Light.h"
#include "kv/Material.h"
#include "kv/Mesh.h"
#include "kv/Morph.h"
#include "kv/Skeleton.h"
#include "kv/Texture.h"

KV_IMPLEMENT_CLASS(KvScene, 0, KvObject)

namespace {

template <typename T>
void DestroyAll(KvList<T*>& list) {
  for (T* object : list) delete object;
  list.Clear();
}

template <typename T>
T* FindByName(KvList<T*>& list, const KvName& name) {
  for (T* object : list) {
    if (object != nullptr && object->GetName() == name) return object;
  }
  return nullptr;
}

template <typename T>
T* ElementAt(KvList<T*>& list, uint32_t index) {
  auto it = list.begin();
  for (uint32_t i = 0; i < index && it != list.end(); ++i) ++it;
  return it != list.end() ? *it : nullptr;
}

// A list: its count, then each element as an owning object reference. Loading
// empties the list first (without destroying what it pointed to) and keeps every
// element the archive hands back, so that a load failing half-way leaves every
// loaded object owned by the scene.
template <typename T>
void SerializeList(KvArchive& archive, KvList<T*>& list) {
  uint32_t count = list.Count();
  // An element is at least its 4-byte object index.
  if (!archive.SerializeCount(count, 4)) return;
  if (archive.IsSaving()) {
    for (T* object : list) archive.SerializeOwnedObject(object);
    return;
  }
  list.Clear();
  for (uint32_t i = 0; i < count && archive.IsValid(); ++i) {
    T* object = nullptr;
    archive.SerializeOwnedObject(object);
    if (archive.IsValid() || object != nullptr) list.PushBack(object);
  }
}

}  // namespace

KvScene::~KvScene() {
  DestroyAll(textures);
  DestroyAll(materials);
  DestroyAll(skeletons);
  DestroyAll(meshes);
  DestroyAll(lights);
  DestroyAll(cameras);
}

KvSkeleton* KvScene::GetSkeleton(uint32_t index) { return ElementAt(skeletons, index); }
KvMesh* KvScene::GetMesh(uint32_t index) { return ElementAt(meshes, index); }

KvTexture* KvScene::FindTexture(const KvName& name) { return FindByName(textures, name); }
KvMaterial* KvScene::FindMaterial(const KvName& name) { return FindByName(materials, name); }
KvMesh* KvScene::FindMesh(const KvName& name) { return FindByName(meshes, name); }

KvBoundingBox KvScene::GetBoundingBox() {
  KvBoundingBox box;
  if (meshes.Count() == 0) return box;
  box.MakeEmpty();
  for (KvMesh* mesh : meshes) {
    if (mesh != nullptr) box.Merge(mesh->GetBoundingBox());
  }
  return box;
}

void KvScene::Serialize(KvArchive& archive) {
  KvObject::Serialize(archive);
  archive.SerializeClassVersion("KvScene");
  SerializeList(archive, textures);
  SerializeList(archive, materials);
  SerializeList(archive, skeletons);
  SerializeList(archive, meshes);
  SerializeList(archive, lights);
  SerializeList(archive, cameras);
}

bool KvSaveScene(KvScene* scene, const char* fileName, void (*progress)(float), float interval) {
  if (scene == nullptr) return false;
  KvSaveResult result;
  KvSaveObject(scene, fileName, progress, interval, &result);
  // A file whose bytes did not all reach the disk is a failed save too.
  return result.opened && result.written;
}

KvScene* KvLoadScene(const char* fileName, KvString* error) {
  KvArchive archive(KvArchiveStoreFile::Create(fileName), KvArchive::kModeLoad, 0);
  archive.Open();
  KvScene* scene = nullptr;
  KvArray<KvObject*> unowned;
  if (archive.IsValid()) scene = static_cast<KvScene*>(archive.LoadRoot(KvScene::StaticClass(), unowned));
  if (scene == nullptr && error != nullptr) *error = KvDescribeArchiveError(archive);
  archive.Close();
  if (scene != nullptr && !unowned.Empty()) {
    // A legal archive, but not a scene: a scene owns every object its objects refer
    // to, and deleting it must free them all.
    if (error != nullptr) {
      char line[640];
      std::snprintf(line, sizeof line, "a %s in the file is owned by nothing in the scene",
                    unowned[0]->ClassOf()->GetName().GetAsCString());
      *error = KvString(line);
    }
    delete scene;
    for (KvObject* object : unowned) delete object;
    scene = nullptr;
  }
  return scene;
}

namespace {

// Start-ups not yet matched by a shut-down: DevIL's state is global, so only the
// first start-up sets it up and only the last shut-down takes it down (two
// translator objects may be alive at once).
uint32_t g_sceneUsers = 0;

}  // namespace

void RegisterSceneClasses() {
  // Fixed order; each StaticClass registers its class only if it is not yet (the
  // runtime may have been restarted since the last start-up).
  KvCamera::StaticClass();
  KvLight::StaticClass();
  KvMaterial::StaticClass();
  KvSurface::StaticClass();
  KvMesh::StaticClass();
  KvMorphController::StaticClass();
  KvMorphTarget::StaticClass();
  KvScene::StaticClass();
  KvJoint::StaticClass();
  KvSkeleton::StaticClass();
  KvTexture::StaticClass();
  if (g_sceneUsers++ == 0) KvImageLibraryStartup();
}

void ShutDownSceneClasses() {
  if (g_sceneUsers == 0) return;
  if (--g_sceneUsers == 0) KvImageLibraryShutdown();
}
