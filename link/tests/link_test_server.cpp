// A renderer or player server for the link's tests: the real services
// over windows that only write what they are asked to do into a log.
//   link_test_server --renderer|--player [--log FILE] [--state 1|2]
//                    [--cancel] [--playing] [--die-on-transaction] [--stall-ms N]
// --state: the render state it starts in (a stop request ends the render);
// --cancel: the stop questions are answered Cancel; --playing: the player
// plays until asked to stop; --die-on-transaction: the process ends when a
// transaction arrives, without replying; --stall-ms: each transaction is
// answered that much later. It ends on "QUIT".
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "link/instance.h"
#include "link/program_client.h"
#include "platform/console.h"
#include "platform/terminal.h"
#include "player/link_server.h"
#include "renderer/app/link_server.h"

namespace {

using namespace tessaran;

struct Options {
  bool renderer = true;
  std::string log;
  RenderState state = RenderState::Idle;
  bool cancel = false;
  bool playing = false;
  bool dieOnTransaction = false;
  int stallMs = 0;
};

class Log {
 public:
  explicit Log(const std::string& path) : path_(path) {}
  void Line(const std::string& line) const {
    if (path_.empty()) return;
    std::ofstream out(path_, std::ios::app);
    out << line << '\n';
  }

 private:
  std::string path_;
};

class FakeRenderer final : public RendererWindowActions {
 public:
  FakeRenderer(const Log& log, RenderState state, bool& quit) : log_(log), state_(state), quit_(quit) {}
  RenderState State() const override { return state_; }
  bool ProjectDialogOpen() const override { return false; }
  bool MaterialRenderRunning() const override { return state_ == RenderState::Preview; }
  void SetAbortRequest() override {
    log_.Line("abort");
    state_ = RenderState::Idle;
  }
  void EndProjectDialogForScene(const std::string& scene, bool) override { log_.Line("pending " + scene); }
  void AttachSceneAndOpenDialog(const std::string& scene) override { log_.Line("dialog " + scene); }
  void ShowOnTop() override { log_.Line("show"); }
  void PostClose() override {
    log_.Line("close");
    quit_ = true;
  }
  void DispatchFor(int) override {}
  void StartMaterialPreview(const PreviewMaterial& m, const std::array<PreviewMap, 3>& maps) override {
    char line[200];
    std::snprintf(line, sizeof line, "preview %d %d %d %d %d %04x [%s] [%s] [%s]", m.reflection, m.transmission,
                  m.refraction, m.KSpec, m.NSpec, m.col, maps[0].name.c_str(), maps[1].name.c_str(),
                  maps[2].name.c_str());
    log_.Line(line);
  }

 private:
  const Log& log_;
  RenderState state_;
  bool& quit_;
};

class FakePlayer final : public player::PlayerWindowActions {
 public:
  FakePlayer(const Log& log, bool playing, bool& quit) : log_(log), playing_(playing), quit_(quit) {}
  void StartSlideShow(const std::string& file) override { log_.Line("slide " + file); }
  void ShowImage(const std::string& file) override { log_.Line("view " + file); }
  bool Playing() const override { return playing_; }
  void SetStopRequest() override {
    log_.Line("stop");
    playing_ = false;
  }
  void PostPlayAnim(const std::string& file) override { log_.Line("anim " + file); }
  void PostClose() override {
    log_.Line("close");
    quit_ = true;
  }
  void ShowNormal() override { log_.Line("show"); }

 private:
  const Log& log_;
  bool playing_;
  bool& quit_;
};

// One instance's callbacks for either server.
class Server final : public link::Callbacks {
 public:
  Server(const Options& options, RendererServer* renderer, player::PlayerServer* player, const Log& log)
      : options_(options), renderer_(renderer), player_(player), log_(log) {}
  bool Connect(link::ConversationId id, const std::string&, const std::string& topic) override {
    log_.Line("connect " + topic);
    return renderer_ ? renderer_->Connect(id, topic) : player_->Connect(id, topic);
  }
  link::Reply Transaction(link::ConversationId id, const link::Frame& frame) override {
    if (options_.dieOnTransaction) _exit(3);
    if (options_.stallMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options_.stallMs));
    return renderer_ ? renderer_->Transaction(id, frame) : player_->Transaction(id, frame);
  }
  void Registered(const std::string&) override {}
  void Disconnected(link::ConversationId id) override {
    log_.Line("disconnect");
    renderer_ ? renderer_->Disconnected(id) : player_->Disconnected(id);
  }

 private:
  const Options& options_;
  RendererServer* renderer_;
  player::PlayerServer* player_;
  const Log& log_;
};

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--renderer") o.renderer = true;
    else if (a == "--player") o.renderer = false;
    else if (a == "--log" && more) o.log = argv[++i];
    else if (a == "--state" && more) o.state = static_cast<RenderState>(std::atoi(argv[++i]));
    else if (a == "--stall-ms" && more) o.stallMs = std::atoi(argv[++i]);
    else if (a == "--cancel") o.cancel = true;
    else if (a == "--playing") o.playing = true;
    else if (a == "--die-on-transaction") o.dieOnTransaction = true;
    else if (a[0] == '-') return false;
    // Other words are the program's own arguments ("Q1VOIR.SEE").
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::cerr << "link_test_server: bad arguments\n";
    return 2;
  }
  ConsoleOpen();
  const Log log(options.log);
  TerminalAsker asker;
  asker.SetDefault(options.cancel ? Answer::Cancel : Answer::Ok);
  InstallAsker(&asker);
  bool quit = false;
  FakeRenderer rendererWindow(log, options.state, quit);
  FakePlayer playerWindow(log, options.playing, quit);
  RendererServer renderer(rendererWindow);
  player::PlayerServer player(playerWindow);
  Server callbacks(options, options.renderer ? &renderer : nullptr, options.renderer ? nullptr : &player, log);
  const unsigned flags = link::kFailSelfConnections | (options.renderer ? 0 : link::kFailPokes);
  std::string problem;
  auto instance = link::Instance::Initialize(flags, callbacks, &problem);
  const char* service = options.renderer ? link::kRendererService : link::kPlayerService;
  if (!instance || !instance->RegisterService(service, &problem)) {
    std::cerr << "link_test_server: " << problem << "\n";
    return 1;
  }
  renderer.Attach(*instance);
  log.Line("registered");
  while (!quit) instance->PollAndDispatch(100);
  instance->UnregisterService(service);
  return 0;
}
