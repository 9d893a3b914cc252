#include "modeler/app/build_ops.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "modeler/geometry/mesh_object.h"
#include "modeler/geometry/text3d.h"

namespace tessaran {
namespace {

const std::string kData = TESSARAN_TESTDATA "/dxf/";

TEST(BuildOps, MadeObjectsBecomeTheSelectionThatLaterOperationsChange) {
  SceneModel scene;
  BuildError error;
  ASSERT_TRUE(BuildPrimitive(scene, "sphere", 8, 6, -1, error)) << error;
  ASSERT_TRUE(BuildPrimitive(scene, "box", 8, 6, 50, error)) << error;
  EXPECT_EQ(scene.State(0).selection, 0);
  EXPECT_EQ(scene.State(1).selection, 1);
  ASSERT_TRUE(BuildMove(scene, 10, 20, 30, error));
  ASSERT_TRUE(BuildColour(scene, 15, 0, 8, error));
  ASSERT_TRUE(BuildMaterial(scene, 10, 20, 30, 40, 60, error));
  ASSERT_TRUE(BuildRendering(scene, "phong", error));
  EXPECT_EQ(scene.Frames().AbsOrigin(1), (Vec3{10, 20, 30}));
  EXPECT_EQ(scene.Frames().AbsOrigin(0), (Vec3{0, 0, 0}));
  EXPECT_EQ(scene.Object(1).Col() & 0x0FFF, 0x0F08);
  EXPECT_EQ(scene.Object(1).RenderingMode(), 1);
  EXPECT_EQ(scene.Object(1).Refraction(), 30);
  EXPECT_EQ(scene.Object(1).NSpec(), 60);
  EXPECT_EQ(scene.Object(0).Col(), 3276);

  ASSERT_TRUE(BuildSelect(scene, "0-1", error));
  ASSERT_TRUE(BuildRotate(scene, 0, 90, 0, error));
  const Mat3& axes = scene.Frames().AbsOrientation(0);
  EXPECT_NEAR(std::fabs(axes[0][2]), 1, 1e-12);  // x turned onto z
  ASSERT_TRUE(BuildSize(scene, 200, 100, 50, error));
  EXPECT_NEAR(scene.Box(0)[7][2], 25, 1);  // sphere of radius 50, halved in z
  EXPECT_FALSE(BuildSelect(scene, "2", error));
  EXPECT_FALSE(BuildSelect(scene, "1-0", error));
  ASSERT_TRUE(BuildSelect(scene, "none", error));
  EXPECT_FALSE(BuildMove(scene, 1, 1, 1, error));
  EXPECT_FALSE(BuildPrimitive(scene, "cone", 4, 4, -1, error));
  EXPECT_FALSE(BuildPrimitive(scene, "plan", 0, 4, -1, error));
}

TEST(BuildOps, DxfImportAndSplineRenderingOfFacetedObjects) {
  SceneModel scene;
  BuildError error;
  ASSERT_TRUE(BuildImportDxf(scene, kData + "r2000_mixed.dxf", error)) << error;
  EXPECT_EQ(scene.Header().objectCount, 3);
  EXPECT_FALSE(BuildRendering(scene, "spline", error));
  EXPECT_EQ(scene.Object(0).RenderingMode(), 2);
  EXPECT_TRUE(BuildRendering(scene, "phong", error));
  EXPECT_FALSE(BuildImportDxf(scene, kData + "missing.dxf", error));
  EXPECT_EQ(scene.Header().objectCount, 3);
}

TEST(BuildOps, ProfileSweepsAndText) {
  const auto dir = std::filesystem::temp_directory_path() / ("tessaran_build_ops-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "P.TXT") << "Listepoint 4\n0 0\n40 0\n40 40\n0 40\nFinListe\n";
  std::ofstream(dir / "TWO.TXT") << "Listepoint 2\n0 0\n40 0\nFinListe\n";
  SceneModel scene;
  Profile2D profile;
  BuildError error;
  EXPECT_FALSE(BuildExtrude(scene, profile, 100, 4, error));  // no profile yet
  EXPECT_FALSE(BuildLoadProfile(dir / "TWO.TXT", profile, error));
  ASSERT_TRUE(BuildLoadProfile(dir / "P.TXT", profile, error)) << error;
  ASSERT_TRUE(BuildExtrude(scene, profile, 100, 4, error)) << error;
  ASSERT_TRUE(BuildPivot(scene, profile, 0, 360, 8, error)) << error;
  EXPECT_EQ(scene.Header().objectCount, 2);
  if (!DefaultFontFile().empty()) {
    ASSERT_TRUE(BuildText(scene, "Hi", {}, error)) << error;
    EXPECT_GT(scene.Header().objectCount, 2);
    EXPECT_EQ(scene.State(0).selection, 0);
  }
  std::filesystem::remove_all(dir);
}

TEST(BuildOps, MapsLampsAndCamera) {
  SceneModel scene;
  BuildError error;
  ASSERT_TRUE(BuildPrimitive(scene, "plan", 2, 2, -1, error));
  ASSERT_TRUE(BuildMap(scene, "colour", "WOOD.LBM", 2, 3, error)) << error;
  ASSERT_TRUE(BuildMap(scene, "bump", "WOOD.LBM", 2, 3, error)) << error;
  ASSERT_EQ(scene.Maps().Count(), 1);
  EXPECT_EQ(scene.Maps()[1].type, 2);
  EXPECT_EQ(scene.Maps()[1].repetition, 2003);
  ASSERT_EQ(scene.Assignments().Count(), 1);
  EXPECT_EQ(scene.Assignments()[0].maps, (std::array<std::int32_t, 3>{1, 1, 0}));
  EXPECT_FALSE(BuildMap(scene, "shine", "WOOD.LBM", 1, 1, error));

  ASSERT_TRUE(BuildCamera(scene, 30, -20, 2, 3000, nullptr, error));
  EXPECT_DOUBLE_EQ(scene.View().distance, 60);
  LampSettings lamp;
  lamp.position = {0, 100, 0};
  lamp.intensity = 80;
  lamp.red = 15;
  lamp.green = 8;
  lamp.blue = 0;
  ASSERT_TRUE(BuildLamp(scene, lamp, error)) << error;
  EXPECT_EQ(scene.SceneLamps().Count(), 1);
  EXPECT_EQ(scene.SceneLamps().Params(0).colour, 0x0F80);
  EXPECT_EQ(scene.SceneLamps().Params(0).intensity, 80);
  EXPECT_EQ(scene.SceneLamps().Params(0).aperture, 0);
  // Aimed at the target: the third axis points straight down.
  EXPECT_NEAR(scene.SceneLamps().Frames().AbsOrientation(0)[2][1], -1, 1e-12);
  for (int i = 1; i < 10; ++i) ASSERT_TRUE(BuildLamp(scene, lamp, error));
  EXPECT_FALSE(BuildLamp(scene, lamp, error));
  EXPECT_FALSE(BuildCamera(scene, 0, 0, 0, 2000, nullptr, error));
}

TEST(BuildOps, CommandLineWordsAndOptionalValues) {
  const std::vector<std::string> args = {"--primitive", "ring", "8",  "6",   "--lamp", "0",     "100",
                                         "0",           "80",   "--camera", "30", "-20",   "1.5", "2000",
                                         "--insert",    kData + "r12_single_layer.dxf", "--move", "0", "-5", "0"};
  SceneModel scene;
  BuildState state;
  BuildError error;
  std::vector<BuildOperation> ops;
  for (std::size_t i = 0; i < args.size(); ++i) {
    BuildOperation op;
    ASSERT_TRUE(ParseBuildOperation(args, i, op, error)) << error;
    ops.push_back(op);
  }
  ASSERT_EQ(ops.size(), 5u);
  EXPECT_EQ(ops[1].words, (std::vector<std::string>{"0", "100", "0", "80"}));
  EXPECT_EQ(ops[2].words.size(), 4u);
  for (const BuildOperation& op : ops) ASSERT_TRUE(RunBuildOperation(scene, state, op, error)) << op.option << error;
  EXPECT_EQ(scene.Header().objectCount, 2);
  EXPECT_EQ(scene.SceneLamps().Params(0).intensity, 80);
  EXPECT_DOUBLE_EQ(scene.View().zoom, 1.5);
  EXPECT_EQ(scene.State(0).selection, 0);
  EXPECT_EQ(scene.State(1).selection, 1);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--move", "1", "2"}, {"--primitive", "sphere", "x", "4"}, {"--profile"}}) {
    std::size_t i = 0;
    BuildOperation op;
    EXPECT_FALSE(ParseBuildOperation(bad, i, op, error)) << bad[0];
  }
  EXPECT_TRUE(IsBuildOption("--rendering"));
  EXPECT_FALSE(IsBuildOption("--save"));
}

TEST(BuildOps, DuplicateThenDeleteOnTheSelection) {
  const std::vector<std::string> args = {"--primitive", "box", "4", "3", "--primitive", "sphere", "8", "6",
                                         "--duplicate", "--select", "1", "--delete"};
  SceneModel scene;
  BuildState state;
  BuildError error;
  for (std::size_t i = 0; i < args.size(); ++i) {
    BuildOperation op;
    ASSERT_TRUE(ParseBuildOperation(args, i, op, error)) << error;
    ASSERT_TRUE(RunBuildOperation(scene, state, op, error)) << op.option << error;
  }
  // The box and the sphere's copy, 10 along X and Y from the sphere.
  ASSERT_EQ(scene.Header().objectCount, 2);
  EXPECT_EQ(scene.Object(1).MeshU(), 8 + 2);
  EXPECT_EQ(scene.Object(1).MeshV(), 6 + 3);
  EXPECT_EQ(scene.Frames().AbsOrigin(1), (Vec3{10, 10, 0}));
  ASSERT_TRUE(BuildSelect(scene, "none", error));
  EXPECT_FALSE(BuildDelete(scene, error));
  EXPECT_FALSE(BuildDuplicate(scene, error));
  EXPECT_TRUE(error.badUsage);
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// Moving and turning an object carries its points with its frame, so the
// renderer (which reads the points) sees it where the modeler put it.
TEST(BuildOps, PointsFollowMoveAndRotate) {
  SceneModel scene;
  BuildError error;
  ASSERT_TRUE(BuildPrimitive(scene, "box", 2, 2, -1, error)) << error;
  const std::vector<Point3> start = GetObjectPoints(scene, 0);
  ASSERT_TRUE(BuildMove(scene, 100, -60, 5, error));
  const std::vector<Point3> moved = GetObjectPoints(scene, 0);
  ASSERT_EQ(moved.size(), start.size());
  for (std::size_t i = 0; i < start.size(); ++i) {
    EXPECT_FLOAT_EQ(moved[i][0], start[i][0] + 100);
    EXPECT_FLOAT_EQ(moved[i][1], start[i][1] - 60);
    EXPECT_FLOAT_EQ(moved[i][2], start[i][2] + 5);
  }
  // A half turn about the vertical through the object's own origin: the
  // points mirror about that origin in x and z, and y stays.
  ASSERT_TRUE(BuildRotate(scene, 0, 180, 0, error));
  const std::vector<Point3> turned = GetObjectPoints(scene, 0);
  for (std::size_t i = 0; i < start.size(); ++i) {
    EXPECT_NEAR(turned[i][0], 100 - start[i][0], 1e-3);
    EXPECT_NEAR(turned[i][1], start[i][1] - 60, 1e-3);
    EXPECT_NEAR(turned[i][2], 5 - start[i][2], 1e-3);
  }
  // Sizes are taken about the object's origin, which stays put.
  ASSERT_TRUE(BuildSize(scene, 50, 50, 50, error));
  const std::vector<Point3> sized = GetObjectPoints(scene, 0);
  for (std::size_t i = 0; i < start.size(); ++i) EXPECT_NEAR(sized[i][1], -60 + start[i][1] / 2, 1e-3);
}

}  // namespace
}  // namespace tessaran
