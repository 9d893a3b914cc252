#include "link/instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/runtime_folder.h"
#include "platform/console.h"

namespace tessaran::link {
namespace {

// How often a waiting call runs the owner's pump.
constexpr int kPumpSliceMilliseconds = 5;

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int NewSocket() { return socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// Connects a non-blocking socket to the path: the socket, or -1 with errno.
int ConnectTo(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = NewSocket();
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

int Milliseconds(std::chrono::steady_clock::duration d) {
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(d).count());
}

void PollOne(int fd, short events, int milliseconds) {
  pollfd p{fd, events, 0};
  poll(&p, 1, std::max(milliseconds, 0));
}

unsigned TimeoutError(FrameKind kind) {
  switch (kind) {
    case FrameKind::Execute: return kErrorExecuteTimeout;
    case FrameKind::Poke: return kErrorPokeTimeout;
    case FrameKind::Request: return kErrorDataTimeout;
    default: return kErrorAdviseTimeout;
  }
}

unsigned StatusError(ReplyStatus status) {
  switch (status) {
    case ReplyStatus::Ack: return kErrorNone;
    case ReplyStatus::Busy: return kErrorBusy;
    default: return kErrorNotProcessed;
  }
}

}  // namespace

std::unique_ptr<Instance> Instance::Initialize(unsigned flags, Callbacks& callbacks, std::string* problem) {
  std::string folder = RuntimeFolder(problem);
  if (folder.empty()) return nullptr;
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
    if (problem) *problem = "the program link cannot watch " + folder + ": " + std::strerror(errno);
    if (watch >= 0) close(watch);
    return nullptr;
  }
  return std::unique_ptr<Instance>(new Instance(flags, callbacks, std::move(folder), watch));
}

Instance::Instance(unsigned flags, Callbacks& callbacks, std::string folder, int inotify)
    : flags_(flags), callbacks_(callbacks), folder_(std::move(folder)), inotify_(inotify) {}

Instance::~Instance() {
  for (auto& [id, conversation] : conversations_) {
    if (!conversation.closed) conversation.channel.Send(Frame{});
  }
  while (!services_.empty()) UnregisterService(services_.begin()->first);
  close(inotify_);
}

bool Instance::RegisterService(const std::string& name, std::string* problem) {
  auto fail = [&](const std::string& why) {
    if (problem) *problem = "the service " + name + " cannot be registered: " + why;
    return false;
  };
  if (flags_ & kClientOnly) return fail("this program is a client only");
  if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos) return fail("not a service name");
  if (services_.count(name)) return fail("it is registered already");
  const std::string path = folder_ + "/" + name;
  // Bound and listening under a private name first, then linked in place,
  // so that a client never finds a socket that does not accept yet and two
  // servers starting together cannot both take the name.
  const std::string temporary =
      folder_ + "/." + name + "." + std::to_string(getpid()) + "." + std::to_string(++lastId_);
  sockaddr_un address;
  if (!FillAddress(temporary, address)) return fail("the folder's path is too long");
  const int fd = NewSocket();
  if (fd < 0) return fail(std::strerror(errno));
  unlink(temporary.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, SOMAXCONN) != 0) {
    const std::string why = std::strerror(errno);
    close(fd);
    unlink(temporary.c_str());
    return fail(why);
  }
  bool linked = ::link(temporary.c_str(), path.c_str()) == 0;
  int error = linked ? 0 : errno;
  if (error == EEXIST) {
    const int probe = ConnectTo(path);
    if (probe >= 0) {
      close(probe);
    } else if (errno == ECONNREFUSED) {
      // Nobody listens behind it: a server died without removing it.
      Trace("LINK socket %s of a dead server removed\n", path.c_str());
      unlink(path.c_str());
      linked = ::link(temporary.c_str(), path.c_str()) == 0;
      error = linked ? 0 : errno;
    }
  }
  const std::string why = linked ? std::string() : error == EEXIST ? "another server runs" : std::strerror(error);
  unlink(temporary.c_str());
  struct stat info {};
  if (!linked || stat(path.c_str(), &info) != 0) {
    close(fd);
    return fail(why);
  }
  services_[name] = Service{path, fd, static_cast<unsigned long>(info.st_ino)};
  return true;
}

void Instance::UnregisterService(const std::string& name) {
  auto it = services_.find(name);
  if (it == services_.end()) return;
  // The name is removed only while it is still this server's socket.
  struct stat info {};
  if (stat(it->second.path.c_str(), &info) == 0 && info.st_ino == it->second.inode) unlink(it->second.path.c_str());
  close(it->second.fd);
  services_.erase(it);
}

