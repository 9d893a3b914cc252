// The player's window: the delay keys, slide shows, the close and the link's
// "ANIM" during a playback, the frames shown against the decoders, the
// animation operations against the batch ones, the language switch, and
// `tovix` itself under Xvfb when that is installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "imaging/testing/picture_support.h"
#include "link/instance.h"
#include "link/program_client.h"
#include "messages/message_library.h"
#include "platform/bytes.h"
#include "platform/profile.h"
#include "player/anim_batch.h"
#include "player/frame_source.h"
#include "player/link_server.h"
#include "player/picture_output.h"
#include "player/slide_show.h"
#include "player/windows/picture_view.h"
#include "player/windows/player_window.h"
#include "storage/virtim.h"
#include "ui/tests/qt_test_app.h"
#include "ui/tests/xvfb_capture.h"
#include "ui/vim_image.h"

namespace tessaran::player {
namespace {

namespace fs = std::filesystem;
using testing_support::ScratchFolder;
using testing_support::TestData;

class RecordingReporter final : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view text) override {
    numbers.push_back(number);
    texts.emplace_back(text);
  }
  std::vector<int> numbers;
  std::vector<std::string> texts;
};

class TableAsker final : public QuestionAsker {
 public:
  Answer Ask(int number, std::string_view, QuestionButtons) override {
    asked.push_back(number);
    return answer;
  }
  Answer answer = Answer::Yes;
  std::vector<int> asked;
};

// Every frame of an animation as the decoder gives it.
std::vector<QImage> DecodedFrames(const fs::path& file) {
  std::ostringstream err;
  WorkSlots workSlots;
  AnimFrameSource source;
  std::vector<QImage> frames;
  if (!source.Open(file, err)) return frames;
  for (int i = 0; i < source.count && source.Next(); ++i) frames.push_back(VimToImage(VimSlot(kPictureSlot)));
  return frames;
}

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }

QImage ReferencePicture(const fs::path& ppm) {
  const testing_support::RgbPicture p = testing_support::ReadPpmFile(ppm);
  QImage image(int(p.width), int(p.height), QImage::Format_RGB888);
  for (std::uint32_t y = 0; y < p.height; ++y)
    for (std::uint32_t x = 0; x < p.width; ++x) image.setPixel(int(x), int(y), p.At(x, y));
  return image;
}

link::Frame Execute(const std::string& text) {
  link::Frame frame;
  frame.kind = link::FrameKind::Execute;
  frame.data.assign(text.begin(), text.end());
  frame.data.push_back(0);
  return frame;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  Bytes x, y;
  return ReadWholeFile(a, x) && ReadWholeFile(b, y) && x == y;
}

class PlayerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    dir_ = ScratchFolder("player-window");
    fs::create_directories(dir_ / "config");
    setenv("TESSARAN_CONFIG", (dir_ / "config").c_str(), 1);
    ASSERT_EQ(library_.Load("TXLNGENG.DLL"), LoadResult::Loaded);
    InstallMessageText(&library_);
    InstallReporter(&reporter_);
    InstallAsker(&asker_);
    window_ = std::make_unique<PlayerWindow>(library_, settings_);
    window_->resize(320, 240);
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    InstallReporter(nullptr);
    InstallAsker(nullptr);
    InstallMessageText(nullptr);
    fs::remove_all(dir_);
  }
  // Runs `what` `ms` after the next playback or operation has shown its
  // first frame: loading the frames may take any time on a busy machine.
  void During(int ms, std::function<void()> what) {
    const long long before = window_->FramesShown();
    auto* watch = new QTimer(window_.get());
    watch->setInterval(0);
    QObject::connect(watch, &QTimer::timeout, window_.get(), [this, watch, before, ms, what] {
      if (window_->FramesShown() <= before) return;
      watch->stop();
      watch->deleteLater();
      if (ms == 0) return what();
      QTimer::singleShot(ms, what);
    });
    watch->start();
  }

  fs::path dir_;
  MessageLibrary library_{MessageProgram::Player};
  RecordingReporter reporter_;
  TableAsker asker_;
  PlayerSettings settings_;
  std::unique_ptr<PlayerWindow> window_;
};

