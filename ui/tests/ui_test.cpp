#include <gtest/gtest.h>

#include <algorithm>

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "messages/message_library.h"
#include "storage/virtim.h"
#include "ui/dispatching_progress.h"
#include "ui/menus.h"
#include "ui/qt_dialogs.h"
#include "ui/tests/qt_test_app.h"
#include "ui/vim_image.h"
#include "ui/window_fit.h"

namespace tessaran {
namespace {

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApplication(); }
  void TearDown() override {
    VimFree(40);
    VimFree(41);
  }
};

QStringList Titles(const QMenuBar& bar) {
  QStringList titles;
  for (QAction* action : bar.actions()) titles << action->text();
  return titles;
}

TEST_F(UiTest, MenuBarFollowsTheLibraryAndItsLanguage) {
  MessageLibrary library(MessageProgram::Renderer);
  ASSERT_EQ(library.Load("RZLNGFRA.DLL"), LoadResult::Loaded);
  QMenuBar bar;
  MenuActions actions = BuildMenuBar(bar, library.Menu("#1"));
  EXPECT_EQ(Titles(bar), (QStringList{"&Projet", "&Options", "&Affichage"}));
  ASSERT_EQ(actions.count(262), 1u);
  EXPECT_EQ(actions[262]->text(), QString::fromUtf8("&Français"));
  EXPECT_EQ(CommandId(actions[262]), 262);
  // The language items sit in a popup of their own inside "Options".
  QMenu* options = bar.actions()[1]->menu();
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(actions[261]->parent()->parent(), options);
  const QList<QAction*> items = options->actions();
  EXPECT_EQ(std::count_if(items.begin(), items.end(), [](QAction* a) { return a->isSeparator(); }), 2);

  // A switch rebuilds the same commands with the new texts.
  ASSERT_EQ(library.Load("RZLNGENG.DLL"), LoadResult::Loaded);
  actions = BuildMenuBar(bar, library.Menu("#1"));
  EXPECT_EQ(Titles(bar), (QStringList{"&Project", "&Options", "&Display"}));
  EXPECT_EQ(actions.size(), 13u);
  EXPECT_EQ(actions[160]->text(), "&Quit");
}

TEST_F(UiTest, TrueColourSlotIsShownTopDown) {
  ASSERT_EQ(VimCreate(40, 3, 2, 24), 1);
  VimPutPixel(40, 0xFF0000, 0, 0, 0);  // top left red
  VimPutPixel(40, 0x0000FF, 1, 2, 0);  // bottom right blue
  const QImage copy = VimToImage(VimSlot(40));
  ASSERT_EQ(copy.size(), QSize(3, 2));
  EXPECT_EQ(copy.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(copy.pixel(2, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(copy.pixel(1, 0) & 0xFFFFFF, 0u);

  // Painting draws the same picture, 1:1 and stretched.
  QImage canvas(6, 4, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  {
    QPainter painter(&canvas);
    DrawVim(painter, VimSlot(40), QRectF(0, 0, 3, 2));
  }
  EXPECT_EQ(canvas.copy(0, 0, 3, 2).convertToFormat(QImage::Format_RGB888), copy);
  {
    QPainter painter(&canvas);
    DrawVim(painter, VimSlot(40), QRectF(0, 0, 6, 4));
  }
  EXPECT_EQ(canvas.pixel(1, 1) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(canvas.pixel(5, 3) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(UiTest, PaletteSlotsKeepTheirColours) {
  ASSERT_EQ(VimCreate(41, 2, 1, 8), 1);
  VirtIm& image = VimSlot(41);
  image.SetPaletteColour(7, 0x123456);
  image.Line(0)[1] = 7;
  const QImage copy = VimToImage(image);
  EXPECT_EQ(copy.pixel(1, 0) & 0xFFFFFF, 0x123456u);
  ASSERT_EQ(VimCreate(41, 3, 1, -4), 1);
  VirtIm& nibbles = VimSlot(41);
  nibbles.SetPaletteColour(2, 0x00FF00);
  nibbles.Line(0)[1] = 0x20;  // the third pixel is the high nibble of byte 1
  EXPECT_EQ(VimToImage(nibbles).pixel(2, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_TRUE(VimToImage(VirtIm{}).isNull());
}

TEST_F(UiTest, ProgressDispatchesPendingEvents) {
  bool fired = false;
  double told = -1;
  QTimer::singleShot(0, [&] { fired = true; });
  DispatchingProgress progress([&](double fraction) { told = fraction; });
  progress.Set(0.25);
  EXPECT_TRUE(fired);
  EXPECT_EQ(told, 0.25);
}

TEST_F(UiTest, BoxesAreCaptionedFromTheLibrary) {
  MessageLibrary library(MessageProgram::Renderer);
  ASSERT_EQ(library.Load("RZLNGENG.DLL"), LoadResult::Loaded);
  QtAsker asker(library);
  QString caption, text;
  AnswerNextBox(QMessageBox::Cancel, &caption, &text);
  EXPECT_EQ(asker.Ask(11, "Quit?", QuestionButtons::OkCancel), Answer::Cancel);
  EXPECT_EQ(caption, "RENDERER QUESTION");
  AnswerNextBox(QMessageBox::Yes);
  EXPECT_EQ(asker.Ask(14, "Save [A]", QuestionButtons::YesNo), Answer::Yes);

  QtReporter reporter(library);
  AnswerNextBox(QMessageBox::Ok, &caption, &text);
  reporter.Report(MessageKind::Error, 18, "Unable to open the file [X]");
  EXPECT_EQ(caption, "RENDERER ERROR");
  EXPECT_EQ(text, "Unable to open the file [X]");
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// A saved rectangle is taken only when it is a real one on the desktop.
TEST(WindowPlacementTest, SavedRectanglesOffTheDesktopAreIgnored) {
  TestApplication();
  QWidget window;
  const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
  const int right = desktop.left() + desktop.width() / 2, bottom = desktop.top() + desktop.height() / 2;
  EXPECT_TRUE(PlaceSavedWindow(window, {right, desktop.top() + 10, desktop.left() + 10, bottom}));
  EXPECT_EQ(window.geometry(), QRect(desktop.left() + 10, desktop.top() + 10, right - desktop.left() - 10,
                                     bottom - desktop.top() - 10));
  const QRect placed = window.geometry();
  // Larger than the screen, beyond its edge, empty, or never saved.
  EXPECT_FALSE(PlaceSavedWindow(window, {desktop.right() + 200, 0, desktop.left() - 500, 100}));
  EXPECT_FALSE(PlaceSavedWindow(window, {desktop.right() + 50, 10, desktop.right() - 50, 100}));
  EXPECT_FALSE(PlaceSavedWindow(window, {100, 100, 100, 200}));
  EXPECT_FALSE(PlaceSavedWindow(window, {0, 0, 0, 0}));
  EXPECT_EQ(window.geometry(), placed);
}

}  // namespace
}  // namespace tessaran
