// The render poll: the engine calls it during a render with the fraction
// done; it shows progress every "SCRUTE_PRI"-th call and answers the abort
// request (the stop command, or SIGINT/SIGTERM in batch mode), clearing it.
#pragma once

#include "platform/report.h"

namespace tessaran {

// The abort request of the process: set by the stop command or a signal,
// taken (and cleared) by the render poll.
void RequestStop();
bool TakeStopRequest();
void ClearStopRequest();
// SIGINT and SIGTERM become the user's stop request.
void InstallStopSignals();

class ShellRenderPoll final : public RenderPoll {
 public:
  // scrutePri: the poll period, at least 1; progress may be null.
  ShellRenderPoll(int scrutePri, ProgressDisplay* progress);
  bool Poll(double fraction) override;

 private:
  int period_;
  int counter_ = 0;
  ProgressDisplay* progress_;
};

}  // namespace tessaran