TEST(PlaybackTest, DelayKeysStayWithinTheirBounds) {
  Playback p;
  p.Start();
  EXPECT_EQ(p.delayMs, 20);
  p.Key(PlayKey::Right);
  EXPECT_EQ(p.delayMs, 10);
  p.Key(PlayKey::Right);
  EXPECT_EQ(p.delayMs, 10);  // not below the timer step
  p.Key(PlayKey::Left);
  p.Key(PlayKey::Left);
  EXPECT_EQ(p.delayMs, 30);
  p.Key(PlayKey::Backspace);
  EXPECT_EQ(p.delayMs, 10);
  // Home and End work only while paused; Space pauses, then steps.
  EXPECT_FALSE(p.Key(PlayKey::Home));
  p.Key(PlayKey::Space);
  EXPECT_TRUE(p.paused);
  EXPECT_FALSE(p.step);
  p.Key(PlayKey::Space);
  EXPECT_TRUE(p.paused && p.step);
  p.step = false;
  EXPECT_TRUE(p.Key(PlayKey::End));
  EXPECT_EQ(p.jump, FrameJump::Last);
  p.Key(PlayKey::Enter);
  EXPECT_FALSE(p.paused);
  p.Key(PlayKey::Escape);
  EXPECT_EQ(p.state, PlayerState::StopRequested);
  // A new playback starts at 20 ms again.
  p.Start();
  EXPECT_EQ(p.delayMs, 20);
  EXPECT_EQ(p.state, PlayerState::Playing);
}

TEST(SlideShowReaderTest, LinesLoopsAndEnds) {
  const fs::path folder = ScratchFolder("slide-reader");
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(folder / name) << text;
    return folder / name;
  };
  SlideShowReader reader;
  SlideEntry e;
  // "BOUCLE" reads the first line again; relative names are the show's folder's.
  ASSERT_TRUE(reader.Open(write("loop.shw", "A.BMP 2\nsub\\B.LBM 3\nBOUCLE\n")));
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(reader.Next(e), SlideRead::Entry);
    EXPECT_EQ(e.file, folder / "A.BMP");
    EXPECT_EQ(e.seconds, 2);
    ASSERT_EQ(reader.Next(e), SlideRead::Entry);
    EXPECT_EQ(e.file, folder / "sub/B.LBM");
  }
  // No "FIN": the end of the file; bad lines are skipped; "FIN" ends.
  ASSERT_TRUE(reader.Open(write("end.shw", "\nnonumber\nC.BMP 1\r\n")));
  EXPECT_EQ(reader.Next(e), SlideRead::Entry);
  EXPECT_EQ(e.seconds, 1);
  EXPECT_EQ(reader.Next(e), SlideRead::EndOfFile);
  ASSERT_TRUE(reader.Open(write("fin.shw", "/abs/D.BMP 4\nFIN\nE.BMP 1\n")));
  EXPECT_EQ(reader.Next(e), SlideRead::Entry);
  EXPECT_EQ(e.file, fs::path("/abs/D.BMP"));
  EXPECT_EQ(reader.Next(e), SlideRead::Finished);
  // A loop with no entry on its way ends instead of turning for ever.
  ASSERT_TRUE(reader.Open(write("empty.shw", "garbage\nBOUCLE\n")));
  EXPECT_EQ(reader.Next(e), SlideRead::EndOfFile);
  // A line longer than the limit is cut, not read as two lines.
  ASSERT_TRUE(reader.Open(write("long.shw", "F.BMP 5" + std::string(400, ' ') + "7\nG.BMP 6\n")));
  EXPECT_EQ(reader.Next(e), SlideRead::Entry);
  EXPECT_EQ(e.seconds, 5);
  EXPECT_EQ(reader.Next(e), SlideRead::Entry);
  EXPECT_EQ(e.seconds, 6);
  EXPECT_FALSE(reader.Open(folder / "missing.shw"));
  fs::remove_all(folder);
}

