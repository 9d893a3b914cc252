#include "modeler/geometry/polygon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/console.h"

namespace tessaran {

namespace {

double Cross(PolyPoint a, PolyPoint b) { return a.x * b.y - a.y * b.x; }
PolyPoint Sub(PolyPoint a, PolyPoint b) { return {a.x - b.x, a.y - b.y}; }
bool Same(PolyPoint a, PolyPoint b) { return std::fabs(a.x - b.x) < kSamePoint && std::fabs(a.y - b.y) < kSamePoint; }
bool Equal(PolyPoint a, PolyPoint b) { return std::fabs(a.x - b.x) < kPolyZero && std::fabs(a.y - b.y) < kPolyZero; }
int Sign(double v) { return v > kPolyZero ? 1 : (v < -kPolyZero ? -1 : 0); }

// Which side of the line p→q a point lies on (+1 left, -1 right, 0 on it).
int Side(PolyPoint p, PolyPoint q, PolyPoint point) { return Sign(Cross(Sub(q, p), Sub(point, p))); }

// For a crossing through vertex v of the polygon: 1 when the outline passes
// through the line p→q there, 2 when it only touches it; 0 when every other
// vertex lies on the line.
int VertexCrossing(PolyPoint p, PolyPoint q, std::span<const PolyPoint> polygon, int v) {
  const int k = static_cast<int>(polygon.size());
  int before = 0;
  int after = 0;
  for (int step = 1; step < k && before == 0; ++step) before = Side(p, q, polygon[(v - step + k) % k]);
  for (int step = 1; step < k && after == 0; ++step) after = Side(p, q, polygon[(v + step) % k]);
  if (before == 0 || after == 0) return 0;
  return before != after ? 1 : 2;
}

}  // namespace

double SignedArea(std::span<const PolyPoint> points) {
  double area = 0;
  const std::size_t n = points.size();
  for (std::size_t i = 0; i < n; ++i) area += Cross(points[i], points[(i + 1) % n]);
  return area / 2;
}

SegmentCrossing SegmentAgainstPolygon(PolyPoint p, PolyPoint q, std::span<const PolyPoint> polygon,
                                      bool counting) {
  SegmentCrossing result;
  const int k = static_cast<int>(polygon.size());
  const PolyPoint d = Sub(q, p);
  double nearestT = 2;
  double farthestT = -1;
  for (int i = 0; i < k; ++i) {
    const PolyPoint s = polygon[i];
    const PolyPoint t = polygon[(i + 1) % k];
    if ((Equal(s, p) && Equal(t, q)) || (Equal(s, q) && Equal(t, p))) continue;
    const PolyPoint e = Sub(t, s);
    const double denominator = Cross(d, e);
    if (std::fabs(denominator) < kPolyZero) continue;
    const double along = Cross(Sub(s, p), e) / denominator;
    const double onEdge = Cross(Sub(s, p), d) / denominator;
    if (along <= kPolyZero || along >= 1 - kPolyZero) continue;
    if (onEdge <= (counting ? kPolyZero : -kPolyZero) || onEdge >= 1 + kPolyZero) continue;
    if (counting) {
      if (onEdge >= 1 - kPolyZero) {
        const int through = VertexCrossing(p, q, polygon, (i + 1) % k);
        if (through == 0) {
          Trace("polygone dégénéré impossible de déterminer l'intérieur\n");
          result.undecided = true;
          continue;
        }
        result.count += through;
      } else {
        result.count += 1;
      }
    }
    const PolyPoint at{std::round(p.x + along * d.x), std::round(p.y + along * d.y)};
    result.crossed = true;
    if (along < nearestT) {
      nearestT = along;
      result.nearest = at;
      result.nearestEdge = i;
    }
    if (along > farthestT) {
      farthestT = along;
      result.farthest = at;
      result.farthestEdge = i;
    }
  }
  return result;
}

bool PointInTriangle(PolyPoint a, PolyPoint b, PolyPoint c, std::span<const PolyPoint> polygon, int j) {
  const double area = Cross(Sub(b, a), Sub(c, a));
  if (std::fabs(area) < kPolyZero) return false;
  const int k = static_cast<int>(polygon.size());
  const PolyPoint corners[3] = {a, b, c};
  for (int i = 0; i < k; ++i) {
    if (j >= 0 && (i == j % k || i == (j + 1) % k || i == (j + 2) % k)) continue;
    bool inside = true;
    for (int e = 0; e < 3 && inside; ++e) {
      const PolyPoint from = corners[e];
      const PolyPoint to = corners[(e + 1) % 3];
      const double side = Cross(Sub(to, from), Sub(polygon[i], from));
      inside = (area > 0) ? side > 0 : side < 0;
    }
    if (inside) return true;
  }
  return false;
}

// -------------------------------------------------------------- the container

std::span<const PolyPoint> PolySet::Points(int c) const {
  const Contour& contour = contours_[c];
  if (contour.first < 0) return {};
  return {vertices_.data() + contour.first, static_cast<std::size_t>(contour.count)};
}

std::vector<PolyPoint> PolySet::PointsCopy(int c) const {
  const std::span<const PolyPoint> points = Points(c);
  return {points.begin(), points.end()};
}

int PolySet::AddContour(std::span<const PolyPoint> points, std::uint32_t colour) {
  if (!contours_.empty() && contours_.back().count == 0) return -1;
  Contour contour;
  contour.first = static_cast<int>(vertices_.size());
  contour.colour = colour;
  contours_.push_back(contour);
  const int c = ContourCount() - 1;
  AddPoints(c, points);
  return c;
}

int PolySet::AddPoints(int c, std::span<const PolyPoint> points, bool checkAlignment) {
  if (c != ContourCount() - 1) return c >= 0 && c < ContourCount() ? contours_[c].count : 0;
  Contour& contour = contours_[c];
  for (const PolyPoint& point : points) {
    if (contour.count > 0 && Same(point, vertices_.back())) {
      Trace("Tentative doublement du point[%d] dans le polygone(%d)\n", contour.count, c);
      continue;
    }
    if (checkAlignment && contour.count >= 2) {
      const PolyPoint last = vertices_.back();
      const PolyPoint before = vertices_[vertices_.size() - 2];
      if (std::fabs(Cross(Sub(last, before), Sub(point, last))) < kPolyZero) {
        Trace("Nouveau point [%d] aligné avec les precedents dans le polygone(%d)\n", contour.count, c);
        vertices_.pop_back();
        --contour.count;
      }
    }
    vertices_.push_back(point);
    ++contour.count;
  }
  return contour.count;
}

void PolySet::InsertPoints(int c, int k, std::span<const PolyPoint> points) {
  Contour& contour = contours_[c];
  k = std::clamp(k, -1, contour.count - 1);
  const int at = contour.first + k + 1;
  vertices_.insert(vertices_.begin() + at, points.begin(), points.end());
  contour.count += static_cast<int>(points.size());
  for (Contour& other : contours_) {
    if (&other != &contour && other.first >= at) other.first += static_cast<int>(points.size());
  }
}

void PolySet::Reverse(int c) {
  const Contour& contour = contours_[c];
  if (contour.count < 3) return;
  std::reverse(vertices_.begin() + contour.first + 1, vertices_.begin() + contour.first + contour.count);
}

void PolySet::RemoveLastContour() {
  if (contours_.empty()) return;
  const int c = ContourCount() - 1;
  if (contours_[c].first >= 0) vertices_.resize(static_cast<std::size_t>(contours_[c].first));
  contours_.pop_back();
  for (Contour& contour : contours_) std::erase(contour.holes, c);
}

void PolySet::AttachHole(int c, int h) {
  std::vector<int>& holes = contours_[c].holes;
  if (h != c && std::find(holes.begin(), holes.end(), h) == holes.end()) holes.push_back(h);
}

void PolySet::DetachHole(int c, int h) { std::erase(contours_[c].holes, h); }

void PolySet::FlattenQuadratic(int c, std::span<const PolyPoint> control, int steps) {
  const std::size_t m = control.size();
  if (m < 2) return;
  if (m == 2) {
    AddPoints(c, control);
    return;
  }
  steps = std::max(steps, 1);
  // The on-curve sequence: between two consecutive off-curve points lies
  // their midpoint.
  std::vector<PolyPoint> chain{control[0]};
  for (std::size_t i = 1; i + 2 < m; ++i) {
    chain.push_back(control[i]);
    chain.push_back({(control[i].x + control[i + 1].x) / 2, (control[i].y + control[i + 1].y) / 2});
  }
  chain.push_back(control[m - 2]);
  chain.push_back(control[m - 1]);
  for (std::size_t s = 0; s + 2 < chain.size(); s += 2) {
    const PolyPoint p0 = chain[s];
    const PolyPoint p1 = chain[s + 1];
    const PolyPoint p2 = chain[s + 2];
    for (int i = s == 0 ? 0 : 1; i <= steps; ++i) {
      const double t = static_cast<double>(i) / steps;
      const double b0 = (1 - t) * (1 - t);
      const double b1 = 2 * t * (1 - t);
      const double b2 = t * t;
      const PolyPoint point{b0 * p0.x + b1 * p1.x + b2 * p2.x, b0 * p0.y + b1 * p1.y + b2 * p2.y};
      AddPoints(c, {&point, 1});
    }
  }
}

// -------------------------------------------------------------- classifying

bool PolySet::Show(const std::string& title, const std::string& text) const {
  if (diagnostics) return diagnostics(title, text);
  Trace("%s: %s\n", title.c_str(), text.c_str());
  return true;
}

PolyTestResult PolySet::TestPoly(std::span<const PolyPoint> points, const std::string& title) const {
  PolyTestResult result;
  const int n = static_cast<int>(points.size());
  if (n == 0) {
    result.kind = PolyClass::Empty;
    result.text = "Erreur Polygone vide";
  } else if (n < 3) {
    result.kind = PolyClass::Coincident;
    result.text = "Polygone confondu";
  } else {
    // The turning sense is the sign of the area, which no starting corner
    // can mislead; the corners are then walked against it.
    result.direction = Sign(SignedArea(points));
    bool anyTurn = false;
    for (int i = 0; i < n && result.concaveAt < 0; ++i) {
      const PolyPoint prev = points[(i + n - 1) % n];
      const PolyPoint next = points[(i + 1) % n];
      const int turn = Sign(Cross(Sub(points[i], prev), Sub(next, points[i])));
      anyTurn = anyTurn || turn != 0;
      if (turn != 0 && result.direction != 0 && turn != result.direction) result.concaveAt = i;
    }
    if (!anyTurn) {
      Trace("polygone dégénéré impossible de déterminer une normale de référence\n");
      result.kind = PolyClass::Degenerate;
      result.text = "Polygone Dégénéré impossible de déterminer un sens de parcours";
    } else if (result.direction == 0) {
      result.kind = n == 3 ? PolyClass::ConvexNull : PolyClass::Degenerate;
      result.text = n == 3 ? "BIZZARRE Polygone Convexe sens NUL"
                           : "Polygone Dégénéré impossible de déterminer un sens de parcours";
    } else if (result.concaveAt >= 0) {
      result.kind = PolyClass::Concave;
      char text[80];
      std::snprintf(text, sizeof text, "Polygone Concave en (%d) sens %s", result.concaveAt,
                    result.direction > 0 ? "positif" : "negatif");
      result.text = text;
    } else {
      result.kind = result.direction > 0 ? PolyClass::ConvexPositive : PolyClass::ConvexNegative;
      result.text = result.direction > 0 ? "Polygone Convexe Positif" : "Polygone Convexe Négatif";
    }
  }
  result.stop = PolyDiagLevel >= 1 ? Show(title, result.text) : true;
  return result;
}

}  // namespace tessaran
