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
#include "ui/qt_dialogs.h"

namespace tessaran {
namespace {

// The saved rectangle (right, top, left, bottom) when it fits the desktop.
void PlaceWindow(QWidget& window, const RendererSettings& settings) {
  const auto& [right, top, left, bottom] = settings.mainWindow;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || right <= left || bottom <= top) return;
  const QRect desktop = screen->availableGeometry();
  if (!WindowRectangleFits(settings.mainWindow, desktop.width(), desktop.height())) return;
  window.setGeometry(left, top, right - left, bottom - top);
}

}  // namespace

int RunRendererWindows(int argc, char** argv) {
  QApplication app(argc, argv);
  MessageLibrary messages(MessageProgram::Renderer);
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
  if (!messages.LoadConfigured()) return kRzFailed;
  InstallMessageText(&messages);

  RendererShell shell;
  shell.settings = ReadRendererSettings();
  ResolveDirectories(shell, ProgramDirectory());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) shell.displayDepth = screen->depth();
  std::string argument;
  for (int i = 1; i < argc; ++i) argument += (i > 1 ? " " : "") + std::string(argv[i]);
  const StartAction action = StartFromArgument(shell, argument);

  RendererWindow window(shell, messages);
  reporter.SetParent(&window);
  asker.SetParent(&window);
  PlaceWindow(window, shell.settings);
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
