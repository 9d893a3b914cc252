#include "renderer/app/windows/output_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr int kLargestCount = 32767;

int Number(const QLineEdit* field, bool* ok) { return field->text().trimmed().toInt(ok); }

}  // namespace

ResolutionDialog::ResolutionDialog(const MessageLibrary& library, ResolutionPresets& presets, RenderProject& copy,
                                   QWidget* parent)
    : QDialog(parent), presets_(presets), copy_(copy) {
  constexpr const char* kDialog = "2400";
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  for (int i = 0; i < kPresetCount; ++i) list_->addItem(Utf8(presets.Line(i)));
  layout->addWidget(list_);
  auto* fields = new QFormLayout;
  width_ = new QLineEdit(QString::number(copy.width), this);
  height_ = new QLineEdit(QString::number(copy.height), this);
  ratio_ = new QLineEdit(QString::number(copy.pixelRatio / 10), this);
  fields->addRow(DialogText(library, kDialog, 10), width_);
  fields->addRow(DialogText(library, kDialog, 11), height_);
  fields->addRow(DialogText(library, kDialog, 12), ratio_);
  layout->addLayout(fields);
  layout->addWidget(OkCancelButtons(library, kDialog, this));
  list_->setCurrentRow(presets.Selected());

  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (filling_ || row < 0) return;
    RenderProject chosen = copy_;
    presets_.Choose(row, chosen);
    filling_ = true;
    width_->setText(QString::number(chosen.width));
    height_->setText(QString::number(chosen.height));
    ratio_->setText(QString::number(chosen.pixelRatio / 10));
    filling_ = false;
  });
  // A typed value changes only its own field of the custom entry.
  connect(width_, &QLineEdit::textEdited, this, [this] { Typed(width_, &ResolutionPresets::TypeWidth); });
  connect(height_, &QLineEdit::textEdited, this, [this] { Typed(height_, &ResolutionPresets::TypeHeight); });
  connect(ratio_, &QLineEdit::textEdited, this, [this] { Typed(ratio_, &ResolutionPresets::TypeRatio); });
  connect(this, &QDialog::accepted, this, [this] { Store(); });
}

void ResolutionDialog::Typed(const QLineEdit* field, void (ResolutionPresets::*type)(int)) {
  bool ok = false;
  const int value = Number(field, &ok);
  if (!ok) return;
  (presets_.*type)(value);
  filling_ = true;
  list_->item(kCustomPreset)->setText(Utf8(presets_.Line(kCustomPreset)));
  list_->setCurrentRow(kCustomPreset);
  filling_ = false;
}

// Each field is stored only when it holds a valid number.
void ResolutionDialog::Store() {
  bool ok = false;
  if (const int w = Number(width_, &ok); ok && w > 0 && w <= kLargestCount) copy_.width = static_cast<std::int16_t>(w);
  if (const int h = Number(height_, &ok); ok && h > 0 && h <= kLargestCount) {
    copy_.height = static_cast<std::int16_t>(h);
  }
  if (const int r = Number(ratio_, &ok); ok && r > 0 && r <= kLargestCount / 10) {
    copy_.pixelRatio = static_cast<std::int16_t>(r * 10);
  }
}

FormatDialog::FormatDialog(const MessageLibrary& library, RenderProject& copy, int displayDepth, QWidget* parent)
    : QDialog(parent), copy_(copy) {
  constexpr const char* kDialog = "300";
  setWindowTitle(DialogText(library, kDialog, 0));
  const FormatChoices choices = OpenFormatDialog(copy, displayDepth);
  auto* layout = new QFormLayout(this);
  screen_ = new QCheckBox(DialogText(library, kDialog, 10), this);
  trueColour_ = new QCheckBox(DialogText(library, kDialog, 11), this);
  format8_ = new QComboBox(this);
  format24_ = new QComboBox(this);
  anim_ = new QComboBox(this);
  for (int i = 0; i < kFormat8Count; ++i) format8_->addItem(Utf8(Format8(i).text));
  for (int i = 0; i < kFormat24Count; ++i) format24_->addItem(Utf8(Format24Text(i)));
  for (int i = 0; i < kAnimFormatCount; ++i) anim_->addItem(Utf8(AnimFormat(i).text));
  format8_->setCurrentIndex(copy.format8);
  format24_->setCurrentIndex(copy.format24);
  anim_->setCurrentIndex(copy.animFormat);
  screen_->setChecked(copy.Output(kOutScreenImages));
  trueColour_->setChecked(copy.Output(kOut24BitImages));
  screen_->setEnabled(choices.screenImages);
  format8_->setEnabled(choices.screenImages);
  trueColour_->setEnabled(choices.trueColour);
  format24_->setEnabled(choices.trueColour);
  layout->addRow(screen_, format8_);
  layout->addRow(trueColour_, format24_);
  layout->addRow(new QLabel(DialogText(library, kDialog, 12), this), anim_);
  layout->addRow(OkCancelButtons(library, kDialog, this));
  connect(this, &QDialog::accepted, this, [this] { Store(); });
  // Whatever button closes it, "write images" follows the kinds left.
  connect(this, &QDialog::finished, this, [this] { CloseFormatDialog(copy_); });
}

void FormatDialog::Store() {
  copy_.SetOutput(kOutScreenImages, screen_->isEnabled() && screen_->isChecked());
  copy_.SetOutput(kOut24BitImages, trueColour_->isEnabled() && trueColour_->isChecked());
  copy_.format8 = static_cast<std::int16_t>(format8_->currentIndex());
  copy_.format24 = static_cast<std::int16_t>(format24_->currentIndex());
  copy_.animFormat = static_cast<std::int16_t>(anim_->currentIndex());
}

ImageCountDialog::ImageCountDialog(const MessageLibrary& library, RenderProject& copy, QWidget* parent)
    : QDialog(parent), library_(library), copy_(copy), edited_(copy) {
  constexpr const char* kDialog = "200";
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QFormLayout(this);
  const int intervals = IntervalCount(copy);
  const QString between = DialogText(library, kDialog, 10);
  for (int i = 0; i < intervals; ++i) {
    auto* count = new QSpinBox(this);
    count->setRange(0, kLargestCount);
    count->setValue(i < static_cast<int>(copy.imageCounts.size()) ? copy.imageCounts[static_cast<std::size_t>(i)] : 0);
    const bool wayBack = i == copy.sceneCount - 1;
    const QString label = wayBack ? DialogText(library, kDialog, 11)
                                  : QString::asprintf(between.toUtf8().constData(), i + 1, i + 2);
    layout->addRow(label, count);
    counts_.push_back(count);
    connect(count, &QSpinBox::valueChanged, this, [this] { Recount(); });
  }
  total_ = new QLabel(this);
  layout->addRow(total_);
  layout->addRow(OkCancelButtons(library, kDialog, this));
  Recount();
  connect(this, &QDialog::accepted, this, [this] { copy_ = edited_; });
}

void ImageCountDialog::Recount() {
  edited_.imageCounts.resize(std::max(edited_.imageCounts.size(), counts_.size()), 0);
  for (std::size_t i = 0; i < counts_.size(); ++i) edited_.imageCounts[i] = counts_[i]->value();
  const QString pattern = DialogText(library_, "200", 12);
  total_->setText(QString::asprintf(pattern.toUtf8().constData(), TotalImages(edited_)));
}

QString ImageCountDialog::TotalText() const { return total_->text(); }

}  // namespace tessaran
