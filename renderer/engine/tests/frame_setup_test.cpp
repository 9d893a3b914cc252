// Frame set-up: material coefficients, interpolation between keyframe
// scenes, the scene loop's intervals and the depth order.
#include <gtest/gtest.h>

#include <cmath>

#include "renderer/engine/scene_loop.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

using namespace engine_samples;

MaterialEntry Material(int reflection, int transmission, int KSpec, int NSpec, std::uint16_t col = 0x0FFF) {
  MaterialEntry m;
  m.reflection = static_cast<std::uint8_t>(reflection);
  m.transmission = static_cast<std::uint8_t>(transmission);
  m.KSpec = static_cast<std::uint8_t>(KSpec);
  m.NSpec = static_cast<std::uint8_t>(NSpec);
  m.col = col;
  m.isDefault = !(reflection || transmission || KSpec || NSpec);
  return m;
}

TEST(MaterialCoefficients, ClassDefaults) {
  const double expected[4][3] = {{0.7, 0.7, 50}, {0.8, 0.5, 20}, {0.5, 1.1, 130}, {0.8, 0.4, 20}};
  for (int c = 0; c < 4; ++c) {
    MaterialEntry m = Material(0, 0, 0, 0, static_cast<std::uint16_t>(0x0123 | c << 12));
    ComputeMaterial(m, true, false);
    EXPECT_DOUBLE_EQ(m.Kd, expected[c][0]) << c;
    EXPECT_DOUBLE_EQ(m.Ks, expected[c][1]) << c;  // class 2: 1.1, highlights saturate
    EXPECT_DOUBLE_EQ(m.Ns, expected[c][2]) << c;
    EXPECT_DOUBLE_EQ(m.CfxTr, 0);
  }
}

TEST(MaterialCoefficients, TransmissionReflectionAndSharpness) {
  MaterialEntry glass = Material(50, 100, 0, 0);
  ComputeMaterial(glass, true, false);
  EXPECT_DOUBLE_EQ(glass.Ks, 0);
  EXPECT_DOUBLE_EQ(glass.CfxTr, 0.975);
  EXPECT_DOUBLE_EQ(glass.Kd, 0.05);

  MaterialEntry sharp = Material(0, 0, 71, 100), dull = Material(0, 0, 71, 0);
  ComputeMaterial(sharp, true, false);
  ComputeMaterial(dull, true, false);
  EXPECT_DOUBLE_EQ(sharp.Ns, 1);
  EXPECT_DOUBLE_EQ(dull.Ns, 51);
  EXPECT_DOUBLE_EQ(sharp.Ks, 0.5);
  EXPECT_DOUBLE_EQ(sharp.Kd, 0.5);

  // Partial transmission shares what is left with the diffuse part.
  MaterialEntry tinted = Material(20, 30, 0, 50);
  ComputeMaterial(tinted, true, false);
  EXPECT_DOUBLE_EQ(tinted.Ks, 0.2);
  EXPECT_DOUBLE_EQ(tinted.CfxTr, 0.3);
  EXPECT_NEAR(tinted.Kd, 0.5, 1e-15);
}

TEST(MaterialCoefficients, OutsideRayTracingReflectionAndTransmissionDoNotCount) {
  MaterialEntry m = Material(50, 60, 71, 0);
  ComputeMaterial(m, false, false);
  EXPECT_DOUBLE_EQ(m.Ks, 0.5);  // KSpec / 142
  EXPECT_DOUBLE_EQ(m.CfxTr, 0);
  EXPECT_DOUBLE_EQ(m.Kd, 0.5);
}

TEST(MaterialCoefficients, OpacityMapAndNegativeResults) {
  MaterialEntry mapped = Material(0, 0, 10, 10);
  ComputeMaterial(mapped, true, true);
  EXPECT_EQ(mapped.transmission, 1);
  EXPECT_DOUBLE_EQ(mapped.CfxTr, 0.01);

  MaterialEntry over = Material(0, 0, 255, 255);
  ComputeMaterial(over, true, false);
  EXPECT_GT(over.Ks, 1);
  EXPECT_EQ(over.Kd, 0);  // 1 − Ks, negative
  EXPECT_EQ(over.Ns, 0);  // (100 − 255)/2 + 1, negative
}

