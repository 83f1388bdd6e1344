#include "kv/Archive.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "kv/Version.h"

namespace {

constexpr bool kMachineIsLittleEndian = std::endian::native == std::endian::little;

// Smallest number of bytes one first-written object takes in the object stream:
// its index, its class name and its instance size.
constexpr uint32_t kMinObjectBytes = 12;

void ReverseBytes(uint8_t* bytes, uint32_t size) {
  for (uint32_t i = 0; i < size / 2; ++i) {
    const uint8_t b = bytes[i];
    bytes[i] = bytes[size - 1 - i];
    bytes[size - 1 - i] = b;
  }
}

KvArray<KvArchive*>* g_archiveRegistry = nullptr;

}  // namespace

KvArchive::KvArchive(KvArchiveStore* store, uint32_t mode, uint32_t byteOrder)
    : store_(store), mode_(mode), byteOrder_(byteOrder) {}

KvArchive::~KvArchive() { Close(); }

// ---- Errors ----------------------------------------------------------------------

void KvArchive::Fail(KvArchiveError error, const char* detail) {
  if (error_ == KvArchiveError::kNone) {
    error_ = error;
    errorDetail_ = KvString(detail);
    errorOffset_ = Position();
  }
  valid_ = false;
  UpdateLimits();
}

KvString KvDescribeArchiveError(const KvArchive& archive) {
  char line[640];
  const char* detail = archive.GetErrorDetail();
  switch (archive.GetError()) {
    case KvArchiveError::kNone:
      std::snprintf(line, sizeof line, "valid");
      break;
    case KvArchiveError::kCannotOpen:
      std::snprintf(line, sizeof line, "cannot be opened: %s", detail);
      break;
    case KvArchiveError::kNotAnArchive:
      std::snprintf(line, sizeof line, "not a KVR archive: %s", detail);
      break;
    case KvArchiveError::kUnsupportedVersion:
      std::snprintf(line, sizeof line, "unsupported archive version: %s", detail);
      break;
    case KvArchiveError::kTruncated:
      std::snprintf(line, sizeof line, "truncated at byte %u: %s", archive.GetErrorOffset(), detail);
      break;
    case KvArchiveError::kCorrupt:
      std::snprintf(line, sizeof line, "corrupt at byte %u: %s", archive.GetErrorOffset(), detail);
      break;
    case KvArchiveError::kWriteFailed:
      std::snprintf(line, sizeof line, "write failed at byte %u: %s", archive.GetErrorOffset(), detail);
      break;
  }
  return KvString(line);
}

// ---- Raw transfer ------------------------------------------------------------------

void KvArchive::UpdateLimits() {
  const bool unchanged = valid_ && !swap_;
  readLimit_ = unchanged && IsLoading() && progressCallback_ == nullptr ? end_ : buffer_;
  writeLimit_ = unchanged && IsSaving() ? end_ : buffer_;
}

uint32_t KvArchive::Position() const {
  return IsLoading() ? stored_ - static_cast<uint32_t>(end_ - cursor_) : stored_ + static_cast<uint32_t>(cursor_ - buffer_);
}

uint8_t* KvArchive::WindowAfterMove(uint32_t count) {
  if (count > kBufferSize) return nullptr;
  if (writeLimit_ != buffer_) {
    Flush();
  } else if (readLimit_ != buffer_) {
    // Keep the unread bytes, moved to the front, and read on behind them.
    const uint32_t held = static_cast<uint32_t>(end_ - cursor_);
    const uint32_t toRead = totalSize_ - stored_ < kBufferSize - held ? totalSize_ - stored_ : kBufferSize - held;
    if (held + toRead < count) return nullptr;
    std::memmove(buffer_, cursor_, held);
    if (!store_->Read(buffer_ + held, toRead)) {
      cursor_ = buffer_;  // the failure lies at the first unread byte
      end_ = buffer_ + held;
      Fail(KvArchiveError::kTruncated, "the store returned fewer bytes than its size promised");
      return nullptr;
    }
    stored_ += toRead;
    cursor_ = buffer_;
    end_ = buffer_ + held + toRead;
    UpdateLimits();
  }
  if (readLimit_ - cursor_ >= static_cast<std::ptrdiff_t>(count)) return cursor_;
  if (writeLimit_ - cursor_ >= static_cast<std::ptrdiff_t>(count)) return cursor_;
  return nullptr;
}

bool KvArchive::Refill() {
  const uint32_t toRead = totalSize_ - stored_ < kBufferSize ? totalSize_ - stored_ : kBufferSize;
  if (toRead == 0 || !store_->Read(buffer_, toRead)) {
    Fail(KvArchiveError::kTruncated, "the store returned fewer bytes than its size promised");
    return false;
  }
  stored_ += toRead;
  cursor_ = buffer_;
  end_ = buffer_ + toRead;
  UpdateLimits();
  return true;
}

bool KvArchive::ReadBytes(void* bytes, uint32_t count) {
  if (!valid_) return false;
  if (count > BytesLeft()) {
    Fail(KvArchiveError::kTruncated, "the file ends inside a value");
    return false;
  }
  auto* out = static_cast<uint8_t*>(bytes);
  uint32_t left = count;
  while (left > 0) {
    if (cursor_ == end_) {
      if (left >= kBufferSize) {  // large blocks go straight from the store
        if (!store_->Read(out, left)) {
          Fail(KvArchiveError::kTruncated, "the store returned fewer bytes than its size promised");
          return false;
        }
        stored_ += left;
        return true;
      }
      if (!Refill()) return false;
    }
    const uint32_t available = static_cast<uint32_t>(end_ - cursor_);
    const uint32_t take = left < available ? left : available;
    std::memcpy(out, cursor_, take);
    cursor_ += take;
    out += take;
    left -= take;
  }
  return true;
}

