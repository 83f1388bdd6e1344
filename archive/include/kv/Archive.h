// KvArchive: the one persistence mechanism of the runtime.
//
// A single class writes and reads: every serializable class has one Serialize that
// calls the archive's per-type Serialize for each field, and the archive writes the
// field or reads it back depending on its mode. File layout:
//
//   'K' 'A' 'V' ('E' little-endian | 'B' big-endian)
//   u32 archive version (1710), string licensee name, string licensee project name,
//   u32 licensee version (1000)
//   table block (archives 1600 and later):
//     u16 class-table flag (1)
//     [flag != 0] u32 non-empty bucket count, then per bucket in ascending order:
//                 u32 bucket index (0..127), u32 entry count, entries (string, u16)
//     u32 name count, then each name as a string
//     u32 object count
//   object stream, beginning with the root object (index 0)
//
// string = u32 length + bytes (no terminator); bool = u32 (1 true); name = u32 index
// into the name table; object reference = u32 index (0xFFFFFFFF null), followed at
// the first reference by the class name (name), the instance size (u32) and the
// object's own fields. Archives below 1700 prefix every string and count with a u16
// and carry class versions in-line; archives below 1600 have no table block and
// carry class names as strings.
//
// Loading treats the bytes as hostile: every length, count and index is checked
// against the bytes left and the tables, and every count against the memory its
// elements take; the first failure makes the archive not valid (IsValid false,
// with GetError/GetErrorOffset saying what and where), after which every read does
// nothing. Keys crafted to share hash buckets cost a load no more than ordinary
// ones (see KvStringMap).
//
// Objects a load creates belong to the caller: the archive never destroys them
// (Close included), except that LoadRoot destroys everything it loaded when the
// load fails. Owning references (SerializeOwnedObject) say which object destroys
// which; see FinishLoading for the objects nothing owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kv/Array.h"
#include "kv/ArchiveStore.h"
#include "kv/List.h"
#include "kv/Name.h"
#include "kv/Object.h"
#include "kv/String.h"
#include "kv/StringMap.h"

inline constexpr uint32_t kKvNullObjectIndex = 0xFFFFFFFFu;

// One entry of an archive's name table.
struct KvArchiveNameEntry {
  KvString text;
  KvName name;  // the null name when saving; the interned text after loading
};

using KvClassVersionTable = KvStringMap<uint16_t, 128>;

struct KvArchiveTables {
  KvArray<KvObject*> objects;         // index -> object, in order of first reference
  KvArray<KvArchiveNameEntry> names;  // in order of first use
  uint32_t objectCount = 0;           // the object count of the table block
  KvClassVersionTable classVersions;  // class name -> class version
};

// What went wrong with an archive; kNone while it is valid.
enum class KvArchiveError : uint32_t {
  kNone = 0,
  kCannotOpen,          // the store could not be opened
  kNotAnArchive,        // too short, or wrong magic
  kUnsupportedVersion,  // archive version above the runtime's
  kTruncated,           // the data ends before a value it announces
  kCorrupt,             // a count, index or object that breaks the format
  kWriteFailed,         // the store refused bytes while saving
};

// State that a class keeps in an archive while it is open, shared by all the
// objects that one load or save serializes (the scene model keeps the joint
// transforms its meshes share). Allocated with new; the archive destroys it.
class KvArchiveContext {
 public:
  KvArchiveContext() = default;
  KvArchiveContext(const KvArchiveContext&) = delete;
  KvArchiveContext& operator=(const KvArchiveContext&) = delete;
  virtual ~KvArchiveContext() = default;
  static void* operator new(std::size_t size) { return KvAllocate(static_cast<uint32_t>(size)); }
  static void operator delete(void* pointer, std::size_t size) { KvFree(pointer, static_cast<uint32_t>(size)); }
};

class KvArchive {
 public:
  // Modes: 0 or 1 load; 2 (counting pass of a save), 3 or 4 save.
  static constexpr uint32_t kModeLoad = 0;
  static constexpr uint32_t kModeCount = 2;
  static constexpr uint32_t kModeSave = 4;
  // Deepest nesting of objects first written inside other objects that a load
  // accepts; deeper input is rejected instead of exhausting the stack.
  static constexpr uint32_t kMaxObjectDepth = 1024;

