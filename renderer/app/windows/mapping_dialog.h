// The sky and ground mapping dialogs ("Mapping ciel", "Mapping sol"): the
// picture of the mapping record and its two scale values — for the sky how
// many times the picture repeats across and up, for the ground the size of
// one tile of the pattern in scene units. Choosing a picture switches the
// mapping on; clearing it removes the mapping from the project.
#pragma once

#include <QDialog>
#include <filesystem>

#include "messages/message_library.h"
#include "renderer/app/render_project.h"
#include "ui/image_picker.h"

class QDoubleSpinBox;
class QLineEdit;

namespace tessaran {

enum class MappingSlot { Sky, Ground };

class MappingDialog final : public QDialog {
  Q_OBJECT

 public:
  MappingDialog(const MessageLibrary& library, MappingRecord& record, MappingSlot slot,
                const std::filesystem::path& initialDirectory, const ImagePicker& picker, bool& previewPictures,
                QWidget* parent);

  QLineEdit* File() const { return file_; }
  QDoubleSpinBox* ScaleX() const { return x_; }
  QDoubleSpinBox* ScaleY() const { return y_; }

 private:
  void Browse();
  void Store();

  const MessageLibrary& library_;
  MappingRecord& record_;
  std::filesystem::path initialDirectory_;
  const ImagePicker& picker_;
  bool& previewPictures_;
  QLineEdit* file_;
  QDoubleSpinBox* x_;
  QDoubleSpinBox* y_;
};

}  // namespace tessaran
