// The player's settings in "TESSARAN.INI", section "TOVIX_ENV", and the
// language it writes back in section "TESSARAN".
#pragma once

#include <array>
#include <string>

namespace tessaran::player {

struct PlayerSettings {
  std::array<int, 4> mainWindow{};  // right, top, left, bottom; all 0: none saved
  bool dither256 = false;           // dither when reducing to 256 colours
  bool redimWindow = true;          // fit the window to each picture shown
  bool previewBmp = false;          // preview box of the open dialog
  bool directFromDisk = false;      // play frames from the file, not from memory (read only)
};

PlayerSettings ReadPlayerSettings();

// Writes "MainWindow", "DITHER256", "REDIM_WINDOW", "PREVIEW_BMP" and
// "LANGUE" ("ENG" or "FRA"). False when the file could not be written.
bool WritePlayerSettings(const PlayerSettings& settings, const std::string& languageCode);

}  // namespace tessaran::player
