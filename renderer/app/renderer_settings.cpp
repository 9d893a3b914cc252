#include "renderer/app/renderer_settings.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/profile.h"

namespace tessaran {
namespace {

int Int(const char* key, int defaultValue) {
  return GetProfileInt(kRendererSection, key, defaultValue, kProfileFile);
}

bool Switch(const char* key, int defaultValue) { return Int(key, defaultValue) != 0; }

std::string Text(const char* section, const char* key, const char* defaultValue, std::size_t limit) {
  std::string value = GetProfileString(section, key, defaultValue, kProfileFile);
  if (value.size() > limit) value.resize(limit);
  return value;
}

std::string RecentKey(std::size_t index) { return "RECENT_RPJ" + std::to_string(index + 1); }

bool WriteRecentProjects(const std::vector<std::string>& list) {
  bool ok = true;
  // Every slot is written, so that a shorter list clears the ones after it.
  for (std::size_t i = 0; i < kRecentProjects; ++i) {
    ok = WriteProfileString(kRendererSection, RecentKey(i), i < list.size() ? list[i] : "", kProfileFile) && ok;
  }
  return ok;
}

}  // namespace

RendererSettings ReadRendererSettings() {
  RendererSettings s;
  s.language = Text(kSharedSection, "LANGUE", "ENG", 19);
  s.programDirectory = Text(kSharedSection, "CHEMIN", "\\", 100);
  s.dataDirectory = Text(kSharedSection, "CHEMIN_DATA", "\\", 100);

  s.mainWindow = GetProfileRectangle(kRendererSection, "MainWindow", kProfileFile);

  s.maxOctreeDepth = std::clamp(Int("MAX_OCTREE_DEPTH", 4), 1, 8);
  s.octreeMaxNodeElem = std::clamp(Int("OCTREE_MAX_NODE_ELEM", 8), 1, 1000);
  s.maxAntialiasDepth = std::clamp(Int("MAX_ANTIALIAS_DEPTH", 3), 2, 5);
  s.redimWindow = Switch("REDIM_WINDOW", 1);
  s.loupeWindow = Switch("LOUPE_WINDOW", 0);
  s.saveOptsOnQuit = Switch("SAVE_OPTS_ON_QUIT", 1);
  s.recapitulatif = Switch("RECAPITULATIF", 1);
  s.testRayTimeCost = Switch("TEST_RAY_TIME_COST", 1);
  s.dither256 = Switch("DITHER256", 0);
  s.previewBmp = Switch("PREVIEW_BMP", 0);
  // The poll divides by it: nothing below 1 makes sense.
  s.scrutePri = std::max(Int("SCRUTE_PRI", 1), 1);
  s.noRefresh = Switch("NO_REFRESH", 0);
  s.lastProject = Text(kRendererSection, "LAST_RPJ", kDefaultLastProject, 255);
  for (std::size_t i = 0; i < kRecentProjects; ++i) {
    std::string path = Text(kRendererSection, RecentKey(i).c_str(), "", 255);
    if (!path.empty() && std::find(s.recentProjects.begin(), s.recentProjects.end(), path) == s.recentProjects.end()) {
      s.recentProjects.push_back(std::move(path));
    }
  }
  return s;
}

bool WriteRendererSettings(const RendererSettings& s, const std::string& projectPath,
                           const std::string& languageCode) {
  auto put = [](const char* section, const char* key, const std::string& value) {
    return WriteProfileString(section, key, value, kProfileFile);
  };
  auto number = [&](const char* key, int value) { return put(kRendererSection, key, std::to_string(value)); };

  std::error_code error;
  const bool projectExists = !projectPath.empty() && std::filesystem::exists(projectPath, error);

  bool ok = WriteProfileRectangle(kRendererSection, "MainWindow", s.mainWindow, kProfileFile);
  ok = number("REDIM_WINDOW", s.redimWindow) && ok;
  ok = number("LOUPE_WINDOW", s.loupeWindow) && ok;
  ok = number("SAVE_OPTS_ON_QUIT", s.saveOptsOnQuit) && ok;
  ok = number("RECAPITULATIF", s.recapitulatif) && ok;
  ok = number("TEST_RAY_TIME_COST", s.testRayTimeCost) && ok;
  ok = number("MAX_OCTREE_DEPTH", s.maxOctreeDepth) && ok;
  ok = number("OCTREE_MAX_NODE_ELEM", s.octreeMaxNodeElem) && ok;
  ok = number("MAX_ANTIALIAS_DEPTH", s.maxAntialiasDepth) && ok;
  ok = number("DITHER256", s.dither256) && ok;
  ok = put(kRendererSection, "LAST_RPJ", projectExists ? projectPath : kDefaultLastProject) && ok;
  ok = put(kRendererSection, "PREVIEW_BMP", s.previewBmp ? "1" : "0") && ok;
  ok = put(kSharedSection, "LANGUE", languageCode == "ENG" ? "ENG" : "FRA") && ok;
  return ok;
}

bool RememberProject(RendererSettings& settings, const std::string& projectPath) {
  std::vector<std::string>& list = settings.recentProjects;
  list.erase(std::remove(list.begin(), list.end(), projectPath), list.end());
  list.insert(list.begin(), projectPath);
  if (list.size() > kRecentProjects) list.resize(kRecentProjects);
  return WriteRecentProjects(list);
}

bool ForgetProject(RendererSettings& settings, const std::string& projectPath) {
  std::vector<std::string>& list = settings.recentProjects;
  list.erase(std::remove(list.begin(), list.end(), projectPath), list.end());
  return WriteRecentProjects(list);
}

}  // namespace tessaran
