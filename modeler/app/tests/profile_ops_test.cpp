#include "modeler/app/profile_ops.h"

#include <gtest/gtest.h>

#include "modeler/geometry/mesh_object.h"
#include "modeler/geometry/profile_edit.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

TEST(ProfileOps, PathDepthIsSpreadSoTheSplineRunsTheWholeDepth) {
  const std::vector<Vec3> path = SweepPath(Profile2D{{{0, 0}, {10, 20}, {30, 20}, {40, 0}, {50, -5}}}, 90);
  ASSERT_EQ(path.size(), 5u);
  // y turned over as the profile's is; depth 90 over n - 2 = 3 spacings.
  EXPECT_EQ(path[1], (Vec3{10, -20, 30}));
  EXPECT_EQ(path[4], (Vec3{50, 5, 120}));
}

TEST(ProfileOps, AStraightPathSweepsAsTheStraightExtrusion) {
  const Profile2D profile = RegularPolygon(6, 40);
  SceneModel straight;
  SceneModel along;
  BuildError error;
  ASSERT_TRUE(BuildExtrude(straight, profile, 80, 3, error)) << error;
  ASSERT_TRUE(BuildPathExtrude(along, profile, Profile2D{{{0, 0}, {0, 0}, {0, 0}, {0, 0}}}, 80, 3, error)) << error;
  const std::vector<Point3> a = GetObjectPoints(straight, 0);
  const std::vector<Point3> b = GetObjectPoints(along, 0);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[i][c], b[i][c], 1e-3) << i;
  }
  EXPECT_EQ(along.State(0).selection, 1);
}

TEST(ProfileOps, RefusalsLeaveTheSceneAsItWas) {
  SceneModel scene;
  BuildError error;
  const Profile2D profile = RegularPolygon(4, 40);
  const Profile2D path{{{0, 0}, {10, 0}, {20, 10}, {30, 30}}};
  ASSERT_TRUE(BuildPathExtrude(scene, profile, path, 50, 2, error)) << error;
  const Bytes before = MaqFileBytes(scene);
  EXPECT_FALSE(BuildPathExtrude(scene, profile, Profile2D{{{0, 0}, {10, 0}, {20, 10}}}, 50, 2, error));
  EXPECT_TRUE(error.badUsage);
  EXPECT_FALSE(BuildPathExtrude(scene, Profile2D{{{0, 0}, {1, 1}}}, path, 50, 2, error));
  EXPECT_FALSE(BuildPathExtrude(scene, profile, path, 50, 0, error));
  EXPECT_FALSE(BuildPathExtrude(scene, profile, path, 1e300, 2, error));
  EXPECT_FALSE(BuildPathExtrudeFile(scene, profile, "no-such-path.TXT", 50, 2, error));
  EXPECT_EQ(MaqFileBytes(scene), before);
}

}  // namespace
}  // namespace tessaran
