// The renderer's main window: its menus, a render through it against the
// same render of `rz --batch`, the close rule during a render, the project
// dialog's "Calculer", the settings written on quit, and `rz` itself under
// Xvfb when that is installed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMenuBar>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "imaging/picture.h"
#include "messages/message_library.h"
#include "platform/bytes.h"
#include "platform/dynlib.h"
#include "platform/profile.h"
#include "renderer/app/batch.h"
#include "renderer/app/render_poll.h"
#include "renderer/app/windows/image_view.h"
#include "renderer/app/windows/main_window.h"
#include "renderer/app/windows/project_dialog.h"
#include "renderer/app/windows/status_window.h"
#include "renderer/app/windows/tests/window_fixture.h"
#include "storage/virtim.h"
#include "ui/tests/qt_test_app.h"
#include "ui/tests/xvfb_capture.h"
#include "ui/vim_image.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Outputs(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    // The claim file names the scene that wrote the outputs, so it differs.
    if (name != "DEMO.MAQ" && entry.path().extension() != ".LCK") names.insert(name);
  }
  return names;
}

QImage Picture(const fs::path& file) {
  PictureHeader header;
  if (!LoadPicture(file, -1, kOpaqueLoad, &header, 0)) return {};
  QImage image(static_cast<int>(header.width), static_cast<int>(header.height), QImage::Format_RGB888);
  const PixelSink sink = [&](std::uint32_t x, std::uint32_t y, std::uint32_t rgb) {
    image.setPixel(static_cast<int>(x), static_cast<int>(y), rgb);
  };
  LoadPicture(file, -1, kOpaqueLoad, &header, 0, &sink);
  return image;
}

TEST_F(RendererWindowTest, MenusFollowTheLanguageAndTheRender) {
  RendererShell shell;
  RendererWindow window(shell, library_);
  const MenuActions& actions = window.Actions();
  EXPECT_EQ(actions.size(), 13u);
  EXPECT_TRUE(actions.at(kCmdEnglish)->isChecked());
  EXPECT_EQ(actions.at(kCmdQuit)->shortcut(), QKeySequence(QKeySequence::Quit));
  window.Command(kCmdFrench);
  EXPECT_EQ(window.Actions().at(kCmdQuit)->text(), "&Quitter");
  EXPECT_TRUE(window.Actions().at(kCmdFrench)->isChecked());
  EXPECT_FALSE(window.Actions().at(kCmdEnglish)->isChecked());
  EXPECT_EQ(window.menuBar()->actions().front()->text(), "&Projet");
  window.Command(kCmdEnglish);
  EXPECT_EQ(window.Actions().at(kCmdQuit)->text(), "&Quit");
  window.Command(kCmdMagnifier);
  EXPECT_TRUE(shell.settings.loupeWindow);
  EXPECT_TRUE(window.Actions().at(kCmdMagnifier)->isChecked());
}

TEST_F(RendererWindowTest, WindowRenderEqualsTheBatchRender) {
  const std::vector<std::string> options{"--size", "96x72", "--format24", "BMP24", "--threads", "2"};
  const fs::path batchScene = DemoIn("batch");
  std::vector<std::string> args{"--batch", batchScene.string()};
  args.insert(args.end(), options.begin(), options.end());
  std::ostringstream out, err;
  ASSERT_EQ(RunRendererBatch(args, out, err), kRzDone) << err.str();
  InstallAsker(&asker_);

  RendererShell shell;
  const fs::path windowScene = DemoIn("window");
  StartLikeBatch(shell, windowScene, options);
  RendererWindow window(shell, library_);
  window.show();
  int polled = 0;
  QTimer during;
  // The window is alive while the engine runs: its timers fire, and the
  // status window follows the images.
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (window.State() == RenderState::Rendering && window.Status()) ++polled;
  });
  during.start(1);
  ASSERT_EQ(window.Render(), kRenderDone);
  EXPECT_GT(polled, 0);
  EXPECT_EQ(window.State(), RenderState::Idle);

  const std::set<std::string> written = Outputs(windowScene.parent_path());
  EXPECT_EQ(written, Outputs(batchScene.parent_path()));
  EXPECT_GE(written.size(), 5u);
  for (const std::string& name : written) {
    Bytes a, b;
    ASSERT_TRUE(ReadWholeFile(batchScene.parent_path() / name, a));
    ASSERT_TRUE(ReadWholeFile(windowScene.parent_path() / name, b));
    EXPECT_TRUE(a == b) << name;
  }
  // What the window shows is the last image written.
  const QImage last = Picture(windowScene.parent_path() / *written.rbegin());
  ASSERT_FALSE(last.isNull());
  window.View()->viewport()->resize(200, 200);
  window.View()->ImageChanged();
  const QImage shown = window.View()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB888);
  EXPECT_EQ(shown.copy(0, 0, 96, 72), last);
  EXPECT_EQ(VimToImage(VimSlot(0)), last);
}

