// The renderer's service "QMXRZ": the executes "RENDER", "SHOW" and "QUIT",
// the material poke on item "Q1VOIR", and the refusal of new clients after
// the user cancelled a request during a render. What a request does to the
// windows goes through RendererWindowActions, which the main window
// implements (and the tests' servers stand in for).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "link/execute_text.h"
#include "link/instance.h"
#include "link/material_block.h"
#include "renderer/app/renderer_shell.h"
#include "renderer/engine/mapping.h"
#include "renderer/engine/scene_loop.h"

namespace tessaran {

// Renderer questions of the server: stop the render for a new scene, or
// for the modeler's material (OK/Cancel).
constexpr int kMsgStopForScene = 29;
constexpr int kMsgStopForMaterial = 42;

class RendererWindowActions {
 public:
  virtual ~RendererWindowActions() = default;
  virtual RenderState State() const = 0;
  virtual bool ProjectDialogOpen() const = 0;
  // A render in material-preview or material-test mode.
  virtual bool MaterialRenderRunning() const = 0;
  virtual void SetAbortRequest() = 0;
  // "RENDER" while the project dialog is open: the dialog ends with code 3
  // and attaches the pending scene.
  virtual void EndProjectDialogForScene(const std::string& pendingScene, bool mayLoadDefault) = 0;
  // "RENDER" otherwise: attach the scene to the project, then open the
  // project dialog.
  virtual void AttachSceneAndOpenDialog(const std::string& scene) = 0;
  // "SHOW": the main window shown normally, the dialog or it on top.
  virtual void ShowOnTop() = 0;
  // "QUIT": a close command posted to the main window.
  virtual void PostClose() = 0;
  // Keeps the program's events running for that long.
  virtual void DispatchFor(int milliseconds) = 0;
  // The poke: an open project dialog closed with code 2, then the material
  // preview posted with this material.
  virtual void StartMaterialPreview(const PreviewMaterial& material, const std::array<PreviewMap, 3>& maps) = 0;
};

// The preview's material and maps from a poked block.
PreviewMaterial PreviewMaterialOf(const link::MaterialBlock& block);
std::array<PreviewMap, 3> PreviewMapsOf(const link::MaterialBlock& block);

class RendererServer {
 public:
  explicit RendererServer(RendererWindowActions& window) : window_(window) {}
  void Attach(link::Instance& instance) { instance_ = &instance; }

  bool Connect(link::ConversationId id, const std::string& topic);
  link::Reply Transaction(link::ConversationId id, const link::Frame& frame);
  void Disconnected(link::ConversationId id);
  void Registered() const;

  // Cleared at the end of each render and preview.
  bool RefuseClients() const { return refuseClients_; }
  void ClearRefuseClients() { refuseClients_ = false; }
  // The last poked block, whole.
  const link::MaterialBlock& Material() const { return material_; }

 private:
  link::Reply Execute(link::ConversationId id, const link::Frame& frame);
  link::Reply Render(link::ConversationId id, const std::string& scene);
  link::Reply Quit();
  link::Reply Poke(link::ConversationId id, const link::Frame& frame);
  // OK stops the render; Cancel refuses clients and ends this conversation.
  void AskToStop(link::ConversationId id, int question);

  RendererWindowActions& window_;
  link::Instance* instance_ = nullptr;
  link::ExecuteText executeText_;
  bool refuseClients_ = false;
  link::MaterialBlock material_;
  std::map<link::ConversationId, std::uint32_t> conversations_;  // and their user values
};

}  // namespace tessaran
