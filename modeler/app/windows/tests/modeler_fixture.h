// What the modeler windows' tests share: questions answered from a table,
// messages collected, a server of the link that records what it receives,
// and a fixture with the English library, its own
// settings and runtime folders, and a scene.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/execute_text.h"
#include "link/instance.h"
#include "messages/message_library.h"
#include "modeler/app/build_ops.h"
#include "platform/report.h"
#include "scene/scene_model.h"
#include "ui/link_watcher.h"
#include "ui/tests/qt_test_app.h"

namespace tessaran {

namespace fs = std::filesystem;

// Answers questions from a table (OK otherwise) and remembers which were asked.
class TableAsker final : public QuestionAsker {
 public:
  Answer Ask(int number, std::string_view, QuestionButtons) override {
    asked.push_back(number);
    if (auto it = answers.find(number); it != answers.end()) return it->second;
    return Answer::Ok;
  }
  std::map<int, Answer> answers;
  std::vector<int> asked;
};

// Collects the numbers of the messages shown.
class CollectingReporter final : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view) override { shown.push_back(number); }
  std::vector<int> shown;
};

// A renderer or player that only remembers the commands and the pokes it
// was sent.
class RecordingServer final : public link::Callbacks {
 public:
  explicit RecordingServer(const char* service) {
    instance_ = link::Instance::Initialize(link::kFailSelfConnections, *this, nullptr);
    registered = instance_ && instance_->RegisterService(service, nullptr);
    if (registered) watcher_ = std::make_unique<LinkWatcher>(*instance_);
  }
  bool Connect(link::ConversationId, const std::string&, const std::string&) override { return true; }
  link::Reply Transaction(link::ConversationId, const link::Frame& frame) override {
    if (frame.kind == link::FrameKind::Poke) {
      pokes.push_back(frame);
      return {link::ReplyStatus::Ack, {}};
    }
    std::string command, argument;
    text_.Split(frame.data, command, argument);
    received.push_back(command + " " + argument);
    return {link::ReplyStatus::Ack, {}};
  }
  void Registered(const std::string&) override {}
  void Disconnected(link::ConversationId) override {}

  bool registered = false;
  std::vector<std::string> received;
  std::vector<link::Frame> pokes;

 private:
  std::unique_ptr<link::Instance> instance_;
  std::unique_ptr<LinkWatcher> watcher_;
  link::ExecuteText text_;
};

class ModelerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    dir_ = fs::temp_directory_path() / ("tessaran-qmxwin-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "runtime");
    setenv("TESSARAN_CONFIG", (dir_ / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    ASSERT_EQ(library_.Load("QMXAN.DLL"), LoadResult::Loaded);
    InstallMessageText(&library_);
    InstallAsker(&asker_);
    InstallReporter(&reporter_);
    scene_ = std::make_unique<SceneModel>();
  }
  void TearDown() override {
    InstallReporter(nullptr);
    InstallAsker(nullptr);
    InstallMessageText(nullptr);
    fs::remove_all(dir_);
  }

  // A box of 2 × 2 × 2 intervals at the origin.
  void AddBox(SceneModel& scene) {
    BuildError error;
    ASSERT_TRUE(BuildPrimitive(scene, "box", 4, 3, -1, error)) << error.text;
  }

  fs::path dir_;
  MessageLibrary library_{MessageProgram::Modeler};
  TableAsker asker_;
  CollectingReporter reporter_;
  std::unique_ptr<SceneModel> scene_;
};

}  // namespace tessaran
