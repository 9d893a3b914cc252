#include "modeler/app/modeler_settings.h"

#include <algorithm>
#include <cstdio>

#include "platform/dynlib.h"
#include "platform/profile.h"

namespace tessaran {
namespace {

constexpr const char* kIni = "TESSARAN.INI";
constexpr const char* kSection = "Q1_ENV";

}  // namespace

ModelerSettings ReadModelerSettings() {
  ModelerSettings s;
  const std::string rect = GetProfileString(kSection, "MainWindow", "0 0 0 0", kIni);
  std::array<int, 4> r{};
  if (std::sscanf(rect.c_str(), "%d %d %d %d", &r[0], &r[1], &r[2], &r[3]) == 4) s.mainWindow = r;
  // More views than the frame holds are not opened; a negative count is
  // taken as the default.
  const int views = GetProfileInt(kSection, "NbWin", 1, kIni);
  s.views = views < 0 ? 1 : std::min(views, kMaxViews);
  s.previewBmp = GetProfileInt(kSection, "PREVIEW_BMP", 0, kIni) != 0;
  const std::string data = GetProfileString("TESSARAN", "CHEMIN_DATA", "\\", kIni);
  s.dataDirectory = data.empty() || data == "\\" ? ProgramDirectory() : std::filesystem::path(data);
  return s;
}

bool WriteModelerSettings(const ModelerSettings& s, const std::string& languageCode) {
  char rect[64];
  std::snprintf(rect, sizeof rect, "%d %d %d %d", s.mainWindow[0], s.mainWindow[1], s.mainWindow[2],
                s.mainWindow[3]);
  bool ok = WriteProfileString(kSection, "MainWindow", rect, kIni);
  ok = WriteProfileString(kSection, "NbWin", std::to_string(s.views), kIni) && ok;
  ok = WriteProfileString("TESSARAN", "LANGUE", languageCode == "ENG" ? "ENG" : "FRA", kIni) && ok;
  return ok;
}

}  // namespace tessaran
