// The renderer shell without windows: settings and their ranges, the file
// kind of a command-line argument, start-up, attaching a scene, the
// write-protected scene directory and the render poll.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/profile.h"
#include "platform/terminal.h"
#include "renderer/app/render_poll.h"
#include "renderer/app/renderer_shell.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

struct Questions : QuestionAsker {
  std::vector<int> asked;
  Answer answer = Answer::Yes;
  Answer Ask(int number, std::string_view, QuestionButtons) override {
    asked.push_back(number);
    return answer;
  }
};

struct Quiet : MessageReporter {
  std::vector<int> numbers;
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
};

class Shell : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-shell-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "data");
    fs::create_directories(dir_ / "config");
    setenv("TESSARAN_CONFIG", (dir_ / "config").c_str(), 1);
    InstallAsker(&questions_);
    InstallReporter(&quiet_);
    shell_.dataDirectory = dir_ / "data";
  }
  void TearDown() override {
    InstallAsker(nullptr);
    InstallReporter(nullptr);
    fs::remove_all(dir_);
  }
  void Set(const char* key, const char* value) {
    ASSERT_TRUE(WriteProfileString(kRendererSection, key, value, kProfileFile));
  }
  void WriteProjectWithScene(const fs::path& path, const std::string& scene, int width) {
    RenderProject p;
    p.SetSceneName(scene);
    p.width = static_cast<std::int16_t>(width);
    ASSERT_TRUE(WriteProject(p, path));
  }

  fs::path dir_;
  Questions questions_;
  Quiet quiet_;
  RendererShell shell_;
};

TEST_F(Shell, SettingsAreKeptWithinTheirRanges) {
  EXPECT_EQ(ReadRendererSettings(), RendererSettings{});
  Set("MAX_OCTREE_DEPTH", "0");
  Set("MAX_ANTIALIAS_DEPTH", "1");
  Set("OCTREE_MAX_NODE_ELEM", "5000");
  Set("SCRUTE_PRI", "0");
  RendererSettings s = ReadRendererSettings();
  EXPECT_EQ(s.maxOctreeDepth, 1);
  EXPECT_EQ(s.maxAntialiasDepth, 2);
  EXPECT_EQ(s.octreeMaxNodeElem, 1000);
  EXPECT_EQ(s.scrutePri, 1);
  Set("MAX_OCTREE_DEPTH", "12");
  Set("MAX_ANTIALIAS_DEPTH", "9");
  Set("SCRUTE_PRI", "-40");
  s = ReadRendererSettings();
  EXPECT_EQ(s.maxOctreeDepth, 8);
  EXPECT_EQ(s.maxAntialiasDepth, 5);
  EXPECT_EQ(s.scrutePri, 1);

  // The window rectangle is stored right, top, left, bottom.
  Set("MainWindow", "900 10 100 700");
  s = ReadRendererSettings();
  EXPECT_EQ(s.mainWindow, (std::array<int, 4>{900, 10, 100, 700}));

  // "LAST_RPJ" names only a project that exists; the read-only keys stay unwritten.
  Set("SCRUTE_PRI", "7");
  ASSERT_TRUE(WriteRendererSettings(s, (dir_ / "none.RPJ").string(), "ENG"));
  EXPECT_EQ(ReadRendererSettings().lastProject, "DEFAULT");
  EXPECT_EQ(ReadRendererSettings().scrutePri, 7);
  WriteProjectWithScene(dir_ / "P.RPJ", "", 320);
  ASSERT_TRUE(WriteRendererSettings(s, (dir_ / "P.RPJ").string(), "FRA"));
  EXPECT_EQ(ReadRendererSettings().lastProject, (dir_ / "P.RPJ").string());
  EXPECT_EQ(ReadRendererSettings().language, "FRA");

  // The recent projects: newest first, each once, ten at most, and a
  // forgotten one leaves no gap.
  RendererSettings recent;
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(RememberProject(recent, "P" + std::to_string(i) + ".RPJ"));
  ASSERT_TRUE(RememberProject(recent, "P5.RPJ"));
  std::vector<std::string> expected{"P5.RPJ", "P11.RPJ", "P10.RPJ", "P9.RPJ", "P8.RPJ",
                                    "P7.RPJ", "P6.RPJ",  "P4.RPJ",  "P3.RPJ", "P2.RPJ"};
  EXPECT_EQ(ReadRendererSettings().recentProjects, expected);
  ASSERT_TRUE(ForgetProject(recent, "P9.RPJ"));
  expected.erase(expected.begin() + 3);
  EXPECT_EQ(ReadRendererSettings().recentProjects, expected);
}

