#include "ui/window_messages.h"

#include "platform/report.h"

namespace tessaran {

WindowMessages::WindowMessages(MessageProgram program) : library_(program), reporter_(library_), asker_(library_) {
  InstallReporter(&reporter_);
  InstallAsker(&asker_);
}

WindowMessages::~WindowMessages() {
  InstallReporter(nullptr);
  InstallAsker(nullptr);
  InstallMessageText(nullptr);
}

bool WindowMessages::Load() {
  if (!library_.LoadConfigured()) return false;
  InstallMessageText(&library_);
  return true;
}

void WindowMessages::SetParent(QWidget* parent) {
  reporter_.SetParent(parent);
  asker_.SetParent(parent);
}

}  // namespace tessaran
