#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QColorDialog>
#include <QFileDialog>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/file_filter.h"
#include "ui/image_picker.h"
#include "ui/tests/qt_test_app.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(FileFilterTest, SystemFiltersBecomeQtFilters) {
  EXPECT_EQ(QtFilter("Projet\0*.RPJ\0"s), "Projet (*.RPJ)");
  EXPECT_EQ(QtFilter("All\0*.lbm;*.bmp\0BMP\0*.bmp\0"s), "All (*.lbm *.bmp);;BMP (*.bmp)");
  EXPECT_EQ(QtFilter(""), "");
  // A C filter list ends at its empty string, whatever follows.
  EXPECT_EQ(SystemFilterText("LBM\0*.lbm\0BMP\0*.bmp\0\0junk"), "LBM\0*.lbm\0BMP\0*.bmp\0"s);
  EXPECT_EQ(SystemFilterText("LBM\0\0"), "LBM\0\0"s);
  EXPECT_EQ(SystemFilterText(nullptr), "");
}

class ImagePickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    folder_ = fs::temp_directory_path() / ("image_picker_test_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    std::ofstream(folder_ / "wood.lbm") << "FORM";
    request_.title = "Choose a Mapping";
    request_.directory = folder_;
    request_.preview = &preview_;
    request_.filter = " All format \0*.lbm;*.pcx\0PaintBrush PCX\0*.pcx\0Deluxe Paint LBM\0*.lbm\0"s;
    request_.filterIndex = 3;
    request_.defaultExtension = "LBM";
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Picks wood.lbm in the dialog shown; `seen` gets the dialog first.
  std::optional<fs::path> PickWood(const ImagePicker& picker, std::function<void(QFileDialog*)> seen) {
    AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
      auto* dialog = qobject_cast<QFileDialog*>(shown);
      ASSERT_NE(dialog, nullptr);
      seen(dialog);
      dialog->selectFile(QString::fromStdString((folder_ / "wood.lbm").string()));
      static_cast<QDialog*>(dialog)->accept();
    });
    return picker.PickImageFile(nullptr, request_);
  }

  fs::path folder_;
  bool preview_ = false;
  ImageFileRequest request_;
};

TEST_F(ImagePickerTest, MissingLibraryFallsBackToThePlainDialog) {
  const ImagePicker picker(folder_);
  EXPECT_FALSE(picker.Bound());
  bool hasPreview = true;
  QString filter, suffix;
  const auto chosen = PickWood(picker, [&](QFileDialog* dialog) {
    hasPreview = dialog->findChild<QWidget*>("imagePreview") != nullptr;
    filter = dialog->selectedNameFilter();
    suffix = dialog->defaultSuffix();
  });
  EXPECT_FALSE(hasPreview);
  EXPECT_EQ(filter, "Deluxe Paint LBM (*.lbm)");
  EXPECT_EQ(suffix, "LBM");
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, folder_ / "wood.lbm");
  EXPECT_EQ(request_.filterIndex, 3);

  AnswerNextDialog(QDialog::Rejected);
  EXPECT_FALSE(picker.PickImageFile(nullptr, request_));

  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    ASSERT_NE(qobject_cast<QColorDialog*>(shown), nullptr);
    static_cast<QColorDialog*>(shown)->setCurrentColor(QColor(1, 2, 3));
  });
  EXPECT_EQ(picker.PickColour(nullptr, 0x00FFFFFF), 0x00030201u);
}

TEST_F(ImagePickerTest, BoundLibraryShowsThePreviewAndKeepsItsSetting) {
  const ImagePicker picker;
  ASSERT_TRUE(picker.Bound());
  // Turned off in the dialog, the preview setting comes back off.
  preview_ = true;
  bool hasPreview = false;
  QString filter;
  const auto chosen = PickWood(picker, [&](QFileDialog* dialog) {
    hasPreview = dialog->findChild<QWidget*>("imagePreview") != nullptr;
    filter = dialog->selectedNameFilter();
    if (auto* check = dialog->findChild<QAbstractButton*>("previewSwitch")) check->setChecked(false);
  });
  EXPECT_TRUE(hasPreview);
  EXPECT_EQ(filter, "Deluxe Paint LBM (*.lbm)");
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, folder_ / "wood.lbm");
  EXPECT_EQ(request_.filterIndex, 3);
  EXPECT_FALSE(preview_);
}

}  // namespace
}  // namespace tessaran
