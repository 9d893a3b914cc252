#include "modeler/app/windows/attributes_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <tuple>

#include "modeler/app/windows/map_type_dialog.h"
#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"
#include "ui/rgb_value.h"

namespace tessaran {
namespace {

constexpr char kDialog[] = "ATTRIBUTS";
constexpr int kFirstBarLabel = 10;  // 10 … 17 in the order of AttributeBar
constexpr int kColourGroup = 20;
constexpr int kColourButton = 21;
constexpr int kAspectGroup = 22;
constexpr int kFirstPreset = 23;  // 23 … 29 in the order of MaterialPreset
constexpr int kRayTracingGroup = 30;
constexpr int kRenderingGroup = 31;
constexpr int kFirstRendering = 32;  // spline, Phong, angular
constexpr int kMapsGroup = 35;
constexpr int kFirstMapButton = 36;  // texture, bump, opacity
constexpr int kDefaultButton = 39;
constexpr int kSeeButton = 40;

// " ANGULAR Rendering ", " PHONG Rendering ", " SPLINE Rendering ".
constexpr int kMsgAngular = 65;
constexpr int kMsgPhong = 66;
constexpr int kMsgSpline = 67;
constexpr int kMsgNoMapping = 81;

constexpr int kColourBars = 3;

// Intensity, diffusion, reflecting, transparency and refraction of a
// preset; a refraction of r per cent is an index of 1 + 2r/100, so glass
// (1.5) is 25 and diamond (2.42) 71. Aluminium is also a bluish grey.
struct Preset {
  int intensity, diffusion, reflection, transparency, refraction;
};
constexpr Preset kPresets[] = {
    {0, 100, 0, 0, 0},    // flat: no highlight
    {30, 70, 0, 0, 0},    // satiny: a soft, wide highlight
    {90, 10, 0, 0, 0},    // bright: a strong, sharp highlight
    {100, 5, 30, 90, 71},  // diamond
    {90, 10, 10, 90, 25},  // glass
    {100, 5, 100, 0, 0},   // mirror
    {70, 40, 40, 0, 0},    // aluminium
};
constexpr int kAluminiumRed = 11, kAluminiumGreen = 11, kAluminiumBlue = 12;

}  // namespace

AttributesDialog::AttributesDialog(const MessageLibrary& library, ObjectMaterial& material,
                                   const ImagePicker& picker, bool& previewPictures,
                                   const std::filesystem::path& directory,
                                   std::function<void(const ObjectMaterial&)> see, QWidget* parent)
    : QDialog(parent),
      library_(library),
      material_(material),
      picker_(picker),
      previewPictures_(previewPictures),
      directory_(directory),
      seeMaterial_(std::move(see)) {
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QVBoxLayout(this);

  // The scroll bars, the colour's three with the swatch beside them.
  auto* barsBox = new QGroupBox(DialogText(library, kDialog, kColourGroup), this);
  auto* grid = new QGridLayout(barsBox);
  for (int i = 0; i < 8; ++i) {
    auto* bar = new QScrollBar(Qt::Horizontal, barsBox);
    bar->setRange(0, i < kColourBars ? 15 : 100);
    bar->setPageStep(i < kColourBars ? 4 : 10);
    bar->setMinimumWidth(200);
    auto* value = new QLabel(barsBox);
    value->setMinimumWidth(30);
    grid->addWidget(new QLabel(DialogText(library, kDialog, kFirstBarLabel + i), barsBox), i, 0);
    grid->addWidget(bar, i, 1);
    grid->addWidget(value, i, 2);
    bars_[static_cast<std::size_t>(i)] = bar;
    values_[static_cast<std::size_t>(i)] = value;
    connect(bar, &QScrollBar::valueChanged, this, &AttributesDialog::Refresh);
  }
  swatch_ = new QLabel(barsBox);
  swatch_->setMinimumSize(48, 48);
  swatch_->setAutoFillBackground(true);
  grid->addWidget(swatch_, 0, 3, kColourBars, 1);
  colour_ = new QPushButton(DialogText(library, kDialog, kColourButton), barsBox);
  connect(colour_, &QPushButton::clicked, this, &AttributesDialog::ChooseColour);
  grid->addWidget(colour_, kColourBars, 3);
  layout->addWidget(barsBox);

  // The presets: aspect, then ray tracing.
  auto* presets = new QHBoxLayout;
  for (const auto& [group, first, last] : {std::tuple{kAspectGroup, MaterialPreset::Flat, MaterialPreset::Bright},
                                           std::tuple{kRayTracingGroup, MaterialPreset::Diamond,
                                                      MaterialPreset::Aluminium}}) {
    auto* box = new QGroupBox(DialogText(library, kDialog, group), this);
    auto* row = new QHBoxLayout(box);
    for (int p = static_cast<int>(first); p <= static_cast<int>(last); ++p) {
      auto* button = new QPushButton(DialogText(library, kDialog, kFirstPreset + p), box);
      connect(button, &QPushButton::clicked, this, [this, p] { ApplyPreset(static_cast<MaterialPreset>(p)); });
      row->addWidget(button);
    }
    presets->addWidget(box);
  }
  layout->addLayout(presets);

  // The surface rendering and its text.
  auto* renderingBox = new QGroupBox(DialogText(library, kDialog, kRenderingGroup), this);
  auto* renderingRow = new QHBoxLayout(renderingBox);
  for (int r = 0; r < 3; ++r) {
    auto* button = new QRadioButton(DialogText(library, kDialog, kFirstRendering + r), renderingBox);
    renderings_[static_cast<std::size_t>(r)] = button;
    connect(button, &QRadioButton::toggled, this, &AttributesDialog::Refresh);
    renderingRow->addWidget(button);
  }
  renderingText_ = new QLabel(renderingBox);
  renderingRow->addWidget(renderingText_, 1);
  layout->addWidget(renderingBox);

  // The maps, each with its image's name.
  auto* mapsBox = new QGroupBox(DialogText(library, kDialog, kMapsGroup), this);
  auto* mapsGrid = new QGridLayout(mapsBox);
  for (int m = 0; m < 3; ++m) {
    auto* button = new QPushButton(DialogText(library, kDialog, kFirstMapButton + m), mapsBox);
    auto* text = new QLabel(mapsBox);
    connect(button, &QPushButton::clicked, this, [this, m] { EditMap(static_cast<ObjectMap>(m)); });
    mapsGrid->addWidget(button, m, 0);
    mapsGrid->addWidget(text, m, 1);
    mapButtons_[static_cast<std::size_t>(m)] = button;
    mapTexts_[static_cast<std::size_t>(m)] = text;
  }
  mapsGrid->setColumnStretch(1, 1);
  layout->addWidget(mapsBox);

  auto* buttons = OkCancelButtons(library, kDialog, this);
  default_ = buttons->addButton(DialogText(library, kDialog, kDefaultButton), QDialogButtonBox::ResetRole);
  see_ = buttons->addButton(DialogText(library, kDialog, kSeeButton), QDialogButtonBox::ActionRole);
  // Only OK ends the dialog.
  default_->setAutoDefault(false);
  see_->setAutoDefault(false);
  connect(default_, &QPushButton::clicked, this, [this] {
    ObjectMaterial fresh;
    fresh.maps = maps_;
    Show(fresh);
  });
  connect(see_, &QPushButton::clicked, this, [this] {
    if (seeMaterial_) seeMaterial_(Shown());
  });
  layout->addWidget(buttons);
  connect(this, &QDialog::accepted, this, [this] { material_ = Shown(); });
  Show(material);
}

ObjectMaterial AttributesDialog::Shown() const {
  ObjectMaterial m;
  auto value = [this](AttributeBar bar) { return Bar(bar)->value(); };
  m.red = value(AttributeBar::Red);
  m.green = value(AttributeBar::Green);
  m.blue = value(AttributeBar::Blue);
  m.intensity = value(AttributeBar::Intensity);
  m.diffusion = value(AttributeBar::Diffusion);
  m.reflection = value(AttributeBar::Reflecting);
  m.transparency = value(AttributeBar::Transparency);
  m.refraction = value(AttributeBar::Refraction);
  for (int r = 0; r < 3; ++r) {
    if (renderings_[static_cast<std::size_t>(r)]->isChecked()) m.rendering = static_cast<SurfaceRendering>(r);
  }
  m.maps = maps_;
  return m;
}

void AttributesDialog::Show(const ObjectMaterial& m) {
  const int values[] = {m.red,        m.green,      m.blue,         m.intensity,
                        m.diffusion,  m.reflection, m.transparency, m.refraction};
  for (std::size_t i = 0; i < 8; ++i) bars_[i]->setValue(values[i]);
  renderings_[static_cast<std::size_t>(m.rendering)]->setChecked(true);
  maps_ = m.maps;
  Refresh();
}

void AttributesDialog::Refresh() {
  for (std::size_t i = 0; i < 8; ++i) values_[i]->setNum(bars_[i]->value());
  // Each 4-bit level shows as itself times 16.
  QPalette palette = swatch_->palette();
  palette.setColor(QPalette::Window, QColor(Bar(AttributeBar::Red)->value() * 16,
                                            Bar(AttributeBar::Green)->value() * 16,
                                            Bar(AttributeBar::Blue)->value() * 16));
  swatch_->setPalette(palette);
  const SurfaceRendering rendering = Shown().rendering;
  const int text = rendering == SurfaceRendering::Angular ? kMsgAngular
                   : rendering == SurfaceRendering::Phong ? kMsgPhong
                                                          : kMsgSpline;
  renderingText_->setText(MessageString(library_, text).trimmed());
  for (std::size_t m = 0; m < 3; ++m) {
    mapTexts_[m]->setText(maps_[m].image.empty() ? MessageString(library_, kMsgNoMapping)
                                                 : QString::fromStdString(maps_[m].image));
  }
}

void AttributesDialog::ApplyPreset(MaterialPreset preset) {
  const Preset& p = kPresets[static_cast<std::size_t>(preset)];
  Bar(AttributeBar::Intensity)->setValue(p.intensity);
  Bar(AttributeBar::Diffusion)->setValue(p.diffusion);
  // The aspects leave the ray-tracing values as they are.
  if (preset >= MaterialPreset::Diamond) {
    Bar(AttributeBar::Reflecting)->setValue(p.reflection);
    Bar(AttributeBar::Transparency)->setValue(p.transparency);
    Bar(AttributeBar::Refraction)->setValue(p.refraction);
  }
  if (preset == MaterialPreset::Aluminium) {
    Bar(AttributeBar::Red)->setValue(kAluminiumRed);
    Bar(AttributeBar::Green)->setValue(kAluminiumGreen);
    Bar(AttributeBar::Blue)->setValue(kAluminiumBlue);
  }
}

void AttributesDialog::ChooseColour() {
  const QColor shown(Bar(AttributeBar::Red)->value() * 16, Bar(AttributeBar::Green)->value() * 16,
                     Bar(AttributeBar::Blue)->value() * 16);
  const std::optional<std::uint32_t> chosen = picker_.PickColour(this, RgbValueOfColour(shown));
  if (!chosen) return;
  // Back to 4-bit levels, the inverse of the swatch's times 16.
  const QColor colour = ColourOfRgbValue(*chosen);
  Bar(AttributeBar::Red)->setValue(colour.red() / 16);
  Bar(AttributeBar::Green)->setValue(colour.green() / 16);
  Bar(AttributeBar::Blue)->setValue(colour.blue() / 16);
}

void AttributesDialog::EditMap(ObjectMap slot) {
  MaterialMap map = maps_[static_cast<std::size_t>(slot)];
  MapTypeDialog dialog(library_, slot, map, picker_, previewPictures_, directory_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  maps_[static_cast<std::size_t>(slot)] = map;
  Refresh();
}

}  // namespace tessaran
