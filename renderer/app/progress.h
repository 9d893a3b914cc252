// The progress of a whole render as `rz --batch` shows it on stderr: the
// image being computed of how many, its percentage and the time left for
// the run. On a terminal the line is redrawn in place; in a log a line is
// written every tenth of the run, so that logs stay small.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/report.h"

namespace tessaran {

// What the render command tells about the images of a run.
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  virtual void BeginRun(int images) = 0;  // images this run computes
  virtual void BeginImage(int imageNumber) = 0;
  // finished: the image was computed to its end, not stopped on the way.
  virtual void EndImage(bool finished) = 0;
  virtual void EndRun() = 0;
  // A line of the run's account: what it computes, the files it wrote, its
  // totals, how to resume it.
  virtual void Note(const std::string& line) = 0;
};

// "image 2 of 5 (number 7)  43%  about 1m 20s left": `index` counts from 1,
// `fraction` is the image's, the time left is for the whole run from the
// seconds it has taken so far (none before a hundredth is done).
std::string ProgressLine(int index, int count, int imageNumber, double fraction, double elapsedSeconds);
// The seconds the run still needs when image `index` of `count` is done to
// `fraction` after `elapsedSeconds`; negative before a hundredth is done.
double RunSecondsLeft(int index, int count, double fraction, double elapsedSeconds);
// "45s", "3m 07s", "2h 05m 00s".
std::string DurationText(double seconds);

// The render poll's progress display in batch mode.
class BatchProgress final : public RunProgress, public ProgressDisplay {
 public:
  // terminal: redraw with '\r'; otherwise a line every tenth of the run.
  BatchProgress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

  void BeginRun(int images) override;
  void BeginImage(int imageNumber) override;
  void EndImage(bool finished) override;
  void EndRun() override;
  void Note(const std::string& line) override;

  void Open(std::string_view, std::string_view) override {}
  void Set(double fraction) override;
  void Close() override {}

 private:
  void Show(double fraction);
  double Elapsed() const;

  std::FILE* out_;
  bool terminal_;
  int count_ = 0;
  int index_ = 0;
  int number_ = 0;
  int shownTenth_ = -1;     // log: the last tenth of the run written
  std::string shownLine_;   // terminal: the line drawn last
  bool barOpen_ = false;
  std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

}  // namespace tessaran
