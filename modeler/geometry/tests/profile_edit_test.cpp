#include "modeler/geometry/profile_edit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "modeler/geometry/extrusion.h"

namespace tessaran {
namespace {

using Points = std::vector<ProfilePoint>;

Profile2D Of(Points points) { return Profile2D{std::move(points)}; }

TEST(ProfileEdit, RegularPolygonIsClosedOnItsCircle) {
  for (const auto& [corners, diameter] : {std::pair{12, 50}, std::pair{3, 10}, std::pair{249, 400}}) {
    const Profile2D polygon = RegularPolygon(corners, diameter);
    ASSERT_EQ(polygon.points.size(), static_cast<std::size_t>(corners + 1));
    EXPECT_EQ(polygon.points.front(), polygon.points.back());
    EXPECT_TRUE(ProfileIsClosed(polygon));
    for (const auto& [x, y] : polygon.points) EXPECT_NEAR(std::hypot(x, y), diameter / 2.0, 0.75);
    EXPECT_EQ(SweepUse(polygon), ProfileUse::Usable);
  }
  // The profile's 250 points hold the closing point too.
  EXPECT_EQ(RegularPolygon(400, 100).points.size(), 250u);
}

TEST(ProfileEdit, PickingAndMovingKeepAClosedProfileClosed) {
  Profile2D p = Of({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
  EXPECT_EQ(NearestProfilePoint(p, {9, 1}, 3), 1);
  EXPECT_EQ(NearestProfilePoint(p, {5, 5}, 3), -1);
  // The closing point is the first one.
  EXPECT_EQ(NearestProfilePoint(p, {0.5, 0.5}, 3), 0);
  MoveProfilePoint(p, 0, {-4, 2});
  EXPECT_EQ(p.points, (Points{{-4, 2}, {10, 0}, {10, 10}, {-4, 2}}));
  MoveProfilePoint(p, 3, {-5, 2});
  EXPECT_EQ(p.points.front(), p.points.back());
  MoveProfilePoint(p, 2, {12, 12});
  EXPECT_EQ(p.points[2], (ProfilePoint{12, 12}));
  MoveProfilePoint(p, 7, {1, 1});  // no such point: nothing changes
  EXPECT_EQ(p.points.size(), 4u);
}

TEST(ProfileEdit, DeletingTheFirstPointClosesOnTheNext) {
  Profile2D p = Of({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
  DeleteProfilePoint(p, 0);
  EXPECT_EQ(p.points, (Points{{10, 0}, {10, 10}, {0, 10}, {10, 0}}));
  DeleteProfilePoint(p, 1);
  EXPECT_EQ(p.points, (Points{{10, 0}, {0, 10}, {10, 0}}));
  Profile2D open = Of({{0, 0}, {10, 0}, {20, 5}});
  DeleteProfilePoint(open, 0);
  EXPECT_EQ(open.points, (Points{{10, 0}, {20, 5}}));
  DeleteProfilePoint(open, -1);
  EXPECT_EQ(open.points.size(), 2u);
}

TEST(ProfileEdit, AddingInsertsOnASegmentAppendsOrCloses) {
  Profile2D p;
  for (const ProfilePoint& at : Points{{0, 0}, {100, 0}, {100, 100}}) ASSERT_TRUE(AddProfilePoint(p, at, 3));
  EXPECT_EQ(p.points, (Points{{0, 0}, {100, 0}, {100, 100}}));
  // Near the middle of the first segment: between its ends.
  ASSERT_TRUE(AddProfilePoint(p, {50, 2}, 3));
  EXPECT_EQ(p.points, (Points{{0, 0}, {50, 2}, {100, 0}, {100, 100}}));
  // On the first point: closed.
  ASSERT_TRUE(AddProfilePoint(p, {1, -1}, 3));
  EXPECT_TRUE(ProfileIsClosed(p));
  EXPECT_EQ(p.points.back(), (ProfilePoint{0, 0}));
  // Away from the outline of a closed profile: before the closing point.
  ASSERT_TRUE(AddProfilePoint(p, {-50, 50}, 3));
  EXPECT_EQ(p.points, (Points{{0, 0}, {50, 2}, {100, 0}, {100, 100}, {-50, 50}, {0, 0}}));
  // A full profile takes no more.
  Profile2D full;
  for (int i = 0; i < Profile2D::kMaxPoints; ++i) full.points.push_back({i * 10, 0});
  EXPECT_FALSE(AddProfilePoint(full, {5, 0}, 3));
  EXPECT_EQ(full.points.size(), 250u);
}

TEST(ProfileEdit, SweepsNeedThreeDistinctPoints) {
  EXPECT_EQ(SweepUse(Of({{0, 0}, {5, 5}})), ProfileUse::TooFewPoints);
  EXPECT_EQ(SweepUse(Of({{0, 0}, {5, 5}, {0, 0}})), ProfileUse::MergedPoints);
  EXPECT_EQ(SweepUse(Of({{3, 3}, {3, 3}, {3, 3}, {3, 3}})), ProfileUse::MergedPoints);
  EXPECT_EQ(SweepUse(Of({{0, 0}, {5, 5}, {9, 0}})), ProfileUse::Usable);
}

TEST(ProfileEdit, CurvePassesThroughTheEndsOrClosesRound) {
  const Profile2D open = Of({{0, 0}, {40, 0}, {40, 40}, {80, 40}});
  const std::vector<PlanePoint> curve = ProfileCurve(open);
  // 4 points and the two repeated ends: 4 segments of 5 samples, and the end.
  ASSERT_EQ(curve.size(), 21u);
  EXPECT_NEAR(curve.front()[0], 0, 1e-9);
  EXPECT_NEAR(curve.front()[1], 0, 1e-9);
  EXPECT_NEAR(curve.back()[0], 80, 1e-9);
  EXPECT_NEAR(curve.back()[1], 40, 1e-9);
  const std::vector<PlanePoint> round = ProfileCurve(RegularPolygon(6, 60));
  ASSERT_FALSE(round.empty());
  EXPECT_NEAR(round.front()[0], round.back()[0], 1e-9);
  EXPECT_NEAR(round.front()[1], round.back()[1], 1e-9);
  EXPECT_TRUE(ProfileCurve(Of({{1, 1}})).empty());
}

}  // namespace
}  // namespace tessaran
