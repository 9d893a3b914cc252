#include "scene/objects.h"

#include <cmath>

namespace tessaran {

int ObjectTables::Resize(int n, const GrowthGate& gate) {
  const std::size_t oldRecords = records.size();
  const std::size_t oldCount = states.size();
  const auto count = static_cast<std::size_t>(n);
  int error = 0;
  if (!TryResize(records, count + 1, gate)) {
    error = 1;
  } else if (!TryResize(states, count, gate) || !TryResize(boxes, count, gate)) {
    error = 2;
  } else if (!TryResize(faceGroups, count, gate)) {
    error = 3;
  }
  if (error != 0) {
    // Shrinking back never allocates; the kept part is untouched.
    records.resize(oldRecords);
    states.resize(oldCount);
    boxes.resize(oldCount);
    faceGroups.resize(oldCount);
  }
  return error;
}

BoundingBox BoxFromExtent(const std::array<float, 3>& low, const std::array<float, 3>& high) {
  BoundingBox box{};
  for (int corner = 0; corner < 8; ++corner) {
    for (int axis = 0; axis < 3; ++axis) {
      const bool top = (corner >> axis) & 1;
      const double value = top ? std::ceil(high[axis]) : std::floor(low[axis]);
      box[corner][axis] = static_cast<std::int32_t>(value);
    }
  }
  return box;
}

}  // namespace tessaran
