#include "kv/Object.h"

namespace {

KvArray<KvClass*>* g_registry = nullptr;

}  // namespace

KvClass* KvClass::Register(const char* text, uint16_t newVersion, KvClass* newBase, uint32_t newSize,
                           KvFactory newFactory) {
  name.SetName(text);
  version = newVersion;
  base = newBase;
  childCount = 0;
  size = newSize;
  factory = newFactory;
  if (base != nullptr) ++base->childCount;
  if (g_registry != nullptr) g_registry->PushBack(this);
  return this;
}

KvObject* KvClass::CreateObject() const { return factory != nullptr ? factory() : nullptr; }

bool KvClass::IsKindOf(const KvClass* other) const {
  for (const KvClass* cls = this; cls != nullptr; cls = cls->base) {
    if (cls == other) return true;
  }
  return false;
}

KvClass* KvRegisterClass(const char* text, uint16_t version, KvClass* base, uint32_t size, KvFactory factory,
                         KvClass** slot) {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvClass)));
  if (memory == nullptr) return nullptr;
  auto* cls = ::new (memory) KvClass();
  cls->staticSlot = slot;
  *slot = cls;
  return cls->Register(text, version, base, size, factory);
}

KvClass* KvFindClass(const KvName& name) {
  if (g_registry == nullptr) return nullptr;
  for (KvClass* cls : *g_registry) {
    if (cls->name == name) return cls;
  }
  return nullptr;
}

KvArray<KvClass*>* KvGetClassRegistry() { return g_registry; }

void KvClassRegistryStartup() {
  if (g_registry != nullptr) return;
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArray<KvClass*>)));
  g_registry = ::new (memory) KvArray<KvClass*>(64);
}

void KvClassRegistryShutdown() {
  if (g_registry == nullptr) return;
  for (KvClass* cls : *g_registry) {
    if (cls->staticSlot != nullptr) *cls->staticSlot = nullptr;
    cls->~KvClass();  // releases its name (inert once the name system is down)
    KvFree(cls, static_cast<uint32_t>(sizeof(KvClass)));
  }
  g_registry->~KvArray<KvClass*>();
  KvFree(g_registry, static_cast<uint32_t>(sizeof(KvArray<KvClass*>)));
  g_registry = nullptr;
}

void KvReleaseObject(KvObject* object) {
  if (object == nullptr) return;
  const uint32_t size = object->ClassOf()->GetSize();
  object->~KvObject();
  KvFree(object, size);
}

// KvObject is the root of the class tree: it has no base.
KvClass* KvObject::s_class = nullptr;

KvClass* KvObject::StaticClass() {
  if (s_class != nullptr) return s_class;
  return KvRegisterClass("KvObject", 0, nullptr, static_cast<uint32_t>(sizeof(KvObject)), &KvFactoryFor<KvObject>,
                         &s_class);
}
KvClass* KvObject::ClassOf() const { return StaticClass(); }
uint16_t KvObject::ClassVersion() const { return StaticClass()->GetVersion(); }

KV_IMPLEMENT_CLASS(KvNamedObject, 0, KvObject)
KV_IMPLEMENT_CLASS(KvRefObject, 0, KvObject)
KV_IMPLEMENT_CLASS(KvRefString, 0, KvRefObject)
