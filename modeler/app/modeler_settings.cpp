#include "modeler/app/modeler_settings.h"

#include <algorithm>

#include "platform/dynlib.h"
#include "platform/profile.h"

namespace tessaran {
namespace {

constexpr const char* kIni = "TESSARAN.INI";
constexpr const char* kSection = "Q1_ENV";

}  // namespace

ModelerSettings ReadModelerSettings() {
  ModelerSettings s;
  s.mainWindow = GetProfileRectangle(kSection, "MainWindow", kIni);
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
  bool ok = WriteProfileRectangle(kSection, "MainWindow", s.mainWindow, kIni);
  ok = WriteProfileString(kSection, "NbWin", std::to_string(s.views), kIni) && ok;
  ok = WriteProfileString("TESSARAN", "LANGUE", languageCode == "ENG" ? "ENG" : "FRA", kIni) && ok;
  return ok;
}

}  // namespace tessaran
