// The renderer window serving the program link from its event loop: a
// material poke renders the preview sphere, "RENDER" attaches a scene to
// the project dialog (an open dialog ends and opens again on it), and menu
// 310 sends the result to a player.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QMenuBar>

#include "link/advise.h"
#include "link/material_block.h"
#include "link/program_client.h"
#include "player/link_server.h"
#include "renderer/app/link_server.h"
#include "renderer/app/material_preview.h"
#include "renderer/app/render_poll.h"
#include "renderer/app/show_result.h"
#include "renderer/app/windows/main_window.h"
#include "renderer/app/windows/project_dialog.h"
#include "renderer/app/windows/tests/window_fixture.h"
#include "renderer/app/windows/window_link.h"
#include "storage/virtim.h"
#include "ui/link_watcher.h"
#include "ui/vim_image.h"

namespace tessaran {
namespace {

// A modeler-like client in this process: its waits run the window's events.
class Client final : public link::Callbacks {
 public:
  Client() { instance_ = link::Instance::Initialize(0, *this, nullptr); }
  bool Connect(link::ConversationId, const std::string&, const std::string&) override { return false; }
  link::Reply Transaction(link::ConversationId, const link::Frame&) override { return {}; }
  void Registered(const std::string&) override {}
  void Disconnected(link::ConversationId) override {}

  link::TransactionResult Send(const link::Frame& frame) {
    if (conversation_ == 0) {
      conversation_ = instance_->Connect(link::kRendererService, link::kRendererService, 1000,
                                         LinkWatcher::EventPump());
    }
    return instance_->Transact(conversation_, frame, 2000, LinkWatcher::EventPump());
  }
  link::TransactionResult Execute(const std::string& text) {
    link::Frame frame;
    frame.kind = link::FrameKind::Execute;
    frame.data.assign(text.begin(), text.end());
    frame.data.push_back(0);
    return Send(frame);
  }

 private:
  std::unique_ptr<link::Instance> instance_;
  link::ConversationId conversation_ = 0;
};

// A player that only remembers what it was asked to show.
class RecordingPlayer final : public player::PlayerWindowActions, public link::Callbacks {
 public:
  RecordingPlayer() : server_(*this) {
    instance_ = link::Instance::Initialize(link::kFailSelfConnections, *this, nullptr);
    registered = instance_ && instance_->RegisterService(link::kPlayerService, nullptr);
    if (registered) watcher_ = std::make_unique<LinkWatcher>(*instance_);
  }
  void StartSlideShow(const std::string& file) override { shown.push_back("SLIDE " + file); }
  void ShowImage(const std::string& file) override { shown.push_back("VIEW " + file); }
  bool Playing() const override { return false; }
  void SetStopRequest() override {}
  void PostPlayAnim(const std::string& file) override { shown.push_back("ANIM " + file); }
  void PostClose() override {}
  void ShowNormal() override { shown.push_back("SHOW"); }

  bool Connect(link::ConversationId id, const std::string&, const std::string& topic) override {
    return server_.Connect(id, topic);
  }
  link::Reply Transaction(link::ConversationId id, const link::Frame& frame) override {
    return server_.Transaction(id, frame);
  }
  void Registered(const std::string&) override {}
  void Disconnected(link::ConversationId id) override { server_.Disconnected(id); }

  bool registered = false;
  std::vector<std::string> shown;

