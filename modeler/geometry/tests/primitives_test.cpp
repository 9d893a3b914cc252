#include "modeler/geometry/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "modeler/geometry/mesh_object.h"
#include "modeler/geometry/remesh.h"
#include "message_recorder.h"

namespace tessaran {
namespace {

Point3 PointAt(const SceneModel& scene, int k, int row, int col) {
  return scene.Points().Get(scene.Object(k).FirstPoint() + row * scene.Object(k).MeshU() + col);
}

TEST(Primitives, PlanOfTwoByTwoRepeatsItsBorderRows) {
  SceneModel scene;
  const int k = Plan(scene, 2, 2, 0, 0);
  ASSERT_EQ(k, 0);
  EXPECT_EQ(scene.Object(k).MeshU(), 5);
  EXPECT_EQ(scene.Object(k).MeshV(), 5);
  EXPECT_EQ(scene.Object(1).FirstPoint(), 26);
  for (int col = 0; col < 5; ++col) {
    EXPECT_FLOAT_EQ(PointAt(scene, k, 0, col)[1], 50);
    EXPECT_FLOAT_EQ(PointAt(scene, k, 1, col)[1], 50);
    EXPECT_FLOAT_EQ(PointAt(scene, k, 3, col)[1], -50);
    EXPECT_FLOAT_EQ(PointAt(scene, k, 4, col)[1], -50);
  }
  // A 100 × 100 square centred on the origin, its border columns repeated.
  EXPECT_FLOAT_EQ(PointAt(scene, k, 2, 0)[0], -50);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 2, 1)[0], -50);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 2, 2)[0], 0);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 2, 4)[0], 50);
  // Attributes of every new object.
  EXPECT_EQ(scene.Object(k).Col(), 3276);
  EXPECT_EQ(scene.Object(k).KSpec(), 50);
  EXPECT_EQ(scene.Object(k).NSpec(), 50);
  EXPECT_EQ(scene.Object(k).Reflection(), 0);
  EXPECT_EQ(scene.State(k).selection, 1);
}

TEST(Primitives, PlanWithATopSizeIsATrapezium) {
  SceneModel scene;
  const int k = Plan(scene, 4, 2, 0, 0, 40);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 1, 1)[0], -20);   // top row 40 wide
  EXPECT_FLOAT_EQ(PointAt(scene, k, 1, 5)[0], 20);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 3, 1)[0], -50);  // bottom row 100 wide
  EXPECT_FLOAT_EQ(PointAt(scene, k, 3, 5)[0], 50);
}

TEST(Primitives, DiscColumnsWrapWithinTheTruncatedTurn) {
  SceneModel scene;
  const int k = Disc(scene, 4, 2, 0, 0);
  ASSERT_EQ(scene.Object(k).MeshU(), 6);
  ASSERT_EQ(scene.Object(k).MeshV(), 5);
  // Column 5 lies at 5 × 6.2831 / 4 and repeats column 1 within the
  // truncation of 2π; the rim row (radius 50) shows it.
  const Point3 second = PointAt(scene, k, 4, 1);
  const Point3 sixth = PointAt(scene, k, 4, 5);
  EXPECT_NEAR(sixth[0], 50 * std::cos(5 * 6.2831 / 4), 1e-4);
  EXPECT_NEAR(sixth[0], second[0], 1e-2);
  EXPECT_NEAR(sixth[1], second[1], 1e-2);
  // Row 0 reaches across the centre, row 1 is the tiny centre ring.
  EXPECT_FLOAT_EQ(PointAt(scene, k, 0, 0)[0], -25);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 1, 0)[0], 0.05f);
}

TEST(Primitives, SphereEndRowsArePolesBelowTheTop) {
  SceneModel scene;
  const int v = 6;
  const int k = Sphere(scene, 8, v, 0, 0);
  ASSERT_EQ(scene.Object(k).MeshU(), 10);
  ASSERT_EQ(scene.Object(k).MeshV(), v + 3);
  const float pole = static_cast<float>(50 * std::cos(std::numbers::pi / (2 * v)));
  for (int col = 0; col < 10; ++col) {
    const Point3 top = PointAt(scene, k, 0, col);
    const Point3 bottom = PointAt(scene, k, v + 2, col);
    EXPECT_FLOAT_EQ(top[0], 0);
    EXPECT_FLOAT_EQ(top[1], 0);
    EXPECT_FLOAT_EQ(top[2], pole);
    EXPECT_FLOAT_EQ(bottom[2], -pole);
    EXPECT_FLOAT_EQ(std::hypot(bottom[0], bottom[1]), 0);
  }
  // The equator (polar angle π/2, row v/2 + 1) has radius 50.
  const Point3 equator = PointAt(scene, k, v / 2 + 1, 3);
  EXPECT_NEAR(std::hypot(equator[0], equator[1]), 50, 1e-4);
}

