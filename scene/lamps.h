// The scene's lamps: up to ten, each with a frame of its own and four
// 16-bit parameters.
#pragma once

#include <array>
#include <cstdint>

#include "scene/frames.h"

namespace tessaran {

struct LampParams {
  std::uint16_t colour = 0x0FFF;  // 12-bit RGB: red in bits 8-11, green 4-7, blue 0-3
  std::uint16_t intensity = 50;   // percent; + 200 for a lamp set to "No Shadowing"
  std::uint16_t aperture = 30;    // cone aperture in degrees
  std::uint16_t reserved = 0;     // always 0
};

// Intensity in percent and shadowing of the stored intensity word.
constexpr int kNoShadowingOffset = 200;
inline int LampIntensity(const LampParams& lamp) {
  return lamp.intensity >= kNoShadowingOffset ? lamp.intensity - kNoShadowingOffset : lamp.intensity;
}
inline bool LampCastsShadows(const LampParams& lamp) { return lamp.intensity < kNoShadowingOffset; }
inline void SetLampIntensity(LampParams& lamp, int percent, bool shadows) {
  lamp.intensity = static_cast<std::uint16_t>(percent + (shadows ? 0 : kNoShadowingOffset));
}

class Lamps {
 public:
  static constexpr int kMaxLamps = 10;
  // Lamp frames take identifiers from this base on, above every slot of the
  // scene's frame table, so that no lamp shares an identifier with a frame.
  static constexpr int kIdentifierBase = 65536;

  Lamps();

  // Every lamp back to a fresh frame turned half a turn about X (so that it
  // faces the scene) with default parameters; no lamp in use.
  void Reset();

  int Count() const { return count_; }
  // Sets the number of lamps in use, 0 … 10; returns 0 for any other value.
  int SetCount(int count);
  // Takes lamp i out: the lamps after it close up (their frames renumbered
  // to their new slots, so that a lamp added later takes a free identifier),
  // and the last slot becomes a fresh lamp again. False for no lamp in use.
  bool Remove(int lamp);

  // Which lamps the modeler's views have selected; lamps not in use never
  // are.
  bool Selected(int lamp) const { return lamp >= 0 && lamp < count_ && selected_[lamp]; }
  void Select(int lamp, bool on) { selected_[lamp] = on; }
  void ClearSelection() { selected_.fill(false); }

  LampParams& Params(int lamp) { return params_[lamp]; }
  const LampParams& Params(int lamp) const { return params_[lamp]; }
  // Lamp i uses frame i; parent links point into the scene's frame table.
  FrameTable& Frames() { return frames_; }
  const FrameTable& Frames() const { return frames_; }

 private:
  FrameTable frames_{kIdentifierBase};
  std::array<LampParams, kMaxLamps> params_{};
  std::array<bool, kMaxLamps> selected_{};
  int count_ = 0;
};

}  // namespace tessaran
