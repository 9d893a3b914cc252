// The points table (three 32-bit floats per point) and the projected-point
// tables of the views (four values per point), grown together.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "storage/virtab.h"

namespace tessaran {

class PointTables {
 public:
  static constexpr int kMaxPoints = 1200000;

  int Capacity() const { return capacity_; }

  // Point growth. tries <= 0: set the capacity to `points`; tries > 0: add
  // `points` to the capacity, trying up to `tries` times. The views' tables
  // follow. Returns 1, or 0 with capacity and contents as they were.
  int Grow(long points, int tries);

  // Point p (1-based).
  std::array<float, 3> Get(int p) const;
  int Put(int p, const std::array<float, 3>& xyz);
  VTH* Points() const { return points_.get(); }

  // A projected-point table for a view, of 4 values per point, kept sized
  // with the points table until it is closed. Null when it cannot be made.
  VTH* OpenViewTable();
  void CloseViewTable(VTH* table);
  int ViewTableCount() const { return static_cast<int>(views_.size()); }

 private:
  int Resize(int capacity);
  static int ResizeTable(VirTab& table, long count);

  VirTab points_;
  std::vector<VirTab> views_;
  int capacity_ = 0;
};

}  // namespace tessaran
