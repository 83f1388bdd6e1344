// MFnMesh, MItMeshPolygon and MItGeometry over evaluated mesh geometry, and
// the shading assignments of a mesh.

#include <algorithm>

#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MItGeometry.h>
#include <maya/MItMeshPolygon.h>

#include "Core.h"

using kvhost::MeshGeom;
using kvhost::Node;

namespace {

void setStatus(MStatus* status, MStatus value) {
  if (status) *status = value;
}

// The evaluated geometry of a mesh shape; shows the host's error once when
// there is none.
std::shared_ptr<const MeshGeom> geometryOf(Node* node, bool withEdges = false) {
  if (!node || !node->hasFn(MFn::kMesh)) return nullptr;
  std::string error;
  auto g = kvhost::apiGeometry(*node, &error, withEdges);
  if (!g && !node->reportedGeomError) {
    node->reportedGeomError = true;
    MGlobal::displayError(MString(kvhost::geometryProblem(*node, error)));
  }
  return g;
}

MDagPath firstPath(const MObject& o) {
  MDagPath p;
  MDagPath::getAPathTo(o, p);
  return p;
}

int uvSetIndex(const MeshGeom& g, const MString* name) {
  if (g.topo->uvSets.empty()) return -1;
  if (!name || name->length() == 0) return 0;
  for (size_t i = 0; i < g.topo->uvSets.size(); ++i)
    if (g.topo->uvSets[i].name == name->asChar()) return static_cast<int>(i);
  return -1;
}

}  // namespace

// ------------------------------------------------------------------ MFnMesh

MFnMesh::MFnMesh(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }
MFnMesh::MFnMesh(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path)); }

int MFnMesh::numVertices(MStatus* status) const {
  auto g = geometryOf(node(status));
  return g ? static_cast<int>(g->points.size()) : 0;
}

int MFnMesh::numPolygons(MStatus* status) const {
  auto g = geometryOf(node(status));
  return g ? g->topo->numFaces() : 0;
}

int MFnMesh::numFaceVertices(MStatus* status) const {
  auto g = geometryOf(node(status));
  return g ? static_cast<int>(g->topo->faceVerts.size()) : 0;
}

MStatus MFnMesh::getPoints(MPointArray& points, MSpace::Space space) const {
  points.clear();
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!s) return s;
  if (!g) return MS::kFailure;
  MMatrix m = space == MSpace::kWorld ? pathOrFirst().inclusiveMatrix() : MMatrix();
  auto& out = points.items();
  out.reserve(g->points.size());
  bool identity = space != MSpace::kWorld;
  for (const MVector& p : g->points) out.push_back(identity ? MPoint(p) : MPoint(p) * m);
  return MS::kSuccess;
}

MStatus MFnMesh::getPoint(int vertexId, MPoint& point, MSpace::Space space) const {
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!g) return s ? MStatus(MS::kFailure) : s;
  if (vertexId < 0 || static_cast<size_t>(vertexId) >= g->points.size()) return MS::kInvalidParameter;
  point = MPoint(g->points[static_cast<size_t>(vertexId)]);
  if (space == MSpace::kWorld) point = point * pathOrFirst().inclusiveMatrix();
  return MS::kSuccess;
}

int MFnMesh::polygonVertexCount(int polygonId, MStatus* status) const {
  auto g = geometryOf(node(status));
  if (!g || polygonId < 0 || polygonId >= g->topo->numFaces()) {
    setStatus(status, MS::kInvalidParameter);
    return 0;
  }
  const auto& fs = g->topo->faceStart;
  return fs[static_cast<size_t>(polygonId) + 1] - fs[static_cast<size_t>(polygonId)];
}

MStatus MFnMesh::getPolygonVertices(int polygonId, MIntArray& vertexList) const {
  vertexList.clear();
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!g || polygonId < 0 || polygonId >= g->topo->numFaces()) return MS::kInvalidParameter;
  const auto& t = *g->topo;
  for (int i = t.faceStart[static_cast<size_t>(polygonId)]; i < t.faceStart[static_cast<size_t>(polygonId) + 1]; ++i)
    vertexList.append(t.faceVerts[static_cast<size_t>(i)]);
  return MS::kSuccess;
}

