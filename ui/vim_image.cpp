#include "ui/vim_image.h"

namespace tessaran {
namespace {

QList<QRgb> ColourTable(const VirtIm& image) {
  QList<QRgb> colours(256);
  for (int i = 0; i < 256; ++i) colours[i] = 0xFF000000u | image.PaletteColour(i);
  return colours;
}

// The stored lines as Qt reads them: line 0 of this view is the bottom line.
QImage StoredView(const VirtIm& image) {
  const int w = static_cast<int>(image.width);
  const int h = static_cast<int>(image.height);
  if (image.bytesPerPixel == 3) {
    return QImage(image.pixels.data(), w, h, image.stride, QImage::Format_BGR888);
  }
  if (image.bytesPerPixel == 1) {
    QImage view(image.pixels.data(), w, h, image.stride, QImage::Format_Indexed8);
    view.setColorTable(ColourTable(image));
    return view;
  }
  // 4-bit: two pixels a byte, the high nibble first.
  QImage view(w, h, QImage::Format_Indexed8);
  view.setColorTable(ColourTable(image));
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* from = image.pixels.data() + static_cast<std::size_t>(y) * image.stride;
    uchar* to = view.scanLine(y);
    for (int x = 0; x < w; ++x) to[x] = (x & 1) ? from[x / 2] & 0x0F : from[x / 2] >> 4;
  }
  return view;
}

}  // namespace

QImage VimToImage(const VirtIm& image) {
  if (image.Empty()) return {};
  QImage copy = StoredView(image).mirrored(false, true);
  return copy.format() == QImage::Format_BGR888 ? copy.convertToFormat(QImage::Format_RGB888) : copy;
}

void DrawVim(QPainter& painter, const VirtIm& image, const QRectF& target) {
  if (image.Empty()) return;
  const QImage view = StoredView(image);
  painter.save();
  // Bottom-up lines: stored line v lands v lines above the target's bottom.
  painter.translate(target.left(), target.bottom());
  painter.scale(target.width() / view.width(), -target.height() / view.height());
  painter.drawImage(QPointF(0, 0), view);
  painter.restore();
}

}  // namespace tessaran
