#include "renderer/app/windows/project_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/report.h"
#include "renderer/app/windows/mode_dialogs.h"
#include "renderer/app/windows/output_dialogs.h"
#include "ui/dialog_texts.h"
#include "ui/file_filter.h"
#include "ui/image_picker.h"

namespace tessaran {
namespace {

constexpr const char* kDialog = "2100";
constexpr int kModeFirst = 101;  // wireframe, polygon, pixel, ray tracing: 101 … 104
constexpr int kCompute = 108;
constexpr int kSceneFile = 110;
constexpr int kBackPlane = 111;
constexpr int kFrontPlane = 112;
constexpr int kLoop = 113;
constexpr int kAnimationFile = 114;
constexpr int kImageByImage = 115;
constexpr int kFormats = 116;
constexpr int kResolution = 117;
constexpr int kImageCount = 118;
constexpr int kSun = 120;
constexpr int kSunIntensity = 121;
constexpr int kSunV = 122;
constexpr int kSunH = 123;
constexpr int kAbsolute = 124;
constexpr int kRelative = 125;
constexpr int kFirstImage = 130;
constexpr int kLastTime = 131;
constexpr int kModeGroup = 140;
constexpr int kOutputsGroup = 141;

constexpr int kMsgSceneTitle = 31;
constexpr int kMsgSceneFilter = 32;
constexpr int kMsgBackPlaneTitle = 100;
constexpr int kMsgFrontPlaneTitle = 101;
constexpr int kMsgPictureFilter = 99;
constexpr int kMsgRenderOf = 105;    // "Rendu de :[%s]"
constexpr int kMsgLastTime = 305;    // "Dernier temps:%02dh %02dm %02ds."
constexpr int kMsgStopped = 318;     // " (Calcul interrompu ...)"

QSlider* Slider(int low, int high, int value, QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setRange(low, high);
  slider->setValue(value);
  return slider;
}

}  // namespace

ProjectDialog::ProjectDialog(const MessageLibrary& library, const RenderProject& project, ResolutionPresets& presets,
                             int displayDepth, const std::filesystem::path& initialDirectory,
                             const ImagePicker& picker, bool& previewPictures, QWidget* parent)
    : QDialog(parent), library_(library), copy_(project), presets_(presets), depth_(displayDepth),
      initialDirectory_(initialDirectory), picker_(picker), previewPictures_(previewPictures) {
  auto text = [&](int id) { return DialogText(library, kDialog, id); };
  QString title = MessageString(library, kMsgRenderOf,
                                std::filesystem::path(NativePath(project.SceneName())).filename().string().c_str());
  if (project.HasResume()) title += MessageString(library, kMsgStopped);
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;

  auto* modeGroup = new QGroupBox(text(kModeGroup), this);
  auto* modeLayout = new QVBoxLayout(modeGroup);
  for (int mode = 0; mode < 4; ++mode) {
    auto* button = new QRadioButton(text(kModeFirst + mode), modeGroup);
    modes_[static_cast<std::size_t>(mode)] = button;
    modeLayout->addWidget(button);
    connect(button, &QRadioButton::clicked, this, [this, mode] { ChooseMode(mode); });
  }
  auto* sceneButton = new QPushButton(text(kSceneFile), modeGroup);
  connect(sceneButton, &QPushButton::clicked, this, [this] { ChooseScene(); });
  modeLayout->addWidget(sceneButton);
  top->addWidget(modeGroup);

  auto* outputs = new QGroupBox(text(kOutputsGroup), this);
  auto* outputLayout = new QGridLayout(outputs);
  backPlane_ = new QCheckBox(text(kBackPlane), outputs);
  frontPlane_ = new QCheckBox(text(kFrontPlane), outputs);
  loop_ = new QCheckBox(text(kLoop), outputs);
  animation_ = new QCheckBox(text(kAnimationFile), outputs);
  images_ = new QCheckBox(text(kImageByImage), outputs);
  auto* formats = new QPushButton(text(kFormats), outputs);
  auto* resolution = new QPushButton(text(kResolution), outputs);
  auto* counts = new QPushButton(text(kImageCount), outputs);
  total_ = new QLabel(outputs);
  resolution_ = new QLabel(outputs);
  outputLayout->addWidget(backPlane_, 0, 0);
  outputLayout->addWidget(frontPlane_, 1, 0);
  outputLayout->addWidget(images_, 2, 0);
  outputLayout->addWidget(animation_, 3, 0);
  outputLayout->addWidget(loop_, 4, 0);
  outputLayout->addWidget(formats, 0, 1);
  outputLayout->addWidget(resolution, 1, 1);
  outputLayout->addWidget(resolution_, 2, 1);
  outputLayout->addWidget(counts, 3, 1);
  outputLayout->addWidget(total_, 4, 1);
  top->addWidget(outputs);
  layout->addLayout(top);

  connect(backPlane_, &QCheckBox::clicked, this, [this](bool on) { ChoosePlane(kOutBackPlane, on); });
  connect(frontPlane_, &QCheckBox::clicked, this, [this](bool on) { ChoosePlane(kOutFrontPlane, on); });
  connect(loop_, &QCheckBox::clicked, this, [this](bool on) {
    copy_.SetOutput(kOutLoop, on);
    Refresh();
  });
  connect(animation_, &QCheckBox::clicked, this, [this](bool on) { copy_.SetOutput(kOutAnimation, on); });
  connect(images_, &QCheckBox::clicked, this, [this](bool on) {
    copy_.SetOutput(kOutImages, on);
    // Images with no kind chosen: the format dialog asks for one.
    if (on && !copy_.Output(kOutScreenImages) && !copy_.Output(kOut24BitImages)) OpenFormats();
    Refresh();
  });
  connect(formats, &QPushButton::clicked, this, [this] { OpenFormats(); });
  connect(resolution, &QPushButton::clicked, this, [this] { OpenResolution(); });
  connect(counts, &QPushButton::clicked, this, [this] { OpenImageCounts(); });

  auto* sun = new QGroupBox(text(kSun), this);
  auto* sunLayout = new QFormLayout(sun);
  sunIntensity_ = Slider(0, 160, copy_.sunIntensity, sun);
  sunV_ = Slider(-180, 180, copy_.sunV, sun);
  sunH_ = Slider(-90, 90, copy_.sunH, sun);
  absolute_ = new QRadioButton(text(kAbsolute), sun);
  relative_ = new QRadioButton(text(kRelative), sun);
  (copy_.sunRelative ? relative_ : absolute_)->setChecked(true);
  auto* position = new QHBoxLayout;
  position->addWidget(absolute_);
  position->addWidget(relative_);
  sunLayout->addRow(text(kSunIntensity), sunIntensity_);
  sunLayout->addRow(text(kSunV), sunV_);
  sunLayout->addRow(text(kSunH), sunH_);
  sunLayout->addRow(position);
  layout->addWidget(sun);
  connect(sunIntensity_, &QSlider::valueChanged, this, [this](int v) { copy_.sunIntensity = static_cast<std::int16_t>(v); });
  connect(sunV_, &QSlider::valueChanged, this, [this](int v) { copy_.sunV = static_cast<std::int16_t>(v); });
  connect(sunH_, &QSlider::valueChanged, this, [this](int v) { copy_.sunH = static_cast<std::int16_t>(v); });
  connect(relative_, &QRadioButton::toggled, this, [this](bool on) { copy_.sunRelative = on ? 1 : 0; });

  auto* bottom = new QFormLayout;
  first_ = new QSpinBox(this);
  first_->setRange(1, 32767);
  first_->setValue(std::max<int>(copy_.firstImage, 1));
  connect(first_, &QSpinBox::valueChanged, this, [this](int v) { copy_.firstImage = static_cast<std::int16_t>(v); });
  bottom->addRow(text(kFirstImage), first_);
  const int seconds = copy_.lastSeconds;
  bottom->addRow(text(kLastTime), new QLabel(MessageString(library, kMsgLastTime, seconds / 3600, seconds / 60 % 60,
                                                           seconds % 60)));
  layout->addLayout(bottom);

  auto* buttons = new QHBoxLayout;
  auto* compute = new QPushButton(text(kCompute), this);
  auto* ok = new QPushButton(text(1), this);
  auto* cancel = new QPushButton(text(2), this);
  compute->setDefault(true);
  connect(compute, &QPushButton::clicked, this, [this] { done(kDialogCompute); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addStretch();
  buttons->addWidget(compute);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  Refresh();
}

void ProjectDialog::Refresh() {
  refreshing_ = true;
  for (int mode = 0; mode < 4; ++mode) modes_[static_cast<std::size_t>(mode)]->setChecked(copy_.mode == mode);
  backPlane_->setChecked(copy_.Output(kOutBackPlane));
  frontPlane_->setChecked(copy_.Output(kOutFrontPlane));
  loop_->setChecked(copy_.Output(kOutLoop));
  animation_->setChecked(copy_.Output(kOutAnimation));
  images_->setChecked(copy_.Output(kOutImages));
  total_->setText(QString::number(TotalImages(copy_)));
  resolution_->setText(QString("%1 * %2  %3%").arg(copy_.width).arg(copy_.height).arg(copy_.pixelRatio / 10));
  refreshing_ = false;
}

QString ProjectDialog::TotalText() const { return total_->text(); }

void ProjectDialog::ChooseMode(int mode) {
  if (mode == kPixel || mode == kRayTracing) {
    ModeDialog settings(library_, copy_, mode == kRayTracing, initialDirectory_, picker_, previewPictures_, this);
    const bool accepted = settings.exec() == QDialog::Accepted;
    // A cancelled ray-tracing dialog leaves the pixel mode.
    if (accepted) {
      copy_.mode = static_cast<std::int16_t>(mode);
    } else if (mode == kRayTracing) {
      copy_.mode = kPixel;
    }
  } else if (ChooseRenderMode(copy_, mode, depth_)) {
    ShowMessage(MessageKind::Warning, kMsgNoTrueColourBelowPixel, 1 << depth_);
  }
  Refresh();
}

void ProjectDialog::OpenResolution() {
  ResolutionDialog dialog(library_, presets_, copy_, this);
  dialog.exec();
  Refresh();
}

void ProjectDialog::OpenFormats() {
  FormatDialog dialog(library_, copy_, depth_, this);
  dialog.exec();
  Refresh();
}

void ProjectDialog::OpenImageCounts() {
  ImageCountDialog dialog(library_, copy_, this);
  dialog.exec();
  Refresh();
}

// Checking a plane asks for its picture; a cancelled choice clears it.
void ProjectDialog::ChoosePlane(std::uint16_t bit, bool checked) {
  if (refreshing_) return;
  if (!checked) {
    copy_.SetOutput(bit, false);
    return;
  }
  const int title = bit == kOutBackPlane ? kMsgBackPlaneTitle : kMsgFrontPlaneTitle;
  ImageFileRequest request;
  request.title = MessageString(library_, title);
  request.directory = initialDirectory_;
  request.preview = &previewPictures_;
  request.filter = library_.Format(kMsgPictureFilter);
  const std::optional<std::filesystem::path> file = picker_.PickImageFile(this, request);
  copy_.SetOutput(bit, file.has_value());
  if (file) (bit == kOutBackPlane ? copy_.backPlane : copy_.frontPlane) = file->string();
  Refresh();
}

void ProjectDialog::ChooseScene() {
  const QString file = QFileDialog::getOpenFileName(this, MessageString(library_, kMsgSceneTitle),
                                                    QString::fromStdString(initialDirectory_.string()),
                                                    QtFilter(library_.Format(kMsgSceneFilter)));
  if (file.isEmpty()) return;
  chosenScene_ = file.toStdString();
  done(kDialogSceneChosen);
}

}  // namespace tessaran