// Two keyframes of one grid object that moves, with one lamp.
struct TwoScenes {
  MaqScene a = EmptyScene(), b = EmptyScene();
  TwoScenes() {
    AddGrid(a, 2, 2, [](int i, int j) { return std::array<float, 3>{float(i), float(j), 0}; }, 0x4F00);
    AddGrid(b, 2, 2, [](int i, int j) { return std::array<float, 3>{float(i) + 10, float(j), -20}; }, 0x40F0);
    a.objects[0].reflection = 0;
    b.objects[0].reflection = 100;
    b.objects[0].kSpec = 40;
    b.camera.target = {10, 0, 0};
    b.camera.focal = 2000;
    MaqLamp lamp;
    lamp.frame.absOrigin = {0, 100, 0};
    lamp.stored.colour = 0x0F00;
    lamp.intensity = 1000;
    lamp.aperture = 30;
    lamp.castsShadows = true;
    a.lamps.push_back(lamp);
    lamp.frame.absOrigin = {0, 100, 100};
    lamp.stored.colour = 0x000F;
    lamp.intensity = 0;
    lamp.aperture = 90;
    lamp.castsShadows = false;
    b.lamps.push_back(lamp);
  }
};

FrameTables FrameAt(const TwoScenes& s, double t, const RenderSettings& settings = {}) {
  Keyframe ka, kb;
  std::vector<FaceGroup> groups;
  KeyframeFromScene(s.a, ka, &groups);
  KeyframeFromScene(s.b, kb, nullptr);
  ReferenceFrames references;
  StartReferenceFrames(ka, references);
  FrameTables frame;
  SetUpFrame(ka, kb, t, settings, references, frame);
  return frame;
}

TEST(Interpolation, KeyframesAreTakenAsTheyAre) {
  const TwoScenes s;
  const FrameTables f0 = FrameAt(s, 0), f1 = FrameAt(s, 1);
  EXPECT_EQ(f0.TabMAT[0].col, 0x4F00);
  EXPECT_EQ(f1.TabMAT[0].col, 0x40F0);
  EXPECT_TRUE(f0.TabMAT[0].isDefault);
  EXPECT_EQ(f1.TabMAT[0].reflection, 100);
  EXPECT_EQ(f0.lamps[0].intensity, 1000);
  EXPECT_EQ(f0.lamps[0].colour, 0x0F00);
  EXPECT_EQ(f1.lamps[0].colour, 0x000F);
  EXPECT_EQ(f1.lamps[0].cone, 90);
  EXPECT_NEAR(f1.lamps[0].coneCos, std::cos(45 * 0.01745329252), 1e-12);
  // The camera looks at its target: the target is straight ahead at F + D.
  for (const auto* f : {&f0, &f1}) {
    const Vec3 target = RenderCoordinates(f->camera, f == &f0 ? s.a.camera.target : s.b.camera.target);
    EXPECT_NEAR(target[0], 0, 1e-9);
    EXPECT_NEAR(target[2], -(f->camera.F + f->camera.D), 1e-9);
  }
  // Points in camera coordinates: the first point of a at the target's depth.
  EXPECT_NEAR(f0.points[0][2], -1040, 1e-3);
}

