#include "modeler/app/edit_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "modeler/geometry/mesh_object.h"
#include "platform/report.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class Messages final : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view) override { shown.push_back(number); }
  std::vector<int> shown;
};

class EditOps : public ::testing::Test {
 protected:
  void SetUp() override { InstallReporter(&messages_); }
  void TearDown() override { InstallReporter(nullptr); }

  void Primitive(const char* kind, int u, int v) {
    ASSERT_TRUE(BuildPrimitive(scene_, kind, u, v, -1, error_)) << error_;
  }
  void Select(const char* which) { ASSERT_TRUE(BuildSelect(scene_, which, error_)) << error_; }
  // A faceted object of the triangles `faces` (1-based corners) over
  // `points`, given relative to `origin`.
  void Faceted(std::vector<Point3> points, std::vector<Face> faces, Vec3 origin) {
    FacetedMesh mesh;
    mesh.points = std::move(points);
    mesh.faces = std::move(faces);
    mesh.origin = origin;
    ASSERT_GE(AppendFacetedObjects(scene_, {mesh}), 0);
  }
  std::vector<Face> FacesOf(int k) const {
    const FaceGroup& g = scene_.FaceGroupEntry(scene_.State(k).faceGroup);
    std::vector<Face> faces;
    for (int f = 0; f < g.faceCount; ++f) faces.push_back(scene_.Faces().Get(g.firstFace + f));
    return faces;
  }
  // The view of the front (TH 0, PH 0): right = x, up = y.
  Mat3 Front() const { return ViewAxes(ViewCamera{}); }

  SceneModel scene_;
  BuildError error_;
  Messages messages_;
};

// The signed volume a mesh encloses, seen from `centre`: its sign says which
// way its faces turn.
double MeshVolume(const SceneModel& scene, int k, const Vec3& centre) {
  std::vector<Point3> p = GetObjectPoints(scene, k);
  for (Point3& q : p) {
    for (int a = 0; a < 3; ++a) q[a] = static_cast<float>(q[a] - centre[a]);
  }
  const int u = scene.Object(k).MeshU(), v = scene.Object(k).MeshV();
  const auto at = [&](int i, int j) { return p[static_cast<std::size_t>(i * u + j)]; };
  const auto triple = [](const Point3& a, const Point3& b, const Point3& c) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
  };
  double volume = 0;
  for (int i = 0; i + 1 < v; ++i) {
    for (int j = 0; j + 1 < u; ++j) {
      volume += triple(at(i, j), at(i, j + 1), at(i + 1, j + 1)) + triple(at(i, j), at(i + 1, j + 1), at(i + 1, j));
    }
  }
  return volume / 6;
}

