#include "scene/scene_model.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/console.h"
#include "scene/scene_snapshot.h"

namespace tessaran {
namespace {

// Gives object k recognisable contents in every per-object table.
void Mark(SceneModel& scene, int k) {
  scene.Object(k).word[3] = 0x0ABC + k;
  scene.Object(k).SetKSpec(50);
  scene.State(k).selection = 1;
  scene.State(k).faceGroup = static_cast<std::int16_t>(k);
  scene.Box(k)[7] = {k, -k, 2 * k};
  scene.Frames().AbsOrigin(k) = {double(k), 1, 2};
}

void ExpectMarked(const SceneModel& scene, int k) {
  EXPECT_EQ(scene.Object(k).Col(), 0x0ABC + k);
  EXPECT_EQ(scene.Object(k).KSpec(), 50);
  EXPECT_EQ(scene.State(k).selection, 1);
  EXPECT_EQ(scene.State(k).faceGroup, k);
  EXPECT_EQ(scene.Box(k)[7][2], 2 * k);
  EXPECT_DOUBLE_EQ(scene.Frames().AbsOrigin(k)[0], k);
}

TEST(SceneModel, StartsWithItsInitialCapacitiesAndAnEmptyScene) {
  SceneModel scene;
  EXPECT_EQ(scene.ObjectCapacity(), 100);
  EXPECT_EQ(scene.Frames().Capacity(), 100);
  EXPECT_EQ(scene.PointCapacity(), 10000);
  EXPECT_EQ(scene.Header().objectCount, 0);
  EXPECT_EQ(scene.Object(0).FirstPoint(), 1);  // closing entry: no points yet
  EXPECT_EQ(scene.TotalPoints(), 0);
  EXPECT_EQ(scene.SceneLamps().Count(), 0);
  EXPECT_DOUBLE_EQ(scene.View().focal, 250.0);
}

TEST(SceneModel, ObjectGrowthKeepsObjectsAndAddsFreshFrames) {
  SceneModel scene;
  for (int k : {0, 42, 99}) Mark(scene, k);
  ASSERT_EQ(scene.ReallocObject(150), 1);
  EXPECT_EQ(scene.ObjectCapacity(), 150);
  for (int k : {0, 42, 99}) ExpectMarked(scene, k);
  for (int k = 100; k < 150; ++k) {
    EXPECT_EQ(scene.Frames().Record(k).identifier, k);
    EXPECT_EQ(scene.Frames().Record(k).parent, -1);
    EXPECT_EQ(scene.Frames().Record(k).state, 1);
    EXPECT_EQ(scene.State(k).selection, 0);
  }
  Mark(scene, 149);
  scene.Object(150).SetFirstPoint(1);  // the closing entry fits at n
}

TEST(SceneModel, RefusedObjectGrowthLeavesEverything) {
  SceneModel scene;
  Mark(scene, 99);

  ConsoleSetEnabled(true);
  testing::internal::CaptureStderr();
  EXPECT_EQ(scene.ReallocObject(65536), 0);
  const std::string trace = testing::internal::GetCapturedStderr();
  ConsoleSetEnabled(false);
  EXPECT_NE(trace.find("nbAlloc=100 ReallocObject(65536)\n"), std::string::npos) << trace;
  EXPECT_EQ(scene.ObjectCapacity(), 100);
  ExpectMarked(scene, 99);

  // A refusal at any step of the growth (object table, states, boxes, face
  // groups, then the five frame arrays) leaves capacity and contents.
  for (int step = 1; step <= 9; ++step) {
    int calls = 0;
    scene.SetGrowthGate([&](std::size_t) { return ++calls != step; });
    EXPECT_EQ(scene.ReallocObject(300), 0) << "step " << step;
    EXPECT_EQ(scene.ObjectCapacity(), 100);
    ExpectMarked(scene, 99);
  }
  scene.SetGrowthGate({});
  ASSERT_EQ(scene.ReallocObject(300), 1);
  ExpectMarked(scene, 99);
  EXPECT_EQ(scene.Frames().Record(299).identifier, 299);
}

TEST(SceneModel, AppendedObjectsChainTheirPoints) {
  SceneModel scene;
  ASSERT_EQ(scene.AppendObject(4, 3), 0);
  EXPECT_EQ(scene.Object(0).FirstPoint(), 1);
  EXPECT_EQ(scene.Object(1).FirstPoint(), 13);  // closing entry
  EXPECT_EQ(scene.TotalPoints(), 12);
  ASSERT_EQ(scene.AppendObject(5, 5), 1);
  EXPECT_EQ(scene.Object(1).FirstPoint(), 13);
  EXPECT_EQ(scene.Object(2).FirstPoint(), 38);
  EXPECT_EQ(scene.ObjectPointCount(1), 25);

  // Past the point capacity the points table grows by what is missing.
  ASSERT_EQ(scene.AppendObject(100, 100), 2);
  EXPECT_EQ(scene.PointCapacity(), 10037);
  EXPECT_EQ(scene.TotalPoints(), 10037);

  // Reaching the object capacity grows it with headroom.
  while (scene.Header().objectCount < 100) ASSERT_GE(scene.AppendObject(1, 1), 0);
  EXPECT_EQ(scene.ObjectCapacity(), 110);
}

TEST(SceneModel, AppendingMovesTheFreeFramesWithTheirChildren) {
  SceneModel scene;
  ASSERT_EQ(scene.AppendObject(2, 2), 0);
  scene.Header().freeFrameCount = 1;  // the free frame sits in slot 1
  scene.Frames().AbsOrigin(1) = {0, 0, 50};
  ASSERT_EQ(AttachFrame(scene.Frames(), 0, 1), 1);
  ASSERT_EQ(AttachFrame(scene.SceneLamps().Frames(), 3, scene.Frames(), 1), 1);

  ASSERT_EQ(scene.AppendObject(2, 2), 1);
  EXPECT_DOUBLE_EQ(scene.Frames().AbsOrigin(2)[2], 50);
  EXPECT_EQ(scene.Frames().Record(2).identifier, 2);
  EXPECT_EQ(scene.Frames().Record(0).parent, 2);
  EXPECT_EQ(scene.Frames().Record(0).parentId, 2);
  EXPECT_EQ(scene.SceneLamps().Frames().Record(3).parent, 2);
  EXPECT_EQ(scene.SceneLamps().Frames().Record(3).parentId, 2);
  // The new object's frame is fresh.
  EXPECT_EQ(scene.Frames().Record(1).identifier, 1);
  EXPECT_DOUBLE_EQ(scene.Frames().AbsOrigin(1)[2], 0);
}

TEST(SceneModel, RemovedObjectsLeaveTheOthersClosedUpWithTheirFramesAndMaps) {
  SceneModel scene;
  for (int k = 0; k < 4; ++k) {
    ASSERT_EQ(scene.AppendObject(2, k + 1), k);
    Mark(scene, k);
    for (int p = 0; p < scene.ObjectPointCount(k); ++p) {
      scene.Points().Put(scene.Object(k).FirstPoint() + p, {float(k), float(p), 0});
    }
  }
  // A free frame after the objects; object 3 hangs from object 1, object 2
  // and a lamp from the free frame, another lamp from object 1.
  scene.Header().freeFrameCount = 1;
  scene.Frames().AbsOrigin(4) = {0, 0, 50};
  ASSERT_EQ(AttachFrame(scene.Frames(), 3, 1), 1);
  ASSERT_EQ(AttachFrame(scene.Frames(), 2, 4), 1);
  ASSERT_EQ(AttachFrame(scene.SceneLamps().Frames(), 0, scene.Frames(), 4), 1);
  ASSERT_EQ(AttachFrame(scene.SceneLamps().Frames(), 1, scene.Frames(), 1), 1);
  scene.Assignments().Add({1, {1, 0, 0}});
  scene.Assignments().Add({3, {0, 1, 0}});

  scene.RemoveObjects({true, true, false, false});
  ASSERT_EQ(scene.Header().objectCount, 2);
  EXPECT_EQ(scene.Header().freeFrameCount, 1);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(scene.Object(k).Col(), 0x0ABC + k + 2);
    EXPECT_DOUBLE_EQ(scene.Frames().AbsOrigin(k)[0], k + 2);
    EXPECT_EQ(scene.Frames().Record(k).identifier, k);
    EXPECT_EQ(scene.ObjectPointCount(k), 2 * (k + 3));
    EXPECT_EQ(scene.Points().Get(scene.Object(k).FirstPoint() + 1), (std::array<float, 3>{float(k + 2), 1, 0}));
  }
  EXPECT_EQ(scene.TotalPoints(), 6 + 8);
  // The free frame moved down with its children; the frame that hung from a
  // removed object stands alone.
  EXPECT_DOUBLE_EQ(scene.Frames().AbsOrigin(2)[2], 50);
  EXPECT_EQ(scene.Frames().Record(0).parent, 2);
  EXPECT_EQ(scene.Frames().Record(0).parentId, 2);
  EXPECT_EQ(scene.SceneLamps().Frames().Record(0).parent, 2);
  EXPECT_EQ(scene.Frames().Record(1).parent, -1);
  EXPECT_EQ(scene.SceneLamps().Frames().Record(1).parent, -1);
  ASSERT_EQ(scene.Assignments().Count(), 1);
  EXPECT_EQ(scene.Assignments()[0], (Assignment{1, {0, 1, 0}}));
  // Nothing marked: nothing changes.
  scene.RemoveObjects({});
  EXPECT_EQ(scene.Header().objectCount, 2);
}

TEST(SceneModel, ASnapshotPutsBackPointsFacesAndTables) {
  SceneModel scene;
  ASSERT_EQ(scene.AppendObject(2, 3), 0);
  Mark(scene, 0);
  scene.Points().Put(6, {1.0005f, 2, 3});
  ASSERT_EQ(scene.Faces().Resize(2), 1);
  scene.Faces().Put(1, {1, 2, -3, 0});
  scene.Assignments().Add({0, {1, 0, 0}});
  const SceneSnapshot before = scene.TakeSnapshot();

  scene.NewScene();
  for (int k = 0; k < 3; ++k) ASSERT_GE(scene.AppendObject(100, 100), 0);
  ASSERT_TRUE(scene.RestoreSnapshot(before));
  ASSERT_EQ(scene.Header().objectCount, 1);
  ExpectMarked(scene, 0);
  EXPECT_EQ(scene.TotalPoints(), 6);
  EXPECT_EQ(scene.Points().Get(6), (std::array<float, 3>{1.0005f, 2, 3}));
  EXPECT_EQ(scene.Faces().Count(), 2);
  EXPECT_EQ(scene.Faces().Get(1), (Face{1, 2, -3, 0}));
  EXPECT_EQ(scene.Assignments().Count(), 1);
}

TEST(SceneModel, ObjectLimitIsRefusedWithoutTrying) {
  SceneModel scene;
  scene.Header().objectCount = SceneModel::kMaxObjects - 1;
  EXPECT_EQ(scene.AppendObject(1, 1), -1);
  EXPECT_EQ(scene.ObjectCapacity(), 100);
}

TEST(SceneModel, PointGrowthCarriesTheViewTablesAndContents) {
  SceneModel scene;
  VTH* view = scene.Points().OpenViewTable();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->count, 4 * 10000);
  ASSERT_EQ(scene.Points().Put(1, {1.5f, -2.0f, 3.25f}), 1);
  ASSERT_EQ(scene.Points().Put(10000, {7, 8, 9}), 1);
  ASSERT_EQ(VPutInt(view, 4 * 9999 + 1, 321), 1);

