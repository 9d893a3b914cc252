// The image picker library as a program sees it: loaded by name from the
// program directory and called through its C exports, its dialogs driven
// while they are open.
#include <gtest/gtest.h>

#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QCheckBox>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/bmp.h"
#include "messages/message_library.h"
#include "platform/dynlib.h"
#include "storage/virtim.h"
#include "ui/file_filter.h"
#include "ui/pickimg_interface.h"
#include "ui/tests/qt_test_app.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

constexpr int kSlot = 40;
constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
constexpr std::uint32_t kYellow = 0xFFFF00;

// A 24-bit BMP whose quadrants have the colours given (top left, top right,
// bottom left, bottom right).
fs::path WritePicture(const fs::path& file, int width, int height, std::array<std::uint32_t, 4> quadrants) {
  EXPECT_EQ(VimCreate(kSlot, width, height, 24), 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int quadrant = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
      VimPutPixel(kSlot, quadrants[static_cast<std::size_t>(quadrant)], static_cast<std::uint32_t>(y),
                  static_cast<std::uint32_t>(x), 0);
    }
  }
  EXPECT_EQ(WriteBmp(file, -1, kSlot, height), 0);
  VimFree(kSlot);
  return file;
}

std::uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

// Runs `act` on the next message box once it is shown.
void WhenBoxShows(std::function<void(QMessageBox*)> act) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return WhenBoxShows(act);
    act(box);
  });
}

class PickImgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The library reads its console switch at its first call.
    setenv("KORVANDBGDLL", "1", 1);
    TestApplication();
    library_ = DynLib::Open(kPickImgLibrary).release();
    ASSERT_NE(library_, nullptr);
    openFile_ = reinterpret_cast<OpenFileBMPFunction>(library_->Symbol(kOpenFileBMPName));
    chooseColour_ = reinterpret_cast<OpenChooseColorFunction>(library_->Symbol(kOpenChooseColorName));
  }

  void SetUp() override {
    ASSERT_NE(openFile_, nullptr);
    ASSERT_NE(chooseColour_, nullptr);
    folder_ = fs::temp_directory_path() / ("pickimg_test_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    // An empty name, with bytes after its end that must stay as they are.
    buffer_.assign(300, 'x');
    buffer_[0] = '\0';
  }
  void TearDown() override { fs::remove_all(folder_); }

  void SetName(const std::string& name) { std::memcpy(buffer_.data(), name.c_str(), name.size() + 1); }
  std::string Name() const { return buffer_.data(); }

  // Opens the picker; `inside` has the dialog, which then ends with `code`.
  int Open(int code, std::function<void(QFileDialog*)> inside, int* preview = nullptr, const char* filter = nullptr,
           PickImgOpenFile* record = nullptr, std::size_t size = 300) {
    AnswerNextDialog(code, [=](QDialog* shown) {
      auto* dialog = qobject_cast<QFileDialog*>(shown);
      ASSERT_NE(dialog, nullptr);
      if (inside) inside(dialog);
    });
    return openFile_(nullptr, "Choose a Mapping", buffer_.data(), size, folder_.c_str(), preview, filter, record);
  }

  // Asks the dialog's preview for `file` as a selection in its list does.
  static void Select(QFileDialog* dialog, const fs::path& file) {
    QMetaObject::invokeMethod(dialog, "currentChanged", Q_ARG(QString, QString::fromStdString(file.string())));
  }
  static QImage Shown(QFileDialog* dialog) {
    auto* area = dialog->findChild<QLabel*>("previewArea");
    return area ? area->pixmap().toImage() : QImage();
  }

  static DynLib* library_;
  static OpenFileBMPFunction openFile_;
  static OpenChooseColorFunction chooseColour_;
  fs::path folder_;
  std::vector<char> buffer_;
};

DynLib* PickImgTest::library_ = nullptr;
OpenFileBMPFunction PickImgTest::openFile_ = nullptr;
OpenChooseColorFunction PickImgTest::chooseColour_ = nullptr;

TEST_F(PickImgTest, CancelLeavesTheBufferExactlyAsItWas) {
  fs::create_directories(folder_ / "maps");
  WritePicture(folder_ / "maps" / "wood.bmp", 8, 8, {kRed, kRed, kRed, kRed});
  SetName((folder_ / "maps" / "old.lbm").string());
  const std::vector<char> before = buffer_;
  int preview = 1;
  // The buffer's directory comes before the one given.
  QString shownDirectory;
  EXPECT_EQ(Open(QDialog::Rejected,
                 [&](QFileDialog* dialog) {
                   shownDirectory = dialog->directory().absolutePath();
                   dialog->selectFile("wood.bmp");
                   Select(dialog, folder_ / "maps" / "wood.bmp");
                 },
                 &preview),
            0);
  EXPECT_EQ(buffer_, before);
  EXPECT_EQ(shownDirectory.toStdString(), (folder_ / "maps").string());
}