MStatus MFnMesh::getVertices(MIntArray& vertexCount, MIntArray& vertexList) const {
  vertexCount.clear();
  vertexList.clear();
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!g) return s ? MStatus(MS::kFailure) : s;
  const auto& t = *g->topo;
  for (int f = 0; f < t.numFaces(); ++f)
    vertexCount.append(t.faceStart[static_cast<size_t>(f) + 1] - t.faceStart[static_cast<size_t>(f)]);
  vertexList.items().assign(t.faceVerts.begin(), t.faceVerts.end());
  return MS::kSuccess;
}

int MFnMesh::numEdges(MStatus* status) const {
  auto g = geometryOf(node(status), true);
  return g ? static_cast<int>(g->topo->edges.size()) : 0;
}

MStatus MFnMesh::getEdgeVertices(int edgeId, int2& vertexList) const {
  MStatus s;
  auto g = geometryOf(node(&s), true);
  if (!g) return s ? MStatus(MS::kFailure) : s;
  const auto& edges = g->topo->edges;
  if (edgeId < 0 || static_cast<size_t>(edgeId) >= edges.size()) return MS::kInvalidParameter;
  vertexList[0] = edges[static_cast<size_t>(edgeId)].v0;
  vertexList[1] = edges[static_cast<size_t>(edgeId)].v1;
  return MS::kSuccess;
}

bool MFnMesh::isEdgeSmooth(int edgeId, MStatus* status) const {
  auto g = geometryOf(node(status), true);
  if (!g) return false;
  const auto& edges = g->topo->edges;
  if (edgeId < 0 || static_cast<size_t>(edgeId) >= edges.size()) {
    setStatus(status, MS::kInvalidParameter);
    return false;
  }
  return edges[static_cast<size_t>(edgeId)].smooth;
}

MStatus MFnMesh::getUVSetNames(MStringArray& setNames) const {
  setNames.clear();
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!g) return s ? MStatus(MS::kFailure) : s;
  for (const auto& set : g->topo->uvSets) setNames.append(MString(set.name));
  return MS::kSuccess;
}

MString MFnMesh::currentUVSetName(MStatus* status, int) const {
  Node* n = node(status);
  auto g = geometryOf(n);
  if (!g || g->topo->uvSets.empty()) return MString();
  std::string current = kvhost::getString(*n, "cuvs");
  for (const auto& set : g->topo->uvSets)
    if (set.name == current) return MString(current);
  return MString(g->topo->uvSets.front().name);
}

MStatus MFnMesh::getCurrentUVSetName(MString& name, int) const {
  MStatus s;
  name = currentUVSetName(&s);
  return s;
}

int MFnMesh::numUVSets(MStatus* status) const {
  auto g = geometryOf(node(status));
  return g ? static_cast<int>(g->topo->uvSets.size()) : 0;
}

int MFnMesh::numUVs(MStatus* status) const {
  // A mesh without UV sets simply has no UVs.
  MString current = currentUVSetName(status);
  if (current.length() == 0) return 0;
  return numUVs(current, status);
}

int MFnMesh::numUVs(const MString& uvSet, MStatus* status) const {
  auto g = geometryOf(node(status));
  if (!g) return 0;
  int i = uvSetIndex(*g, &uvSet);
  if (i < 0) {
    setStatus(status, MS::kInvalidParameter);
    return 0;
  }
  return static_cast<int>(g->topo->uvSets[static_cast<size_t>(i)].u.size());
}

MStatus MFnMesh::getUVs(MFloatArray& uArray, MFloatArray& vArray, const MString* uvSet) const {
  uArray.clear();
  vArray.clear();
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!g) return s ? MStatus(MS::kFailure) : s;
  MString current = currentUVSetName();
  int i = uvSetIndex(*g, uvSet ? uvSet : &current);
  if (i < 0) return g->topo->uvSets.empty() && !uvSet ? MStatus(MS::kSuccess) : MStatus(MS::kInvalidParameter);
  const auto& set = g->topo->uvSets[static_cast<size_t>(i)];
  uArray.items() = set.u;
  vArray.items() = set.v;
  return MS::kSuccess;
}

