// Objects, run-time classes and the class registry.
//
// Every persistent object derives from KvObject and is described by one KvClass:
// name, class version, base, instance size and factory. Classes register once per
// runtime start-up (lazily through StaticClass/ClassOf, or eagerly at start-up);
// shut-down empties the registry and resets every class's static pointer.
//
// Objects are allocated with KvAllocate and released with KvFree and their class's
// instance size: `new KvMesh` / `delete mesh` do exactly that (sized deallocation of
// the dynamic type).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "kv/Array.h"
#include "kv/Memory.h"
#include "kv/Name.h"

class KvArchive;
class KvObject;
class KvClass;

using KvFactory = KvObject* (*)();

// Run-time class description.
class KvClass {
 public:
  // Fills this descriptor and appends it to the registry; returns it.
  KvClass* Register(const char* text, uint16_t version, KvClass* base, uint32_t size, KvFactory factory);

  const KvName& GetName() const { return name; }
  uint16_t GetVersion() const { return version; }
  uint32_t GetSize() const { return size; }
  KvClass* GetBase() const { return base; }
  uint32_t GetChildCount() const { return childCount; }
  bool HasFactory() const { return factory != nullptr; }
  // A new default instance, or null for abstract classes or failed allocation.
  KvObject* CreateObject() const;
  // True when this class or one of its bases is `other` (by identity).
  bool IsKindOf(const KvClass* other) const;

  KvName name;
  uint16_t version = 0;
  KvClass* base = nullptr;
  uint32_t childCount = 0;
  uint32_t size = 0;
  KvFactory factory = nullptr;
  // The class's static class pointer, reset to null when the registry is emptied.
  KvClass** staticSlot = nullptr;
};

// Allocates and registers a descriptor (base registered first by the caller);
// stores it in `*slot`. Null when the allocation fails.
KvClass* KvRegisterClass(const char* text, uint16_t version, KvClass* base, uint32_t size, KvFactory factory,
                         KvClass** slot);
// The first registered class of that name, or null.
KvClass* KvFindClass(const KvName& name);
// Registry in registration order (null outside start-up..shut-down).
KvArray<KvClass*>* KvGetClassRegistry();
// Creates the registry (room for 64) unless it exists. Called by runtime start-up.
void KvClassRegistryStartup();
// Frees every descriptor and the registry; resets every static class pointer.
void KvClassRegistryShutdown();

// Releases an object known only as KvObject: destructor, then KvFree with the
// instance size of its class.
void KvReleaseObject(KvObject* object);

template <typename T>
KvObject* KvFactoryFor() {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(T)));
  if (memory == nullptr) return nullptr;
  return ::new (memory) T();
}

// Declares the class identity members of a KvObject subclass.
#define KV_DECLARE_CLASS(ClassName)                                      \
 public:                                                                 \
  static KvClass* StaticClass() {                                        \
    return s_class != nullptr ? s_class : RegisterStaticClass();         \
  }                                                                      \
  KvClass* ClassOf() const override;                                     \
  uint16_t ClassVersion() const override;                                \
                                                                         \
 private:                                                                \
  static KvClass* RegisterStaticClass();                                 \
  static KvClass* s_class;                                               \
                                                                         \
 public:

#define KV_IMPLEMENT_CLASS_WITH_FACTORY(ClassName, Version, BaseName, Factory)                                \
  KvClass* ClassName::s_class = nullptr;                                                                      \
  KvClass* ClassName::RegisterStaticClass() {                                                                 \
    KvClass* base = BaseName::StaticClass();                                                                  \
    return KvRegisterClass(#ClassName, Version, base, static_cast<uint32_t>(sizeof(ClassName)), Factory,      \
                           &s_class);                                                                         \
  }                                                                                                           \
  KvClass* ClassName::ClassOf() const { return StaticClass(); }                                               \
  uint16_t ClassName::ClassVersion() const { return StaticClass()->GetVersion(); }

// A concrete class: its factory makes a default-constructed instance.
#define KV_IMPLEMENT_CLASS(ClassName, Version, BaseName) \
  KV_IMPLEMENT_CLASS_WITH_FACTORY(ClassName, Version, BaseName, &KvFactoryFor<ClassName>)
// An abstract class (or one without a default instance): no factory.
#define KV_IMPLEMENT_ABSTRACT_CLASS(ClassName, Version, BaseName) \
  KV_IMPLEMENT_CLASS_WITH_FACTORY(ClassName, Version, BaseName, nullptr)

class KvObject {
 public:
  KvObject() = default;
  KvObject(const KvObject&) = default;
  KvObject& operator=(const KvObject&) = default;

  static KvClass* StaticClass();
  virtual KvClass* ClassOf() const;
  virtual uint16_t ClassVersion() const;
  virtual ~KvObject() = default;
  // Writes or reads the object's fields, depending on the archive's direction.
  virtual void Serialize(KvArchive& archive);

  bool IsKindOf(const KvClass* cls) const { return ClassOf()->IsKindOf(cls); }

  static void* operator new(std::size_t size) { return KvAllocate(static_cast<uint32_t>(size)); }
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void* pointer, std::size_t size) { KvFree(pointer, static_cast<uint32_t>(size)); }
  static void operator delete(void*, void*) noexcept {}

 private:
  static KvClass* s_class;
};

// Downcast by run-time class; null when `object` is null or of another kind.
template <typename T>
T* KvCast(KvObject* object) {
  return object != nullptr && object->IsKindOf(T::StaticClass()) ? static_cast<T*>(object) : nullptr;
}

class KvNamedObject : public KvObject {
  KV_DECLARE_CLASS(KvNamedObject)

  KvNamedObject() = default;
  explicit KvNamedObject(const KvName& name) : name(name) {}
  KvNamedObject(const KvNamedObject& other) = default;
  KvNamedObject& operator=(const KvNamedObject& other) {
    if (this != &other) name = other.name;
    return *this;
  }

  const KvName& GetName() const { return name; }
  void SetName(const KvName& newName) { name = newName; }
  void Serialize(KvArchive& archive) override;

 protected:
  KvName name;
};

// An object with a reference count (0 after construction); serializes nothing.
class KvRefObject : public KvObject {
  KV_DECLARE_CLASS(KvRefObject)

  void Serialize(KvArchive&) override {}
  uint32_t refCount = 0;
};

// A name entry: the text of one interned name; serializes nothing.
class KvRefString : public KvRefObject {
  KV_DECLARE_CLASS(KvRefString)

  KvRefString() = default;
  explicit KvRefString(const char* text, uint32_t length) : text(text, length) {}
  void Serialize(KvArchive&) override {}
  KvString text;
};