TEST_F(PlayerWindowTest, SlideShowsLoopOnBoucleAndEndWith223) {
  const fs::path a = TestData("bmp/b24_40x30.bmp"), b = TestData("bmp/b8_21x13.bmp");
  std::ofstream(dir_ / "loop.shw") << a.string() << " 2\n" << b.string() << " 1\nBOUCLE\n";
  window_->StartSlideShow((dir_ / "loop.shw").string());
  EXPECT_TRUE(window_->SlideShowRunning());
  std::vector<int> widths;
  for (int second = 0; second < 9; ++second) {
    widths.push_back(window_->View()->Shown().width());
    window_->SlideTick();
  }
  EXPECT_EQ(widths, (std::vector<int>{40, 40, 21, 40, 40, 21, 40, 40, 21}));
  EXPECT_TRUE(window_->SlideShowRunning());
  EXPECT_TRUE(reporter_.numbers.empty());

  std::ofstream(dir_ / "end.shw") << a.string() << " 1\n";
  window_->StartSlideShow((dir_ / "end.shw").string());
  window_->SlideTick();
  EXPECT_FALSE(window_->SlideShowRunning());
  EXPECT_EQ(reporter_.numbers, std::vector<int>{223});
  // Esc stops a show.
  window_->StartSlideShow((dir_ / "loop.shw").string());
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  EXPECT_FALSE(window_->SlideShowRunning());
}

TEST_F(PlayerWindowTest, ShownFramesAreTheDecodedFrames) {
  for (const char* name : {"anm/bomb.anm", "avi/raw_bgr24_20x14.avi", "anim/color-balls.anim"}) {
    const std::vector<QImage> frames = DecodedFrames(TestData(name));
    ASSERT_FALSE(frames.empty()) << name;
    window_->PlayAnim(TestData(name), kPlayTimes + 1);
    EXPECT_EQ(window_->State(), PlayerState::Idle);
    EXPECT_TRUE(window_->FramesInMemory());
    EXPECT_EQ(window_->FrameIndex(), int(frames.size()) - 1) << name;
    EXPECT_EQ(Rgb(window_->View()->Shown()), Rgb(frames.back())) << name;
    const QImage painted = window_->View()->viewport()->grab().toImage();
    EXPECT_EQ(Rgb(painted.copy(0, 0, frames.back().width(), frames.back().height())), Rgb(frames.back())) << name;
  }
  // The first frame of the ANM is the reference decoding, from memory or from the disk.
  const QImage first = ReferencePicture(TestData("anm/bomb.anm.f001.ref.ppm"));
  for (bool fromDisk : {false, true}) {
    settings_.directFromDisk = fromDisk;
    During(30, [&] { QTest::keyClick(window_.get(), Qt::Key_Space); });
    During(60, [&] { QTest::keyClick(window_.get(), Qt::Key_Home); });
    During(90, [&] {
      EXPECT_EQ(window_->FrameIndex(), 0);
      EXPECT_EQ(Rgb(window_->View()->Shown()), first);
      QTest::keyClick(window_.get(), Qt::Key_End);
    });
    During(120, [&] {
      EXPECT_EQ(window_->FrameIndex(), int(DecodedFrames(TestData("anm/bomb.anm")).size()) - 1);
      QTest::keyClick(window_.get(), Qt::Key_Escape);
    });
    window_->PlayAnim(TestData("anm/bomb.anm"), kPlayForever);
    EXPECT_EQ(window_->FramesInMemory(), !fromDisk);
    EXPECT_EQ(window_->State(), PlayerState::Idle);
  }
}

TEST_F(PlayerWindowTest, DelayKeysReachThePlayback) {
  During(0, [&] {
    QTest::keyClick(window_.get(), Qt::Key_Right);
    QTest::keyClick(window_.get(), Qt::Key_Right);
    EXPECT_EQ(window_->Timing().delayMs, 10);
    QTest::keyClick(window_.get(), Qt::Key_Left);
    EXPECT_EQ(window_->Timing().delayMs, 20);
    QTest::keyClick(window_.get(), Qt::Key_Escape);
  });
  window_->PlayAnim(TestData("anm/bomb.anm"), kPlayForever);
  EXPECT_EQ(window_->State(), PlayerState::Idle);
  EXPECT_GT(window_->FramesShown(), 0);
}

