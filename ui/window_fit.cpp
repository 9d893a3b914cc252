#include "ui/window_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace tessaran {

bool PlaceSavedWindow(QWidget& window, const std::array<int, 4>& saved) {
  const auto& [right, top, left, bottom] = saved;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || right <= left || bottom <= top) return false;
  const QRect wanted(left, top, right - left, bottom - top);
  if (!screen->availableGeometry().contains(wanted)) return false;
  window.setGeometry(wanted);
  return true;
}

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