void KvArchive::Flush() {
  if (!IsSaving() || cursor_ == buffer_ || store_ == nullptr) return;
  const uint32_t pending = static_cast<uint32_t>(cursor_ - buffer_);
  cursor_ = buffer_;
  stored_ += pending;  // counted even when a failure drops them: positions stay put
  if (valid_ && !store_->Write(buffer_, pending)) Fail(KvArchiveError::kWriteFailed, "the store refused the bytes");
}

void KvArchive::WriteBytes(const void* bytes, uint32_t count) {
  if (!valid_ || count == 0) return;
  if (count > static_cast<uint32_t>(end_ - cursor_)) Flush();
  if (!valid_) return;
  if (count >= kBufferSize) {  // large blocks go straight to the store
    if (!store_->Write(bytes, count)) {
      Fail(KvArchiveError::kWriteFailed, "the store refused the bytes");
      return;
    }
    stored_ += count;
  } else {
    std::memcpy(cursor_, bytes, count);
    cursor_ += count;
  }
}

void KvArchive::CountProgress(uint32_t bytes) {
  if (progressCallback_ == nullptr) return;
  bytesProcessed_ += static_cast<int32_t>(bytes);
  progress_ = static_cast<float>(bytesProcessed_) / totalBytes_;
  if (progress_ - lastReportedProgress_ >= progressThreshold_) {
    progressCallback_(progress_);
    lastReportedProgress_ = progress_;
  }
}

void KvArchive::SerializeOrdered(void* value, uint32_t size) {
  if (!valid_) return;
  if (IsLoading()) {
    uint8_t bytes[8];
    if (!ReadBytes(bytes, size)) return;
    if (swap_) ReverseBytes(bytes, size);
    std::memcpy(value, bytes, size);
    CountProgress(size);
  } else {
    uint8_t bytes[8];
    std::memcpy(bytes, value, size);
    if (swap_) ReverseBytes(bytes, size);  // the caller's value is never altered
    WriteBytes(bytes, size);
  }
}

// ---- Values --------------------------------------------------------------------------

void KvArchive::Serialize(uint8_t& value) { SerializeOrdered(&value, 1); }

void KvArchive::Serialize(bool& value) {
  uint32_t word = value ? 1 : 0;
  if (IsLoading()) {
    if (!valid_) return;
    if (!ReadBytes(&word, 4)) return;
    if (swap_) ReverseBytes(reinterpret_cast<uint8_t*>(&word), 4);
    // Counted like a u8, as the format's progress rule says.
    CountProgress(1);
    value = word == 1;
  } else {
    SerializeOrdered(&word, 4);
  }
}

void KvArchive::SkipLegacyPrefix() {
  if (IsLoading() && archiveVersion_ < kKvArchiveVersionClassTable) {
    uint16_t ignored = 0;
    Serialize(ignored);
  }
}

void KvArchive::Serialize(KvString& value) {
  if (!valid_) return;
  SkipLegacyPrefix();
  uint32_t length = value.Length();
  Serialize(length);
  if (IsLoading()) {
    if (!valid_) return;
    if (length > BytesLeft()) {
      Fail(KvArchiveError::kTruncated, "a string is longer than the bytes left");
      return;
    }
    KvString loaded;
    if (length > 0 && static_cast<uint32_t>(end_ - cursor_) >= length) {
      // The whole string is in the buffer: copy it from there.
      loaded.Assign(reinterpret_cast<const char*>(cursor_), length);
      cursor_ += length;
    } else if (length > 0) {
      auto* bytes = static_cast<char*>(KvAllocate(length));
      if (ReadBytes(bytes, length)) loaded.Assign(bytes, length);
      KvFree(bytes, length);
    }
    value.Swap(loaded);
  } else {
    WriteBytes(value.Data(), length);
  }
}

void KvArchive::WriteName(const KvName& name) {
  NameClassVersion();
  const KvString& text = name.GetAsString();
  // Interned names are found by their entry; the text confirms the entry (an entry
  // freed and reused for other text since it was indexed would not match).
  const KvName::Node* node = name.GetNode();
  uint32_t index = node != nullptr ? nameEntries_.Find(node) : kKvNullObjectIndex;
  if (index >= tables_->names.Size() || !(tables_->names[index].text == text)) {
    index = AddName(text.View(), text.Length());
    if (node != nullptr) nameEntries_.Insert(node, index);
  }
  Serialize(index);
}

void KvArchive::Serialize(KvName& value) {
  if (!valid_) return;
  if (IsSaving()) {
    WriteName(value);
    return;
  }
  value.AttachTo(nullptr);  // release the current attachment
  const uint16_t version = NameClassVersion();
  if (!valid_) return;
  if (version != 0) {
    uint32_t index = 0;
    Serialize(index);
    if (!valid_) return;
    if (index >= tables_->names.Size()) {
      Fail(KvArchiveError::kCorrupt, "a name index lies beyond the name table");
      return;
    }
    value = tables_->names[index].name;
  } else {
    KvString text;
    Serialize(text);
    if (valid_) value.SetName(text.View());
  }
}

void KvArchive::SerializeRaw(void* bytes, uint32_t count) {
  if (!valid_) return;
  if (IsLoading()) {
    ReadBytes(bytes, count);
  } else {
    WriteBytes(bytes, count);
  }
}

