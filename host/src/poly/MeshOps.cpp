#include "MeshOps.h"

#include <algorithm>
#include <cmath>

namespace kvhost {

std::vector<std::pair<int, int>> MeshTopology::loops(int f) const {
  const int begin = faceStart[static_cast<size_t>(f)], end = faceStart[static_cast<size_t>(f) + 1];
  std::vector<std::pair<int, int>> out;
  auto hole = std::upper_bound(holeStarts.begin(), holeStarts.end(), begin);
  int start = begin;
  for (; hole != holeStarts.end() && *hole < end; ++hole) {
    out.push_back({start, *hole});
    start = *hole;
  }
  out.push_back({start, end});
  return out;
}

namespace poly {

Circle circleTable(int n) {
  Circle t;
  t.c.resize(static_cast<size_t>(n));
  t.s.resize(static_cast<size_t>(n));
  const float a = f32(2.0 * M_PI / n);
  const float cd = f32(std::cos(double(a))), sd = f32(std::sin(double(a)));
  float c = 1.0f, s = 0.0f;
  for (size_t k = 0; k < static_cast<size_t>(n); ++k) {
    t.c[k] = c;
    t.s[k] = s;
    const float cc = c * cd, ss = s * sd, sc = s * cd, cs = c * sd;
    c = cc - ss;
    s = sc + cs;
  }
  return t;
}

std::vector<float> accumulate(double a, double b, int n) {
  std::vector<float> v(static_cast<size_t>(n) + 1);
  const float step = f32((b - a) / n);
  v[0] = f32(a);
  for (size_t j = 1; j < v.size(); ++j) v[j] = v[j - 1] + step;
  v.back() = f32(b);
  return v;
}

int MeshMaker::vertex(float x, float y, float z) {
  fPoints.insert(fPoints.end(), {x, y, z});
  return vertexCount() - 1;
}

int MeshMaker::uv(float u, float v) {
  fU.push_back(u);
  fV.push_back(v);
  fHasUVs = true;
  return uvCount() - 1;
}

void MeshMaker::edge(int a, int b, bool smooth) { fEdges.push_back({a, b, smooth}); }

void MeshMaker::face(const std::vector<int>& vertices, const std::vector<int>& uvs) {
  fFaceVerts.insert(fFaceVerts.end(), vertices.begin(), vertices.end());
  if (uvs.size() == vertices.size()) fFaceUVs.insert(fFaceUVs.end(), uvs.begin(), uvs.end());
  else fFaceUVs.insert(fFaceUVs.end(), vertices.size(), -1);
  fFaceStart.push_back(static_cast<int>(fFaceVerts.size()));
}

std::shared_ptr<MeshGeom> MeshMaker::finish(const MVector& axis) {
  auto topo = std::make_shared<MeshTopology>();
  topo->numVertices = vertexCount();
  topo->faceStart = std::move(fFaceStart);
  topo->faceVerts = std::move(fFaceVerts);
  topo->edges = std::move(fEdges);
  if (fHasUVs) {
    MeshTopology::UVSet set;
    set.name = "map1";
    set.u = std::move(fU);
    set.v = std::move(fV);
    set.uvIds = std::move(fFaceUVs);
    topo->uvSets.push_back(std::move(set));
  }
  linkFaceEdges(*topo);
  auto geom = std::make_shared<MeshGeom>();
  geom->points.reserve(static_cast<size_t>(topo->numVertices));
  for (size_t i = 0; i < fPoints.size(); i += 3) geom->points.emplace_back(fPoints[i], fPoints[i + 1], fPoints[i + 2]);
  turnToAxis(geom->points, axis);
  geom->topo = std::move(topo);
  return geom;
}

void turnToAxis(std::vector<MVector>& points, const MVector& axis) {
  const double len = axis.length();
  if (!(len > 0.0)) return;
  const MVector a = axis / len;
  if (a.x == 0.0 && a.z == 0.0 && a.y > 0.0) return;
  double m[3][3];
  const MVector k(a.z, 0.0, -a.x);  // +Y x a
  const double sinT = k.length(), cosT = a.y;
  if (sinT < 1e-12) {
    // Straight down: half a turn about X.
    const double flip[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    std::copy(&flip[0][0], &flip[0][0] + 9, &m[0][0]);
  } else {
    const MVector u = k / sinT;
    const double c = cosT, s = sinT, t = 1.0 - cosT;
    const double rot[3][3] = {{c + t * u.x * u.x, t * u.x * u.y - s * u.z, t * u.x * u.z + s * u.y},
                              {t * u.y * u.x + s * u.z, c + t * u.y * u.y, t * u.y * u.z - s * u.x},
                              {t * u.z * u.x - s * u.y, t * u.z * u.y + s * u.x, c + t * u.z * u.z}};
    std::copy(&rot[0][0], &rot[0][0] + 9, &m[0][0]);
  }
  // Quarter turns give exact permutations, not 6e-17 residues.
  for (auto& row : m)
    for (double& e : row) {
      if (std::abs(e) < 1e-12) e = 0.0;
      else if (std::abs(e - 1.0) < 1e-12) e = 1.0;
      else if (std::abs(e + 1.0) < 1e-12) e = -1.0;
    }
  for (MVector& p : points) {
    const double x = p.x, y = p.y, z = p.z;
    p = MVector(f32(m[0][0] * x + m[0][1] * y + m[0][2] * z), f32(m[1][0] * x + m[1][1] * y + m[1][2] * z),
                f32(m[2][0] * x + m[2][1] * y + m[2][2] * z));
  }
}

std::unordered_map<uint64_t, int> edgeLookup(const MeshTopology& topo) {
  std::unordered_map<uint64_t, int> lookup;
  lookup.reserve(topo.edges.size());
  for (size_t e = 0; e < topo.edges.size(); ++e)
    lookup.emplace(edgeKey(topo.edges[e].v0, topo.edges[e].v1), static_cast<int>(e));
  return lookup;
}

void linkFaceEdges(MeshTopology& topo) {
  auto lookup = edgeLookup(topo);
  topo.faceEdges.assign(topo.faceVerts.size(), 0);
  for (int f = 0; f < topo.numFaces(); ++f) {
    for (auto [begin, end] : topo.loops(f)) {
      for (int i = begin; i < end; ++i) {
        const int a = topo.faceVerts[static_cast<size_t>(i)];
        const int b = topo.faceVerts[static_cast<size_t>(i + 1 < end ? i + 1 : begin)];
        auto [it, added] = lookup.emplace(edgeKey(a, b), static_cast<int>(topo.edges.size()));
        if (added) topo.edges.push_back({a, b, true});
        const int e = it->second;
        topo.faceEdges[static_cast<size_t>(i)] = topo.edges[static_cast<size_t>(e)].v0 == a ? e : -e - 1;
      }
    }
  }
}

std::shared_ptr<const MeshTopology> withEdges(const std::shared_ptr<const MeshTopology>& topo) {
  if (topo->faceEdges.size() == topo->faceVerts.size()) return topo;
  auto copy = std::make_shared<MeshTopology>(*topo);
  linkFaceEdges(*copy);
  return copy;
}

std::vector<FaceGroup> remapGroups(const std::vector<FaceGroup>& groups, const std::vector<int>& origin,
                                   int inputFaces) {
  std::vector<FaceGroup> out;
  out.reserve(groups.size());
  std::vector<char> member(static_cast<size_t>(std::max(inputFaces, 0)));
  for (const FaceGroup& g : groups) {
    std::fill(member.begin(), member.end(), 0);
    for (int f : g.faces)
      if (f >= 0 && f < inputFaces) member[static_cast<size_t>(f)] = 1;
    FaceGroup mapped{g.id, {}};
    for (size_t f = 0; f < origin.size(); ++f)
      if (origin[f] >= 0 && origin[f] < inputFaces && member[static_cast<size_t>(origin[f])])
        mapped.faces.push_back(static_cast<int>(f));
    out.push_back(std::move(mapped));
  }
  return out;
}

Compacted compact(const MeshGeom& inGeom, const std::vector<char>& keepFace, bool dropUnusedUVs,
                  bool dropUnusedVertices) {
  auto in = withEdges(inGeom.topo);
  const MeshTopology& t = *in;
  auto topo = std::make_shared<MeshTopology>();
  std::vector<int> vertexMap(static_cast<size_t>(t.numVertices), dropUnusedVertices ? -1 : 0),
      edgeMap(t.edges.size(), -1);
  std::vector<std::vector<int>> uvMaps(t.uvSets.size());
  for (size_t s = 0; s < t.uvSets.size(); ++s) uvMaps[s].assign(t.uvSets[s].u.size(), dropUnusedUVs ? -1 : 0);
  Compacted result;
  // Which vertices, edges and UVs survive.
  for (int f = 0; f < t.numFaces(); ++f) {
    if (!keepFace[static_cast<size_t>(f)]) continue;
    for (int i = t.faceStart[static_cast<size_t>(f)]; i < t.faceStart[static_cast<size_t>(f) + 1]; ++i) {
      vertexMap[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])] = 0;
      const int e = t.faceEdges[static_cast<size_t>(i)];
      edgeMap[static_cast<size_t>(e >= 0 ? e : -e - 1)] = 0;
      for (size_t s = 0; s < t.uvSets.size(); ++s)
        if (int id = t.uvSets[s].uvIds[static_cast<size_t>(i)]; id >= 0) uvMaps[s][static_cast<size_t>(id)] = 0;
    }
  }
  auto number = [](std::vector<int>& map) {
    int next = 0;
    for (int& m : map)
      if (m == 0) m = next++;
    return next;
  };
  topo->numVertices = number(vertexMap);
  number(edgeMap);
  for (size_t e = 0; e < t.edges.size(); ++e)
    if (edgeMap[e] >= 0) {
      MeshTopology::Edge edge = t.edges[e];
      edge.v0 = vertexMap[static_cast<size_t>(edge.v0)];
      edge.v1 = vertexMap[static_cast<size_t>(edge.v1)];
      topo->edges.push_back(edge);
    }
  for (size_t s = 0; s < t.uvSets.size(); ++s) {
    number(uvMaps[s]);
    MeshTopology::UVSet set;
    set.name = t.uvSets[s].name;
    for (size_t id = 0; id < uvMaps[s].size(); ++id)
      if (uvMaps[s][id] >= 0) {
        set.u.push_back(t.uvSets[s].u[id]);
        set.v.push_back(t.uvSets[s].v[id]);
      }
    topo->uvSets.push_back(std::move(set));
  }
  for (int f = 0; f < t.numFaces(); ++f) {
    if (!keepFace[static_cast<size_t>(f)]) continue;
    const int begin = t.faceStart[static_cast<size_t>(f)], end = t.faceStart[static_cast<size_t>(f) + 1];
    const int offset = static_cast<int>(topo->faceVerts.size()) - begin;
    for (int i = begin; i < end; ++i) {
      topo->faceVerts.push_back(vertexMap[static_cast<size_t>(t.faceVerts[static_cast<size_t>(i)])]);
      const int e = t.faceEdges[static_cast<size_t>(i)];
      topo->faceEdges.push_back(e >= 0 ? edgeMap[static_cast<size_t>(e)] : -edgeMap[static_cast<size_t>(-e - 1)] - 1);
      for (size_t s = 0; s < t.uvSets.size(); ++s) {
        const int id = t.uvSets[s].uvIds[static_cast<size_t>(i)];
        topo->uvSets[s].uvIds.push_back(id >= 0 ? uvMaps[s][static_cast<size_t>(id)] : -1);
      }
    }
    for (auto [loopBegin, loopEnd] : t.loops(f))
      if (loopBegin != begin) topo->holeStarts.push_back(loopBegin + offset);
    topo->faceStart.push_back(static_cast<int>(topo->faceVerts.size()));
    result.faceOrigin.push_back(f);
  }
  auto geom = std::make_shared<MeshGeom>();
  geom->points.resize(static_cast<size_t>(topo->numVertices));
  for (size_t v = 0; v < vertexMap.size() && v < inGeom.points.size(); ++v)
    if (vertexMap[v] >= 0) geom->points[static_cast<size_t>(vertexMap[v])] = inGeom.points[v];
  geom->groups = remapGroups(inGeom.groups, result.faceOrigin, t.numFaces());
  geom->topo = std::move(topo);
  result.geom = std::move(geom);
  return result;
}

}  // namespace poly
}  // namespace kvhost

