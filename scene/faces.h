// The face table `VTabFace`: the explicit faces of faceted objects.
#pragma once

#include <array>
#include <cstdint>

#include "storage/virtab.h"

namespace tessaran {

// Four 1-based point numbers within the object; 0 in the fourth place for a
// triangle; a negated number where the edge after that corner is invisible.
using Face = std::array<std::int16_t, 4>;

class FaceTable {
 public:
  // Sizes the table for `count` faces, creating it on first use; faces
  // already present are kept. Returns 1, or 0 with the table unchanged.
  int Resize(int count);
  // Drops every face and the table.
  void Clear();

  int Count() const { return count_; }
  // Face i (0-based); an out-of-range index yields a zero face.
  Face Get(int i) const;
  int Put(int i, const Face& face);

  VTH* Table() const { return VTabFace.get(); }

 private:
  VirTab VTabFace;
  int count_ = 0;
};

}  // namespace tessaran
