#include "modeler/geometry/extrusion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "message_recorder.h"
#include "modeler/geometry/mesh_object.h"

namespace tessaran {
namespace {

Profile2D Square() { return {{{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}}}; }
Profile2D Open() { return {{{0, 0}, {10, 5}, {20, 0}, {30, 5}}}; }

TEST(Extrusion, StraightMeshSizesForOpenAndClosedProfiles) {
  SceneModel scene;
  EXPECT_TRUE(ProfileIsClosed(Square()));
  EXPECT_FALSE(ProfileIsClosed(Open()));
  const int open = StraightExtrusion(scene, Open(), 100, 4);
  ASSERT_GE(open, 0);
  EXPECT_EQ(scene.Object(open).MeshU(), 4 + 2);
  EXPECT_EQ(scene.Object(open).MeshV(), 4 + 3);
  const int closed = StraightExtrusion(scene, Square(), 100, 4);
  EXPECT_EQ(scene.Object(closed).MeshU(), 5 + 1);
  EXPECT_EQ(scene.Object(closed).MeshV(), 4 + 3 + 2);
}

TEST(Extrusion, StraightRowsAreEvenlySpacedProfileCopies) {
  SceneModel scene;
  const int k = StraightExtrusion(scene, Open(), 100, 4);
  const std::vector<Point3> points = GetObjectPoints(scene, k);
  const int cols = scene.Object(k).MeshU();
  // Rows 1 … 5 sit 25 apart in depth; rows 0 and 6 repeat the ends.
  for (int row = 1; row <= 5; ++row) {
    EXPECT_NEAR(points[row * cols][2] - points[cols][2], 25.0 * (row - 1), 1e-3);
  }
  EXPECT_EQ(points[0], points[cols]);
  EXPECT_EQ(points[6 * cols], points[5 * cols]);
  // Within a row the profile keeps its shape (y turned over) and the first
  // and last points are repeated.
  EXPECT_EQ(points[cols], points[cols + 1]);
  EXPECT_NEAR(points[cols + 2][0] - points[cols + 1][0], 10, 1e-4);
  EXPECT_NEAR(points[cols + 2][1] - points[cols + 1][1], -5, 1e-4);
}

TEST(Extrusion, PathSweepKeepsTheProfilePerpendicularToThePath) {
  SceneModel scene;
  // A quarter circle of control points in the plane y = 0.
  std::vector<Vec3> path;
  for (int i = 0; i <= 6; ++i) {
    const double a = i * M_PI / 12;
    path.push_back({200 * std::cos(a), 0, 200 * std::sin(a)});
  }
  const int k = PathExtrusion(scene, Open(), path, 3);
  ASSERT_GE(k, 0);
  EXPECT_EQ(scene.Object(k).MeshV(), 7 + 4 * 2);  // n + (n - 3)(s - 1)
  // Each row's profile lies across the path: its edges are perpendicular
  // to the tangent of its sample.
  const std::vector<Point3> points = GetObjectPoints(scene, k);
  const int cols = scene.Object(k).MeshU();
  for (int s = 0; s <= 12; ++s) {
    const Vec3 tangent = SamplePath(path, 5.0 * s / 12).Pdu;
    const Point3& a = points[(s + 1) * cols + 1];
    const Point3& b = points[(s + 1) * cols + 3];
    const double d[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double dot = d[0] * tangent[0] + d[1] * tangent[1] + d[2] * tangent[2];
    EXPECT_NEAR(dot / (std::hypot(d[0], d[1], d[2]) * std::hypot(tangent[0], tangent[1], tangent[2])), 0, 1e-3)
        << "row " << s;
  }
}

TEST(Revolution, FullAndPartialTurns) {
  SceneModel scene;
  const Profile2D profile{{{10, 0}, {30, 50}, {10, 100}}};
  const int full = Revolution(scene, profile, 0, 360, 4);
  ASSERT_GE(full, 0);
  EXPECT_EQ(scene.Object(full).MeshU(), 5 + 1);
  EXPECT_EQ(scene.Object(full).MeshV(), 3 + 2);
  const std::vector<Point3> points = GetObjectPoints(scene, full);
  const int cols = 6;
  // Last two columns repeat the first two (within 0.017454 per degree).
  for (int row = 0; row < 5; ++row) {
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_NEAR(points[row * cols + 4][axis], points[row * cols][axis], 0.05);
      EXPECT_NEAR(points[row * cols + 5][axis], points[row * cols + 1][axis], 0.05);
    }
  }
  const int partial = Revolution(scene, profile, 0, 90, 2);
  EXPECT_EQ(scene.Object(partial).MeshU(), 3 + 2);
  const std::vector<Point3> p = GetObjectPoints(scene, partial);
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[3], p[4]);
  // Centred on the origin.
  double sum[3] = {0, 0, 0};
  for (const Point3& q : p) {
    for (int a = 0; a < 3; ++a) sum[a] += q[a];
  }
  for (double s : sum) EXPECT_NEAR(s / p.size(), 0, 1e-3);
}

TEST(Extrusion, TooFewProfilePointsMakeNothing) {
  MessageRecorder messages;
  SceneModel scene;
  const Profile2D two{{{0, 0}, {1, 1}}};
  EXPECT_EQ(StraightExtrusion(scene, two, 100, 4), -1);
  EXPECT_EQ(Revolution(scene, two, 0, 360, 4), -1);
  EXPECT_EQ(scene.Header().objectCount, 0);
}

}  // namespace
}  // namespace tessaran
