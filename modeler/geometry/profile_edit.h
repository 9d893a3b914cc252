// Drawing the 2D profile of the modeler's 2D phase: the regular polygon of
// "Polygon", the point picked by the mouse, moving, deleting and adding
// points, the curve the phase shows, and whether the sweeps can use it.
// Coordinates stay whole numbers and a profile holds at most 250 points.
#pragma once

#include <array>
#include <vector>

#include "modeler/geometry/profile_file.h"

namespace tessaran {

using ProfilePoint = std::array<int, 2>;
using PlanePoint = std::array<double, 2>;

// A regular polygon of `corners` corners (3 to 249) on a circle of
// `diameter` round the origin, closed by repeating its first corner so that
// the sweeps make a closed object of it.
Profile2D RegularPolygon(int corners, int diameter);

// The point nearest `at` within `reach` units, or -1. In a closed profile
// the first point stands for the closing one too.
int NearestProfilePoint(const Profile2D& profile, PlanePoint at, double reach);

// Moves point `index`; the first and the closing point of a closed profile
// move together, so that it stays closed.
void MoveProfilePoint(Profile2D& profile, int index, ProfilePoint to);

// Deletes point `index`; deleting the first or the closing point of a closed
// profile deletes both and closes it again on the new first point.
void DeleteProfilePoint(Profile2D& profile, int index);

// Adds the point `at`: on an open profile of at least 3 points a click on its
// first point closes it; near a segment (within `reach`) the point goes in
// between its ends; otherwise it is appended (before the closing point of a
// closed profile). False, and nothing added, when the profile is full.
bool AddProfilePoint(Profile2D& profile, ProfilePoint at, double reach);

// What the sweeps make of a profile: it needs 3 points, and 3 distinct
// positions among them (the closing point not counted).
enum class ProfileUse { Usable, TooFewPoints, MergedPoints };
ProfileUse SweepUse(const Profile2D& profile);

// The curve the sweeps give the profile: the uniform quadratic B-spline of
// its points (the ends repeated, or wrapped round when closed), sampled 5
// times per segment.
std::vector<PlanePoint> ProfileCurve(const Profile2D& profile);

}  // namespace tessaran
