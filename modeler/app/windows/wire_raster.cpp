#include "modeler/app/windows/wire_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tessaran {

WireRaster::WireRaster(QImage& picture)
    : bits_(reinterpret_cast<QRgb*>(picture.bits())),
      stride_(static_cast<int>(picture.bytesPerLine() / 4)),
      width_(picture.width()),
      height_(picture.height()) {}

// Liang-Barsky against the rectangle of pixel centres; the cut ends are
// rounded and held inside, so the steps between them stay inside too.
bool WireRaster::Clip(int& x0, int& y0, int& x1, int& y1) const {
  const double dx = x1 - x0, dy = y1 - y0;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {static_cast<double>(x0), static_cast<double>(width_ - 1 - x0), static_cast<double>(y0),
                       static_cast<double>(height_ - 1 - y0)};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const double ox = x0, oy = y0;
  auto at = [](double origin, double delta, double t, int high) {
    return std::clamp(static_cast<int>(std::lround(origin + t * delta)), 0, high);
  };
  x0 = at(ox, dx, t0, width_ - 1);
  y0 = at(oy, dy, t0, height_ - 1);
  x1 = at(ox, dx, t1, width_ - 1);
  y1 = at(oy, dy, t1, height_ - 1);
  return true;
}

void WireRaster::Line(int x0, int y0, int x1, int y1, QRgb colour) {
  if (width_ <= 0 || height_ <= 0) return;
  const bool inside = x0 >= 0 && x1 >= 0 && y0 >= 0 && y1 >= 0 && x0 < width_ && x1 < width_ && y0 < height_ &&
                      y1 < height_;
  if (!inside && !Clip(x0, y0, x1, y1)) return;
  // Bresenham's walk, in whole steps.
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? stride_ : -stride_;
  QRgb* pixel = bits_ + static_cast<std::ptrdiff_t>(y0) * stride_ + x0;
  QRgb* const last = bits_ + static_cast<std::ptrdiff_t>(y1) * stride_ + x1;
  int error = dx + dy;
  for (;;) {
    *pixel = colour;
    if (pixel == last) return;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      pixel += sx;
    }
    if (twice <= dx) {
      error += dx;
      pixel += sy;
    }
  }
}

}  // namespace tessaran
