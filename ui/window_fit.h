// Placing a main window: on the rectangle saved in the settings, or fitted
// to what it shows.
#pragma once

#include <QSize>
#include <QWidget>
#include <array>

namespace tessaran {

// The rectangle saved as right, top, left, bottom, when it is a real one
// and lies on the desktop; otherwise the system places the window. False
// when the window was left where it was.
bool PlaceSavedWindow(QWidget& window, const std::array<int, 4>& saved);

// The window resized so that its display area holds `content` exactly,
// centred on the window's previous centre and kept on the screen, or
// maximised when the screen cannot hold it.
void FitWindowTo(QWidget& window, const QWidget& area, QSize content);

}  // namespace tessaran
