#include "modeler/app/windows/map_type_dialog.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "scene/maq_file.h"
#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr char kDialog[] = "TYPMAP";
constexpr int kImageLabel = 10;
constexpr int kTypeLabel = 11;
constexpr int kParametricText = 12;
constexpr int kSphericalText = 13;
constexpr int kRepeatXLabel = 14;
constexpr int kRepeatYLabel = 15;
constexpr int kPictureFilter = 16;
constexpr int kPictureTitle = 17;

// Messages of the modeler's library.
constexpr int kMsgOpacityTitle = 62;
constexpr int kMsgBumpTitle = 63;
constexpr int kMsgTextureTitle = 64;
constexpr int kMsgNoMapping = 81;
constexpr int kMsgChooseMapping = 82;

QSpinBox* RepeatBox(int value, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(1, 999);
  box->setValue(std::clamp(value, 1, 999));
  return box;
}

}  // namespace

MapTypeDialog::MapTypeDialog(const MessageLibrary& library, ObjectMap slot, MaterialMap& map,
                             const ImagePicker& picker, bool& previewPictures, const std::filesystem::path& directory,
                             QWidget* parent)
    : QDialog(parent),
      library_(library),
      map_(map),
      picker_(picker),
      previewPictures_(previewPictures),
      directory_(directory) {
  const int title = slot == ObjectMap::Colour ? kMsgTextureTitle : slot == ObjectMap::Bump ? kMsgBumpTitle
                                                                                        : kMsgOpacityTitle;
  setWindowTitle(MessageString(library, title).trimmed());
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  image_ = new QLineEdit(QString::fromStdString(map.image), this);
  image_->setMaxLength(static_cast<int>(kMaqMapNameLength));
  auto* choose = new QPushButton(MessageString(library, kMsgChooseMapping), this);
  auto* none = new QPushButton(MessageString(library, kMsgNoMapping), this);
  connect(choose, &QPushButton::clicked, this, &MapTypeDialog::Choose);
  connect(none, &QPushButton::clicked, image_, &QLineEdit::clear);
  auto* imageRow = new QHBoxLayout;
  imageRow->addWidget(image_, 1);
  imageRow->addWidget(choose);
  imageRow->addWidget(none);
  form->addRow(DialogText(library, kDialog, kImageLabel), imageRow);
  auto* parametric = new QRadioButton(DialogText(library, kDialog, kParametricText), this);
  spherical_ = new QRadioButton(DialogText(library, kDialog, kSphericalText), this);
  (map.type == kSphericalMap ? spherical_ : parametric)->setChecked(true);
  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(parametric);
  typeRow->addWidget(spherical_);
  form->addRow(DialogText(library, kDialog, kTypeLabel), typeRow);
  x_ = RepeatBox(map.repeatX, this);
  y_ = RepeatBox(map.repeatY, this);
  form->addRow(DialogText(library, kDialog, kRepeatXLabel), x_);
  form->addRow(DialogText(library, kDialog, kRepeatYLabel), y_);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(library, kDialog, this));
  connect(this, &QDialog::accepted, this, &MapTypeDialog::Store);
}

void MapTypeDialog::Choose() {
  ImageFileRequest request;
  request.title = DialogText(library_, kDialog, kPictureTitle);
  request.current = image_->text().toStdString();
  request.directory = directory_;
  request.preview = &previewPictures_;
  // The filter's parts are separated by 0x01 in the library's text.
  request.filter = library_.DialogText(kDialog, kPictureFilter);
  std::replace(request.filter.begin(), request.filter.end(), '\x01', '\0');
  request.defaultExtension = "lbm";
  const std::optional<std::filesystem::path> file = picker_.PickImageFile(this, request);
  if (!file) return;
  // A name the scene file cannot hold would name another image once cut.
  if (file->string().size() > kMaqMapNameLength) {
    QApplication::beep();
    return;
  }
  image_->setText(QString::fromStdString(file->string()));
}

void MapTypeDialog::Store() {
  map_.image = image_->text().trimmed().toStdString();
  map_.type = spherical_->isChecked() ? kSphericalMap : kParametricMap;
  map_.repeatX = x_->value();
  map_.repeatY = y_->value();
}

}  // namespace tessaran
