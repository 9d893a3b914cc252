// The messages of a program with windows: its message library, and the
// reporter and asker that show the library's messages in boxes, installed
// for as long as this object lives.
#pragma once

#include <QWidget>

#include "messages/message_library.h"
#include "ui/qt_dialogs.h"

namespace tessaran {

class WindowMessages {
 public:
  explicit WindowMessages(MessageProgram program);
  ~WindowMessages();
  WindowMessages(const WindowMessages&) = delete;
  WindowMessages& operator=(const WindowMessages&) = delete;

  // Loads the configured language's library (its failure is shown) and
  // formats the messages with it. False when no library could be loaded.
  bool Load();
  MessageLibrary& Library() { return library_; }
  // The boxes' parent: the main window once it exists.
  void SetParent(QWidget* parent);

 private:
  MessageLibrary library_;
  QtReporter reporter_;
  QtAsker asker_;
};

}  // namespace tessaran
