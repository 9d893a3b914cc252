#include "player/windows/picture_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "ui/scroll_ranges.h"

namespace tessaran::player {

PictureView::PictureView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  // The keys belong to the playback, not to the scroll bars.
  setFocusPolicy(Qt::NoFocus);
  viewport()->setAutoFillBackground(false);
}

void PictureView::Show(const QImage& image) {
  const bool resized = image.size() != image_.size();
  image_ = image;
  if (resized) UpdateScrollBars();
  viewport()->repaint();
}

void PictureView::SetZoom(bool on) {
  zoom_ = on;
  UpdateScrollBars();
  viewport()->update();
}

void PictureView::UpdateScrollBars() { SetScrollRanges(*this, image_.size(), zoom_); }

void PictureView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QRect area = viewport()->rect();
  if (image_.isNull()) {
    painter.fillRect(area, palette().window());
    return;
  }
  if (zoom_) {
    painter.drawImage(QRectF(area), image_);
    return;
  }
  const QPoint at(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const QRect placed(at, image_.size());
  // Only what the picture leaves free is filled, so that a frame is drawn once.
  const QRegion free = QRegion(area).subtracted(placed);
  for (const QRect& r : free) painter.fillRect(r, palette().window());
  painter.drawImage(at, image_);
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit doubleClicked();
}

}  // namespace tessaran::player
