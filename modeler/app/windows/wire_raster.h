// One-pixel lines written straight into a 32-bit picture: the views draw
// models of many thousand faces, whose short edges a general painter would
// take far longer to draw.
#pragma once

#include <QImage>

namespace tessaran {

class WireRaster {
 public:
  // The picture must be of a 32-bit format (RGB32 or ARGB32 premultiplied).
  explicit WireRaster(QImage& picture);
  // The line from (x0, y0) to (x1, y1), both ends included, cut to the
  // picture.
  void Line(int x0, int y0, int x1, int y1, QRgb colour);

 private:
  // Cuts the line to the picture; false when none of it lies inside.
  bool Clip(int& x0, int& y0, int& x1, int& y1) const;

  QRgb* bits_;
  int stride_;  // pixels per row
  int width_;
  int height_;
};

}  // namespace tessaran
