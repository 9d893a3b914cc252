// Small vector arithmetic on the engine's doubles.
#pragma once

#include <array>
#include <cmath>

#include "scene/frames.h"

namespace tessaran {

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 operator*(double s, const Vec3& a) { return {s * a[0], s * a[1], s * a[2]}; }
inline double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }
// The unit vector along a, or a itself when it has no length.
inline Vec3 Normalise(const Vec3& a) {
  const double l = Length(a);
  return l > 0 ? (1 / l) * a : a;
}
inline Vec3 ToVec3(const std::array<float, 3>& p) { return {p[0], p[1], p[2]}; }
inline Vec3 Lerp(const Vec3& a, const Vec3& b, double t) { return a + t * (b - a); }

}  // namespace tessaran
