// The pixel (500) and ray-tracing (2000) settings: the antialiasing level,
// the cast shadows of the sun and of the modeler's lamps (kept apart for
// the two modes), and for ray tracing the sky and ground switches, the
// recursion depth, the ambient intensity, the five sky and ground colours,
// and the sky and ground mappings (whether they are on, and their own
// dialogs). OK stores them in the working copy.
#pragma once

#include <QDialog>
#include <array>
#include <filesystem>

#include "messages/message_library.h"
#include "renderer/app/render_project.h"
#include "renderer/app/windows/mapping_dialog.h"
#include "ui/image_picker.h"

class QCheckBox;
class QRadioButton;
class QPushButton;
class QSpinBox;

namespace tessaran {

class ModeDialog final : public QDialog {
  Q_OBJECT

 public:
  // picker, previewPictures: the colour and mapping pictures' choices.
  ModeDialog(const MessageLibrary& library, RenderProject& copy, bool rayTracing,
             const std::filesystem::path& initialDirectory, const ImagePicker& picker, bool& previewPictures,
             QWidget* parent);
  QRadioButton* Level(int level) const { return levels_[static_cast<std::size_t>(level)]; }
  // Ray tracing: the five sky and ground colours' buttons, in their order,
  // and the buttons of the sky and ground mapping dialogs.
  QPushButton* ColourButton(int index) const { return colourButtons_[static_cast<std::size_t>(index)]; }
  QPushButton* MappingButton(MappingSlot slot) const { return slot == MappingSlot::Sky ? skyEdit_ : groundEdit_; }

 private:
  void Store();
  void ChooseColour(int index);
  void EditMapping(MappingSlot slot);
  void ShowColour(int index);
  void ShowMappings();

  RenderProject& copy_;
  bool rayTracing_;
  std::array<QRadioButton*, 4> levels_{};
  QCheckBox* sunShadows_;
  QCheckBox* lampShadows_;
  QCheckBox* sky_ = nullptr;
  QCheckBox* ground_ = nullptr;
  QCheckBox* skyMapping_ = nullptr;
  QCheckBox* groundMapping_ = nullptr;
  QSpinBox* recursion_ = nullptr;
  QSpinBox* ambient_ = nullptr;
  const MessageLibrary& library_;
  std::filesystem::path initialDirectory_;
  const ImagePicker& picker_;
  bool& previewPictures_;
  std::array<std::uint32_t, 5> colours_{};
  std::array<QPushButton*, 5> colourButtons_{};
  MappingRecord skyRecord_;     // edited by the mapping dialogs, stored on OK
  MappingRecord groundRecord_;
  QPushButton* skyEdit_ = nullptr;
  QPushButton* groundEdit_ = nullptr;
};

}  // namespace tessaran
