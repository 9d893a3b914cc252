// The player's state and the timing of a playback: the frame delay the keys
// change, the pause and the single step.
#pragma once

namespace tessaran::player {

enum class PlayerState {
  Playing = 0,
  StopRequested = 1,  // Esc, double click, "ANIM" of the link while playing
  Idle = 2,
  ClosePending = 3,   // close the window once the playback has stopped
  OpenPending = 4,    // run the asked command once the playback has stopped
};

// The frame delay at the start of each playback and the timer step.
constexpr int kStartDelayMs = 20;
constexpr int kTimerStepMs = 10;

enum class PlayKey { Space, Enter, Right, Left, Backspace, Escape, Home, End };

// Where a key asks the play to go while paused.
enum class FrameJump { None, First, Last };

struct Playback {
  PlayerState state = PlayerState::Idle;
  int delayMs = kStartDelayMs;
  bool paused = false;
  bool step = false;  // show the next frame while paused
  FrameJump jump = FrameJump::None;

  bool Playing() const { return state == PlayerState::Playing; }
  // A new playback: delay 20 ms, no pause.
  void Start();
  // The key's effect on the timing and the state; false for a key that
  // does nothing now.
  bool Key(PlayKey key);
};

}  // namespace tessaran::player
