#include "scene/lamps.h"

#include <numbers>

namespace tessaran {

Lamps::Lamps() { Reset(); }

void Lamps::Reset() {
  frames_.Allocate(kMaxLamps);
  for (int k = 0; k < kMaxLamps; ++k) Rotate(frames_.AbsOrientation(k), Axis::X, std::numbers::pi);
  params_.fill(LampParams{});
  count_ = 0;
}

int Lamps::SetCount(int count) {
  if (count < 0 || count > kMaxLamps) return 0;
  count_ = count;
  return 1;
}

}  // namespace tessaran