TEST_F(Shell, ArgumentsAreClassifiedByTheFileKindTable) {
  std::string base;
  EXPECT_EQ(ClassifyFile("C:\\SCENES\\DEMO.maq", &base), 16);
  EXPECT_EQ(base, "DEMO.maq");
  EXPECT_EQ(ClassifyFile("a/b/render.RPJ"), 15);
  EXPECT_EQ(ClassifyFile("x.lbm"), 0);
  EXPECT_EQ(ClassifyFile("x.AVI"), 19);
  EXPECT_EQ(ClassifyFile("x.see"), 18);
  EXPECT_EQ(ClassifyFile("x.txt"), -1);
  EXPECT_EQ(ClassifyFile("noextension"), -2);
  ClassifyFile("a/averyveryverylongname.RPJ", &base);
  EXPECT_EQ(base.size(), 13u);
}

TEST_F(Shell, StartUpChoosesTheProjectOfTheArgument) {
  // No argument: "DEFAUT.RPJ" of the data directory.
  WriteProjectWithScene(dir_ / "data" / kDefaultProject, "DEMO.MAQ", 400);
  EXPECT_EQ(StartFromArgument(shell_, ""), StartAction::OpenDialog);
  EXPECT_EQ(shell_.projectPath, dir_ / "data" / kDefaultProject);
  EXPECT_EQ(shell_.project.width, 400);
  EXPECT_TRUE(shell_.saved);

  // A project without extension gets ".RPJ" and renders at once.
  WriteProjectWithScene(dir_ / "data" / "MINE.RPJ", "MINE.MAQ", 500);
  EXPECT_EQ(StartFromArgument(shell_, "MINE"), StartAction::RenderNow);
  EXPECT_EQ(shell_.project.width, 500);

  // "LAST_RPJ" wins over the default when set.
  shell_.settings.lastProject = (dir_ / "data" / "MINE.RPJ").string();
  StartFromArgument(shell_, "");
  EXPECT_EQ(shell_.project.width, 500);

  // An image argument is the ground mapping, kept over the project loaded.
  StartFromArgument(shell_, "2 3 GROUND.LBM");
  EXPECT_EQ(shell_.project.width, 500);
  EXPECT_EQ(shell_.project.ground.kind, 0);
  EXPECT_EQ(shell_.project.ground.scaleX, 200000);
  EXPECT_EQ(shell_.project.ground.scaleY, 300000);

  // A damaged project leaves the defaults, not saved.
  std::ofstream(dir_ / "data" / "BAD.RPJ") << "garbage";
  StartFromArgument(shell_, "BAD.RPJ");
  EXPECT_EQ(shell_.project, RenderProject{});
  EXPECT_FALSE(shell_.saved);
  EXPECT_EQ(quiet_.numbers.front(), kMsgProjectInvalid);
}

TEST_F(Shell, AttachingASceneTakesItsMatchingOrTheDefaultProject) {
  const fs::path scene = dir_ / "S.MAQ";
  WriteProjectWithScene(dir_ / "data" / kDefaultProject, "OTHER.MAQ", 400);

  // No matching project: question 320, then the default one.
  AttachScene(shell_, scene, true);
  EXPECT_EQ(questions_.asked, std::vector<int>{kMsgLoadDefault});
  EXPECT_EQ(shell_.project.width, 400);
  EXPECT_EQ(shell_.project.SceneName(), scene.string());
  EXPECT_EQ(shell_.projectPath, dir_ / "data" / kDefaultProject);
  EXPECT_FALSE(shell_.saved);

  // The same scene again changes nothing.
  questions_.asked.clear();
  AttachScene(shell_, scene, true);
  EXPECT_TRUE(questions_.asked.empty());

  // A matching project: question 319, then that project.
  WriteProjectWithScene(dir_ / "T.RPJ", "", 600);
  shell_.saved = true;
  AttachScene(shell_, dir_ / "T.MAQ", true);
  EXPECT_EQ(questions_.asked, std::vector<int>{kMsgLoadMatching});
  EXPECT_EQ(shell_.project.width, 600);
  EXPECT_EQ(shell_.projectPath, dir_ / "T.RPJ");

  // Refusing keeps the project but not its resume position.
  shell_.project.resumeX = 5;
  questions_.answer = Answer::No;
  AttachScene(shell_, dir_ / "U.MAQ", true);
  EXPECT_FALSE(shell_.project.HasResume());
  EXPECT_EQ(shell_.project.width, 600);
  EXPECT_TRUE(shell_.projectPath.empty() || shell_.projectPath == dir_ / "U.RPJ");
}

