#pragma once
// Inner workings of the host scene: nodes, attributes, stored values,
// connections, the DAG, and the caches of evaluated values.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <kvhost/Scene.h>
#include <maya/MFn.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>
#include <maya/MVector.h>

namespace kvhost {

const char* apiTypeName(MFn::Type type);

// Largest logical index a plug path may use; files never come near it, and
// it keeps index arithmetic far from overflow.
constexpr int kMaxLogicalIndex = (1 << 28) - 1;
// What "setAttr -s N" reserves beyond N elements: corners for N quads of a
// polyFaces list, and four weights for each of N skin weight lists (as many as
// game skins keep), at most kMaxReservedValues of either. More grows as any
// array does.
constexpr size_t kReservedCornersPerFace = 4;
constexpr size_t kReservedEntriesPerElement = 4;
constexpr size_t kMaxReservedValues = size_t{1} << 26;

// A number from a file or a plug as an int: NaN gives 0, values beyond the
// int range are clamped (a plain cast would be undefined).
inline int toInt(double d) {
  if (!(d == d)) return 0;
  if (d >= 2147483647.0) return 2147483647;
  if (d <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(d);
}

class Node;

class Object {
public:
  virtual ~Object() = default;
  virtual MFn::Type apiType() const = 0;
  // The node this object is, or null; what a dynamic_cast gives, without the type
  // name comparisons a cast across shared libraries makes on every call.
  virtual Node* asNode() { return nullptr; }
  virtual bool hasFn(MFn::Type type) const { return type == apiType() || type == MFn::kBase; }
};

// ------------------------------------------------------------------ attributes

enum class NumType : uint8_t { Bool, Byte, Char, Short, Long, Enum, Float, Double, Distance, Angle, Time };
enum class AttrType : uint8_t { Numeric, Tuple, Typed, Compound, Message, Generic };
enum class DataType : uint8_t {
  Any,
  Matrix,
  String,
  StringArray,
  IntArray,
  DoubleArray,
  FloatArray,
  PointArray,
  VectorArray,
  ComponentList,
  Mesh,
  PolyFaces,
  Generic,
};

struct Attribute {
  std::string longName, shortName;
  AttrType type = AttrType::Numeric;
  NumType num = NumType::Double;
  DataType data = DataType::Any;
  int tupleSize = 0;           // Tuple: 2..4 components
  bool multi = false;
  bool tupleComponent = false;  // a component (tx) of a tuple (t): its value lives in the parent
  int component = 0;
  bool affectsMatrix = false;   // changing it moves the node's local matrix
  bool computed = false;        // read through the evaluator
  bool noDefault = false;       // typed data with no default: unset, it reads as no value
  double defaults[4] = {0, 0, 0, 0};
  Attribute* parent = nullptr;
  int childIndex = -1;          // index among the parent's children
  std::vector<Attribute*> children;
  int slot = -1;                // top-level attributes: slot in the node's table
  std::vector<const Attribute*> chain;  // top-level attribute .. this one
  bool dynamic = false;

  const Attribute* top() const { return chain.front(); }
  bool isNumericLike() const { return type == AttrType::Numeric || type == AttrType::Tuple; }
};

class AttributeObject : public Object {
public:
  AttributeObject(const Attribute* a, std::shared_ptr<const void> owner) : attr(a), keep(std::move(owner)) {}
  MFn::Type apiType() const override { return MFn::kAttribute; }
  const Attribute* attr;
  std::shared_ptr<const void> keep;  // keeps a dynamic attribute's node alive
};

// ------------------------------------------------------------------ data values

class Data : public Object {
public:
  bool hasFn(MFn::Type type) const override { return type == apiType() || type == MFn::kData || type == MFn::kBase; }
};

// 37 values of a "matrix xform" record.
struct XformRecord {
  MVector scale{1, 1, 1}, rotate, translate, shear, scalePivot, scalePivotTranslate, rotatePivot,
      rotatePivotTranslate, inverseScale{1, 1, 1};
  int rotateOrder = 0;
  double rotateAxis[4] = {0, 0, 0, 1};   // quaternion x y z w
  double jointOrient[4] = {0, 0, 0, 1};  // quaternion x y z w
  bool segmentScaleCompensate = true;
};

class MatrixData : public Data {
public:
  MFn::Type apiType() const override { return MFn::kMatrixData; }
  MMatrix matrix;
  bool isXform = false;
  XformRecord xform;
};

class StringData : public Data {
public:
  explicit StringData(std::string s = {}) : value(std::move(s)) {}
  MFn::Type apiType() const override { return MFn::kStringData; }
  std::string value;
};

class StringArrayData : public Data {
public:
  MFn::Type apiType() const override { return MFn::kStringArrayData; }
  std::vector<std::string> values;
};

class NumberArrayData : public Data {
public:
  explicit NumberArrayData(DataType t) : kind(t) {}
  MFn::Type apiType() const override {
    return kind == DataType::IntArray ? MFn::kIntArrayData : MFn::kDoubleArrayData;
  }
  DataType kind;
  std::vector<double> values;
};

class PointArrayData : public Data {
public:
  explicit PointArrayData(DataType t) : kind(t) {}
  MFn::Type apiType() const override {
    return kind == DataType::VectorArray ? MFn::kVectorArrayData : MFn::kPointArrayData;
  }
  DataType kind;
  std::vector<MPoint> values;
};

// A component: a set of indices of one kind (vtx, f, e, ...).
struct ComponentRange {
  std::string kind;  // "vtx", "f", "e", "map", ...
  int first = 0, last = 0;  // inclusive; last = -1 with all = true for "[*]"
  bool all = false;
};

class ComponentListData : public Data {
public:
  MFn::Type apiType() const override { return MFn::kComponentListData; }
  std::vector<ComponentRange> ranges;
  // Indices of `kind` in the list, ascending, without duplicates; `count` resolves "[*]".
  std::vector<int> indices(const std::string& kind, int count) const;
};

// A component object as iterators and function sets hand it out.
class ComponentObject : public Object {
public:
  ComponentObject(MFn::Type t, std::vector<int> idx) : type(t), indices(std::move(idx)) {}
  MFn::Type apiType() const override { return type; }
  bool hasFn(MFn::Type t) const override {
    return t == type || t == MFn::kComponent || t == MFn::kSingleIndexedComponent || t == MFn::kMeshComponent ||
           t == MFn::kBase;
  }
  MFn::Type type;
  std::vector<int> indices;
  bool complete = false;
};

// A polygon mesh as the host evaluates it. Faces are loops of vertices: the
// outer loop, then its hole loops, which start at the offsets in `holeStarts`.
struct MeshTopology {
  int numVertices = 0;
  std::vector<int> faceStart{0};  // per face, into faceVerts; size numFaces + 1
  std::vector<int> faceVerts;     // outer loop then hole loops
  std::vector<int> holeStarts;    // ascending offsets into faceVerts where a hole loop begins
  // Edges in the mesh's own order (generators and files fix it; modifiers that
  // split edges number new vertices by it) with their smooth flags.
  // Eight bytes an edge: vertex ids stay far below 2^30 (stored meshes hold at
  // most kMaxLogicalIndex + 1 vertices, history nodes maxMeshElements).
  struct Edge {
    int v0 = 0;
    int v1 : 31 = 0;
    bool smooth : 1 = false;
  };
  static_assert(sizeof(Edge) == 8);
  std::vector<Edge> edges;
  // Per face vertex, the edge leaving it along its loop: e, or -e-1 when the
  // loop walks edge e from v1 to v0 (the polyFaces encoding). Empty when the
  // mesh came without edges (edgesOf() derives them).
  std::vector<int> faceEdges;
  struct UVSet {
    std::string name;
    std::vector<float> u, v;
    std::vector<int> uvIds;  // per face vertex; -1 where the face has no UV
  };
  std::vector<UVSet> uvSets;  // in uvst index order
  int numFaces() const { return static_cast<int>(faceStart.size()) - 1; }
  int faceSize(int f) const { return faceStart[static_cast<size_t>(f) + 1] - faceStart[static_cast<size_t>(f)]; }
  // Loops of face f as [begin, end) offsets into faceVerts, outer loop first.
  std::vector<std::pair<int, int>> loops(int f) const;
};

// Faces tagged by a groupParts node with a group id; modifiers carry the tags
// to the faces they make, as Maya carries component groups down the history.
// Files do not store group ids (Maya numbers groupId nodes as it loads them),
// so a group is known by its groupId node (see groupKey).
struct FaceGroup {
  int64_t id = 0;
  std::vector<int> faces;  // ascending
};

struct MeshGeom {
  std::shared_ptr<const MeshTopology> topo;
  std::vector<MVector> points;
  std::vector<FaceGroup> groups;
  // Set on the geometry the API sees when the host triangulated the shape:
  // per face, the face of the shape's own geometry it came from, so that
  // component lists stored on the shape follow the new faces.
  std::shared_ptr<const std::vector<int>> faceOrigin;
};

class MeshData : public Data {
public:
  explicit MeshData(std::shared_ptr<const MeshGeom> g) : geom(std::move(g)) {}
  MFn::Type apiType() const override { return MFn::kMeshData; }
  std::shared_ptr<const MeshGeom> geom;
};

// ------------------------------------------------------------------ stored values

struct Value {
  enum Kind : uint8_t { None, Number, Tuple, DataValue };
  Kind kind = None;
  double n[4] = {0, 0, 0, 0};
  std::shared_ptr<const Data> data;
};

// The elements of a big multi of numbers kept packed, without a slot each, as
// files fill them: whole statements in ascending index order. Two shapes:
// - Values: a multi of numbers or number tuples (vertices, edges, UVs,
//   tweaks), `width` numbers per element, each element reading as `kind`;
// - Lists: a multi of compounds whose child `child` is a multi of numbers
//   (skin weights wl[v].w[j]), one list of (index, number) entries per element.
// A multi turns into slots (SlotSub::unpack) the first time something needs
// the slot of one of its elements, such as a write out of order.
struct PackedElems {
  enum Shape : uint8_t { Values, Lists };
  Shape shape = Values;
  Value::Kind kind = Value::Number;  // Values: what an element holds
  int width = 1;                     // Values: numbers per element
  int child = 0;                     // Lists: the child holding the inner multi...
  size_t childCount = 1;             // ... among this many children of the compound
  std::vector<double> numbers;       // Values: width per element; Lists: one per entry
  // Values of an integer attribute (edges) while every number is an int: kept
  // as ints instead of `numbers`, half the size.
  bool ints = false;
  std::vector<int32_t> intNumbers;
  std::vector<int> entryIndex;       // Lists: the inner multi's index of each entry, ascending per element
  std::vector<size_t> entryStart;    // Lists: first entry of each element, then the end
};

// The ascending logical indices of a multi's elements. Files mostly fill a
// multi from one index on without gaps (vertices, edges, UVs, weights); such a
// run is kept as its first index and length, without a number per element.
// Anything else turns it into an explicit list.
class IndexList {
public:
  class const_iterator {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = int;
    using difference_type = std::ptrdiff_t;
    using pointer = const int*;
    using reference = int;
    const_iterator() = default;
    const_iterator(const IndexList* list, difference_type at) : fList(list), fAt(at) {}
    int operator*() const { return (*fList)[static_cast<size_t>(fAt)]; }
    int operator[](difference_type n) const { return (*fList)[static_cast<size_t>(fAt + n)]; }
    const_iterator& operator++() { return ++fAt, *this; }
    const_iterator& operator--() { return --fAt, *this; }
    const_iterator operator++(int) { return const_iterator(fList, fAt++); }
    const_iterator operator--(int) { return const_iterator(fList, fAt--); }
    const_iterator& operator+=(difference_type n) { return fAt += n, *this; }
    const_iterator& operator-=(difference_type n) { return fAt -= n, *this; }
    friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
    friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
    friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) { return a.fAt - b.fAt; }
    friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.fAt == b.fAt; }
    friend bool operator!=(const const_iterator& a, const const_iterator& b) { return a.fAt != b.fAt; }
    friend bool operator<(const const_iterator& a, const const_iterator& b) { return a.fAt < b.fAt; }
    friend bool operator>(const const_iterator& a, const const_iterator& b) { return a.fAt > b.fAt; }
    friend bool operator<=(const const_iterator& a, const const_iterator& b) { return a.fAt <= b.fAt; }
    friend bool operator>=(const const_iterator& a, const const_iterator& b) { return a.fAt >= b.fAt; }

  private:
    const IndexList* fList = nullptr;
    difference_type fAt = 0;
  };

