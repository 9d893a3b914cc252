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

// Starts run(i) for i = 1 … count − 1, each on a thread of its own, in
// that order, as long as threads can be had; the caller does the work of
// i = 0 and of those not started (from the returned size + 1 on), then
// joins the threads. Each thread holds its own copy of `run`, which may
// be a temporary.
template <class Run>
std::vector<std::thread> StartHelpers(int count, const Run& run) {
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(static_cast<std::size_t>(std::max(count - 1, 0)));
    for (int i = 1; i < count; ++i) helpers.emplace_back([run, i] { run(i); });
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return helpers;
}

// Calls work(begin, end) on the ranges of [0, n), on up to `threads`
// threads. `work` must not throw. A thread that cannot be had leaves its
// range to the calling thread.
template <class Work>
void ForRanges(std::size_t n, int threads, std::size_t grain, const Work& work) {
  const int t = RangeThreads(n, threads, grain);
  auto begin = [&](int i) { return n * static_cast<std::size_t>(i) / static_cast<std::size_t>(t); };
  std::vector<std::thread> helpers = StartHelpers(t, [&](int i) { work(begin(i), begin(i + 1)); });
  const int started = static_cast<int>(helpers.size()) + 1;
  work(begin(0), begin(1));
  if (started < t) work(begin(started), begin(t));
  for (std::thread& helper : helpers) helper.join();
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
