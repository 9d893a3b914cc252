#include "ui/qt_dialogs.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <string>
#include <QString>

#include "platform/console.h"

namespace tessaran {
namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
      return QMessageBox::Critical;
    case MessageKind::Question:
      return QMessageBox::Question;
    case MessageKind::Information:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtReporter::Report(MessageKind kind, int number, std::string_view text) {
  Trace("message %d: %.*s\n", number, static_cast<int>(text.size()), text.data());
  // A worker thread never shows a box: the message waits for the
  // user-interface thread, which dispatches it at its next poll.
  if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this, kind, number, queued = std::string(text)] { Report(kind, number, queued); },
        Qt::QueuedConnection);
    return;
  }
  QMessageBox box(IconOf(kind), Text(library_.Caption(kind)), Text(text), QMessageBox::Ok, parent_);
  box.exec();
}

Answer QtAsker::Ask(int number, std::string_view text, QuestionButtons buttons) {
  Trace("question %d: %.*s\n", number, static_cast<int>(text.size()), text.data());
  QMessageBox::StandardButtons offered = QMessageBox::Yes | QMessageBox::No;
  if (buttons == QuestionButtons::YesNoCancel) offered |= QMessageBox::Cancel;
  if (buttons == QuestionButtons::OkCancel) offered = QMessageBox::Ok | QMessageBox::Cancel;
  QMessageBox box(QMessageBox::Question, Text(library_.Caption(MessageKind::Question)), Text(text), offered,
                  parent_);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Ok:
      return Answer::Ok;
    default:
      return Answer::Cancel;
  }
}

}  // namespace tessaran
