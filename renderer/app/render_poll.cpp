#include "renderer/app/render_poll.h"

#include <algorithm>
#include <atomic>
#include <csignal>

namespace tessaran {
namespace {

// The one abort request of the process; a signal handler may only touch a
// lock-free atomic.
std::atomic<bool> stopRequest{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopRequest.store(true); }

}  // namespace

void RequestStop() { stopRequest.store(true); }
bool TakeStopRequest() { return stopRequest.exchange(false); }
void ClearStopRequest() { stopRequest.store(false); }

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

ShellRenderPoll::ShellRenderPoll(int scrutePri, ProgressDisplay* progress)
    : period_(std::max(scrutePri, 1)), progress_(progress) {}

bool ShellRenderPoll::Poll(double fraction) {
  counter_ = (counter_ + 1) % period_;
  if (counter_ == 0 && progress_) progress_->Set(fraction);
  // The stop is looked at on every call: a signal must not wait for the period.
  return TakeStopRequest();
}

}  // namespace tessaran