void KvArchive::SerializeWords(void* words, uint64_t count) {
  if (!valid_) return;
  auto* bytes = static_cast<uint8_t*>(words);
  const uint64_t size = count * 4;
  // One block when nothing has to be done value by value: no byte swapping on the
  // way out (the caller's values are never altered), no progress to report, and,
  // when loading, every byte present (so a truncation is reported at the value it
  // cuts, as value by value would).
  const bool block = IsLoading() ? progressCallback_ == nullptr && size <= BytesLeft() : !swap_ && size <= UINT32_MAX;
  if (!block) {
    for (uint64_t i = 0; i < count && valid_; ++i) {
      if (!FastOrdered(bytes + 4 * i, 4)) SerializeOrdered(bytes + 4 * i, 4);
    }
    return;
  }
  if (IsSaving()) {
    WriteBytes(bytes, static_cast<uint32_t>(size));
    return;
  }
  if (!ReadBytes(bytes, static_cast<uint32_t>(size)) || !swap_) return;
  for (uint64_t i = 0; i < count; ++i) ReverseBytes(bytes + 4 * i, 4);
}

bool KvArchive::SerializeCount(uint32_t& count, uint32_t minElementBytes, uint64_t elementSize) {
  if (!valid_) return false;
  SkipLegacyPrefix();
  Serialize(count);
  if (IsLoading()) CheckCount(count, minElementBytes, elementSize);
  return valid_;
}

bool KvArchive::CheckCount(uint32_t count, uint32_t minElementBytes, uint64_t elementSize) {
  if (!valid_) return false;
  char detail[128];
  if (minElementBytes > 0 && count > BytesLeft() / minElementBytes) {
    std::snprintf(detail, sizeof detail, "a count of %u is larger than the bytes left can hold", count);
    Fail(KvArchiveError::kCorrupt, detail);
  } else if (elementSize > 0 && count > UINT32_MAX / elementSize) {
    std::snprintf(detail, sizeof detail, "a count of %u elements of %llu bytes is too large to hold in memory", count,
                  static_cast<unsigned long long>(elementSize));
    Fail(KvArchiveError::kCorrupt, detail);
  }
  return valid_;
}

// ---- Class versions --------------------------------------------------------------------

namespace {

// Same text up to and including the terminator, reading neither past its end.
bool SameText(const char* a, const char* b) {
  for (uint32_t i = 0;; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == '\0') return true;
  }
}

// Every bit of the address reaches the low bits the mask keeps: addresses a
// fixed stride apart (objects allocated one after another) spread evenly.
uint32_t AddressHash(const void* address, uint32_t mask) {
  uint64_t bits = reinterpret_cast<uintptr_t>(address);
  bits ^= bits >> 33;
  bits *= 0xFF51AFD7ED558CCDull;
  bits ^= bits >> 33;
  return static_cast<uint32_t>(bits) & mask;
}

}  // namespace

const uint16_t* KvArchive::RememberedClassVersion(const char* className) const {
  constexpr uint32_t mask = kClassVersionHints - 1;
  for (uint32_t at = AddressHash(className, mask); classVersionHints_[at].address != nullptr; at = (at + 1) & mask) {
    const ClassVersionHint& hint = classVersionHints_[at];
    if (hint.address == className) return SameText(className, hint.text) ? &hint.version : nullptr;
  }
  return nullptr;
}

void KvArchive::RememberClassVersion(const char* className, uint16_t version) {
  constexpr uint32_t mask = kClassVersionHints - 1;
  const size_t length = std::strlen(className);
  if (length >= sizeof classVersionHints_[0].text) return;
  uint32_t at = AddressHash(className, mask);
  while (classVersionHints_[at].address != nullptr && classVersionHints_[at].address != className) {
    at = (at + 1) & mask;
  }
  ClassVersionHint& hint = classVersionHints_[at];
  if (hint.address == nullptr) {
    if (classVersionHintCount_ == kClassVersionHints * 3 / 4) return;  // enough remembered
    ++classVersionHintCount_;
  }
  hint.address = className;
  hint.version = version;
  std::memcpy(hint.text, className, length + 1);
}

void KvArchive::ForgetClassVersions() {
  for (ClassVersionHint& hint : classVersionHints_) hint = ClassVersionHint{};
  classVersionHintCount_ = 0;
  nameVersionKnown_ = false;
}

uint16_t KvArchive::NameClassVersion() {
  if (nameVersionKnown_) return nameVersion_;
  const uint16_t version = SerializeClassVersion("KvName", true, 1);
  // Archives that read class versions in-line read this one anew each time.
  nameVersionKnown_ = tables_ != nullptr && (IsSaving() || archiveVersion_ >= kKvArchiveVersionClassTable);
  nameVersion_ = version;
  return version;
}

uint16_t KvArchive::SerializeClassVersion(const char* className, bool useExplicitVersion,
                                          uint16_t explicitVersion) {
  if (tables_ == nullptr) return 0;
  if (IsLoading() && archiveVersion_ < kKvArchiveVersionClassTable) {
    uint16_t version = 0;
    Serialize(version);
    return version;
  }
  // Once a class is recorded (saving) or the table is read (loading), its answer
  // never changes: every class's Serialize asks again for each object.
  if (const uint16_t* remembered = RememberedClassVersion(className)) return *remembered;
  const uint32_t length = static_cast<uint32_t>(std::strlen(className));
  uint16_t version = 0;
  if (IsSaving()) {
    if (const uint16_t* recorded = tables_->classVersions.Find(className, length)) {
      version = *recorded;
    } else {
      version = explicitVersion;
      if (!useExplicitVersion) {
        KvClass* cls = KvFindClass(KvName(className));
        version = cls != nullptr ? cls->GetVersion() : 0;
      }
      tables_->classVersions.Insert(className, length, version);
    }
  } else if (const uint16_t* found = tables_->classVersions.Find(className, length)) {
    version = *found;
  }
  RememberClassVersion(className, version);
  return version;
}

