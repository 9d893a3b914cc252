// The project dialog and the dialogs it opens, through their real widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "messages/message_library.h"
#include "platform/report.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/windows/mode_dialogs.h"
#include "renderer/app/windows/output_dialogs.h"
#include "renderer/app/windows/project_dialog.h"
#include "ui/dialog_texts.h"
#include "ui/image_picker.h"
#include "ui/tests/qt_test_app.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

class CapturingReporter final : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  std::vector<int> numbers;
};

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    ASSERT_EQ(library_.Load("RZLNGFRA.DLL"), LoadResult::Loaded);
    InstallMessageText(&library_);
    InstallReporter(&reporter_);
    ResetProject(project_);
  }
  void TearDown() override {
    InstallReporter(nullptr);
    InstallMessageText(nullptr);
  }

  MessageLibrary library_{MessageProgram::Renderer};
  CapturingReporter reporter_;
  RenderProject project_;
  ResolutionPresets presets_;
  ImagePicker picker_;
  bool preview_ = false;
};

TEST_F(DialogsTest, ResolutionTypingGoesToTheCustomEntry) {
  ResolutionDialog dialog(library_, presets_, project_, nullptr);
  dialog.Presets()->setCurrentRow(1);  // VGA
  EXPECT_EQ(dialog.WidthField()->text(), "640");
  EXPECT_EQ(dialog.HeightField()->text(), "480");
  EXPECT_EQ(dialog.RatioField()->text(), "100");

  dialog.WidthField()->clear();
  QTest::keyClicks(dialog.WidthField(), "777");
  EXPECT_EQ(dialog.Presets()->currentRow(), kCustomPreset);
  EXPECT_EQ(dialog.Presets()->item(kCustomPreset)->text(), QString::fromStdString(presets_.Line(kCustomPreset)));
  // Only the width of the custom entry changed.
  EXPECT_EQ(presets_.Preset(kCustomPreset).width, 777);
  EXPECT_EQ(presets_.Preset(kCustomPreset).height, 100);
  EXPECT_EQ(dialog.HeightField()->text(), "480");

  // OK stores the valid fields; a field that is not a number is left alone.
  dialog.RatioField()->setText("abc");
  dialog.accept();
  EXPECT_EQ(project_.width, 777);
  EXPECT_EQ(project_.height, 480);
  EXPECT_EQ(project_.pixelRatio, 1200);
}

TEST_F(DialogsTest, FormatsOnATrueColourDisplay) {
  project_.SetOutput(kOutScreenImages, true);
  project_.SetOutput(kOut24BitImages, false);
  project_.SetOutput(kOutImages, true);
  FormatDialog dialog(library_, project_, 24, nullptr);
  // A 24-bit display writes no screen images: the box is off and cleared.
  EXPECT_FALSE(dialog.ScreenImages()->isEnabled());
  EXPECT_FALSE(project_.Output(kOutScreenImages));
  EXPECT_TRUE(dialog.TrueColourImages()->isEnabled());
  dialog.reject();
  // No image kind is left: "image by image" follows.
  EXPECT_FALSE(project_.Output(kOutImages));

  FormatDialog again(library_, project_, 24, nullptr);
  again.TrueColourImages()->setChecked(true);
  again.accept();
  EXPECT_TRUE(project_.Output(kOut24BitImages));
  EXPECT_TRUE(project_.Output(kOutImages));
}

TEST_F(DialogsTest, ImageCountsMakeTheTotal) {
  SetSceneCount(project_, 2, 10);
  {
    ImageCountDialog dialog(library_, project_, nullptr);
    ASSERT_EQ(dialog.Counts().size(), 1u);
    EXPECT_TRUE(dialog.TotalText().endsWith(" 11")) << dialog.TotalText().toStdString();
  }
  project_.SetOutput(kOutLoop, true);
  ImageCountDialog dialog(library_, project_, nullptr);
  ASSERT_EQ(dialog.Counts().size(), 2u);
  dialog.Counts()[1]->setValue(10);
  EXPECT_TRUE(dialog.TotalText().endsWith(" 21")) << dialog.TotalText().toStdString();
  dialog.Counts()[0]->setValue(4);
  dialog.accept();
  EXPECT_EQ(project_.imageCounts[0], 4);
  EXPECT_EQ(TotalImages(project_), 15);
}