namespace kvhost::poly {

TopoBuilder::TopoBuilder(const MeshTopology& input, bool keepEdges)
    : fTopo(std::make_shared<MeshTopology>()), fSets(input.uvSets.size()) {
  if (keepEdges) fTopo->edges = input.edges;
  for (const auto& set : input.uvSets) {
    MeshTopology::UVSet copy;
    copy.name = set.name;
    copy.u = set.u;
    copy.v = set.v;
    fTopo->uvSets.push_back(std::move(copy));
  }
}

void TopoBuilder::beginFace(int origin) { fOrigin.push_back(origin); }

void TopoBuilder::beginHole() { fTopo->holeStarts.push_back(static_cast<int>(fTopo->faceVerts.size())); }

void TopoBuilder::corner(int vertex, const int* uvs) {
  fTopo->faceVerts.push_back(vertex);
  for (size_t s = 0; s < fSets; ++s) fTopo->uvSets[s].uvIds.push_back(uvs ? uvs[s] : -1);
}

void TopoBuilder::cornerFrom(const MeshTopology& input, int at, int vertex) {
  fTopo->faceVerts.push_back(vertex);
  for (size_t s = 0; s < fSets; ++s) fTopo->uvSets[s].uvIds.push_back(input.uvSets[s].uvIds[static_cast<size_t>(at)]);
}

void TopoBuilder::endFace() { fTopo->faceStart.push_back(static_cast<int>(fTopo->faceVerts.size())); }

std::shared_ptr<MeshGeom> turnFaces(const MeshGeom& in, std::vector<MVector> points, const std::vector<char>& flip,
                                    const std::vector<int>* renumber) {
  const MeshTopology& t = *in.topo;
  TopoBuilder out(t);
  for (int f = 0; f < t.numFaces(); ++f) {
    out.beginFace(f);
    const bool turn = flip[static_cast<size_t>(f)];
    for (auto [begin, end] : t.loops(f)) {
      if (begin != t.faceStart[static_cast<size_t>(f)]) out.beginHole();
      const int n = end - begin;
      for (int k = 0; k < n; ++k) {
        const int at = begin + (turn ? (n - k) % n : k);
        int v = t.faceVerts[static_cast<size_t>(at)];
        if (turn && renumber) v = (*renumber)[static_cast<size_t>(v)];
        out.cornerFrom(t, at, v);
      }
    }
    out.endFace();
  }
  return out.finish(std::move(points), in, false);
}

std::shared_ptr<MeshGeom> TopoBuilder::finish(std::vector<MVector> points, const MeshGeom& input, bool dropUnused) {
  MeshTopology& t = *fTopo;
  t.numVertices = static_cast<int>(points.size());
  // Edges naming vertices that no longer exist cannot be kept.
  t.edges.erase(std::remove_if(t.edges.begin(), t.edges.end(),
                               [&](const MeshTopology::Edge& e) {
                                 return e.v0 < 0 || e.v1 < 0 || e.v0 >= t.numVertices || e.v1 >= t.numVertices ||
                                        e.v0 == e.v1;
                               }),
                t.edges.end());
  linkFaceEdges(t);
  auto geom = std::make_shared<MeshGeom>();
  geom->points = std::move(points);
  geom->groups = remapGroups(input.groups, fOrigin, input.topo->numFaces());
  geom->topo = fTopo;
  // Drop the edges (and, if asked, vertices) that no face uses.
  std::vector<char> keep(static_cast<size_t>(t.numFaces()), 1);
  Compacted c = compact(*geom, keep, false, dropUnused);
  return c.geom;
}

std::shared_ptr<MeshGeom> TopoBuilder::finishFaces(std::vector<MVector> points, const MeshGeom& input) {
  fTopo->numVertices = static_cast<int>(points.size());
  fTopo->edges.clear();
  auto geom = std::make_shared<MeshGeom>();
  geom->points = std::move(points);
  geom->groups = remapGroups(input.groups, fOrigin, input.topo->numFaces());
  geom->topo = fTopo;
  return geom;
}

}  // namespace kvhost::poly