TEST(Interpolation, BetweenKeyframesValuesBlend) {
  const TwoScenes s;
  RenderSettings settings;
  const FrameTables f = FrameAt(s, 0.5, settings);
  EXPECT_NEAR(f.camera.F, 1500, 1e-9);
  EXPECT_NEAR(f.camera.centre[0], 5, 1e-9);
  // Points move halfway: camera space is the scene shifted by the eye.
  const Vec3 p = ToVec3(f.points[0]);
  const Vec3 expected = RenderCoordinates(f.camera, {5, 0, -10});
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], expected[i], 1e-3);
  // Percentages interpolate (the default flag goes with them), the colour
  // blends channel by channel and keeps the class bits.
  EXPECT_EQ(f.TabMAT[0].reflection, 50);
  EXPECT_EQ(f.TabMAT[0].KSpec, 20);
  EXPECT_FALSE(f.TabMAT[0].isDefault);
  EXPECT_EQ(f.TabMAT[0].col, 0x4880);
  EXPECT_DOUBLE_EQ(f.TabMAT[0].Ks, 0.5);
  // Lamp: intensity and cone interpolated, colours blended, shadows from
  // the later keyframe's own flag and the project's option.
  EXPECT_EQ(f.lamps[0].intensity, 500);
  EXPECT_EQ(f.lamps[0].cone, 60);
  EXPECT_EQ(f.lamps[0].colour, 0x0808);
  EXPECT_FALSE(f.lamps[0].shadows);
  EXPECT_NEAR(f.lamps[0].coneCos, std::cos(30 * 0.01745329252), 1e-12);
  EXPECT_EQ(BlendColour(0x0000, 0x0FFF, 0.25), 0x0444);
}

TEST(Interpolation, SunGroundAndDepth) {
  TwoScenes s;
  RenderSettings settings;
  settings.groundOn = true;
  settings.groundColour = 0x0468;
  settings.sunIntensity = 80;
  settings.sunV = 90;
  settings.sunRelative = true;
  const FrameTables f = FrameAt(s, 0, settings);
  ASSERT_EQ(f.objects.size(), 2u);
  EXPECT_TRUE(f.hasGround);
  EXPECT_EQ(f.TabMAT[1].KSpec, 40);
  EXPECT_EQ(f.TabMAT[1].col, 0x0468);
  EXPECT_DOUBLE_EQ(f.TabMAT[1].Ks, 40 / 142.0);
  EXPECT_TRUE(f.sun.present);
  EXPECT_NEAR(f.sun.direction[0], 1, 1e-12);
  settings.sunIntensity = 0;
  EXPECT_FALSE(FrameAt(s, 0, settings).sun.present);
  // One flat object: its depth range is widened by 1, then by 1/50.
  EXPECT_NEAR(f.zmax - f.zmin, 2 * 1.04, 1e-6);
  EXPECT_NEAR(f.depthScale, 65535 / 2.08, 1e-6);
}

TEST(Interpolation, DepthOrderFarthestFirst) {
  MaqScene scene = EmptyScene();
  for (const float z : {0.f, -50.f, 30.f}) {
    AddGrid(scene, 2, 2, [z](int i, int j) { return std::array<float, 3>{float(i), float(j), z}; });
  }
  const FrameTables f = FrameOf(scene);
  EXPECT_EQ(f.depthOrder, (std::vector<int>{1, 0, 2}));
}

// Records what the scene loop hands the frame loop.
struct Recorder : IntervalSink {
  std::vector<std::pair<int, bool>> intervals;
  std::vector<double> firstX;
  int RunInterval(SceneLoop& loop, int n, bool last) override {
    intervals.push_back({n, last});
    const int count = FramesOfInterval(n, last);
    for (int k = 1; k <= count; ++k) {
      loop.SetUpFrame(k, count, n);
      firstX.push_back(loop.Frame().camera.centre[0]);
    }
    return 0;
  }
};

