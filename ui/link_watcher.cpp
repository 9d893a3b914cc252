#include "ui/link_watcher.h"

#include <QCoreApplication>
#include <set>

namespace tessaran {
namespace {

// Dispatches at least this often, so that clients that never finish their
// handshake are dropped and ended conversations are noticed.
constexpr int kDispatchIntervalMs = 250;
// How long one pump step may spend on pending events.
constexpr int kPumpStepMs = 5;

// Notifiers are released later: one may be the sender of the signal being
// handled.
void Release(std::unique_ptr<QSocketNotifier>& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  notifier.release()->deleteLater();
}

}  // namespace

LinkWatcher::LinkWatcher(link::Instance& instance, QObject* parent) : QObject(parent), instance_(instance) {
  connect(&timer_, &QTimer::timeout, this, &LinkWatcher::DispatchNow);
  timer_.start(kDispatchIntervalMs);
  Rewatch();
}

LinkWatcher::~LinkWatcher() {
  for (auto& [fd, n] : notifiers_) {
    Release(n.read);
    Release(n.write);
  }
}

void LinkWatcher::DispatchNow() {
  if (dispatching_) return;
  dispatching_ = true;
  SetEnabled(false);
  instance_.Dispatch();
  dispatching_ = false;
  Rewatch();
}

void LinkWatcher::Rewatch() {
  if (dispatching_) return;
  std::set<int> watched;
  for (const link::Watch& w : instance_.Descriptors()) {
    watched.insert(w.fd);
    Watch(w.fd, w.write);
  }
  for (auto it = notifiers_.begin(); it != notifiers_.end();) {
    if (watched.count(it->first) != 0) {
      ++it;
      continue;
    }
    Release(it->second.read);
    Release(it->second.write);
    it = notifiers_.erase(it);
  }
}

void LinkWatcher::Watch(int fd, bool write) {
  Notifiers& n = notifiers_[fd];
  if (!n.read) {
    n.read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(n.read.get(), &QSocketNotifier::activated, this, &LinkWatcher::DispatchNow);
  }
  n.read->setEnabled(true);
  if (write && !n.write) {
    n.write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(n.write.get(), &QSocketNotifier::activated, this, &LinkWatcher::DispatchNow);
  }
  if (n.write) n.write->setEnabled(write);
}

void LinkWatcher::SetEnabled(bool enabled) {
  for (auto& [fd, n] : notifiers_) {
    if (n.read) n.read->setEnabled(enabled);
    if (n.write) n.write->setEnabled(enabled);
  }
}

link::Pump LinkWatcher::EventPump() {
  return [] { QCoreApplication::processEvents(QEventLoop::AllEvents, kPumpStepMs); };
}

}  // namespace tessaran