TEST_F(EditOps, RemeshDoublesTheFirstDirectionAndKeepsTheObjectsAfterIt) {
  Primitive("plan", 2, 2);  // 5 × 5
  Primitive("sphere", 4, 4);
  const std::vector<Point3> plan = GetObjectPoints(scene_, 0);
  const std::vector<Point3> sphere = GetObjectPoints(scene_, 1);
  Select("0");
  ASSERT_TRUE(BuildRemesh(scene_, error_)) << error_;
  EXPECT_EQ(scene_.Object(0).MeshU(), 8);
  EXPECT_EQ(scene_.Object(0).MeshV(), 5);
  const std::vector<Point3> refined = GetObjectPoints(scene_, 0);
  ASSERT_EQ(refined.size(), 40u);
  // Row 2: the old points at even places, their midpoints between.
  EXPECT_EQ(refined[16], plan[10]);
  EXPECT_FLOAT_EQ(refined[17][0], (plan[10][0] + plan[11][0]) / 2);
  EXPECT_EQ(GetObjectPoints(scene_, 1), sphere);

  // Faceted objects in the selection: message 55 and nothing done.
  Faceted({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {{1, 2, 3, 0}}, {});
  Select("all");
  const Bytes before = MaqFileBytes(scene_);
  EXPECT_FALSE(BuildRemesh(scene_, error_));
  EXPECT_EQ(messages_.shown, std::vector<int>{55});
  EXPECT_EQ(MaqFileBytes(scene_), before);
}

TEST_F(EditOps, SubstituteRebuildsInTheObjectsPlaceOrWarnsForEachMeshThatDoesNotSuit) {
  Primitive("plan", 2, 2);
  const std::vector<Point3> fresh = GetObjectPoints(scene_, 0);
  ASSERT_TRUE(BuildMove(scene_, 30, -20, 5, error_));
  ASSERT_TRUE(BuildSize(scene_, 50, 50, 50, error_));
  ASSERT_TRUE(BuildSubstitute(scene_, "plan", error_)) << error_;
  // Rebuilt at full size, where the moved plan lies.
  const std::vector<Point3> rebuilt = GetObjectPoints(scene_, 0);
  ASSERT_EQ(rebuilt.size(), fresh.size());
  for (std::size_t p = 0; p < fresh.size(); ++p) {
    EXPECT_FLOAT_EQ(rebuilt[p][0], fresh[p][0] + 30);
    EXPECT_FLOAT_EQ(rebuilt[p][1], fresh[p][1] - 20);
    EXPECT_FLOAT_EQ(rebuilt[p][2], 5);
  }

  // Neither a 5 × 5 plan nor a 10 × 7 sphere has a box's meshing; the
  // sphere has a disc's.
  Primitive("sphere", 8, 4);
  Select("all");
  const Bytes before = MaqFileBytes(scene_);
  EXPECT_FALSE(BuildSubstitute(scene_, "box", error_));
  EXPECT_EQ(messages_.shown, (std::vector<int>{39, 39}));
  EXPECT_EQ(MaqFileBytes(scene_), before);
  messages_.shown.clear();
  EXPECT_TRUE(BuildSubstitute(scene_, "disc", error_));
  EXPECT_EQ(messages_.shown, std::vector<int>{39});
  for (const Point3& p : GetObjectPoints(scene_, 1)) EXPECT_EQ(p[2], 0);
  EXPECT_FALSE(BuildSubstitute(scene_, "cone", error_));
  EXPECT_TRUE(error_.badUsage);
}

TEST_F(EditOps, CutsBringWhatLiesBeyondThePlaneOntoItAndKeepTheGrid) {
  Primitive("plan", 4, 4);  // y from 50 to -50, x from -50 to 50, z = 0
  const std::vector<Point3> plan = GetObjectPoints(scene_, 0);
  ASSERT_TRUE(BuildCut(scene_, CutSide::Top, {0, 10, 0}, Front(), error_)) << error_;
  EXPECT_EQ(scene_.Object(0).MeshU(), 7);
  std::vector<Point3> cut = GetObjectPoints(scene_, 0);
  for (std::size_t p = 0; p < plan.size(); ++p) {
    EXPECT_FLOAT_EQ(cut[p][1], std::min(plan[p][1], 10.0f));
    EXPECT_EQ(cut[p][0], plan[p][0]);
  }
  ASSERT_TRUE(BuildCut(scene_, CutSide::Bottom, {0, -25, 0}, Front(), error_));
  ASSERT_TRUE(BuildCut(scene_, CutSide::Side, {20, 0, 0}, Front(), error_));
  cut = GetObjectPoints(scene_, 0);
  for (std::size_t p = 0; p < plan.size(); ++p) {
    EXPECT_FLOAT_EQ(cut[p][1], std::clamp(plan[p][1], -25.0f, 10.0f));
    EXPECT_FLOAT_EQ(cut[p][0], std::min(plan[p][0], 20.0f));
  }
  // Nothing beyond the plane any more: refused, unchanged.
  const Bytes before = MaqFileBytes(scene_);
  EXPECT_FALSE(BuildCut(scene_, CutSide::Top, {0, 10, 0}, Front(), error_));
  EXPECT_EQ(MaqFileBytes(scene_), before);

  // As a turned view shows it: the top is along that view's up axis.
  Primitive("sphere", 8, 8);
  ViewCamera turned;
  turned.TH = 30;
  turned.PH = -60;
  const Mat3 axes = ViewAxes(turned);
  const std::vector<Point3> sphere = GetObjectPoints(scene_, 1);
  ASSERT_TRUE(BuildCut(scene_, CutSide::Top, {0, 0, 0}, axes, error_));
  const std::vector<Point3> after = GetObjectPoints(scene_, 1);
  const auto up = [&](const Point3& p) { return p[0] * axes[1][0] + p[1] * axes[1][1] + p[2] * axes[1][2]; };
  for (std::size_t p = 0; p < sphere.size(); ++p) {
    EXPECT_NEAR(up(after[p]), std::min(up(sphere[p]), 0.0), 1e-3);
  }
}

TEST_F(EditOps, BatchCutTakesTheSelectionsCentreOrAPointAndRefusesHalfAPoint) {
  Primitive("box", 4, 3);
  ASSERT_TRUE(BuildMove(scene_, 0, 100, 0, error_));
  BuildState state;
  const auto run = [&](std::vector<std::string> args) {
    std::size_t i = 0;
    BuildOperation op;
    return ParseBuildOperation(args, i, op, error_) && RunBuildOperation(scene_, state, op, error_);
  };
  // Through the centre (y = 100): the box keeps its lower half.
  ASSERT_TRUE(run({"--cut", "top"})) << error_;
  for (const Point3& p : GetObjectPoints(scene_, 0)) EXPECT_LE(p[1], 100.0001f);
  EXPECT_FALSE(run({"--cut", "side", "1", "2"}));
  EXPECT_TRUE(error_.badUsage);
  EXPECT_FALSE(run({"--cut", "middle"}));
  ASSERT_TRUE(run({"--cut", "bottom", "0", "80", "0"})) << error_;
  for (const Point3& p : GetObjectPoints(scene_, 0)) EXPECT_GE(p[1], 79.9999f);
}

TEST_F(EditOps, MirrorFlipsEachObjectAboutItsOriginAndKeepsItsFacesOutward) {
  Primitive("sphere", 8, 6);
  ASSERT_TRUE(BuildMove(scene_, 20, 0, 0, error_));
  ASSERT_TRUE(BuildRotate(scene_, 0, 0, 25, error_));  // a sphere no longer symmetric about x = 20
  const std::vector<Point3> before = GetObjectPoints(scene_, 0);
  const double volume = MeshVolume(scene_, 0, {20, 0, 0});
  ASSERT_GT(std::fabs(volume), 1000);
  ASSERT_TRUE(BuildMirror(scene_, Front(), error_)) << error_;
  const std::vector<Point3> after = GetObjectPoints(scene_, 0);
  const int u = scene_.Object(0).MeshU();
  for (std::size_t p = 0; p < before.size(); ++p) {
    const std::size_t row = p / u, col = p % u;
    const Point3& q = after[row * u + (u - 1 - col)];
    EXPECT_FLOAT_EQ(q[0], 40 - before[p][0]);
    EXPECT_EQ(q[1], before[p][1]);
    EXPECT_EQ(q[2], before[p][2]);
  }
  EXPECT_NEAR(MeshVolume(scene_, 0, {20, 0, 0}), volume, std::fabs(volume) * 1e-4);

  // A faceted object: its corners reversed, each hidden edge still hidden.
  Faceted({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}, {{-1, 2, 3, 0}, {2, 4, -3, 0}}, {5, 0, 0});
  ASSERT_TRUE(BuildMirror(scene_, Front(), error_));
  EXPECT_EQ(FacesOf(1), (std::vector<Face>{{3, -2, 1, 0}, {3, 4, -2, 0}}));
  EXPECT_FLOAT_EQ(GetObjectPoints(scene_, 1)[1][0], -5);  // x = 15 mirrored about x = 5
}

TEST_F(EditOps, GlueHangsTheSelectionFromTheFirstAndRefusesALoop) {
  Primitive("box", 4, 3);
  Primitive("box", 4, 3);
  ASSERT_TRUE(BuildMove(scene_, 40, 0, 0, error_));
  Primitive("box", 4, 3);
  Select("0");
  EXPECT_FALSE(BuildGlue(scene_, error_));
  Select("0-1");
  const std::vector<Point3> points = GetObjectPoints(scene_, 1);
  ASSERT_TRUE(BuildGlue(scene_, error_)) << error_;
  EXPECT_EQ(scene_.Frames().Record(1).parent, 0);
  EXPECT_EQ(scene_.Frames().RelOrigin(1), (Vec3{40, 0, 0}));
  EXPECT_EQ(GetObjectPoints(scene_, 1), points);
  EXPECT_FALSE(BuildGlue(scene_, error_));  // glued already
  // Picking one object of the group picks the group.
  Select("1");
  SelectGlued(scene_);
  EXPECT_EQ(scene_.State(0).selection, 1);
  EXPECT_EQ(scene_.State(2).selection, 0);
  // The glue survives the scene file.
  SceneModel read;
  ASSERT_EQ(ReadModelBytes(read, MaqFileBytes(scene_), ReadMode::Open), 0);
  EXPECT_EQ(read.Frames().Record(1).parent, 0);

  // Object 0 hanging from object 2 cannot carry it.
  ASSERT_EQ(AttachFrame(scene_.Frames(), 0, 2), 1);
  Select("all");
  const Bytes before = MaqFileBytes(scene_);
  EXPECT_FALSE(BuildGlue(scene_, error_));
  EXPECT_EQ(MaqFileBytes(scene_), before);
}

TEST_F(EditOps, MagnetDropsTheSelectionOntoTheNearestObjectBeneath) {
  Primitive("box", 4, 3);  // the ground: y from -50 to 50
  Primitive("box", 4, 3);
  ASSERT_TRUE(BuildMove(scene_, 0, -300, 0, error_));  // further down
  Primitive("box", 4, 3);
  ASSERT_TRUE(BuildMove(scene_, 300, 100, 0, error_));  // aside: not beneath
  Primitive("box", 4, 3);
  ASSERT_TRUE(BuildMove(scene_, 30, 250, 0, error_));
  ASSERT_TRUE(BuildMagnet(scene_, Front(), error_)) << error_;
  float low = 1e9f;
  for (const Point3& p : GetObjectPoints(scene_, 3)) low = std::min(low, p[1]);
  EXPECT_NEAR(low, 50, 1e-3);
  EXPECT_NEAR(scene_.Frames().AbsOrigin(3)[1], 100, 1e-9);
  EXPECT_FALSE(BuildMagnet(scene_, Front(), error_));  // resting already
  Select("2");
  EXPECT_FALSE(BuildMagnet(scene_, Front(), error_));  // nothing beneath
}

TEST_F(EditOps, MergeNeedsTwoFacetedObjectsAndDivideGivesThePartsBack) {
  Faceted({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {{1, 2, -3, 0}}, {100, 0, 0});
  Faceted({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}}, {{1, 2, 3, 0}, {2, 4, 3, 0}}, {0, 50, 0});
  Faceted({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3, 0}}, {});
  ASSERT_TRUE(BuildMaterial(scene_, 0, 0, 0, 10, 20, error_));
  Select("0");
  ASSERT_TRUE(BuildMaterial(scene_, 30, 0, 0, 50, 50, error_));
  for (const char* which : {"0", "all"}) {
    Select(which);
    const Bytes before = MaqFileBytes(scene_);
    EXPECT_FALSE(BuildMerge(scene_, error_)) << which;
    EXPECT_EQ(MaqFileBytes(scene_), before);
  }
  EXPECT_EQ(messages_.shown, (std::vector<int>{10, 10}));

  const std::vector<Point3> first = GetObjectPoints(scene_, 0), second = GetObjectPoints(scene_, 1);
  Select("0-1");
  ASSERT_TRUE(BuildMerge(scene_, error_)) << error_;
  ASSERT_EQ(scene_.Header().objectCount, 2);
  // The merged object comes last, selected, with the first one's material and origin.
  EXPECT_EQ(scene_.State(0).selection, 0);
  EXPECT_EQ(scene_.State(1).selection, 1);
  EXPECT_EQ(scene_.Object(1).Reflection(), 30);
  EXPECT_EQ(scene_.Frames().AbsOrigin(1), (Vec3{100, 0, 0}));
  std::vector<Point3> both = first;
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(GetObjectPoints(scene_, 1), both);
  EXPECT_EQ(FacesOf(1), (std::vector<Face>{{1, 2, -3, 0}, {4, 5, 6, 0}, {5, 7, 6, 0}}));

  ASSERT_TRUE(BuildDivide(scene_, error_)) << error_;
  ASSERT_EQ(scene_.Header().objectCount, 3);
  EXPECT_EQ(GetObjectPoints(scene_, 1), first);
  EXPECT_EQ(GetObjectPoints(scene_, 2), second);
  EXPECT_EQ(FacesOf(1), (std::vector<Face>{{1, 2, -3, 0}}));
  EXPECT_EQ(FacesOf(2), (std::vector<Face>{{1, 2, 3, 0}, {2, 4, 3, 0}}));
  EXPECT_EQ(scene_.Object(2).Reflection(), 30);
  // One part only: nothing to divide.
  Select("0");
  EXPECT_FALSE(BuildDivide(scene_, error_));

  // Two meshes cannot be merged: refused without message 10.
  messages_.shown.clear();
  Primitive("plan", 2, 2);
  Primitive("plan", 2, 2);
  Select("3-4");
  EXPECT_FALSE(BuildMerge(scene_, error_));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(EditOps, DivideFreesGluedObjectsWhereTheyStand) {
  Primitive("box", 4, 3);
  Primitive("box", 4, 3);
  ASSERT_TRUE(BuildMove(scene_, 0, 70, 0, error_));
  Select("0-1");
  ASSERT_TRUE(BuildGlue(scene_, error_));
  Select("1");
  ASSERT_TRUE(BuildDivide(scene_, error_)) << error_;
  EXPECT_EQ(scene_.Frames().Record(1).parent, -1);
  EXPECT_EQ(scene_.Frames().AbsOrigin(1), (Vec3{0, 70, 0}));
  EXPECT_FALSE(BuildDivide(scene_, error_));
}

}  // namespace
}  // namespace tessaran