  size_t size() const { return fRun ? fRunLength : fList.size(); }
  bool empty() const { return size() == 0; }
  int operator[](size_t i) const { return fRun ? fRunFirst + static_cast<int>(i) : fList[i]; }
  int front() const { return (*this)[0]; }
  int back() const { return (*this)[size() - 1]; }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, static_cast<std::ptrdiff_t>(size())); }
  // Position of `index`, or -1.
  long find(int index) const;
  // Adds `index`, greater than every index held.
  void push_back(int index);
  void append(const int* first, const int* last) {
    for (; first != last; ++first) push_back(*first);
  }
  // Adds `index`, not held yet, at position `at`.
  void insert(size_t at, int index);

private:
  void spill();

  bool fRun = true;
  int fRunFirst = 0;
  size_t fRunLength = 0;
  std::vector<int> fList;
};

struct Slot;
struct SlotSub {
  IndexList indices;         // multi: ascending logical indices
  std::vector<Slot> elems;   // multi: parallel to indices (empty while packed); compound: one per child
  std::unique_ptr<PackedElems> packed;

  // Position of logical index `index` among `indices`, or -1.
  long find(int index) const;
  // What the element at position i holds, and its numbers (as many as the
  // attribute has components, zeros after them and for an element that holds
  // no number).
  Value::Kind kind(size_t i) const;
  std::array<double, 4> numbers(size_t i) const;
  // Calls f(index, number) for each element of the inner multi `child` of the
  // compound element at position i (wl[v].w).
  template <class F> void forEachEntry(size_t i, int child, F&& f) const;
  // Gives every packed element its slot.
  void unpack();
};