MStatus MFnMesh::getPolygonUVid(int polygonId, int vertexIndex, int& uvId, const MString* uvSet) const {
  MStatus s;
  auto g = geometryOf(node(&s));
  if (!g) return s ? MStatus(MS::kFailure) : s;
  const auto& t = *g->topo;
  if (polygonId < 0 || polygonId >= t.numFaces()) return MS::kInvalidParameter;
  int first = t.faceStart[static_cast<size_t>(polygonId)], end = t.faceStart[static_cast<size_t>(polygonId) + 1];
  if (vertexIndex < 0 || vertexIndex >= end - first) return MS::kInvalidParameter;
  MString current = currentUVSetName();
  int i = uvSetIndex(*g, uvSet ? uvSet : &current);
  if (i < 0) return MS::kFailure;
  uvId = t.uvSets[static_cast<size_t>(i)].uvIds[static_cast<size_t>(first + vertexIndex)];
  return uvId >= 0 ? MStatus(MS::kSuccess) : MStatus(MS::kFailure);
}

namespace {

// Faces of a per-face assignment og[k]: those the mesh's history tagged with
// the group og[k].gid names (a groupParts upstream); otherwise the component
// list stored on the shape, carried to the triangles the host made of its faces.
std::vector<int> groupFaces(Node& shape, const MeshGeom& g, int instance, int k) {
  const int64_t key = kvhost::groupKey(kvhost::PlugKey{&shape, shape.findAttribute("gid"), {instance, k, -1}});
  for (const kvhost::FaceGroup& group : g.groups)
    if (group.id == key) return group.faces;
  const kvhost::Attribute* gcl = shape.findAttribute("gcl");
  kvhost::Value v;
  if (!kvhost::readValue(kvhost::PlugKey{&shape, gcl, {instance, k, -1}}, v) || v.kind != kvhost::Value::DataValue)
    return {};
  auto list = std::dynamic_pointer_cast<const kvhost::ComponentListData>(v.data);
  if (!list) return {};
  if (!g.faceOrigin) return list->indices("f", g.topo->numFaces());
  const std::vector<int>& origin = *g.faceOrigin;
  const int before = origin.empty() ? 0 : origin.back() + 1;
  std::vector<char> member(static_cast<size_t>(before));
  for (int f : list->indices("f", before)) member[static_cast<size_t>(f)] = 1;
  std::vector<int> faces;
  for (size_t f = 0; f < origin.size(); ++f)
    if (member[static_cast<size_t>(origin[f])]) faces.push_back(static_cast<int>(f));
  return faces;
}

}  // namespace

MStatus MFnMesh::getConnectedShaders(unsigned int instanceNumber, MObjectArray& shaders, MIntArray& indices) const {
  shaders.clear();
  indices.clear();
  MStatus s;
  Node* n = node(&s);
  if (!n) return s;
  auto g = geometryOf(n);
  int faces = g ? g->topo->numFaces() : 0;
  indices.setLength(static_cast<unsigned>(faces));
  for (int f = 0; f < faces; ++f) indices[static_cast<unsigned>(f)] = -1;
  std::vector<Node*> groups;
  auto indexOf = [&](Node* sg) {
    auto it = std::find(groups.begin(), groups.end(), sg);
    if (it != groups.end()) return static_cast<int>(it - groups.begin());
    groups.push_back(sg);
    shaders.append(MObject(sg->shared_from_this()));
    return static_cast<int>(groups.size()) - 1;
  };
  const int inst = static_cast<int>(instanceNumber);
  // Whole-object assignment first: iog[i] -> shadingEngine.dsm.
  for (const auto& c : n->out) {
    if (c->src.attr->shortName != "iog" || c->src.idx[0] != inst || !c->dst.node->hasFn(MFn::kShadingEngine)) continue;
    int index = indexOf(c->dst.node);
    for (int f = 0; f < faces; ++f) indices[static_cast<unsigned>(f)] = index;
  }
  // Then per-face assignments, in objectGroups order.
  std::vector<std::pair<int, Node*>> perFace;
  for (const auto& c : n->out)
    if (c->src.attr->shortName == "og" && c->src.idx[0] == inst && c->dst.node->hasFn(MFn::kShadingEngine))
      perFace.push_back({c->src.idx[1], c->dst.node});
  std::sort(perFace.begin(), perFace.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto [k, sg] : perFace) {
    std::vector<int> members = g ? groupFaces(*n, *g, inst, k) : std::vector<int>();
    if (members.empty()) continue;
    int index = indexOf(sg);
    for (int f : members)
      if (f >= 0 && f < faces) indices[static_cast<unsigned>(f)] = index;
  }
  return MS::kSuccess;
}

