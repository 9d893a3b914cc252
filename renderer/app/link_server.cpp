#include "renderer/app/link_server.h"

#include "link/advise.h"
#include "link/program_client.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {
namespace {

constexpr std::size_t kPendingSceneSize = 100;
constexpr int kQuitWaitMilliseconds = 250;

const char* const kMapTraces[3] = {"DDE ColorMap :[%s] repX=%d repY=%d\n", "DDE BumpMap :[%s] repX=%d repY=%d\n",
                                   "DDE OpacityMap :[%s] repX=%d repY=%d\n"};

link::Reply Status(link::ReplyStatus status) { return {status, {}}; }

}  // namespace

PreviewMaterial PreviewMaterialOf(const link::MaterialBlock& block) {
  return {block.Reflection(), block.Transmission(), block.Refraction(), block.KSpec(), block.NSpec(), block.Col()};
}

std::array<PreviewMap, 3> PreviewMapsOf(const link::MaterialBlock& block) {
  std::array<PreviewMap, 3> maps;
  for (std::size_t m = 0; m < 3; ++m) maps[m] = {block.maps[m].name, block.maps[m].repetition};
  return maps;
}

bool RendererServer::Connect(link::ConversationId id, const std::string& topic) {
  Trace("XTYP_CONNECT topic :%s ", topic.c_str());
  if (refuseClients_) return false;
  conversations_[id] = 0;
  return true;
}

void RendererServer::Disconnected(link::ConversationId id) {
  Trace("XTYP_DISCONNECT\n");
  conversations_.erase(id);
}

void RendererServer::Registered() const { Trace("XTYP_REGISTER\n"); }

link::Reply RendererServer::Transaction(link::ConversationId id, const link::Frame& frame) {
  Trace("Topic :%s Item :%s", link::kRendererService, frame.item.c_str());
  if (frame.kind == link::FrameKind::Execute) return Execute(id, frame);
  if (frame.kind == link::FrameKind::Poke) return Poke(id, frame);
  return link::AnswerAdvise(frame, link::kRendererService, conversations_[id]);
}

link::Reply RendererServer::Execute(link::ConversationId id, const link::Frame& frame) {
  std::string command, argument;
  executeText_.Split(frame.data, command, argument);
  if (command == "RENDER") return Render(id, argument);
  if (command == "SHOW") {
    window_.ShowOnTop();
    return Status(link::ReplyStatus::Ack);
  }
  if (command == "QUIT") return Quit();
  return Status(link::ReplyStatus::NotProcessed);
}

void RendererServer::AskToStop(link::ConversationId id, int question) {
  if (AskQuestion(QuestionButtons::OkCancel, question) == Answer::Ok) {
    window_.SetAbortRequest();
    return;
  }
  refuseClients_ = true;
  if (instance_) instance_->Disconnect(id);
  Trace("DDeDisconnect Q1 DDERefuseClient activé pour cette cession\n");
}

link::Reply RendererServer::Render(link::ConversationId id, const std::string& scene) {
  if (window_.State() != RenderState::Idle) {
    Trace("RENDERING EN COURS RETURN BUSY \n");
    AskToStop(id, kMsgStopForScene);
    return Status(link::ReplyStatus::Busy);
  }
  if (window_.ProjectDialogOpen()) {
    window_.EndProjectDialogForScene(scene.substr(0, kPendingSceneSize), true);
  } else {
    window_.AttachSceneAndOpenDialog(scene);
  }
  return Status(link::ReplyStatus::Ack);
}

link::Reply RendererServer::Quit() {
  window_.PostClose();
  // A material render ends at its next poll: the close is posted again
  // once it has had the time to stop.
  if (window_.MaterialRenderRunning()) {
    window_.DispatchFor(kQuitWaitMilliseconds);
    window_.PostClose();
  }
  return Status(link::ReplyStatus::Ack);
}

link::Reply RendererServer::Poke(link::ConversationId id, const link::Frame& frame) {
  if (frame.item != link::kMaterialItem || frame.format != link::kSuiteFormat) {
    Trace("INCONNU \n");
    return Status(link::ReplyStatus::NotProcessed);
  }
  Trace("RECONNU \n");
  link::MaterialBlock block;
  // Fewer bytes than the material record carry no material.
  if (!link::ParseMaterialBlock(frame.data, block)) return Status(link::ReplyStatus::NotProcessed);
  material_ = block;
  if (block.hasMaps) {
    for (std::size_t m = 0; m < 3; ++m) {
      const link::MapDescriptor& map = block.maps[m];
      if (!map.name.empty()) Trace(kMapTraces[m], map.name.c_str(), map.RepX(), map.RepY());
    }
  }
  Trace("Reflection=%d Transmission=%d Refraction=%d KSpec=%d NSpec=%d Col=%04x\n", block.Reflection(),
        block.Transmission(), block.Refraction(), block.KSpec(), block.NSpec(), block.Col());
  const RenderState state = window_.State();
  if (state == RenderState::Preview) {
    window_.SetAbortRequest();
    return Status(link::ReplyStatus::Busy);
  }
  if (state == RenderState::Rendering) {
    Trace("RENDERING EN COURS RETURN BUSY \n");
    AskToStop(id, kMsgStopForMaterial);
    return Status(link::ReplyStatus::Busy);
  }
  window_.StartMaterialPreview(PreviewMaterialOf(block), PreviewMapsOf(block));
  return Status(link::ReplyStatus::Ack);
}

}  // namespace tessaran
