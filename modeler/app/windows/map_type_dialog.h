// The map dialog "TYPMAP" of one map slot of the material (texture, bump or
// opacity): the image, chosen through the image picker, its projection and
// how many times it repeats across and up. "No Mapping" empties the slot.
#pragma once

#include <QDialog>
#include <filesystem>

#include "messages/message_library.h"
#include "modeler/app/object_material.h"
#include "ui/image_picker.h"

class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace tessaran {

class MapTypeDialog final : public QDialog {
  Q_OBJECT

 public:
  // `map` is changed when the dialog ends with OK.
  MapTypeDialog(const MessageLibrary& library, ObjectMap slot, MaterialMap& map, const ImagePicker& picker,
                bool& previewPictures, const std::filesystem::path& directory, QWidget* parent);

  QLineEdit* Image() const { return image_; }
  QRadioButton* Spherical() const { return spherical_; }
  QSpinBox* RepeatX() const { return x_; }
  QSpinBox* RepeatY() const { return y_; }
  // Runs "Choose a Mapping".
  void Choose();

 private:
  void Store();

  const MessageLibrary& library_;
  MaterialMap& map_;
  const ImagePicker& picker_;
  bool& previewPictures_;
  std::filesystem::path directory_;
  QLineEdit* image_;
  QRadioButton* spherical_;
  QSpinBox* x_;
  QSpinBox* y_;
};

}  // namespace tessaran