// ---- Tables ------------------------------------------------------------------------------

namespace {

// The slots of an open-addressed table of `capacity` slots, doubled (64 at
// first, into `grown`): each used slot moves to the first free place from its
// home. The old slots are left for the caller to free.
template <class Slot, class Used, class Home>
Slot* GrowSlots(const Slot* old, uint32_t capacity, uint32_t& grown, Used used, Home home) {
  grown = capacity == 0 ? 64 : capacity * 2;
  auto* fresh = static_cast<Slot*>(KvAllocate(KvBlockBytes(grown, sizeof(Slot))));
  for (uint32_t i = 0; i < grown; ++i) fresh[i] = Slot{};
  const uint32_t mask = grown - 1;
  for (uint32_t i = 0; i < capacity; ++i) {
    if (!used(old[i])) continue;
    uint32_t at = home(old[i], mask);
    while (used(fresh[at])) at = (at + 1) & mask;
    fresh[at] = old[i];
  }
  return fresh;
}

}  // namespace

uint32_t KvArchive::AddressIndex::Find(const void* key) const {
  if (slots == nullptr) return kKvNullObjectIndex;
  const uint32_t mask = capacity - 1;
  for (uint32_t at = AddressHash(key, mask); slots[at].key != nullptr; at = (at + 1) & mask) {
    if (slots[at].key == key) return slots[at].index;
  }
  return kKvNullObjectIndex;
}

void KvArchive::AddressIndex::Insert(const void* key, uint32_t index) {
  if (count + 1 > capacity / 2) {
    uint32_t grown = 0;
    Slot* fresh = GrowSlots(slots, capacity, grown, [](const Slot& slot) { return slot.key != nullptr; },
                            [](const Slot& slot, uint32_t mask) { return AddressHash(slot.key, mask); });
    const uint32_t kept = count;
    Clear();
    slots = fresh;
    capacity = grown;
    count = kept;
  }
  const uint32_t mask = capacity - 1;
  uint32_t at = AddressHash(key, mask);
  while (slots[at].key != nullptr && slots[at].key != key) at = (at + 1) & mask;
  if (slots[at].key == nullptr) ++count;
  slots[at] = Slot{key, index};
}

void KvArchive::AddressIndex::CopyFrom(const AddressIndex& other) {
  Clear();
  if (other.slots == nullptr) return;
  slots = static_cast<Slot*>(KvAllocate(KvBlockBytes(other.capacity, sizeof(Slot))));
  std::memcpy(slots, other.slots, KvBlockBytes(other.capacity, sizeof(Slot)));
  capacity = other.capacity;
  count = other.count;
}

void KvArchive::AddressIndex::Clear() {
  if (slots != nullptr) KvFree(slots, KvBlockBytes(capacity, sizeof(Slot)));
  slots = nullptr;
  capacity = count = 0;
}

uint32_t KvArchive::IndexOfObject(const KvObject* object) const {
  if (tables_ == nullptr || object == nullptr) return kKvNullObjectIndex;
  const KvArray<KvObject*>& objects = tables_->objects;
  // Every registered object is indexed by address at its first index in table
  // order, which is what a search of the table in index order would answer. The
  // search remains for a table changed behind the archive's back (an entry
  // cleared, its address reused).
  const uint32_t found = objectIndex_.Find(object);
  if (found == kKvNullObjectIndex) return found;
  if (found < objects.Size() && objects[found] == object) return found;
  for (uint32_t i = 0; i < objects.Size(); ++i) {
    if (objects[i] == object) return i;
  }
  return kKvNullObjectIndex;
}

uint32_t KvArchive::RegisterObject(KvObject* object, uint32_t index) {
  if (object == nullptr || tables_ == nullptr) return kKvNullObjectIndex;
  KvArray<KvObject*>& objects = tables_->objects;
  if (index == kKvNullObjectIndex) {
    const uint32_t found = IndexOfObject(object);
    if (found != kKvNullObjectIndex) return found;
    objects.PushBack(object);
    index = objects.Size() - 1;
  } else {
    while (objects.Size() <= index) objects.PushBack(nullptr);
    // What the hints say of this object, of the one it replaces and of this index
    // may no longer hold.
    HintFor(object) = ReferenceHint{};
    if (objects[index] != nullptr) HintFor(objects[index]) = ReferenceHint{};
    HintFor(index) = ReferenceHint{};
    objects[index] = object;
  }
  // The first index in table order is the one an address finds.
  if (index < objectIndex_.Find(object)) objectIndex_.Insert(object, index);
  return index;
}

KvObject* KvArchive::ObjectAt(uint32_t index) const {
  if (tables_ == nullptr || index >= tables_->objects.Size()) return nullptr;
  return tables_->objects[index];
}

namespace {

uint32_t TextHash(const char* text, uint32_t length) { return static_cast<uint32_t>(KvKeyedHashString(text, length)); }

}  // namespace

void KvArchive::IndexNextName(uint32_t hash) {
  if (2 * (namesIndexed_ + 1) > textCapacity_) {
    uint32_t grown = 0;
    TextSlot* slots =
        GrowSlots(textSlots_, textCapacity_, grown, [](const TextSlot& slot) { return slot.position != 0; },
                  [](const TextSlot& slot, uint32_t mask) { return slot.hash & mask; });
    const uint32_t indexed = namesIndexed_;
    ClearTextIndex();
    textSlots_ = slots;
    textCapacity_ = grown;
    namesIndexed_ = indexed;
  }
  uint32_t at = hash & (textCapacity_ - 1);
  while (textSlots_[at].position != 0) at = (at + 1) & (textCapacity_ - 1);
  textSlots_[at] = TextSlot{hash, ++namesIndexed_};
}

