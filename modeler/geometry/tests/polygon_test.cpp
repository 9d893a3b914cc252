#include "modeler/geometry/polygon.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessaran {
namespace {

double TriangleArea(const PolySet& set, int from) {
  double area = 0;
  for (int t = from; t < set.ContourCount(); ++t) {
    EXPECT_EQ(set.ContourAt(t).colour, kTriangleContour);
    const double a = SignedArea(set.Points(t));
    EXPECT_GE(a, -1e-9) << "triangle " << t << " turns the wrong way";
    area += a;
  }
  return area;
}

std::vector<PolyPoint> Square(double x0, double y0, double side, bool clockwise = false) {
  std::vector<PolyPoint> s{{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}};
  if (clockwise) std::reverse(s.begin() + 1, s.end());
  return s;
}

TEST(PolySet, AddingPointsDropsRepeatsAndMiddlesOfStraightRuns) {
  PolySet set;
  const std::vector<PolyPoint> points{{0, 0}, {0, 0}, {10, 0}, {20, 0}, {20, 10}};
  const int c = set.AddContour(points);
  ASSERT_EQ(c, 0);
  ASSERT_EQ(set.ContourAt(c).count, 3);
  EXPECT_DOUBLE_EQ(set.Points(c)[1].x, 20);  // (10, 0) replaced by (20, 0)
  // Only the last contour takes points; an empty last contour blocks a new one.
  set.AddContour({});
  EXPECT_EQ(set.AddContour(points), -1);
  EXPECT_EQ(set.AddPoints(0, points), 3);
}

TEST(PolySet, ReverseKeepsTheFirstVertexAndInsertShiftsLaterContours) {
  PolySet set;
  set.AddContour(Square(0, 0, 10));
  set.AddContour(Square(100, 100, 10));
  set.Reverse(0);
  EXPECT_DOUBLE_EQ(set.Points(0)[0].x, 0);
  EXPECT_DOUBLE_EQ(set.Points(0)[1].y, 10);  // (0, 10) now follows (0, 0)
  const PolyPoint extra{5, -1};
  set.InsertPoints(0, 0, {&extra, 1});
  EXPECT_EQ(set.ContourAt(0).count, 5);
  EXPECT_DOUBLE_EQ(set.Points(0)[1].y, -1);
  EXPECT_DOUBLE_EQ(set.Points(1)[0].x, 100);
}

TEST(PolySet, FlatteningFollowsTheQuadraticThroughImpliedMidpoints) {
  PolySet set;
  const int c = set.AddContour({});
  // Start, two off-curve points, end: two quadratic segments meeting at the
  // midpoint (10, 10) of the off-curve points.
  const std::vector<PolyPoint> control{{0, 0}, {0, 10}, {20, 10}, {20, 0}};
  set.FlattenQuadratic(c, control, 3);
  const auto points = set.Points(c);
  ASSERT_EQ(points.size(), 7u);
  EXPECT_DOUBLE_EQ(points[3].x, 10);
  EXPECT_DOUBLE_EQ(points[3].y, 10);
  EXPECT_DOUBLE_EQ(points[1].x, 10.0 / 9);  // t = 1/3 of (0,0) (0,10) (10,10)
  EXPECT_DOUBLE_EQ(points[6].x, 20);
}

TEST(TestPoly, ClassifiesTurningSenseAndConcavity) {
  PolySet set;
  EXPECT_EQ(set.TestPoly(Square(0, 0, 1), "t").kind, PolyClass::ConvexPositive);
  const PolyTestResult clockwise = set.TestPoly(Square(0, 0, 1, true), "t");
  EXPECT_EQ(clockwise.kind, PolyClass::ConvexNegative);
  EXPECT_EQ(clockwise.text, "Polygone Convexe Négatif");
  // An L whose first corner is the reflex one still turns positively.
  const std::vector<PolyPoint> l{{1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 1}};
  const PolyTestResult concave = set.TestPoly(l, "t");
  EXPECT_EQ(concave.kind, PolyClass::Concave);
  EXPECT_EQ(concave.direction, 1);
  EXPECT_EQ(concave.text, "Polygone Concave en (0) sens positif");
  EXPECT_EQ(set.TestPoly({}, "t").kind, PolyClass::Empty);
  const std::vector<PolyPoint> line{{0, 0}, {1, 1}, {2, 2}, {3, 3}};
  EXPECT_EQ(set.TestPoly(line, "t").kind, PolyClass::Degenerate);
  const std::vector<PolyPoint> bowtie{{0, 0}, {2, 2}, {2, 0}, {0, 2}};
  EXPECT_EQ(set.TestPoly(bowtie, "t").kind, PolyClass::Degenerate);
}

TEST(TestPoly, ShowsTheClassOnlyAboveLevelZero) {
  PolySet set;
  std::vector<std::string> shown;
  set.diagnostics = [&](const std::string& title, const std::string& text) {
    shown.push_back(title + ": " + text);
    return false;  // Cancel: go on
  };
  EXPECT_TRUE(set.TestPoly(Square(0, 0, 1), "TestPoly message").stop);
  EXPECT_TRUE(shown.empty());
  set.PolyDiagLevel = 1;
  EXPECT_FALSE(set.TestPoly(Square(0, 0, 1), "TestPoly message").stop);
  EXPECT_EQ(shown, std::vector<std::string>{"TestPoly message: Polygone Convexe Positif"});
}

TEST(Segments, CrossingsNearestFarthestAndCounting) {
  const std::vector<PolyPoint> square = Square(0, 0, 10);
  const SegmentCrossing through = SegmentAgainstPolygon({-5, 5}, {15, 5}, square);
  EXPECT_TRUE(through.crossed);
  EXPECT_DOUBLE_EQ(through.nearest.x, 0);
  EXPECT_EQ(through.nearestEdge, 3);
  EXPECT_DOUBLE_EQ(through.farthest.x, 10);
  EXPECT_FALSE(SegmentAgainstPolygon({2, 2}, {8, 8}, square).crossed);
  // A ray through a vertex where the outline passes counts once; one that
  // only touches a vertex counts an even number of times.
  const std::vector<PolyPoint> diamond{{0, -5}, {5, 0}, {0, 5}, {-5, 0}};
  EXPECT_EQ(SegmentAgainstPolygon({-10, 0}, {0, 0}, diamond, true).count % 2, 1);
  EXPECT_EQ(SegmentAgainstPolygon({-10, 5}, {10, 5}, diamond, true).count % 2, 0);
}

TEST(Segments, PointInTriangleIsStrictAndSkipsTheTrianglesOwnCorners) {
  const std::vector<PolyPoint> points{{0, 0}, {10, 0}, {0, 10}, {2, 2}, {5, 0}};
  EXPECT_TRUE(PointInTriangle(points[0], points[1], points[2], points, 0));
  const std::vector<PolyPoint> onEdge{{0, 0}, {10, 0}, {0, 10}, {5, 0}};
  EXPECT_FALSE(PointInTriangle(onEdge[0], onEdge[1], onEdge[2], onEdge, 0));
  EXPECT_FALSE(PointInTriangle({0, 0}, {1, 1}, {2, 2}, points));  // no area
}

TEST(Triangulate, SquareGivesTwoTrianglesInOnePass) {
  PolySet set;
  const int c = set.AddContour(Square(0, 0, 10));
  EXPECT_EQ(set.Triangulate(c), 2);
  EXPECT_NEAR(TriangleArea(set, 1), 100, 1e-9);
}

TEST(Triangulate, SquareWithASquareHoleIsBridgedOnce) {
  PolySet set;
  const int outer = set.AddContour(Square(0, 0, 30));
  const int hole = set.AddContour(Square(10, 10, 10, true));
  set.ContourAt(outer).orientation = 1;
  set.ContourAt(hole).orientation = -1;
  const int triangles = set.Triangulate(outer);
  EXPECT_GE(triangles, 8);
  EXPECT_NEAR(TriangleArea(set, 2), 900 - 100, 1e-6);
  EXPECT_TRUE(set.ContourAt(outer).holes.empty());
}

TEST(Triangulate, ConcaveOutlineWithTwoHoles) {
  PolySet set;
  // A U shape with a hole in each arm.
  const std::vector<PolyPoint> u{{0, 0}, {50, 0}, {50, 40}, {35, 40}, {35, 15}, {15, 15}, {15, 40}, {0, 40}};
  const int outer = set.AddContour(u);
  set.ContourAt(outer).orientation = 1;
  for (double x : {5.0, 40.0}) {
    const int h = set.AddContour(Square(x, 20, 5, true));
    set.ContourAt(h).orientation = -1;
  }
  set.Triangulate(outer);
  EXPECT_NEAR(TriangleArea(set, 3), SignedArea(u) - 50, 1e-6);
}

TEST(Triangulate, ClockwiseAndDegenerateOutlinesStopWithoutTriangles) {
  PolySet set;
  const int cw = set.AddContour(Square(0, 0, 10, true));
  EXPECT_EQ(set.Triangulate(cw), 0);
  // A self-intersecting bow tie must end too, whatever it makes.
  PolySet bow;
  const std::vector<PolyPoint> tie{{0, 0}, {20, 20}, {20, 0}, {0, 20}};
  const int c = bow.AddContour(tie);
  EXPECT_LE(bow.Triangulate(c), 4);
  // Collinear points only.
  PolySet flat;
  const std::vector<PolyPoint> line{{0, 0}, {5, 0}, {5, 0.00000001}, {0, 0.00000001}};
  EXPECT_LE(flat.Triangulate(flat.AddContour(line)), 2);
}

}  // namespace
}  // namespace tessaran