struct Slot {
  Value value;
  std::unique_ptr<SlotSub> sub;
  // Element of a multi (nullptr if absent, or created when `create`).
  Slot* element(int index, bool create);
  Slot* child(int index, size_t childCount, bool create);
};

// How the elements of a multi of this attribute are packed; none when they cannot be.
std::optional<PackedElems> packedShapeOf(const Attribute* multi);

template <class F> void SlotSub::forEachEntry(size_t i, int child, F&& f) const {
  if (packed) {
    if (packed->shape != PackedElems::Lists || packed->child != child) return;
    for (size_t e = packed->entryStart[i]; e < packed->entryStart[i + 1]; ++e) f(packed->entryIndex[e], packed->numbers[e]);
    return;
  }
  const Slot& element = elems[i];
  if (!element.sub || element.sub->elems.size() <= static_cast<size_t>(child)) return;
  const Slot& inner = element.sub->elems[static_cast<size_t>(child)];
  if (!inner.sub) return;
  for (size_t e = 0; e < inner.sub->indices.size(); ++e) {
    f(inner.sub->indices[e], inner.sub->numbers(e)[0]);
  }
}

// Positions of logical indices among ascending ones (influences by their
// ma[] index): a direct table when the indices are dense enough, else a
// binary search.
class IndexTable {
public:
  IndexTable() = default;
  explicit IndexTable(std::vector<int> ascending);
  // Position of `index`, or -1.
  int find(int index) const {
    if (index < 0) return -1;
    if (!fDirect.empty()) return static_cast<size_t>(index) < fDirect.size() ? fDirect[static_cast<size_t>(index)] : -1;
    auto it = std::lower_bound(fLogical.begin(), fLogical.end(), index);
    return it != fLogical.end() && *it == index ? static_cast<int>(it - fLogical.begin()) : -1;
  }
  size_t size() const { return fLogical.size(); }

private:
  std::vector<int> fLogical;
  std::vector<int> fDirect;
};

