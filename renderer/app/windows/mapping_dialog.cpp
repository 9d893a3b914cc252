#include "renderer/app/windows/mapping_dialog.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "renderer/app/render_maps.h"
#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr int kFileLabel = 10;
constexpr int kBrowse = 11;
constexpr int kXLabel = 12;
constexpr int kYLabel = 13;
constexpr int kMsgPictureFilter = 99;
constexpr int kMsgPictureTitle = 97;  // "Choose an image"

// The record keeps the picture's path in 151 characters.
constexpr int kMaxPicturePath = static_cast<int>(kProjectPathSize) - 1;
// Scale values are stored × 100000 in 32-bit integers.
constexpr double kMaxScale = 20000;
constexpr double kMinScale = 0.01;

QDoubleSpinBox* ScaleBox(std::int32_t stored, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(kMinScale, kMaxScale);
  box->setDecimals(2);
  box->setValue(std::clamp(stored / kProjectMappingScale, kMinScale, kMaxScale));
  return box;
}

}  // namespace

MappingDialog::MappingDialog(const MessageLibrary& library, MappingRecord& record, MappingSlot slot,
                             const std::filesystem::path& initialDirectory, const ImagePicker& picker,
                             bool& previewPictures, QWidget* parent)
    : QDialog(parent),
      library_(library),
      record_(record),
      initialDirectory_(initialDirectory),
      picker_(picker),
      previewPictures_(previewPictures) {
  const char* dialog = slot == MappingSlot::Sky ? "2500" : "2600";
  setWindowTitle(DialogText(library, dialog, 0));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  file_ = new QLineEdit(record.kind >= 0 ? QString::fromStdString(MappingImage(record)) : QString(), this);
  file_->setMaxLength(kMaxPicturePath);
  auto* browse = new QPushButton(DialogText(library, dialog, kBrowse), this);
  connect(browse, &QPushButton::clicked, this, &MappingDialog::Browse);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse);
  form->addRow(DialogText(library, dialog, kFileLabel), fileRow);
  x_ = ScaleBox(record.scaleX, this);
  y_ = ScaleBox(record.scaleY, this);
  form->addRow(DialogText(library, dialog, kXLabel), x_);
  form->addRow(DialogText(library, dialog, kYLabel), y_);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(library, dialog, this));
  connect(this, &QDialog::accepted, this, &MappingDialog::Store);
}

void MappingDialog::Browse() {
  ImageFileRequest request;
  request.title = MessageString(library_, kMsgPictureTitle);
  request.current = file_->text().toStdString();
  request.directory = initialDirectory_;
  request.preview = &previewPictures_;
  request.filter = library_.Format(kMsgPictureFilter);
  const std::optional<std::filesystem::path> file = picker_.PickImageFile(this, request);
  if (!file) return;
  // A path the record cannot hold would name another file once cut.
  if (file->string().size() > static_cast<std::size_t>(kMaxPicturePath)) {
    QApplication::beep();
    return;
  }
  file_->setText(QString::fromStdString(file->string()));
}

void MappingDialog::Store() {
  const std::string file = file_->text().trimmed().toStdString();
  if (file.empty()) {
    record_.kind = -1;
    record_.on = 0;
    return;
  }
  if (record_.kind < 0 || MappingImage(record_) != file) record_.on = 1;
  record_.kind = std::max(record_.kind, 0);
  SetMappingImage(record_, file);
  record_.scaleX = static_cast<std::int32_t>(std::lround(x_->value() * kProjectMappingScale));
  record_.scaleY = static_cast<std::int32_t>(std::lround(y_->value() * kProjectMappingScale));
}

}  // namespace tessaran
