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

// The menus and dialog texts of a library, each a named table of numbered
// texts. `MENUtab` (NbMENU tables) holds the menus, read in order:
// kMenuPopup opens a popup titled by its text (popups nest), kMenuEnd
// closes the innermost one, id 0 without a text is a separator, any other
// id is a command with its label; "&" marks the accelerator letter, as in
// the system's resource menus. `DLGtab` (NbDLG tables) holds the dialogs:
// id 0 is the dialog's title, any other id one control's text.
inline constexpr std::int32_t kMenuPopup = -1;
inline constexpr std::int32_t kMenuEnd = -2;

struct ResourceItem {
  std::int32_t id;
  const char* text;
};

struct ResourceTable {
  const char* name;  // menus "#1", "QMX", "#2"; dialogs by their resource name
  const ResourceItem* items;
  std::int32_t count;
};

}  // namespace tessaran