void KvArchive::ClearTextIndex() {
  if (textSlots_ != nullptr) KvFree(textSlots_, KvBlockBytes(textCapacity_, sizeof(TextSlot)));
  textSlots_ = nullptr;
  textCapacity_ = namesIndexed_ = 0;
}

uint32_t KvArchive::FindNameIndex(const char* text, uint32_t length, uint32_t hash) {
  const KvArray<KvArchiveNameEntry>& names = tables_->names;
  // Names copied from another archive are indexed when a text is first looked up.
  while (namesIndexed_ < names.Size()) {
    const KvString& indexed = names[namesIndexed_].text;
    IndexNextName(TextHash(indexed.View(), indexed.Length()));
  }
  if (textSlots_ == nullptr) return kKvNullObjectIndex;
  for (uint32_t at = hash & (textCapacity_ - 1); textSlots_[at].position != 0; at = (at + 1) & (textCapacity_ - 1)) {
    if (textSlots_[at].hash != hash) continue;
    const KvString& candidate = names[textSlots_[at].position - 1].text;
    if (candidate.Length() == length && (length == 0 || std::memcmp(candidate.Data(), text, length) == 0)) {
      return textSlots_[at].position - 1;
    }
  }
  return kKvNullObjectIndex;
}

uint32_t KvArchive::AddName(const char* text, uint32_t length) {
  if (tables_ == nullptr) return 0;
  // The index gives the same answer as a search of the table in index order: every
  // text occurs once in the table. (Loading archives keep no index.)
  const uint32_t hash = IsSaving() ? TextHash(text, length) : 0;
  if (IsSaving()) {
    const uint32_t found = FindNameIndex(text, length, hash);
    if (found != kKvNullObjectIndex) return found;
  }
  tables_->names.PushBack(KvArchiveNameEntry{KvString(text, length), KvName()});
  if (IsSaving()) IndexNextName(hash);
  return tables_->names.Size() - 1;
}

KvName KvArchive::NameAt(uint32_t index) const {
  if (tables_ == nullptr || index >= tables_->names.Size()) return KvName();
  return tables_->names[index].name;
}

void KvArchive::CopyTablesFrom(KvArchive& other) { AdoptTables(other, false); }

void KvArchive::TakeTablesFrom(KvArchive& other) { AdoptTables(other, true); }

void KvArchive::AdoptTables(KvArchive& other, bool take) {
  if (tables_ == nullptr || other.tables_ == nullptr) return;
  tables_->classVersions.CopyBucketsFrom(other.tables_->classVersions);
  ForgetClassVersions();
  ClearTextIndex();
  // The other archive's name entries find the same indexes here.
  if (take) {
    tables_->names.Clear();
    tables_->names.Swap(other.tables_->names);
    nameEntries_.Clear();
    std::swap(nameEntries_, other.nameEntries_);
    other.ClearTextIndex();
  } else {
    tables_->names = other.tables_->names;
    nameEntries_.CopyFrom(other.nameEntries_);
  }
  tables_->objectCount = other.tables_->objects.Size();
  WriteTableBlock();
}

void KvArchive::SetProgressCallback(void (*callback)(float), float threshold) {
  if (!IsLoading()) return;
  progressCallback_ = callback;
  progressThreshold_ = threshold;
  UpdateLimits();
}

// ---- Contexts ----------------------------------------------------------------------------

KvArchiveContext* KvArchive::GetContext(const void* key) const {
  for (const ContextEntry& entry : contexts_) {
    if (entry.key == key) return entry.context;
  }
  return nullptr;
}

void KvArchive::SetContext(const void* key, KvArchiveContext* context) {
  for (ContextEntry& entry : contexts_) {
    if (entry.key != key) continue;
    if (entry.context != context) delete entry.context;
    entry.context = context;
    return;
  }
  contexts_.PushBack(ContextEntry{key, context});
}

// ---- Open and close --------------------------------------------------------------------