ConversationId Instance::Connect(const std::string& service, const std::string& topic, int timeoutMs,
                                 const Pump& pump, bool* refused) {
  if (refused) *refused = false;
  if ((flags_ & kFailSelfConnections) && services_.count(service)) return 0;
  if (service.empty() || service.find('/') != std::string::npos) return 0;
  const int fd = ConnectTo(folder_ + "/" + service);
  if (fd < 0) return 0;
  Conversation conversation{0, Channel(fd), {}, 0, false};
  Frame hello;
  hello.kind = FrameKind::Connect;
  hello.topic = topic;
  Frame reply;
  if (!conversation.channel.Send(hello) ||
      !AwaitReply(conversation, Clock::now() + std::chrono::milliseconds(timeoutMs), pump, reply) ||
      reply.status != ReplyStatus::Ack) {
    if (refused) *refused = reply.status == ReplyStatus::Refused;
    return 0;
  }
  const ConversationId id = ++lastId_;
  conversation.id = id;
  conversations_.emplace(id, std::move(conversation));
  return id;
}

bool Instance::Connected(ConversationId id) const {
  auto it = conversations_.find(id);
  return it != conversations_.end() && !it->second.closed;
}

void Instance::Disconnect(ConversationId id) {
  if (auto it = conversations_.find(id); it != conversations_.end()) {
    if (!it->second.closed) it->second.channel.Send(Frame{});
    conversations_.erase(it);
  } else if (auto peer = peers_.find(id); peer != peers_.end()) {
    // From inside Transaction(): ServePeer sends the reply, then closes.
    peer->second.closing = true;
    if (!dispatching_) {
      peer->second.channel.Send(Frame{});
      peers_.erase(peer);
    }
  }
}

bool Instance::AwaitReply(Conversation& c, Clock::time_point deadline, const Pump& pump, Frame& reply,
                          ConversationId id) {
  for (;;) {
    if (!c.replies.empty()) {
      reply = std::move(c.replies.front());
      c.replies.pop_front();
      return true;
    }
    if (c.closed || !ReadConversation(c)) {
      Ended(c);
      if (!c.replies.empty()) continue;
      return false;
    }
    if (!c.replies.empty()) continue;
    const int left = Milliseconds(deadline - Clock::now());
    if (left <= 0) return false;
    PollOne(c.channel.Fd(), c.channel.WantsWrite() ? POLLIN | POLLOUT : POLLIN,
            std::min(left, kPumpSliceMilliseconds));
    if (!c.channel.Flush()) Ended(c);
    if (pump) pump();
    // The pump dispatches: a disconnect notice may have ended and removed
    // this conversation, and `c` with it.
    if (id != 0 && conversations_.find(id) == conversations_.end()) return false;
  }
}

TransactionResult Instance::Transact(ConversationId id, const Frame& frame, int timeoutMs, const Pump& pump) {
  TransactionResult result;
  auto it = conversations_.find(id);
  const bool transaction = frame.kind >= FrameKind::Execute && frame.kind <= FrameKind::AdvData;
  if (!transaction) {
    result.error = kErrorInvalidParameter;
    return result;
  }
  if (it == conversations_.end() || it->second.closed) {
    result.error = kErrorNoConversation;
    return result;
  }
  Conversation& c = it->second;
  if (!c.channel.Send(frame)) {
    Ended(c);
    result.error = kErrorServerDied;
    return result;
  }
  Frame reply;
  if (!AwaitReply(c, Clock::now() + std::chrono::milliseconds(timeoutMs), pump, reply, id)) {
    // The conversation may have been ended by the pump (a disconnect).
    auto again = conversations_.find(id);
    if (again == conversations_.end() || again->second.closed) {
      result.error = kErrorServerDied;
    } else {
      ++again->second.lateReplies;
      result.error = TimeoutError(frame.kind);
    }
    return result;
  }
  result.error = StatusError(reply.status);
  result.data = std::move(reply.data);
  return result;
}

void Instance::Wait(int milliseconds, const Pump& pump, const std::function<bool()>& done) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (int left = milliseconds; left > 0; left = Milliseconds(deadline - Clock::now())) {
    std::vector<Watch> watches = Descriptors();
    std::vector<pollfd> fds;
    for (const Watch& w : watches) fds.push_back({w.fd, static_cast<short>(w.write ? POLLIN | POLLOUT : POLLIN), 0});
    poll(fds.data(), fds.size(), std::min(left, kPumpSliceMilliseconds));
    if (pump) pump();
    if (done && done()) return;
  }
}

std::vector<Watch> Instance::Descriptors() const {
  std::vector<Watch> watches{{inotify_, false}};
  for (const auto& [name, service] : services_) watches.push_back({service.fd, false});
  for (const auto& [id, peer] : peers_) watches.push_back({peer.channel.Fd(), peer.channel.WantsWrite()});
  for (const auto& [id, c] : conversations_) {
    if (!c.closed) watches.push_back({c.channel.Fd(), c.channel.WantsWrite()});
  }
  return watches;
}

void Instance::PollAndDispatch(int milliseconds) {
  std::vector<pollfd> fds;
  for (const Watch& w : Descriptors()) fds.push_back({w.fd, static_cast<short>(w.write ? POLLIN | POLLOUT : POLLIN), 0});
  poll(fds.data(), fds.size(), milliseconds);
  Dispatch();
}

