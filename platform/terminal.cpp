#include "platform/terminal.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/console.h"

namespace tessaran {
namespace {

const char* KindLabel(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return "warning";
    case MessageKind::Error: return "error";
    case MessageKind::Question: return "question";
    case MessageKind::Information: return "information";
  }
  return "message";
}

const char* AnswerLabel(Answer answer) {
  switch (answer) {
    case Answer::Yes: return "yes";
    case Answer::No: return "no";
    case Answer::Cancel: return "cancel";
    case Answer::Ok: return "ok";
  }
  return "?";
}

// Texts of the libraries end lines with "\n" themselves; one is added when missing.
void PrintLine(const std::string& line) {
  std::fputs(line.c_str(), stderr);
  if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
}

}  // namespace

void TerminalReporter::Report(MessageKind kind, int number, std::string_view text) {
  std::string line = KindLabel(kind);
  if (number >= 0) line += " " + std::to_string(number);
  line += ": ";
  line += text;
  PrintLine(line);
}

Answer TerminalAsker::Ask(int number, std::string_view text, QuestionButtons buttons) {
  auto found = answers_.find(number);
  Answer answer = found != answers_.end() ? found->second : default_;
  // A Yes/No question has no Ok: the same consent is a Yes, and the reverse.
  if (buttons == QuestionButtons::OkCancel && answer == Answer::Yes) answer = Answer::Ok;
  if (buttons != QuestionButtons::OkCancel && answer == Answer::Ok) answer = Answer::Yes;
  if (buttons == QuestionButtons::YesNo && answer == Answer::Cancel) answer = Answer::No;
  PrintLine("question " + std::to_string(number) + ": " + std::string(text) + " -> " +
            AnswerLabel(answer));
  return answer;
}

// The captions and bars of the libraries' progress displays (a picture
// loaded, a colour reduction) tell how the work goes inside; in batch mode
// they are diagnostic lines, on the diagnostic console only. The programs
// show the user their own progress.
void TerminalProgress::Open(std::string_view caption, std::string_view subtitle) {
  open_ = ConsoleEnabled();
  shown_ = -1;
  if (!open_) return;
  std::string line(caption);
  if (!subtitle.empty()) line += " - " + std::string(subtitle);
  if (line.empty() || line.back() != '\n') line += '\n';
  Trace("%s", line.c_str());
}

void TerminalProgress::Set(double fraction) {
  if (!open_ || !isatty(STDERR_FILENO)) return;
  if (fraction < 0) fraction = 0;
  if (fraction > 1) fraction = 1;
  int permille = static_cast<int>(fraction * 1000);
  if (permille == shown_) return;
  shown_ = permille;
  constexpr int kWidth = 40;
  int filled = permille * kWidth / 1000;
  std::fprintf(stderr, "\r[%s%s] %5.1f%%", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), permille / 10.0);
  std::fflush(stderr);
}

void TerminalProgress::Close() {
  if (open_ && shown_ >= 0 && isatty(STDERR_FILENO)) std::fputc('\n', stderr);
  open_ = false;
}

}  // namespace tessaran
