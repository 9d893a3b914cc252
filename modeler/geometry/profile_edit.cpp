#include "modeler/geometry/profile_edit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "modeler/geometry/extrusion.h"

namespace tessaran {

namespace {

// Samples per segment of the curve the 2D phase shows.
constexpr int kCurveSamples = 5;

double Distance(PlanePoint a, ProfilePoint b) { return std::hypot(a[0] - b[0], a[1] - b[1]); }

// Distance from `at` to the segment from a to b.
double SegmentDistance(PlanePoint at, ProfilePoint a, ProfilePoint b) {
  const double dx = b[0] - a[0];
  const double dy = b[1] - a[1];
  const double length2 = dx * dx + dy * dy;
  double f = length2 > 0 ? ((at[0] - a[0]) * dx + (at[1] - a[1]) * dy) / length2 : 0;
  f = std::clamp(f, 0.0, 1.0);
  return std::hypot(at[0] - (a[0] + f * dx), at[1] - (a[1] + f * dy));
}

// Whether `index` is the first or the closing point of a closed profile.
bool IsClosingEnd(const Profile2D& profile, int index) {
  return ProfileIsClosed(profile) && (index == 0 || index == static_cast<int>(profile.points.size()) - 1);
}

}  // namespace

Profile2D RegularPolygon(int corners, int diameter) {
  corners = std::clamp(corners, 3, Profile2D::kMaxPoints - 1);
  const double radius = diameter / 2.0;
  Profile2D polygon;
  for (int i = 0; i < corners; ++i) {
    const double angle = 2 * std::numbers::pi * i / corners;
    polygon.points.push_back({static_cast<int>(std::lround(radius * std::cos(angle))),
                              static_cast<int>(std::lround(radius * std::sin(angle)))});
  }
  polygon.points.push_back(polygon.points.front());
  return polygon;
}

int NearestProfilePoint(const Profile2D& profile, PlanePoint at, double reach) {
  int nearest = -1;
  double best = reach;
  // The closing point of a closed profile is never picked apart from its first.
  const int count = static_cast<int>(profile.points.size()) - (ProfileIsClosed(profile) ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    const double d = Distance(at, profile.points[i]);
    if (d <= best) {
      best = d;
      nearest = i;
    }
  }
  return nearest;
}

void MoveProfilePoint(Profile2D& profile, int index, ProfilePoint to) {
  auto& p = profile.points;
  if (index < 0 || index >= static_cast<int>(p.size())) return;
  if (IsClosingEnd(profile, index)) {
    p.front() = to;
    p.back() = to;
  } else {
    p[index] = to;
  }
}

void DeleteProfilePoint(Profile2D& profile, int index) {
  auto& p = profile.points;
  if (index < 0 || index >= static_cast<int>(p.size())) return;
  if (!IsClosingEnd(profile, index)) {
    p.erase(p.begin() + index);
    return;
  }
  p.pop_back();
  p.erase(p.begin());
  if (!p.empty()) p.push_back(p.front());
}

bool AddProfilePoint(Profile2D& profile, ProfilePoint at, double reach) {
  auto& p = profile.points;
  if (static_cast<int>(p.size()) >= Profile2D::kMaxPoints) return false;
  const PlanePoint click{double(at[0]), double(at[1])};
  const bool closed = ProfileIsClosed(profile);
  if (!closed && p.size() >= 3 && Distance(click, p.front()) <= reach) {
    p.push_back(p.front());
    return true;
  }
  int segment = -1;
  double best = reach;
  for (std::size_t i = 0; i + 1 < p.size(); ++i) {
    const double d = SegmentDistance(click, p[i], p[i + 1]);
    if (d <= best) {
      best = d;
      segment = static_cast<int>(i);
    }
  }
  if (segment >= 0) {
    p.insert(p.begin() + segment + 1, at);
  } else if (closed) {
    p.insert(p.end() - 1, at);
  } else {
    p.push_back(at);
  }
  return true;
}

ProfileUse SweepUse(const Profile2D& profile) {
  if (profile.points.size() < 3) return ProfileUse::TooFewPoints;
  std::vector<ProfilePoint> distinct(profile.points);
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  return distinct.size() < 3 ? ProfileUse::MergedPoints : ProfileUse::Usable;
}

std::vector<PlanePoint> ProfileCurve(const Profile2D& profile) {
  const std::vector<ProfilePoint> row = SweptProfilePoints(profile);
  if (row.size() < 3) return {};
  std::vector<Vec3> control;
  for (const auto& [x, y] : row) control.push_back({double(x), double(y), 0});
  const int segments = static_cast<int>(control.size()) - 2;
  std::vector<PlanePoint> curve;
  for (int s = 0; s <= segments * kCurveSamples; ++s) {
    const Vec3 at = SamplePath(control, static_cast<double>(s) / kCurveSamples).position;
    curve.push_back({at[0], at[1]});
  }
  return curve;
}

}  // namespace tessaran
