#include "renderer/app/windows/status_window.h"

#include <QVBoxLayout>
#include <algorithm>

#include "platform/console.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/project_summary.h"
#include "renderer/app/render_poll.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr const char* kDialog = "2300";
constexpr int kOutputs = 10;
constexpr int kImages = 11;
constexpr int kDone = 12;
constexpr int kLeft = 13;
constexpr int kImageOf = 14;
constexpr int kStop = 15;

constexpr int kMsgResolution = 45;  // "Resolution:(%d * %d) Ratio:%d%%"
constexpr int kMsgScreenImage = 48;
constexpr int kMsgTrueColourImage = 49;

QString Format(const QString& pattern, auto... args) {
  return QString::asprintf(pattern.toUtf8().constData(), args...);
}

}  // namespace

StatusWindow::StatusWindow(const MessageLibrary& library, const RenderProject& project, QWidget* parent)
    : QDialog(parent, Qt::Tool), library_(library) {
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      MessageString(library, kMsgResolution, int(project.width), int(project.height), project.pixelRatio / 10)));
  QStringList outputs;
  if (project.Output(kOutImages) && project.Output(kOutScreenImages)) {
    outputs << MessageString(library, kMsgScreenImage) + " " + Utf8(Format8(project.format8).text);
  }
  if (project.Output(kOutImages) && project.Output(kOut24BitImages)) {
    outputs << MessageString(library, kMsgTrueColourImage) + " " + Utf8(Format24Text(project.format24));
  }
  if (project.Output(kOutAnimation)) outputs << Utf8(AnimFormat(project.animFormat).text);
  layout->addWidget(new QLabel(DialogText(library, kDialog, kOutputs) + " " + outputs.join(", ")));
  if (project.Output(kOutFrontPlane)) {
    layout->addWidget(new QLabel(MessageString(library, kMsgForeground, project.frontPlane.c_str())));
  }
  if (project.Output(kOutBackPlane)) {
    layout->addWidget(new QLabel(MessageString(library, kMsgBackground, project.backPlane.c_str())));
  }
  layout->addWidget(new QLabel(Format(DialogText(library, kDialog, kImages), int(TotalImages(project)))));
  image_ = new QLabel(this);
  done_ = new QLabel(this);
  left_ = new QLabel(this);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
  for (QWidget* w : std::initializer_list<QWidget*>{image_, bar_, done_, left_}) layout->addWidget(w);
  auto* stop = new QPushButton(DialogText(library, kDialog, kStop), this);
  connect(stop, &QPushButton::clicked, [] { RequestStop(); });
  layout->addWidget(stop);
}

void StatusWindow::BeginRun(int images) {
  count_ = std::max(images, 1);
  index_ = 0;
  began_ = std::chrono::steady_clock::now();
}

void StatusWindow::BeginImage(int imageNumber) {
  ++index_;
  number_ = imageNumber;
  image_->setText(Format(DialogText(library_, kDialog, kImageOf), index_, count_, number_));
  ShowFraction(0);
}

// A stopped image keeps the share it reached.
void StatusWindow::EndImage(bool finished) {
  if (finished) ShowFraction(1);
}

void StatusWindow::ShowFraction(double fraction) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  percent_ = fraction * 100;
  // The texts follow at most every 40 ms, and always at an image's ends.
  constexpr int kRefreshIntervalMs = 40;
  if (fraction > 0 && fraction < 1 && sinceShown_.isValid() && sinceShown_.elapsed() < kRefreshIntervalMs) return;
  sinceShown_.start();
  bar_->setValue(static_cast<int>(fraction * 1000));
  done_->setText(Format(DialogText(library_, kDialog, kDone), percent_));
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
  const double left = RunSecondsLeft(index_, count_, fraction, elapsed);
  left_->setText(Format(DialogText(library_, kDialog, kLeft), left < 0 ? "-" : DurationText(left).c_str()));
}

void StatusWindow::Note(const std::string& line) {
  Trace("%s\n", line.c_str());
  lastNote_ = line;
}

}  // namespace tessaran
