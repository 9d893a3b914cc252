#include "renderer/engine/raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "renderer/engine/vecmath.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

// A perspective eye plane this far in front of the eye keeps the division
// by depth finite; the side planes already keep projections on the image.
constexpr double kPerspectiveNear = 1e-3;

struct Plane {
  Vec3 n{};
  double offset = 0;
  double Distance(const Vec3& p) const { return Dot(n, p) + offset; }
};

// The four side planes and the eye plane, all inside where Distance ≥ 0.
std::array<Plane, 5> ClipPlanes(const RasterView& view) {
  std::array<Plane, 5> planes;
  for (int i = 0; i < 4; ++i) planes[i] = {view.pyramid.normal[i], view.pyramid.offset[i]};
  planes[4] = {{0, 0, -1}, view.nearZ};
  return planes;
}

RasterVertex Mix(const RasterVertex& a, const RasterVertex& b, double t) {
  return {Lerp(a.p, b.p, t), Lerp(a.n, b.n, t), a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

// Sutherland–Hodgman clipping of a convex polygon by one plane.
void ClipPolygon(const Plane& plane, std::vector<RasterVertex>& poly, std::vector<RasterVertex>& scratch) {
  scratch.clear();
  const std::size_t n = poly.size();
  for (std::size_t i = 0; i < n; ++i) {
    const RasterVertex& a = poly[i];
    const RasterVertex& b = poly[(i + 1) % n];
    const double da = plane.Distance(a.p), db = plane.Distance(b.p);
    if (da >= 0) scratch.push_back(a);
    if ((da >= 0) != (db >= 0)) scratch.push_back(Mix(a, b, da / (da - db)));
  }
  poly.swap(scratch);
}

struct Projected {
  double x = 0;
  double y = 0;
  double w = 1;  // what the attributes are divided by: the depth in perspective
  const RasterVertex* vertex = nullptr;
};

double Edge(const Projected& a, const Projected& b, double x, double y) {
  return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

// Whether a pixel centre exactly on edge a→b belongs to this triangle: the
// same edge walked the other way in the neighbouring triangle answers no.
bool OwnsEdge(const Projected& a, const Projected& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return dy > 0 || (dy == 0 && dx > 0);
}

bool Inside(double e, bool owns) { return e > 0 || (e == 0 && owns); }

void FillProjected(const RasterView& view, Projected v0, Projected v1, Projected v2,
                   const std::function<void(const RasterSample&)>& emit) {
  double area = Edge(v0, v1, v2.x, v2.y);
  if (!(std::fabs(area) > 1e-12)) return;
  if (area < 0) {
    std::swap(v1, v2);
    area = -area;
  }
  const double minX = std::min({v0.x, v1.x, v2.x}), maxX = std::max({v0.x, v1.x, v2.x});
  const double minY = std::min({v0.y, v1.y, v2.y}), maxY = std::max({v0.y, v1.y, v2.y});
  const int x0 = static_cast<int>(std::max(0.0, std::ceil(minX)));
  const int x1 = static_cast<int>(std::min(view.width - 1.0, std::floor(maxX)));
  const int y0 = static_cast<int>(std::max(0.0, std::ceil(minY)));
  const int y1 = static_cast<int>(std::min(view.height - 1.0, std::floor(maxY)));
  const bool own0 = OwnsEdge(v1, v2), own1 = OwnsEdge(v2, v0), own2 = OwnsEdge(v0, v1);
  const RasterVertex &a = *v0.vertex, &b = *v1.vertex, &c = *v2.vertex;
  RasterSample s;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double e0 = Edge(v1, v2, x, y), e1 = Edge(v2, v0, x, y), e2 = Edge(v0, v1, x, y);
      if (!Inside(e0, own0) || !Inside(e1, own1) || !Inside(e2, own2)) continue;
      // Barycentric weights made perspective-correct through 1/w.
      const double q0 = e0 / v0.w, q1 = e1 / v1.w, q2 = e2 / v2.w;
      const double sum = q0 + q1 + q2;
      if (!(sum > 0)) continue;
      const double w0 = q0 / sum, w1 = q1 / sum, w2 = q2 / sum;
      s.x = x;
      s.y = y;
      s.p = w0 * a.p + w1 * b.p + w2 * c.p;
      s.n = Normalise(w0 * a.n + w1 * b.n + w2 * c.n);
      s.u = w0 * a.u + w1 * b.u + w2 * c.u;
      s.v = w0 * a.v + w1 * b.v + w2 * c.v;
      emit(s);
    }
  }
}

}  // namespace