// ------------------------------------------------------------------ nodes

struct PolyFamily;

struct NodeType {
  std::string name;
  const PolyFamily* poly = nullptr;  // construction-history nodes the host evaluates
  MFn::Type api = MFn::kDependencyNode;
  std::vector<MFn::Type> fns;  // every type hasFn answers true for
  bool dag = false;
  bool shape = false;
  bool transform = false;
  bool joint = false;
  std::vector<Attribute*> attrs;  // top-level, inherited ones first
  std::unordered_map<std::string, Attribute*> lookup;
  std::vector<std::unique_ptr<Attribute>> owned;
};

struct DagLink;
using DagLinks = std::vector<std::shared_ptr<const DagLink>>;

struct PlugKey {
  Node* node = nullptr;
  const Attribute* attr = nullptr;
  std::vector<int> idx;
  bool operator==(const PlugKey& o) const { return node == o.node && attr == o.attr && idx == o.idx; }
};

struct Connection {
  PlugKey src, dst;
};

inline size_t plugHash(const PlugKey& k) {
  size_t h = std::hash<const void*>()(k.attr);
  for (int i : k.idx) h = h * 1000003u ^ static_cast<size_t>(static_cast<unsigned>(i));
  return h;
}

class Node : public Object, public std::enable_shared_from_this<Node> {
public:
  MFn::Type apiType() const override { return type->api; }
  Node* asNode() override { return this; }
  bool hasFn(MFn::Type t) const override;

