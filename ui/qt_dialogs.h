// The message reporter and question asker of a program with windows:
// message boxes captioned with the first messages of the program's library
// (warning, error, question, information), parented to the main window.
// Questions are asked on the user-interface thread only; messages raised
// on another thread are queued to it.
#pragma once

#include <QPointer>
#include <QWidget>

#include "messages/message_library.h"
#include "platform/report.h"

namespace tessaran {

class QtReporter final : public MessageReporter {
 public:
  explicit QtReporter(const MessageLibrary& library) : library_(library) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void Report(MessageKind kind, int number, std::string_view text) override;

 private:
  const MessageLibrary& library_;
  QPointer<QWidget> parent_;
};

class QtAsker final : public QuestionAsker {
 public:
  explicit QtAsker(const MessageLibrary& library) : library_(library) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  Answer Ask(int number, std::string_view text, QuestionButtons buttons) override;

 private:
  const MessageLibrary& library_;
  QPointer<QWidget> parent_;
};

}  // namespace tessaran
