// The one QApplication of a test program with windows, on the offscreen
// platform unless the environment names another (Xvfb runs use xcb).
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <functional>

namespace tessaran {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "tessaran_tests";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: Qt's own statics may be gone by the time a static
  // application would be torn down at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Answers the next message box with `button` once it is shown; `seen`
// receives its caption and text.
inline void AnswerNextBox(QMessageBox::StandardButton button, QString* caption = nullptr, QString* text = nullptr) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return AnswerNextBox(button, caption, text);
    if (caption) *caption = box->windowTitle();
    if (text) *text = box->text();
    box->done(button);
  });
}

// Ends the next modal dialog with `code` once it is shown, after `fill`
// has had it.
inline void AnswerNextDialog(int code, std::function<void(QDialog*)> fill = {}) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return AnswerNextDialog(code, fill);
    if (fill) fill(dialog);
    dialog->done(code);
  });
}

}  // namespace tessaran
