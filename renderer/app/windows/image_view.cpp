#include "renderer/app/windows/image_view.h"

#include <QPainter>
#include <QScrollBar>

#include "storage/virtim.h"
#include "ui/scroll_ranges.h"
#include "ui/vim_image.h"

namespace tessaran {

ImageView::ImageView(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::NoFrame);
}

void ImageView::SetMagnifier(bool on) {
  magnifier_ = on;
  ImageChanged();
}

void ImageView::SetRendering(bool on) {
  rendering_ = on;
  viewport()->update();
}

QSize ImageView::ImageSize() const {
  const VirtIm& image = VimSlot(0);
  if (image.Empty()) return {};
  return {static_cast<int>(image.width), static_cast<int>(image.height)};
}

bool ImageView::Magnified() const {
  const QSize image = ImageSize();
  const QSize area = viewport()->size();
  return magnifier_ && !image.isEmpty() && image.width() < area.width() && image.height() < area.height();
}

void ImageView::UpdateScrollBars() { SetScrollRanges(*this, ImageSize(), Magnified()); }

void ImageView::ImageChanged() {
  UpdateScrollBars();
  viewport()->update();
  sincePaint_.start();
}

void ImageView::RowsComputed() {
  constexpr int kPaintIntervalMs = 40;
  if (sincePaint_.isValid() && sincePaint_.elapsed() < kPaintIntervalMs) return;
  ImageChanged();
}

void ImageView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void ImageView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QRect area = viewport()->rect();
  const VirtIm& image = VimSlot(0);
  if (image.Empty()) {
    painter.fillRect(area, rendering_ ? Qt::black : palette().window());
    return;
  }
  if (Magnified()) {
    DrawVim(painter, image, QRectF(area));
    return;
  }
  const QRectF placed(-horizontalScrollBar()->value(), -verticalScrollBar()->value(), image.width, image.height);
  painter.fillRect(area, palette().window());
  DrawVim(painter, image, placed);
}

}  // namespace tessaran
