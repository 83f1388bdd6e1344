// Test helpers: a fixture with the runtime started, saving and loading root objects,
// and building archive byte streams by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../archive/ArchiveFixtures.h"
#include "../runtime/RuntimeTest.h"
#include "../scene/StreamBuilder.h"
#include "kv/Archive.h"
#include "kv/FaceGraph.h"

namespace kvtest {

using RuntimeTest = ::RuntimeTest;

inline std::vector<uint8_t> SaveToBytes(KvObject* root, uint32_t byteOrder = 0) {
  return archive_test::SaveToBytes(root, byteOrder);
}

// A node of class T named `name`, added to `graph`.
template <typename T>
T* AddNode(KvFaceGraph& graph, const char* name) {
  T* node = new T;
  node->SetName(KvName(name));
  graph.AddNode(node);
  return node;
}

// Loads the root object, of kind T, from `bytes`: null when the archive is not valid
// afterwards, `error` then saying why.
template <typename T>
T* Load(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  return static_cast<T*>(archive_test::LoadFromBytes(bytes, error, T::StaticClass()));
}

// Whether `bytes` load as a T (which is released again).
template <typename T>
bool Loads(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  T* object = Load<T>(bytes, error);
  const bool loaded = object != nullptr;
  delete object;
  return loaded;
}

// Every proper prefix of `bytes` fails to load.
template <typename T>
void ExpectEveryCutFails(const std::vector<uint8_t>& bytes) {
  for (size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_FALSE(Loads<T>(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length)))) << length;
  }
}

}  // namespace kvtest
