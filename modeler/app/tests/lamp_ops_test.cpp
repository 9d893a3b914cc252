// The lamp operations after a lamp is made: the dialogs' settings, moving
// (all lamps or none, aimed at the target, hung lamps following), removal,
// and their command-line words.
#include "modeler/app/lamp_ops.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessaran {
namespace {

LampSettings At(double x, double y, double z) {
  LampSettings lamp;
  lamp.position = {x, y, z};
  return lamp;
}

TEST(LampOps, SettingsRoundTripAndStayInRange) {
  SceneModel scene;
  BuildError error;
  LampSettings lamp = At(10, 20, 30);
  lamp.intensity = 70;
  lamp.aperture = 45;
  lamp.red = 15;
  lamp.green = 8;
  lamp.blue = 3;
  lamp.shadows = false;
  ASSERT_TRUE(BuildLamp(scene, lamp, error)) << error;
  // "No Shadowing" is stored as the intensity + 200.
  EXPECT_EQ(scene.SceneLamps().Params(0).intensity, 270);
  EXPECT_EQ(LampSettingsOf(scene, 0), lamp);

  LampSettings look = At(0, 0, 0);
  look.intensity = 100;
  look.aperture = 0;
  ASSERT_TRUE(BuildLampLook(scene, {0}, look, error)) << error;
  const LampSettings now = LampSettingsOf(scene, 0);
  EXPECT_EQ(now.intensity, 100);
  EXPECT_TRUE(now.shadows);
  EXPECT_EQ(now.red, 15);
  EXPECT_EQ(now.blue, 15);
  // The lamp keeps its place.
  EXPECT_EQ(now.position, (Vec3{10, 20, 30}));

  // Out of range or no such lamp: nothing changes.
  for (auto bad : {&LampSettings::intensity, &LampSettings::aperture, &LampSettings::green}) {
    LampSettings wrong = look;
    wrong.*bad = 181;
    EXPECT_FALSE(BuildLampLook(scene, {0}, wrong, error));
    EXPECT_TRUE(error.badUsage);
  }
  EXPECT_FALSE(BuildLampLook(scene, {1}, look, error));
  EXPECT_FALSE(BuildLampLook(scene, {}, look, error));
  EXPECT_EQ(LampSettingsOf(scene, 0), now);
}

TEST(LampOps, MovedLampsStayAimedAtTheTargetAndMoveAllOrNone) {
  SceneModel scene;
  BuildError error;
  scene.View().CIBLE = {0, 0, 0};
  ASSERT_TRUE(BuildLamp(scene, At(0, 100, 0), error));
  ASSERT_TRUE(BuildLamp(scene, At(0, 0, 21000), error));
  // The second would leave the file's range: neither moves.
  EXPECT_FALSE(BuildMoveLamps(scene, {0, 1}, 0, 0, 1000, error));
  EXPECT_EQ(scene.SceneLamps().Frames().AbsOrigin(0), (Vec3{0, 100, 0}));
  ASSERT_TRUE(BuildMoveLamps(scene, {0}, 100, -100, 0, error)) << error;
  EXPECT_EQ(scene.SceneLamps().Frames().AbsOrigin(0), (Vec3{100, 0, 0}));
  // Its third axis now points from (100, 0, 0) at the origin.
  const Mat3& axes = scene.SceneLamps().Frames().AbsOrientation(0);
  EXPECT_NEAR(axes[2][0], -1, 1e-12);
  EXPECT_NEAR(axes[0][0] * axes[0][0] + axes[0][1] * axes[0][1] + axes[0][2] * axes[0][2], 1, 1e-12);

  // A lamp hung from an object's frame keeps its new place when the frame
  // is brought up to date.
  ASSERT_TRUE(BuildPrimitive(scene, "plan", 2, 2, -1, error));
  scene.Frames().AbsOrigin(0) = {5, 5, 5};
  ASSERT_EQ(AttachFrame(scene.SceneLamps().Frames(), 1, scene.Frames(), 0), 1);
  ASSERT_TRUE(BuildMoveLamps(scene, {1}, 0, 0, -1000, error));
  scene.Frames().Record(0).state = 0;
  scene.UpdateLampFrame(1);
  const Vec3& hung = scene.SceneLamps().Frames().AbsOrigin(1);
  EXPECT_NEAR(hung[2], 20000, 1e-9);
  EXPECT_NEAR(hung[0], 0, 1e-9);
}

TEST(LampOps, DeleteLampsByTheirNumbersBefore) {
  SceneModel scene;
  BuildError error;
  EXPECT_FALSE(BuildDeleteLamps(scene, {0}, error));
  EXPECT_EQ(error.text, "the scene has no lamps");
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(BuildLamp(scene, At(i, 0, 50), error));
  EXPECT_FALSE(BuildDeleteLamps(scene, {1, 4}, error));
  EXPECT_EQ(error.text, "lamps are 0 to 3");
  EXPECT_EQ(scene.SceneLamps().Count(), 4);
  // Given twice and out of order, each goes once.
  ASSERT_TRUE(BuildDeleteLamps(scene, {2, 0, 2}, error));
  ASSERT_EQ(scene.SceneLamps().Count(), 2);
  EXPECT_DOUBLE_EQ(scene.SceneLamps().Frames().AbsOrigin(0)[0], 1);
  EXPECT_DOUBLE_EQ(scene.SceneLamps().Frames().AbsOrigin(1)[0], 3);
}

bool RunWords(SceneModel& scene, std::vector<std::string> args, BuildError& error) {
  BuildState state;
  for (std::size_t i = 0; i < args.size(); ++i) {
    BuildOperation op;
    if (!ParseBuildOperation(args, i, op, error) || !RunBuildOperation(scene, state, op, error)) return false;
  }
  return true;
}

TEST(LampOps, CommandLineShadowsAndDeleteLamp) {
  SceneModel scene;
  BuildError error;
  ASSERT_TRUE(RunWords(scene, {"--lamp", "0", "100", "0", "80", "45", "15", "8", "0", "0", "--lamp", "1", "2", "3"},
                  error))
      << error;
  ASSERT_EQ(scene.SceneLamps().Count(), 2);
  EXPECT_FALSE(LampCastsShadows(scene.SceneLamps().Params(0)));
  EXPECT_EQ(LampIntensity(scene.SceneLamps().Params(0)), 80);
  EXPECT_TRUE(LampCastsShadows(scene.SceneLamps().Params(1)));
  EXPECT_FALSE(RunWords(scene, {"--lamp", "0", "0", "0", "50", "0", "1", "1", "1", "2"}, error));
  EXPECT_EQ(error.text, "--lamp: SHADOWS is 1 or 0");
  ASSERT_TRUE(RunWords(scene, {"--delete-lamp", "0"}, error)) << error;
  ASSERT_EQ(scene.SceneLamps().Count(), 1);
  EXPECT_EQ(scene.SceneLamps().Frames().AbsOrigin(0), (Vec3{1, 2, 3}));
  EXPECT_FALSE(RunWords(scene, {"--delete-lamp", "1"}, error));
  EXPECT_TRUE(error.badUsage);
  EXPECT_FALSE(RunWords(scene, {"--delete-lamp"}, error));
}

}  // namespace
}  // namespace tessaran
