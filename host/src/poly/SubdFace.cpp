// polySubdFace: each level splits the listed faces around a new centre
// vertex, in quads (a mid vertex on every edge) or triangles. The numbering is
// Maya's: per face in slot order the centre comes first, then a mid vertex
// for each of its edges not split yet; the split edge keeps its slot up to
// the mid vertex and its second half is appended, then the face's spokes; the
// face keeps its slot for its first piece and the other pieces are appended
// after all faces. A neighbour that is not split gets the mid vertices in its
// loop.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

using poly::f32;

struct Loop {
  std::vector<int> verts;
  std::vector<int> holes;             // offsets in verts where a hole loop starts
  std::vector<std::vector<int>> uvs;  // per UV set, parallel to verts
  int origin = 0;
  bool selected = false;
};

MVector floatPoint(const MVector& p) { return MVector(f32(p.x), f32(p.y), f32(p.z)); }

}  // namespace

// One level over every selected face without holes.
std::shared_ptr<MeshGeom> subdivideOnce(const MeshGeom& in, std::vector<char>& selected, bool triangles,
                                        std::vector<int>& origin, LevelMap* map) {
  auto topoIn = poly::withEdges(in.topo);
  const MeshTopology& t = *topoIn;
  const size_t sets = t.uvSets.size();
  std::vector<MVector> points = in.points;
  std::vector<MeshTopology::Edge> edges = t.edges;
  std::vector<MeshTopology::UVSet> uvSets = t.uvSets;
  for (auto& set : uvSets) set.uvIds.clear();

  const int faceCount = t.numFaces();
  std::vector<Loop> faces(static_cast<size_t>(faceCount));
  std::vector<char> holes(static_cast<size_t>(faceCount), 0);
  for (int f = 0; f < faceCount; ++f) {
    Loop& loop = faces[static_cast<size_t>(f)];
    const auto loops = t.loops(f);
    holes[static_cast<size_t>(f)] = loops.size() > 1;
    loop.uvs.resize(sets);
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i) {
      loop.verts.push_back(t.faceVerts[static_cast<size_t>(i)]);
      for (size_t s = 0; s < sets; ++s) loop.uvs[s].push_back(t.uvSets[s].uvIds[static_cast<size_t>(i)]);
    }
    loop.origin = origin.empty() ? f : origin[static_cast<size_t>(f)];
    loop.selected = selected[static_cast<size_t>(f)] && !holes[static_cast<size_t>(f)] && t.faceSize(f) >= 3;
  }
  // Faces on each edge, with the offset of the corner where they leave it.
  std::vector<std::vector<std::pair<int, int>>> onEdge(edges.size());
  for (int f = 0; f < faceCount; ++f)
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i) {
      const int e = t.faceEdges[static_cast<size_t>(i)];
      onEdge[static_cast<size_t>(e >= 0 ? e : -e - 1)].push_back({f, i - t.faceStart[static_cast<size_t>(f)]});
    }
  auto cornerUV = [&](int f, int corner, size_t s) { return faces[static_cast<size_t>(f)].uvs[s][static_cast<size_t>(corner)]; };
  // UVs of face f at the ends of edge e in the edge's stored direction.
  auto pairOf = [&](int f, int corner, int e, size_t s) {
    const Loop& loop = faces[static_cast<size_t>(f)];
    const int n = static_cast<int>(loop.verts.size());
    const int here = cornerUV(f, corner, s), there = cornerUV(f, (corner + 1) % n, s);
    return loop.verts[static_cast<size_t>(corner)] == edges[static_cast<size_t>(e)].v0 ? std::pair{here, there}
                                                                                          : std::pair{there, here};
  };
  auto midUV = [&](size_t s, std::pair<int, int> ends) {
    if (ends.first < 0 || ends.second < 0) return -1;
    auto& set = uvSets[s];
    const size_t a = static_cast<size_t>(ends.first), b = static_cast<size_t>(ends.second);
    set.u.push_back((set.u[a] + set.u[b]) * 0.5f);
    set.v.push_back((set.v[a] + set.v[b]) * 0.5f);
    return static_cast<int>(set.u.size()) - 1;
  };
  // Per split edge: its mid vertex, the mid UVs made for a UV pair (found
  // again by faces with the same pair), and those made for the other side,
  // which only a neighbour that is not split uses.
  struct Split {
    int mid = -1;
    std::vector<std::vector<std::pair<std::pair<int, int>, int>>> uvs, otherSide;
  };
  std::vector<Split> split(edges.size());
  auto findUV = [](const std::vector<std::pair<std::pair<int, int>, int>>& list, std::pair<int, int> key) {
    for (const auto& [k, id] : list)
      if (k == key) return id;
    return -2;
  };

  if (map) {
    map->midOfEdge.assign(edges.size(), -1);
    map->centreOfFace.assign(static_cast<size_t>(faceCount), -1);
  }
  std::vector<Loop> appended;
  for (int f = 0; f < faceCount; ++f) {
    if (!faces[static_cast<size_t>(f)].selected) continue;
    const Loop corners = faces[static_cast<size_t>(f)];
    const int n = static_cast<int>(corners.verts.size());
    // The centre: the mean of the corners in float32.
    MVector sum = floatPoint(points[static_cast<size_t>(corners.verts[0])]);
    for (int i = 1; i < n; ++i) {
      const MVector p = floatPoint(points[static_cast<size_t>(corners.verts[static_cast<size_t>(i)])]);
      sum = MVector(f32(sum.x + p.x), f32(sum.y + p.y), f32(sum.z + p.z));
    }
    const int centre = static_cast<int>(points.size());
    points.push_back(MVector(f32(sum.x / n), f32(sum.y / n), f32(sum.z / n)));
    if (map) map->centreOfFace[static_cast<size_t>(f)] = centre;
    std::vector<int> centreUV(sets, -1);
    for (size_t s = 0; s < sets; ++s) {
      bool all = std::all_of(corners.uvs[s].begin(), corners.uvs[s].end(), [](int id) { return id >= 0; });
      if (!all) continue;
      auto& set = uvSets[s];
      float u = set.u[static_cast<size_t>(corners.uvs[s][0])], v = set.v[static_cast<size_t>(corners.uvs[s][0])];
      for (int i = 1; i < n; ++i) {
        u = u + set.u[static_cast<size_t>(corners.uvs[s][static_cast<size_t>(i)])];
        v = v + set.v[static_cast<size_t>(corners.uvs[s][static_cast<size_t>(i)])];
      }
      set.u.push_back(u / static_cast<float>(n));
      set.v.push_back(v / static_cast<float>(n));
      centreUV[s] = static_cast<int>(set.u.size()) - 1;
    }
    if (triangles) {
      for (int i = 0; i < n; ++i) edges.push_back({corners.verts[static_cast<size_t>(i)], centre, false});
      for (int i = 0; i < n; ++i) {
        Loop piece;
        piece.origin = corners.origin;
        piece.selected = true;
        const int j = (i + 1) % n;
        piece.verts = {corners.verts[static_cast<size_t>(i)], corners.verts[static_cast<size_t>(j)], centre};
        piece.uvs.resize(sets);
        for (size_t s = 0; s < sets; ++s)
          piece.uvs[s] = {corners.uvs[s][static_cast<size_t>(i)], corners.uvs[s][static_cast<size_t>(j)], centreUV[s]};
        if (i == 0) faces[static_cast<size_t>(f)] = piece;
        else appended.push_back(std::move(piece));
      }
      continue;
    }
    // Mid vertices and mid UVs of the face's edges, in loop order.
    std::vector<int> mids(static_cast<size_t>(n));
    std::vector<std::vector<int>> midUVs(sets, std::vector<int>(static_cast<size_t>(n), -1));
    const int first = t.faceStart[static_cast<size_t>(f)];
    for (int i = 0; i < n; ++i) {
      const int code = t.faceEdges[static_cast<size_t>(first + i)];
      const int e = code >= 0 ? code : -code - 1;
      Split& sp = split[static_cast<size_t>(e)];
      if (sp.mid < 0) {
        const MeshTopology::Edge edge = edges[static_cast<size_t>(e)];
        const MVector a = floatPoint(points[static_cast<size_t>(edge.v0)]), b = floatPoint(points[static_cast<size_t>(edge.v1)]);
        sp.mid = static_cast<int>(points.size());
        if (map) map->midOfEdge[static_cast<size_t>(e)] = sp.mid;
        points.push_back(MVector(f32(f32(a.x + b.x) * 0.5f), f32(f32(a.y + b.y) * 0.5f), f32(f32(a.z + b.z) * 0.5f)));
        edges[static_cast<size_t>(e)].v1 = sp.mid;
        edges.push_back({sp.mid, edge.v1, edge.smooth});
        sp.uvs.resize(sets);
        sp.otherSide.resize(sets);
        for (size_t s = 0; s < sets; ++s) {
          const auto mine = pairOf(f, i, e, s);
          sp.uvs[s].push_back({mine, midUV(s, mine)});
          for (auto [g, corner] : onEdge[static_cast<size_t>(e)]) {
            if (g == f) continue;
            const auto theirs = pairOf(g, corner, e, s);
            if (theirs != mine) sp.otherSide[s].push_back({theirs, midUV(s, theirs)});
            break;
          }
        }
      } else {
        for (size_t s = 0; s < sets; ++s) {
          const auto mine = pairOf(f, i, e, s);
          if (findUV(sp.uvs[s], mine) == -2) sp.uvs[s].push_back({mine, midUV(s, mine)});
        }
      }
      mids[static_cast<size_t>(i)] = sp.mid;
      for (size_t s = 0; s < sets; ++s) midUVs[s][static_cast<size_t>(i)] = findUV(sp.uvs[s], pairOf(f, i, e, s));
    }
    for (int i = 0; i < n; ++i) edges.push_back({mids[static_cast<size_t>(i)], centre, false});
    for (int i = 0; i < n; ++i) {
      const int before = (i + n - 1) % n;
      Loop piece;
      piece.origin = corners.origin;
      piece.selected = true;
      piece.verts = {mids[static_cast<size_t>(before)], corners.verts[static_cast<size_t>(i)], mids[static_cast<size_t>(i)], centre};
      piece.uvs.resize(sets);
      for (size_t s = 0; s < sets; ++s)
        piece.uvs[s] = {midUVs[s][static_cast<size_t>(before)], corners.uvs[s][static_cast<size_t>(i)],
                        midUVs[s][static_cast<size_t>(i)], centreUV[s]};
      if (i == 0) faces[static_cast<size_t>(f)] = piece;
      else appended.push_back(std::move(piece));
    }
  }
  // Neighbours that were not split take the mid vertices into their loops.
  for (int f = 0; f < faceCount; ++f) {
    Loop& loop = faces[static_cast<size_t>(f)];
    if (loop.selected) continue;
    const int first = t.faceStart[static_cast<size_t>(f)];
    Loop grown;
    grown.origin = loop.origin;
    grown.uvs.resize(sets);
    for (auto [begin, end] : t.loops(f)) {
      if (begin != first) grown.holes.push_back(static_cast<int>(grown.verts.size()));
      for (int i = begin; i < end; ++i) {
        const int corner = i - first;
        grown.verts.push_back(loop.verts[static_cast<size_t>(corner)]);
        for (size_t s = 0; s < sets; ++s) grown.uvs[s].push_back(loop.uvs[s][static_cast<size_t>(corner)]);
        const int code = t.faceEdges[static_cast<size_t>(i)];
        const int e = code >= 0 ? code : -code - 1;
        const Split& sp = split[static_cast<size_t>(e)];
        if (sp.mid < 0) continue;
        grown.verts.push_back(sp.mid);
        // The corner after this one, wrapping at the end of its loop.
        const int nextCorner = (i + 1 < end ? i + 1 : begin) - first;
        for (size_t s = 0; s < sets; ++s) {
          const int here = loop.uvs[s][static_cast<size_t>(corner)], there = loop.uvs[s][static_cast<size_t>(nextCorner)];
          const std::pair<int, int> ends =
              loop.verts[static_cast<size_t>(corner)] == edges[static_cast<size_t>(e)].v0 ? std::pair{here, there}
                                                                                           : std::pair{there, here};
          int id = findUV(sp.otherSide[s], ends);
          if (id == -2) id = findUV(sp.uvs[s], ends);
          if (id == -2) id = midUV(s, ends);
          grown.uvs[s].push_back(id);
        }
      }
    }
    loop = std::move(grown);
  }
  faces.insert(faces.end(), std::make_move_iterator(appended.begin()), std::make_move_iterator(appended.end()));

  // Assemble the level's mesh.
  MeshTopology base;
  base.uvSets = uvSets;
  poly::TopoBuilder out(base);
  out.edges() = edges;
  selected.assign(faces.size(), 0);
  origin.assign(faces.size(), 0);
  std::vector<int> uvs(sets);
  for (size_t f = 0; f < faces.size(); ++f) {
    const Loop& loop = faces[f];
    out.beginFace(loop.origin);
    size_t hole = 0;
    for (size_t i = 0; i < loop.verts.size(); ++i) {
      if (hole < loop.holes.size() && static_cast<size_t>(loop.holes[hole]) == i) {
        out.beginHole();
        ++hole;
      }
      for (size_t s = 0; s < sets; ++s) uvs[s] = loop.uvs[s][i];
      out.corner(loop.verts[i], sets ? uvs.data() : nullptr);
    }
    out.endFace();
    selected[f] = loop.selected;
    origin[f] = loop.origin;
  }
  MeshGeom shell;
  shell.topo = std::make_shared<MeshTopology>(base);
  return out.finish(std::move(points), shell, false);
}

