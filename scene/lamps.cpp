#include "scene/lamps.h"

#include <numbers>

namespace tessaran {

Lamps::Lamps() { Reset(); }

namespace {

// A lamp not yet placed faces the scene: turned half a turn about X.
void FreshLampFrame(FrameTable& frames, int k) {
  frames.ResetFrame(k);
  Rotate(frames.AbsOrientation(k), Axis::X, std::numbers::pi);
}

}  // namespace

void Lamps::Reset() {
  frames_.Allocate(kMaxLamps);
  for (int k = 0; k < kMaxLamps; ++k) FreshLampFrame(frames_, k);
  params_.fill(LampParams{});
  selected_.fill(false);
  count_ = 0;
}

bool Lamps::Remove(int lamp) {
  if (lamp < 0 || lamp >= count_) return false;
  for (int k = lamp + 1; k < count_; ++k) {
    frames_.CopyFrame(k, k - 1);
    frames_.Record(k - 1).identifier = kIdentifierBase + (k - 1);
    params_[k - 1] = params_[k];
    selected_[k - 1] = selected_[k];
  }
  --count_;
  FreshLampFrame(frames_, count_);
  params_[count_] = LampParams{};
  selected_[count_] = false;
  return true;
}

int Lamps::SetCount(int count) {
  if (count < 0 || count > kMaxLamps) return 0;
  count_ = count;
  return 1;
}

}  // namespace tessaran
