// polySmoothFace, exponential method: each division is one polySubdFace
// level (same numbering of vertices, edges, faces and UVs) whose new and old
// vertices are moved to the Catmull-Clark positions, blended with the plain
// subdivision by the continuity. Borders (and hard edges with keepHardEdge)
// are creases; with keepBorder their vertices stay where they are.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

// Moves the vertices of one subdivided level (`out`, made from `in` with
// `map`) to their smoothed places.
void smoothLevel(const MeshGeom& in, const std::vector<char>& selectedIn, const LevelMap& map, MeshGeom& out,
                 double continuity, bool keepBorder, bool keepHard) {
  auto topo = poly::withEdges(in.topo);
  const MeshTopology& t = *topo;
  const size_t nv = in.points.size(), ne = t.edges.size();
  std::vector<MVector> facePoint(static_cast<size_t>(t.numFaces()));
  std::vector<int> edgeFaces(ne, 0), selectedFaces(ne, 0);
  std::vector<std::vector<int>> edgeFaceList(ne);
  for (int f = 0; f < t.numFaces(); ++f) {
    MVector sum;
    const int n = t.faceSize(f);
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i) {
      sum += in.points[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])];
      const int code = t.faceEdges[static_cast<size_t>(i)];
      const size_t e = static_cast<size_t>(code >= 0 ? code : -code - 1);
      ++edgeFaces[e];
      if (selectedIn[static_cast<size_t>(f)]) ++selectedFaces[e];
      edgeFaceList[e].push_back(f);
    }
    facePoint[static_cast<size_t>(f)] = n > 0 ? sum / n : sum;
  }
  auto crease = [&](size_t e) { return edgeFaces[e] != 2 || (keepHard && !t.edges[e].smooth); };
  auto blend = [&](const MVector& linear, const MVector& smooth) {
    const MVector p = linear + (smooth - linear) * continuity;
    return MVector(f32(p.x), f32(p.y), f32(p.z));
  };
  // Edge points.
  for (size_t e = 0; e < ne; ++e) {
    const int mid = map.midOfEdge[e];
    if (mid < 0) continue;
    const MVector a = in.points[static_cast<size_t>(t.edges[e].v0)], b = in.points[static_cast<size_t>(t.edges[e].v1)];
    const MVector linear = (a + b) * 0.5;
    MVector smooth = linear;
    if (!crease(e) && selectedFaces[e] == 2)
      smooth = (a + b + facePoint[static_cast<size_t>(edgeFaceList[e][0])] + facePoint[static_cast<size_t>(edgeFaceList[e][1])]) / 4.0;
    out.points[static_cast<size_t>(mid)] = blend(linear, smooth);
  }
  // Old vertices: only those whose faces were all subdivided move.
  std::vector<std::vector<size_t>> vertexEdges(nv);
  for (size_t e = 0; e < ne; ++e) {
    vertexEdges[static_cast<size_t>(t.edges[e].v0)].push_back(e);
    vertexEdges[static_cast<size_t>(t.edges[e].v1)].push_back(e);
  }
  for (size_t v = 0; v < nv; ++v) {
    const auto& incident = vertexEdges[v];
    if (incident.empty()) continue;
    bool all = true;
    for (size_t e : incident)
      for (int f : edgeFaceList[e]) all = all && selectedIn[static_cast<size_t>(f)];
    if (!all) continue;
    const MVector s = in.points[v];
    std::vector<size_t> creases;
    for (size_t e : incident)
      if (crease(e)) creases.push_back(e);
    MVector smooth = s;
    auto other = [&](size_t e) {
      return in.points[static_cast<size_t>(t.edges[e].v0 == static_cast<int>(v) ? t.edges[e].v1 : t.edges[e].v0)];
    };
    if (creases.empty()) {
      // Interior: (Q + 2R + (n - 3) S) / n.
      const double n = static_cast<double>(incident.size());
      MVector q, r;
      std::vector<int> faces;
      for (size_t e : incident) {
        r += (s + other(e)) * 0.5;
        for (int f : edgeFaceList[e])
          if (std::find(faces.begin(), faces.end(), f) == faces.end()) faces.push_back(f);
      }
      for (int f : faces) q += facePoint[static_cast<size_t>(f)];
      q = q / static_cast<double>(faces.size());
      r = r / n;
      smooth = (q + r * 2.0 + s * (n - 3.0)) / n;
    } else if (creases.size() == 2) {
      const bool border = edgeFaces[creases[0]] != 2 || edgeFaces[creases[1]] != 2;
      if (!(border && keepBorder)) smooth = (other(creases[0]) + s * 6.0 + other(creases[1])) / 8.0;
    }
    out.points[v] = blend(s, smooth);
  }
}

