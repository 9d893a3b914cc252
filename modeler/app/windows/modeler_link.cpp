#include "modeler/app/windows/modeler_link.h"

#include "platform/console.h"
#include "ui/link_watcher.h"

namespace tessaran {

std::unique_ptr<ModelerLink> ModelerLink::Start() {
  std::unique_ptr<ModelerLink> link(new ModelerLink);
  std::string problem;
  link->instance_ = link::Instance::Initialize(link::kFailSelfConnections | link::kClientOnly | link::kFailPokes,
                                               link->callbacks_, &problem);
  if (!link->instance_) {
    Trace("InitDDE Erreur\n");
    Trace("DDE: %s\n", problem.c_str());
    return nullptr;
  }
  Trace("InitDDE OK\n");
  link->client_.Attach(*link->instance_, LinkWatcher::EventPump());
  link->client_.ConnectRunning();
  link->watcher_ = std::make_unique<LinkWatcher>(*link->instance_);
  return link;
}

ModelerLink::~ModelerLink() {
  // "QUIT" to the programs this modeler started, then every conversation ends.
  client_.Shutdown();
  watcher_.reset();
}

link::SendResult ModelerLink::Execute(int slot, const std::string& command, const std::string& argument) {
  const link::SendResult result = client_.Execute(slot, command, argument);
  watcher_->Rewatch();
  return result;
}

link::SendResult ModelerLink::Render(const std::string& scenePath) {
  if (scenePath.empty()) return Execute(link::kRendererSlot, "SHOW", "SHOW");
  return Execute(link::kRendererSlot, "RENDER", scenePath);
}

link::SendResult ModelerLink::ShowPlayer() { return Execute(link::kPlayerSlot, "SHOW", "SHOW"); }

link::SendResult ModelerLink::PreviewMaterial(const std::vector<std::uint8_t>& block) {
  const link::SendResult result = client_.Poke(link::kRendererSlot, link::kMaterialItem, block, {"Q1VOIR.SEE"});
  watcher_->Rewatch();
  return result;
}

}  // namespace tessaran
