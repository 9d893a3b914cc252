// What the link's process tests share: a private runtime folder and
// settings per test, servers started as real processes, programs run to
// their end with their stderr kept.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/instance.h"

namespace tessaran::link::testing {

// Remembers every notification; counts what Dispatch delivered.
class Recorder final : public Callbacks {
 public:
  bool Connect(ConversationId, const std::string&, const std::string&) override { return false; }
  Reply Transaction(ConversationId, const Frame&) override { return {}; }
  void Registered(const std::string& service) override { registered.push_back(service); }
  void Disconnected(ConversationId id) override { disconnected.push_back(id); }
  std::vector<std::string> registered;
  std::vector<ConversationId> disconnected;
};

struct ProgramRun {
  int status = -1;
  std::string err;
};

class LinkProcessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The folder's private runtime folder, as the programs see it.
  std::filesystem::path RuntimeFolder() const { return base_ / "run" / "tessaran"; }
  std::filesystem::path Path(const std::string& name) const { return base_ / name; }
  // Starts link_test_server with the arguments and waits for its service.
  pid_t StartServer(const std::vector<std::string>& args);
  // Makes bin/NAME (the program directory's rz or tovix) start the test
  // server with these arguments.
  void InstallServerAs(const std::string& name, const std::vector<std::string>& args);
  // Runs a program to its end, with the debug console on.
  ProgramRun RunProgram(const std::vector<std::string>& argv);
  // Lines of the servers' log.
  std::vector<std::string> LogLines() const;
  // The servers' debug console.
  std::string ServerTraces() const;
  std::string LogPath() const { return (base_ / "server.log").string(); }
  // Waits until the file exists (at most 5 s).
  bool WaitForFile(const std::filesystem::path& file) const;
  // Sends QUIT to a service and waits for its process to end.
  void Quit(const std::string& service, pid_t pid = 0);

  std::filesystem::path base_;
  std::vector<pid_t> started_;
};

}  // namespace tessaran::link::testing