TEST_F(DialogsTest, ModeChoicesFollowTheirDialogs) {
  project_.SetOutput(kOut24BitImages, true);
  project_.SetOutput(kOutScreenImages, false);
  project_.SetOutput(kOutImages, true);
  ProjectDialog dialog(library_, project_, presets_, 8, {}, picker_, preview_, nullptr);
  EXPECT_TRUE(dialog.windowTitle().startsWith("Rendu de :["));

  // Ray tracing with its dialog cancelled leaves the pixel mode.
  AnswerNextDialog(QDialog::Rejected);
  dialog.ChooseMode(kRayTracing);
  EXPECT_EQ(dialog.Copy().mode, kPixel);
  EXPECT_TRUE(dialog.ModeButton(kPixel)->isChecked());
  // Accepted at level 2, it sets the mode and the antialiasing.
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    static_cast<ModeDialog*>(shown)->Level(2)->setChecked(true);
  });
  dialog.ChooseMode(kRayTracing);
  EXPECT_EQ(dialog.Copy().mode, kRayTracing);
  EXPECT_EQ(dialog.Copy().antialias, 2);
  EXPECT_TRUE(dialog.Copy().flags & kFlagAntialias);

  // Wireframe on an 8-bit display gives up the 24-bit images, with message 95.
  dialog.ChooseMode(kWireframe);
  EXPECT_EQ(dialog.Copy().mode, kWireframe);
  EXPECT_FALSE(dialog.Copy().Output(kOut24BitImages));
  EXPECT_FALSE(dialog.Copy().Output(kOutImages));
  EXPECT_EQ(reporter_.numbers, std::vector<int>{kMsgNoTrueColourBelowPixel});
  // The project itself changes only when the caller takes the copy.
  EXPECT_EQ(project_.mode, kPixel);
}

TEST_F(DialogsTest, RayTracingKeepsItsColoursAndMappingsUntilOk) {
  ModeDialog dialog(library_, project_, true, {}, picker_, preview_, nullptr);
  // The ground colour (the fifth button) through the colour chooser.
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    static_cast<QColorDialog*>(shown)->setCurrentColor(QColor(0x12, 0x34, 0x56));
  });
  dialog.ColourButton(4)->click();
  // A sky picture with 3 × 2 repetitions switches the sky mapping on.
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto* mapping = static_cast<MappingDialog*>(shown);
    mapping->File()->setText("CIEL.LBM");
    mapping->ScaleX()->setValue(3);
    mapping->ScaleY()->setValue(2);
  });
  dialog.MappingButton(MappingSlot::Sky)->click();
  // The ground's dialog cancelled changes nothing.
  AnswerNextDialog(QDialog::Rejected, [](QDialog* shown) { static_cast<MappingDialog*>(shown)->File()->setText("X"); });
  dialog.MappingButton(MappingSlot::Ground)->click();
  EXPECT_EQ(project_.skyColours[4], RenderProject{}.skyColours[4]);
  EXPECT_EQ(project_.sky.kind, -1);
  dialog.accept();
  EXPECT_EQ(project_.skyColours[4], 0x563412u);
  EXPECT_EQ(project_.sky.kind, 0);
  EXPECT_EQ(project_.sky.on, 1);
  EXPECT_EQ(MappingImage(project_.sky), "CIEL.LBM");
  EXPECT_EQ(project_.sky.scaleX, 300000);
  EXPECT_EQ(project_.sky.scaleY, 200000);
  EXPECT_EQ(project_.ground, RenderProject{}.ground);

  // Cleared, the picture takes the mapping out of the project.
  ModeDialog again(library_, project_, true, {}, picker_, preview_, nullptr);
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) { static_cast<MappingDialog*>(shown)->File()->clear(); });
  again.MappingButton(MappingSlot::Sky)->click();
  again.accept();
  EXPECT_EQ(project_.sky.kind, -1);
  EXPECT_EQ(project_.sky.on, 0);
}

TEST_F(DialogsTest, PlanePictureIsChosenWithThePicker) {
  const fs::path picture = fs::temp_directory_path() / ("dialogs_test_plane_" + std::to_string(::getpid()) + ".bmp");
  std::ofstream(picture) << "BM";
  ProjectDialog dialog(library_, project_, presets_, 8, {}, picker_, preview_, nullptr);
  QCheckBox* back = nullptr;
  for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
    if (box->text() == DialogText(library_, "2100", 111)) back = box;
  }
  ASSERT_NE(back, nullptr);
  // Cancelled, the choice leaves the plane off.
  bool previewShown = false;
  AnswerNextDialog(QDialog::Rejected,
                   [&](QDialog* shown) { previewShown = shown->findChild<QWidget*>("imagePreview") != nullptr; });
  back->click();
  EXPECT_TRUE(previewShown);
  EXPECT_FALSE(dialog.Copy().Output(kOutBackPlane));
  EXPECT_FALSE(back->isChecked());
  // A chosen file becomes the back plane.
  AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
    static_cast<QFileDialog*>(shown)->selectFile(QString::fromStdString(picture.string()));
    shown->accept();
  });
  back->click();
  EXPECT_TRUE(dialog.Copy().Output(kOutBackPlane));
  EXPECT_EQ(dialog.Copy().backPlane, picture.string());
  fs::remove(picture);
}

}  // namespace
}  // namespace tessaran