  ASSERT_EQ(scene.GrowPoints(500, 4), 1);
  EXPECT_EQ(scene.PointCapacity(), 10500);
  EXPECT_EQ(scene.Points().Points()->count, 3 * 10500);
  EXPECT_EQ(view->count, 4 * 10500);
  EXPECT_EQ(scene.Points().Get(1), (std::array<float, 3>{1.5f, -2.0f, 3.25f}));
  EXPECT_EQ(scene.Points().Get(10000), (std::array<float, 3>{7, 8, 9}));
  EXPECT_EQ(VGetInt(view, 4 * 9999 + 1), 321);

  ASSERT_EQ(scene.GrowPoints(20000, 0), 1);
  EXPECT_EQ(view->count, 4 * 20000);

  // The maximum is refused and changes nothing.
  EXPECT_EQ(scene.GrowPoints(SceneModel::kMaxPoints, 0), 0);
  EXPECT_EQ(scene.GrowPoints(SceneModel::kMaxPoints - 20000, 2), 0);
  EXPECT_EQ(scene.PointCapacity(), 20000);
  EXPECT_EQ(view->count, 4 * 20000);
  EXPECT_EQ(scene.Points().Get(10000), (std::array<float, 3>{7, 8, 9}));

  scene.Points().CloseViewTable(view);
  EXPECT_EQ(scene.Points().ViewTableCount(), 0);
}

