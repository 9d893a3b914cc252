// The scroll bars of an area that shows an image 1:1: a bar shows only when
// the image overflows the area that way, and its range keeps the view inside
// the image, so that a smaller image scrolls back. An image stretched over
// the area (`fitted`) needs none.
#pragma once

#include <QAbstractScrollArea>
#include <QSize>

namespace tessaran {

void SetScrollRanges(QAbstractScrollArea& area, QSize image, bool fitted);

}  // namespace tessaran
