// The status window of a render: resolution, outputs, planes and image
// count when the render starts, then the image being computed, the
// percentage done and the time the run still needs. Its stop button asks
// the engine to stop at the current pixel, as the stop command does.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>

#include "messages/message_library.h"
#include "renderer/app/progress.h"
#include "renderer/app/render_project.h"

namespace tessaran {

class StatusWindow final : public QDialog, public RunProgress {
  Q_OBJECT

 public:
  StatusWindow(const MessageLibrary& library, const RenderProject& project, QWidget* parent);

  void BeginRun(int images) override;
  void BeginImage(int imageNumber) override;
  void EndImage(bool finished) override;
  void EndRun() override {}
  // The run's account goes to the diagnostic console; the last line stays.
  void Note(const std::string& line) override;
  const std::string& LastNote() const { return lastNote_; }
  // The fraction of the current image done, from the render poll.
  void ShowFraction(double fraction);

  QString ImageLine() const { return image_->text(); }
  double Percent() const { return percent_; }

 private:
  const MessageLibrary& library_;
  QLabel* image_;
  QLabel* done_;
  QLabel* left_;
  QProgressBar* bar_;
  int count_ = 0;
  int index_ = 0;
  int number_ = 0;
  double percent_ = 0;
  std::string lastNote_;
  QElapsedTimer sinceShown_;
  std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

}  // namespace tessaran