// ------------------------------------------------------------------ MItMeshPolygon

MItMeshPolygon::MItMeshPolygon(const MObject& polyObject, MStatus* status)
    : MItMeshPolygon(firstPath(polyObject), MObject::kNullObj, status) {}

MItMeshPolygon::MItMeshPolygon(const MDagPath& polyObject, MObject&, MStatus* status) : fPath(polyObject) {
  MStatus s;
  Node* n = kvhost::nodeOf(polyObject.node(&s));
  fGeom = geometryOf(n);
  if (fGeom) {
    MString current = MFnMesh(polyObject).currentUVSetName();
    fCurrentSet = uvSetIndex(*fGeom, &current);
  }
  moved();
  setStatus(status, fGeom ? MS::kSuccess : MS::kFailure);
}

MItMeshPolygon::~MItMeshPolygon() = default;

bool MItMeshPolygon::finished() const { return !fGeom || fIndex >= fGeom->topo->numFaces(); }

void MItMeshPolygon::moved() {
  fFirst = fCorners = 0;
  if (finished()) return;
  const auto& fs = fGeom->topo->faceStart;
  fFirst = fs[static_cast<size_t>(fIndex)];
  fCorners = fs[static_cast<size_t>(fIndex) + 1] - fFirst;
}

bool MItMeshPolygon::isDone(MStatus* status) {
  setStatus(status, MS::kSuccess);
  return finished();
}

MStatus MItMeshPolygon::next() {
  if (isDone()) return MS::kFailure;
  ++fIndex;
  moved();
  return MS::kSuccess;
}

MStatus MItMeshPolygon::reset() {
  fIndex = 0;
  moved();
  return fGeom ? MS::kSuccess : MS::kFailure;
}

unsigned int MItMeshPolygon::index(MStatus* status) {
  setStatus(status, isDone() ? MS::kFailure : MS::kSuccess);
  return static_cast<unsigned int>(fIndex);
}

unsigned int MItMeshPolygon::count(MStatus* status) {
  setStatus(status, fGeom ? MS::kSuccess : MS::kFailure);
  return fGeom ? static_cast<unsigned int>(fGeom->topo->numFaces()) : 0;
}

MStatus MItMeshPolygon::setIndex(int index, int& prevIndex) {
  if (!fGeom || index < 0 || index >= fGeom->topo->numFaces()) return MS::kInvalidParameter;
  prevIndex = fIndex;
  fIndex = index;
  moved();
  return MS::kSuccess;
}

unsigned int MItMeshPolygon::polygonVertexCount(MStatus* status) {
  setStatus(status, finished() ? MS::kFailure : MS::kSuccess);
  return static_cast<unsigned int>(fCorners);
}

int MItMeshPolygon::vertexIndex(int vertex, MStatus* status) {
  if (vertex < 0 || vertex >= fCorners) {
    setStatus(status, MS::kInvalidParameter);
    return -1;
  }
  setStatus(status, MS::kSuccess);
  return fGeom->topo->faceVerts[static_cast<size_t>(fFirst + vertex)];
}

MStatus MItMeshPolygon::getVertices(MIntArray& vertices) {
  vertices.clear();
  for (int i = 0; i < fCorners; ++i) vertices.append(vertexIndex(i));
  return isDone() ? MS::kFailure : MS::kSuccess;
}

MPoint MItMeshPolygon::point(int vertex, MSpace::Space space, MStatus* status) {
  int v = vertexIndex(vertex, status);
  if (v < 0) return MPoint();
  MPoint p(fGeom->points[static_cast<size_t>(v)]);
  return space == MSpace::kWorld ? p * fPath.inclusiveMatrix() : p;
}

int MItMeshPolygon::setIndexOf(const MString* uvSet) const {
  if (!fGeom) return -1;
  if (!uvSet) return fCurrentSet;
  if (fNamedSetIndex < 0 || !(fNamedSet == *uvSet)) {
    fNamedSet = *uvSet;
    fNamedSetIndex = uvSetIndex(*fGeom, uvSet);
  }
  return fNamedSetIndex;
}