  const Attribute* findAttribute(const std::string& name) const;
  int slotCount() const { return static_cast<int>(slots.size()); }
  bool isDag() const { return type->dag; }

  Scene::Impl* scene = nullptr;
  const NodeType* type = nullptr;
  std::string typeName;  // as created (unknown types keep their own name)
  std::string name;
  uint64_t order = 0;
  bool isDefault = false;
  bool alive = true;

  std::vector<Slot> slots;
  std::vector<std::unique_ptr<Attribute>> dynAttrs;
  std::unordered_map<std::string, Attribute*> dynLookup;

  std::vector<Node*> parents;   // DAG parents, one per instance
  std::vector<Node*> children;  // DAG children in sibling order
  DagLinks paths;  // pathsTo's answer, as of the scene's dagVersion `pathsVersion`
  uint64_t pathsVersion = 0;

  std::vector<std::shared_ptr<Connection>> in, out;
  // Incoming connections by hash of the destination plug, so that finding a
  // plug's source does not scan nodes with many inputs (shading groups,
  // default lists); and the next free element of top-level multis for -na.
  // An entry shares its connection, so one left behind is never dangling.
  std::unordered_multimap<size_t, std::shared_ptr<Connection>> inIndex;
  std::unordered_map<const Attribute*, int> nextFree;

  // Evaluation caches. `genValid` / `matValid` false means "caches empty and
  // dependents already invalidated", which lets invalidation stop early.
  bool genValid = false, matValid = false;
  bool hasLocal = false, hasWorld = false;
  MMatrix localCache, worldCache;
  std::map<int, std::shared_ptr<const MeshGeom>> geomCache;  // keyed by output element
  std::shared_ptr<const MeshGeom> shapeCache;
  std::shared_ptr<const MeshGeom> apiCache;  // triangulated for the API
  bool shapeCacheFailed = false;
  std::string shapeError;
  bool reportedGeomError = false;
  bool evaluating = false;  // its geometry is being computed: a history loop reaches it again
  // Skin clusters: influences (logical index, node, instance) by logical index.
  struct Influence {
    int logical;
    Node* node;
    int instance;
  };
  std::vector<Influence> influences;
  IndexTable influenceAt;  // position in `influences` by logical index
  bool hasInfluences = false;
  // The last shape asked about with MFnSkinCluster::getWeights (which asks once
  // per vertex) and whether this deformer outputs to it, as of the scene's
  // `connectionsVersion`; and its weight list attributes (wl, w).
  const Node* weightsShape = nullptr;
  uint64_t weightsShapeVersion = 0;
  bool weightsShapeFed = false;
  const Attribute* weightList = nullptr;
  const Attribute* weights = nullptr;

  // Mesh faces ("fc" polyFaces) in the order they were set; a later face for
  // the same index wins. What the host uses of them is kept per corner: the
  // edge its loop leaves by (e, or -e-1 when the loop walks e backwards), and
  // each UV set's UV (-1 where the face names none). Colors and face-varying
  // data are checked but not kept.
  struct StoredFaces {
    struct Face {
      int index;
      int64_t first;  // its corners run from here to the next face's first
    };
    std::vector<Face> faces;
    std::vector<int> edges;
    std::vector<int64_t> holes;  // ascending corners where a hole loop begins
    struct UVs {
      int set;               // the uvst index 'mu' names
      std::vector<int> ids;  // per corner; shorter than `edges` when the last faces name none
    };
    std::vector<UVs> uvs;
    // Once the faces are decoded into a topology that holds all of them, they
    // are let go: `decoded` keeps that topology, and `decodedSets` the uvst
    // index and place among its UV sets of each set that had UVs stored.
    // restore() brings the faces back before anything reads or adds to them.
    std::shared_ptr<const MeshTopology> decoded;
    std::vector<std::pair<int, int>> decodedSets;
    bool empty() const { return faces.empty() && !decoded; }
    void release(std::shared_ptr<const MeshTopology> topo, std::vector<std::pair<int, int>> sets);
    void restore();
  };
  StoredFaces faces;
};

