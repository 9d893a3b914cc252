// The object attribute dialog "ATTRIBUTS": the colour levels with their
// swatch (or a colour chosen through the image picker), the intensity,
// diffusion, reflecting, transparency and refraction percentages, the
// aspect and ray-tracing presets, the surface rendering, the three maps
// through "TYPMAP", "Default", and "See", which hands the material shown to
// the renderer's preview.
#pragma once

#include <QDialog>
#include <array>
#include <filesystem>
#include <functional>

#include "messages/message_library.h"
#include "modeler/app/object_material.h"
#include "ui/image_picker.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tessaran {

// The dialog's scroll bars.
enum class AttributeBar { Red, Green, Blue, Intensity, Diffusion, Reflecting, Transparency, Refraction };

// The presets of the aspect and ray-tracing buttons.
enum class MaterialPreset { Flat, Satiny, Bright, Diamond, Glass, Mirror, Aluminium };

class AttributesDialog final : public QDialog {
  Q_OBJECT

 public:
  // `material` is changed when the dialog ends with OK; `see` receives the
  // material shown each time "See" is pressed.
  AttributesDialog(const MessageLibrary& library, ObjectMaterial& material, const ImagePicker& picker,
                   bool& previewPictures, const std::filesystem::path& directory,
                   std::function<void(const ObjectMaterial&)> see, QWidget* parent);

  // The material as the controls show it.
  ObjectMaterial Shown() const;

  QScrollBar* Bar(AttributeBar bar) const { return bars_[static_cast<std::size_t>(bar)]; }
  QLabel* Swatch() const { return swatch_; }
  QLabel* RenderingText() const { return renderingText_; }
  QLabel* MapText(ObjectMap slot) const { return mapTexts_[static_cast<std::size_t>(slot)]; }
  QPushButton* MapButton(ObjectMap slot) const { return mapButtons_[static_cast<std::size_t>(slot)]; }
  QRadioButton* RenderingButton(SurfaceRendering rendering) const {
    return renderings_[static_cast<std::size_t>(rendering)];
  }
  QPushButton* DefaultButton() const { return default_; }
  QPushButton* SeeButton() const { return see_; }
  QPushButton* ColourButton() const { return colour_; }

  void ApplyPreset(MaterialPreset preset);

 private:
  void Show(const ObjectMaterial& material);
  void Refresh();
  void ChooseColour();
  void EditMap(ObjectMap slot);

  const MessageLibrary& library_;
  ObjectMaterial& material_;
  const ImagePicker& picker_;
  bool& previewPictures_;
  std::filesystem::path directory_;
  std::function<void(const ObjectMaterial&)> seeMaterial_;
  std::array<MaterialMap, 3> maps_;
  std::array<QScrollBar*, 8> bars_{};
  std::array<QLabel*, 8> values_{};
  std::array<QRadioButton*, 3> renderings_{};
  std::array<QLabel*, 3> mapTexts_{};
  std::array<QPushButton*, 3> mapButtons_{};
  QLabel* swatch_;
  QLabel* renderingText_;
  QPushButton* default_;
  QPushButton* see_;
  QPushButton* colour_;
};

}  // namespace tessaran
