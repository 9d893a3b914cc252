#include "platform/console.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tessaran {
namespace {

// -1: not decided yet; then 0 or 1.
std::atomic<int> consoleState{-1};

// Formatted traces are cut at this many characters, as the programs' own
// trace buffer was.
constexpr int kTraceLimit = 500;

}  // namespace

bool ConsoleEnabled() {
  int state = consoleState.load(std::memory_order_relaxed);
  if (state < 0) return ConsoleOpen();
  return state != 0;
}

void ConsoleSetEnabled(bool enabled) { consoleState.store(enabled ? 1 : 0); }

bool ConsoleOpen(const char* environmentVariable) {
  bool enabled = std::getenv(environmentVariable) != nullptr;
  ConsoleSetEnabled(enabled);
  return enabled;
}

void Trace(const char* format, ...) {
  if (!ConsoleEnabled()) return;
  char line[kTraceLimit + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fputs(line, stderr);
}

}  // namespace tessaran
