#include "player/player_settings.h"


#include "platform/profile.h"

namespace tessaran::player {
namespace {

constexpr const char* kIni = "TESSARAN.INI";
constexpr const char* kSection = "TOVIX_ENV";

}  // namespace

PlayerSettings ReadPlayerSettings() {
  PlayerSettings s;
  s.mainWindow = GetProfileRectangle(kSection, "MainWindow", kIni);
  s.dither256 = GetProfileInt(kSection, "DITHER256", 0, kIni) != 0;
  s.redimWindow = GetProfileInt(kSection, "REDIM_WINDOW", 1, kIni) != 0;
  s.previewBmp = GetProfileInt(kSection, "PREVIEW_BMP", 0, kIni) != 0;
  s.directFromDisk = GetProfileInt(kSection, "DIRECT_FROM_DISK", 0, kIni) != 0;
  return s;
}

bool WritePlayerSettings(const PlayerSettings& s, const std::string& languageCode) {
  auto flag = [](bool on) { return on ? "1" : "0"; };
  bool ok = WriteProfileRectangle(kSection, "MainWindow", s.mainWindow, kIni);
  ok = WriteProfileString(kSection, "DITHER256", flag(s.dither256), kIni) && ok;
  ok = WriteProfileString(kSection, "REDIM_WINDOW", flag(s.redimWindow), kIni) && ok;
  ok = WriteProfileString(kSection, "PREVIEW_BMP", flag(s.previewBmp), kIni) && ok;
  ok = WriteProfileString("TESSARAN", "LANGUE", languageCode == "ENG" ? "ENG" : "FRA", kIni) && ok;
  return ok;
}

}  // namespace tessaran::player
