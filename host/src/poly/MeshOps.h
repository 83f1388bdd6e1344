#pragma once
// Building blocks shared by the poly node families: Maya's float32 step
// arithmetic, a builder for generated meshes, and topology helpers for
// modifiers (edge lookup, face-group remapping, the primitive axis).

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "../Core.h"

namespace kvhost::poly {

// Maya builds primitives in float32, rounding after every operation.
inline float f32(double x) { return static_cast<float>(x); }

// Side edges of round primitives (cylinder, cone) between faces that turn by
// less than this many degrees are soft.
constexpr double kSoftTurnDegrees = 30.0;

// The circle table rot(n): a = f(2pi/n), then each entry is the previous one
// turned by (f(cos a), f(sin a)) in float32, so errors accumulate the way
// Maya's do (exact trigonometry does not reproduce Maya's numbers).
struct Circle {
  std::vector<float> c, s;  // n entries, entry 0 is (1, 0)
};
Circle circleTable(int n);

// acc(a, b, n): n+1 values from f(a), each the previous plus f((b-a)/n) in
// float32, the last forced to f(b).
std::vector<float> accumulate(double a, double b, int n);

// A generated mesh: vertices, UVs, faces with their UV loops, and edges in
// the order the generator lists them.
class MeshMaker {
public:
  int vertex(float x, float y, float z);
  int uv(float u, float v);
  void edge(int a, int b, bool smooth);
  // A face: its vertex loop and, when the mesh has UVs, one UV per vertex.
  void face(const std::vector<int>& vertices, const std::vector<int>& uvs = {});
  int vertexCount() const { return static_cast<int>(fPoints.size() / 3); }
  int uvCount() const { return static_cast<int>(fU.size()); }

  // The mesh, turned from +Y to `axis` (the minimal rotation; the default
  // axis leaves the numbers untouched). Edges missing from the list are added
  // after it, soft. UVs go into set "map1" when any were made.
  std::shared_ptr<MeshGeom> finish(const MVector& axis = MVector(0, 1, 0));

private:
  std::vector<float> fPoints;  // x y z
  std::vector<float> fU, fV;
  std::vector<MeshTopology::Edge> fEdges;
  std::vector<int> fFaceStart{0}, fFaceVerts, fFaceUVs;
  bool fHasUVs = false;
};

// Points turned by the minimal rotation taking +Y to `axis`, rounded to
// float32. The default axis, or a zero one, leaves them as they are.
void turnToAxis(std::vector<MVector>& points, const MVector& axis);

// Key of the undirected edge (a, b).
inline uint64_t edgeKey(int a, int b) {
  uint32_t lo = static_cast<uint32_t>(a < b ? a : b), hi = static_cast<uint32_t>(a < b ? b : a);
  return (uint64_t{hi} << 32) | lo;
}
std::unordered_map<uint64_t, int> edgeLookup(const MeshTopology& topo);

// Fills faceEdges from the face loops, looking each side up in `edges` and
// appending the edges that are missing (soft), in the order faces use them.
void linkFaceEdges(MeshTopology& topo);
// The topology with edges and faceEdges filled in (a copy only when needed).
std::shared_ptr<const MeshTopology> withEdges(const std::shared_ptr<const MeshTopology>& topo);

// Face groups carried to new faces: face f of the output belongs to a group
// when face origin[f] of the input did (-1: a face of no input face).
std::vector<FaceGroup> remapGroups(const std::vector<FaceGroup>& groups, const std::vector<int>& origin,
                                   int inputFaces);

// Builds a modifier's output face by face from an input topology: faces get
// their corners (vertex and one UV id per UV set of the input), hole loops
// and the input face they came from. `finish` keeps the given edges that
// faces still use, in their order, appends the new ones (soft), and carries
// the input's face groups to the new faces.
class TopoBuilder {
public:
  // Without `keepEdges` the output gets no edges at all (see finishFaces).
  explicit TopoBuilder(const MeshTopology& input, bool keepEdges = true);
  void beginFace(int origin);
  void beginHole();
  // A corner; `uvs` holds one id per UV set (-1: none), or is null for none.
  void corner(int vertex, const int* uvs = nullptr);
  // A corner copied from offset `at` of the input's faceVerts (its UVs too).
  void cornerFrom(const MeshTopology& input, int at, int vertex);
  void endFace();
  // UV sets of the output, initially the input's; modifiers may add UVs.
  std::vector<MeshTopology::UVSet>& uvSets() { return fTopo->uvSets; }
  std::vector<MeshTopology::Edge>& edges() { return fTopo->edges; }
  int faceCount() const { return fTopo->numFaces(); }
  const std::vector<int>& origins() const { return fOrigin; }
  // The mesh: `points` become its vertices; with `dropUnused` vertices no
  // face uses are removed and the rest renumbered in order.
  std::shared_ptr<MeshGeom> finish(std::vector<MVector> points, const MeshGeom& input, bool dropUnused);
  // The mesh with its faces, UVs and face groups only: no edges, every vertex
  // and UV kept as numbered. The same faces as finish(points, input, false).
  std::shared_ptr<MeshGeom> finishFaces(std::vector<MVector> points, const MeshGeom& input);

private:
  std::shared_ptr<MeshTopology> fTopo;
  std::vector<int> fOrigin;
  size_t fSets;
};

// The mesh with the faces marked in `flip` turned over: each loop walked
// backwards from its first corner ([0 1 2 3] becomes [0 3 2 1]), UVs with it.
// `renumber`, when given, maps the vertices of turned faces.
std::shared_ptr<MeshGeom> turnFaces(const MeshGeom& in, std::vector<MVector> points, const std::vector<char>& flip,
                                    const std::vector<int>* renumber = nullptr);

// Removes faces, edges, and (as asked) vertices and UVs that no face uses any
// more, and renumbers what is left in its old order. `keepFace[f]` says which
// faces stay. Returns the surviving faces' origins (old indices).
struct Compacted {
  std::shared_ptr<MeshGeom> geom;
  std::vector<int> faceOrigin;
};
Compacted compact(const MeshGeom& in, const std::vector<char>& keepFace, bool dropUnusedUVs,
                  bool dropUnusedVertices = true);

}  // namespace kvhost::poly
