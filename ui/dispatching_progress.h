// The render poll's progress display in a program with windows: the
// engine's calling thread is the user-interface thread, so every time the
// poll shows progress the pending events are dispatched too — painting,
// menus, the stop command and the program link all stay alive during a
// render, as the system's own poll keeps its window alive. Polls closer
// together than 10 ms dispatch once.
#pragma once

#include <QElapsedTimer>
#include <functional>

#include "platform/report.h"

namespace tessaran {

class DispatchingProgress final : public ProgressDisplay {
 public:
  // shown: told of each fraction before the events are dispatched; may be empty.
  explicit DispatchingProgress(std::function<void(double)> shown) : shown_(std::move(shown)) {}

  void Open(std::string_view, std::string_view) override {}
  void Set(double fraction) override;
  void Close() override {}

 private:
  std::function<void(double)> shown_;
  QElapsedTimer sinceDispatch_;
};

}  // namespace tessaran