bool KvArchive::Open() {
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArchiveTables)));
  tables_ = ::new (memory) KvArchiveTables();
  buffer_ = static_cast<uint8_t*>(KvAllocate(kBufferSize));
  cursor_ = buffer_;
  end_ = IsSaving() ? buffer_ + kBufferSize : buffer_;
  stored_ = 0;
  if (IsSaving()) {
    archiveVersion_ = kKvRuntimeVersion;
    licenseeName_ = KvString(kKvLicenseeName);
    licenseeProjectName_ = KvString(kKvLicenseeProjectName);
    licenseeVersion_ = kKvLicenseeVersion;
    store_->OpenForWriting();
    if (!store_->IsValid()) {
      Fail(KvArchiveError::kCannotOpen, "the store cannot be opened for writing");
      return false;
    }
    valid_ = true;
    if (byteOrder_ != 0) byteOrder_ = 1;
    swap_ = (byteOrder_ == 1) == kMachineIsLittleEndian;
    UpdateLimits();
    const uint8_t magic[4] = {'K', 'A', 'V', static_cast<uint8_t>(byteOrder_ == 0 ? 'E' : 'B')};
    WriteBytes(magic, 4);
    Serialize(archiveVersion_);
    Serialize(licenseeName_);
    Serialize(licenseeProjectName_);
    Serialize(licenseeVersion_);
    Flush();
    if (valid_ && !store_->IsValid()) Fail(KvArchiveError::kWriteFailed, "the store became unusable");
    return valid_;
  }

  store_->OpenForReading();
  if (!store_->IsValid()) {
    Fail(KvArchiveError::kCannotOpen, "the store cannot be opened for reading");
    return false;
  }
  valid_ = true;
  UpdateLimits();
  totalSize_ = store_->Size();
  totalBytes_ = static_cast<float>(totalSize_);
  uint8_t magic[4] = {0, 0, 0, 0};
  if (totalSize_ <= 4) {
    Fail(KvArchiveError::kNotAnArchive, "the file is 4 bytes long or shorter");
  } else if (ReadBytes(magic, 4)) {
    if (magic[0] != 'K' || magic[1] != 'A' || magic[2] != 'V' || (magic[3] != 'E' && magic[3] != 'B')) {
      Fail(KvArchiveError::kNotAnArchive, "the file does not start with KAVE or KAVB");
    }
  }
  if (valid_) {
    byteOrder_ = magic[3] == 'E' ? 0 : 1;
    swap_ = (byteOrder_ == 1) == kMachineIsLittleEndian;
    UpdateLimits();
    Serialize(archiveVersion_);
    if (valid_ && archiveVersion_ > kKvRuntimeVersion) {
      char detail[96];
      std::snprintf(detail, sizeof detail, "version %u is newer than %u", archiveVersion_, kKvRuntimeVersion);
      Fail(KvArchiveError::kUnsupportedVersion, detail);
    }
  }
  if (valid_) {
    Serialize(licenseeName_);
    Serialize(licenseeProjectName_);
    Serialize(licenseeVersion_);
  }
  if (valid_ && archiveVersion_ >= kKvArchiveVersionTableBlock) {
    hasTableBlock_ = true;
    ReadTableBlock();
  }
  if (!valid_) {
    store_->Close();
    totalBytes_ = 0.0f;
    return false;
  }
  return true;
}

bool KvArchive::ReadTableBlock() {
  uint16_t hasClassTable = 0;
  Serialize(hasClassTable);
  if (hasClassTable != 0) {
    uint32_t bucketCount = 0;
    Serialize(bucketCount);
    if (valid_ && bucketCount > KvClassVersionTable::kBucketCount) {
      Fail(KvArchiveError::kCorrupt, "the class table has more than 128 buckets");
    }
    // Every class name once: a name in two entries has no one version. The check
    // looks the name up by its own hash, whichever bucket the file put it in.
    KvClassVersionTable seen;
    for (uint32_t b = 0; b < bucketCount && valid_; ++b) {
      uint32_t bucket = 0;
      uint32_t entryCount = 0;
      Serialize(bucket);
      if (valid_ && bucket >= KvClassVersionTable::kBucketCount) {
        Fail(KvArchiveError::kCorrupt, "a class table bucket index is 128 or more");
        break;
      }
      Serialize(entryCount);
      if (valid_ && entryCount > BytesLeft() / 6) {
        Fail(KvArchiveError::kCorrupt, "a class table bucket holds more entries than the bytes left");
        break;
      }
      for (uint32_t e = 0; e < entryCount && valid_; ++e) {
        KvString className;
        uint16_t version = 0;
        Serialize(className);
        Serialize(version);
        if (!valid_) break;
        if (!seen.Insert(className, 0)) {
          char detail[640];
          std::snprintf(detail, sizeof detail, "the class table names class \"%s\" twice", className.View());
          Fail(KvArchiveError::kCorrupt, detail);
          break;
        }
        tables_->classVersions.AppendToBucket(bucket, className, version);
      }
    }
    tables_->classVersions.ResetCounters();
  }

  uint32_t nameCount = 0;
  SerializeCount(nameCount, 4, sizeof(KvArchiveNameEntry));
  if (valid_) tables_->names.Reserve(nameCount);
  for (uint32_t i = 0; i < nameCount && valid_; ++i) {
    SkipLegacyPrefix();
    KvArchiveNameEntry entry{KvString(), KvName()};
    Serialize(entry.text);
    if (!valid_) break;
    entry.name.SetName(entry.text.View());
    tables_->names.PushBack(std::move(entry));
  }

  Serialize(tables_->objectCount);
  if (valid_ && tables_->objectCount > BytesLeft() / kMinObjectBytes) {
    Fail(KvArchiveError::kCorrupt, "the object count is larger than the object stream can hold");
  }
  if (valid_) {
    tables_->objects.Reserve(tables_->objectCount);
    objectStates_.Reserve(tables_->objectCount);
  }
  return valid_;
}

void KvArchive::WriteTableBlock() {
  uint16_t hasClassTable = 1;
  Serialize(hasClassTable);
  uint32_t bucketCount = 0;
  for (uint32_t b = 0; b < KvClassVersionTable::kBucketCount; ++b) {
    if (!tables_->classVersions.Bucket(b).Empty()) ++bucketCount;
  }
  Serialize(bucketCount);
  for (uint32_t b = 0; b < KvClassVersionTable::kBucketCount; ++b) {
    const auto& bucket = tables_->classVersions.Bucket(b);
    if (bucket.Empty()) continue;
    uint32_t index = b;
    uint32_t entryCount = bucket.Size();
    Serialize(index);
    Serialize(entryCount);
    for (const auto& entry : bucket) {
      KvString key = entry.key;
      uint16_t version = entry.value;
      Serialize(key);
      Serialize(version);
    }
  }
  uint32_t nameCount = tables_->names.Size();
  Serialize(nameCount);
  for (KvArchiveNameEntry& entry : tables_->names) Serialize(entry.text);
  Serialize(tables_->objectCount);
}

