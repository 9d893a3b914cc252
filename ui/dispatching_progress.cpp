#include "ui/dispatching_progress.h"

#include <QCoreApplication>

namespace tessaran {
namespace {

// The engine polls after every row and at least every 20 ms; the events
// are looked at no more often than this, which keeps the window alive
// while taking little from the render.
constexpr qint64 kDispatchIntervalMs = 10;

}  // namespace

void DispatchingProgress::Set(double fraction) {
  if (sinceDispatch_.isValid() && sinceDispatch_.elapsed() < kDispatchIntervalMs) return;
  if (shown_) shown_(fraction);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  sinceDispatch_.start();
}

}  // namespace tessaran