std::shared_ptr<const MeshGeom> evaluateSmoothFace(PolyEval& e) {
  const MeshGeom& in = e.input();
  if (e.integer("mth") != 0) return e.fail("uses the linear method, which the host does not build");
  const int levels = std::max(0, e.integer("dv"));
  const double growth = std::pow(4.0, levels);
  if (!e.within(static_cast<double>(in.topo->faceVerts.size()) * growth, "face vertices") ||
      !e.within(static_cast<double>(in.points.size()) + static_cast<double>(in.topo->faceVerts.size()) * growth, "vertices"))
    return nullptr;
  auto faces = e.components("ics", "f", in.topo->numFaces());
  const int count = in.topo->numFaces();
  std::vector<char> selected(static_cast<size_t>(count), faces ? 0 : 1);
  if (faces)
    for (int f : *faces) selected[static_cast<size_t>(f)] = 1;
  const double continuity = std::clamp(e.number("c"), 0.0, 1.0);
  auto geom = std::make_shared<MeshGeom>(in);
  std::vector<int> origin;
  for (int level = 0; level < levels; ++level) {
    const std::vector<char> before = selected;
    LevelMap map;
    auto next = subdivideOnce(*geom, selected, false, origin, &map);
    smoothLevel(*geom, before, map, *next, continuity, e.flag("kb"), e.flag("khe"));
    geom = next;
  }
  if (origin.empty())
    for (int f = 0; f < count; ++f) origin.push_back(f);
  geom->groups = poly::remapGroups(in.groups, origin, count);
  return geom;
}

const PolyFamily kSmoothFace{PolyFamily::Input::Polymesh, evaluateSmoothFace};

}  // namespace

void registerPolySmoothFace(Scene::Impl& impl) {
  TypeBuilder b(impl, "polySmoothFace", "polyModifier", {});
  b.type().poly = &kSmoothFace;
  b.num({"method", "mth"}, NumType::Enum, 0);
  b.num({"divisions", "dv"}, NumType::Short, 1);
  b.num({"continuity", "c"}, NumType::Float, 1.0);
  b.num({"smoothUVs", "suv"}, NumType::Bool, 0);
  b.num({"keepBorder", "kb"}, NumType::Bool, 1);
  b.num({"keepSelectionBorder", "ksb"}, NumType::Bool, 1);
  b.num({"keepHardEdge", "khe"}, NumType::Bool, 0);
  b.num({"propagateEdgeHardness", "peh"}, NumType::Bool, 0);
  b.num({"keepMapBorders", "kmb"}, NumType::Enum, 1);
  b.num({"keepTessellation", "kt"}, NumType::Bool, 1);
  b.num({"subdivisionLevels", "sl"}, NumType::Long, 1);
  b.num({"divisionsPerEdge", "dpe"}, NumType::Long, 1);
  b.num({"pushStrength", "ps"}, NumType::Float, 0.0);
  b.num({"roundness", "ro"}, NumType::Float, 0.0);
  b.num({"degree", "deg"}, NumType::Long, 3);
  b.num({"boundaryRule", "bnr"}, NumType::Enum, 1);
  b.num({"maya65Above", "ma"}, NumType::Bool, 0);
  b.num({"maya2008Above", "m08"}, NumType::Bool, 0);
}

}  // namespace kvhost
