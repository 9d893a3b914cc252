// Virtual images as Qt sees them. A slot is a bottom-up DIB: a 24-bit slot
// is drawn straight from its bytes (blue, green, red) by flipping the
// painter, so painting during a render copies nothing; palette and 4-bit
// slots are converted.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include "storage/virtim.h"

namespace tessaran {

// A top-down copy of the slot's picture (RGB888, or Indexed8 with the
// slot's palette); a null image for an empty slot.
QImage VimToImage(const VirtIm& image);

// Draws the slot's picture into `target` (stretched when the sizes differ).
void DrawVim(QPainter& painter, const VirtIm& image, const QRectF& target);

}  // namespace tessaran