void KvArchive::Close() {
  Flush();
  stored_ = Position();
  if (buffer_ != nullptr) KvFree(buffer_, kBufferSize);
  buffer_ = cursor_ = end_ = nullptr;
  objectIndex_.Clear();
  nameEntries_.Clear();
  for (ClassHint& hint : classHints_) hint = ClassHint{};
  ForgetClassVersions();
  ForgetReferences();
  if (tables_ != nullptr) {
    // Last name first: a name whose text nothing else holds leaves the end of its
    // name-table bucket, which costs the same however crowded the bucket is.
    KvArray<KvArchiveNameEntry>& names = tables_->names;
    while (!names.Empty()) names.RemoveAt(names.Size() - 1);
    tables_->~KvArchiveTables();
    KvFree(tables_, static_cast<uint32_t>(sizeof(KvArchiveTables)));
    tables_ = nullptr;
  }
  ClearTextIndex();
  objectStates_.Clear();
  for (ContextEntry& entry : contexts_) delete entry.context;
  contexts_.Clear();
  licenseeName_.Clear();
  licenseeProjectName_.Clear();
  errorDetail_.Clear();
  if (store_ != nullptr) {
    const uint32_t size = store_->InstanceSize();
    store_->Close();
    store_->Destroy();
    KvFree(store_, size);
    store_ = nullptr;
  }
  valid_ = false;
  UpdateLimits();
}

// ---- Object references -------------------------------------------------------------------

void KvArchive::SerializeObjectReference(KvObject*& object, const KvClass* expected, bool owning) {
  if (!valid_ || tables_ == nullptr) return;
  if (IsLoading()) {
    LoadObjectReference(object, expected, owning);
    return;
  }
  if (object == nullptr) {
    uint32_t nullIndex = kKvNullObjectIndex;
    Serialize(nullIndex);
    return;
  }
  uint32_t index = kKvNullObjectIndex;
  if (ReferenceIndex(object, index)) {
    Serialize(index);
    return;
  }
  // The first reference: the object's index, then the object.
  index = RegisterObject(object, kKvNullObjectIndex);
  HintFor(object) = ReferenceHint{object, index, nullptr};
  Serialize(index);
  const KvClass* cls = object->ClassOf();
  WriteName(cls->GetName());
  uint32_t size = cls->GetSize();
  Serialize(size);
  object->Serialize(*this);
}

bool KvArchive::FindReferenceIndex(const KvObject* object, uint32_t& index) {
  if (!IsSaving() || tables_ == nullptr) return false;
  if (object == nullptr) {
    index = kKvNullObjectIndex;
    return true;
  }
  const uint32_t found = IndexOfObject(object);
  if (found == kKvNullObjectIndex) return false;
  HintFor(object) = ReferenceHint{const_cast<KvObject*>(object), found, nullptr};
  index = found;
  return true;
}

KvClass* KvArchive::FindClassOf(const KvName& className) {
  const KvName::Node* entry = className.GetNode();
  ClassHint& hint = classHints_[AddressHash(entry, kClassHints - 1)];
  if (entry != nullptr && hint.entry == entry) return hint.cls;
  KvClass* cls = KvFindClass(className);
  // Only a class found is remembered: its registration keeps the entry alive.
  if (cls != nullptr && entry != nullptr) hint = ClassHint{entry, cls};
  return cls;
}

void KvArchive::LoadObjectReference(KvObject*& object, const KvClass* expected, bool owning) {
  uint32_t index = kKvNullObjectIndex;
  Serialize(index);
  if (!valid_) return;
  if (index == kKvNullObjectIndex) {
    object = nullptr;
    return;
  }
  // An object met before by a reference without ownership and with the same
  // expectation: every check it passed then it passes again.
  if (KvObject* known = owning ? nullptr : KnownObject(index, expected)) {
    object = known;
    return;
  }
  char detail[160];
  KvObject* found = ObjectAt(index);
  if (found != nullptr) {
    if (expected != nullptr && !found->IsKindOf(expected)) {
      std::snprintf(detail, sizeof detail, "object %u is a %s where a %s is expected", index,
                    found->ClassOf()->GetName().GetAsCString(), expected->GetName().GetAsCString());
      Fail(KvArchiveError::kCorrupt, detail);
      return;
    }
    Claim(index, object, found, owning, expected);
    return;
  }

  // A first reference: the object itself follows.
  const bool indexPlausible = hasTableBlock_ ? index < tables_->objectCount
                                             : index <= tables_->objects.Size() + BytesLeft() / kMinObjectBytes;
  if (!indexPlausible) {
    std::snprintf(detail, sizeof detail, "object index %u lies beyond the object count", index);
    Fail(KvArchiveError::kCorrupt, detail);
    return;
  }
  if (index < objectStates_.Size() && objectStates_[index] == kReading) {
    std::snprintf(detail, sizeof detail, "object %u refers to itself while it is being read", index);
    Fail(KvArchiveError::kCorrupt, detail);
    return;
  }
  if (depth_ >= kMaxObjectDepth) {
    Fail(KvArchiveError::kCorrupt, "objects are nested too deeply");
    return;
  }

  KvName className;
  if (archiveVersion_ < kKvArchiveVersionTableBlock) {
    KvString text;
    Serialize(text);
    className.SetName(text.View());
  } else {
    Serialize(className);
  }
  uint32_t instanceSize = 0;
  Serialize(instanceSize);
  if (!valid_) return;

  KvClass* cls = FindClassOf(className);
  if (cls == nullptr || !cls->HasFactory()) {
    // The object's fields cannot be skipped: its size on disk is not stored.
    ++unknownClassCount_;
    return;
  }
  KvObject* created = cls->CreateObject();
  if (created == nullptr) return;

  while (objectStates_.Size() <= index) objectStates_.PushBack(kAbsent);
  objectStates_[index] = kReading;
  ++depth_;
  created->Serialize(*this);
  --depth_;
  RegisterObject(created, index);
  objectStates_[index] = kUnowned;

  if (expected != nullptr && !created->IsKindOf(expected)) {
    std::snprintf(detail, sizeof detail, "object %u is a %s where a %s is expected", index,
                  cls->GetName().GetAsCString(), expected->GetName().GetAsCString());
    Fail(KvArchiveError::kCorrupt, detail);
    return;  // the archive destroys it at Close
  }
  Claim(index, object, created, owning, expected);
}

