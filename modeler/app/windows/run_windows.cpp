#include "modeler/app/windows/run_windows.h"

#include <QApplication>
#include <QScreen>
#include <memory>

#include "modeler/app/batch.h"
#include "modeler/app/windows/modeler_link.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/geometry/camera.h"
#include "platform/console.h"
#include "ui/qt_dialogs.h"

namespace tessaran {
namespace {

// The saved rectangle (right, top, left, bottom) when it lies on the desktop.
void PlaceWindow(QWidget& window, const ModelerSettings& settings) {
  const auto& [right, top, left, bottom] = settings.mainWindow;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || right <= left || bottom <= top) return;
  const QRect desktop = screen->availableGeometry();
  if (left < 0 || top < 0 || right > desktop.right() || bottom > desktop.bottom()) return;
  window.setGeometry(left, top, right - left, bottom - top);
}

}  // namespace

int RunModelerWindows(int argc, char** argv) {
  QApplication app(argc, argv);
  MessageLibrary messages(MessageProgram::Modeler);
  QtReporter reporter(messages);
  QtAsker asker(messages);
  InstallReporter(&reporter);
  InstallAsker(&asker);
  struct Uninstall {
    ~Uninstall() {
      InstallReporter(nullptr);
      InstallAsker(nullptr);
      InstallMessageText(nullptr);
    }
  } uninstall;
  if (!messages.LoadConfigured()) return kBatchFailed;
  InstallMessageText(&messages);

  const ModelerSettings settings = ReadModelerSettings();
  auto scene = std::make_unique<SceneModel>();
  // The first view starts from the settings' camera.
  LoadViewSettings(scene->View());
  // Without a usable runtime folder the modeler works alone.
  const std::unique_ptr<ModelerLink> link = ModelerLink::Start();
  ModelerWindow window(*scene, messages, settings, link.get());
  reporter.SetParent(&window);
  asker.SetParent(&window);
  PlaceWindow(window, settings);
  window.show();
  Trace("New Window OK\n");
  for (int i = 0; i < settings.views; ++i) window.AddView();
  if (argc > 1) window.OpenFile(argv[1]);
  return app.exec() == 0 ? kBatchDone : kBatchFailed;
}

}  // namespace tessaran