TEST(Primitives, MeshSizesAndMinimaOfTheClosedSolids) {
  SceneModel scene;
  struct Case {
    Primitive kind;
    int u, v, cols, rows;
  } cases[] = {
      {Primitive::Box, 8, 6, 10, 9},      {Primitive::Box, 2, 2, 6, 6},  // raised to 4 × 3
      {Primitive::Cylinder, 8, 8, 10, 11}, {Primitive::Cylinder, 1, 1, 6, 7},
      {Primitive::Sphere, 2, 2, 6, 7},    {Primitive::Ring, 8, 6, 10, 8},
      {Primitive::Disc, 2, 2, 6, 5},
  };
  for (const Case& c : cases) {
    const int k = MakePrimitive(scene, c.kind, c.u, c.v, 100);
    ASSERT_GE(k, 0);
    EXPECT_EQ(scene.Object(k).MeshU(), c.cols) << static_cast<int>(c.kind);
    EXPECT_EQ(scene.Object(k).MeshV(), c.rows) << static_cast<int>(c.kind);
  }
}

TEST(Primitives, ClosedDirectionsRepeatTheirFirstTwoColumns) {
  SceneModel scene;
  for (Primitive kind : {Primitive::Box, Primitive::Cylinder, Primitive::Ring}) {
    const int k = MakePrimitive(scene, kind, 8, 8, 60);
    const int cols = scene.Object(k).MeshU();
    for (int row = 0; row < scene.Object(k).MeshV(); ++row) {
      for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(PointAt(scene, k, row, cols - 2)[axis], PointAt(scene, k, row, 0)[axis], 0.02);
        EXPECT_NEAR(PointAt(scene, k, row, cols - 1)[axis], PointAt(scene, k, row, 1)[axis], 0.02);
      }
    }
  }
}

TEST(Primitives, CylinderSideRunsFromTopSizeToFullRadius) {
  SceneModel scene;
  const int k = CylinderCone(scene, 8, 8, 0, 0, 40);  // caps of 2 intervals, side of 4
  auto radius = [&](int row) { return std::hypot(PointAt(scene, k, row, 0)[0], PointAt(scene, k, row, 0)[1]); };
  EXPECT_NEAR(radius(3), 20, 1e-4);  // top of the side: s / 2
  EXPECT_NEAR(radius(7), 50, 1e-4);  // bottom of the side
  EXPECT_FLOAT_EQ(PointAt(scene, k, 3, 0)[2], 50);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 7, 0)[2], -50);
  EXPECT_NEAR(radius(10), 0.05, 1e-6);  // the bottom cap closes
}

TEST(Primitives, BoxSectionIsASquare) {
  SceneModel scene;
  const int k = BoxPyramid(scene, 8, 3, 0, 0);
  // Row 3 is the bottom of the side: every column on the square of half-side 50.
  for (int col = 0; col < 10; ++col) {
    const Point3 p = PointAt(scene, k, 3, col);
    EXPECT_NEAR(std::max(std::fabs(p[0]), std::fabs(p[1])), 50, 1e-4);
  }
  EXPECT_FLOAT_EQ(PointAt(scene, k, 0, 0)[2], 50);
  EXPECT_FLOAT_EQ(PointAt(scene, k, 5, 0)[2], -50);
}

TEST(Primitives, NoObjectIsCreatedAtTheObjectLimit) {
  MessageRecorder messages;
  SceneModel scene;
  ASSERT_EQ(scene.ReallocObject(SceneModel::kMaxObjects), 1);
  scene.Header().objectCount = 65534;
  scene.Object(65534).SetFirstPoint(1);
  EXPECT_EQ(Sphere(scene, 4, 4, 0, 0), -1);
  EXPECT_EQ(messages.numbers, std::vector<int>{31});
  EXPECT_EQ(scene.Header().objectCount, 65534);
  scene.Header().objectCount = 65533;
  EXPECT_EQ(Sphere(scene, 4, 4, 0, 0), 65533);
}

TEST(Primitives, RefusedPointGrowthShowsMessage31AndKeepsTheScene) {
  MessageRecorder messages;
  SceneModel scene;
  Plan(scene, 2, 2, 0, 0);
  // A plan of 2000 × 2000 intervals needs more points than the model holds.
  EXPECT_EQ(Plan(scene, 2000, 2000, 0, 0), -1);
  EXPECT_EQ(messages.numbers, std::vector<int>{31});
  EXPECT_EQ(scene.Header().objectCount, 1);
  EXPECT_EQ(scene.TotalPoints(), 25);
}

