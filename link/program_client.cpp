#include "link/program_client.h"

#include "link/advise.h"
#include "link/execute_text.h"
#include "link/program_start.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran::link {
namespace {

ProgramSlot PlayerSlot() { return {kPlayerService, "TOVIX", "\\TOVIX.EXE"}; }

std::string Text(const std::vector<std::uint8_t>& data) {
  std::string text(data.begin(), data.end());
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

ProgramClient ProgramClient::Modeler() {
  // Modeler messages 41 and 42.
  return ProgramClient({true, 40, 500, 41, 42, true}, {PlayerSlot(), {kRendererService, "RZ", "\\RZ.OVL"}});
}

ProgramClient ProgramClient::Renderer() {
  // Renderer messages 43 and 44.
  return ProgramClient({false, 10, 100, 43, 44, false}, {PlayerSlot()});
}

void ProgramClient::Attach(Instance& instance, Pump pump) {
  instance_ = &instance;
  pump_ = std::move(pump);
}

void ProgramClient::ConnectRunning() {
  for (ProgramSlot& slot : slots_) {
    slot.conversation = instance_->Connect(slot.service, slot.service, kTransactionMilliseconds, pump_);
    const char* name = slot.name.c_str();
    if (slot.conversation != 0) {
      Trace("Conversation établie avec une instance de %s existante \n", name);
    } else if (slot.name == "RZ") {
      Trace("pas d'instance de serveur DDE RZ enregistre on lancera RZ ultérieurement \n");
    } else {
      Trace("pas d'instance de serveur DDE %s enregistre on lancera %s ulterieurement \n", name, name);
    }
  }
}

void ProgramClient::Registered(const std::string& service) {
  for (ProgramSlot& slot : slots_) {
    if (slot.service != service) continue;
    Trace("%s s'enregistre\n", slot.name.c_str());
    if (slot.conversation != 0 && instance_->Connected(slot.conversation)) {
      Trace("Une conversation est deja établie avec une autre instance\n");
      continue;
    }
    Trace("Tentative de connection\n");
    slot.conversation = instance_->Connect(slot.service, slot.service, kTransactionMilliseconds, pump_);
    if (slot.conversation != 0) {
      Trace("OK\n");
    } else {
      Trace("Impossible de se connecter au serveur DDE de %s\n", slot.name.c_str());
    }
  }
}

bool ProgramClient::Disconnected(ConversationId id) {
  for (ProgramSlot& slot : slots_) {
    if (id == 0 || slot.conversation != id) continue;
    slot.conversation = 0;
    slot.startedByMe = false;
    return true;
  }
  return false;
}

SendResult ProgramClient::Ensure(ProgramSlot& slot, const std::vector<std::string>& startArguments) {
  if (slot.conversation != 0 && !instance_->Connected(slot.conversation)) slot.conversation = 0;
  if (slot.conversation != 0) return SendResult::Done;
  if (rules_.connectFirst) {
    bool refused = false;
    slot.conversation = instance_->Connect(slot.service, slot.service, kTransactionMilliseconds, pump_, &refused);
    if (slot.conversation != 0) return SendResult::Done;
    // A running server that refuses is not joined by a second one.
    if (refused) return SendResult::Refused;
  }
  const StartedProgram started = StartProgram(ProgramDirectory(), slot.programFile, startArguments);
  if (!started) {
    ShowMessage(MessageKind::Error, rules_.startFailMessage);
    return SendResult::NotStartable;
  }
  slot.startedByMe = true;
  // A program that has ended will not register: it is not waited for.
  auto settled = [&slot, &started] { return slot.conversation != 0 || started.Ended(); };
  for (int wait = 0; wait < kStartWaits && !settled(); ++wait) instance_->Wait(kStartWaitMilliseconds, pump_, settled);
  if (slot.conversation != 0) return SendResult::Done;
  Trace("Pas de conversation en cours\n");
  return started.Ended() ? SendResult::Ended : SendResult::NoServer;
}

SendResult ProgramClient::SendWithRetries(ProgramSlot& slot, const Frame& frame, int attempts) {
  for (int attempt = 0;; ++attempt) {
    const TransactionResult result = instance_->Transact(slot.conversation, frame, kTransactionMilliseconds, pump_);
    lastError_ = result.error;
    if (result.Ok()) {
      Trace("DDEClientTransaction OK\n");
      return SendResult::Done;
    }
    if (result.error != kErrorBusy) {
      if (rules_.errorCodeInTrace) {
        Trace("DDEClientTransaction FAILED error code (%x)\n", result.error);
      } else {
        Trace("DDEClientTransaction FAILED\n");
      }
      return SendResult::Failed;
    }
    Trace("DDESERVEUR BUSY TRYING TO WAIT FOR IT\n");
    if (attempt + 1 >= attempts) break;
    instance_->Wait(rules_.waitMilliseconds, pump_);
  }
  Trace("SERVER TOO BUSY\n");
  ShowMessage(MessageKind::Error, rules_.busyMessage);
  return SendResult::TooBusy;
}

SendResult ProgramClient::Execute(int index, const std::string& command, const std::string& argument,
                                  const std::vector<std::string>& startArguments) {
  ProgramSlot& slot = slots_[static_cast<std::size_t>(index)];
  if (const SendResult ensured = Ensure(slot, startArguments); ensured != SendResult::Done) return ensured;
  Frame frame;
  frame.kind = FrameKind::Execute;
  frame.data = ExecuteData(command, argument);
  Trace("%s XTYP_EXECUTE (%s)\n", slot.name.c_str(), Text(frame.data).c_str());
  return SendWithRetries(slot, frame, rules_.attempts);
}

SendResult ProgramClient::Poke(int index, const std::string& item, const std::vector<std::uint8_t>& data,
                               const std::vector<std::string>& startArguments) {
  ProgramSlot& slot = slots_[static_cast<std::size_t>(index)];
  const SendResult ensured = Ensure(slot, startArguments);
  if (ensured != SendResult::Done) {
    if (ensured == SendResult::NoServer || ensured == SendResult::Ended) {
      Trace("XTYP_POKE IMPOSSIBLE PAS DE CONVESATION RZ EN COURS\n");
    }
    return ensured;
  }
  Frame frame;
  frame.kind = FrameKind::Poke;
  frame.item = item;
  frame.format = kSuiteFormat;
  frame.data = data;
  const TransactionResult first = instance_->Transact(slot.conversation, frame, kTransactionMilliseconds, pump_);
  lastError_ = first.error;
  SendResult result = first.Ok() ? SendResult::Done : SendResult::Failed;
  if (first.Ok()) {
    Trace("ClientTransaction XTYP_POKE OK\n");
  } else if (first.error == kErrorBusy) {
    // The busy first attempt waits like each of the further ones.
    Trace("DDESERVEUR BUSY TRYING TO WAIT FOR IT\n");
    instance_->Wait(rules_.waitMilliseconds, pump_);
    result = SendWithRetries(slot, frame, rules_.attempts);
  }
  if (result != SendResult::Done) Trace("ClientTransaction XTYP_POKE ERROR\n");
  return result;
}

void ProgramClient::Shutdown(bool quitStarted) {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    ProgramSlot& slot = slots_[i];
    if (slot.conversation == 0) continue;
    if (quitStarted && slot.startedByMe && instance_->Connected(slot.conversation)) {
      Execute(static_cast<int>(i), "QUIT", "QUIT");
    }
    instance_->Disconnect(slot.conversation);
    slot.conversation = 0;
    slot.startedByMe = false;
  }
}

}  // namespace tessaran::link