TEST(SceneModel, LampsResetToTheirDefaults) {
  SceneModel scene;
  Lamps& lamps = scene.SceneLamps();
  ASSERT_EQ(lamps.SetCount(3), 1);
  SetLampIntensity(lamps.Params(2), 40, false);
  EXPECT_EQ(lamps.Params(2).intensity, 240);
  EXPECT_EQ(LampIntensity(lamps.Params(2)), 40);
  EXPECT_FALSE(LampCastsShadows(lamps.Params(2)));
  lamps.Frames().AbsOrigin(2) = {1, 2, 3};
  EXPECT_EQ(lamps.SetCount(11), 0);

  scene.InitScene();
  EXPECT_EQ(lamps.Count(), 0);
  for (int k = 0; k < Lamps::kMaxLamps; ++k) {
    const LampParams& p = lamps.Params(k);
    EXPECT_EQ(p.colour, 0x0FFF);
    EXPECT_EQ(p.intensity, 50);
    EXPECT_EQ(p.aperture, 30);
    EXPECT_EQ(p.reserved, 0);
    const FrameRecord& r = lamps.Frames().Record(k);
    EXPECT_EQ(r.identifier, Lamps::kIdentifierBase + k);
    EXPECT_EQ(r.parent, -1);
    // Half a turn about X: Y and Z reversed.
    const Mat3& m = lamps.Frames().AbsOrientation(k);
    const Mat3 expected{{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(m[i][j], expected[i][j], 1e-12);
    }
    EXPECT_DOUBLE_EQ(lamps.Frames().AbsOrigin(k)[0], 0);
  }
}

TEST(SceneModel, LampFollowsTheFreeFrameItHangsFrom) {
  SceneModel scene;
  scene.Header().freeFrameCount = 1;
  FrameTable& frames = scene.Frames();
  FrameTable& lampFrames = scene.SceneLamps().Frames();
  lampFrames.AbsOrigin(0) = {0, 10, 0};
  ASSERT_EQ(AttachFrame(lampFrames, 0, frames, 0), 1);
  frames.AbsOrigin(0) = {5, 0, 0};
  frames.Record(0).state = 0;
  scene.UpdateLampFrame(0);
  EXPECT_DOUBLE_EQ(lampFrames.AbsOrigin(0)[0], 5);
  EXPECT_DOUBLE_EQ(lampFrames.AbsOrigin(0)[1], 10);
}

TEST(SceneModel, BoundingBoxEnclosesTheObjectsPoints) {
  SceneModel scene;
  ASSERT_EQ(scene.AppendObject(2, 1), 0);
  ASSERT_EQ(scene.Points().Put(1, {-1.5f, 2, 0}), 1);
  ASSERT_EQ(scene.Points().Put(2, {3.2f, -4, 7}), 1);
  scene.UpdateBoundingBox(0);
  EXPECT_EQ(scene.Box(0)[0], (std::array<std::int32_t, 3>{-2, -4, 0}));
  EXPECT_EQ(scene.Box(0)[7], (std::array<std::int32_t, 3>{4, 2, 7}));
  EXPECT_EQ(scene.Box(0)[1], (std::array<std::int32_t, 3>{4, -4, 0}));
}

TEST(SceneModel, FaceTableKeepsItsFacesWhenItGrows) {
  SceneModel scene;
  FaceTable& faces = scene.Faces();
  ASSERT_EQ(faces.Resize(2), 1);
  ASSERT_EQ(faces.Put(1, {1, -2, 3, 0}), 1);
  ASSERT_EQ(faces.Resize(500), 1);
  EXPECT_EQ(faces.Count(), 500);
  EXPECT_EQ(faces.Get(1), (Face{1, -2, 3, 0}));
  EXPECT_EQ(faces.Put(500, {1, 2, 3, 0}), 0);

  EXPECT_EQ(scene.AddFaceGroup({2, 6, 0}), 1);
  EXPECT_EQ(scene.AddFaceGroup({1, 3, 2}), 2);
  EXPECT_EQ(scene.FaceGroupEntry(2).firstFace, 2);
  scene.NewScene();
  EXPECT_EQ(faces.Count(), 0);
  EXPECT_EQ(scene.FaceGroupCount(), 0);
}

}  // namespace
}  // namespace tessaran
