// The helper threads of the engine's passes, kept from one pass to the
// next. A thread created for a pass starts late when the other processor
// sleeps (from a tenth of a millisecond to several on a virtual machine),
// and a render runs several short passes before its first pixel: the
// frame's points, the facets, the octree beside the facet trees, then
// the pixels. A helper that has ended its part therefore waits for the
// next one spinning for a few milliseconds, then sleeps; a pass finds it
// running. The thread that waits for the helpers spins the same way
// before it sleeps.
#pragma once

#include <functional>
#include <memory>

namespace tessaran {

namespace helpers {
struct Task;
}  // namespace helpers

// The helpers started for one pass. Join (or the destructor) waits until
// each has ended its part.
class HelperGroup {
 public:
  HelperGroup() = default;
  HelperGroup(HelperGroup&& other) noexcept;
  HelperGroup& operator=(HelperGroup&& other) noexcept;
  HelperGroup(const HelperGroup&) = delete;
  HelperGroup& operator=(const HelperGroup&) = delete;
  ~HelperGroup() { Join(); }

  // The helpers started: they run the parts 1 … Count().
  int Count() const { return started_; }
  void Join();

 private:
  friend HelperGroup StartHelpers(int count, std::function<void(int)> run);
  HelperGroup(std::shared_ptr<helpers::Task> task, int started)
      : task_(std::move(task)), started_(started) {}

  std::shared_ptr<helpers::Task> task_;
  int started_ = 0;
};

// Hands run(i) for i = 1 … count − 1 to helpers, in that order, as long as
// helpers can be had; the caller does the work of i = 0 and of those not
// started (from Count() + 1 on), then joins the group. The helpers share
// one copy of `run`, which may be a temporary, and call it at the same
// time: it must not throw, nor change itself.
HelperGroup StartHelpers(int count, std::function<void(int)> run);

// Makes sure a render of `threads` threads finds its helpers running:
// started now, they spin while the caller reads the scene.
void WakeHelpers(int threads);

// Waits until ready() holds, spinning for the helpers' spin time at most
// (none when there are more helpers than processors to run them); false
// if it still does not hold, for the caller to sleep on it.
bool SpinUntil(const std::function<bool()>& ready);

}  // namespace tessaran
