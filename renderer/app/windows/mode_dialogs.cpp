#include "renderer/app/windows/mode_dialogs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"
#include "ui/rgb_value.h"

namespace tessaran {
namespace {

constexpr int kAntialiasGroup = 10;
constexpr int kLevelNone = 11;  // then levels 1, 2, 3
constexpr int kShadowsGroup = 20;
constexpr int kSunShadows = 21;
constexpr int kLampShadows = 22;
constexpr int kSky = 30;
constexpr int kGround = 31;
constexpr int kRecursion = 32;
constexpr int kAmbient = 33;
constexpr int kDefaults = 34;
constexpr int kSkyMapping = 35;
constexpr int kGroundMapping = 36;

constexpr int kColourButtons = 40;  // "ZENITH &H" … the ground's

constexpr int kDefaultRecursion = 4;
constexpr int kDefaultAmbient = 10;

}  // namespace

ModeDialog::ModeDialog(const MessageLibrary& library, RenderProject& copy, bool rayTracing,
                       const std::filesystem::path& initialDirectory, const ImagePicker& picker,
                       bool& previewPictures, QWidget* parent)
    : QDialog(parent),
      copy_(copy),
      rayTracing_(rayTracing),
      library_(library),
      initialDirectory_(initialDirectory),
      picker_(picker),
      previewPictures_(previewPictures),
      colours_(copy.skyColours),
      skyRecord_(copy.sky),
      groundRecord_(copy.ground) {
  const char* dialog = rayTracing ? "2000" : "500";
  setWindowTitle(DialogText(library, dialog, 0));
  auto* layout = new QVBoxLayout(this);

  auto* antialias = new QGroupBox(DialogText(library, dialog, kAntialiasGroup), this);
  auto* levels = new QVBoxLayout(antialias);
  const int level = (copy.flags & kFlagAntialias) ? std::clamp<int>(copy.antialias, 0, 3) : 0;
  for (int i = 0; i < 4; ++i) {
    levels_[static_cast<std::size_t>(i)] = new QRadioButton(DialogText(library, dialog, kLevelNone + i), antialias);
    levels->addWidget(levels_[static_cast<std::size_t>(i)]);
  }
  levels_[static_cast<std::size_t>(level)]->setChecked(true);
  layout->addWidget(antialias);

  auto* shadows = new QGroupBox(DialogText(library, dialog, kShadowsGroup), this);
  auto* shadowBoxes = new QVBoxLayout(shadows);
  sunShadows_ = new QCheckBox(DialogText(library, dialog, kSunShadows), shadows);
  lampShadows_ = new QCheckBox(DialogText(library, dialog, kLampShadows), shadows);
  sunShadows_->setChecked(rayTracing ? copy.raySunShadows : copy.pixelSunShadows);
  lampShadows_->setChecked(rayTracing ? copy.rayLampShadows : copy.pixelLampShadows);
  shadowBoxes->addWidget(sunShadows_);
  shadowBoxes->addWidget(lampShadows_);
  layout->addWidget(shadows);

  if (rayTracing) {
    auto* form = new QFormLayout;
    sky_ = new QCheckBox(DialogText(library, dialog, kSky), this);
    ground_ = new QCheckBox(DialogText(library, dialog, kGround), this);
    sky_->setChecked(copy.raySwitches & kSwitchSky);
    ground_->setChecked(copy.raySwitches & kSwitchGround);
    skyMapping_ = new QCheckBox(DialogText(library, dialog, kSkyMapping), this);
    groundMapping_ = new QCheckBox(DialogText(library, dialog, kGroundMapping), this);
    skyEdit_ = new QPushButton("...", this);
    groundEdit_ = new QPushButton("...", this);
    connect(skyEdit_, &QPushButton::clicked, this, [this] { EditMapping(MappingSlot::Sky); });
    connect(groundEdit_, &QPushButton::clicked, this, [this] { EditMapping(MappingSlot::Ground); });
    ShowMappings();
    recursion_ = new QSpinBox(this);
    recursion_->setRange(1, 32);
    recursion_->setValue(copy.recursion);
    ambient_ = new QSpinBox(this);
    ambient_->setRange(0, 100);
    ambient_->setValue(copy.ambient);
    auto* defaults = new QPushButton(DialogText(library, dialog, kDefaults), this);
    connect(defaults, &QPushButton::clicked, this, [this] {
      recursion_->setValue(kDefaultRecursion);
      ambient_->setValue(kDefaultAmbient);
    });
    auto mappingRow = [](QCheckBox* box, QPushButton* edit) {
      auto* row = new QHBoxLayout;
      row->addWidget(box, 1);
      row->addWidget(edit);
      return row;
    };
    form->addRow(sky_, mappingRow(skyMapping_, skyEdit_));
    form->addRow(ground_, mappingRow(groundMapping_, groundEdit_));
    auto* colours = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
      auto* button = new QPushButton(DialogText(library, dialog, kColourButtons + i), this);
      colourButtons_[static_cast<std::size_t>(i)] = button;
      connect(button, &QPushButton::clicked, this, [this, i] { ChooseColour(i); });
      colours->addWidget(button);
      ShowColour(i);
    }
    layout->addLayout(colours);
    form->addRow(DialogText(library, dialog, kRecursion), recursion_);
    form->addRow(DialogText(library, dialog, kAmbient), ambient_);
    form->addRow(defaults);
    layout->addLayout(form);
  }
  layout->addWidget(OkCancelButtons(library, dialog, this));
  connect(this, &QDialog::accepted, this, [this] { Store(); });
}

