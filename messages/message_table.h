// What the message libraries and the programs' own formatter agree on: the
// size of each program's table, the room a formatted message may take, and
// the text that stands for a message the table does not hold.
#pragma once

#include <cstdint>

namespace tessaran {

// Modeler libraries (QMXAN, QMXFR): messages 0-95, formatted into 500 chars.
inline constexpr int kModelerMessageCount = 96;
inline constexpr int kModelerMessageSize = 500;

// Renderer libraries (RZLNG...) and the player's (TXLNG...), whose numbering
// follows the renderer's: messages 0-325, formatted into 1024 chars.
inline constexpr int kRendererMessageCount = 326;
inline constexpr int kRendererMessageSize = 1024;

inline constexpr char kMessageNotFound[] = "FormatMessage ne trouve pas le texte dans la ressource";

// Menus of a library, exported as `MENUtab` (NbMENU entries), each a flat
// list read in order: kMenuPopup opens a popup titled by its label (popups
// nest), kMenuEnd closes the innermost one, id 0 without a label is a
// separator, any other id is a command with its label. "&" marks the
// accelerator letter, as in the system's resource menus.
inline constexpr std::int32_t kMenuPopup = -1;
inline constexpr std::int32_t kMenuEnd = -2;

struct MenuEntry {
  std::int32_t id;
  const char* label;
};

struct MenuResource {
  const char* name;  // "#1", "QMX", "#2"
  const MenuEntry* entries;
  std::int32_t count;
};

}  // namespace tessaran