TEST_F(RendererWindowTest, AMinimisedRenderShowsItsShareInTheIcon) {
  RendererShell shell;
  StartLikeBatch(shell, DemoIn("icon"), {"--size", "320x240", "--mode", "raytrace", "--threads", "1"});
  shell.settings.redimWindow = false;
  RendererWindow window(shell, library_);
  window.showMinimized();
  std::vector<QString> shown;
  QTimer during;
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (!window.IconText().isEmpty() && (shown.empty() || shown.back() != window.IconText())) {
      shown.push_back(window.IconText());
    }
  });
  during.start(1);
  ASSERT_EQ(window.Render(), kRenderDone);
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(shown.back().endsWith("\n%")) << shown.back().toStdString();
  // Back to the program's icon once the render is over.
  EXPECT_TRUE(window.IconText().isEmpty());
  EXPECT_TRUE(window.windowIcon().isNull());
}

TEST_F(RendererWindowTest, CloseDuringARenderOnlyStopsIt) {
  RendererShell shell;
  StartLikeBatch(shell, DemoIn("close"), {"--size", "640x480", "--mode", "raytrace", "--aa", "3", "--threads", "1"});
  RendererWindow window(shell, library_);
  window.show();
  asker_.answers[29] = Answer::Ok;
  QTimer::singleShot(30, &window, [&] { window.close(); });
  const int result = window.Render();
  EXPECT_EQ(result, kRenderStopped);
  EXPECT_TRUE(window.isVisible());
  EXPECT_NE(std::find(asker_.asked.begin(), asker_.asked.end(), 29), asker_.asked.end());
  // Idle again, it closes and writes the settings.
  asker_.answers[14] = Answer::No;
  EXPECT_TRUE(window.close());
  const std::string last = GetProfileString("RZ_ENV", "LAST_RPJ", "", "TESSARAN.INI");
  EXPECT_FALSE(last.empty());
  EXPECT_EQ(GetProfileInt("RZ_ENV", "REDIM_WINDOW", -1, "TESSARAN.INI"), 1);
}

TEST_F(RendererWindowTest, ComputeFromTheDialogTakesItsCopy) {
  RendererShell shell;
  StartLikeBatch(shell, DemoIn("dialog"), {"--format24", "BMP24"});
  RendererWindow window(shell, library_);
  window.dialogRunner = [](ProjectDialog& dialog) {
    dialog.Copy().width = 40;
    dialog.Copy().height = 30;
    // The summary comes next: go on with the render.
    AnswerNextBox(QMessageBox::Ok);
    return kDialogCompute;
  };
  window.Command(kCmdCurrent);
  EXPECT_EQ(shell.project.width, 40);
  EXPECT_FALSE(shell.saved);
  EXPECT_EQ(VimSlot(0).width, 40u);
  EXPECT_EQ(VimSlot(0).height, 30u);
}

// `rz PROJECT` under Xvfb renders at once, and its window shows the image.
TEST_F(RendererWindowTest, RzWithAProjectArgumentShowsItsRender) {
  if (!XvfbToolsInstalled()) GTEST_SKIP() << "Xvfb tools missing";
  const fs::path scene = DemoIn("xvfb");
  RendererShell shell;
  StartLikeBatch(shell, scene, {"--size", "160x120", "--format24", "BMP24"});
  const fs::path project = dir_ / "xvfb" / "SHOT.RPJ";
  ASSERT_TRUE(WriteProject(shell.project, project));
  std::ofstream(dir_ / "config" / "TESSARAN.INI") << "[RZ_ENV]\nTEST_RAY_TIME_COST=0\n";

  const fs::path script = dir_ / "xvfb.sh";
  // The real display, not the offscreen one of the tests.
  std::ofstream(script) << "unset QT_QPA_PLATFORM\nexport TESSARAN_CONFIG='" << (dir_ / "config").string() << "'\n"
                        << "'" << RZ_PROGRAM << "' '" << project.string() << "' 2>'" << (dir_ / "rz.log").string()
                        << "' &\npid=$!\n"
                        // The last image appears under its name once it is whole.
                        << "for i in $(seq 1 300); do [ -f '" << (dir_ / "xvfb" / "DEMO0004.BMP").string()
                        << "' ] && break; sleep 0.1; done\n"
                        << "sleep 1\n"
                        << "id=$(xdotool search --name 'TESSARAN RENDERER' | head -1)\n"
                        << "[ -n \"$id\" ] || { kill $pid; exit 1; }\n"
                        << "import -depth 8 -window \"$id\" '" << (dir_ / "capture.ppm").string() << "'\n"
                        << "kill $pid\n";
  const std::string command = "timeout 120 xvfb-run -a -s '-screen 0 1280x1024x24' bash '" + script.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  const QImage last = Picture(dir_ / "xvfb" / "DEMO0004.BMP");
  ASSERT_FALSE(last.isNull()) << "the render wrote no last image";
  const QImage capture = ReadCapture(dir_ / "capture.ppm");
  ASSERT_FALSE(capture.isNull()) << "no capture of the window";
  // The image lies 1:1 at the left edge, under the menu bar.
  EXPECT_TRUE(ShowsAtLeftEdge(capture, last, 100)) << "capture " << capture.width() << " x " << capture.height();
}

}  // namespace
}  // namespace tessaran
