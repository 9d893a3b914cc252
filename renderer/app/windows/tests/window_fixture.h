// What the renderer windows' tests share: questions answered from a
// table, messages collected, and a fixture with the English library, its
// own settings folder and copies of the bundled demo.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "messages/message_library.h"
#include "platform/dynlib.h"
#include "platform/report.h"
#include "renderer/app/batch.h"
#include "renderer/app/renderer_shell.h"
#include "ui/tests/qt_test_app.h"

namespace tessaran {

namespace fs = std::filesystem;

// Answers questions from a table and remembers which were asked.
class TableAsker final : public QuestionAsker {
 public:
  Answer Ask(int number, std::string_view, QuestionButtons buttons) override {
    asked.push_back(number);
    if (auto it = answers.find(number); it != answers.end()) return it->second;
    return buttons == QuestionButtons::OkCancel ? Answer::Ok : Answer::No;
  }
  std::map<int, Answer> answers;
  std::vector<int> asked;
};

class SilentReporter final : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view text) override {
    reports.push_back(std::to_string(number) + " " + std::string(text));
  }
  std::vector<std::string> reports;
};

class RendererWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    dir_ = fs::temp_directory_path() / ("tessaran-rzwin-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    setenv("TESSARAN_CONFIG", (dir_ / "config").c_str(), 1);
    ASSERT_EQ(library_.Load("RZLNGENG.DLL"), LoadResult::Loaded);
    InstallMessageText(&library_);
    InstallAsker(&asker_);
    InstallReporter(&reporter_);
  }
  void TearDown() override {
    InstallAsker(nullptr);
    InstallReporter(nullptr);
    InstallMessageText(nullptr);
    SetOutputDirectory({});
    fs::remove_all(dir_);
  }

  // A copy of the bundled demo in a folder of its own; its maps are found
  // in the data directory.
  fs::path DemoIn(const std::string& folder) {
    fs::create_directories(dir_ / folder);
    const fs::path scene = dir_ / folder / "DEMO.MAQ";
    fs::copy_file(ProgramDirectory() / "DEMO.MAQ", scene, fs::copy_options::overwrite_existing);
    return scene;
  }

  // The shell as `rz --batch SCENE options` sets it up.
  void StartLikeBatch(RendererShell& shell, const fs::path& scene, const std::vector<std::string>& options) {
    shell.settings = ReadRendererSettings();
    shell.settings.testRayTimeCost = false;
    ResolveDirectories(shell, ProgramDirectory());
    StartFromArgument(shell, "");
    shell.project.SetSceneName("");
    AttachScene(shell, scene, true);
    RendererBatchOptions parsed;
    std::string error;
    std::vector<std::string> args{"--batch"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_TRUE(ParseRendererBatch(args, parsed, error)) << error;
    RenderProject copy = shell.project;
    ApplyOverrides(parsed, copy);
    TakeWorkingCopy(shell, copy);
    shell.threads = parsed.threads;
  }

  fs::path dir_;
  MessageLibrary library_{MessageProgram::Renderer};
  TableAsker asker_;
  SilentReporter reporter_;
};

}  // namespace tessaran
