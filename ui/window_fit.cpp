#include "ui/window_fit.h"

#include <QScreen>
#include <algorithm>

namespace tessaran {

void FitWindowTo(QWidget& window, const QWidget& area, QSize content) {
  const QSize frame = window.size() - area.size();
  QRect wanted(QPoint(0, 0), content + frame);
  wanted.moveCenter(window.geometry().center());
  wanted.moveLeft(std::max(wanted.left(), 0));
  wanted.moveTop(std::max(wanted.top(), 0));
  const QRect desktop = window.screen() ? window.screen()->availableGeometry() : QRect();
  if (!desktop.isEmpty() && (wanted.width() > desktop.width() || wanted.height() > desktop.height())) {
    window.showMaximized();
    return;
  }
  if (window.isMaximized()) window.showNormal();
  if (!desktop.isEmpty() && !desktop.contains(wanted)) wanted.moveCenter(desktop.center());
  window.resize(wanted.size());
  window.move(wanted.topLeft());
}

}  // namespace tessaran