namespace {

// Whether every corner of a polygon (corners [first, first + count)) has a UV
// in set `set`; a polygon without corners has none.
bool cornersHaveUVs(const MeshGeom& g, int set, int first, int count) {
  const auto& ids = g.topo->uvSets[static_cast<size_t>(set)].uvIds;
  return count > 0 && std::all_of(ids.begin() + first, ids.begin() + first + count, [](int id) { return id >= 0; });
}

}  // namespace

bool MItMeshPolygon::hasUVs(MStatus* status) const {
  int set = setIndexOf(nullptr);
  setStatus(status, finished() ? MS::kFailure : MS::kSuccess);
  return set >= 0 && !finished() && cornersHaveUVs(*fGeom, set, fFirst, fCorners);
}

bool MItMeshPolygon::hasUVs(const MString& uvSet, MStatus* status) const {
  int set = setIndexOf(&uvSet);
  setStatus(status, finished() || set < 0 ? MS::kFailure : MS::kSuccess);
  return set >= 0 && !finished() && cornersHaveUVs(*fGeom, set, fFirst, fCorners);
}

MStatus MItMeshPolygon::getUVIndex(int vertex, int& index, const MString* uvSet) {
  if (vertex < 0 || vertex >= fCorners) return MS::kInvalidParameter;
  int set = setIndexOf(uvSet);
  if (set < 0) return MS::kFailure;
  int id = fGeom->topo->uvSets[static_cast<size_t>(set)].uvIds[static_cast<size_t>(fFirst + vertex)];
  if (id < 0) return MS::kFailure;
  index = id;
  return MS::kSuccess;
}

MStatus MItMeshPolygon::getUVIndex(int vertex, int& index, float& u, float& v, const MString* uvSet) {
  MStatus s = getUVIndex(vertex, index, uvSet);
  if (!s) return s;
  const auto& set = fGeom->topo->uvSets[static_cast<size_t>(setIndexOf(uvSet))];
  u = set.u[static_cast<size_t>(index)];
  v = set.v[static_cast<size_t>(index)];
  return MS::kSuccess;
}

// ------------------------------------------------------------------ MItGeometry

MItGeometry::MItGeometry(const MDagPath& dagPath, MStatus* status) : fPath(dagPath) {
  MStatus s;
  Node* n = kvhost::nodeOf(dagPath.node(&s));
  fGeom = geometryOf(n);
  setStatus(status, fGeom ? MS::kSuccess : MS::kFailure);
}

MItGeometry::MItGeometry(MObject& dagObject, MStatus* status) : MItGeometry(firstPath(dagObject), status) {}

MItGeometry::~MItGeometry() = default;

bool MItGeometry::isDone(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return !fGeom || static_cast<size_t>(fIndex) >= fGeom->points.size();
}

MStatus MItGeometry::next() {
  if (isDone()) return MS::kFailure;
  ++fIndex;
  return MS::kSuccess;
}

MStatus MItGeometry::reset() {
  fIndex = 0;
  return fGeom ? MS::kSuccess : MS::kFailure;
}

int MItGeometry::index(MStatus* status) const {
  setStatus(status, isDone() ? MS::kFailure : MS::kSuccess);
  return fIndex;
}

int MItGeometry::count(MStatus* status) const {
  setStatus(status, fGeom ? MS::kSuccess : MS::kFailure);
  return fGeom ? static_cast<int>(fGeom->points.size()) : 0;
}

MPoint MItGeometry::position(MSpace::Space space, MStatus* status) const {
  if (isDone()) {
    setStatus(status, MS::kFailure);
    return MPoint();
  }
  setStatus(status, MS::kSuccess);
  MPoint p(fGeom->points[static_cast<size_t>(fIndex)]);
  return space == MSpace::kWorld ? p * fPath.inclusiveMatrix() : p;
}

MObject MItGeometry::component(MStatus* status) const {
  if (isDone()) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  setStatus(status, MS::kSuccess);
  return MObject(std::make_shared<kvhost::ComponentObject>(MFn::kMeshVertComponent, std::vector<int>{fIndex}));
}
