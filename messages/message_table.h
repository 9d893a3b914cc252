// What the message libraries and the programs' own formatter agree on: the
// size of each program's table, the room a formatted message may take, and
// the text that stands for a message the table does not hold.
#pragma once

namespace tessaran {

// Modeler libraries (QMXAN, QMXFR): messages 0-95, formatted into 500 chars.
inline constexpr int kModelerMessageCount = 96;
inline constexpr int kModelerMessageSize = 500;

// Renderer libraries (RZLNG...) and the player's (TXLNG...), whose numbering
// follows the renderer's: messages 0-325, formatted into 1024 chars.
inline constexpr int kRendererMessageCount = 326;
inline constexpr int kRendererMessageSize = 1024;

inline constexpr char kMessageNotFound[] = "FormatMessage ne trouve pas le texte dans la ressource";

}  // namespace tessaran
