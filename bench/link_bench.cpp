// Round trips of the program link on one machine: an execute, and a poke of
// the 504-byte material block, from a client to a server in another process.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "link/execute_text.h"
#include "link/instance.h"
#include "link/material_block.h"

namespace {

using namespace tessaran::link;

// A server that acknowledges everything, as the services do once idle.
class Acknowledge final : public Callbacks {
 public:
  bool Connect(ConversationId, const std::string&, const std::string&) override { return true; }
  Reply Transaction(ConversationId, const Frame&) override { return {ReplyStatus::Ack, {}}; }
  void Registered(const std::string&) override {}
  void Disconnected(ConversationId) override {}
};

class Session {
 public:
  Session() {
    folder_ = std::filesystem::temp_directory_path() / ("tessaran-link-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    server_ = fork();
    if (server_ == 0) {
      Acknowledge callbacks;
      auto instance = Instance::Initialize(0, callbacks, nullptr);
      if (!instance || !instance->RegisterService("BENCH", nullptr)) _exit(1);
      for (;;) instance->PollAndDispatch(1000);
    }
    instance_ = Instance::Initialize(0, client_, nullptr);
    for (int i = 0; i < 500 && conversation_ == 0; ++i) {
      conversation_ = instance_->Connect("BENCH", "BENCH");
      if (conversation_ == 0) usleep(10000);
    }
  }
  ~Session() {
    instance_.reset();
    kill(server_, SIGKILL);
    waitpid(server_, nullptr, 0);
    std::filesystem::remove_all(folder_);
  }
  bool RoundTrip(const Frame& frame) { return instance_->Transact(conversation_, frame, 1000, {}).Ok(); }

 private:
  Acknowledge client_;
  std::filesystem::path folder_;
  pid_t server_ = 0;
  std::unique_ptr<Instance> instance_;
  ConversationId conversation_ = 0;
};

Session& TheSession() {
  static Session session;
  return session;
}

void BM_ExecuteRoundTrip(benchmark::State& state) {
  Frame frame;
  frame.kind = FrameKind::Execute;
  frame.data = ExecuteData("RENDER", "/scenes/DEMO.MAQ");
  for (auto _ : state) {
    if (!TheSession().RoundTrip(frame)) state.SkipWithError("no reply");
  }
}
BENCHMARK(BM_ExecuteRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_MaterialPokeRoundTrip(benchmark::State& state) {
  Frame frame;
  frame.kind = FrameKind::Poke;
  frame.item = "Q1VOIR";
  frame.format = "QMXPlay";
  frame.data = EncodeMaterialBlock(MakeMaterialBlock(ColourWord(15, 4, 2), 30, 0, 0, 60, 40, "WOOD.LBM"));
  for (auto _ : state) {
    if (!TheSession().RoundTrip(frame)) state.SkipWithError("no reply");
  }
}
BENCHMARK(BM_MaterialPokeRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
