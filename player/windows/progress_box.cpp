#include "player/windows/progress_box.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_texts.h"

namespace tessaran::player {
namespace {

constexpr const char* kDialog = "IDD_Info";

}  // namespace

ProgressBox::ProgressBox(const MessageLibrary& library, const QString& title, QWidget* parent)
    : QDialog(parent), library_(library), frame_(new QLabel(this)), bar_(new QProgressBar(this)) {
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(title, this));
  layout->addWidget(frame_);
  layout->addWidget(bar_);
  auto* stop = new QPushButton(DialogText(library, kDialog, 1), this);
  layout->addWidget(stop);
  connect(stop, &QPushButton::clicked, this, &ProgressBox::stopAsked);
  // Closing the box stops the work too.
  connect(this, &QDialog::rejected, this, &ProgressBox::stopAsked);
}

void ProgressBox::ShowFrame(int done, int total) {
  frame_->setText(DialogText(library_, kDialog, 10).arg(done).arg(total));
  bar_->setRange(0, std::max(total, 1));
  bar_->setValue(done);
}

}  // namespace tessaran::player
