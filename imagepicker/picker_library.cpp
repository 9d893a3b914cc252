#include "imagepicker/picker_library.h"

#include "platform/console.h"

namespace tessaran {
namespace {

// While the message library loads there is nothing to caption a box with,
// and a missing library is not the calling program's end: its failure is
// a trace.
class TraceReporter final : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view text) override {
    Trace("message %d: %.*s\n", number, static_cast<int>(text.size()), text.data());
  }
};

}  // namespace

PickerLibrary& PickerLibrary::Get() {
  static PickerLibrary library;
  return library;
}

PickerLibrary::PickerLibrary() {
  if (ConsoleOpen("KORVANDBGDLL")) Trace("RZ    Alloc console OK\n");
  TraceReporter loading;
  InstallReporter(&loading);
  const bool loaded = messages_.LoadConfigured();
  InstallReporter(&reporter_);
  if (!loaded) return;
  Trace("LoadLibrary RZRC OK\n");
  InstallMessageText(&messages_);
}

}  // namespace tessaran