TEST(SceneLoop, IntervalsBetweenKeyframesAndTheLoopBack) {
  std::vector<MaqScene> scenes(3, EmptyScene());
  for (int i = 0; i < 3; ++i) {
    AddGrid(scenes[i], 2, 2, [](int u, int v) { return std::array<float, 3>{float(u), float(v), 0}; });
    scenes[i].camera.target = {10.0 * i, 0, 0};
  }
  auto read = [&](int number, MaqScene& scene) {
    scene = scenes[number - 1];
    return MaqStatus::Ok;
  };
  RenderSettings settings;
  settings.imageCounts = {4, 4, 2};
  EngineHooks hooks;
  {
    SceneLoop loop(settings, hooks);
    Recorder recorder;
    EXPECT_EQ(loop.Run(3, read, recorder), 1);
    EXPECT_EQ(recorder.intervals, (std::vector<std::pair<int, bool>>{{4, false}, {4, true}}));
    // 4 + 5 images; t = (k − 1)/n, the last one on the final keyframe.
    ASSERT_EQ(recorder.firstX.size(), 9u);
    EXPECT_NEAR(recorder.firstX[1], 2.5, 1e-9);
    EXPECT_NEAR(recorder.firstX[4], 10, 1e-9);
    EXPECT_NEAR(recorder.firstX[8], 20, 1e-9);
  }
  settings.loop = true;
  SceneLoop loop(settings, hooks);
  Recorder recorder;
  EXPECT_EQ(loop.Run(3, read, recorder), 1);
  ASSERT_EQ(recorder.intervals.size(), 3u);
  EXPECT_EQ(recorder.intervals[1], (std::pair<int, bool>{4, false}));
  EXPECT_EQ(recorder.intervals[2], (std::pair<int, bool>{2, true}));
  // 4 + 4 + 3 images: halfway back from 20 to 0, then on the first scene.
  ASSERT_EQ(recorder.firstX.size(), 11u);
  EXPECT_NEAR(recorder.firstX[9], 10, 1e-9);
  EXPECT_NEAR(recorder.firstX.back(), 0, 1e-9);
}

TEST(SceneLoop, SingleSceneIsRenderedOnceAtTZero) {
  MaqScene scene = EmptyScene();
  AddGrid(scene, 3, 3, [](int u, int v) { return std::array<float, 3>{float(u), float(v), 0}; });
  RenderSettings settings;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  Recorder recorder;
  EXPECT_EQ(loop.Run(1, [&](int, MaqScene& s) { s = scene; return MaqStatus::Ok; }, recorder), 1);
  EXPECT_EQ(recorder.firstX.size(), 1u);
}

// The loop takes each scene's points and the first scene's faces over
// instead of copying them: the frames hold them all the same.
TEST(SceneLoop, ScenesHandOverTheirPointsAndFaces) {
  MaqScene scene = EmptyScene();
  AddGrid(scene, 3, 2, [](int u, int v) { return std::array<float, 3>{float(u), float(v), 0}; });
  AddFacets(scene, {{0, 0, 1}, {4, 0, 1}, {0, 4, 1}, {4, 4, 2}}, {{1, 2, 3}, {2, 4, 3}});
  Keyframe copied, moved;
  std::vector<FaceGroup> groups, movedGroups;
  KeyframeFromScene(scene, copied, &groups);
  MaqScene handed = scene;
  KeyframeFromScene(std::move(handed), moved, &movedGroups);
  EXPECT_EQ(moved.points, scene.points);
  EXPECT_EQ(moved.objects.size(), copied.objects.size());
  EXPECT_EQ(moved.objects[1].pointCount, 4);
  EXPECT_EQ(movedGroups.size(), groups.size());
  EXPECT_EQ(handed.faces, scene.faces);  // only the points left the scene

  RenderSettings settings;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  Recorder recorder;
  ASSERT_EQ(loop.Run(2, [&](int, MaqScene& s) { s = scene; return MaqStatus::Ok; }, recorder), 1);
  const FrameTables& f = loop.Frame();
  EXPECT_EQ(f.faces, scene.faces);
  EXPECT_TRUE(f.fileHasFaces);
  EXPECT_EQ(f.points.size(), scene.points.size());
}

