#include "player/link_server.h"

#include "link/advise.h"
#include "link/program_client.h"
#include "platform/console.h"

namespace tessaran::player {

bool PlayerServer::Connect(link::ConversationId id, const std::string& topic) {
  Trace("XTYP_CONNECT topic :%s ", topic.c_str());
  conversations_[id] = 0;
  return true;
}

void PlayerServer::Disconnected(link::ConversationId id) {
  Trace("XTYP_DISCONNECT\n");
  conversations_.erase(id);
}

void PlayerServer::Registered() const { Trace("XTYP_REGISTER\n"); }

std::uint32_t PlayerServer::UserValue(link::ConversationId id) const {
  auto it = conversations_.find(id);
  return it == conversations_.end() ? 0 : it->second;
}

link::Reply PlayerServer::Transaction(link::ConversationId id, const link::Frame& frame) {
  Trace("Topic :%s Item :%s item :%s\n", link::kPlayerService, frame.item.c_str(), frame.item.c_str());
  if (frame.kind == link::FrameKind::Execute) return Execute(frame);
  return link::AnswerAdvise(frame, link::kPlayerService, conversations_[id]);
}

link::Reply PlayerServer::Execute(const link::Frame& frame) {
  std::string command, argument;
  executeText_.Split(frame.data, command, argument);
  if (command == "SLIDE") {
    window_.StartSlideShow(argument);
  } else if (command == "VIEW") {
    window_.ShowImage(argument);
  } else if (command == "ANIM") {
    if (window_.Playing()) {
      window_.SetStopRequest();
      Trace("Tentative d'interruption PlayAnim RETOUR BUSY\n");
      return {link::ReplyStatus::Busy, {}};
    }
    Trace("PostMessage WM_PLAYANIM\n");
    window_.PostPlayAnim(argument);
  } else if (command == "QUIT") {
    window_.PostClose();
  } else if (command == "SHOW") {
    window_.ShowNormal();
  }
  // Unknown commands are acknowledged and ignored.
  return {link::ReplyStatus::Ack, {}};
}

}  // namespace tessaran::player