  // Takes ownership of `store` (released by Close).
  KvArchive(KvArchiveStore* store, uint32_t mode, uint32_t byteOrder);
  KvArchive(const KvArchive&) = delete;
  KvArchive& operator=(const KvArchive&) = delete;
  ~KvArchive();

  static void* operator new(std::size_t size) { return KvAllocate(static_cast<uint32_t>(size)); }
  static void operator delete(void* pointer, std::size_t size) { KvFree(pointer, static_cast<uint32_t>(size)); }

  // Saving: writes the header. Loading: reads the header and the table block.
  // Test IsValid afterwards.
  bool Open();
  // Releases the tables, the licensee texts and the store. Destroys no object.
  void Close();

  bool IsValid() const { return valid_; }
  bool IsSaving() const { return mode_ >= 2 && mode_ <= 4; }
  bool IsLoading() const { return mode_ <= 1; }
  // The counting pass of a save: bytes are measured, never stored.
  bool IsCounting() const { return mode_ == kModeCount; }
  uint32_t GetMode() const { return mode_; }
  uint32_t GetByteOrder() const { return byteOrder_; }
  uint32_t GetArchiveVersion() const { return archiveVersion_; }
  const char* GetLicenseeName() const { return licenseeName_.View(); }
  const char* GetLicenseeProjectName() const { return licenseeProjectName_.View(); }
  uint32_t GetLicenseeVersion() const { return licenseeVersion_; }
  KvArchiveTables* GetTables() { return tables_; }
  KvArchiveStore* GetStore() { return store_; }