TEST_F(PlayerWindowTest, CloseDuringPlaybackWaitsForTheStop) {
  bool closedAtOnce = true;
  During(40, [&] {
    closedAtOnce = window_->close();
    EXPECT_TRUE(window_->isVisible());
  });
  window_->PlayAnim(TestData("anm/bomb.anm"), kPlayForever);
  EXPECT_FALSE(closedAtOnce);
  // Once stopped, the close that waited is carried out and the settings written.
  EXPECT_TRUE(window_->isVisible());
  QCoreApplication::processEvents();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(GetProfileString("TESSARAN", "LANGUE", "", "TESSARAN.INI"), "ENG");
  EXPECT_NE(GetProfileString("TOVIX_ENV", "MainWindow", "0 0 0 0", "TESSARAN.INI"), "0 0 0 0");
}

TEST_F(PlayerWindowTest, AnimOfTheLinkDuringPlaybackIsBusyThenPlays) {
  PlayerServer server(*window_);
  const fs::path second = TestData("avi/raw_bgr24_20x14.avi");
  link::Reply first, retry;
  During(40, [&] {
    first = server.Transaction(1, Execute("ANIM " + second.string()));
    // The retry comes while the stopped playback still winds down: it is
    // accepted, and its file is not lost.
    retry = server.Transaction(1, Execute("ANIM " + second.string()));
    QCoreApplication::processEvents();
  });
  window_->PlayAnim(TestData("anm/bomb.anm"), kPlayForever);
  EXPECT_EQ(first.status, link::ReplyStatus::Busy);
  EXPECT_EQ(retry.status, link::ReplyStatus::Ack);
  EXPECT_EQ(window_->State(), PlayerState::Idle);
  bool played = false;
  During(60, [&] {
    played = window_->State() == PlayerState::Playing && window_->View()->Shown().width() == 20;
    window_->SetStopRequest();
  });
  for (int i = 0; i < 500 && (!played || window_->State() != PlayerState::Idle); ++i) QTest::qWait(10);
  EXPECT_TRUE(played);
  EXPECT_EQ(window_->State(), PlayerState::Idle);
  EXPECT_TRUE(window_->windowTitle().contains("raw_bgr24_20x14.avi"));
}

TEST_F(PlayerWindowTest, OperationsWriteWhatTheBatchWrites) {
  std::vector<fs::path> pictures;
  for (int f = 1; f <= 3; ++f) pictures.push_back(TestData("anm/bomb.anm.f00" + std::to_string(f % 2 + 1) + ".ref.ppm"));
  std::ostringstream err;
  ASSERT_EQ(AnimCreate(dir_ / "batch.anm", pictures, err), kSuccess) << err.str();
  ASSERT_EQ(window_->CreateAnim(dir_ / "window.anm", pictures), kSuccess);
  EXPECT_TRUE(SameBytes(dir_ / "batch.anm", dir_ / "window.anm"));
  EXPECT_EQ(window_->FramesShown(), 3);

  for (const char* folder : {"batch", "window"}) {
    fs::create_directories(dir_ / folder);
    fs::copy_file(TestData("anm/bomb.anm"), dir_ / folder / "BOMB.ANM");
  }
  ASSERT_EQ(AnimCut(dir_ / "batch" / "BOMB.ANM", "BMP", err), kSuccess) << err.str();
  ASSERT_EQ(window_->CutAnim(dir_ / "window" / "BOMB.ANM", "BMP"), kSuccess);
  ASSERT_EQ(AnimFlip(dir_ / "batch" / "BOMB.ANM", err), kSuccess) << err.str();
  ASSERT_EQ(window_->FlipAnim(dir_ / "window" / "BOMB.ANM"), kSuccess);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir_ / "batch")) {
    ++files;
    EXPECT_TRUE(SameBytes(entry.path(), dir_ / "window" / entry.path().filename())) << entry.path();
  }
  EXPECT_GT(files, 2u);
  EXPECT_EQ(window_->State(), PlayerState::Idle);
  EXPECT_TRUE(reporter_.texts.empty()) << reporter_.texts.front();
}

