#include "ui/dispatching_progress.h"

#include <QCoreApplication>

namespace tessaran {

void DispatchingProgress::Set(double fraction) {
  if (shown_) shown_(fraction);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace tessaran
