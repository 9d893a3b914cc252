#include "scene/frames.h"

#include <gtest/gtest.h>

#include <numbers>

namespace tessaran {
namespace {

constexpr double kQuarter = std::numbers::pi / 2;

void ExpectNear(const Vec3& actual, const Vec3& expected) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-9) << "component " << i;
}

void ExpectNear(const Mat3& actual, const Mat3& expected) {
  for (int i = 0; i < 3; ++i) ExpectNear(actual[i], expected[i]);
}

FrameTable Table(int n) {
  FrameTable table;
  table.Allocate(n);
  return table;
}

TEST(SceneFrames, ElementaryRotationsTurnTheAxesAQuarter) {
  Mat3 m = IdentityMatrix();
  Rotate(m, Axis::X, kQuarter);
  ExpectNear(m, {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}});

  m = IdentityMatrix();
  Rotate(m, Axis::Y, kQuarter);
  ExpectNear(m, {{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}});

  m = IdentityMatrix();
  Rotate(m, Axis::Z, kQuarter);
  ExpectNear(m, {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}});
}

TEST(SceneFrames, RotationIsAboutTheReferenceAxis) {
  // A reference turned a quarter about Z has its X axis along world Y, so
  // turning about its X is turning about world Y.
  Mat3 reference = IdentityMatrix();
  Rotate(reference, Axis::Z, kQuarter);
  Mat3 viaReference = IdentityMatrix();
  Rotate(viaReference, Axis::X, 0.4, reference);
  Mat3 direct = IdentityMatrix();
  Rotate(direct, Axis::Y, 0.4);
  ExpectNear(viaReference, direct);
}

TEST(SceneFrames, AttachedChildFollowsItsParentOnlyWhenTheParentIsMarked) {
  FrameTable table = Table(4);
  table.AbsOrigin(1) = {10, 0, 0};
  table.AbsOrigin(2) = {10, 5, 0};
  ASSERT_EQ(AttachFrame(table, 2, 1), 1);
  EXPECT_EQ(table.Record(2).parent, 1);
  EXPECT_EQ(table.Record(2).parentId, table.Record(1).identifier);
  EXPECT_EQ(table.Record(1).parentFlag, 1);
  ExpectNear(table.RelOrigin(2), {0, 5, 0});

  // The parent moves and turns a quarter about Z, but is not marked: the
  // child keeps its absolute values.
  table.AbsOrigin(1) = {0, 0, 20};
  Rotate(table.AbsOrientation(1), Axis::Z, kQuarter);
  UpdateFrame(table, 2);
  ExpectNear(table.AbsOrigin(2), {10, 5, 0});
  ExpectNear(table.AbsOrientation(2), IdentityMatrix());

  // Marked as moved, the parent carries the child along.
  table.Record(1).state = 0;
  table.Record(2).state = 0;
  UpdateFrame(table, 2);
  ExpectNear(table.AbsOrigin(2), {-5, 0, 20});
  ExpectNear(table.AbsOrientation(2), table.AbsOrientation(1));
  EXPECT_EQ(table.Record(2).state, 1);
}

TEST(SceneFrames, AttachKeepsTheChildWhereItIs) {
  FrameTable table = Table(3);
  table.AbsOrigin(0) = {1, -2, 3};
  Rotate(table.AbsOrientation(0), Axis::X, 0.3);
  Rotate(table.AbsOrientation(0), Axis::Y, 1.1);
  table.AbsOrigin(1) = {4, 7, -1};
  Rotate(table.AbsOrientation(1), Axis::Z, 0.7);
  const Vec3 origin = table.AbsOrigin(1);
  const Mat3 orientation = table.AbsOrientation(1);

  ASSERT_EQ(AttachFrame(table, 1, 0), 1);
  table.Record(0).state = 0;
  UpdateFrame(table, 1);
  ExpectNear(table.AbsOrigin(1), origin);
  ExpectNear(table.AbsOrientation(1), orientation);
}

TEST(SceneFrames, LoopsAreRefused) {
  FrameTable table = Table(3);
  EXPECT_EQ(AttachFrame(table, 0, 0), 0);
  ASSERT_EQ(AttachFrame(table, 1, 0), 1);
  ASSERT_EQ(AttachFrame(table, 2, 1), 1);
  EXPECT_EQ(AttachFrame(table, 0, 2), 0);
  EXPECT_EQ(table.Record(0).parent, -1);
}

TEST(SceneFrames, GrowthMakesFreshRootsAndKeepsValues) {
  FrameTable table = Table(100);
  table.AbsOrigin(7) = {1, 2, 3};
  ASSERT_EQ(AttachFrame(table, 7, 3), 1);
  table.Record(7).identifier = 4242;

  ASSERT_EQ(table.ReopenRepere(150), 1);
  EXPECT_EQ(table.Capacity(), 150);
  for (int k = 100; k < 150; ++k) {
    const FrameRecord& r = table.Record(k);
    EXPECT_EQ(r.identifier, k);
    EXPECT_EQ(r.parent, -1);
    EXPECT_EQ(r.parentId, -1);
    EXPECT_EQ(r.state, 1);
    EXPECT_EQ(r.parentFlag, 0);
    ExpectNear(table.AbsOrigin(k), {0, 0, 0});
    ExpectNear(table.AbsOrientation(k), IdentityMatrix());
    ExpectNear(table.RelOrientation(k), IdentityMatrix());
  }
  // Existing frames keep their values, identifiers and links.
  ExpectNear(table.AbsOrigin(7), {1, 2, 3});
  EXPECT_EQ(table.Record(7).parent, 3);
  EXPECT_EQ(table.Record(7).identifier, 4242);
  EXPECT_EQ(table.Record(3).parentFlag, 1);
}

TEST(SceneFrames, RefusedGrowthLeavesTheTable) {
  for (int step = 1; step <= 5; ++step) {
    FrameTable table = Table(10);
    table.AbsOrigin(2) = {5, 6, 7};
    ASSERT_EQ(AttachFrame(table, 2, 1), 1);
    int calls = 0;
    table.SetGrowthGate([&](std::size_t) { return ++calls != step; });
    EXPECT_EQ(table.ReopenRepere(20), 0) << "step " << step;
    EXPECT_EQ(table.Capacity(), 10);
    ExpectNear(table.AbsOrigin(2), {5, 6, 7});
    EXPECT_EQ(table.Record(2).parent, 1);
    // Every array is back at the old size: a later growth works as usual.
    table.SetGrowthGate({});
    ASSERT_EQ(table.ReopenRepere(20), 1);
    ExpectNear(table.AbsOrigin(19), {0, 0, 0});
    ExpectNear(table.RelOrigin(19), {0, 0, 0});
  }
}

TEST(SceneFrames, ShrinkingCutsLinksToRemovedSlots) {
  FrameTable table = Table(10);
  ASSERT_EQ(AttachFrame(table, 2, 8), 1);
  ASSERT_EQ(AttachFrame(table, 3, 1), 1);
  ASSERT_EQ(table.ReopenRepere(5), 1);
  EXPECT_EQ(table.Record(2).parent, -1);
  EXPECT_EQ(table.Record(3).parent, 1);
  UpdateFrame(table, 2);  // must not reach past the table
}

}  // namespace
}  // namespace tessaran
