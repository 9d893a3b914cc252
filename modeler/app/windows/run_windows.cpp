#include "modeler/app/windows/run_windows.h"

#include <QApplication>
#include <memory>

#include "modeler/app/batch.h"
#include "modeler/app/windows/modeler_link.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/geometry/camera.h"
#include "platform/console.h"
#include "ui/window_fit.h"
#include "ui/window_messages.h"

namespace tessaran {

int RunModelerWindows(int argc, char** argv) {
  QApplication app(argc, argv);
  WindowMessages messages(MessageProgram::Modeler);
  if (!messages.Load()) return kBatchFailed;

  const ModelerSettings settings = ReadModelerSettings();
  auto scene = std::make_unique<SceneModel>();
  // The first view starts from the settings' camera.
  LoadViewSettings(scene->View());
  // Without a usable runtime folder the modeler works alone.
  const std::unique_ptr<ModelerLink> link = ModelerLink::Start();
  ModelerWindow window(*scene, messages.Library(), settings, link.get());
  messages.SetParent(&window);
  PlaceSavedWindow(window, settings.mainWindow);
  window.show();
  Trace("New Window OK\n");
  for (int i = 0; i < settings.views; ++i) window.AddView();
  if (argc > 1) window.OpenFile(argv[1]);
  return app.exec() == 0 ? kBatchDone : kBatchFailed;
}

}  // namespace tessaran
