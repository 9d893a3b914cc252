#include "modeler/app/windows/info_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr char kDialog[] = "INFO";
constexpr int kOkButton = 1;
constexpr int kAuthorship = 10;
constexpr int kHeldHeading = 11;
constexpr int kMostHeading = 12;
constexpr int kFirstRowLabel = 13;  // objects, points, faces, lamps, maps
constexpr int kPerObject = 18;
constexpr int kFreeMemory = 19;

// A faceted object counts its faces in 16 bits; the scene has no limit of
// its own on all faces together.
constexpr long kMostFacesPerObject = std::numeric_limits<std::int16_t>::max();

}  // namespace

std::array<SceneFigure, kInfoRows> SceneFigures(const SceneModel& scene) {
  return {{{scene.Header().objectCount, SceneModel::kMaxObjects},
           {scene.TotalPoints(), SceneModel::kMaxPoints},
           {scene.Faces().Count(), kMostFacesPerObject},
           {scene.SceneLamps().Count(), Lamps::kMaxLamps},
           {scene.Maps().Count(), MapList::kMaxMaps}}};
}

InfoDialog::InfoDialog(const MessageLibrary& library, const SceneModel& scene, std::uint64_t freeKb,
                       QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(DialogText(library, kDialog, kAuthorship), this));
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(DialogText(library, kDialog, kHeldHeading), this), 0, 1, Qt::AlignRight);
  grid->addWidget(new QLabel(DialogText(library, kDialog, kMostHeading), this), 0, 2, Qt::AlignRight);
  const std::array<SceneFigure, kInfoRows> figures = SceneFigures(scene);
  for (int row = 0; row < kInfoRows; ++row) {
    const SceneFigure& figure = figures[static_cast<std::size_t>(row)];
    grid->addWidget(new QLabel(DialogText(library, kDialog, kFirstRowLabel + row), this), row + 1, 0);
    QString most = QString::number(figure.most);
    if (static_cast<InfoRow>(row) == InfoRow::Faces) most = DialogText(library, kDialog, kPerObject).arg(most);
    auto& values = values_[static_cast<std::size_t>(row)];
    values[0] = new QLabel(QString::number(figure.held), this);
    values[1] = new QLabel(most, this);
    grid->addWidget(values[0], row + 1, 1, Qt::AlignRight);
    grid->addWidget(values[1], row + 1, 2, Qt::AlignRight);
  }
  layout->addLayout(grid);
  memory_ = new QLabel(DialogText(library, kDialog, kFreeMemory).arg(freeKb), this);
  layout->addWidget(memory_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(DialogText(library, kDialog, kOkButton));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace tessaran
