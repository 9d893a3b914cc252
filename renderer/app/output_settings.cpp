#include "renderer/app/output_settings.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <strings.h>

#include "platform/report.h"
#include "renderer/engine/scene_loop.h"

namespace tessaran {
namespace {

constexpr std::array<OutputFormat, kFormat24Count> kFormats24{{
    {"TGA brut [type 2]", "TGA", ".TGA"},
    {"TGA compressé [type 10]", "TGA10", ".TGA"},
    {"IFF (.i24)", "I24", ".I24"},
    {"BRUT (.RED.GRN.BLU)", "RGB", ".RED"},
    {"PCX (.PCX)", "PCX24", ".PCX"},
    {"BMP (.BMP)", "BMP24", ".BMP"},
}};
constexpr std::array<OutputFormat, kFormat8Count> kFormats8{{
    {"IFF (.LBM)", "LBM", ".LBM"},
    {"PCX (.PCX)", "PCX", ".PCX"},
    {"BMP (.BMP)", "BMP", ".BMP"},
}};
constexpr std::array<OutputFormat, kAnimFormatCount> kAnimFormats{{
    {"ANIM (.ANM)", "ANM", ".ANM"},
    {"Video For Windows (.AVI)", "AVI", ".AVI"},
}};

template <std::size_t N>
const OutputFormat& Entry(const std::array<OutputFormat, N>& list, int index) {
  return list[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(N) - 1))];
}

template <std::size_t N>
int IndexOf(const std::array<OutputFormat, N>& list, std::string_view keyword) {
  for (std::size_t i = 0; i < N; ++i) {
    const auto& k = list[i].keyword;
    if (k.size() == keyword.size() && strncasecmp(k.data(), keyword.data(), k.size()) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace

ResolutionPresets::ResolutionPresets()
    : presets_{{{320, 200, 120, "MCGA"},
                {640, 480, 100, "VGA"},
                {800, 600, 100, "SVGA"},
                {1024, 768, 100, "SVGA"},
                {1280, 1024, 100, "SVGA"},
                {1024, 683, 100, "Dia. 24x36"},
                {2048, 1366, 100, "Dia. 24x36"},
                {4096, 2730, 100, "Dia. 24x36"},
                {100, 100, 100, "CUSTOM"}}} {}

std::string ResolutionPresets::Line(int index) const {
  const ResolutionPreset& p = presets_[index];
  char line[80];
  std::snprintf(line, sizeof line, "%d * %d ratio %d%% (%s)", p.width, p.height, p.ratio, p.label.c_str());
  return line;
}

void ResolutionPresets::Choose(int index, RenderProject& copy) {
  selected_ = index;
  const ResolutionPreset& p = presets_[index];
  copy.width = static_cast<std::int16_t>(p.width);
  copy.height = static_cast<std::int16_t>(p.height);
  copy.pixelRatio = static_cast<std::int16_t>(p.ratio * 10);
}

void ResolutionPresets::TypeWidth(int width) {
  presets_[kCustomPreset].width = width;
  selected_ = kCustomPreset;
}

void ResolutionPresets::TypeHeight(int height) {
  presets_[kCustomPreset].height = height;
  selected_ = kCustomPreset;
}

void ResolutionPresets::TypeRatio(int ratio) {
  presets_[kCustomPreset].ratio = ratio;
  selected_ = kCustomPreset;
}

const OutputFormat& Format24(int index) { return Entry(kFormats24, index); }
const OutputFormat& Format8(int index) { return Entry(kFormats8, index); }
const OutputFormat& AnimFormat(int index) { return Entry(kAnimFormats, index); }
int Format24Index(std::string_view keyword) { return IndexOf(kFormats24, keyword); }
int Format8Index(std::string_view keyword) { return IndexOf(kFormats8, keyword); }
int AnimFormatIndex(std::string_view keyword) { return IndexOf(kAnimFormats, keyword); }

std::string Format24Text(int index) {
  if (index == 1) return MessageText(kMsgTgaCompressed);
  return std::string(Format24(index).text);
}

std::filesystem::path AnimationName(const RenderProject& project) {
  const std::string scene = NativePath(project.SceneName());
  if (scene.empty()) return {};
  return std::filesystem::path(scene).replace_extension(AnimFormat(project.animFormat).extension);
}

FormatChoices OpenFormatDialog(RenderProject& copy, int depth) {
  FormatChoices choices;
  if (depth > 8) {
    choices.screenImages = false;
    copy.SetOutput(kOutScreenImages, false);
  } else if (copy.mode == kWireframe || copy.mode == kPolygon) {
    choices.trueColour = false;
    copy.SetOutput(kOut24BitImages, false);
  }
  return choices;
}

void CloseFormatDialog(RenderProject& copy) {
  copy.SetOutput(kOutImages, copy.Output(kOutScreenImages) || copy.Output(kOut24BitImages));
}

bool ChooseRenderMode(RenderProject& copy, int mode, int depth) {
  copy.mode = static_cast<std::int16_t>(mode);
  if ((mode != kWireframe && mode != kPolygon) || depth > 8 || !copy.Output(kOut24BitImages)) {
    return false;
  }
  copy.SetOutput(kOut24BitImages, false);
  if (!copy.Output(kOutScreenImages)) copy.SetOutput(kOutImages, false);
  return true;
}

int IntervalCount(const RenderProject& project) {
  if (project.sceneCount <= 0) return 0;
  return project.Output(kOutLoop) ? project.sceneCount : project.sceneCount - 1;
}

long TotalImages(const RenderProject& project) {
  // The frames the scene loop will really run, so that the dialog, the time
  // estimate and the render agree.
  const std::vector<int> frames =
      FramesOfFile(project.imageCounts, project.sceneCount, project.Output(kOutLoop));
  const long total = std::accumulate(frames.begin(), frames.end(), 0L);
  return std::max(total, 1L);
}

void SetSceneCount(RenderProject& project, int sceneCount, int defaultCount) {
  project.sceneCount = std::max(sceneCount, 0);
  project.imageCounts.resize(static_cast<std::size_t>(project.sceneCount), defaultCount);
}

}  // namespace tessaran
