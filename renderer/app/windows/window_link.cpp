#include "renderer/app/windows/window_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "platform/console.h"
#include "renderer/app/render_poll.h"
#include "renderer/app/show_result.h"
#include "renderer/app/windows/main_window.h"
#include "ui/link_watcher.h"

namespace tessaran {

RendererLink::RendererLink(RendererWindow& window) : window_(window), server_(*this) {}

std::unique_ptr<RendererLink> RendererLink::Start(RendererWindow& window) {
  std::unique_ptr<RendererLink> link(new RendererLink(window));
  std::string problem;
  link->instance_ = link::Instance::Initialize(link::kFailSelfConnections, *link, &problem);
  if (!link->instance_ || !link->instance_->RegisterService(link::kRendererService, &problem)) {
    Trace("DDE: %s\n", problem.c_str());
    return nullptr;
  }
  link->server_.Attach(*link->instance_);
  link->client_.Attach(*link->instance_, LinkWatcher::EventPump());
  link->client_.ConnectRunning();
  link->watcher_ = std::make_unique<LinkWatcher>(*link->instance_);
  RendererLink* self = link.get();
  window.SetShowResult([self](const RendererShell& shell) { self->ShowResult(shell); });
  window.SetRenderEnded([self] { self->server_.ClearRefuseClients(); });
  return link;
}

RendererLink::~RendererLink() {
  window_.SetShowResult({});
  window_.SetRenderEnded({});
  // "QUIT" to a player this renderer started, then every conversation ends.
  client_.Shutdown();
  watcher_.reset();
  instance_->UnregisterService(link::kRendererService);
}

void RendererLink::ShowResult(const RendererShell& shell) {
  const ShowResultCommand show = ShowResultFor(shell.project);
  client_.Execute(link::kPlayerSlot, show.command, show.argument);
  watcher_->Rewatch();
}

bool RendererLink::Connect(link::ConversationId id, const std::string&, const std::string& topic) {
  return server_.Connect(id, topic);
}

link::Reply RendererLink::Transaction(link::ConversationId id, const link::Frame& frame) {
  return server_.Transaction(id, frame);
}

void RendererLink::Registered(const std::string& service) {
  server_.Registered();
  client_.Registered(service);
}

void RendererLink::Disconnected(link::ConversationId id) {
  if (!client_.Disconnected(id)) server_.Disconnected(id);
}

RenderState RendererLink::State() const { return window_.State(); }
bool RendererLink::ProjectDialogOpen() const { return window_.ProjectDialogOpen(); }
bool RendererLink::MaterialRenderRunning() const { return window_.State() == RenderState::Preview; }
void RendererLink::SetAbortRequest() { RequestStop(); }

void RendererLink::EndProjectDialogForScene(const std::string& pendingScene, bool mayLoadDefault) {
  window_.EndProjectDialogForScene(pendingScene, mayLoadDefault);
}

void RendererLink::AttachSceneAndOpenDialog(const std::string& scene) {
  QTimer::singleShot(0, &window_, [this, scene] {
    window_.Attach(scene, true);
    window_.OpenProjectDialog();
  });
}

void RendererLink::ShowOnTop() { window_.ShowOnTop(); }

void RendererLink::PostClose() {
  QTimer::singleShot(0, &window_, [this] { window_.close(); });
}

void RendererLink::DispatchFor(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void RendererLink::StartMaterialPreview(const PreviewMaterial& material, const std::array<PreviewMap, 3>& maps) {
  QTimer::singleShot(0, &window_, [this, material, maps] { window_.MaterialPreview(material, maps); });
}

}  // namespace tessaran
