// The renderer's settings in "TESSARAN.INI": its own section "RZ_ENV" and
// the shared section "TESSARAN", read with their ranges and written back.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tessaran {

constexpr const char* kProfileFile = "TESSARAN.INI";
constexpr const char* kRendererSection = "RZ_ENV";
constexpr const char* kSharedSection = "TESSARAN";
constexpr const char* kDefaultLastProject = "DEFAULT";

struct RendererSettings {
  std::string language = "ENG";            // "LANGUE", up to 19 characters
  std::string programDirectory = "\\";     // "CHEMIN", 100 characters
  std::string dataDirectory = "\\";        // "CHEMIN_DATA", 100 characters
  std::array<int, 4> mainWindow{};         // right, top, left, bottom
  int maxOctreeDepth = 4;                  // 1 … 8
  int octreeMaxNodeElem = 8;               // 1 … 1000
  int maxAntialiasDepth = 3;               // 2 … 5
  bool redimWindow = true;
  bool loupeWindow = false;
  bool saveOptsOnQuit = true;
  bool recapitulatif = true;
  bool testRayTimeCost = true;
  bool dither256 = false;
  bool previewBmp = false;
  int scrutePri = 1;                       // read only; at least 1
  bool noRefresh = false;                  // read only
  std::string lastProject = kDefaultLastProject;  // "LAST_RPJ", 255 characters
  // The last projects opened or saved, newest first: "RECENT_RPJ1" …
  std::vector<std::string> recentProjects;

  bool operator==(const RendererSettings&) const = default;
};

RendererSettings ReadRendererSettings();

// Writes what the renderer writes back (never "SCRUTE_PRI" or "NO_REFRESH"):
// the window rectangle, the switches and limits, "LAST_RPJ" (the project
// path when that file exists, else "DEFAULT"), "PREVIEW_BMP", and "LANGUE"
// from the library in use. False when the file cannot be written.
bool WriteRendererSettings(const RendererSettings& settings, const std::string& projectPath,
                           const std::string& languageCode);

constexpr std::size_t kRecentProjects = 10;

// Puts the project first in the recent list (once), keeps ten, and writes
// the list to the settings at once. False when the file cannot be written.
bool RememberProject(RendererSettings& settings, const std::string& projectPath);
// Takes a project out of the list (it could not be opened) and writes it.
bool ForgetProject(RendererSettings& settings, const std::string& projectPath);

}  // namespace tessaran
