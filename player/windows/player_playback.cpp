// The player window's playback: the frames decoded in advance or read from
// the file, each shown at its deadline on a monotonic clock, the waits that
// pause and step, and the frame counter and rate of the status bar.
#include <QCoreApplication>
#include <QEventLoop>
#include <memory>
#include <sstream>

#include "platform/console.h"
#include "platform/sysinfo.h"
#include "player/frame_source.h"
#include "player/picture_output.h"
#include "player/windows/picture_view.h"
#include "player/windows/player_window.h"
#include "storage/virtim.h"
#include "ui/dialog_texts.h"
#include "ui/vim_image.h"

namespace tessaran::player {
namespace {

namespace fs = std::filesystem;

// The frames over which the status bar's rate is measured.
constexpr std::size_t kRateFrames = 32;
constexpr qint64 kRateRefreshNs = 250'000'000;
// The last stretch of a frame's wait is spun rather than slept: timers
// wake a millisecond late or so.
constexpr qint64 kSpinNs = 1'500'000;

}  // namespace

void PlayerWindow::PlayAnim(const fs::path& file, int mode) {
  if (playback_.state != PlayerState::Idle) {
    Trace("WM_PLAYANIM PLAYANIM ALREADY IN USE\n");
    return;
  }
  if (mode == kPlayCut) {
    ChooseFormatAndCut(file);
    return;
  }
  if (mode == kPlayFlip) {
    FlipAnim(file);
    return;
  }
  SetTitle(file);
  playback_.Start();
  RefreshMenus();
  Trace("TimerResolution= %dms\n", kTimerStepMs);
  Play(file, mode == kPlayForever ? 0 : std::max(mode - kPlayTimes, 1));
  FinishPlayback();
}

void PlayerWindow::Play(const fs::path& file, int times) {
  std::ostringstream err;
  WorkSlots workSlots;
  auto source = std::make_unique<AnimFrameSource>();
  if (!source->Open(file, err)) return ShowError(err.str());
  const int count = source->count;
  if (count <= 0) return;
  shownPicture_.clear();
  const std::uint64_t frameBytes =
      std::uint64_t(source->width) * std::uint64_t(source->height) * (source->bits == 24 ? 3 : 1);
  // Decoded in advance unless asked not to, or unless the frames would take
  // more than half of the memory left: then they come from the file.
  framesInMemory_ = !settings_.directFromDisk && frameBytes * std::uint64_t(count) < AvailableMemory() / 2;
  std::vector<QImage> frames;
  auto damaged = [&](int frame) {
    ShowError("tovix: frame " + std::to_string(frame + 1) + " of " + file.string() +
              " could not be read: the file is damaged\n");
  };
  FitTo(QSize(source->width, source->height));
  if (framesInMemory_) {
    frames.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
      if (!source->Next()) return damaged(i);
      frames.push_back(VimToImage(VimSlot(kPictureSlot)));
      QCoreApplication::processEvents();
      if (!playback_.Playing()) return;
    }
  }
  QElapsedTimer clock;
  clock.start();
  frameTimes_.clear();
  delaySumMs_ = 0;
  delayCount_ = 0;
  qint64 deadline = -1;
  for (int loop = 0; (times == 0 || loop < times) && playback_.Playing(); ++loop) {
    for (int i = 0; i < count && playback_.Playing(); ++i) {
      // Each deadline follows the one before while the play keeps up, so
      // that the time a wait overruns is not added to every frame.
      const qint64 delay = qint64(playback_.delayMs) * 1'000'000;
      const qint64 now = clock.nsecsElapsed();
      deadline = (deadline >= 0 && !pausedSinceLastFrame_ && now - deadline < delay ? deadline : now) + delay;
      if (framesInMemory_) {
        ShowFrame(frames[std::size_t(i)], i, count);
      } else {
        if (!source->Next()) return damaged(i);
        ShowFrame(VimToImage(VimSlot(kPictureSlot)), i, count);
      }
      QCoreApplication::processEvents();
      WaitForFrame(clock, deadline);
      if (playback_.jump == FrameJump::None) continue;
      // Home and End while paused: the next frame shown is the first or the last.
      const bool first = playback_.jump == FrameJump::First;
      playback_.jump = FrameJump::None;
      if (!framesInMemory_) {
        if (first) {
          source = std::make_unique<AnimFrameSource>();
          if (!source->Open(file, err)) return ShowError(err.str());
        } else {
          for (int skip = i + 1; skip < count - 1; ++skip) {
            if (!source->Next()) return damaged(skip);
          }
        }
      }
      i = first ? -1 : count - 2;
    }
  }
}

void PlayerWindow::WaitForFrame(const QElapsedTimer& clock, qint64 deadlineNs) {
  while (playback_.Playing()) {
    if (playback_.step) {
      playback_.step = false;
      return;
    }
    if (playback_.paused) {
      pausedSinceLastFrame_ = true;
      QEventLoop loop;
      waiting_ = &loop;
      loop.exec();
      waiting_ = nullptr;
      continue;
    }
    const qint64 left = deadlineNs - clock.nsecsElapsed();
    if (left <= 0) return;
    if (left <= kSpinNs) {
      QCoreApplication::processEvents();
      continue;
    }
    QEventLoop loop;
    waiting_ = &loop;
    QTimer::singleShot(int((left - kSpinNs) / 1'000'000) + 1, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    waiting_ = nullptr;
  }
}

void PlayerWindow::ShowFrame(const QImage& image, int index, int count) {
  view_->Show(image);
  frameIndex_ = index;
  ++framesShown_;
  const qint64 now = since_.nsecsElapsed();
  if (!frameTimes_.empty() && !pausedSinceLastFrame_) {
    delaySumMs_ += double(now - frameTimes_.back()) / 1e6;
    ++delayCount_;
  }
  pausedSinceLastFrame_ = false;
  frameTimes_.push_back(now);
  if (frameTimes_.size() > kRateFrames) frameTimes_.pop_front();
  frameLabel_->setText(DialogText(library_, kStatusTexts, 1).arg(index + 1).arg(count));
  if (now - lastRateShownNs_ >= kRateRefreshNs && frameTimes_.size() > 1) {
    const double seconds = double(frameTimes_.back() - frameTimes_.front()) / 1e9;
    const double rate = seconds > 0 ? double(frameTimes_.size() - 1) / seconds : 0;
    rateLabel_->setText(DialogText(library_, kStatusTexts, 2).arg(rate, 0, 'f', 1));
    lastRateShownNs_ = now;
  }
}

double PlayerWindow::AverageFrameDelayMs() const { return delayCount_ ? delaySumMs_ / double(delayCount_) : 0; }

}  // namespace tessaran::player
