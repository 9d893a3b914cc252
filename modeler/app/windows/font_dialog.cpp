#include "modeler/app/windows/font_dialog.h"

#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "modeler/geometry/text3d.h"
#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr int kTextLabel = 10;
constexpr int kFontLabel = 11;
constexpr int kOtherFonts = 12;

}  // namespace

FontDialog::FontDialog(const MessageLibrary& library, QWidget* parent)
    : QDialog(parent), fontFile_(DefaultFontFile()) {
  setWindowTitle(DialogText(library, "FONT", 0));
  chooseFont = [this](const QFont& current) -> std::optional<QFont> {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current, this);
    if (!ok) return std::nullopt;
    return font;
  };
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  text_ = new QLineEdit(this);
  fontName_ = new QLabel(this);
  form->addRow(DialogText(library, "FONT", kTextLabel), text_);
  form->addRow(DialogText(library, "FONT", kFontLabel), fontName_);
  layout->addLayout(form);
  auto* buttons = OkCancelButtons(library, "FONT", this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  otherFonts_ = buttons->addButton(DialogText(library, "FONT", kOtherFonts), QDialogButtonBox::ResetRole);
  otherFonts_->setAutoDefault(false);
  connect(otherFonts_, &QPushButton::clicked, this, &FontDialog::ChooseFont);
  // An empty text builds nothing: OK waits for one.
  connect(text_, &QLineEdit::textChanged, this, &FontDialog::Refresh);
  layout->addWidget(buttons);
  Refresh();
}

std::string FontDialog::Text() const { return text_->text().toStdString(); }

void FontDialog::ChooseFont() {
  const std::optional<QFont> chosen = chooseFont(font_);
  if (!chosen) return;
  const std::filesystem::path file = FontFileFor(chosen->family().toStdString(), chosen->styleName().toStdString(),
                                                 chosen->bold(), chosen->italic());
  // A font fontconfig does not know leaves the one shown.
  if (file.empty()) return;
  font_ = *chosen;
  fontFile_ = file;
  Refresh();
}

void FontDialog::Refresh() {
  fontName_->setText(QString::fromStdString(fontFile_.filename().string()));
  ok_->setEnabled(!text_->text().isEmpty() && !fontFile_.empty());
}

}  // namespace tessaran