// One step of a DAG path: a node and the path to its parent (null under the
// world). Links are shared by every path that runs through them and never
// change once made.
struct DagLink {
  DagLink(std::shared_ptr<Node> n, std::shared_ptr<const DagLink> parent)
      : node(std::move(n)), up(std::move(parent)), length(up ? up->length + 1 : 1) {}
  DagLink(const DagLink&) = delete;
  DagLink& operator=(const DagLink&) = delete;
  // Lets go of the links above one at a time: a deep chain would otherwise
  // unwind through one destructor per link.
  ~DagLink();

  std::shared_ptr<Node> node;
  mutable std::shared_ptr<const DagLink> up;  // emptied only by the destructor
  unsigned int length;                        // nodes from the top down to `node`
};

struct Scene::Impl {
  std::vector<std::shared_ptr<Node>> nodes;  // creation order
  // pathsTo keeps its answer on each node, valid while the node's stamp equals
  // this; parenting or unparenting any node moves it on, so every answer is
  // formed again when next asked for.
  uint64_t dagVersion = 1;
  void dagChanged() { ++dagVersion; }
  // A node's kept paths start with a link that owns the node: they are let go
  // here, and on reset, or the node would keep itself alive.
  ~Impl();
  std::unordered_multimap<std::string, Node*> byName;
  std::shared_ptr<Node> world;
  std::unordered_map<std::string, std::unique_ptr<NodeType>> types;
  uint64_t nextOrder = 1;
  uint64_t connectionsVersion = 1;  // changes with every node made and every connection made or broken
  std::string error;
  std::vector<Message> messages;
  bool inDefaults = false;
  bool angleInDegrees = true;
  bool triangulateMeshes = false;
  // While checkMeshes runs, deformers that only move points (skin clusters,
  // tweaks, blend shapes) pass their input through, and nothing computed from
  // such a result is cached: the check needs to know which meshes have
  // geometry and their faces, and an export reads the points after it has
  // moved the joints anyway.
  bool checkingMeshes = false;
  uint64_t passedThrough = 0;  // deformers passed over while checking
  // Most vertices, face vertices or UVs one history node may make; beyond it the
  // node's evaluation fails with a message instead of exhausting memory or time
  // on an absurd subdivision count.
  double maxMeshElements = double(1 << 25);
  int mayaVersion = 0;  // year of the Maya that saved the scene; 0 if unknown

  Impl();
  const NodeType* typeFor(const std::string& name) const;
  bool fail(const std::string& message) {
    error = message;
    return false;
  }

  std::shared_ptr<Node> makeNode(const std::string& type, const std::string& name, Node* parent);
  Node* find(const std::string& nameOrPath) const;
  std::string uniqueName(const std::string& base) const;
  void setName(Node& node, const std::string& name);
  bool reparent(Node& child, Node* parent, bool add);

  // Plug paths: "attr[1].child[2]" relative to a node. `range` receives the
  // index range of the last multi when given as "[a:b]".
  struct ParsedPlug {
    PlugKey key;
    int rangeFirst = -1, rangeLast = -1;
    int rangeAt = -1;  // position in key.idx of the ranged multi
  };
  bool parsePlug(Node& node, const std::string& path, ParsedPlug& out, bool createMissing);
  bool splitNodePlug(const std::string& full, Node*& node, std::string& attrPath);
  Attribute* addDynamic(Node& node, const std::string& name, Attribute* parent, bool multi);

  // Connections.
  bool connect(const PlugKey& src, const PlugKey& dst, bool force);
  bool disconnect(const PlugKey& src, const PlugKey& dst);
  const Connection* incoming(const PlugKey& dst) const;

