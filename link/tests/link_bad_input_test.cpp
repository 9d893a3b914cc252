// Hostile and broken peers: the server drops them and keeps serving, and
// no call waits longer than its time-out.
#include <gmock/gmock.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sys/wait.h>

#include "link/execute_text.h"
#include "link/program_client.h"
#include "link/tests/link_process.h"

namespace tessaran::link::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

// A raw peer of a service, writing whatever bytes it is given.
class RawPeer {
 public:
  explicit RawPeer(const fs::path& socketPath) {
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawPeer() { close(fd_); }
  bool Connected() const { return connected_; }
  void Write(const std::vector<std::uint8_t>& bytes) { send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // Whether the server closed this end within the time.
  bool ClosedWithin(int milliseconds) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) {
        std::uint8_t buffer[256];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return true;
      }
    }
    return false;
  }

 private:
  int fd_;
  bool connected_ = false;
};

Frame Execute(const std::string& command) {
  Frame f;
  f.kind = FrameKind::Execute;
  f.data = ExecuteData(command, command);
  return f;
}

std::vector<std::uint8_t> Connect() {
  Frame hello;
  hello.kind = FrameKind::Connect;
  hello.topic = kRendererService;
  return EncodeFrame(hello);
}

TEST_F(LinkProcessTest, BrokenPeersAreDroppedWhileTheOthersAreServed) {
  const pid_t server = StartServer({"--renderer"});
  const fs::path socketPath = RuntimeFolder() / kRendererService;
  RawPeer silent(socketPath);  // connects and never speaks
  RawPeer tooLong(socketPath);
  RawPeer badKind(socketPath);
  RawPeer noHandshake(socketPath);
  RawPeer truncated(socketPath);
  ASSERT_TRUE(silent.Connected() && tooLong.Connected() && badKind.Connected());
  tooLong.Write({0x01, 0x00, 0x10, 0x00, 2});  // 1 MiB + 1
  badKind.Write(Connect());
  badKind.Write({1, 0, 0, 0, 42});
  noHandshake.Write(EncodeFrame(Execute("SHOW")));
  std::vector<std::uint8_t> cut = Connect();
  cut[4 + 1] = 200;  // the topic's length runs past the frame
  truncated.Write(cut);
  EXPECT_TRUE(tooLong.ClosedWithin(2000));
  EXPECT_TRUE(badKind.ClosedWithin(2000));
  EXPECT_TRUE(noHandshake.ClosedWithin(2000));
  EXPECT_TRUE(truncated.ClosedWithin(2000));

  Recorder recorder;
  auto instance = Instance::Initialize(0, recorder, nullptr);
  const Clock::time_point start = Clock::now();
  const ConversationId id = instance->Connect(kRendererService, kRendererService);
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(instance->Transact(id, Execute("SHOW"), 1000, {}).Ok());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_THAT(ServerTraces(), HasSubstr("dropped: malformed frame"));
  // The silent peer goes once its handshake time is over.
  EXPECT_TRUE(silent.ClosedWithin(kHandshakeMilliseconds + 2000));
  instance.reset();
  Quit(kRendererService, server);
}

TEST_F(LinkProcessTest, AServerThatDiesOrStallsEndsTheTransactionInItsTime) {
  const pid_t dying = StartServer({"--player", "--die-on-transaction"});
  Recorder recorder;
  auto instance = Instance::Initialize(0, recorder, nullptr);
  ConversationId id = instance->Connect(kPlayerService, kPlayerService);
  ASSERT_NE(id, 0u);
  int pumped = 0;
  Clock::time_point start = Clock::now();
  EXPECT_EQ(instance->Transact(id, Execute("SHOW"), 1000, [&] { ++pumped; }).error, kErrorServerDied);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(instance->Transact(id, Execute("SHOW"), 1000, {}).error, kErrorNoConversation);
  instance->Dispatch();
  EXPECT_EQ(recorder.disconnected, std::vector<ConversationId>{id});
  waitpid(dying, nullptr, 0);
  started_.clear();

  const pid_t stalling = StartServer({"--player", "--stall-ms", "1500"});
  id = instance->Connect(kPlayerService, kPlayerService);
  ASSERT_NE(id, 0u);
  pumped = 0;
  start = Clock::now();
  EXPECT_EQ(instance->Transact(id, Execute("SHOW"), 300, [&] { ++pumped; }).error, kErrorExecuteTimeout);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::milliseconds(800));
  EXPECT_GT(pumped, 10);  // the caller's events kept running
  // The late reply of the timed-out transaction is not taken for the next one's.
  Frame request;
  request.kind = FrameKind::Request;
  request.item = kPlayerService;
  request.format = "QMXPlay";
  const TransactionResult next = instance->Transact(id, request, 5000, {});
  EXPECT_TRUE(next.Ok());
  EXPECT_EQ(next.data.size(), 4u);
  // The stalling server is ended with the test.
  EXPECT_GT(stalling, 0);
}

TEST_F(LinkProcessTest, AnOpenOrForeignSocketFolderIsRefusedWithAClearMessage) {
  fs::create_directories(RuntimeFolder());
  chmod(RuntimeFolder().c_str(), 0777);
  ProgramRun run = RunProgram({QMX_PROGRAM, "--batch", "--render", Path("bin").string()});
  EXPECT_EQ(run.status, 1);
  run = RunProgram({QMX_PROGRAM, "--batch", "--preview-material", "0", "0", "0", "0", "0", "0", "0", "0"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("cannot use " + RuntimeFolder().string() + ": its mode is 0777, not 0700"));
  if (getuid() == 0) {
    chmod(RuntimeFolder().c_str(), 0700);
    ASSERT_EQ(chown(RuntimeFolder().c_str(), 65534, 65534), 0);
    run = RunProgram({RZ_PROGRAM, "--batch", "--show-result"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("belongs to user 65534"));
  }
}

TEST_F(LinkProcessTest, BadBatchArgumentsAreRefusedBeforeAnythingIsSent) {
  fs::create_directories(Path("with blank"));
  std::ofstream(Path("with blank") / "A.MAQ") << "FORM";
  ProgramRun run = RunProgram({QMX_PROGRAM, "--batch", "--render", (Path("with blank") / "A.MAQ").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("at its first blank"));
  run = RunProgram({QMX_PROGRAM, "--batch", "--preview-material", "101", "0", "0", "0", "0", "0", "0", "0"});
  EXPECT_EQ(run.status, 2);
  EXPECT_THAT(run.err, HasSubstr("not a percentage"));
  run = RunProgram({QMX_PROGRAM, "--batch", "--preview-material", "0", "0", "0", "0", "0", "0", "16", "0"});
  EXPECT_EQ(run.status, 2);
  run = RunProgram({QMX_PROGRAM, "--batch", "--render", Path("MISSING.MAQ").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(RuntimeFolder() / kRendererService));
}

}  // namespace
}  // namespace tessaran::link::testing
