// The renderer window's side of the program link: the service "QMXRZ"
// served from the event loop, its requests turned into the window's
// commands (posted, so that every reply leaves before the work begins),
// and the client that asks the player to show a result (menu 310).
#pragma once

#include <memory>
#include <string>

#include "link/instance.h"
#include "link/program_client.h"
#include "renderer/app/link_server.h"

namespace tessaran {

class LinkWatcher;
class RendererWindow;
struct RendererShell;

class RendererLink final : public link::Callbacks, public RendererWindowActions {
 public:
  // Registers the service and hooks the window's menu 310 and render ends.
  // Null when the runtime folder cannot be used or another renderer serves
  // there; the window then works without the link (the reason is traced).
  static std::unique_ptr<RendererLink> Start(RendererWindow& window);
  ~RendererLink() override;
  RendererLink(const RendererLink&) = delete;
  RendererLink& operator=(const RendererLink&) = delete;

  // Menu 310: "ANIM", "VIEW" or "SHOW" to the player.
  void ShowResult(const RendererShell& shell);
  const RendererServer& Server() const { return server_; }

  // link::Callbacks
  bool Connect(link::ConversationId id, const std::string& service, const std::string& topic) override;
  link::Reply Transaction(link::ConversationId id, const link::Frame& frame) override;
  void Registered(const std::string& service) override;
  void Disconnected(link::ConversationId id) override;

  // RendererWindowActions
  RenderState State() const override;
  bool ProjectDialogOpen() const override;
  bool MaterialRenderRunning() const override;
  void SetAbortRequest() override;
  void EndProjectDialogForScene(const std::string& pendingScene, bool mayLoadDefault) override;
  void AttachSceneAndOpenDialog(const std::string& scene) override;
  void ShowOnTop() override;
  void PostClose() override;
  void DispatchFor(int milliseconds) override;
  void StartMaterialPreview(const PreviewMaterial& material, const std::array<PreviewMap, 3>& maps) override;

 private:
  explicit RendererLink(RendererWindow& window);

  RendererWindow& window_;
  RendererServer server_;
  link::ProgramClient client_ = link::ProgramClient::Renderer();
  std::unique_ptr<link::Instance> instance_;
  std::unique_ptr<LinkWatcher> watcher_;
};

}  // namespace tessaran
