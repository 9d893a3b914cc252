#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/console.h"
#include "platform/dynlib.h"
#include "platform/report.h"
#include "platform/sysinfo.h"
#include "platform/terminal.h"

namespace tessaran {
namespace {

TEST(Console, TracesOnlyWhenEnabledAndCutsAt500Characters) {
  ConsoleSetEnabled(false);
  testing::internal::CaptureStderr();
  Trace("hidden %d\n", 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  ConsoleSetEnabled(true);
  testing::internal::CaptureStderr();
  Trace("%s", std::string(2000, 'a').c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(500, 'a'));

  unsetenv("KORVANDBG");
  EXPECT_FALSE(ConsoleOpen());
  setenv("KORVANDBG", "", 1);
  EXPECT_TRUE(ConsoleOpen());
  ConsoleSetEnabled(false);
}

TEST(DynLib, SystemNamesMapToSharedObjects) {
  EXPECT_EQ(LibraryFileName("RZLNGFRA.DLL"), "librzlngfra.so");
  EXPECT_EQ(LibraryFileName("QMXAN.DLL"), "libqmxan.so");
  EXPECT_EQ(LibraryFileName("C:\\TESSARAN\\PICKIMG.DLL"), "libpickimg.so");
}

TEST(DynLib, MissingLibraryGivesTheReason) {
  std::string error;
  EXPECT_EQ(DynLib::Open("NOSUCHLIB.DLL", &error), nullptr);
  EXPECT_NE(error.find("libnosuchlib.so"), std::string::npos);
  EXPECT_FALSE(ProgramDirectory().empty());
}

TEST(DynLib, MissingWindowsLibraryIsToldAndGivesTheFailureStatus) {
  char program[] = "/somewhere/rz";
  char* argv[] = {program, nullptr};
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunWindowsLibrary("NOSUCHWIN.DLL", 1, argv, 7), 7);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.rfind("rz: cannot open the windows: ", 0), 0u) << said;
  EXPECT_NE(said.find("libnosuchwin.so"), std::string::npos) << said;
}

TEST(SysInfo, MemoryAndDiskFiguresAreReal) {
  EXPECT_GT(AvailableMemory(), 1u << 20);
  EXPECT_GT(FreeDiskSpace(TemporaryDirectory()), 0u);
  EXPECT_EQ(FreeDiskSpace("/no/such/directory"), 0u);
}

class RecordingReporter : public MessageReporter {
 public:
  void Report(MessageKind kind, int number, std::string_view text) override {
    kind_ = kind;
    number_ = number;
    text_ = text;
  }
  MessageKind kind_{};
  int number_ = 0;
  std::string text_;
};

class PrintfText : public MessageTextSource {
 public:
  std::string VFormat(int number, va_list args) override {
    char text[100];
    std::vsnprintf(text, sizeof text, number == 28 ? "Distance : %d" : "?", args);
    return text;
  }
};

TEST(Report, MessagesAreFormattedByTheInstalledSourceAndReported) {
  RecordingReporter reporter;
  PrintfText text;
  InstallReporter(&reporter);
  InstallMessageText(&text);
  ShowMessage(MessageKind::Information, 28, 17);
  EXPECT_EQ(reporter.kind_, MessageKind::Information);
  EXPECT_EQ(reporter.number_, 28);
  EXPECT_EQ(reporter.text_, "Distance : 17");
  InstallReporter(nullptr);
  InstallMessageText(nullptr);
  EXPECT_EQ(MessageText(5), "message 5");
}

TEST(Report, TerminalAskerAnswersFromTheCommandLineOrTheDefault) {
  TerminalAsker asker;
  InstallAsker(&asker);
  asker.SetAnswer(13, Answer::No);
  testing::internal::CaptureStderr();
  EXPECT_EQ(AskQuestion(QuestionButtons::YesNo, 13), Answer::No);
  EXPECT_EQ(AskQuestion(QuestionButtons::YesNo, 299), Answer::Yes);
  EXPECT_EQ(AskQuestion(QuestionButtons::OkCancel, 299), Answer::Ok);
  asker.SetDefault(Answer::Cancel);
  EXPECT_EQ(AskQuestion(QuestionButtons::YesNo, 300), Answer::No);
  std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("question 13: message 13 -> no"), std::string::npos);
  InstallAsker(nullptr);
}

}  // namespace
}  // namespace tessaran
