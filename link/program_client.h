// The client side of the suite's programs: the modeler's two slots (player
// and renderer) and the renderer's one (player). Each slot keeps its
// conversation and whether this program started the server; before each
// execute or poke the conversation is ensured (connect, else start the
// program and wait for it to register), and busy servers are retried.
#pragma once

#include <string>
#include <vector>

#include "link/instance.h"

namespace tessaran::link {

struct ProgramSlot {
  std::string service;      // also the topic
  std::string name;         // in traces: "RZ", "TOVIX"
  std::string programFile;  // "\\RZ.OVL", "\\TOVIX.EXE"
  ConversationId conversation = 0;
  bool startedByMe = false;
};

// How a program's client behaves: the modeler's or the renderer's.
struct ClientRules {
  bool connectFirst;      // try to connect before starting the program
  int attempts;           // executes sent to a busy server
  int waitMilliseconds;   // between them
  int startFailMessage;   // the program cannot be started
  int busyMessage;        // the server stays busy
  bool errorCodeInTrace;  // "FAILED error code (%x)" rather than "FAILED"
};

// How an execute or a poke ended.
enum class SendResult {
  Done,
  NotStartable,  // the program could not be started (message shown)
  NoServer,      // started, but it never registered
  Ended,         // started, but it ended before it registered
  Refused,       // the server refuses new conversations
  TooBusy,       // busy beyond the retries (message shown)
  Failed,        // another error: LastError()
};

constexpr int kPlayerSlot = 0;
constexpr int kRendererSlot = 1;
constexpr const char* kRendererService = "QMXRZ";
constexpr const char* kPlayerService = "QMXPlay";
constexpr const char* kMaterialItem = "Q1VOIR";

// Waits for a started program to register: this many times this long.
constexpr int kStartWaits = 40;
constexpr int kStartWaitMilliseconds = 500;
constexpr int kTransactionMilliseconds = 1000;

class ProgramClient {
 public:
  // The modeler's client: slot 0 the player, slot 1 the renderer.
  static ProgramClient Modeler();
  // The renderer's client: slot 0 the player.
  static ProgramClient Renderer();

  // The instance to talk through and the pump that keeps the program's
  // events running while it waits; set before any other call.
  void Attach(Instance& instance, Pump pump);
  // Start-up: connects to every slot's running server, with the traces.
  void ConnectRunning();

  // Registration watch and disconnect notifications, from the program's
  // callbacks. Disconnected is true when the conversation was a slot's.
  void Registered(const std::string& service);
  bool Disconnected(ConversationId id);

  SendResult Execute(int slot, const std::string& command, const std::string& argument,
                     const std::vector<std::string>& startArguments = {});
  SendResult Poke(int slot, const std::string& item, const std::vector<std::uint8_t>& data,
                  const std::vector<std::string>& startArguments);
  unsigned LastError() const { return lastError_; }

  // Closing: "QUIT" to each program this one started (unless
  // `quitStarted` is false: batch clients leave it running), then every
  // conversation ends.
  void Shutdown(bool quitStarted = true);

  const ProgramSlot& Slot(int slot) const { return slots_[static_cast<std::size_t>(slot)]; }

 private:
  ProgramClient(ClientRules rules, std::vector<ProgramSlot> programSlots)
      : rules_(rules), slots_(std::move(programSlots)) {}
  SendResult Ensure(ProgramSlot& slot, const std::vector<std::string>& startArguments);
  // Sends with the busy retries; `attempts` beyond the first.
  SendResult SendWithRetries(ProgramSlot& slot, const Frame& frame, int attempts);

  ClientRules rules_;
  std::vector<ProgramSlot> slots_;
  Instance* instance_ = nullptr;
  Pump pump_;
  unsigned lastError_ = kErrorNone;
};

// The callbacks of a program that is only a client (the batch clients):
// no conversation is accepted, notifications go to the client.
class ClientOnlyCallbacks final : public Callbacks {
 public:
  explicit ClientOnlyCallbacks(ProgramClient& client) : client_(client) {}
  bool Connect(ConversationId, const std::string&, const std::string&) override { return false; }
  Reply Transaction(ConversationId, const Frame&) override { return {}; }
  void Registered(const std::string& service) override { client_.Registered(service); }
  void Disconnected(ConversationId id) override { client_.Disconnected(id); }

 private:
  ProgramClient& client_;
};

}  // namespace tessaran::link