TEST_F(PlayerWindowTest, TheProgressBoxStopsAnOperation) {
  fs::copy_file(TestData("anm/bomb.anm"), dir_ / "BOMB.ANM");
  Bytes before;
  ASSERT_TRUE(ReadWholeFile(dir_ / "BOMB.ANM", before));
  During(0, [&] { window_->SetStopRequest(); });
  EXPECT_EQ(window_->FlipAnim(dir_ / "BOMB.ANM"), kStopped);
  // The file stays as it was and no rewrite is left beside it.
  Bytes after;
  ASSERT_TRUE(ReadWholeFile(dir_ / "BOMB.ANM", after));
  EXPECT_TRUE(before == after);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);  // BOMB.ANM and config
  During(0, [&] { window_->SetStopRequest(); });
  EXPECT_EQ(window_->CreateAnim(dir_ / "NEW.ANM", {TestData("bmp/b8_21x13.bmp"), TestData("bmp/b8_21x13.bmp")}),
            kStopped);
  EXPECT_FALSE(fs::exists(dir_ / "NEW.ANM"));
}

TEST_F(PlayerWindowTest, CommandsDuringPlaybackAskToStopFirst) {
  asker_.answer = Answer::Yes;
  QString title;
  During(40, [&] {
    // The Open dialog comes once the playback has stopped.
    AnswerNextDialog(QDialog::Rejected, [&](QDialog* dialog) { title = dialog->windowTitle(); });
    window_->Command(kCmdOpen);
    EXPECT_EQ(window_->State(), PlayerState::OpenPending);
  });
  window_->PlayAnim(TestData("anm/bomb.anm"), kPlayForever);
  EXPECT_EQ(asker_.asked, std::vector<int>{178});
  for (int i = 0; i < 500 && title.isEmpty(); ++i) QTest::qWait(10);
  EXPECT_EQ(title, "Open ...");
}

TEST_F(PlayerWindowTest, MenusSwitchLanguageLive) {
  EXPECT_EQ(window_->menuBar()->actions().front()->text(), "&File");
  EXPECT_TRUE(window_->Actions().at(kCmdEnglish)->isChecked());
  EXPECT_EQ(window_->Actions().at(kCmdOpen)->shortcut(), QKeySequence(QKeySequence::Open));
  window_->Command(kCmdFrench);
  EXPECT_EQ(window_->menuBar()->actions().front()->text(), "&Fichier");
  EXPECT_EQ(window_->Actions().at(kCmdExit)->text(), "&Quitter");
  EXPECT_TRUE(window_->Actions().at(kCmdFrench)->isChecked());
  window_->Command(kCmdEnglish);
  EXPECT_EQ(window_->Actions().at(kCmdExit)->text(), "E&xit");
  // Save is offered only once a picture is shown; an unknown kind is refused.
  EXPECT_FALSE(window_->Actions().at(kCmdSaveImage)->isEnabled());
  window_->OpenFile(TestData("bmp/b8_21x13.bmp"), false);
  EXPECT_TRUE(window_->Actions().at(kCmdSaveImage)->isEnabled());
  EXPECT_EQ(window_->windowTitle(), "TESSARAN PLAYER :[b8_21x13.bmp]");
  window_->OpenFile(dir_ / "notes.txt", false);
  EXPECT_EQ(reporter_.numbers, std::vector<int>{176});
  window_->OpenFile(dir_ / "missing.bmp", false);
  EXPECT_EQ(reporter_.numbers, (std::vector<int>{176, 208}));
}

