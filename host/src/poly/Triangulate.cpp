// polyTriangulate, and the triangulation the host applies to every mesh for
// an export: each polygon of the component list becomes triangles, in place
// (the triangles of face f follow those of face f-1), with its corners' vertex
// and UV order kept. Convex polygons become a fan from their first corner;
// concave ones and polygons with holes are clipped ear by ear in the
// polygon's plane, holes first joined to the outer loop.

#include <algorithm>
#include <cmath>

#include "MeshOps.h"
#include "PolyNodes.h"

namespace kvhost {

namespace {

// Polygons with more corners than this are fanned without looking for ears,
// which keeps a hostile million-corner polygon linear.
constexpr size_t kEarClipLimit = 4096;

struct P2 {
  double x, y;
};

double cross(const P2& o, const P2& a, const P2& b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

bool inTriangle(const P2& p, const P2& a, const P2& b, const P2& c) {
  return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// Splits one polygon (its loops as offsets into faceVerts) into triangles,
// given as offsets into faceVerts.
class PolygonSplitter {
public:
  PolygonSplitter(const MeshTopology& t, const std::vector<MVector>& points) : fTopo(t), fPoints(points) {}

  void split(const std::vector<std::pair<int, int>>& loops, std::vector<int>& triangles) {
    triangles.clear();
    const auto [begin, end] = loops.front();
    const int n = end - begin;
    if (loops.size() == 1 && (n <= 3 || static_cast<size_t>(n) > kEarClipLimit)) {
      for (int i = 1; i + 1 < n; ++i) triangles.insert(triangles.end(), {begin, begin + i, begin + i + 1});
      return;
    }
    project(loops);
    fRing.clear();
    for (int i = begin; i < end; ++i) fRing.push_back(i);
    if (loops.size() > 1) joinHoles(loops);
    if (loops.size() == 1 && convex()) {
      for (size_t i = 1; i + 1 < fRing.size(); ++i) triangles.insert(triangles.end(), {fRing[0], fRing[i], fRing[i + 1]});
      return;
    }
    clipEars(triangles);
  }

private:
  P2 at(int offset) const { return fFlat[static_cast<size_t>(offset - fBase)]; }

  // Corners in the plane of the outer loop (Newell's normal), oriented so the
  // outer loop runs counter-clockwise.
  void project(const std::vector<std::pair<int, int>>& loops) {
    const auto [begin, end] = loops.front();
    MVector normal;
    for (int i = begin; i < end; ++i) {
      const MVector& a = point(i);
      const MVector& b = point(i + 1 < end ? i + 1 : begin);
      normal.x += (a.y - b.y) * (a.z + b.z);
      normal.y += (a.z - b.z) * (a.x + b.x);
      normal.z += (a.x - b.x) * (a.y + b.y);
    }
    const double ax = std::abs(normal.x), ay = std::abs(normal.y), az = std::abs(normal.z);
    int drop = az >= ax && az >= ay ? 2 : (ay >= ax ? 1 : 0);
    const double sign = (drop == 0 ? normal.x : drop == 1 ? normal.y : normal.z) < 0 ? -1.0 : 1.0;
    fBase = begin;
    fFlat.clear();
    for (int i = begin; i < loops.back().second; ++i) {
      const MVector& p = point(i);
      P2 q = drop == 0 ? P2{p.y, p.z} : drop == 1 ? P2{p.z, p.x} : P2{p.x, p.y};
      q.y *= sign;
      fFlat.push_back(q);
    }
  }

  const MVector& point(int offset) const {
    static const MVector kOrigin;
    const int v = fTopo.faceVerts[static_cast<size_t>(offset)];
    return v >= 0 && static_cast<size_t>(v) < fPoints.size() ? fPoints[static_cast<size_t>(v)] : kOrigin;
  }

  bool convex() const {
    const size_t n = fRing.size();
    for (size_t i = 0; i < n; ++i)
      if (cross(at(fRing[i]), at(fRing[(i + 1) % n]), at(fRing[(i + 2) % n])) < 0) return false;
    return true;
  }

  // Each hole, rightmost first, is joined to the ring by a bridge from its
  // rightmost corner to the nearest ring corner it can see to its right.
  void joinHoles(const std::vector<std::pair<int, int>>& loops) {
    std::vector<std::pair<int, int>> holes(loops.begin() + 1, loops.end());
    auto rightmost = [&](const std::pair<int, int>& loop) {
      int best = loop.first;
      for (int i = loop.first; i < loop.second; ++i)
        if (at(i).x > at(best).x) best = i;
      return best;
    };
    std::sort(holes.begin(), holes.end(),
              [&](const auto& a, const auto& b) { return at(rightmost(a)).x > at(rightmost(b)).x; });
    for (const auto& hole : holes) {
      if (hole.second <= hole.first) continue;
      const int m = rightmost(hole);
      const P2 pm = at(m);
      // The ring edge first hit by a ray from m towards +x, and its end
      // furthest right; a ring corner nearer the ray inside the triangle wins.
      size_t bridge = 0;
      double bestX = INFINITY;
      const size_t n = fRing.size();
      for (size_t i = 0; i < n; ++i) {
        const P2 a = at(fRing[i]), b = at(fRing[(i + 1) % n]);
        if ((a.y > pm.y) == (b.y > pm.y)) continue;
        const double x = a.x + (pm.y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x < pm.x || x >= bestX) continue;
        bestX = x;
        bridge = a.x > b.x ? i : (i + 1) % n;
      }
      if (bestX == INFINITY) {
        // No edge to the right (degenerate input): bridge to the nearest corner.
        double best = INFINITY;
        for (size_t i = 0; i < n; ++i) {
          const P2 a = at(fRing[i]);
          const double d = (a.x - pm.x) * (a.x - pm.x) + (a.y - pm.y) * (a.y - pm.y);
          if (d < best) best = d, bridge = i;
        }
      } else {
        const P2 hit{bestX, pm.y}, pb = at(fRing[bridge]);
        double bestAngle = INFINITY;
        for (size_t i = 0; i < n; ++i) {
          const P2 c = at(fRing[i]);
          if (i == bridge || c.x < pm.x) continue;
          if (!inTriangle(c, pm, hit, pb) && !inTriangle(c, pm, pb, hit)) continue;
          const double angle = std::abs(std::atan2(c.y - pm.y, c.x - pm.x));
          if (angle < bestAngle) bestAngle = angle, bridge = i;
        }
      }
      // ring[..bridge], hole from m round to m, ring[bridge..]
      std::vector<int> joined(fRing.begin(), fRing.begin() + static_cast<long>(bridge) + 1);
      const int len = hole.second - hole.first;
      for (int k = 0; k <= len; ++k) joined.push_back(hole.first + (m - hole.first + k) % len);
      joined.insert(joined.end(), fRing.begin() + static_cast<long>(bridge), fRing.end());
      fRing.swap(joined);
    }
  }

  void clipEars(std::vector<int>& triangles) {
    std::vector<int> ring = fRing;
    size_t i = 1 % ring.size(), failures = 0;
    while (ring.size() > 3) {
      const size_t n = ring.size();
      const size_t prev = (i + n - 1) % n, next = (i + 1) % n;
      const P2 a = at(ring[prev]), b = at(ring[i]), c = at(ring[next]);
      bool ear = cross(a, b, c) > 0;
      for (size_t k = 0; ear && k < n; ++k) {
        if (k == prev || k == i || k == next) continue;
        const P2 p = at(ring[k]);
        // Bridge corners appear twice; a copy of a triangle corner is no obstacle.
        if ((p.x == a.x && p.y == a.y) || (p.x == b.x && p.y == b.y) || (p.x == c.x && p.y == c.y)) continue;
        if (inTriangle(p, a, b, c)) ear = false;
      }
      // A ring with no ear left (degenerate or self-crossing) is clipped anyway.
      if (ear || failures >= n) {
        triangles.insert(triangles.end(), {ring[prev], ring[i], ring[next]});
        ring.erase(ring.begin() + static_cast<long>(i));
        if (i >= ring.size()) i = 0;
        failures = 0;
      } else {
        i = next;
        ++failures;
      }
    }
    triangles.insert(triangles.end(), {ring[0], ring[1], ring[2]});
  }

  const MeshTopology& fTopo;
  const std::vector<MVector>& fPoints;
  std::vector<P2> fFlat;
  int fBase = 0;
  std::vector<int> fRing;
};

std::shared_ptr<const MeshGeom> evaluateTriangulate(PolyEval& e) {
  const MeshGeom& in = e.input();
  auto faces = e.components("ics", "f", in.topo->numFaces());
  std::vector<int> origin;
  if (!e.within(3.0 * static_cast<double>(in.topo->faceVerts.size()), "face vertices")) return nullptr;
  return triangulateFaces(in, faces ? &*faces : nullptr, origin);
}

const PolyFamily kTriangulate{PolyFamily::Input::Polymesh, evaluateTriangulate};

}  // namespace

std::shared_ptr<MeshGeom> triangulateFaces(const MeshGeom& in, const std::vector<int>* faces, std::vector<int>& origin,
                                           bool edges) {
  const MeshTopology& t = *in.topo;
  std::vector<char> selected(static_cast<size_t>(t.numFaces()), faces ? 0 : 1);
  if (faces)
    for (int f : *faces) selected[static_cast<size_t>(f)] = 1;
  poly::TopoBuilder out(t, edges);
  PolygonSplitter splitter(t, in.points);
  std::vector<int> triangles;
  origin.clear();
  for (int f = 0; f < t.numFaces(); ++f) {
    auto loops = t.loops(f);
    const int n = t.faceSize(f);
    if (!selected[static_cast<size_t>(f)] || (loops.size() == 1 && n <= 3) || n < 3) {
      out.beginFace(f);
      for (auto [begin, end] : loops) {
        if (begin != loops.front().first) out.beginHole();
        for (int i = begin; i < end; ++i) out.cornerFrom(t, i, t.faceVerts[static_cast<size_t>(i)]);
      }
      out.endFace();
      continue;
    }
    splitter.split(loops, triangles);
    for (size_t k = 0; k + 2 < triangles.size(); k += 3) {
      out.beginFace(f);
      for (size_t c = k; c < k + 3; ++c) out.cornerFrom(t, triangles[c], t.faceVerts[static_cast<size_t>(triangles[c])]);
      out.endFace();
    }
  }
  origin = out.origins();
  return edges ? out.finish(in.points, in, false) : out.finishFaces(in.points, in);
}

void registerPolyTriangulate(Scene::Impl& impl) {
  TypeBuilder b(impl, "polyTriangulate", "polyModifier", {});
  b.type().poly = &kTriangulate;
  b.num({"maya80", "m80"}, NumType::Bool, 1);
}

}  // namespace kvhost
