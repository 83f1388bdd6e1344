#include "kv/Name.h"

#include <cstring>
#include <new>

#include "kv/Object.h"

namespace {

// Built without allocating: it exists, empty, from program load to program exit.
KvNameTable g_nameTable;
KvName::List* g_nameList = nullptr;
bool g_running = false;
// Counts name-system start-ups; a name attached under an earlier one is inert.
uint32_t g_generation = 0;

// Constructed before start-up, hence unattached until KvNameStartup.
KvName g_nullName;
KvName g_defaultName;
KvName g_newActorName;

// Copies at most kKvNameMaxLength - 1 bytes of `text` up to its terminator,
// replacing "|" by "_" and a double quote by a single quote. Returns the length.
uint32_t CleanText(const char* text, char (&cleaned)[kKvNameMaxLength]) {
  uint32_t length = 0;
  if (text != nullptr) {
    while (length < kKvNameMaxLength - 1 && text[length] != '\0') {
      char c = text[length];
      if (c == '|') c = '_';
      if (c == '"') c = '\'';
      cleaned[length++] = c;
    }
  }
  cleaned[length] = '\0';
  return length;
}

KvRefString* EntryOf(KvName::Node* node) { return node->value; }

}  // namespace

KvName::KvName() {
  if (g_nullName.IsLive()) AttachTo(g_nullName.node_);
}

KvName::KvName(const KvName& other) {
  if (other.IsLive()) AttachTo(other.node_);
}

bool KvName::IsLive() const { return node_ != nullptr && g_running && generation_ == g_generation; }

KvName::KvName(const char* text) { SetName(text); }

KvName& KvName::operator=(const KvName& other) {
  if (this == &other) return *this;
  if (!other.IsLive()) {
    Release();
  } else {
    AttachTo(other.node_);
  }
  return *this;
}

KvName::~KvName() { Release(); }

void KvName::AttachTo(Node* node) {
  if (node == node_ && IsLive()) return;  // already holding exactly this reference
  Release();
  node_ = node;
  generation_ = g_generation;
  if (node_ != nullptr) ++EntryOf(node_)->refCount;
}

void KvName::SetName(const char* text) {
  Release();
  if (!g_running) return;
  char cleaned[kKvNameMaxLength];
  const uint32_t length = CleanText(text, cleaned);
  if (Node** found = g_nameTable.Find(cleaned, length); found != nullptr && *found != nullptr) {
    node_ = *found;
  } else {
    void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvRefString)));
    auto* entry = ::new (memory) KvRefString(cleaned, length);
    node_ = g_nameList->PushBack(entry);
    g_nameTable.Insert(cleaned, length, node_);
  }
  generation_ = g_generation;
  ++EntryOf(node_)->refCount;
}

void KvName::Release() {
  if (node_ == nullptr) return;
  if (!IsLive()) {  // the entry died with the name system it belonged to
    node_ = nullptr;
    return;
  }
  Node* node = node_;
  node_ = nullptr;
  KvRefString* entry = EntryOf(node);
  if (entry->refCount == 1) {
    g_nameTable.Remove(entry->text.View(), entry->text.Length());
    g_nameList->Remove(node);
    entry->refCount = 0;
    KvReleaseObject(entry);
    return;
  }
  --entry->refCount;
}

void KvName::AttachNullIfUnattached() const {
  if (!IsLive() && g_nullName.IsLive()) {
    node_ = g_nullName.node_;
    generation_ = g_generation;
    ++EntryOf(node_)->refCount;
  }
}

const KvString& KvName::GetAsString() const {
  static const KvString kEmpty;
  AttachNullIfUnattached();
  return IsLive() ? EntryOf(node_)->text : kEmpty;
}

const char* KvName::GetAsCString() const { return GetAsString().View(); }

bool KvName::operator==(const KvName& other) const {
  AttachNullIfUnattached();
  other.AttachNullIfUnattached();
  return GetNode() == other.GetNode();
}

bool KvName::operator==(const char* text) const {
  if (text == nullptr) return false;
  return GetAsString() == text;
}

uint32_t KvName::GetRefCount() const { return IsLive() ? EntryOf(node_)->refCount : 0; }

void KvNameStartup() {
  if (g_nameList != nullptr) return;
  void* memory = KvAllocate(static_cast<uint32_t>(sizeof(KvName::List)));
  g_nameList = ::new (memory) KvName::List();
  g_running = true;
  ++g_generation;
  g_nullName.SetName("");
  g_defaultName.SetName("Default");
  g_newActorName.SetName("NewActor");
}

void KvNameShutdown() {
  if (g_nameList == nullptr) return;
  g_nameTable.Clear();
  for (KvRefString*& entry : *g_nameList) {
    if (entry == nullptr) continue;
    entry->~KvRefString();
    KvFree(entry, static_cast<uint32_t>(sizeof(KvRefString)));
    entry = nullptr;
  }
  g_nameList->Clear();
  g_nameList->~KvList();
  KvFree(g_nameList, static_cast<uint32_t>(sizeof(KvName::List)));
  g_nameList = nullptr;
  g_running = false;
  // The start-up names are detached without releasing: their entries are gone.
  g_nullName.node_ = nullptr;
  g_defaultName.node_ = nullptr;
  g_newActorName.node_ = nullptr;
}

bool KvNameSystemRunning() { return g_running; }
KvNameTable& KvGetNameTable() { return g_nameTable; }
KvName::List* KvGetNameList() { return g_nameList; }
const KvName& KvNullName() { return g_nullName; }
const KvName& KvDefaultName() { return g_defaultName; }
const KvName& KvNewActorName() { return g_newActorName; }
