// The suite's conversations between real processes: the batch clients of
// the built programs against the test servers, started by hand or on demand.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include <gmock/gmock.h>

#include "link/execute_text.h"
#include "link/program_client.h"
#include "link/tests/link_process.h"
#include "renderer/app/render_project.h"

namespace tessaran::link::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

long Count(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

fs::path Scene(const fs::path& folder) {
  const fs::path scene = folder / "SCENE.MAQ";
  std::ofstream(scene) << "FORM";
  return scene;
}

TEST_F(LinkProcessTest, RenderStartsTheRendererWhenNoneRunsAndLeavesItServing) {
  InstallServerAs("rz", {"--renderer"});
  const fs::path scene = Scene(base_);
  const ProgramRun run = RunProgram({QMX_PROGRAM, "--batch", "--render", scene.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("pas d'instance de serveur DDE RZ enregistre"));
  EXPECT_THAT(run.err, HasSubstr("RZ s'enregistre\nTentative de connection\nOK\n"));
  EXPECT_THAT(run.err, HasSubstr("RZ XTYP_EXECUTE (RENDER " + scene.string() + ")\nDDEClientTransaction OK\n"));
  EXPECT_TRUE(Has(LogLines(), "dialog " + scene.string()));
  // The started renderer still serves: a second request finds it.
  const ProgramRun again = RunProgram({QMX_PROGRAM, "--batch", "--render", scene.string()});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_THAT(again.err, HasSubstr("Conversation établie avec une instance de RZ existante"));
  Quit(kRendererService);
  EXPECT_EQ(Count(LogLines(), "registered"), 1);
}

TEST_F(LinkProcessTest, RenderDuringARenderIsBusyUntilTheStopThenAccepted) {
  const pid_t pid = StartServer({"--renderer", "--state", "2"});
  const fs::path scene = Scene(base_);
  const ProgramRun run = RunProgram({QMX_PROGRAM, "--batch", "--render", scene.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("DDESERVEUR BUSY TRYING TO WAIT FOR IT\nDDEClientTransaction OK\n"));
  const std::vector<std::string> log = LogLines();
  const auto abort = std::find(log.begin(), log.end(), "abort");
  ASSERT_NE(abort, log.end());
  EXPECT_NE(std::find(abort, log.end(), "dialog " + scene.string()), log.end());
  EXPECT_THAT(ServerTraces(), HasSubstr("RENDERING EN COURS RETURN BUSY \n"));
  Quit(kRendererService, pid);
}

TEST_F(LinkProcessTest, CancelDuringARenderRefusesNewClientsAndStartsNoSecondRenderer) {
  InstallServerAs("rz", {"--renderer"});
  const pid_t pid = StartServer({"--renderer", "--state", "2", "--cancel"});
  const fs::path scene = Scene(base_);
  const ProgramRun first = RunProgram({QMX_PROGRAM, "--batch", "--render", scene.string()});
  EXPECT_EQ(first.status, 1);
  EXPECT_THAT(first.err, HasSubstr("did not accept the request"));
  EXPECT_THAT(ServerTraces(),
              HasSubstr("DDeDisconnect Q1 DDERefuseClient activé pour cette cession\n"));
  const ProgramRun second = RunProgram({QMX_PROGRAM, "--batch", "--render", scene.string()});
  EXPECT_EQ(second.status, 1);
  EXPECT_THAT(second.err, HasSubstr("refuses new conversations"));
  EXPECT_EQ(Count(LogLines(), "registered"), 1);
  kill(pid, SIGTERM);
}

TEST_F(LinkProcessTest, PokeDuringAPreviewStopsItAndTheRetryPreviewsTheMaterial) {
  const pid_t pid = StartServer({"--renderer", "--state", "1"});
  const ProgramRun run =
      RunProgram({QMX_PROGRAM, "--batch", "--preview-material", "30", "0", "0", "60", "40", "15", "4", "2", "WOOD.LBM"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("DDESERVEUR BUSY TRYING TO WAIT FOR IT\n"));
  const std::vector<std::string> log = LogLines();
  EXPECT_TRUE(Has(log, "abort"));
  EXPECT_TRUE(Has(log, "preview 30 0 0 60 40 0f42 [WOOD.LBM] [] []"));
  const std::string traces = ServerTraces();
  EXPECT_THAT(traces, HasSubstr("RECONNU \nDDE ColorMap :[WOOD.LBM] repX=1 repY=1\n"
                                "Reflection=30 Transmission=0 Refraction=0 KSpec=60 NSpec=40 Col=0f42\n"));
  Quit(kRendererService, pid);
}

TEST_F(LinkProcessTest, APokeStartsTheRendererWithThePreviewArgument) {
  InstallServerAs("rz", {"--renderer"});
  const ProgramRun run =
      RunProgram({QMX_PROGRAM, "--batch", "--preview-material", "0", "0", "0", "0", "0", "1", "2", "3"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("ClientTransaction XTYP_POKE OK\n"));
  EXPECT_TRUE(Has(LogLines(), "preview 0 0 0 0 0 0123 [] [] []"));
  Quit(kRendererService);
}

TEST_F(LinkProcessTest, ExecuteTextsAreCutAtBlanksAndUnknownCommandsAnsweredPerServer) {
  const pid_t renderer = StartServer({"--renderer"});
  const pid_t player = StartServer({"--player"});
  Recorder recorder;
  auto instance = Instance::Initialize(0, recorder, nullptr);
  ASSERT_TRUE(instance);
  const ConversationId rz = instance->Connect(kRendererService, kRendererService);
  const ConversationId tovix = instance->Connect(kPlayerService, kPlayerService);
  ASSERT_NE(rz, 0u);
  ASSERT_NE(tovix, 0u);
  auto execute = [&](ConversationId id, const std::string& text) {
    Frame f;
    f.kind = FrameKind::Execute;
    f.data.assign(text.begin(), text.end());
    f.data.push_back(0);
    return instance->Transact(id, f, 1000, {}).error;
  };
  EXPECT_EQ(execute(rz, "RENDER /scenes/my scene.MAQ"), kErrorNone);
  EXPECT_EQ(execute(rz, "RENDER"), kErrorNone);  // the previous argument again
  EXPECT_EQ(execute(rz, "BOGUS x"), kErrorNotProcessed);
  EXPECT_EQ(execute(rz, "render x"), kErrorNotProcessed);  // compared with case
  EXPECT_EQ(execute(tovix, "BOGUS x"), kErrorNone);
  EXPECT_EQ(execute(tovix, "VIEW /images/a b.TGA"), kErrorNone);
  // A poke of another item, and pokes to the player, are not processed.
  Frame poke;
  poke.kind = FrameKind::Poke;
  poke.item = "OTHER";
  poke.format = "QMXPlay";
  EXPECT_EQ(instance->Transact(rz, poke, 1000, {}).error, kErrorNotProcessed);
  poke.item = kMaterialItem;
  poke.data.assign(10, 0);  // shorter than the material record
  EXPECT_EQ(instance->Transact(rz, poke, 1000, {}).error, kErrorNotProcessed);
  poke.data.assign(504, 0);
  EXPECT_EQ(instance->Transact(tovix, poke, 1000, {}).error, kErrorNotProcessed);
  // Advise loops start on the server's own name only; advise data is kept
  // and requests read it back.
  Frame advise;
  advise.kind = FrameKind::AdvStart;
  advise.format = "QMXPlay";
  advise.item = kPlayerService;
  EXPECT_EQ(instance->Transact(tovix, advise, 1000, {}).error, kErrorNone);
  advise.item = kRendererService;
  EXPECT_EQ(instance->Transact(tovix, advise, 1000, {}).error, kErrorNotProcessed);
  advise.kind = FrameKind::AdvData;
  advise.data = {1, 2, 3, 4};
  EXPECT_EQ(instance->Transact(tovix, advise, 1000, {}).error, kErrorNone);
  advise.kind = FrameKind::Request;
  advise.data.clear();
  const TransactionResult request = instance->Transact(tovix, advise, 1000, {});
  EXPECT_EQ(request.data, (std::vector<std::uint8_t>{1, 2, 3, 4}));

  const std::vector<std::string> log = LogLines();
  EXPECT_EQ(Count(log, "dialog /scenes/my"), 2);
  EXPECT_TRUE(Has(log, "view /images/a"));
  instance.reset();
  Quit(kRendererService, renderer);
  Quit(kPlayerService, player);
}

TEST_F(LinkProcessTest, ShowResultSendsTheAnimationAndRetriesWhileThePlayerPlays) {
  InstallServerAs("tovix", {"--player", "--playing"});
  RenderProject project;
  project.SetSceneName("/films/FILM.MAQ");
  project.sceneCount = 2;
  project.imageCounts = {5};
  project.output = kOutAnimation | kOutImages | kOut24BitImages;
  const fs::path file = Path("FILM.RPJ");
  ASSERT_TRUE(WriteProject(project, file));
  const ProgramRun run = RunProgram({RZ_PROGRAM, "--batch", "--show-result", file.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("TOVIX XTYP_EXECUTE (ANIM /films/FILM.ANM)\n"
                                 "DDESERVEUR BUSY TRYING TO WAIT FOR IT\nDDEClientTransaction OK\n"));
  EXPECT_THAT(ServerTraces(), HasSubstr("Tentative d'interruption PlayAnim RETOUR BUSY\n"));
  const std::vector<std::string> log = LogLines();
  EXPECT_TRUE(Has(log, "stop"));
  EXPECT_TRUE(Has(log, "anim /films/FILM.ANM"));
  Quit(kPlayerService);
}

TEST_F(LinkProcessTest, ProgramsThatCannotBeStartedGiveTheirMessages) {
  // The program directory holds neither rz nor tovix.
  const ProgramRun qmx = RunProgram({QMX_PROGRAM, "--batch", "--render", Scene(base_).string()});
  EXPECT_EQ(qmx.status, 1);
  EXPECT_THAT(qmx.err, HasSubstr("41: Executable not found, or insufficent virtual memory"));
  const ProgramRun rz = RunProgram({RZ_PROGRAM, "--batch", "--show-result"});
  EXPECT_EQ(rz.status, 1);
  EXPECT_THAT(rz.err, HasSubstr("43: "));
}

TEST_F(LinkProcessTest, AStartedProgramThatEndsAtOnceIsNotWaitedFor) {
  // A renderer that cannot serve (as one without a display) ends at once.
  const fs::path rz = base_ / "bin" / "rz";
  std::ofstream(rz) << "#!/bin/sh\nexit 1\n";
  fs::permissions(rz, fs::perms::owner_all);
  const ProgramRun run = RunProgram({QMX_PROGRAM, "--batch", "--render", Scene(base_).string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("qmx: the renderer was started but ended before it registered"));
}

TEST_F(LinkProcessTest, AKilledServersSocketIsClearedByTheNextServer) {
  const pid_t first = StartServer({"--renderer"});
  kill(first, SIGKILL);
  waitpid(first, nullptr, 0);
  started_.clear();
  ASSERT_TRUE(fs::exists(RuntimeFolder() / "QMXRZ"));
  const pid_t second = StartServer({"--renderer"});
  EXPECT_THAT(ServerTraces(), HasSubstr("of a dead server removed"));
  Recorder recorder;
  auto instance = Instance::Initialize(0, recorder, nullptr);
  EXPECT_NE(instance->Connect(kRendererService, kRendererService), 0u);
  // While it runs, a third server does not take its name.
  const ProgramRun third = RunProgram({LINK_TEST_SERVER, "--renderer"});
  EXPECT_EQ(third.status, 1);
  EXPECT_THAT(third.err, HasSubstr("another server runs"));
  instance.reset();
  Quit(kRendererService, second);
}

TEST_F(LinkProcessTest, FiftyClientsAtOnceAreAllAnswered) {
  const pid_t server = StartServer({"--renderer"});
  std::vector<pid_t> clients;
  for (int i = 0; i < 50; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      Recorder recorder;
      auto instance = Instance::Initialize(0, recorder, nullptr);
      const ConversationId id = instance ? instance->Connect(kRendererService, kRendererService, 5000) : 0;
      Frame show;
      show.kind = FrameKind::Execute;
      show.data = ExecuteData("SHOW", "SHOW");
      _exit(id != 0 && instance->Transact(id, show, 5000, {}).Ok() ? 0 : 1);
    }
    clients.push_back(pid);
  }
  int answered = 0;
  for (pid_t pid : clients) {
    int status = 0;
    waitpid(pid, &status, 0);
    answered += WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  EXPECT_EQ(answered, 50);
  const std::vector<std::string> log = LogLines();
  EXPECT_EQ(Count(log, "show"), 50);
  Quit(kRendererService, server);
}

TEST_F(LinkProcessTest, NotificationsComeOnlyWhileDispatching) {
  Recorder recorder;
  auto instance = Instance::Initialize(0, recorder, nullptr);
  ASSERT_TRUE(instance);
  const pid_t server = StartServer({"--player"});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(recorder.registered.empty());
  instance->Dispatch();
  EXPECT_EQ(recorder.registered, std::vector<std::string>{kPlayerService});

  const ConversationId id = instance->Connect(kPlayerService, kPlayerService);
  ASSERT_NE(id, 0u);
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  started_.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(recorder.disconnected.empty());
  EXPECT_TRUE(instance->Connected(id));
  instance->Dispatch();
  EXPECT_EQ(recorder.disconnected, std::vector<ConversationId>{id});
  EXPECT_FALSE(instance->Connected(id));
}

TEST_F(LinkProcessTest, AServerTellsOfClientsThatLeave) {
  const pid_t server = StartServer({"--player"});
  {
    Recorder recorder;
    auto instance = Instance::Initialize(0, recorder, nullptr);
    ASSERT_NE(instance->Connect(kPlayerService, kPlayerService), 0u);
  }
  Quit(kPlayerService, server);
  const std::vector<std::string> log = LogLines();
  EXPECT_GE(Count(log, "disconnect"), 1);
  EXPECT_THAT(ServerTraces(), HasSubstr("XTYP_DISCONNECT\n"));
}

}  // namespace
}  // namespace tessaran::link::testing
