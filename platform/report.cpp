#include "platform/report.h"

#include <cstdio>

#include "platform/terminal.h"

namespace tessaran {
namespace {

// Used until the program has loaded its message library.
class NumberOnlyText : public MessageTextSource {
 public:
  std::string VFormat(int number, va_list) override { return "message " + std::to_string(number); }
};

TerminalReporter terminalReporter;
TerminalAsker terminalAsker;
NumberOnlyText numberOnlyText;
TerminalProgress terminalProgress;

MessageReporter* reporter = &terminalReporter;
QuestionAsker* asker = &terminalAsker;
MessageTextSource* textSource = &numberOnlyText;
ProgressDisplay* progress = &terminalProgress;

}  // namespace

void InstallReporter(MessageReporter* r) { reporter = r ? r : &terminalReporter; }
void InstallAsker(QuestionAsker* a) { asker = a ? a : &terminalAsker; }
void InstallMessageText(MessageTextSource* s) { textSource = s ? s : &numberOnlyText; }
void InstallProgress(ProgressDisplay* p) { progress = p ? p : &terminalProgress; }
ProgressDisplay& Progress() { return *progress; }
MessageReporter& Reporter() { return *reporter; }
QuestionAsker& Asker() { return *asker; }

std::string VMessageText(int number, va_list args) { return textSource->VFormat(number, args); }

std::string MessageText(int number, ...) {
  va_list args;
  va_start(args, number);
  std::string text = VMessageText(number, args);
  va_end(args);
  return text;
}

void ShowMessage(MessageKind kind, int number, ...) {
  va_list args;
  va_start(args, number);
  std::string text = VMessageText(number, args);
  va_end(args);
  reporter->Report(kind, number, text);
}

Answer AskQuestion(QuestionButtons buttons, int number, ...) {
  va_list args;
  va_start(args, number);
  std::string text = VMessageText(number, args);
  va_end(args);
  return asker->Ask(number, text, buttons);
}

}  // namespace tessaran
