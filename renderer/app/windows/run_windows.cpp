#include "renderer/app/windows/run_windows.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <string>

#include "platform/dynlib.h"
#include "renderer/app/batch.h"
#include "renderer/app/renderer_shell.h"
#include "renderer/app/windows/main_window.h"
#include "renderer/app/windows/window_link.h"
#include "ui/window_fit.h"
#include "ui/window_messages.h"

namespace tessaran {

int RunRendererWindows(int argc, char** argv) {
  QApplication app(argc, argv);
  WindowMessages messages(MessageProgram::Renderer);
  if (!messages.Load()) return kRzFailed;

  RendererShell shell;
  shell.settings = ReadRendererSettings();
  ResolveDirectories(shell, ProgramDirectory());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) shell.displayDepth = screen->depth();
  std::string argument;
  for (int i = 1; i < argc; ++i) argument += (i > 1 ? " " : "") + std::string(argv[i]);
  const StartAction action = StartFromArgument(shell, argument);

  RendererWindow window(shell, messages.Library());
  messages.SetParent(&window);
  PlaceSavedWindow(window, shell.settings.mainWindow);
  window.show();
  // The service "QMXRZ" and the client of the player; without a usable
  // runtime folder the window works alone.
  const std::unique_ptr<RendererLink> link = RendererLink::Start(window);
  // A project on the command line renders at once; otherwise the project
  // dialog opens. A material preview waits for the modeler's material.
  if (action == StartAction::RenderNow) QTimer::singleShot(0, &window, [&] { window.Render(); });
  if (action == StartAction::OpenDialog) QTimer::singleShot(0, &window, [&] { window.OpenProjectDialog(); });
  return app.exec() == 0 ? kRzDone : kRzFailed;
}

}  // namespace tessaran
