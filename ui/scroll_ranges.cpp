#include "ui/scroll_ranges.h"

#include <QScrollBar>
#include <algorithm>

namespace tessaran {

void SetScrollRanges(QAbstractScrollArea& area, QSize image, bool fitted) {
  const QSize shown = area.viewport()->size();
  const int overX = fitted ? 0 : std::max(image.width() - shown.width(), 0);
  const int overY = fitted ? 0 : std::max(image.height() - shown.height(), 0);
  area.horizontalScrollBar()->setRange(0, overX);
  area.verticalScrollBar()->setRange(0, overY);
  area.horizontalScrollBar()->setPageStep(shown.width());
  area.verticalScrollBar()->setPageStep(shown.height());
  area.setHorizontalScrollBarPolicy(overX > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  area.setVerticalScrollBarPolicy(overY > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

}  // namespace tessaran
