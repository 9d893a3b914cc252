// Ear clipping of a contour with holes (the triangulator of PolySet).
//
// Each pass walks the contour from its first point trying corners A B C:
// a convex corner whose triangle holds no other point and whose closing
// segment C→A crosses no edge is an ear and becomes a triangle; a rejected
// corner stays in the remainder, which is the contour of the next pass. An
// ear that holds a hole is not cut: the hole is bridged instead, from C and
// from A to its nearest visible vertices, splitting the outline into a
// sub-polygon (triangulated recursively) and a remainder without that hole.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "modeler/geometry/polygon.h"
#include "platform/console.h"

namespace tessaran {

namespace {

constexpr int kBlockedPassLimit = 5;
// Passes without progress after which rejections are explained.
constexpr int kExplainAfter = 5;

double Cross(PolyPoint a, PolyPoint b) { return a.x * b.y - a.y * b.x; }
PolyPoint Sub(PolyPoint a, PolyPoint b) { return {a.x - b.x, a.y - b.y}; }
double Distance(PolyPoint a, PolyPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

enum class Rejection { None, Concave, PointInside, Crossing };

// Why corner j + 1 is no ear; `edge` gets the edge crossed by C→A.
Rejection EarRejection(const std::vector<PolyPoint>& polygon, int j, int& edge) {
  const int b = static_cast<int>(polygon.size());
  const PolyPoint a = polygon[j % b];
  const PolyPoint corner = polygon[(j + 1) % b];
  const PolyPoint c = polygon[(j + 2) % b];
  if (Cross(Sub(corner, a), Sub(c, corner)) < 0) return Rejection::Concave;
  if (PointInTriangle(a, corner, c, polygon, j)) return Rejection::PointInside;
  const SegmentCrossing crossing = SegmentAgainstPolygon(c, a, polygon);
  edge = crossing.nearestEdge;
  if (crossing.crossed) return Rejection::Crossing;
  return Rejection::None;
}

}  // namespace

void PolySet::AddTriangle(PolyPoint a, PolyPoint b, PolyPoint c) {
  // Triangles keep all three corners even when they are in line.
  Contour contour;
  contour.first = static_cast<int>(vertices_.size());
  contour.count = 3;
  contour.colour = kTriangleContour;
  contour.orientation = 1;
  vertices_.insert(vertices_.end(), {a, b, c});
  contours_.push_back(contour);
}

int PolySet::NearestVisibleVertex(PolyPoint from, int hole, const std::vector<PolyPoint>& polygon,
                                  const std::vector<int>& holes) const {
  const std::vector<PolyPoint> points = PointsCopy(hole);
  const int k = static_cast<int>(points.size());
  std::vector<int> order(static_cast<std::size_t>(k));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int l, int r) { return Distance(from, points[l]) < Distance(from, points[r]); });
  // The nearest vertex whose segment from `from` crosses neither the outline
  // nor any hole; at most k tries.
  for (int v : order) {
    const PolyPoint to = points[v];
    bool blocked = SegmentAgainstPolygon(from, to, polygon).crossed;
    for (int h : holes) {
      if (blocked) break;
      blocked = SegmentAgainstPolygon(from, to, Points(h)).crossed;
    }
    if (!blocked) return v;
  }
  if (PolyDiagLevel >= 1) Show("Sommet Voisin Exterieur", "ATTENTION BLOCAGE.");
  return -1;
}

bool PolySet::Bridge(const std::vector<PolyPoint>& polygon, int j, int hole, std::vector<int>& holes,
                     std::vector<PolyPoint>& remainder, int& triangles, int depth) {
  const int b = static_cast<int>(polygon.size());
  const PolyPoint a = polygon[j];
  const PolyPoint corner = polygon[j + 1];
  const PolyPoint c = polygon[(j + 2) % b];
  const int fromC = NearestVisibleVertex(c, hole, polygon, holes);
  const int fromA = NearestVisibleVertex(a, hole, polygon, holes);
  if (fromC < 0 || fromA < 0) return false;
  const std::vector<PolyPoint> points = PointsCopy(hole);
  const int k = static_cast<int>(points.size());
  // The two bridges must not cross each other.
  if (fromC != fromA) {
    const PolyPoint bridge[2] = {a, points[fromA]};
    if (SegmentAgainstPolygon(c, points[fromC], bridge).crossed) return false;
  }

  // Sub-polygon: A, B, C, then the hole from the vertex nearest C round to
  // the one nearest A (the whole hole and its vertex again when they are the
  // same vertex).
  std::vector<PolyPoint> sub{a, corner, c};
  const int span = fromC == fromA ? k : (fromA - fromC + k) % k;
  for (int i = 0; i <= span; ++i) sub.push_back(points[(fromC + i) % k]);
  if (SignedArea(sub) <= 0) return false;

  // Remainder: the hole from the A end round to the C end, then the outline
  // from C on.
  const int back = fromC == fromA ? 0 : (fromC - fromA + k) % k;
  for (int i = 0; i <= back; ++i) remainder.push_back(points[(fromA + i) % k]);
  if ((j + 2) % b != 0) remainder.insert(remainder.end(), polygon.begin() + j + 2, polygon.end());

  std::erase(holes, hole);
  triangles += TriangulatePolygon(std::move(sub), holes, depth + 1);
  return true;
}