bool WaitForFile(const fs::path& file, int seconds) {
  for (int i = 0; i < seconds * 10 && !fs::exists(file); ++i) usleep(100'000);
  return fs::exists(file);
}

// `tovix PICTURE` under Xvfb shows it; a "VIEW" through the link shows another.
TEST_F(PlayerWindowTest, TovixShowsItsPictureAndTheLinksView) {
  if (!XvfbToolsInstalled()) GTEST_SKIP() << "Xvfb tools missing";
  const fs::path first = TestData("bmp/b24_40x30.bmp"), second = TestData("bmp/b8_21x13.bmp");
  // A runtime folder of the test's own, so that no other player answers.
  const fs::path runtime = dir_ / "run";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const fs::path script = dir_ / "xvfb.sh";
  auto capture = [&](const char* name) {
    return "id=$(xdotool search --name 'TESSARAN PLAYER' | head -1)\n[ -n \"$id\" ] || { kill $pid; exit 1; }\n"
           "import -depth 8 -window \"$id\" '" + (dir_ / name).string() + ".tmp.ppm' && mv '" +
           (dir_ / name).string() + ".tmp.ppm' '" + (dir_ / name).string() + "'\n";
  };
  std::ofstream(script) << "unset QT_QPA_PLATFORM\n"
                        << "'" << TOVIX_PROGRAM << "' '" << first.string() << "' 2>'" << (dir_ / "tovix.log").string()
                        << "' &\npid=$!\n"
                        << "for i in $(seq 1 100); do xdotool search --name 'b24_40x30' >/dev/null && break; sleep 0.1; done\n"
                        << "sleep 1\n"
                        << capture("first.ppm")
                        << "for i in $(seq 1 200); do [ -e '" << (dir_ / "viewed").string() << "' ] && break; sleep 0.1; done\n"
                        << "for i in $(seq 1 100); do xdotool search --name 'b8_21x13' >/dev/null && break; sleep 0.1; done\n"
                        << "sleep 1\n"
                        << capture("second.ppm") << "kill $pid\nwait $pid\n";
  const std::string command = "timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' bash '" + script.string() +
                              "' >'" + (dir_ / "xvfb.log").string() + "' 2>&1 &";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_TRUE(WaitForFile(dir_ / "first.ppm", 60)) << "no capture of the window";

  class Client final : public link::Callbacks {
    bool Connect(link::ConversationId, const std::string&, const std::string&) override { return false; }
    link::Reply Transaction(link::ConversationId, const link::Frame&) override { return {}; }
    void Registered(const std::string&) override {}
    void Disconnected(link::ConversationId) override {}
  } callbacks;
  std::string problem;
  auto instance = link::Instance::Initialize(link::kClientOnly, callbacks, &problem);
  ASSERT_TRUE(instance) << problem;
  const link::ConversationId id = instance->Connect(link::kPlayerService, link::kPlayerService, 2000);
  ASSERT_NE(id, 0u);
  auto pump = [&] { instance->PollAndDispatch(5); };
  EXPECT_TRUE(instance->Transact(id, Execute("VIEW " + second.string()), 2000, pump).Ok());
  instance->Disconnect(id);
  std::ofstream(dir_ / "viewed") << "\n";
  ASSERT_TRUE(WaitForFile(dir_ / "second.ppm", 60)) << "no second capture";
  usleep(500'000);
  unsetenv("XDG_RUNTIME_DIR");

  const QImage one = ReadCapture(dir_ / "first.ppm"), two = ReadCapture(dir_ / "second.ppm");
  ASSERT_FALSE(one.isNull());
  ASSERT_FALSE(two.isNull());
  EXPECT_TRUE(ShowsAtLeftEdge(one, ReferencePicture(TestData("bmp/b24_40x30.bmp.ref.ppm")), 120))
      << "capture " << one.width() << " x " << one.height();
  EXPECT_TRUE(ShowsAtLeftEdge(two, ReferencePicture(TestData("bmp/b8_21x13.bmp.ref.ppm")), 120))
      << "capture " << two.width() << " x " << two.height();
}

}  // namespace
}  // namespace tessaran::player
