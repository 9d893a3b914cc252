// The split of a facet tree's node: the half of its facets that come first
// along the axis, whatever the order they arrive in.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "renderer/engine/facet_trees.h"

namespace tessaran {
namespace {

// The facets of the lower half as a sorted list, by SelectLowerHalf and by
// a full sort in the same order.
void ExpectSameLowerHalf(std::vector<TreeItem> items, int half, int axis, const char* what) {
  std::vector<TreeItem> sorted = items;
  std::sort(sorted.begin(), sorted.end(),
            [axis](const TreeItem& x, const TreeItem& y) { return ComesBefore(x, y, axis); });
  SelectLowerHalf(items.data(), static_cast<int>(items.size()), half, axis);
  std::vector<int> got, want;
  for (int i = 0; i < half; ++i) {
    got.push_back(items[i].facet);
    want.push_back(sorted[i].facet);
  }
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  ASSERT_EQ(got, want) << what << ", " << items.size() << " items, half " << half << ", axis " << axis;
  // Every facet is still there once.
  std::vector<int> all;
  for (const TreeItem& item : items) all.push_back(item.facet);
  std::sort(all.begin(), all.end());
  for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<int>(i)) << what;
}

TEST(FacetTreeSplit, LowerHalfIsTheSameAsASortWouldGive) {
  std::mt19937 random(7);
  for (const int count : {2, 3, 25, 26, 100, 1001, 5000}) {
    for (const int axis : {0, 1, 2}) {
      std::vector<TreeItem> shuffled, ties, ascending, descending, organ;
      for (int i = 0; i < count; ++i) {
        const double x = std::uniform_real_distribution<double>(-50, 50)(random);
        shuffled.push_back({{x, -x, 2 * x}, i});
        // Few distinct centres: the facet numbers decide, and -0 equals 0.
        const double t = (i % 5 == 0 ? -0.0 : 0.0) + static_cast<double>(random() % 3);
        ties.push_back({{t, t, t}, i});
        ascending.push_back({{double(i), double(i), double(i)}, i});
        descending.push_back({{double(-i), double(-i), double(-i)}, i});
        const double o = i < count / 2 ? i : count - i;
        organ.push_back({{o, o, o}, i});
      }
      std::shuffle(ties.begin(), ties.end(), random);
      for (const int half : {count / 2, 1, count - 1}) {
        ExpectSameLowerHalf(shuffled, half, axis, "shuffled");
        ExpectSameLowerHalf(ties, half, axis, "ties");
        ExpectSameLowerHalf(ascending, half, axis, "ascending");
        ExpectSameLowerHalf(descending, half, axis, "descending");
        ExpectSameLowerHalf(organ, half, axis, "organ pipe");
      }
    }
  }
}

}  // namespace
}  // namespace tessaran
