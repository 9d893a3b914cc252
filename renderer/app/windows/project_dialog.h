// The project dialog "Parametrage rendu": render mode, scene file, outputs,
// sun, image counts, the first image to compute, and the dialogs for the
// resolution, the formats and the mode's settings. It edits a working copy
// of the project; how it ended tells the main window what to do with it.
#pragma once

#include <QDialog>
#include <array>
#include <filesystem>

#include "messages/message_library.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/render_project.h"
#include "ui/file_filter.h"

class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace tessaran {

class ImagePicker;

// How the dialog ended besides OK (1) and Cancel (0).
constexpr int kDialogSceneChosen = 3;  // a scene file was chosen: attach it
constexpr int kDialogCompute = 108;    // "Calculer"

class ProjectDialog final : public QDialog {
  Q_OBJECT

 public:
  ProjectDialog(const MessageLibrary& library, const RenderProject& project, ResolutionPresets& presets,
                int displayDepth, const std::filesystem::path& initialDirectory, const ImagePicker& picker,
                bool& previewPictures, QWidget* parent);

  const RenderProject& Copy() const { return copy_; }
  RenderProject& Copy() { return copy_; }
  // The scene chosen with "Fichier maquette.." (end code 3).
  const std::filesystem::path& ChosenScene() const { return chosenScene_; }
  QString TotalText() const;
  QRadioButton* ModeButton(int mode) const { return modes_[static_cast<std::size_t>(mode)]; }

  // Commands of the dialog's buttons, also for tests.
  void ChooseMode(int mode);
  void OpenResolution();
  void OpenFormats();
  void OpenImageCounts();

 private:
  void Refresh();
  void ChoosePlane(std::uint16_t bit, bool checked);
  void ChooseScene();

  const MessageLibrary& library_;
  RenderProject copy_;
  ResolutionPresets& presets_;
  int depth_;
  std::filesystem::path initialDirectory_;
  const ImagePicker& picker_;
  bool& previewPictures_;  // the "PREVIEW_BMP" setting the picture choices use
  std::filesystem::path chosenScene_;
  std::array<QRadioButton*, 4> modes_{};
  QCheckBox* backPlane_;
  QCheckBox* frontPlane_;
  QCheckBox* loop_;
  QCheckBox* animation_;
  QCheckBox* images_;
  QLabel* total_;
  QLabel* resolution_;
  QSlider* sunIntensity_;
  QSlider* sunV_;
  QSlider* sunH_;
  QRadioButton* absolute_;
  QRadioButton* relative_;
  QSpinBox* first_;
  bool refreshing_ = false;
};

}  // namespace tessaran