void Instance::Dispatch() {
  // Callbacks may wait and pump; the pump's own dispatch then does nothing.
  if (dispatching_) return;
  dispatching_ = true;
  ReadRegistrations();
  std::vector<std::pair<std::string, int>> listening;
  for (const auto& [name, service] : services_) listening.emplace_back(name, service.fd);
  for (const auto& [name, fd] : listening) AcceptClients(name, fd);
  ServePeers();
  ReadConversations();
  DeliverNotices();
  dispatching_ = false;
}

void Instance::ReadRegistrations() {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = read(inotify_, buffer, sizeof buffer);
    if (n <= 0) return;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      // Names starting with a dot are servers' private names.
      if (event->len > 0 && event->name[0] != '.') notices_.push_back({true, event->name, 0});
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

void Instance::AcceptClients(const std::string& name, int listenFd) {
  for (;;) {
    const int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    peers_.emplace(++lastId_, Peer{Channel(fd), name, false, false, Clock::now()});
  }
}

void Instance::ServePeers() {
  const Clock::time_point now = Clock::now();
  for (auto it = peers_.begin(); it != peers_.end();) {
    Peer& peer = it->second;
    const bool silent = !peer.connected && now - peer.since > std::chrono::milliseconds(kHandshakeMilliseconds);
    const bool keep = !silent && ServePeer(it->first, peer);
    if (keep) {
      ++it;
      continue;
    }
    if (silent) Trace("LINK client %u dropped: no CONNECT\n", it->first);
    // A peer that had a conversation is gone: the owner is told.
    if (peer.connected && !peer.closing) notices_.push_back({false, {}, it->first});
    it = peers_.erase(it);
  }
}

bool Instance::ServePeer(ConversationId id, Peer& peer) {
  const bool open = peer.channel.ReadAvailable();
  Frame frame;
  FrameReader::Result result;
  while (!peer.closing && (result = peer.channel.Next(frame)) == FrameReader::Result::Frame) {
    if (frame.kind == FrameKind::Disconnect) return false;
    const bool handshake = frame.kind == FrameKind::Connect;
    if (handshake == peer.connected || frame.kind == FrameKind::Reply) {
      Trace("LINK client %u dropped: frame %d out of place\n", id, static_cast<int>(frame.kind));
      return false;
    }
    Reply reply = Answer(id, peer, frame);
    Frame out;
    out.kind = FrameKind::Reply;
    out.status = reply.status;
    out.data = std::move(reply.data);
    if (!peer.channel.Send(out)) return false;
    if (handshake && reply.status != ReplyStatus::Ack) return false;
    peer.connected = true;
  }
  if (peer.closing) {
    peer.channel.Send(Frame{});
    return false;
  }
  if (result == FrameReader::Result::Malformed) {
    Trace("LINK client %u dropped: malformed frame\n", id);
    return false;
  }
  return open && peer.channel.Flush();
}

Reply Instance::Answer(ConversationId id, Peer& peer, const Frame& frame) {
  if (frame.kind == FrameKind::Connect) {
    const bool accepted = callbacks_.Connect(id, peer.service, frame.topic);
    return {accepted ? ReplyStatus::Ack : ReplyStatus::Refused, {}};
  }
  if (frame.kind == FrameKind::Poke && (flags_ & kFailPokes)) return {};
  return callbacks_.Transaction(id, frame);
}

bool Instance::ReadConversation(Conversation& c) {
  const bool open = c.channel.ReadAvailable();
  Frame frame;
  FrameReader::Result result;
  while ((result = c.channel.Next(frame)) == FrameReader::Result::Frame) {
    if (frame.kind != FrameKind::Reply) return false;  // DISCONNECT, or a frame no server sends
    if (c.lateReplies > 0) {
      --c.lateReplies;
    } else {
      c.replies.push_back(std::move(frame));
    }
  }
  return open && result != FrameReader::Result::Malformed;
}

void Instance::ReadConversations() {
  for (auto& [id, c] : conversations_) {
    if (!c.closed && !ReadConversation(c)) Ended(c);
  }
}

void Instance::Ended(Conversation& c) {
  if (c.closed) return;
  c.closed = true;
  if (c.id != 0) notices_.push_back({false, {}, c.id});
}

void Instance::DeliverNotices() {
  while (!notices_.empty()) {
    Notice notice = std::move(notices_.front());
    notices_.pop_front();
    if (notice.registered) {
      callbacks_.Registered(notice.service);
    } else {
      callbacks_.Disconnected(notice.id);
      // A client conversation that ended is forgotten once its owner knows.
      if (auto it = conversations_.find(notice.id); it != conversations_.end() && it->second.closed) {
        conversations_.erase(it);
      }
    }
  }
}

}  // namespace tessaran::link
