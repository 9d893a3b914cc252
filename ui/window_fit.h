// Fitting a main window to what it shows: the window is resized so that its
// display area holds `content` exactly, centred on the window's previous
// centre and kept on the screen, or maximised when the screen cannot hold it.
#pragma once

#include <QSize>
#include <QWidget>

namespace tessaran {

void FitWindowTo(QWidget& window, const QWidget& area, QSize content);

}  // namespace tessaran
