// Removing a lamp: the others close up with their frames, links and
// parameters, identifiers stay unique, and the freed slot is a fresh lamp.
#include "scene/lamps.h"

#include <gtest/gtest.h>

namespace tessaran {
namespace {

void Place(Lamps& lamps, int k) {
  lamps.Frames().AbsOrigin(k) = {double(k), 10, 20};
  lamps.Frames().Record(k).parent = k;
  lamps.Frames().Record(k).parentId = 100 + k;
  lamps.Params(k).colour = static_cast<std::uint16_t>(k);
  lamps.Params(k).aperture = static_cast<std::uint16_t>(40 + k);
}

TEST(LampsTest, RemoveClosesUpAndFreesTheLastSlot) {
  Lamps lamps;
  const Lamps fresh;
  ASSERT_EQ(lamps.SetCount(4), 1);
  for (int k = 0; k < 4; ++k) Place(lamps, k);
  lamps.Select(2, true);
  ASSERT_TRUE(lamps.Remove(1));
  ASSERT_EQ(lamps.Count(), 3);
  EXPECT_EQ(lamps.Params(0).colour, 0);
  for (int k = 1; k < 3; ++k) {
    EXPECT_EQ(lamps.Params(k).colour, k + 1);
    EXPECT_EQ(lamps.Params(k).aperture, 41 + k);
    EXPECT_DOUBLE_EQ(lamps.Frames().AbsOrigin(k)[0], k + 1);
    EXPECT_EQ(lamps.Frames().Record(k).parent, k + 1);
    EXPECT_EQ(lamps.Frames().Record(k).parentId, 101 + k);
    EXPECT_EQ(lamps.Frames().Record(k).identifier, Lamps::kIdentifierBase + k);
  }
  // The selection moved with its lamp.
  EXPECT_TRUE(lamps.Selected(1));
  EXPECT_FALSE(lamps.Selected(2));
  // The slot freed is as a new scene has it: facing the scene, defaults.
  EXPECT_EQ(lamps.Frames().AbsOrientation(3), fresh.Frames().AbsOrientation(3));
  EXPECT_EQ(lamps.Frames().AbsOrigin(3), (Vec3{0, 0, 0}));
  EXPECT_EQ(lamps.Frames().Record(3).parent, -1);
  EXPECT_EQ(lamps.Params(3).colour, 0x0FFF);
  EXPECT_EQ(lamps.Params(3).aperture, 30);
  // A lamp not in use cannot be removed, and is never selected.
  EXPECT_FALSE(lamps.Remove(3));
  EXPECT_FALSE(lamps.Remove(-1));
  lamps.Select(5, true);
  EXPECT_FALSE(lamps.Selected(5));
  ASSERT_TRUE(lamps.Remove(2));
  ASSERT_TRUE(lamps.Remove(1));
  ASSERT_TRUE(lamps.Remove(0));
  EXPECT_EQ(lamps.Count(), 0);
}

}  // namespace
}  // namespace tessaran
