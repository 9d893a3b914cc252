#include "scene/points.h"

#include <algorithm>

#include "platform/console.h"

namespace tessaran {

namespace {
// Paging of the points and projected-point tables: two buffers of 240
// elements, held in memory whenever the table fits there.
constexpr int kBuffers = 2;
constexpr int kBufferSize = 240;
constexpr int kSupportSelect = 0;
constexpr long kViewValuesPerPoint = 4;
}  // namespace

int PointTables::ResizeTable(VirTab& table, long count) {
  if (!table) {
    table = InitVirTab(sizeof(float), static_cast<int>(count), kBuffers, kBufferSize, kSupportSelect);
    return table ? 1 : 0;
  }
  return ReInitVirTab(table.get(), static_cast<int>(count), kBuffers, kBufferSize, kSupportSelect);
}

int PointTables::Resize(int capacity) {
  const int old = capacity_;
  if (!ResizeTable(points_, 3L * capacity)) return 0;
  for (std::size_t v = 0; v < views_.size(); ++v) {
    if (ResizeTable(views_[v], kViewValuesPerPoint * capacity)) continue;
    // A view could not follow: take the tables already grown back, so that
    // every table keeps matching the capacity.
    for (std::size_t back = 0; back < v; ++back) ResizeTable(views_[back], kViewValuesPerPoint * old);
    if (old > 0) {
      ResizeTable(points_, 3L * old);
    } else {
      points_.reset();
    }
    return 0;
  }
  capacity_ = capacity;
  return 1;
}

int PointTables::Grow(long points, int tries) {
  if (tries <= 0) {
    if (points < 1 || points >= kMaxPoints) return 0;
    return Resize(static_cast<int>(points));
  }
  const long size = capacity_ + points;
  if (points < 0 || size < 1 || size >= kMaxPoints) return 0;
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (Resize(static_cast<int>(size))) {
      Trace("npAlloc=%ld\n", static_cast<long>(capacity_));
      return 1;
    }
  }
  return 0;
}

std::array<float, 3> PointTables::Get(int p) const {
  std::array<float, 3> xyz{};
  if (p < 1 || p > capacity_) return xyz;
  for (int axis = 0; axis < 3; ++axis) xyz[axis] = VGetFloat(points_.get(), 3 * (p - 1) + axis);
  return xyz;
}

int PointTables::Put(int p, const std::array<float, 3>& xyz) {
  if (p < 1 || p > capacity_) return 0;
  for (int axis = 0; axis < 3; ++axis) {
    if (!VPutFloat(points_.get(), 3 * (p - 1) + axis, xyz[axis])) return 0;
  }
  return 1;
}

VTH* PointTables::OpenViewTable() {
  if (capacity_ == 0) return nullptr;
  VirTab table;
  if (!ResizeTable(table, kViewValuesPerPoint * capacity_)) return nullptr;
  views_.push_back(std::move(table));
  return views_.back().get();
}

void PointTables::CloseViewTable(VTH* table) {
  std::erase_if(views_, [&](const VirTab& view) { return view.get() == table; });
}

}  // namespace tessaran