 private:
  player::PlayerServer server_;
  std::unique_ptr<link::Instance> instance_;
  std::unique_ptr<LinkWatcher> watcher_;
};

class WindowLinkTest : public RendererWindowTest {
 protected:
  void SetUp() override {
    RendererWindowTest::SetUp();
    fs::create_directories(dir_ / "run");
    chmod((dir_ / "run").c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_RUNTIME_DIR");
    RendererWindowTest::TearDown();
  }
  void StartShell(RendererShell& shell) {
    shell.settings = ReadRendererSettings();
    ResolveDirectories(shell, ProgramDirectory());
    shell.threads = 2;
  }
};

TEST_F(WindowLinkTest, APokeRendersThePreviewSphereOfTheMaterial) {
  RendererShell shell;
  StartShell(shell);
  RendererWindow window(shell, library_);
  window.show();
  const std::unique_ptr<RendererLink> link = RendererLink::Start(window);
  ASSERT_TRUE(link);

  const link::MaterialBlock red = link::MakeMaterialBlock(0x0F22, 0, 0, 0, 30, 20, "");
  link::Frame poke;
  poke.kind = link::FrameKind::Poke;
  poke.item = link::kMaterialItem;
  poke.format = link::kSuiteFormat;
  poke.data = link::EncodeMaterialBlock(red);
  Client modeler;
  // The reply leaves before the preview starts; the preview runs from the
  // posted event, inside the client's own wait.
  ASSERT_TRUE(modeler.Send(poke).Ok());
  for (int i = 0; i < 100 && VimSlot(0).Empty(); ++i) QCoreApplication::processEvents();
  EXPECT_EQ(window.State(), RenderState::Idle);
  EXPECT_TRUE(window.menuBar()->isHidden());
  EXPECT_EQ(window.windowTitle(), "SEE");
  ASSERT_FALSE(VimSlot(0).Empty());
  const QImage shown = VimToImage(VimSlot(0));

  // The same sphere as the preview function renders on its own.
  RendererShell alone;
  StartShell(alone);
  struct NeverStop final : RenderPoll {
    bool Poll(double) override { return false; }
  } never;
  ASSERT_EQ(RenderMaterialPreview(alone, PreviewMaterialOf(red), PreviewMapsOf(red), never), kRenderDone);
  EXPECT_EQ(shown, VimToImage(VimSlot(0)));
  EXPECT_EQ(shown.size(), QSize(alone.project.width, alone.project.height));
}

TEST_F(WindowLinkTest, RenderAttachesTheSceneAndEndsAnOpenDialog) {
  RendererShell shell;
  StartShell(shell);
  const fs::path first = DemoIn("first");
  const fs::path second = DemoIn("second");
  RendererWindow window(shell, library_);
  const std::unique_ptr<RendererLink> link = RendererLink::Start(window);
  ASSERT_TRUE(link);
  Client modeler;
  std::vector<std::string> dialogScenes;
  window.dialogRunner = [&](ProjectDialog& dialog) {
    dialogScenes.push_back(NativePath(dialog.Copy().SceneName()));
    // The first time the modeler sends another scene while the dialog is open.
    if (dialogScenes.size() == 1) {
      EXPECT_EQ(modeler.Execute("RENDER " + second.string()).error, link::kErrorNone);
      return dialog.result();
    }
    return static_cast<int>(QDialog::Rejected);
  };
  // Idle, the scene is attached and the dialog opens on it.
  ASSERT_TRUE(modeler.Execute("RENDER " + first.string()).Ok());
  for (int i = 0; i < 100 && dialogScenes.size() < 2; ++i) QCoreApplication::processEvents();
  ASSERT_EQ(dialogScenes.size(), 2u);
  EXPECT_EQ(dialogScenes[0], first.string());
  EXPECT_EQ(dialogScenes[1], second.string());
  EXPECT_FALSE(window.ProjectDialogOpen());
}

TEST_F(WindowLinkTest, ShowResultSendsTheLastImageToThePlayer) {
  RecordingPlayer player;
  ASSERT_TRUE(player.registered);
  RendererShell shell;
  StartShell(shell);
  const fs::path scene = DemoIn("show");
  AttachScene(shell, scene, true);
  RendererWindow window(shell, library_);
  const std::unique_ptr<RendererLink> link = RendererLink::Start(window);
  ASSERT_TRUE(link);
  window.Command(kCmdShowResult);
  const ShowResultCommand expected = ShowResultFor(shell.project);
  ASSERT_EQ(player.shown.size(), 1u);
  EXPECT_EQ(player.shown[0], expected.command + " " + expected.argument);
}

}  // namespace
}  // namespace tessaran
