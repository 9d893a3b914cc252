#include "player/playback.h"

#include <algorithm>

namespace tessaran::player {

void Playback::Start() {
  state = PlayerState::Playing;
  delayMs = kStartDelayMs;
  paused = false;
  step = false;
  jump = FrameJump::None;
}

bool Playback::Key(PlayKey key) {
  switch (key) {
    case PlayKey::Space:
      if (paused) step = true;
      paused = true;
      return true;
    case PlayKey::Enter:
      if (paused) step = true;
      paused = false;
      return true;
    case PlayKey::Right:
      delayMs = std::max(delayMs - kTimerStepMs, kTimerStepMs);
      return true;
    case PlayKey::Left:
      delayMs += kTimerStepMs;
      return true;
    case PlayKey::Backspace:
      delayMs = kTimerStepMs;
      return true;
    case PlayKey::Escape:
      if (state != PlayerState::Playing) return false;
      state = PlayerState::StopRequested;
      return true;
    case PlayKey::Home:
    case PlayKey::End:
      if (!paused) return false;
      jump = key == PlayKey::Home ? FrameJump::First : FrameJump::Last;
      step = true;
      return true;
  }
  return false;
}

}  // namespace tessaran::player
