// The modeler's side of the program link in its windows: the client of the
// renderer and the player, dispatched from the event loop. It asks the
// renderer to render a saved scene ("RENDER"), to come forward ("SHOW") or
// to preview a material on its sphere (a poke), the player to come forward, and on closing sends "QUIT" to each program
// it started.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/instance.h"
#include "link/program_client.h"

namespace tessaran {

class LinkWatcher;

class ModelerLink {
 public:
  // Null when the runtime folder cannot be used; the modeler then works
  // without the renderer and the player (the reason is traced).
  static std::unique_ptr<ModelerLink> Start();
  ~ModelerLink();
  ModelerLink(const ModelerLink&) = delete;
  ModelerLink& operator=(const ModelerLink&) = delete;

  // "RENDER" with the scene's path; "SHOW" for an empty path (a model
  // never saved only brings the renderer forward).
  link::SendResult Render(const std::string& scenePath);
  link::SendResult ShowRenderer() { return Render({}); }
  link::SendResult ShowPlayer();
  // The material block poked on "Q1VOIR"; a renderer started for it opens
  // its preview project.
  link::SendResult PreviewMaterial(const std::vector<std::uint8_t>& block);

 private:
  ModelerLink() = default;
  link::SendResult Execute(int slot, const std::string& command, const std::string& argument);

  link::ProgramClient client_ = link::ProgramClient::Modeler();
  link::ClientOnlyCallbacks callbacks_{client_};
  std::unique_ptr<link::Instance> instance_;
  std::unique_ptr<LinkWatcher> watcher_;
};

}  // namespace tessaran