RasterView MakeRasterView(const Camera& camera, const ScreenMapping& mapping, int width, int height) {
  RasterView view;
  view.camera = camera;
  view.mapping = mapping;
  view.width = std::max(width, 0);
  view.height = std::max(height, 0);
  view.pyramid = MakeViewPyramid(camera, mapping, std::max(width, 1), std::max(height, 1));
  view.nearZ = camera.parallel ? -camera.D : -kPerspectiveNear;
  return view;
}

bool ProjectPoint(const RasterView& view, const Vec3& p, double& x, double& y) {
  const ScreenPoint s = ProjectRenderPoint(view.camera, view.mapping, p);
  x = s.x;
  y = s.y;
  return s.visible && std::isfinite(x) && std::isfinite(y);
}

Vec3 EyeOf(const RasterView& view, const Vec3& p) {
  if (view.camera.parallel) return {p[0], p[1], -view.camera.D};
  return {0, 0, 0};
}

void DrawSegment(const RasterView& view, const Vec3& a, const Vec3& b, const std::function<void(int, int)>& plot) {
  double t0 = 0, t1 = 1;
  for (const Plane& plane : ClipPlanes(view)) {
    const double da = plane.Distance(a), db = plane.Distance(b);
    if (da < 0 && db < 0) return;
    if (da < 0) t0 = std::max(t0, da / (da - db));
    if (db < 0) t1 = std::min(t1, da / (da - db));
  }
  if (!(t0 <= t1)) return;
  double xa, ya, xb, yb;
  if (!ProjectPoint(view, Lerp(a, b, t0), xa, ya) || !ProjectPoint(view, Lerp(a, b, t1), xb, yb)) return;
  const double dx = xb - xa, dy = yb - ya;
  // The clipped segment lies on the image, so the step count is bounded
  // by its size; the cap guards against rounding at the pyramid's faces.
  const double span = std::min(std::max(std::fabs(dx), std::fabs(dy)), 4.0 * (view.width + view.height));
  const int steps = static_cast<int>(std::ceil(span));
  for (int i = 0; i <= steps; ++i) {
    const double t = steps > 0 ? static_cast<double>(i) / steps : 0;
    const int x = static_cast<int>(std::floor(xa + t * dx + 0.5));
    const int y = static_cast<int>(std::floor(ya + t * dy + 0.5));
    if (x >= 0 && y >= 0 && x < view.width && y < view.height) plot(x, y);
  }
}

void FillTriangle(const RasterView& view, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                  const std::function<void(const RasterSample&)>& emit) {
  if (view.width < 1 || view.height < 1) return;
  std::vector<RasterVertex> poly{a, b, c}, scratch;
  poly.reserve(8);
  scratch.reserve(8);
  for (const Plane& plane : ClipPlanes(view)) {
    ClipPolygon(plane, poly, scratch);
    if (poly.size() < 3) return;
  }
  std::vector<Projected> projected(poly.size());
  for (std::size_t i = 0; i < poly.size(); ++i) {
    Projected& q = projected[i];
    if (!ProjectPoint(view, poly[i].p, q.x, q.y)) return;
    q.w = view.camera.parallel ? 1 : -poly[i].p[2];
    if (!(q.w > 0)) return;
    q.vertex = &poly[i];
  }
  for (std::size_t i = 1; i + 1 < projected.size(); ++i) {
    FillProjected(view, projected[0], projected[i], projected[i + 1], emit);
  }
}

void ShowUnderBlack(int slot, std::vector<std::uint32_t>& pixels, int width, int height) {
  const VirtIm& picture = VimSlot(slot);
  if (picture.Empty() || pixels.size() < static_cast<std::size_t>(width) * height) return;
  const auto W = static_cast<std::int64_t>(picture.width), H = static_cast<std::int64_t>(picture.height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t& c = pixels[static_cast<std::size_t>(y) * width + x];
      if (c != 0) continue;
      const std::int32_t p =
          VimGetPixel(slot, static_cast<std::uint32_t>(y * H / height), static_cast<std::uint32_t>(x * W / width));
      if (p > 0) c = static_cast<std::uint32_t>(p);
    }
  }
}

bool StoreImage(int slot, const std::vector<std::uint32_t>& pixels, int width, int height) {
  if (width < 1 || height < 1 || pixels.size() < static_cast<std::size_t>(width) * height) return false;
  if (!VimCreate(slot, width, height, 24)) return false;
  for (int y = 0; y < height; ++y) {
    VimPutLine(slot, pixels.data() + static_cast<std::size_t>(y) * width, static_cast<std::uint32_t>(y), 1, 0);
  }
  return true;
}

std::uint32_t ExpandColour(std::uint16_t col) {
  return static_cast<std::uint32_t>(((col >> 8) & 15) * 17) << 16 | static_cast<std::uint32_t>(((col >> 4) & 15) * 17) << 8 |
         static_cast<std::uint32_t>((col & 15) * 17);
}

}  // namespace tessaran
