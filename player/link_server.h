// The player's service "QMXPlay": the executes "SLIDE", "VIEW", "ANIM",
// "QUIT" and "SHOW". Every conversation is accepted and every unknown
// command acknowledged. What a command does to the windows goes through
// PlayerWindowActions, which the main window implements.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "link/execute_text.h"
#include "link/instance.h"

namespace tessaran::player {

class PlayerWindowActions {
 public:
  virtual ~PlayerWindowActions() = default;
  virtual void StartSlideShow(const std::string& file) = 0;
  virtual void ShowImage(const std::string& file) = 0;
  virtual bool Playing() const = 0;
  virtual void SetStopRequest() = 0;
  // WM_PLAYANIM posted with the file.
  virtual void PostPlayAnim(const std::string& file) = 0;
  virtual void PostClose() = 0;
  virtual void ShowNormal() = 0;
};

class PlayerServer {
 public:
  explicit PlayerServer(PlayerWindowActions& window) : window_(window) {}

  bool Connect(link::ConversationId id, const std::string& topic);
  link::Reply Transaction(link::ConversationId id, const link::Frame& frame);
  void Disconnected(link::ConversationId id);
  void Registered() const;
  // The 4 bytes the conversation's last advise data carried.
  std::uint32_t UserValue(link::ConversationId id) const;

 private:
  link::Reply Execute(const link::Frame& frame);

  PlayerWindowActions& window_;
  link::ExecuteText executeText_;
  std::map<link::ConversationId, std::uint32_t> conversations_;
};

}  // namespace tessaran::player
