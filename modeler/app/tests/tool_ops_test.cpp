// "Scale" and "Distance" on the selection: the selection scaled as one piece
// about the centre of its box, refusals that leave the scene as it was, and
// the distance of two selected objects.
#include "modeler/app/tool_ops.h"

#include <gtest/gtest.h>

#include <cmath>

#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

// Two boxes of 100 units, the second moved 200 along X: their box runs from
// x = -50 to 250 (centre 100), y and z from -50 to 50.
void TwoBoxes(SceneModel& scene) {
  BuildError error;
  ASSERT_TRUE(BuildPrimitive(scene, "box", 2, 2, -1, error)) << error;
  ASSERT_TRUE(BuildPrimitive(scene, "box", 2, 2, -1, error)) << error;
  ASSERT_TRUE(BuildMove(scene, 200, 0, 0, error)) << error;
  ASSERT_TRUE(BuildSelect(scene, "all", error)) << error;
}

TEST(ToolOps, ScaleTakesTheSelectionAsOnePieceAboutItsCentre) {
  SceneModel scene;
  TwoBoxes(scene);
  const std::optional<Vec3> centre = SelectionCentre(scene);
  ASSERT_TRUE(centre);
  EXPECT_NEAR((*centre)[0], 100, 1e-4);
  EXPECT_NEAR((*centre)[1], 0, 1e-4);
  const std::vector<Point3> before0 = GetObjectPoints(scene, 0);
  const std::vector<Point3> before1 = GetObjectPoints(scene, 1);
  ASSERT_EQ(SelectionDistance(scene), 200);

  BuildError error;
  ASSERT_TRUE(BuildScale(scene, 50, error)) << error;
  // Every point halfway to the centre, and the origins with them: the
  // objects are half as far apart and half as big.
  const std::vector<Point3> after0 = GetObjectPoints(scene, 0);
  const std::vector<Point3> after1 = GetObjectPoints(scene, 1);
  for (std::size_t i = 0; i < before0.size(); ++i) {
    EXPECT_NEAR(after0[i][0], 100 + (before0[i][0] - 100) / 2, 1e-3);
    EXPECT_NEAR(after0[i][2], before0[i][2] / 2, 1e-3);
    EXPECT_NEAR(after1[i][0], 100 + (before1[i][0] - 100) / 2, 1e-3);
  }
  EXPECT_NEAR(scene.Frames().AbsOrigin(0)[0], 50, 1e-9);
  EXPECT_NEAR(scene.Frames().AbsOrigin(1)[0], 150, 1e-9);
  EXPECT_NEAR(*SelectionDistance(scene), 100, 1e-9);
  // 100 per cent changes no number.
  const Bytes scaled = MaqFileBytes(scene);
  ASSERT_TRUE(BuildScale(scene, 100, error));
  EXPECT_EQ(MaqFileBytes(scene), scaled);
}

TEST(ToolOps, ScaleRefusalsLeaveTheSceneAsItWas) {
  SceneModel scene;
  TwoBoxes(scene);
  const Bytes before = MaqFileBytes(scene);
  BuildError error;
  for (double percent : {0.0, -50.0, std::nan(""), static_cast<double>(INFINITY)}) {
    EXPECT_FALSE(BuildScale(scene, percent, error)) << percent;
    EXPECT_TRUE(error.badUsage);
  }
  // Origins and points carried beyond what the file holds: nothing moves.
  EXPECT_FALSE(BuildScale(scene, 2e6, error));
  EXPECT_NE(error.text.find("beyond"), std::string::npos) << error;
  EXPECT_EQ(MaqFileBytes(scene), before);
  ASSERT_TRUE(BuildSelect(scene, "none", error));
  EXPECT_FALSE(BuildScale(scene, 50, error));
  EXPECT_EQ(MaqFileBytes(scene), before);
}

TEST(ToolOps, DistanceNeedsExactlyTwoSelectedObjects) {
  SceneModel scene;
  TwoBoxes(scene);
  BuildError error;
  ASSERT_TRUE(BuildMove(scene, 0, 30, 40, error));
  // Both moved alike: still 200 apart.
  EXPECT_NEAR(*SelectionDistance(scene), 200, 1e-9);
  ASSERT_TRUE(BuildSelect(scene, "1", error));
  ASSERT_TRUE(BuildMove(scene, -200, 30, 40, error));
  ASSERT_TRUE(BuildSelect(scene, "all", error));
  EXPECT_NEAR(*SelectionDistance(scene), 50, 1e-9);
  ASSERT_TRUE(BuildSelect(scene, "0", error));
  EXPECT_FALSE(SelectionDistance(scene));
  ASSERT_TRUE(BuildPrimitive(scene, "plan", 2, 2, -1, error));
  ASSERT_TRUE(BuildSelect(scene, "all", error));
  EXPECT_FALSE(SelectionDistance(scene));
}

TEST(ToolOps, ScaleIsABatchOperation) {
  SceneModel scene;
  TwoBoxes(scene);
  const std::vector<std::string> args{"--scale", "200"};
  std::size_t i = 0;
  BuildOperation op;
  BuildError error;
  ASSERT_TRUE(ParseBuildOperation(args, i, op, error)) << error;
  BuildState state;
  ASSERT_TRUE(RunBuildOperation(scene, state, op, error)) << error;
  EXPECT_NEAR(*SelectionDistance(scene), 400, 1e-9);
  i = 0;
  EXPECT_FALSE(ParseBuildOperation({"--scale"}, i, op, error));
}

}  // namespace
}  // namespace tessaran
