#include "renderer/app/progress.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace tessaran {

std::string DurationText(double seconds) {
  const long long s = std::max(0LL, std::llround(seconds));
  char text[48];
  if (s < 60) {
    std::snprintf(text, sizeof text, "%llds", s);
  } else if (s < 3600) {
    std::snprintf(text, sizeof text, "%lldm %02llds", s / 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%lldh %02lldm %02llds", s / 3600, s % 3600 / 60, s % 60);
  }
  return text;
}

double RunSecondsLeft(int index, int count, double fraction, double elapsedSeconds) {
  const double run = count > 0 ? (index - 1 + std::clamp(fraction, 0.0, 1.0)) / count : 0;
  if (run < 0.01 || run >= 1) return -1;
  return elapsedSeconds * (1 - run) / run;
}

std::string ProgressLine(int index, int count, int imageNumber, double fraction, double elapsedSeconds) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  char text[96];
  std::snprintf(text, sizeof text, "image %d of %d (number %d) %3d%%", index, count, imageNumber,
                static_cast<int>(fraction * 100));
  std::string line = text;
  const double left = RunSecondsLeft(index, count, fraction, elapsedSeconds);
  if (left >= 0) line += "  about " + DurationText(left) + " left";
  return line;
}

double BatchProgress::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
}

void BatchProgress::BeginRun(int images) {
  count_ = std::max(images, 1);
  index_ = 0;
  shownTenth_ = -1;
  began_ = std::chrono::steady_clock::now();
}

void BatchProgress::BeginImage(int imageNumber) {
  ++index_;
  number_ = imageNumber;
  shownLine_.clear();
  // On a terminal the bar appears with the first pixels, after the lines
  // that loading the image's pictures writes.
  if (!terminal_) Show(0);
}

void BatchProgress::EndImage(bool finished) {
  // A stopped image keeps the share it reached.
  if (finished) Show(1);
  if (barOpen_) std::fputc('\n', out_);
  barOpen_ = false;
  std::fflush(out_);
}

void BatchProgress::EndRun() {
  if (barOpen_) std::fputc('\n', out_);
  barOpen_ = false;
}

void BatchProgress::Note(const std::string& line) {
  if (barOpen_) std::fputc('\n', out_);
  barOpen_ = false;
  std::fprintf(out_, "%s\n", line.c_str());
}

void BatchProgress::Set(double fraction) {
  if (index_ > 0) Show(fraction);
}

void BatchProgress::Show(double fraction) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  if (terminal_) {
    std::string line = ProgressLine(index_, count_, number_, fraction, Elapsed());
    if (line == shownLine_) return;
    // Trailing blanks wipe a longer line drawn before.
    std::fprintf(out_, "\rrz: %s    ", line.c_str());
    shownLine_ = std::move(line);
    barOpen_ = true;
    std::fflush(out_);
    return;
  }
  const int tenth = static_cast<int>((index_ - 1 + fraction) / count_ * 10);
  if (tenth <= shownTenth_) return;
  shownTenth_ = tenth;
  std::fprintf(out_, "rz: %s\n", ProgressLine(index_, count_, number_, fraction, Elapsed()).c_str());
  std::fflush(out_);
}

}  // namespace tessaran
