#include "player/player_settings.h"

#include <cstdio>

#include "platform/profile.h"

namespace tessaran::player {
namespace {

constexpr const char* kIni = "TESSARAN.INI";
constexpr const char* kSection = "TOVIX_ENV";

}  // namespace

PlayerSettings ReadPlayerSettings() {
  PlayerSettings s;
  const std::string rect = GetProfileString(kSection, "MainWindow", "0 0 0 0", kIni);
  std::array<int, 4> r{};
  if (std::sscanf(rect.c_str(), "%d %d %d %d", &r[0], &r[1], &r[2], &r[3]) == 4) s.mainWindow = r;
  s.dither256 = GetProfileInt(kSection, "DITHER256", 0, kIni) != 0;
  s.redimWindow = GetProfileInt(kSection, "REDIM_WINDOW", 1, kIni) != 0;
  s.previewBmp = GetProfileInt(kSection, "PREVIEW_BMP", 0, kIni) != 0;
  s.directFromDisk = GetProfileInt(kSection, "DIRECT_FROM_DISK", 0, kIni) != 0;
  return s;
}

bool WritePlayerSettings(const PlayerSettings& s, const std::string& languageCode) {
  char rect[64];
  std::snprintf(rect, sizeof rect, "%d %d %d %d", s.mainWindow[0], s.mainWindow[1], s.mainWindow[2],
                s.mainWindow[3]);
  auto flag = [](bool on) { return on ? "1" : "0"; };
  bool ok = WriteProfileString(kSection, "MainWindow", rect, kIni);
  ok = WriteProfileString(kSection, "DITHER256", flag(s.dither256), kIni) && ok;
  ok = WriteProfileString(kSection, "REDIM_WINDOW", flag(s.redimWindow), kIni) && ok;
  ok = WriteProfileString(kSection, "PREVIEW_BMP", flag(s.previewBmp), kIni) && ok;
  ok = WriteProfileString("TESSARAN", "LANGUE", languageCode == "ENG" ? "ENG" : "FRA", kIni) && ok;
  return ok;
}

}  // namespace tessaran::player
