#include "player/windows/run_windows.h"

#include <QApplication>
#include <QTimer>
#include <memory>
#include <string>

#include "link/instance.h"
#include "link/program_client.h"
#include "platform/console.h"
#include "player/batch.h"
#include "player/link_server.h"
#include "player/player_settings.h"
#include "player/windows/player_window.h"
#include "ui/link_watcher.h"
#include "ui/window_fit.h"
#include "ui/window_messages.h"

namespace tessaran::player {
namespace {

// The link's callbacks, handed to the player's service.
class PlayerLink final : public link::Callbacks {
 public:
  explicit PlayerLink(PlayerServer& server) : server_(server) {}
  bool Connect(link::ConversationId id, const std::string&, const std::string& topic) override {
    return server_.Connect(id, topic);
  }
  link::Reply Transaction(link::ConversationId id, const link::Frame& frame) override {
    return server_.Transaction(id, frame);
  }
  void Registered(const std::string&) override { server_.Registered(); }
  void Disconnected(link::ConversationId id) override { server_.Disconnected(id); }

 private:
  PlayerServer& server_;
};

}  // namespace

int RunPlayerWindows(int argc, char** argv) {
  QApplication app(argc, argv);
  WindowMessages messages(MessageProgram::Player);
  if (!messages.Load()) return kFailure;
  std::string commandLine;
  for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
  Trace("LIGNE DE COMMANDE :[%s]\n", commandLine.c_str());

  PlayerSettings settings = ReadPlayerSettings();
  PlayerWindow window(messages.Library(), settings);
  messages.SetParent(&window);
  PlaceSavedWindow(window, settings.mainWindow);
  if (window.size().width() < 200) window.resize(640, 480);

  // Without the link the player still shows and plays; it only does not serve.
  PlayerServer server(window);
  PlayerLink callbacks(server);
  std::string problem;
  std::unique_ptr<link::Instance> instance =
      link::Instance::Initialize(link::kFailSelfConnections | link::kFailPokes, callbacks, &problem);
  std::unique_ptr<LinkWatcher> watcher;
  if (instance && instance->RegisterService(link::kPlayerService, &problem)) {
    watcher = std::make_unique<LinkWatcher>(*instance);
  } else {
    Trace("QMXPlay: %s\n", problem.c_str());
  }
  window.show();
  // The file of the command line: its last argument, whole (names may hold blanks).
  if (argc > 1) {
    const std::filesystem::path file = argv[argc - 1];
    QTimer::singleShot(0, &window, [&window, file] { window.OpenFile(file, false); });
  }
  const int status = app.exec();
  watcher.reset();
  if (instance) instance->UnregisterService(link::kPlayerService);
  return status == 0 ? kSuccess : kFailure;
}

}  // namespace tessaran::player