TEST(SceneLoop, ReadsASceneFileAndNormalisesItsLamps) {
  SceneModel model;
  const int k = model.AppendObject(3, 2);
  for (int i = 0; i < 6; ++i) model.Points().Put(model.Object(k).FirstPoint() + i, {float(i % 3), float(i / 3), 0});
  model.UpdateBoundingBox(k);
  model.SceneLamps().SetCount(2);
  SetLampIntensity(model.SceneLamps().Params(0), 50, false);  // stored 250
  model.SceneLamps().Params(1).intensity = 150;
  model.SceneLamps().Params(1).aperture = 500;
  MaqSceneFile file;
  ASSERT_EQ(file.OpenBytes(MaqFileBytes(model)), MaqStatus::Ok);
  RenderSettings settings;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  Recorder recorder;
  ASSERT_EQ(loop.Run(file.SceneCount(), [&](int n, MaqScene& s) { return ReadMaq(file, n, s); }, recorder), 1);
  const FrameTables& f = loop.Frame();
  ASSERT_EQ(f.lamps.size(), 2u);
  EXPECT_EQ(f.lamps[0].intensity, 500);
  EXPECT_FALSE(f.lamps[0].shadows);
  EXPECT_EQ(f.lamps[1].intensity, 1000);
  EXPECT_TRUE(f.lamps[1].shadows);
  EXPECT_EQ(f.lamps[1].cone, 360);
  EXPECT_NEAR(f.lamps[1].coneCos, -1, 1e-9);
  ASSERT_EQ(f.objectCount, 1);
  EXPECT_EQ(f.objects[0].nu, 3);
  EXPECT_EQ(f.points.size(), 6u);
}

TEST(SceneLoop, OpacityMappedObjectsAreTracedAsTransparent) {
  MaqScene scene = EmptyScene();
  for (int k = 0; k < 4; ++k) {
    AddGrid(scene, 2, 2, [](int u, int v) { return std::array<float, 3>{float(u), float(v), 0}; });
  }
  scene.objects[3].transmission = 40;
  scene.maps = {{2, 1001, "HOLES.LBM"}};
  // 0: an opacity map; 1: a colour map only; 2: a record the file lacks;
  // 3: an opacity map over its own transmission; 9: no such object.
  scene.assignments = {{0, {0, 0, 1}}, {1, {1, 0, 0}}, {2, {0, 0, 5}}, {3, {0, 0, 1}}, {9, {0, 0, 1}}};
  RenderSettings settings;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  std::vector<int> transmission;
  struct Materials : IntervalSink {
    std::vector<int>& out;
    explicit Materials(std::vector<int>& o) : out(o) {}
    int RunInterval(SceneLoop& l, int, bool) override {
      l.SetUpFrame(1, 1, 1);
      for (int k = 0; k < l.Frame().objectCount; ++k) out.push_back(l.Frame().TabMAT[k].transmission);
      return 0;
    }
  } sink(transmission);
  ASSERT_EQ(loop.Run(1, [&](int, MaqScene& s) { s = scene; return MaqStatus::Ok; }, sink), 1);
  EXPECT_EQ(transmission, (std::vector<int>{1, 0, 0, 40}));
}

TEST(SceneLoop, UnreadableSceneEndsTheLoop) {
  MessageLog log;
  RenderSettings settings;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  Recorder recorder;
  EXPECT_EQ(loop.Run("no-such-scene.maq", recorder), 0);
  EXPECT_TRUE(log.Has(18));
  EXPECT_TRUE(recorder.intervals.empty());
}

TEST(ReferenceFrames, OriginsCloseInAndTurnsSpreadOverTheInterval) {
  Keyframe a, b;
  a.objects.resize(1);
  b.objects.resize(1);
  b.objects[0].frameOrigin = {12, 0, 0};
  Rotate(b.objects[0].frameOrientation, Axis::Z, 0.8);
  ReferenceFrames frames;
  StartReferenceFrames(a, frames);
  const int n = 4;
  std::vector<double> xs;
  for (int k = 1; k <= n; ++k) {
    AdvanceReferenceFrames(a, b, k, n, n, frames);
    xs.push_back(frames.origin[0][0]);
  }
  // d = 1/(r + 2): a fifth, a quarter and a third of the way left, then all.
  EXPECT_NEAR(xs[0], 12.0 / 5, 1e-12);
  EXPECT_NEAR(xs[1], 12.0 / 5 + (12 - 12.0 / 5) / 4, 1e-12);
  EXPECT_NEAR(xs[3], 12, 1e-12);
  // n turns of 0.2 bring the orientation onto the keyframe's.
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(frames.orientation[0][i][j], b.objects[0].frameOrientation[i][j], 1e-9);
  }
}

}  // namespace
}  // namespace tessaran
