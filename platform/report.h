// What core code tells the user, asks the user, and how it shows progress.
// Core code never shows anything itself: it goes through these interfaces,
// which the programs implement with windows and batch mode on the terminal.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace tessaran {

// The four kinds of message box, in the order of the captions that open
// every message library (warning, error, question, information).
enum class MessageKind { Warning, Error, Question, Information };

class MessageReporter {
 public:
  virtual ~MessageReporter() = default;
  // number: the message's number in the program's library; text: already formatted.
  virtual void Report(MessageKind kind, int number, std::string_view text) = 0;
};

// Buttons offered by a question, and the answer chosen.
enum class QuestionButtons { YesNo, YesNoCancel, OkCancel };
enum class Answer { Yes, No, Cancel, Ok };

class QuestionAsker {
 public:
  virtual ~QuestionAsker() = default;
  virtual Answer Ask(int number, std::string_view text, QuestionButtons buttons) = 0;
};

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void Open(std::string_view caption, std::string_view subtitle) = 0;
  virtual void Set(double fraction) = 0;  // 0 … 1
  virtual void Close() = 0;
};

// Called by long computations every so often; answers true when the user
// asked to stop.
class RenderPoll {
 public:
  virtual ~RenderPoll() = default;
  virtual bool Poll(double fraction) = 0;
};

// Formats message `number` of the program's current library with printf
// arguments. Installed by the program once its library is loaded.
class MessageTextSource {
 public:
  virtual ~MessageTextSource() = default;
  virtual std::string VFormat(int number, va_list args) = 0;
};

// The process-wide reporter, asker and text source. Until a program installs
// its own, the terminal implementations are used and texts read "message N".
void InstallReporter(MessageReporter* reporter);
void InstallAsker(QuestionAsker* asker);
void InstallMessageText(MessageTextSource* source);
void InstallProgress(ProgressDisplay* progress);
MessageReporter& Reporter();
QuestionAsker& Asker();
// The process-wide progress display; batch mode's terminal bar by default.
ProgressDisplay& Progress();

// Formats message `number` through the installed text source.
std::string MessageText(int number, ...);
std::string VMessageText(int number, va_list args);

// Formats message `number` with the arguments and hands it to the reporter.
void ShowMessage(MessageKind kind, int number, ...);

// Formats question `number` and asks it.
Answer AskQuestion(QuestionButtons buttons, int number, ...);

}  // namespace tessaran