int PolySet::TriangulatePolygon(std::vector<PolyPoint> polygon, std::vector<int>& holes, int depth) {
  int triangles = 0;
  int blocked = 0;
  while (polygon.size() >= 3) {
    const int b = static_cast<int>(polygon.size());
    std::vector<PolyPoint> remainder{polygon[0]};
    bool bridged = false;
    int j = 0;
    while (j + 1 < b) {
      int edge = -1;
      const Rejection why = EarRejection(polygon, j, edge);
      if (why != Rejection::None) {
        if (PolyDiagLevel >= 1 && blocked > kExplainAfter) {
          const int at = j + 1;
          if (why == Rejection::Concave) Trace("Bloquage(%d) concavite au point(%d)\n", blocked, at);
          if (why == Rejection::PointInside) {
            Trace("Bloquage(%d) convexite OK au point(%d) mais Point dans Triangle(%d,%d,%d)\n", blocked, at, j,
                  j + 1, (j + 2) % b);
          }
          if (why == Rejection::Crossing) {
            Trace("Bloquage(%d) convexite OK au point(%d) mais segment(%d,%d) intersecte le cote(%d) du polygone\n",
                  blocked, at, (j + 2) % b, j, edge);
          }
        }
        remainder.push_back(polygon[j + 1]);
        ++j;
        continue;
      }
      const PolyPoint a = polygon[j];
      const PolyPoint corner = polygon[j + 1];
      const PolyPoint c = polygon[(j + 2) % b];
      // The first hole reaching into the ear: a vertex inside it, or an edge
      // across its closing segment.
      int inside = -1;
      for (int h : holes) {
        const std::span<const PolyPoint> hp = Points(h);
        if (PointInTriangle(a, corner, c, hp) || SegmentAgainstPolygon(c, a, hp).crossed) {
          inside = h;
          break;
        }
      }
      if (inside >= 0) {
        std::vector<PolyPoint> attempt = remainder;
        if (Bridge(polygon, j, inside, holes, attempt, triangles, depth)) {
          remainder = std::move(attempt);
          bridged = true;
          break;
        }
        remainder.push_back(corner);
        ++j;
        continue;
      }
      AddTriangle(a, corner, c);
      ++triangles;
      if ((j + 2) % b != 0) remainder.push_back(c);
      j += 2;
    }
    const bool progress = bridged || static_cast<int>(remainder.size()) != b;
    polygon = std::move(remainder);
    if (PolyDiagLevel > 1 && !TestPoly(polygon, "Polygone restant à triangulé").stop) break;
    blocked = progress ? 0 : blocked + 1;
    if (blocked > kBlockedPassLimit) {
      const PolyTestResult test = TestPoly(polygon, "Blocage de la triangulation");
      if (PolyDiagLevel == 0 || test.stop) break;
      blocked = 0;  // Cancel: try again
    }
  }
  return triangles;
}

int PolySet::Triangulate(int c, int count, bool attachHoles) {
  if (c < 0 || c >= ContourCount()) return 0;
  if (attachHoles) {
    for (int h = 0; h < ContourCount(); ++h) {
      if (h != c && contours_[h].orientation == -1) AttachHole(c, h);
    }
  }
  std::vector<PolyPoint> polygon = PointsCopy(c);
  if (count > 0 && count < static_cast<int>(polygon.size())) polygon.resize(static_cast<std::size_t>(count));
  std::vector<int> holes = contours_[c].holes;
  const int triangles = TriangulatePolygon(std::move(polygon), holes, 0);
  // Bridged holes are detached; with `attachHoles` every hole attached here.
  contours_[c].holes = attachHoles ? std::vector<int>{} : holes;
  return triangles;
}

}  // namespace tessaran
