// A program's instance of the link, as a DDEML instance: the services it
// registers (one listening socket each in the runtime folder), the
// conversations it holds as a client, and the notifications of services
// that register and of conversations that end. Nothing here starts a
// thread: the owner watches Descriptors() (poll in batch mode, socket
// notifiers in the windows) and calls Dispatch(), and callbacks are only
// ever delivered from inside Dispatch().
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/channel.h"
#include "link/frame.h"

namespace tessaran::link {

// A conversation, as a client or a server sees it; 0 is none.
using ConversationId = std::uint32_t;

// Initialisation filters.
constexpr unsigned kFailSelfConnections = 0x1;  // a client may not reach this instance's own service
constexpr unsigned kClientOnly = 0x2;           // no service may be registered
constexpr unsigned kFailPokes = 0x4;            // pokes are answered "not processed" unseen

// Transaction results: the system's error codes.
constexpr unsigned kErrorNone = 0;
constexpr unsigned kErrorAdviseTimeout = 0x4000;
constexpr unsigned kErrorBusy = 0x4001;
constexpr unsigned kErrorDataTimeout = 0x4002;
constexpr unsigned kErrorExecuteTimeout = 0x4005;
constexpr unsigned kErrorInvalidParameter = 0x4006;
constexpr unsigned kErrorNotProcessed = 0x4009;
constexpr unsigned kErrorNoConversation = 0x400A;
constexpr unsigned kErrorPokeTimeout = 0x400B;
constexpr unsigned kErrorServerDied = 0x400E;

// A client that connected and never sent its CONNECT frame is dropped
// after this long.
constexpr int kHandshakeMilliseconds = 5000;

struct Reply {
  ReplyStatus status = ReplyStatus::NotProcessed;
  std::vector<std::uint8_t> data;
};

struct TransactionResult {
  unsigned error = kErrorNone;
  std::vector<std::uint8_t> data;  // a request's answer
  bool Ok() const { return error == kErrorNone; }
};

// The owner's side of the instance, called only from Dispatch().
class Callbacks {
 public:
  virtual ~Callbacks() = default;
  // A client asks for a conversation with `service` on `topic`.
  virtual bool Connect(ConversationId, const std::string& service, const std::string& topic) = 0;
  // An execute, poke, request or advise frame of a client.
  virtual Reply Transaction(ConversationId, const Frame& frame) = 0;
  // The socket of a service appeared in the runtime folder.
  virtual void Registered(const std::string& service) = 0;
  // The partner of a conversation (client or server side) has gone.
  virtual void Disconnected(ConversationId) = 0;
};

// Keeps the owner's event loop running while a call waits: it should
// dispatch the instance (batch mode: Dispatch(); windows: process events).
using Pump = std::function<void()>;

struct Watch {
  int fd;
  bool write;  // also wait until it can be written
};

class Instance {
 public:
  // Checks the runtime folder and watches it. Null, with the reason in
  // *problem, when the folder cannot be used.
  static std::unique_ptr<Instance> Initialize(unsigned flags, Callbacks& callbacks, std::string* problem);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  const std::string& Folder() const { return folder_; }

  // Listens on <folder>/<service>. A socket left there by a dead server is
  // removed; one a live server answers on is not taken over.
  bool RegisterService(const std::string& service, std::string* problem);
  void UnregisterService(const std::string& service);

  // Opens a conversation with a registered service: 0 when there is none,
  // it refused (*refused set), or it did not answer within `timeoutMs`.
  ConversationId Connect(const std::string& service, const std::string& topic, int timeoutMs = 1000,
                         const Pump& pump = {}, bool* refused = nullptr);
  bool Connected(ConversationId id) const;
  // Sends DISCONNECT and closes; the partner is told, this instance is not.
  // Called on a server conversation from inside Transaction(), the reply is
  // sent first.
  void Disconnect(ConversationId id);

  // A synchronous transaction: sends the frame and waits for its reply up
  // to `timeoutMs`, running `pump` every few milliseconds meanwhile.
  TransactionResult Transact(ConversationId id, const Frame& frame, int timeoutMs, const Pump& pump);

  // Waits `milliseconds` while pumping (the system's waits between
  // retries); when given, `done` ends the wait early once true.
  void Wait(int milliseconds, const Pump& pump, const std::function<bool()>& done = {});

  // The descriptors to watch, and the work to do when one is ready. The
  // owner also dispatches every second or so (a timer), so that clients
  // that never send their CONNECT are dropped.
  std::vector<Watch> Descriptors() const;
  void Dispatch();
  // Batch mode's loop step: waits up to `milliseconds` for a descriptor,
  // then dispatches.
  void PollAndDispatch(int milliseconds);

 private:
  using Clock = std::chrono::steady_clock;
  struct Service {
    std::string path;
    int fd = -1;
    unsigned long inode = 0;
  };
  struct Peer {
    Channel channel;
    std::string service;
    bool connected = false;
    bool closing = false;
    Clock::time_point since;
  };
  struct Conversation {
    ConversationId id;  // 0 while connecting
    Channel channel;
    std::deque<Frame> replies;
    int lateReplies = 0;  // replies of transactions that timed out
    bool closed = false;
  };
  struct Notice {
    bool registered;
    std::string service;
    ConversationId id;
  };

  Instance(unsigned flags, Callbacks& callbacks, std::string folder, int inotify);
  void ReadRegistrations();
  void AcceptClients(const std::string& name, int listenFd);
  // False when the peer is to be dropped.
  bool ServePeer(ConversationId id, Peer& peer);
  Reply Answer(ConversationId id, Peer& peer, const Frame& frame);
  void ServePeers();
  // Reads a client conversation; false once it has ended.
  bool ReadConversation(Conversation& conversation);
  void ReadConversations();
  // Marks the conversation ended; the owner is told at the next dispatch.
  void Ended(Conversation& conversation);
  void DeliverNotices();
  // Waits for the conversation's next reply; false on time-out or end.
  // id: the conversation's, when it is in the table (the pump may remove it); 0 for one being opened.
  bool AwaitReply(Conversation& conversation, Clock::time_point deadline, const Pump& pump, Frame& reply,
                  ConversationId id = 0);

  unsigned flags_;
  Callbacks& callbacks_;
  std::string folder_;
  int inotify_;
  ConversationId lastId_ = 0;
  bool dispatching_ = false;
  std::map<std::string, Service> services_;
  std::map<ConversationId, Peer> peers_;
  std::map<ConversationId, Conversation> conversations_;
  std::deque<Notice> notices_;
};

}  // namespace tessaran::link
