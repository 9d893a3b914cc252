// What two threads take of one thread's time on this machine, for work
// with no serial part at all: the floor against which a render's two-thread
// ratio is read (render_bench.sh prints it beside the renders').
//
//   parallel_probe [ROUNDS]
//
// The work is a chain of dependent arithmetic, the same total on one
// thread and split in two halves on two. The threads are running and meet
// at a barrier before the clock starts, so the time a sleeping processor
// takes to wake is left out. Rounds alternate the thread counts, so that a
// slow spell of the machine weighs on both.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kChainSteps = 60'000'000;  // about 0.1 s on one thread

// Dependent multiply-adds: each step waits for the one before.
double Chain(std::uint64_t steps, double seed) {
  double x = seed;
  for (std::uint64_t i = 0; i < steps; ++i) x = x * 0.999999 + 1e-7;
  return x;
}

// The wall milliseconds of `work` split over `threads` threads, from the
// moment all of them run to the end of the last.
template <class Work>
double Timed(int threads, const Work& work) {
  std::atomic<int> arrived{0};
  std::atomic<bool> go{false};
  Clock::time_point start;
  std::vector<Clock::time_point> ends(static_cast<std::size_t>(threads));
  auto run = [&](int t) {
    if (++arrived == threads) {
      start = Clock::now();
      go = true;
    }
    while (!go) {
    }
    work(t, threads);
    ends[static_cast<std::size_t>(t)] = Clock::now();
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(run, t);
  run(0);
  for (std::thread& helper : helpers) helper.join();
  const Clock::time_point end = *std::max_element(ends.begin(), ends.end());
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::atomic<double> sink{0};  // keeps the work from being optimised away

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  auto chain = [](int t, int threads) { sink = sink + Chain(kChainSteps / threads, 1.0 + t); };
  // Each round's two counts run one after the other: their ratio is taken
  // round by round, and the median of the rounds printed.
  std::vector<double> ratio, one;
  for (int r = 0; r < rounds; ++r) {
    const double t1 = Timed(1, chain), t2 = Timed(2, chain);
    ratio.push_back(t2 / t1);
    one.push_back(t1);
  }
  std::printf(
      "machine, work with no serial part: 2 threads take %.2f of 1 thread's time "
      "(median of %d rounds; 1 thread %.1f ms)\n",
      Median(ratio), rounds, Median(one));
  return 0;
}