TEST_F(PickImgTest, ChoiceFillsTheBufferAndTheRecord) {
  const fs::path sky = WritePicture(folder_ / "sky.bmp", 8, 8, {kBlue, kBlue, kBlue, kBlue});
  PickImgOpenFile record{4, "bmp", 0};
  const char* filter = "All\0*.lbm;*.bmp\0LBM\0*.lbm\0PCX\0*.pcx\0BMP\0*.bmp\0\0";
  QString directory;
  QString suffix;
  EXPECT_EQ(Open(QDialog::Accepted,
                 [&](QFileDialog* dialog) {
                   directory = dialog->directory().absolutePath();
                   suffix = dialog->defaultSuffix();
                   EXPECT_EQ(dialog->selectedNameFilter(), "BMP (*.bmp)");
                   dialog->selectFile(QString::fromStdString(sky.string()));
                   static_cast<QDialog*>(dialog)->accept();
                 },
                 nullptr, filter, &record),
            1);
  // An empty buffer opens in the directory given.
  EXPECT_EQ(directory.toStdString(), folder_.string());
  EXPECT_EQ(suffix, "bmp");
  EXPECT_EQ(Name(), sky.string());
  EXPECT_EQ(record.filterIndex, 4);
  EXPECT_EQ(Name().substr(record.extensionOffset), "bmp");
}

TEST_F(PickImgTest, PathLongerThanTheBufferIsRefusedAndTheBufferKept) {
  const fs::path deep = folder_ / std::string(120, 'd');
  fs::create_directories(deep);
  const fs::path file = WritePicture(deep / "a.bmp", 4, 4, {kRed, kRed, kRed, kRed});
  SetName("old.lbm");
  const std::vector<char> before = buffer_;
  EXPECT_EQ(Open(QDialog::Accepted,
                 [&](QFileDialog* dialog) {
                   dialog->selectFile(QString::fromStdString(file.string()));
                   static_cast<QDialog*>(dialog)->accept();
                 },
                 nullptr, nullptr, nullptr, kPickImgMinimumName),
            0);
  EXPECT_EQ(buffer_, before);
}

TEST_F(PickImgTest, LargePictureIsSqueezedSmallOneDrawnUnscaledOnBlack) {
  const fs::path large = WritePicture(folder_ / "large.bmp", 640, 480, {kRed, kGreen, kBlue, kWhite});
  const fs::path small = WritePicture(folder_ / "small.bmp", 64, 64, {kGreen, kGreen, kYellow, kYellow});
  int preview = 1;
  QImage placeholder, squeezed, unscaled;
  Open(QDialog::Rejected,
       [&](QFileDialog* dialog) {
         placeholder = Shown(dialog);
         Select(dialog, large);
         squeezed = Shown(dialog);
         Select(dialog, small);
         unscaled = Shown(dialog);
       },
       &preview);
  ASSERT_FALSE(squeezed.isNull());
  const int w = squeezed.width(), h = squeezed.height();
  ASSERT_GT(w, 64);
  ASSERT_GT(h, 64);
  EXPECT_EQ(placeholder.size(), squeezed.size());
  EXPECT_NE(placeholder, squeezed);
  // The whole area, corners included, is the picture, the right way up.
  EXPECT_EQ(Rgb(squeezed, 0, 0), kRed);
  EXPECT_EQ(Rgb(squeezed, w - 1, 0), kGreen);
  EXPECT_EQ(Rgb(squeezed, 0, h - 1), kBlue);
  EXPECT_EQ(Rgb(squeezed, w - 1, h - 1), kWhite);
  EXPECT_EQ(Rgb(squeezed, w / 2 - 2, h / 2 - 2), kRed);
  EXPECT_EQ(Rgb(squeezed, w / 2 + 2, h / 2 + 2), kWhite);
  // 64 × 64 at its size in the top-left corner, black around it.
  EXPECT_EQ(Rgb(unscaled, 0, 0), kGreen);
  EXPECT_EQ(Rgb(unscaled, 63, 31), kGreen);
  EXPECT_EQ(Rgb(unscaled, 63, 32), kYellow);
  EXPECT_EQ(Rgb(unscaled, 0, 63), kYellow);
  EXPECT_EQ(Rgb(unscaled, 64, 0), 0u);
  EXPECT_EQ(Rgb(unscaled, 0, 64), 0u);
  EXPECT_EQ(Rgb(unscaled, w - 1, h - 1), 0u);
}

