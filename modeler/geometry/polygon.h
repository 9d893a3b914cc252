// Plane outlines made of several contours (a letter's outer contour and its
// holes) and their triangulation: the polygon set `PolySet` with its own
// vertex storage, the classifier `TestPoly`, the segment and
// point-in-triangle tests, and an ear-clipping triangulator that bridges
// holes into the outer contour and recurses.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tessaran {

struct PolyPoint {
  double x = 0;
  double y = 0;
};

// Points closer than this in both coordinates are the same point; cross
// products and parameters below kPolyZero count as zero.
constexpr double kSamePoint = 1e-5;
constexpr double kPolyZero = 1e-7;

// Contour colours: a fresh contour, the remainder of a contour between
// passes, an output triangle, a sub-polygon built by bridging a hole, a
// contour flattened from curves.
constexpr std::uint32_t kFreshContour = 0xFFFFFF;
constexpr std::uint32_t kRemainderContour = 0xFFC0FF;
constexpr std::uint32_t kTriangleContour = 0xFF00FF;
constexpr std::uint32_t kBridgedContour = 0x00FFFF;
constexpr std::uint32_t kFlattenedContour = 0x32FF80;

// Classes found by `TestPoly`.
enum class PolyClass {
  Empty,           // "Erreur Polygone vide"
  Coincident,      // "Polygone confondu": fewer than 3 points
  ConvexPositive,  // "Polygone Convexe Positif"
  ConvexNegative,  // "Polygone Convexe Négatif"
  ConvexNull,      // "BIZZARRE Polygone Convexe sens NUL"
  Concave,         // "Polygone Concave en (%d) sens %s"
  Degenerate,      // no turning sense can be found
};

struct PolyTestResult {
  PolyClass kind = PolyClass::Empty;
  int direction = 0;    // +1 counter-clockwise, -1 clockwise, 0 none
  int concaveAt = -1;   // first corner turning against the direction
  bool stop = true;     // the caller's answer: stop (OK) or go on (Cancel)
  std::string text;     // the class as shown
};

// Where a segment meets a polygon.
struct SegmentCrossing {
  bool crossed = false;
  PolyPoint nearest;     // crossing nearest to the segment's start, rounded
  int nearestEdge = -1;
  PolyPoint farthest;
  int farthestEdge = -1;
  int count = 0;         // crossings, when counted
  bool undecided = false;  // every other vertex collinear with the segment
};

// Signed area of a closed outline (positive counter-clockwise).
double SignedArea(std::span<const PolyPoint> points);

// Whether the segment p→q crosses an edge of the polygon strictly inside the
// segment. With `counting`, crossings are counted as a ray count needs them:
// a crossing through a vertex counts once when the outline passes through,
// twice when it only touches.
SegmentCrossing SegmentAgainstPolygon(PolyPoint p, PolyPoint q, std::span<const PolyPoint> polygon,
                                      bool counting = false);

// Whether any point of `polygon` (other than the triangle's own corners at
// indices j … j+2 when j >= 0) lies strictly inside triangle abc.
bool PointInTriangle(PolyPoint a, PolyPoint b, PolyPoint c, std::span<const PolyPoint> polygon, int j = -1);

class PolySet {
 public:
  struct Contour {
    int first = -1;  // index of the first vertex, -1 for a free record
    int count = 0;
    std::uint32_t colour = kFreshContour;
    int orientation = 0;     // +1 outer, -1 hole, 0 not classified
    std::vector<int> holes;  // contours attached as holes
  };

  // 0 silent; 1 problems go to the diagnostics handler; above 1 each pass's
  // remainder is classified and shown too.
  int PolyDiagLevel = 0;
  // Shows a diagnostic box (title, text); true for OK, false for Cancel.
  // Without a handler the text is traced on the console and OK is assumed.
  std::function<bool(const std::string& title, const std::string& text)> diagnostics;

  int ContourCount() const { return static_cast<int>(contours_.size()); }
  const Contour& ContourAt(int c) const { return contours_[c]; }
  Contour& ContourAt(int c) { return contours_[c]; }
  std::span<const PolyPoint> Points(int c) const;
  std::vector<PolyPoint> PointsCopy(int c) const;

  // Starts a contour with `points` (checked as by AddPoints); returns its
  // number, or -1 while the last contour is still open without vertices.
  int AddContour(std::span<const PolyPoint> points, std::uint32_t colour = kFreshContour);
  // Adds points to contour c, which must be the last; a point equal to the
  // last is dropped, and with `checkAlignment` a last point in line with its
  // neighbours is replaced. Returns the contour's vertex count.
  int AddPoints(int c, std::span<const PolyPoint> points, bool checkAlignment = true);
  // Inserts points into contour c after its position k.
  void InsertPoints(int c, int k, std::span<const PolyPoint> points);
  // Keeps the first vertex and reverses the order of the others.
  void Reverse(int c);
  // Drops the last contour (its vertices included).
  void RemoveLastContour();

  void AttachHole(int c, int h);
  void DetachHole(int c, int h);

  // Flattens a TrueType quadratic spline (start, inner control points, end)
  // with `steps` steps per segment into contour c (the last one).
  void FlattenQuadratic(int c, std::span<const PolyPoint> control, int steps);

  // Classifies an outline; at diagnostics level >= 1 the class is shown
  // under `title`.
  PolyTestResult TestPoly(std::span<const PolyPoint> points, const std::string& title) const;

  // Triangulates contour c (its first `count` points, 0 for all), with the
  // contours of orientation -1 attached as holes when `attachHoles`. Each
  // triangle becomes a new three-point contour of colour 0xFF00FF. Returns
  // the number of triangles; it always ends (at most 5 passes in a row
  // without progress).
  int Triangulate(int c, int count = 0, bool attachHoles = true);

 private:
  bool Show(const std::string& title, const std::string& text) const;
  int TriangulatePolygon(std::vector<PolyPoint> polygon, std::vector<int>& holes, int depth);
  bool Bridge(const std::vector<PolyPoint>& polygon, int j, int hole, std::vector<int>& holes,
              std::vector<PolyPoint>& remainder, int& triangles, int depth);
  int NearestVisibleVertex(PolyPoint from, int hole, const std::vector<PolyPoint>& polygon,
                           const std::vector<int>& holes) const;
  void AddTriangle(PolyPoint a, PolyPoint b, PolyPoint c);

  std::vector<PolyPoint> vertices_;
  std::vector<Contour> contours_;
};

}  // namespace tessaran
