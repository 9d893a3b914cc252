// The dialogs the project dialog opens on its working copy: the resolution
// with its presets, the file formats, and the image counts between
// keyframe scenes. Each edits the copy it is given; OK keeps the edits.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <vector>

#include "messages/message_library.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/render_project.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace tessaran {

// Resolution (2400): a preset copies its values into the fields; a typed
// value goes to the custom entry, which is rewritten and selected.
class ResolutionDialog final : public QDialog {
  Q_OBJECT

 public:
  ResolutionDialog(const MessageLibrary& library, ResolutionPresets& presets, RenderProject& copy,
                   QWidget* parent);
  QListWidget* Presets() const { return list_; }
  QLineEdit* WidthField() const { return width_; }
  QLineEdit* HeightField() const { return height_; }
  QLineEdit* RatioField() const { return ratio_; }

 private:
  void Typed(const QLineEdit* field, void (ResolutionPresets::*type)(int));
  void Store();

  ResolutionPresets& presets_;
  RenderProject& copy_;
  QListWidget* list_;
  QLineEdit* width_;
  QLineEdit* height_;
  QLineEdit* ratio_;
  bool filling_ = false;
};

// File formats (300): the three lists, the image kinds the display allows.
class FormatDialog final : public QDialog {
  Q_OBJECT

 public:
  FormatDialog(const MessageLibrary& library, RenderProject& copy, int displayDepth, QWidget* parent);
  QCheckBox* ScreenImages() const { return screen_; }
  QCheckBox* TrueColourImages() const { return trueColour_; }

 private:
  void Store();

  RenderProject& copy_;
  QCheckBox* screen_;
  QCheckBox* trueColour_;
  QComboBox* format8_;
  QComboBox* format24_;
  QComboBox* anim_;
};

// Number of images (200): one count per interval between keyframe scenes
// (and the way back with the loop), and the total they make.
class ImageCountDialog final : public QDialog {
  Q_OBJECT

 public:
  ImageCountDialog(const MessageLibrary& library, RenderProject& copy, QWidget* parent);
  const std::vector<QSpinBox*>& Counts() const { return counts_; }
  QString TotalText() const;

 private:
  void Recount();

  const MessageLibrary& library_;
  RenderProject& copy_;
  RenderProject edited_;
  std::vector<QSpinBox*> counts_;
  QLabel* total_;
};

}  // namespace tessaran
