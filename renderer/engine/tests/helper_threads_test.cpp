// The helpers kept between passes: each part run once and finished when
// the pass is joined, helpers reused or added as passes need them, and
// passes of several callers at once kept apart.
#include "renderer/engine/helper_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tessaran {
namespace {

// Runs a pass of `count` parts the way the engine does: the caller takes
// part 0 and those no helper took. Returns how often each part ran.
std::vector<int> RunPass(int count) {
  std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
  HelperGroup helpers = StartHelpers(count, [&](int i) { ++runs[static_cast<std::size_t>(i)]; });
  EXPECT_LE(helpers.Count(), count - 1);
  ++runs[0];
  for (int i = helpers.Count() + 1; i < count; ++i) ++runs[static_cast<std::size_t>(i)];
  helpers.Join();
  // After the join every part's work is seen, and the group is empty.
  EXPECT_EQ(helpers.Count(), 0);
  std::vector<int> seen;
  for (const auto& r : runs) seen.push_back(r.load());
  return seen;
}

TEST(HelperThreads, EveryPartOnceAcrossPassesOfEverySize) {
  WakeHelpers(3);
  for (int round = 0; round < 50; ++round) {
    for (const int count : {1, 2, 3, 5}) {
      EXPECT_EQ(RunPass(count), std::vector<int>(static_cast<std::size_t>(count), 1)) << count;
    }
  }
  // Nothing to hand out: no helper, and nothing to wait for.
  HelperGroup none = StartHelpers(0, [](int) { FAIL(); });
  EXPECT_EQ(none.Count(), 0);
}

TEST(HelperThreads, APassStartedWhileAnotherRunsGetsHelpersOfItsOwn) {
  // The first pass's helper waits until the second pass has run: a helper
  // given to both would never end.
  std::atomic<bool> secondDone{false};
  HelperGroup first = StartHelpers(2, [&](int) {
    while (!secondDone) std::this_thread::yield();
  });
  ASSERT_EQ(first.Count(), 1);
  EXPECT_EQ(RunPass(2), (std::vector<int>{1, 1}));
  secondDone = true;
  first.Join();
}

TEST(HelperThreads, CallersOnSeveralThreadsKeepTheirPassesApart) {
  std::vector<std::thread> callers;
  std::atomic<int> wrong{0};
  for (int c = 0; c < 3; ++c) {
    callers.emplace_back([&, c] {
      for (int round = 0; round < 200; ++round) {
        if (RunPass(2 + (round + c) % 3) !=
            std::vector<int>(static_cast<std::size_t>(2 + (round + c) % 3), 1)) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(HelperThreads, AMovedGroupIsJoinedOnce) {
  std::atomic<int> ran{0};
  HelperGroup a = StartHelpers(3, [&](int) { ++ran; });
  const int started = a.Count();
  HelperGroup b = std::move(a);
  EXPECT_EQ(a.Count(), 0);
  a.Join();  // nothing left to wait for
  b.Join();
  EXPECT_EQ(ran.load(), started);
}

TEST(HelperThreads, SpinningEndsWhenTheConditionHoldsOrTheTimeIsOut) {
  EXPECT_TRUE(SpinUntil([] { return true; }));
  std::atomic<bool> set{false};
  std::thread setter([&] { set = true; });
  // Either seen while spinning, or left to the caller to sleep on.
  const bool seen = SpinUntil([&] { return set.load(); });
  setter.join();
  EXPECT_TRUE(seen || set.load());
  EXPECT_FALSE(SpinUntil([] { return false; }));
}

}  // namespace
}  // namespace tessaran
