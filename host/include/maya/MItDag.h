#pragma once
// Iteration over the DAG from the world: depth-first (pre-order) or
// breadth-first, children in sibling order, optionally filtered by hasFn.
// An instanced node is visited once per path.

#include <deque>
#include <vector>
#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MObject.h>

class OPENMAYA_EXPORT MItDag {
public:
  enum TraversalType { kInvalidType = 0, kDepthFirst = 1, kBreadthFirst = 2 };
  MItDag(TraversalType type = kDepthFirst, MFn::Type filter = MFn::kInvalid, MStatus* status = nullptr);
  ~MItDag();

  MStatus reset();
  MStatus next();
  bool isDone(MStatus* status = nullptr) const;
  MObject item(MStatus* status = nullptr);
  MObject currentItem(MStatus* status = nullptr) { return item(status); }
  MStatus getPath(MDagPath& path) const;
  MString fullPathName(MStatus* status = nullptr) const;
  MString partialPathName(MStatus* status = nullptr) const;
  // Skips the subtree of the current node at the next call of next().
  MStatus prune();
  unsigned int depth(MStatus* status = nullptr) const;

private:
  struct Frame {
    kvhost::Node* node;
    size_t child;  // depth-first: the next child to visit
    std::shared_ptr<const kvhost::DagLink> path;  // breadth-first; null for the world
  };
  bool step();
  bool matches() const;
  kvhost::Node* current() const;
  const Frame* currentFrame() const;
  std::shared_ptr<const kvhost::DagLink> stackPath(size_t depth) const;
  // Depth-first: the path as a stack of frames.
  std::vector<Frame> fStack;
  // Breadth-first: the current node (none when done) and the nodes still to visit.
  std::vector<Frame> fCurrent;
  std::deque<Frame> fQueue;
  bool fPruned = false;
  TraversalType fType;
  MFn::Type fFilter;
  bool fFailed = false;
};
