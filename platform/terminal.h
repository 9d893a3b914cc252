// Batch mode's reporter, asker and progress display: messages on stderr,
// questions answered by what the command line said or by defaults, the
// libraries' progress captions (and a bar, on a terminal) on the diagnostic
// console.
#pragma once

#include <map>
#include <string>

#include "platform/report.h"

namespace tessaran {

class TerminalReporter : public MessageReporter {
 public:
  void Report(MessageKind kind, int number, std::string_view text) override;
};

class TerminalAsker : public QuestionAsker {
 public:
  // Answer given to question `number` (from a command-line option).
  void SetAnswer(int number, Answer answer) { answers_[number] = answer; }
  // Answer to every question not set: Yes unless set otherwise.
  void SetDefault(Answer answer) { default_ = answer; }
  Answer Ask(int number, std::string_view text, QuestionButtons buttons) override;

 private:
  std::map<int, Answer> answers_;
  Answer default_ = Answer::Yes;
};

class TerminalProgress : public ProgressDisplay {
 public:
  void Open(std::string_view caption, std::string_view subtitle) override;
  void Set(double fraction) override;
  void Close() override;

 private:
  bool open_ = false;
  int shown_ = -1;  // last per-mille drawn
};

}  // namespace tessaran
