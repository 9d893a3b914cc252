// The progress box "IDD_Info" of the animation operations (create, cut,
// flip): the operation's title, the frame reached and a stop button. It
// stays open beside the window while the work runs on the window's thread.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>

#include "messages/message_library.h"

namespace tessaran::player {

class ProgressBox final : public QDialog {
  Q_OBJECT

 public:
  ProgressBox(const MessageLibrary& library, const QString& title, QWidget* parent);

  void ShowFrame(int done, int total);

 signals:
  void stopAsked();

 private:
  const MessageLibrary& library_;
  QLabel* frame_;
  QProgressBar* bar_;
};

}  // namespace tessaran::player
