// The modeler's settings in "TESSARAN.INI" besides its views' cameras:
// section "Q1_ENV" ("MainWindow", "NbWin", "PREVIEW_BMP") and the shared
// section's "CHEMIN_DATA" and "LANGUE".
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace tessaran {

// The most views the modeler opens.
inline constexpr int kMaxViews = 6;

struct ModelerSettings {
  std::array<int, 4> mainWindow{};  // right, top, left, bottom; all 0: none saved
  int views = 1;                    // "NbWin", held within 0 … 6
  bool previewBmp = false;
  std::filesystem::path dataDirectory;  // "CHEMIN_DATA"; empty or "\\": the program directory
};

ModelerSettings ReadModelerSettings();

// Writes "MainWindow", "NbWin" and "LANGUE" ("ENG" or "FRA"); false when
// the file could not be written.
bool WriteModelerSettings(const ModelerSettings& settings, const std::string& languageCode);

}  // namespace tessaran