  // ---- Values -------------------------------------------------------------------
  void Serialize(uint8_t& value);
  void Serialize(uint16_t& value) {
    if (!FastOrdered(&value, 2)) SerializeOrdered(&value, 2);
  }
  void Serialize(uint32_t& value) {
    if (!FastOrdered(&value, 4)) SerializeOrdered(&value, 4);
  }
  void Serialize(int32_t& value) {
    if (!FastOrdered(&value, 4)) SerializeOrdered(&value, 4);
  }
  void Serialize(float& value) {
    if (!FastOrdered(&value, 4)) SerializeOrdered(&value, 4);
  }
  void Serialize(bool& value);
  void Serialize(KvString& value);
  void Serialize(KvName& value);
  // Bytes as they are, no byte-order change.
  void SerializeRaw(void* bytes, uint32_t count);
  // A block of floats or u32s, each in the file's byte order. The block moves as
  // one copy when the file's byte order is the machine's (and no progress is
  // reported); otherwise value by value, with the same result.
  void SerializeFloats(float* values, uint32_t count) { SerializeWords(values, count); }
  void SerializeUInt32s(uint32_t* values, uint32_t count) { SerializeWords(values, count); }
  // `count` records whose memory is their serialized form: 4-byte numbers (u32,
  // i32, f32) in field order and nothing else (no pointers, no padding). Moved as
  // one block of 4-byte values, like SerializeUInt32s.
  template <typename T>
  void SerializeRecords(T* records, uint32_t count) {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) % 4 == 0 && alignof(T) == 4,
                  "a record must be packed 4-byte values");
    SerializeWords(records, uint64_t{count} * (sizeof(T) / 4));
  }

  // The count of an array or list: the legacy u16 prefix of old archives, then the
  // u32 count. When loading, a count that cannot fit in the bytes left (at
  // `minElementBytes` per element), or whose elements of `elementSize` bytes in
  // memory the allocator cannot hold in one block, makes the archive not valid;
  // returns IsValid.
  bool SerializeCount(uint32_t& count, uint32_t minElementBytes = 1, uint64_t elementSize = 1);
  // Loading: the same two checks for a count read some other way; returns IsValid.
  bool CheckCount(uint32_t count, uint32_t minElementBytes, uint64_t elementSize);

  // Arrays of values the archive knows (numbers, bools, strings, names).
  template <typename T>
  void Serialize(KvArray<T>& array) {
    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, uint32_t> || std::is_same_v<T, int32_t>) {
      SerializeRecordArray(array);
    } else {
      SerializeArray(array, [this](T& element) { Serialize(element); }, MinBytes<T>());
    }
  }
  // Arrays of anything: `element(T&)` serializes one element. Loading replaces the
  // contents with exactly the loaded count of default-constructed elements, each
  // then read by `element`.
  template <typename T, typename ElementFn>
  void SerializeArray(KvArray<T>& array, ElementFn&& element, uint32_t minElementBytes = 1) {
    uint32_t count = array.Size();
    if (!SerializeCount(count, minElementBytes, sizeof(T))) return;
    if (IsLoading()) {
      KvArray<T> loaded;
      loaded.Resize(count);
      for (uint32_t i = 0; i < count && valid_; ++i) element(loaded[i]);
      array.Swap(loaded);
    } else {
      for (uint32_t i = 0; i < count; ++i) element(array[i]);
    }
  }

  // Arrays of records (see SerializeRecords): the count, then the records as one
  // block. Loading replaces the contents with exactly the loaded count.
  template <typename T>
  void SerializeRecordArray(KvArray<T>& array) {
    uint32_t count = array.Size();
    if (!SerializeCount(count, sizeof(T), sizeof(T))) return;
    if (IsLoading()) {
      KvArray<T> loaded;
      loaded.Resize(count);
      SerializeRecords(loaded.Data(), count);
      array.Swap(loaded);
    } else {
      SerializeRecords(array.Data(), count);
    }
  }

  // Lists: the count (as SerializeCount), then each element in list order. Loading
  // first empties the list, then appends one default value per element and lets
  // `element(T&)` read it.
  template <typename T, typename ElementFn>
  void SerializeList(KvList<T>& list, ElementFn&& element, uint32_t minElementBytes = 1) {
    uint32_t count = list.Count();
    if (!SerializeCount(count, minElementBytes)) return;
    if (IsLoading()) {
      list.Clear();
      for (uint32_t i = 0; i < count && valid_; ++i) element(list.PushBack(T())->value);
    } else {
      for (T& value : list) element(value);
    }
  }

  // ---- Records in place ----------------------------------------------------------------
  // For code that moves many small records (a mesh's influences) and would spend
  // more on the calls than on the bytes. Window returns the buffer's next `count`
  // bytes (at most 1 MiB) when values move through it unchanged: the archive is
  // valid, the file is in the machine's byte order and, when loading, no progress
  // is reported. Saving makes room first; loading reads ahead first and gives null
  // when the file has fewer bytes left. The caller writes or reads values there in
  // the file's layout, then Advance moves past the bytes it used (at most
  // `count`), with no other serialization in between. Null means: use the
  // Serialize operations instead.
  uint8_t* Window(uint32_t count) {
    if (readLimit_ - cursor_ >= static_cast<std::ptrdiff_t>(count)) return cursor_;
    if (writeLimit_ - cursor_ >= static_cast<std::ptrdiff_t>(count)) return cursor_;
    return WindowAfterMove(count);
  }
  void Advance(uint32_t count) { cursor_ += count; }

  // ---- Object references -----------------------------------------------------------
  // A reference that does not own its target (a parent joint, a material's texture).
  // When loading, the object must be of kind T or the archive becomes not valid.
  template <typename T>
  void SerializeObject(T*& object) {
    KvObject* base = object;
    SerializeObjectReference(base, T::StaticClass(), false);
    object = static_cast<T*>(base);
  }
  // A reference that owns its target (list members, joints of a skeleton, the root).
  // When loading, an object claimed by two owners makes the archive not valid.
  template <typename T>
  void SerializeOwnedObject(T*& object) {
    KvObject* base = object;
    SerializeObjectReference(base, T::StaticClass(), true);
    object = static_cast<T*>(base);
  }
  // The untyped form: `expected` null accepts any class.
  void SerializeObjectReference(KvObject*& object, const KvClass* expected, bool owning);
  // Loading: the object that a reference of `index` gives without ownership and
  // with this expectation, when a reference like it was read before and the archive
  // still remembers it (it remembers a few); null otherwise. Reads nothing. Lets
  // records that begin with a reference be read in place.
  KvObject* KnownObject(uint32_t index, const KvClass* expected) {
    const ReferenceHint& hint = HintFor(index);
    if (!IsLoading() || hint.index != index || hint.expected != expected || !Holds(hint)) return nullptr;
    return hint.object;
  }
  // Saving: when a reference to `object` is written as its index alone (null, or
  // an object already in the object table), sets `index` to what it writes and
  // returns true; false when the reference carries the object, which only
  // SerializeObjectReference writes. Lets records that begin with a reference be
  // written in blocks.
  bool ReferenceIndex(const KvObject* object, uint32_t& index) {
    const ReferenceHint& hint = referenceHints_[SlotOf(object)];
    if (hint.object != object || object == nullptr || !IsSaving() || !Holds(hint)) return FindReferenceIndex(object, index);
    index = hint.index;
    return true;
  }

  // Loading: an owner that lets go of an object it claimed (a skeleton whose sort
  // drops a joint) hands it back: the object is owned by nothing again.
  void Disown(KvObject* object);
  // Loading: appends to `unowned`, in object-table order, every loaded object that
  // no owning reference claimed. Such objects are legal (reached only through
  // non-owning references, like a texture only a material names) and belong to
  // the caller, who destroys them after what refers to them. Returns IsValid.
  bool FinishLoading(KvArray<KvObject*>& unowned);
  // Loads the root object and runs FinishLoading. On success the caller owns the
  // root (and through it what it owns) and the objects in `unowned`. When the
  // archive is not valid afterwards, returns null with `unowned` unchanged, having
  // destroyed every object the load created.
  KvObject* LoadRoot(const KvClass* expected, KvArray<KvObject*>& unowned);

  // Records (saving) or looks up the class version of `className`; see the file
  // layout. Archives below 1700 read it in-line.
  uint16_t SerializeClassVersion(const char* className, bool useExplicitVersion = false,
                                 uint16_t explicitVersion = 0);

  // ---- Contexts -------------------------------------------------------------------
  // The context stored under `key` (an address that stands for its user), or null.
  KvArchiveContext* GetContext(const void* key) const;
  // Stores `context` under `key`, destroying the one stored there before. Close
  // destroys every context.
  void SetContext(const void* key, KvArchiveContext* context);

  // ---- Tables ---------------------------------------------------------------------
  uint32_t IndexOfObject(const KvObject* object) const;
  // Null is not registered (0xFFFFFFFF); index 0xFFFFFFFF finds or appends;
  // any other index stores there, growing the table with nulls.
  uint32_t RegisterObject(KvObject* object, uint32_t index);
  KvObject* ObjectAt(uint32_t index) const;
  uint32_t AddName(const char* text, uint32_t length);
  KvName NameAt(uint32_t index) const;
  // Copies the class-version and name tables of `other`, takes its object count and
  // writes the table block.
  void CopyTablesFrom(KvArchive& other);
  // As CopyTablesFrom, but takes the name table instead of copying it: `other` is
  // left with no names (for a counting pass that is closed next).
  void TakeTablesFrom(KvArchive& other);
  // Loading only: `callback(progress)` whenever progress grew by `threshold`.
  void SetProgressCallback(void (*callback)(float), float threshold);

  // ---- Errors and position ------------------------------------------------------------
  // Saving: hands the buffered bytes to the store (Close does it too).
  void Flush();

  // Makes the archive not valid, keeping the first error and its offset.
  void Fail(KvArchiveError error, const char* detail);
  KvArchiveError GetError() const { return error_; }
  const char* GetErrorDetail() const { return errorDetail_.View(); }
  // Byte offset in the file where the first error was found.
  uint32_t GetErrorOffset() const { return errorOffset_; }
  // Bytes read or written so far; bytes left to read.
  uint32_t Position() const;
  uint32_t BytesLeft() const {
    const uint32_t position = Position();
    return totalSize_ > position ? totalSize_ - position : 0;
  }
  // Objects of classes the runtime does not know: the rest of the stream is unread.
  uint32_t GetUnknownClassCount() const { return unknownClassCount_; }

 private:
  template <typename T>
  static constexpr uint32_t MinBytes() {
    if constexpr (sizeof(T) == 1 && !std::is_same_v<T, bool>) return 1;
    else if constexpr (sizeof(T) == 2) return 2;
    else return 4;
  }

  // The common case of a value that moves within the buffer unchanged (in the
  // machine's own byte order, no progress to report); false when the general path
  // must run.
  bool FastOrdered(void* value, uint32_t size) {
    if (readLimit_ - cursor_ >= static_cast<std::ptrdiff_t>(size)) {
      std::memcpy(value, cursor_, size);
    } else if (writeLimit_ - cursor_ >= static_cast<std::ptrdiff_t>(size)) {
      std::memcpy(cursor_, value, size);
    } else {
      return false;
    }
    cursor_ += size;
    return true;
  }
  // Sets the limits FastOrdered works within from the archive's state.
  void UpdateLimits();
  // Window when the buffer must first be flushed (saving) or topped up (loading).
  uint8_t* WindowAfterMove(uint32_t count);
  bool ReadBytes(void* bytes, uint32_t count);
  void WriteBytes(const void* bytes, uint32_t count);
  // A multi-byte value in the file's byte order.
  void SerializeOrdered(void* value, uint32_t size);
  // `count` 4-byte values in the file's byte order.
  void SerializeWords(void* words, uint64_t count);
  void WriteName(const KvName& name);
  // The version remembered for `className` by an earlier SerializeClassVersion, or
  // null.
  const uint16_t* RememberedClassVersion(const char* className) const;
  void RememberClassVersion(const char* className, uint16_t version);
  void ForgetClassVersions();
  // SerializeClassVersion of "KvName", asked once per name.
  uint16_t NameClassVersion();
  void CountProgress(uint32_t bytes);
  void SkipLegacyPrefix();
  bool ReadTableBlock();
  void WriteTableBlock();
  void LoadObjectReference(KvObject*& object, const KvClass* expected, bool owning);
  void Claim(uint32_t index, KvObject*& object, KvObject* found, bool owning, const KvClass* expected);
  uint32_t FindNameIndex(const char* text, uint32_t length, uint32_t hash);
  void AdoptTables(KvArchive& other, bool take);
  void DestroyLoadedObjects();
  bool Refill();

  KvArchiveStore* store_;
  uint32_t mode_;
  uint32_t byteOrder_;
  bool valid_ = false;
  bool swap_ = false;
  uint32_t archiveVersion_ = 0;
  KvString licenseeName_;
  KvString licenseeProjectName_;
  uint32_t licenseeVersion_ = 0;
  KvArchiveTables* tables_ = nullptr;
  void (*progressCallback_)(float) = nullptr;
  float progressThreshold_ = 0.0f;
  int32_t bytesProcessed_ = 0;
  float totalBytes_ = 0.0f;
  float progress_ = 0.0f;
  float lastReportedProgress_ = 0.0f;

  // Loading bookkeeping beyond the format: per object index, whether the object is
  // being read, owned, or only referenced; byte position and the first error.
  enum ObjectState : uint8_t { kAbsent = 0, kReading, kUnowned, kOwned };
  KvArray<uint8_t> objectStates_;
  struct ContextEntry {
    const void* key;
    KvArchiveContext* context;
  };
  KvArray<ContextEntry> contexts_;

  // Address -> table index, by open addressing.
  struct AddressIndex {
    struct Slot {
      const void* key;
      uint32_t index;
    };
    Slot* slots = nullptr;
    uint32_t capacity = 0;  // a power of two, at least twice `count`
    uint32_t count = 0;
    // kKvNullObjectIndex when absent.
    uint32_t Find(const void* key) const;
    // Stores `index` for `key`, replacing an index stored before.
    void Insert(const void* key, uint32_t index);
    void CopyFrom(const AddressIndex& other);
    void Clear();
  };
  AddressIndex objectIndex_;  // every registered object at its first index
  // While saving: name entry (KvName node) -> name-table index, and the text index
  // behind it covering the first `namesIndexed_` names (filled when a text is
  // looked up): open addressing over a keyed hash of the text, so that no choice
  // of names crowds one place. A slot holds 32 bits of the hash and the name's
  // index + 1 (0: empty).
  AddressIndex nameEntries_;
  struct TextSlot {
    uint32_t hash;
    uint32_t position;
  };
  TextSlot* textSlots_ = nullptr;
  uint32_t textCapacity_ = 0;  // a power of two, at least twice `namesIndexed_`
  uint32_t namesIndexed_ = 0;
  // Enters name `namesIndexed_`, whose text has `hash`, into the text index.
  void IndexNextName(uint32_t hash);
  void ClearTextIndex();
  // While loading: the classes found for the class names met so far, by the
  // address of the name's entry (which the registered class keeps alive).
  struct ClassHint {
    const void* entry = nullptr;
    KvClass* cls = nullptr;
  };
  static constexpr uint32_t kClassHints = 16;
  ClassHint classHints_[kClassHints];
  KvClass* FindClassOf(const KvName& className);
  // The class versions asked for, by the address of the class name (with a copy
  // of its text, so a reused address cannot mislead); up to 48 of them.
  struct ClassVersionHint {
    const char* address = nullptr;
    uint16_t version = 0;
    char text[30] = {};
  };
  static constexpr uint32_t kClassVersionHints = 64;  // open addressing, never full
  ClassVersionHint classVersionHints_[kClassVersionHints];
  uint32_t classVersionHintCount_ = 0;
  bool nameVersionKnown_ = false;
  uint16_t nameVersion_ = 0;
  // Object references met recently, direct-mapped: while saving by the object's
  // address (object -> index), while loading by index (index -> object, for
  // references without ownership and with the same expected class). References
  // that keep returning to a few objects (the joints of the vertices' influences)
  // skip the lookups.
  struct ReferenceHint {
    KvObject* object = nullptr;
    uint32_t index = kKvNullObjectIndex;
    const KvClass* expected = nullptr;
  };
  // Enough for the joints of a large skeleton.
  static constexpr uint32_t kReferenceHintBits = 10;
  static constexpr uint32_t kReferenceHints = 1u << kReferenceHintBits;
  ReferenceHint referenceHints_[kReferenceHints];
  static uint32_t SlotOf(const KvObject* object) {
    return static_cast<uint32_t>(((reinterpret_cast<uintptr_t>(object) >> 3) * 0x9E3779B97F4A7C15ull) >>
                                 (64 - kReferenceHintBits));
  }
  ReferenceHint& HintFor(const KvObject* object) { return referenceHints_[SlotOf(object)]; }
  ReferenceHint& HintFor(uint32_t index) { return referenceHints_[index & (kReferenceHints - 1)]; }
  // The object table still holds the hint's object at the hint's index (a table
  // changed behind the archive's back may not).
  bool Holds(const ReferenceHint& hint) const {
    return tables_ != nullptr && hint.index < tables_->objects.Size() && tables_->objects[hint.index] == hint.object;
  }
  bool FindReferenceIndex(const KvObject* object, uint32_t& index);
  void ForgetReferences() {
    for (ReferenceHint& hint : referenceHints_) hint = ReferenceHint{};
  }
  // Bytes move through one buffer: pending writes, or read-ahead of the store. At
  // 1 MiB a save hands the kernel few enough writes that their count stops showing
  // beside the copy (200 MB in 64 KiB writes took 58 ms here, in 1 MiB ones 45 ms).
  static constexpr uint32_t kBufferSize = 1u << 20;
  uint8_t* buffer_ = nullptr;
  uint8_t* cursor_ = nullptr;  // the next byte to write or read
  uint8_t* end_ = nullptr;     // saving: the buffer's end; loading: the end of what it holds
  // Where FastOrdered may read or write up to: end_ while values move unchanged in
  // that direction, otherwise buffer_ (which the cursor never lies before).
  uint8_t* readLimit_ = nullptr;
  uint8_t* writeLimit_ = nullptr;
  // Saving: bytes handed to the store (or dropped after a failure); loading: bytes
  // taken from the store. With the cursor, the position in the file.
  uint32_t stored_ = 0;
  uint32_t depth_ = 0;
  uint32_t totalSize_ = 0;
  bool hasTableBlock_ = false;
  uint32_t unknownClassCount_ = 0;
  KvArchiveError error_ = KvArchiveError::kNone;
  KvString errorDetail_;
  uint32_t errorOffset_ = 0;
};

// One line of text for an archive error ("truncated at byte 120: ...").
KvString KvDescribeArchiveError(const KvArchive& archive);

// How a save went: the result of KvSaveObject.
struct KvSaveResult {
  bool opened = false;   // the file archive opened (the two-pass protocol ran)
  bool written = false;  // every byte reached the file and it was closed cleanly
};

// Saves `root` to `path` in two passes: a counting archive over a null store
// collects class versions, names and objects; the file archive then writes the
// header, the table block and the object stream (little-endian, version 1710).
// The file store makes the save atomic: `path` changes only when the whole
// archive was written (result->written). Returns false when `root` is null or the
// file cannot be opened.
bool KvSaveObject(KvObject* root, const char* path, void (*progress)(float), float interval,
                  KvSaveResult* result = nullptr);

// The registry of archives that runtime shut-down closes and releases.
void KvArchiveRegistryStartup();
void KvArchiveRegistryShutdown();
// Enters an archive (allocated with new) so that shut-down closes and deletes it.
void KvArchiveRegistryAdd(KvArchive* archive);