namespace {

std::shared_ptr<const MeshGeom> evaluateSubdFace(PolyEval& e) {
  const MeshGeom& in = e.input();
  const int levels = std::max(0, e.integer("dv"));
  if (e.integer("sbm") != 0) return e.fail("subdivides by U and V divisions, which the host does not build");
  const double growth = std::pow(4.0, levels);
  if (!e.within(static_cast<double>(in.topo->faceVerts.size()) * growth, "face vertices") ||
      !e.within(static_cast<double>(in.points.size()) + static_cast<double>(in.topo->faceVerts.size()) * growth, "vertices"))
    return nullptr;
  auto faces = e.components("ics", "f", in.topo->numFaces());
  std::vector<int> origin;
  return subdivideFaces(in, faces ? &*faces : nullptr, levels, e.integer("m") == 1, origin);
}

const PolyFamily kSubdFace{PolyFamily::Input::Polymesh, evaluateSubdFace};

}  // namespace

std::shared_ptr<MeshGeom> subdivideFaces(const MeshGeom& in, const std::vector<int>* faces, int levels, bool triangles,
                                         std::vector<int>& origin) {
  const int count = in.topo->numFaces();
  std::vector<char> selected(static_cast<size_t>(count), faces ? 0 : 1);
  if (faces)
    for (int f : *faces) selected[static_cast<size_t>(f)] = 1;
  origin.clear();
  auto geom = std::make_shared<MeshGeom>(in);
  for (int level = 0; level < levels; ++level) geom = subdivideOnce(*geom, selected, triangles, origin, nullptr);
  if (origin.empty())
    for (int f = 0; f < count; ++f) origin.push_back(f);
  geom->groups = poly::remapGroups(in.groups, origin, count);
  return geom;
}

void registerPolySubdFace(Scene::Impl& impl) {
  TypeBuilder b(impl, "polySubdFace", "polyModifier", {});
  b.type().poly = &kSubdFace;
  b.num({"divisions", "dv"}, NumType::Long, 1);
  b.num({"divisionsU", "duv"}, NumType::Long, 1);
  b.num({"divisionsV", "dvv"}, NumType::Long, 1);
  b.num({"mode", "m"}, NumType::Enum, 0);
  b.num({"subdMethod", "sbm"}, NumType::Enum, 0);
}

}  // namespace kvhost