TEST_F(PickImgTest, PreviewOffDecodesNothingUntilTurnedOn) {
  const fs::path picture = WritePicture(folder_ / "p.bmp", 16, 16, {kRed, kRed, kRed, kRed});
  int preview = 0;
  QImage before, after, turnedOn;
  testing::internal::CaptureStderr();
  Open(QDialog::Rejected,
       [&](QFileDialog* dialog) {
         auto* check = dialog->findChild<QCheckBox*>("previewSwitch");
         ASSERT_NE(check, nullptr);
         EXPECT_FALSE(check->isChecked());
         before = Shown(dialog);
         Select(dialog, picture);
         after = Shown(dialog);
         // Turned on, the preview shows the file under the cursor.
         check->setChecked(true);
         turnedOn = Shown(dialog);
       },
       &preview);
  const std::string traces = testing::internal::GetCapturedStderr();
  EXPECT_EQ(after, before);
  EXPECT_NE(traces.find("PreviewOFF\n"), std::string::npos) << traces;
  EXPECT_EQ(traces.find("Previewing [" + picture.string() + "]\n"), traces.rfind("Previewing [")) << traces;
  EXPECT_EQ(Rgb(turnedOn, 0, 0), kRed);
  // The check box's state goes back to the caller even on cancel.
  EXPECT_EQ(preview, 1);
}

TEST_F(PickImgTest, UndecodableFileShowsThePlaceholderAndBlocksNestedPreviews) {
  const fs::path good = WritePicture(folder_ / "good.bmp", 16, 16, {kRed, kRed, kRed, kRed});
  const fs::path broken = folder_ / "broken.bmp";
  std::ofstream(broken, std::ios::binary) << "BM\x10\x00";
  int preview = 1;
  QImage placeholder, hostile;
  bool boxShown = false;
  testing::internal::CaptureStderr();
  Open(QDialog::Rejected,
       [&](QFileDialog* dialog) {
         placeholder = Shown(dialog);
         Select(dialog, good);
         // While the loader's message about the broken file is up, another
         // selection is not previewed.
         WhenBoxShows([&, dialog](QMessageBox* box) {
           boxShown = true;
           Select(dialog, good);
           box->done(QMessageBox::Ok);
         });
         Select(dialog, broken);
         hostile = Shown(dialog);
       },
       &preview);
  const std::string traces = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(boxShown);
  EXPECT_EQ(hostile, placeholder);
  EXPECT_NE(traces.find("AlreadyLoading\n"), std::string::npos) << traces;
}

TEST_F(PickImgTest, FilterAndExtensionDefaults) {
  MessageLibrary messages(MessageProgram::Renderer);
  ASSERT_TRUE(messages.LoadConfigured());
  QStringList filters;
  QString suffix;
  QString checkText;
  bool caseSensitive = true;
  Open(QDialog::Rejected, [&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    suffix = dialog->defaultSuffix();
    caseSensitive = dialog->filter() & QDir::CaseSensitive;
    checkText = dialog->findChild<QCheckBox*>("previewSwitch")->text();
  });
  EXPECT_EQ(filters, QtFilter(messages.Format(99)).split(";;"));
  EXPECT_EQ(filters.size(), 5);
  EXPECT_EQ(suffix, "lbm");
  EXPECT_FALSE(caseSensitive);
  EXPECT_EQ(checkText.toStdString(), messages.DialogText("1536", 1540));
  EXPECT_FALSE(checkText.isEmpty());

  // A record without an extension also gets "lbm"; the modeler's filter
  // is shown as it is given.
  PickImgOpenFile record{0, nullptr, 0};
  const char* modeler = " All format \0*.lbm;*.pcx;*.tga;*.bmp\0Targa TGA\0*.TGA\0\0";
  Open(QDialog::Rejected,
       [&](QFileDialog* dialog) {
         filters = dialog->nameFilters();
         suffix = dialog->defaultSuffix();
       },
       nullptr, modeler, &record);
  EXPECT_EQ(filters, (QStringList{"All format (*.lbm *.pcx *.tga *.bmp)", "Targa TGA (*.TGA)"}));
  EXPECT_EQ(suffix, "lbm");
}

TEST_F(PickImgTest, ColourDialogStartsOnTheColourAndStoresTheChoice) {
  std::uint32_t colour = 0x00336699;  // blue 0x33, green 0x66, red 0x99
  QColor initial;
  AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
    auto* dialog = qobject_cast<QColorDialog*>(shown);
    ASSERT_NE(dialog, nullptr);
    initial = dialog->currentColor();
    dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
  });
  EXPECT_EQ(chooseColour_(&colour, 1), 1);
  EXPECT_EQ(initial, QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(colour, 0x00302010u);

  AnswerNextDialog(QDialog::Rejected);
  EXPECT_EQ(chooseColour_(&colour, 0), 0);
  EXPECT_EQ(colour, 0x00302010u);
}

}  // namespace
}  // namespace tessaran
