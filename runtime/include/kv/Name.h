// KvName: interned, reference-counted names.
//
// Every distinct text exists once, as a KvRefString entry on the global name list;
// a KvName is a pointer to that entry's list node. Copying, assigning and comparing
// names never touch the text. The name table (4096 buckets) maps text to node.
// Names constructed before runtime start-up stay unattached, and names that
// outlive runtime shut-down are inert: each name remembers the start-up it was
// attached in, so a survivor stays inert (reads as unattached, releases nothing)
// even when the runtime has started again since.
#pragma once

#include <cstdint>

#include "kv/List.h"
#include "kv/String.h"
#include "kv/StringMap.h"

class KvRefString;

// Text of at most this many bytes (terminator included) is kept; longer text is
// truncated to kKvNameMaxLength - 1 bytes.
inline constexpr uint32_t kKvNameMaxLength = 512;

class KvName {
 public:
  using List = KvList<KvRefString*>;
  using Node = List::Node;

  // Attached to the null name (empty text), once the name system runs.
  KvName();
  KvName(const KvName& other);
  // Cleans `text` ("|" becomes "_", a double quote a single quote) and interns it.
  explicit KvName(const char* text);
  explicit KvName(const KvString& text) : KvName(text.View()) {}
  KvName& operator=(const KvName& other);
  ~KvName();

  // Releases the current entry, then attaches to the entry of the cleaned text.
  void SetName(const char* text);
  // Releases the current entry, then attaches to `node` (taking a reference).
  void AttachTo(Node* node);

  // The entry's text; an unattached name reads as (and becomes) the null name.
  const KvString& GetAsString() const;
  const char* GetAsCString() const;

  // Same entry (an unattached name counts as the null name).
  bool operator==(const KvName& other) const;
  bool operator!=(const KvName& other) const { return !(*this == other); }
  // Same length and bytes as `text`, without cleaning; null text is never equal.
  bool operator==(const char* text) const;

  // The entry's node; null when unattached (or attached before the last shut-down).
  Node* GetNode() const { return IsLive() ? node_ : nullptr; }
  // Reference count of the entry (0 when unattached).
  uint32_t GetRefCount() const;

 private:
  bool IsLive() const;
  void Release();
  void AttachNullIfUnattached() const;

  friend void KvNameShutdown();

  mutable Node* node_ = nullptr;
  // The name system's generation (one per start-up) that node_ belongs to.
  mutable uint32_t generation_ = 0;
};

using KvNameTable = KvStringMap<KvName::Node*, 4096>;

// Creates the name list and the three start-up names (null name, "Default",
// "NewActor") unless the list exists. Called by runtime start-up.
void KvNameStartup();
// Empties the table, destroys every entry, frees the list and leaves surviving
// names inert. Called by runtime shut-down.
void KvNameShutdown();
bool KvNameSystemRunning();

// The global name table and list (list null outside start-up..shut-down).
KvNameTable& KvGetNameTable();
KvName::List* KvGetNameList();
// The three names created by start-up.
const KvName& KvNullName();
const KvName& KvDefaultName();
const KvName& KvNewActorName();
