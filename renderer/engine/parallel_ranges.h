// Work over the indices 0 … n − 1 cut into consecutive ranges, one a
// thread, the calling thread taking the first: for the frame's per-point
// and per-facet passes, whose elements are independent. Each element is
// handled by exactly one range, so results do not depend on the number of
// threads.
#pragma once

#include <algorithm>
#include <cstddef>

#include "renderer/engine/helper_threads.h"

namespace tessaran {

// The threads worth starting for n elements: at most `threads`, each with
// at least `grain` elements (a thread costs about as much as a few
// thousand small elements), and at least one.
inline int RangeThreads(std::size_t n, int threads, std::size_t grain) {
  const std::size_t useful = grain == 0 ? n : n / grain;
  return static_cast<int>(std::max<std::size_t>(1, std::min<std::size_t>(std::max(threads, 1), useful)));
}

// Calls work(begin, end) on the ranges of [0, n), on up to `threads`
// threads. `work` must not throw. A thread that cannot be had leaves its
// range to the calling thread.
template <class Work>
void ForRanges(std::size_t n, int threads, std::size_t grain, const Work& work) {
  const int t = RangeThreads(n, threads, grain);
  auto begin = [&](int i) { return n * static_cast<std::size_t>(i) / static_cast<std::size_t>(t); };
  HelperGroup helpers = StartHelpers(t, [&](int i) { work(begin(i), begin(i + 1)); });
  const int started = helpers.Count() + 1;
  work(begin(0), begin(1));
  if (started < t) work(begin(started), begin(t));
  helpers.Join();
}

// The part of the elements [first, first + count) that lies in one range
// [begin, end) of ForRanges: [from, to), empty when from >= to.
struct RangePart {
  RangePart(std::size_t first, std::size_t count, std::size_t begin, std::size_t end)
      : from(std::max(first, begin)), to(std::min(first + count, end)) {}
  std::size_t from;
  std::size_t to;
};

}  // namespace tessaran