void ModeDialog::Store() {
  int level = 0;
  for (int i = 0; i < 4; ++i) {
    if (levels_[static_cast<std::size_t>(i)]->isChecked()) level = i;
  }
  copy_.antialias = static_cast<std::int16_t>(level);
  copy_.flags = static_cast<std::uint16_t>(level ? copy_.flags | kFlagAntialias : copy_.flags & ~kFlagAntialias);
  const auto sun = static_cast<std::uint8_t>(sunShadows_->isChecked());
  const auto lamps = static_cast<std::uint8_t>(lampShadows_->isChecked());
  if (!rayTracing_) {
    copy_.pixelSunShadows = sun;
    copy_.pixelLampShadows = lamps;
    return;
  }
  copy_.raySunShadows = sun;
  copy_.rayLampShadows = lamps;
  std::uint16_t switches = copy_.raySwitches & ~(kSwitchSky | kSwitchGround);
  if (sky_->isChecked()) switches |= kSwitchSky;
  if (ground_->isChecked()) switches |= kSwitchGround;
  copy_.raySwitches = switches;
  skyRecord_.on = skyMapping_->isChecked();
  groundRecord_.on = groundMapping_->isChecked();
  copy_.sky = skyRecord_;
  copy_.ground = groundRecord_;
  copy_.skyColours = colours_;
  copy_.recursion = static_cast<std::int16_t>(recursion_->value());
  copy_.ambient = static_cast<std::int16_t>(ambient_->value());
}

void ModeDialog::ShowMappings() {
  skyMapping_->setChecked(skyRecord_.on != 0);
  groundMapping_->setChecked(groundRecord_.on != 0);
  // Only a mapping the project holds can be switched.
  skyMapping_->setEnabled(skyRecord_.kind >= 0);
  groundMapping_->setEnabled(groundRecord_.kind >= 0);
}

void ModeDialog::EditMapping(MappingSlot slot) {
  MappingRecord& record = slot == MappingSlot::Sky ? skyRecord_ : groundRecord_;
  // The box's state goes in, so that the dialog's OK keeps what it shows.
  record.on = (slot == MappingSlot::Sky ? skyMapping_ : groundMapping_)->isChecked();
  MappingDialog mapping(library_, record, slot, initialDirectory_, picker_, previewPictures_, this);
  mapping.exec();
  ShowMappings();
}

void ModeDialog::ShowColour(int index) {
  QPixmap swatch(16, 16);
  swatch.fill(ColourOfRgbValue(colours_[static_cast<std::size_t>(index)]));
  colourButtons_[static_cast<std::size_t>(index)]->setIcon(QIcon(swatch));
}

void ModeDialog::ChooseColour(int index) {
  const std::optional<std::uint32_t> chosen = picker_.PickColour(this, colours_[static_cast<std::size_t>(index)]);
  if (!chosen) return;
  colours_[static_cast<std::size_t>(index)] = *chosen & 0xFFFFFF;
  ShowColour(index);
}

}  // namespace tessaran