  // Values.
  Slot* findSlot(const PlugKey& key, bool create);
  // The slot of a plug for reading, or null when nothing is stored there. Packed
  // elements stay packed: the part of them the plug names is copied into `scratch`.
  const Slot* lookup(const PlugKey& key, Slot& scratch);
  // Room for `count` elements of the multi at `key` (a size hint).
  void reserve(const PlugKey& key, size_t count);
  void changed(Node& node, const Attribute* attr);
  void invalidateGeneral(Node& node);
  void invalidateMatrix(Node& node);
};

// ------------------------------------------------------------------ helpers

std::vector<const Attribute*> chainOf(const Attribute* attr);
std::string plugName(const PlugKey& key, bool longNames);

// Reads the value at a plug: a connected source's value, a computed value, the
// stored value or the attribute's default. False when nothing is available.
bool readValue(const PlugKey& key, Value& out);
// Stores a value (and invalidates what depends on it).
bool writeValue(const PlugKey& key, const Value& value);
double numberOf(const Value& v, const Attribute* attr, int component = 0);

// Local, world and inverse matrices.
MMatrix localMatrix(Node& node);
MMatrix worldMatrix(const DagLink* path);
MMatrix worldMatrixOfNode(Node& node, int instance);
// Sets the node's attributes so that its local matrix becomes m.
void setLocalMatrix(Node& node, const MMatrix& m);
// Every path to the node, one per instance, each as its last link. The list
// is kept until the DAG changes, and the paths to a node share the links of the
// paths to its parents, so a chain of n nodes costs n links, not n * n.
const DagLinks& pathsTo(Node* node);

// Geometry of a mesh shape (history evaluated, the shape's tweaks applied), as
// its outMesh and worldMesh give it to other nodes. Null, with the cause in
// `error` ("'polyBevel1' (polyBevel) is not supported"), when the host cannot
// produce it.
std::shared_ptr<const MeshGeom> shapeGeometry(Node& shape, std::string* error = nullptr);
// The geometry the API shows for a shape: shapeGeometry, triangulated when
// the scene triangulates meshes and the shape is not an intermediate object.
std::shared_ptr<const MeshGeom> apiGeometry(Node& shape, std::string* error = nullptr, bool withEdges = false);
// "mesh 'NAME': CAUSE; the mesh has no geometry".
std::string geometryProblem(const Node& shape, const std::string& why);
// Output geometry of a node's plug (mesh o/w, deformer og[k], groupParts og).
std::shared_ptr<const MeshGeom> plugGeometry(const PlugKey& key, std::string* error);
// The first mesh shape fed, directly or through other nodes, by a plug.
Node* downstreamShape(const PlugKey& key);

// The plug of `attr` on `node`; `idx` gives the multi indices along the
// attribute's chain (missing ones are -1). A null attr when the node lacks it.
PlugKey keyOf(Node& node, const char* attr, std::vector<int> idx = {});
// Stored multi elements of an attribute (the array plug's slot), or null.
const SlotSub* elementsOf(Node& node, const PlugKey& arrayKey);
MMatrix matrixOf(const Value& v);
// Geometry arriving at an input plug through its connection.
std::shared_ptr<const MeshGeom> inputGeometry(const PlugKey& input, std::string* error);
// The group a groupId-valued plug (groupParts.gi, a shape's og[k].gid) names:
// the connected groupId node, or else the plug's own value.
int64_t groupKey(const PlugKey& idPlug);
// Output geometry of a deformer (og[k]) or groupParts (og).
std::shared_ptr<const MeshGeom> deformerOutput(Node& node, int k, std::string* error);

// Convenient stored-value readers.
double getNumber(Node& node, const char* attr, int component = 0);
bool getBool(Node& node, const char* attr);
MVector getVector(Node& node, const char* attr);
std::string getString(Node& node, const char* attr);

void registerNodeTypes(Scene::Impl& impl);
bool applySetAttr(Scene::Impl& impl, Node& node, const Scene::Impl::ParsedPlug& plug, std::span<const Arg> values,
                  const std::string& type);
bool applySetAttr(Scene::Impl& impl, Node& node, const Scene::Impl::ParsedPlug& plug, std::span<const double> numbers,
                  const std::string& type);
Node* nodeOf(const MObject& object);
void recordMessage(Message::Kind kind, const std::string& text);

}  // namespace kvhost
