#include "renderer/engine/helper_threads.h"

#include <sched.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tessaran {

namespace helpers {

// One pass's work, shared by the pass and its helpers: it lives until the
// last of them lets it go, so a helper may signal its end after the pass
// has stopped waiting.
struct Task {
  explicit Task(std::function<void(int)> work) : run(std::move(work)) {}
  void RunPart(int i) {
    run(i);
    if (running.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      std::lock_guard<std::mutex> lock(mutex);
      ended.notify_all();
    }
  }
  void Wait() {
    if (SpinUntil([this] { return running.load(std::memory_order_acquire) == 0; })) return;
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [this] { return running.load(std::memory_order_acquire) == 0; });
  }

  const std::function<void(int)> run;
  std::atomic<int> running{0};  // the helpers that have not ended their part
  std::mutex mutex;
  std::condition_variable ended;
};

}  // namespace helpers

namespace {

// How long an idle helper, or a thread waiting for helpers, spins before
// it sleeps: longer than the engine's serial stretches between passes.
constexpr std::chrono::milliseconds kSpinTime{20};

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

using Clock = std::chrono::steady_clock;

// A helper thread and the part it is given. `state` is kIdle while it waits
// for work, kClaimed while a pass fills in its part, kGiven once it may run
// it, kStop when the pool ends; only the helper sets kIdle again.
struct Helper {
  enum : int { kIdle, kClaimed, kGiven, kStop };
  std::atomic<int> state{kClaimed};
  std::shared_ptr<helpers::Task> task;
  int part = 0;
  std::thread thread;
};

class HelperPool {
 public:
  HelperPool() = default;
  HelperPool(const HelperPool&) = delete;
  HelperPool& operator=(const HelperPool&) = delete;
  // At the end of the process, when no pass runs any more.
  ~HelperPool() {
    for (const auto& helper : helpers_) {
      helper->state.store(Helper::kStop, std::memory_order_release);
      helper->state.notify_one();
      helper->thread.join();
    }
  }

  // Claims up to `count` helpers, starting threads while too few are idle.
  std::vector<Helper*> Claim(int count) {
    std::vector<Helper*> claimed;
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      claimed.reserve(static_cast<std::size_t>(count));
      for (const auto& helper : helpers_) {
        if (static_cast<int>(claimed.size()) == count) break;
        int idle = Helper::kIdle;
        if (helper->state.compare_exchange_strong(idle, Helper::kClaimed,
                                                  std::memory_order_acquire)) {
          claimed.push_back(helper.get());
        }
      }
      while (static_cast<int>(claimed.size()) < count) {
        helpers_.reserve(helpers_.size() + 1);
        auto helper = std::make_unique<Helper>();
        helper->thread = std::thread(Loop, helper.get());
        claimed.push_back(helper.get());
        helpers_.push_back(std::move(helper));
        started_.store(static_cast<int>(helpers_.size()), std::memory_order_relaxed);
      }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return claimed;
  }

  static void Give(Helper& helper, std::shared_ptr<helpers::Task> task, int part) {
    helper.task = std::move(task);
    helper.part = part;
    helper.state.store(Helper::kGiven, std::memory_order_release);
    helper.state.notify_one();
  }

  int Started() const { return started_.load(std::memory_order_relaxed); }

 private:
  static void Loop(Helper* helper) {
    for (;;) {
      int state;
      while ((state = helper->state.load(std::memory_order_acquire)) != Helper::kGiven) {
        if (state == Helper::kStop) return;
        if (!SpinUntil([helper] {
              return helper->state.load(std::memory_order_acquire) >= Helper::kGiven;
            })) {
          helper->state.wait(state, std::memory_order_acquire);
        }
      }
      std::shared_ptr<helpers::Task> task = std::move(helper->task);
      task->RunPart(helper->part);
      task.reset();
      // Idle again, unless the pool has ended meanwhile.
      int given = Helper::kGiven;
      if (!helper->state.compare_exchange_strong(given, Helper::kIdle, std::memory_order_acq_rel)) {
        return;
      }
    }
  }

  std::mutex mutex_;
  std::vector<std::unique_ptr<Helper>> helpers_;
  std::atomic<int> started_{0};
};

HelperPool& Pool() {
  static HelperPool pool;
  return pool;
}

// The processors this process may run on (a machine's share, under
// taskset or a container's set), read once.
int Processors() {
  static const int processors = [] {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    return static_cast<int>(std::thread::hardware_concurrency());
  }();
  return processors;
}

// The helpers run on their own processors only while no more of them
// exist than there are processors beside the caller's.
bool MaySpin() {
  return Pool().Started() < Processors();
}

}  // namespace

HelperGroup::HelperGroup(HelperGroup&& other) noexcept
    : task_(std::move(other.task_)), started_(std::exchange(other.started_, 0)) {}

HelperGroup& HelperGroup::operator=(HelperGroup&& other) noexcept {
  if (this != &other) {
    Join();
    task_ = std::move(other.task_);
    started_ = std::exchange(other.started_, 0);
  }
  return *this;
}

void HelperGroup::Join() {
  if (task_) task_->Wait();
  task_.reset();
  started_ = 0;
}

namespace {

// Gives the task to up to `count` helpers; the number given.
int Hand(const std::shared_ptr<helpers::Task>& task, int count) {
  std::vector<Helper*> claimed = Pool().Claim(count);
  const int given = static_cast<int>(claimed.size());
  task->running.store(given, std::memory_order_relaxed);
  for (int i = 0; i < given; ++i) {
    HelperPool::Give(*claimed[static_cast<std::size_t>(i)], task, i + 1);
  }
  return given;
}

}  // namespace

HelperGroup StartHelpers(int count, std::function<void(int)> run) {
  if (count <= 1) return {};
  std::shared_ptr<helpers::Task> task;
  try {
    task = std::make_shared<helpers::Task>(std::move(run));
  } catch (const std::bad_alloc&) {
    return {};
  }
  const int given = Hand(task, count - 1);
  return given > 0 ? HelperGroup(std::move(task), given) : HelperGroup();
}

void WakeHelpers(int threads) {
  if (threads <= 1) return;
  try {
    // Nothing to do: each helper ends at once and spins for the first pass.
    Hand(std::make_shared<helpers::Task>([](int) {}), threads - 1);
  } catch (const std::bad_alloc&) {
  }
}

bool SpinUntil(const std::function<bool()>& ready) {
  if (ready()) return true;
  if (!MaySpin()) return false;
  const Clock::time_point until = Clock::now() + kSpinTime;
  for (unsigned k = 1;; ++k) {
    CpuRelax();
    if (ready()) return true;
    if (k % 64 == 0) {
      if (Clock::now() >= until) return false;
      std::this_thread::yield();
    }
  }
}

}  // namespace tessaran