TEST(Substitute, RebuildsSuitableMeshesInPlaceAndWarnsForOthers) {
  MessageRecorder messages;
  SceneModel scene;
  const int sphere = Sphere(scene, 8, 4, 0, 0);   // 10 × 7
  const int plan = Plan(scene, 2, 2, 0, 0);      // 5 × 5
  scene.Object(sphere).SetCol(0x0F00);
  EXPECT_EQ(Substitute(scene, Primitive::Cylinder), 1);  // the plan cannot be one
  EXPECT_EQ(messages.numbers, std::vector<int>{39});
  EXPECT_EQ(scene.Object(sphere).Col(), 0x0F00);  // attributes kept
  EXPECT_EQ(scene.Object(sphere).MeshU(), 10);
  EXPECT_FLOAT_EQ(PointAt(scene, sphere, 6, 0)[0], -0.05f);  // the cylinder's closing row
  EXPECT_EQ(scene.Header().objectCount, 2);
  EXPECT_EQ(scene.Object(plan + 1).FirstPoint(), 1 + 70 + 25);
}

TEST(Remesh, DoublesTheFirstDirectionAndMovesLaterObjects) {
  SceneModel scene;
  const int disc = Disc(scene, 4, 1, 0, 0);  // 6 × 4
  const int plan = Plan(scene, 1, 1, 0, 0);  // 4 × 4
  const Point3 planCorner = PointAt(scene, plan, 3, 3);
  scene.State(plan).selection = 0;
  ASSERT_EQ(Remesh(scene), 1);
  EXPECT_EQ(scene.Object(disc).MeshU(), 10);
  EXPECT_EQ(scene.Object(disc).MeshV(), 4);
  EXPECT_EQ(scene.Object(plan).FirstPoint(), 41);
  EXPECT_EQ(PointAt(scene, plan, 3, 3), planCorner);
  // Old points at even columns, midpoints between them.
  const Point3 a = PointAt(scene, disc, 3, 0);
  const Point3 b = PointAt(scene, disc, 3, 2);
  const Point3 mid = PointAt(scene, disc, 3, 1);
  EXPECT_FLOAT_EQ(mid[0], (a[0] + b[0]) / 2);
}

TEST(Remesh, RefusesWhenFacetedObjectsAreSelected) {
  MessageRecorder messages;
  SceneModel scene;
  Plan(scene, 2, 2, 0, 0);
  FacetedMesh mesh;
  mesh.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {Face{1, 2, 3, 0}};
  ASSERT_EQ(AppendFacetedObjects(scene, {mesh}), 1);
  EXPECT_EQ(Remesh(scene), -1);
  EXPECT_EQ(messages.numbers, std::vector<int>{55});
  EXPECT_EQ(scene.Object(0).MeshU(), 5);
}

// The copy stands 10 units away along x and y, its points with its frame,
// so that it is drawn and rendered beside the original, not on top of it.
TEST(Duplicate, CopiesPointsFacesMapsAndMovesTheCopy) {
  SceneModel scene;
  const int plan = Plan(scene, 1, 1, 0, 0);
  FacetedMesh mesh;
  mesh.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {Face{1, -2, 3, 0}};
  const int faceted = AppendFacetedObjects(scene, {mesh});
  scene.Assignments().Add(Assignment{plan, {1, 0, 0}});
  scene.Frames().AbsOrigin(plan) = {5, 6, 7};
  ASSERT_EQ(Duplicate(scene), 2);
  ASSERT_EQ(scene.Header().objectCount, 4);
  EXPECT_EQ(scene.State(plan).selection, 0);
  EXPECT_EQ(scene.State(2).selection, 1);
  EXPECT_EQ(scene.Object(2).MeshU(), 4);
  const Point3 original = PointAt(scene, plan, 2, 2);
  EXPECT_EQ(PointAt(scene, 2, 2, 2), (Point3{original[0] + 10, original[1] + 10, original[2]}));
  EXPECT_EQ(scene.Frames().AbsOrigin(2), (Vec3{15, 16, 7}));
  EXPECT_GE(scene.Assignments().Find(2), 0);
  const int group = scene.State(3).faceGroup;
  ASSERT_NE(group, 0);
  EXPECT_NE(group, scene.State(faceted).faceGroup);
  EXPECT_EQ(scene.Faces().Get(scene.FaceGroupEntry(group).firstFace), (Face{1, -2, 3, 0}));
}

}  // namespace
}  // namespace tessaran
