// Face-graph test helpers: a fixture with the runtime started, saving root objects,
// and nodes added to a graph; archive streams come from the scene tests' builder.
#pragma once

#include "../runtime/RuntimeTest.h"
#include "../archive/ArchiveStreams.h"
#include "kv/Archive.h"
#include "kv/FaceGraph.h"

namespace kvtest {

using archive_test::SaveToBytes;

template <typename T>
T* AddNode(KvFaceGraph& graph, const char* name) {
  T* node = new T;
  node->SetName(KvName(name));
  graph.AddNode(node);
  return node;
}

}  // namespace kvtest
