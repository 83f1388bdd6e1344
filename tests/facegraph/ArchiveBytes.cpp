#include "ArchiveBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "kv/ArchiveStore.h"

namespace kvtest {
namespace {

// A store that writes into a vector; released by the archive like every store.
class VectorStore : public KvArchiveStore {
 public:
  explicit VectorStore(std::vector<uint8_t>* out) : out_(out) {}
  static VectorStore* Create(std::vector<uint8_t>* out) {
    return ::new (KvAllocate(static_cast<uint32_t>(sizeof(VectorStore)))) VectorStore(out);
  }
  bool IsValid() override { return true; }
  bool OpenForReading() override { return false; }
  bool OpenForWriting() override { return true; }
  bool Close() override { return true; }
  bool Read(void*, uint32_t) override { return false; }
  bool Write(const void* buffer, uint32_t count) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    out_->insert(out_->end(), bytes, bytes + count);
    return true;
  }
  uint32_t Tell() override { return static_cast<uint32_t>(out_->size()); }
  void Seek(uint32_t) override {}
  uint32_t Size() override { return static_cast<uint32_t>(out_->size()); }
  void Destroy() override { this->~VectorStore(); }
  uint32_t InstanceSize() override { return static_cast<uint32_t>(sizeof(VectorStore)); }

 private:
  std::vector<uint8_t>* out_;
};

}  // namespace

std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder) {
  std::vector<uint8_t> bytes;
  KvArchive counting(KvArchiveStoreNull::Create(), KvArchive::kModeCount, 0);
  counting.Open();
  counting.SerializeObjectReference(root, nullptr, false);
  KvArchive file(VectorStore::Create(&bytes), KvArchive::kModeSave, byteOrder);
  file.Open();
  file.CopyTablesFrom(counting);
  file.SerializeObjectReference(root, nullptr, false);
  const bool valid = file.IsValid();
  file.Close();
  counting.Close();
  if (!valid) bytes.clear();
  return bytes;
}

KvObject* LoadFromBytes(const std::vector<uint8_t>& bytes, const KvClass* expected, std::string* error) {
  // A private copy, exactly as long as the data, so over-reads show.
  auto* copy = new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)];
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  KvArchive archive(KvArchiveStoreMemory::Create(copy, static_cast<uint32_t>(bytes.size())), KvArchive::kModeLoad,
                    0);
  archive.Open();
  KvArray<KvObject*> unowned;
  KvObject* root = archive.IsValid() ? archive.LoadRoot(expected, unowned) : nullptr;
  EXPECT_TRUE(unowned.Empty()) << "the root owns everything it loaded";
  if (error != nullptr) *error = KvDescribeArchiveError(archive).View();
  archive.Close();
  delete[] copy;
  return root;
}

StreamBuilder& StreamBuilder::U8(uint8_t v) {
  stream_.push_back(v);
  return *this;
}
StreamBuilder& StreamBuilder::U16(uint16_t v) {
  U8(static_cast<uint8_t>(v));
  return U8(static_cast<uint8_t>(v >> 8));
}
StreamBuilder& StreamBuilder::U32(uint32_t v) {
  U16(static_cast<uint16_t>(v));
  return U16(static_cast<uint16_t>(v >> 16));
}
StreamBuilder& StreamBuilder::F32(float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, 4);
  return U32(bits);
}
StreamBuilder& StreamBuilder::Str(const std::string& text) {
  if (legacy_) U16(0);
  U32(static_cast<uint32_t>(text.size()));
  stream_.insert(stream_.end(), text.begin(), text.end());
  return *this;
}
StreamBuilder& StreamBuilder::Count(uint32_t count) {
  if (legacy_) U16(0);
  return U32(count);
}
StreamBuilder& StreamBuilder::Name(const std::string& text) {
  if (legacy_) {
    U16(0);  // the in-line "KvName" record: version 0, names as strings
    return Str(text);
  }
  for (uint32_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == text) return U32(i);
  }
  names_.push_back(text);
  return U32(static_cast<uint32_t>(names_.size() - 1));
}
StreamBuilder& StreamBuilder::Version(const std::string& className, uint16_t version) {
  if (legacy_) return U16(version);
  for (const auto& entry : versions_) {
    if (entry.first == className) return *this;
  }
  versions_.emplace_back(className, version);
  return *this;
}
StreamBuilder& StreamBuilder::Object(uint32_t index, const std::string& className, uint32_t instanceSize) {
  U32(index);
  Name(className);
  return U32(instanceSize);  // stored, never used by readers
}

std::vector<uint8_t> StreamBuilder::Finish(uint32_t objectCount) const {
  StreamBuilder out(legacy_);
  out.U8('K').U8('A').U8('V').U8('E');
  out.U32(legacy_ ? 1699 : 1710);
  out.Str("Tarnwell, Inc.");
  out.Str("Kavrel Rendering Archive");
  out.U32(1000);
  if (legacy_) {
    // 1600..1699: class versions are in-line, names are strings; empty tables.
    out.U16(0);
    out.Count(0);
  } else {
    out.U16(1);
    std::vector<std::vector<std::pair<std::string, uint16_t>>> buckets(KvClassVersionTable::kBucketCount);
    for (const auto& entry : versions_) {
      buckets[KvClassVersionTable::BucketOf(entry.first.data(), static_cast<uint32_t>(entry.first.size()))]
          .push_back(entry);
    }
    uint32_t used = 0;
    for (const auto& bucket : buckets) used += bucket.empty() ? 0 : 1;
    out.U32(used);
    for (uint32_t b = 0; b < buckets.size(); ++b) {
      if (buckets[b].empty()) continue;
      out.U32(b).U32(static_cast<uint32_t>(buckets[b].size()));
      for (const auto& entry : buckets[b]) out.Str(entry.first).U16(entry.second);
    }
    out.U32(static_cast<uint32_t>(names_.size()));
    for (const std::string& name : names_) out.Str(name);
  }
  out.U32(objectCount);
  out.stream_.insert(out.stream_.end(), stream_.begin(), stream_.end());
  return out.stream_;
}

}  // namespace kvtest
