// Work over the indices 0 … n − 1 cut into consecutive ranges, one a
// thread, the calling thread taking the first: for the frame's per-point
// and per-facet passes, whose elements are independent. Each element is
// handled by exactly one range, so results do not depend on the number of
// threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

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
  std::vector<std::thread> helpers;
  int started = 1;
  try {
    helpers.reserve(static_cast<std::size_t>(t - 1));
    for (; started < t; ++started) {
      helpers.emplace_back([&work, b = begin(started), e = begin(started + 1)] { work(b, e); });
    }
  } catch (const std::system_error&) {
    // The ranges from `started` on are done here.
  } catch (const std::bad_alloc&) {
  }
  work(begin(0), begin(1));
  if (started < t) work(begin(started), begin(t));
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace tessaran