TEST_F(Shell, AChangedProjectThatCanResumeAsksFirst) {
  shell_.project.resumeX = 3;
  RenderProject copy = shell_.project;
  EXPECT_FALSE(TakeWorkingCopy(shell_, copy));  // unchanged: nothing asked
  EXPECT_TRUE(questions_.asked.empty());
  copy.width = 100;
  questions_.answer = Answer::No;
  EXPECT_FALSE(TakeWorkingCopy(shell_, copy));
  EXPECT_EQ(shell_.project.width, 320);
  questions_.answer = Answer::Yes;
  EXPECT_TRUE(TakeWorkingCopy(shell_, copy));
  EXPECT_EQ(shell_.project.width, 100);
  EXPECT_FALSE(shell_.project.HasResume());
}

TEST_F(Shell, AnUnwritableSceneDirectoryRedirectsToTheDataDirectory) {
  // A directory that cannot be written: read-only for a plain user; one
  // that is not there (a disc that went away) for anyone.
  fs::path unwritable = dir_ / "gone";
  if (geteuid() != 0) {
    unwritable = dir_ / "ro";
    fs::create_directories(unwritable);
    fs::permissions(unwritable, fs::perms::owner_read | fs::perms::owner_exec);
  }
  TestSceneDirectory(shell_, unwritable / "S.MAQ");
  EXPECT_EQ(shell_.redirect, shell_.dataDirectory);
  EXPECT_EQ(quiet_.numbers, std::vector<int>{kMsgWriteProtected});
  // The message is given once while the redirect holds.
  TestSceneDirectory(shell_, unwritable / "T.MAQ");
  EXPECT_EQ(quiet_.numbers.size(), 1u);
  // Project files follow the redirect.
  shell_.projectPath = unwritable / "S.RPJ";
  EXPECT_TRUE(SaveProject(shell_));
  EXPECT_TRUE(fs::exists(shell_.dataDirectory / "S.RPJ"));

  TestSceneDirectory(shell_, dir_ / "S.MAQ");
  EXPECT_TRUE(shell_.redirect.empty());
  EXPECT_FALSE(fs::exists(dir_ / "wrwrtest.wrt"));
  if (fs::exists(dir_ / "ro")) fs::permissions(dir_ / "ro", fs::perms::owner_all);
}

TEST_F(Shell, TheResumeProjectHoldsTheEffectiveSettings) {
  shell_.project.SetSceneName((dir_ / "S.MAQ").string());
  shell_.project.width = 64;  // an override of the run
  shell_.project.resumeX = 10;
  shell_.project.resumeY = 20;
  const fs::path resume = dir_ / "S.RPJ";
  ASSERT_TRUE(WriteResumeProject(shell_, resume));
  EXPECT_TRUE(questions_.asked.empty());
  EXPECT_EQ(quiet_.numbers, std::vector<int>{kMsgResumeFromScene});
  RenderProject back;
  ASSERT_TRUE(ReadProject(back, resume));
  EXPECT_EQ(back, shell_.project);

  // An existing file is replaced only when the user agrees.
  shell_.project.resumeY = 21;
  questions_.answer = Answer::No;
  EXPECT_FALSE(WriteResumeProject(shell_, resume));
  EXPECT_EQ(questions_.asked, std::vector<int>{kMsgResumeProjectExists});
  ASSERT_TRUE(ReadProject(back, resume));
  EXPECT_EQ(back.resumeY, 20);
  questions_.answer = Answer::Yes;
  EXPECT_TRUE(WriteResumeProject(shell_, resume));
  ASSERT_TRUE(ReadProject(back, resume));
  EXPECT_EQ(back.resumeY, 21);
}

TEST_F(Shell, TheRenderPollAnswersAStopOnce) {
  ShellRenderPoll poll(3, nullptr);
  EXPECT_FALSE(poll.Poll(0.1));
  RequestStop();
  EXPECT_TRUE(poll.Poll(0.2));
  EXPECT_FALSE(poll.Poll(0.3));
  ShellRenderPoll zero(0, nullptr);  // a period of 0 is read as 1
  EXPECT_FALSE(zero.Poll(0.5));
}

TEST_F(Shell, AbsurdImageSizesAreRefused) {
  std::string reason;
  EXPECT_TRUE(ImageSizeUsable(1, 1, &reason));
  EXPECT_TRUE(ImageSizeUsable(4096, 2730, &reason));
  EXPECT_FALSE(ImageSizeUsable(0, 0, &reason));
  EXPECT_NE(reason.find("0 x 0"), std::string::npos);
  EXPECT_FALSE(ImageSizeUsable(70000, 10, &reason));
  EXPECT_FALSE(ImageSizeUsable(-5, 10, &reason));
  EXPECT_FALSE(ImageSizeUsable(32767, 32767, &reason));
}

}  // namespace
}  // namespace tessaran