void KvArchive::Claim(uint32_t index, KvObject*& object, KvObject* found, bool owning, const KvClass* expected) {
  while (objectStates_.Size() <= index) objectStates_.PushBack(kAbsent);
  if (owning) {
    if (objectStates_[index] == kOwned) {
      char detail[96];
      std::snprintf(detail, sizeof detail, "object %u has two owners", index);
      Fail(KvArchiveError::kCorrupt, detail);
      return;
    }
    objectStates_[index] = kOwned;
  } else if (objectStates_[index] == kAbsent) {
    objectStates_[index] = kUnowned;
  }
  object = found;
  if (!owning) HintFor(index) = ReferenceHint{found, index, expected};
}

void KvArchive::Disown(KvObject* object) {
  if (!IsLoading() || object == nullptr) return;
  const uint32_t index = IndexOfObject(object);
  if (index < objectStates_.Size() && objectStates_[index] == kOwned) objectStates_[index] = kUnowned;
}

bool KvArchive::FinishLoading(KvArray<KvObject*>& unowned) {
  if (!valid_ || !IsLoading() || tables_ == nullptr) return valid_;
  for (uint32_t i = 0; i < tables_->objects.Size(); ++i) {
    KvObject* object = tables_->objects[i];
    if (object != nullptr && (i >= objectStates_.Size() || objectStates_[i] != kOwned)) unowned.PushBack(object);
  }
  return valid_;
}

// A failed load leaves a partial graph that nobody else knows of. Owners first
// destroy what they own; then the objects nothing owns. Every loaded object is
// one or the other, and an owner holds on to what it claimed even when the load
// failed inside it, so each object is destroyed once.
void KvArchive::DestroyLoadedObjects() {
  ForgetReferences();
  KvArray<KvObject*>& objects = tables_->objects;
  for (uint32_t i = 0; i < objects.Size(); ++i) {
    const bool owned = i < objectStates_.Size() && objectStates_[i] == kOwned;
    if (owned) objects[i] = nullptr;
  }
  for (uint32_t i = 0; i < objects.Size(); ++i) {
    KvObject* object = objects[i];
    objects[i] = nullptr;
    delete object;
  }
}

KvObject* KvArchive::LoadRoot(const KvClass* expected, KvArray<KvObject*>& unowned) {
  KvObject* root = nullptr;
  SerializeObjectReference(root, expected, true);
  if (root == nullptr && valid_) Fail(KvArchiveError::kCorrupt, "the archive holds no root object");
  KvArray<KvObject*> found;
  if (FinishLoading(found)) {
    for (KvObject* object : found) unowned.PushBack(object);
    return root;
  }
  if (tables_ != nullptr) {
    delete root;  // and with it everything it owns
    DestroyLoadedObjects();
  }
  return nullptr;
}

// ---- Saving protocol -------------------------------------------------------------------------

bool KvSaveObject(KvObject* root, const char* path, void (*progress)(float), float interval,
                  KvSaveResult* result) {
  if (result != nullptr) *result = KvSaveResult{};
  if (root == nullptr) return false;

  KvArchive counting(KvArchiveStoreNull::Create(), KvArchive::kModeCount, 0);
  counting.Open();
  counting.SerializeObjectReference(root, nullptr, false);

  KvArchiveStoreFile* store = KvArchiveStoreFile::Create(path);
  KvArchive file(store, KvArchive::kModeSave, 0);
  file.Open();
  if (!file.IsValid()) {
    file.Close();
    counting.Close();
    return false;
  }
  file.TakeTablesFrom(counting);
  file.SetProgressCallback(progress, interval);
  file.SerializeObjectReference(root, nullptr, false);
  file.Flush();
  // Only a complete archive replaces the target; anything less leaves it as it was.
  const bool written = file.IsValid() && store->Commit();
  file.Close();
  counting.Close();
  if (result != nullptr) {
    result->opened = true;
    result->written = written;
  }
  return true;
}

// ---- Archive registry -----------------------------------------------------------------------

void KvArchiveRegistryStartup() {
  if (g_archiveRegistry != nullptr) return;
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvArray<KvArchive*>)));
  g_archiveRegistry = ::new (memory) KvArray<KvArchive*>();
}

void KvArchiveRegistryShutdown() {
  if (g_archiveRegistry == nullptr) return;
  for (KvArchive* archive : *g_archiveRegistry) {
    archive->Close();
    delete archive;
  }
  g_archiveRegistry->~KvArray<KvArchive*>();
  KvFree(g_archiveRegistry, static_cast<uint32_t>(sizeof(KvArray<KvArchive*>)));
  g_archiveRegistry = nullptr;
}

void KvArchiveRegistryAdd(KvArchive* archive) {
  if (g_archiveRegistry != nullptr && archive != nullptr) g_archiveRegistry->PushBack(archive);
}
