// The program link in a program with windows: the instance's descriptors
// watched with socket notifiers, and a timer, so that the instance is
// dispatched from the event loop as batch mode dispatches it from poll.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <memory>

#include "link/instance.h"

namespace tessaran {

class LinkWatcher final : public QObject {
  Q_OBJECT

 public:
  explicit LinkWatcher(link::Instance& instance, QObject* parent = nullptr);
  ~LinkWatcher() override;

  // Dispatches the instance, then watches its descriptors as they are now.
  // The notifiers are off while the callbacks run, so a callback's own
  // event loop (a question to the user) does not spin on unread sockets.
  void DispatchNow();
  // Watches the instance's descriptors as they are now (after a client
  // call opened or closed a conversation).
  void Rewatch();

  // The pump of the instance's waits: the pending events, the notifiers'
  // among them.
  static link::Pump EventPump();

 private:
  struct Notifiers {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
  };
  void Watch(int fd, bool write);
  void SetEnabled(bool enabled);

  link::Instance& instance_;
  std::map<int, Notifiers> notifiers_;
  QTimer timer_;
  bool dispatching_ = false;
};

}  // namespace tessaran
