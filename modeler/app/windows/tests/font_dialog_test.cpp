// "3D Font": the text of "FONT" is the one `qmx --batch --text` builds, in
// the default font or in another installed font found through fontconfig;
// each text is a step of "Undo".
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "modeler/app/windows/font_dialog.h"
#include "modeler/app/windows/tests/batch_scene.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/geometry/text3d.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class FontCommandTest : public ModelerWindowFixture {
 protected:
  void SetUp() override {
    ModelerWindowFixture::SetUp();
    if (DefaultFontFile().empty()) GTEST_SKIP() << "no TrueType font installed";
  }
};

TEST_F(FontCommandTest, TheTextOfTheDialogIsTheBatchOne) {
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto* dialog = qobject_cast<FontDialog*>(shown);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "3D Font");
    EXPECT_EQ(dialog->FontFile(), DefaultFontFile());
    EXPECT_EQ(dialog->FontName()->text().toStdString(), DefaultFontFile().filename().string());
    dialog->TextEdit()->setText(QString::fromUtf8("Aé"));
  });
  window_->Command(kCmdFont);
  ASSERT_GT(scene_->Header().objectCount, 0);
  const Bytes one = MaqFileBytes(*scene_);
  EXPECT_EQ(one, BatchSceneBytes("--text 'Aé'", dir_));
  window_->Command(kCmdUndo);
  EXPECT_EQ(scene_->Header().objectCount, 0);
  window_->Command(kCmdRedo);
  EXPECT_EQ(MaqFileBytes(*scene_), one);
}

TEST_F(FontCommandTest, OtherFontsAreFoundByFamilyAndStyle) {
  const std::filesystem::path bold = FontFileFor("DejaVu Sans", "Bold");
  if (bold.filename() != "DejaVuSans-Bold.ttf") GTEST_SKIP() << "DejaVu Sans Bold is not installed";
  // Without a style name, the weight and slant choose.
  EXPECT_EQ(FontFileFor("DejaVu Sans", "", true, false), bold);
  EXPECT_EQ(FontFileFor("DejaVu Sans", "", false, false).filename(), "DejaVuSans.ttf");

  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto* dialog = qobject_cast<FontDialog*>(shown);
    ASSERT_NE(dialog, nullptr);
    // An empty text cannot be built.
    EXPECT_FALSE(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    dialog->TextEdit()->setText("Hi");
    dialog->chooseFont = [](const QFont&) -> std::optional<QFont> {
      QFont font("DejaVu Sans");
      font.setStyleName("Bold");
      return font;
    };
    dialog->OtherFontsButton()->click();
    EXPECT_EQ(dialog->FontName()->text(), "DejaVuSans-Bold.ttf");
    // A cancelled font dialog keeps the font.
    dialog->chooseFont = [](const QFont&) { return std::optional<QFont>(); };
    dialog->OtherFontsButton()->click();
    EXPECT_EQ(dialog->FontName()->text(), "DejaVuSans-Bold.ttf");
  });
  window_->Command(kCmdFont);
  EXPECT_EQ(MaqFileBytes(*scene_), BatchSceneBytes("--text Hi --font '" + bold.string() + "'", dir_));
  // A cancelled dialog builds nothing.
  const Bytes made = MaqFileBytes(*scene_);
  AnswerNextDialog(QDialog::Rejected);
  window_->Command(kCmdFont);
  EXPECT_EQ(MaqFileBytes(*scene_), made);
}

}  // namespace
}  // namespace tessaran
