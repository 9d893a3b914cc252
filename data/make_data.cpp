// make_data: writes the bundled files of the program directory at build
// time, with the modeler's own operations, the renderer's project writer and
// the ILBM writer, so that nothing there is drawn by hand:
//   DEMO.MAQ     the demo scene: a mirror sphere, a clear glass ball with a
//                red glass ball inside it, a checkered ball (DAMIER.LBM), a
//                blue lamp and a white one, and three keyframe scenes that
//                move the camera round them;
//   DAMIER.LBM   the checker the ball wears;
//   DALLES.LBM   the paving tile the demo's ground is mapped with;
//   DEFAUT.RPJ   the default project, which renders DEMO.MAQ over the paved
//                ground plane (y = 0) under a sky gradient;
//   SEE.MAQ      the material preview's scene: one sphere;
//   SEE.RPJ      the material preview's project;
//   SEEGRND.LBM  the ground picture of the material preview.
// usage: make_data DIRECTORY
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include <system_error>

#include "imaging/ilbm.h"
#include "modeler/app/build_ops.h"
#include "renderer/app/render_project.h"
#include "scene/keyframes.h"
#include "scene/scene_model.h"
#include "storage/virtim.h"

namespace fs = std::filesystem;
using namespace tessaran;

namespace {

constexpr const char* kDemoScene = "DEMO.MAQ";
constexpr const char* kDefaultProjectFile = "DEFAUT.RPJ";
constexpr const char* kCheckerImage = "DAMIER";
constexpr const char* kTileImage = "DALLES";
constexpr const char* kPreviewScene = "SEE.MAQ";
constexpr const char* kPreviewProjectFile = "SEE.RPJ";
constexpr const char* kPreviewGroundImage = "SEEGRND";
// Paving tiles of the demo's ground, in scene units.
constexpr int kTileSize = 240;
// The virtual image the pictures are drawn in before they are written.
constexpr int kDrawSlot = 2;

// The camera of each keyframe scene: angle about the vertical and elevation
// (negative: from above). A wider lens than the default view shows the sky
// above the horizon.
constexpr double kCameraTurns[][2] = {{25, -7}, {40, -8}, {55, -9}};
constexpr double kCameraZoom = 1;
constexpr int kCameraPerspective = 1400;
// Images between two keyframe scenes in the default project.
constexpr int kImagesPerInterval = 2;

struct Builder {
  SceneModel& scene;
  BuildError error;
  bool ok = true;

  // Runs one operation unless an earlier one failed.
  template <typename Op>
  Builder& Do(Op op) {
    if (ok) ok = op(scene, error);
    return *this;
  }
};

bool BuildDemo(SceneModel& scene, BuildError& error) {
  Builder b{scene, {}, true};
  using S = SceneModel;
  using E = BuildError;
  // The mirror sphere.
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 24, 16, -1, e); })
      .Do([](S& s, E& e) { return BuildMove(s, -55, 50, 0, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 14, 14, 15, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 85, 0, 0, 80, 70, e); })
      .Do([](S& s, E& e) { return BuildRendering(s, "phong", e); });
  // A clear glass ball in front, with a red glass ball inside it: rays
  // leaving the inner ball go on in the outer one's glass.
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 24, 16, -1, e); })
      .Do([](S& s, E& e) { return BuildSize(s, 80, 80, 80, e); })
      .Do([](S& s, E& e) { return BuildMove(s, 50, 40, 50, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 14, 15, 15, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 8, 90, 20, 90, 80, e); })
      .Do([](S& s, E& e) { return BuildRendering(s, "phong", e); });
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 16, 12, -1, e); })
      .Do([](S& s, E& e) { return BuildSize(s, 40, 40, 40, e); })
      .Do([](S& s, E& e) { return BuildMove(s, 50, 40, 50, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 15, 3, 3, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 0, 75, 45, 90, 80, e); })
      .Do([](S& s, E& e) { return BuildRendering(s, "phong", e); });
  // A checkered ball behind: eight checks round it and four from pole to
  // pole. Its smooth facets carry the grid's parameters for the map.
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 24, 16, -1, e); })
      .Do([](S& s, E& e) { return BuildSize(s, 90, 90, 90, e); })
      .Do([](S& s, E& e) { return BuildMove(s, 55, 45, -75, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 15, 15, 15, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 0, 0, 0, 50, 40, e); })
      .Do([](S& s, E& e) { return BuildMap(s, "colour", std::string(kCheckerImage) + ".LBM", 4, 2, e); })
      .Do([](S& s, E& e) { return BuildRendering(s, "phong", e); });
  // A white key light and a blue fill light.
  LampSettings white;
  white.position = Vec3{250, 400, 250};
  white.intensity = 80;
  LampSettings blue;
  blue.position = Vec3{-350, 200, 150};
  blue.intensity = 45;
  blue.red = 5;
  blue.green = 8;
  blue.blue = 15;
  b.Do([&](S& s, E& e) { return BuildLamp(s, white, e); }).Do([&](S& s, E& e) { return BuildLamp(s, blue, e); });
  error = b.error;
  return b.ok;
}

bool WriteDemoScene(const fs::path& file) {
  SceneModel scene;
  BuildError error;
  if (!BuildDemo(scene, error)) {
    std::fprintf(stderr, "make_data: the demo scene: %s\n", error.text.c_str());
    return false;
  }
  std::error_code ignored;
  fs::remove(file, ignored);
  int count = 0;
  for (const auto& turn : kCameraTurns) {
    const Vec3 target{0, 40, 0};
    if (!BuildCamera(scene, turn[0], turn[1], kCameraZoom, kCameraPerspective, &target, error)) {
      std::fprintf(stderr, "make_data: the demo camera: %s\n", error.text.c_str());
      return false;
    }
    scene.Header().sceneCount = count++;
    if (Keyframes(scene, file).Add() != 1) {
      std::fprintf(stderr, "make_data: cannot write %s\n", file.string().c_str());
      return false;
    }
  }
  return true;
}

// Writes a palette picture (".LBM", with its base name) drawn by `index`
// (x, y → palette entry) with the given palette.
template <typename Draw>
bool WritePicture(const fs::path& base, int size, const std::vector<std::uint32_t>& palette, Draw index) {
  if (VimCreate(kDrawSlot, size, size, 8) != 1) return false;
  VirtIm& im = VimSlot(kDrawSlot);
  for (std::size_t i = 0; i < palette.size(); ++i) im.SetPaletteColour(static_cast<int>(i), palette[i]);
  for (int y = 0; y < size; ++y) {
    std::uint8_t* line = im.Line(static_cast<std::uint32_t>(y));
    for (int x = 0; x < size; ++x) line[x] = static_cast<std::uint8_t>(index(x, y));
  }
  const bool ok = WriteLbm(base.string(), -2, im) == 0;
  VimFree(kDrawSlot);
  if (!ok) std::fprintf(stderr, "make_data: cannot write %s.LBM\n", base.string().c_str());
  return ok;
}

bool WritePictures(const fs::path& directory) {
  // 0x00RRGGBB palette entries.
  // The ball's checker: two squares each way, so that a repeat of 2 gives
  // four checks on the image's width, with a thin dark line between them.
  const bool checker = WritePicture(directory / kCheckerImage, 64, {0x1E6E8C, 0xF2DCA0, 0x123A4A},
                                    [](int x, int y) {
                                      if (x % 32 == 0 || y % 32 == 0) return 2;
                                      return (x / 32 + y / 32) % 2;
                                    });
  // Four paving stones of the ground with their joints, two shades laid
  // crosswise. Plain stones: a speckled one would make the antialiasing
  // refine every pixel of the ground.
  const bool tile = WritePicture(directory / kTileImage, 64, {0xA09280, 0x8E8270, 0x6A6052},
                                 [](int x, int y) {
                                   if (x % 32 == 0 || y % 32 == 0) return 2;
                                   return (x / 32 + y / 32) % 2;
                                 });
  // The preview's ground: a grey checker.
  const bool ground = WritePicture(directory / kPreviewGroundImage, 64, {0x505050, 0xC8C8C8},
                                   [](int x, int y) { return (x / 16 + y / 16) % 2; });
  return checker && tile && ground;
}

// Red in bits 0–7, green in 8–15, blue in 16–23.
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | g << 8 | b << 16; }

bool WriteDefaultProject(const fs::path& file) {
  RenderProject p;
  ResetProject(p);
  // A bare name: the scene beside the project, in the data directory.
  p.SetSceneName(kDemoScene);
  p.mode = kRayTracing;
  p.width = 320;
  p.height = 240;
  p.pixelRatio = 1000;
  p.flags = kFlagTrueColour | kFlagAntialias;
  p.antialias = 2;
  // Each image as a 24-bit BMP, and the whole as an AVI animation.
  p.output = kOutImages | kOut24BitImages | kOutAnimation;
  p.format24 = 5;    // BMP
  p.format8 = 0;     // LBM, when screen images are asked for
  p.animFormat = 1;  // AVI
  p.ambient = 25;
  // A high sun in the scene's axes lights the ground out to the horizon,
  // where the lamps no longer reach.
  p.sunIntensity = 90;
  p.sunV = 30;
  p.sunH = 50;
  p.sunRelative = 0;
  p.recursion = 4;
  p.raySwitches = kSwitchSky | kSwitchGround;
  // Zenith up, horizon up, horizon down, zenith down, ground.
  p.skyColours = {Rgb(40, 80, 190), Rgb(190, 210, 240), Rgb(120, 110, 100), Rgb(40, 35, 30), Rgb(170, 160, 140)};
  // The ground is paved with DALLES.LBM, one stone every kTileSize units.
  p.ground.kind = 0;
  p.ground.on = 1;
  p.ground.scaleX = p.ground.scaleY = kTileSize * 100000;
  SetMappingImage(p.ground, std::string(kTileImage) + ".LBM");
  p.sceneCount = static_cast<std::int32_t>(std::size(kCameraTurns));
  p.imageCounts.assign(std::size(kCameraTurns) - 1, kImagesPerInterval);
  if (!WriteProject(p, file)) {
    std::fprintf(stderr, "make_data: cannot write %s\n", file.string().c_str());
    return false;
  }
  return true;
}

// The preview's scene: one sphere of radius 200 round the origin, which the
// preview traces as a true sphere with the material the modeler sends.
bool WritePreviewScene(const fs::path& file) {
  SceneModel scene;
  std::string error;
  Builder b{scene, {}, true};
  using S = SceneModel;
  using E = BuildError;
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 16, 12, -1, e); })
      .Do([](S& s, E& e) { return BuildSize(s, 400, 400, 400, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 15, 15, 15, e); });
  LampSettings lamp;
  lamp.position = Vec3{-400, 400, 800};
  lamp.intensity = 100;
  b.Do([&](S& s, E& e) { return BuildLamp(s, lamp, e); });
  const Vec3 target{0, 0, 0};
  b.Do([&](S& s, E& e) { return BuildCamera(s, 0, -10, 1, kCameraPerspective, &target, e); });
  if (!b.ok) {
    std::fprintf(stderr, "make_data: the preview scene: %s\n", b.error.text.c_str());
    return false;
  }
  std::error_code ignored;
  fs::remove(file, ignored);
  if (Keyframes(scene, file).Add() != 1) {
    std::fprintf(stderr, "make_data: cannot write %s\n", file.string().c_str());
    return false;
  }
  return true;
}

// The preview's project: one small antialiased image of the sphere under a
// sky. The preview's camera looks level from the ground's height, where the
// ground plane would only shade the sphere's lower half: the ground is off,
// its mapping record (SEEGRND.LBM, which the renderer sets itself too) kept.
bool WritePreviewProject(const fs::path& file) {
  RenderProject p;
  ResetProject(p);
  p.SetSceneName(kPreviewScene);
  p.mode = kRayTracing;
  p.width = 320;
  p.height = 200;
  p.pixelRatio = 1000;
  p.flags = kFlagTrueColour | kFlagAntialias;
  p.antialias = 1;
  p.output = kOutImages | kOut24BitImages;
  p.format24 = 5;  // BMP
  p.ambient = 20;
  p.sunIntensity = 60;
  p.sunV = -30;
  p.sunH = 40;
  p.recursion = 4;
  p.raySwitches = kSwitchSky;
  p.skyColours = {Rgb(30, 60, 150), Rgb(170, 190, 230), Rgb(90, 90, 90), Rgb(30, 30, 30), Rgb(160, 160, 160)};
  p.ground.kind = 0;
  p.ground.on = 1;
  p.ground.scaleX = p.ground.scaleY = 400 * 100000;
  SetMappingImage(p.ground, std::string(kPreviewGroundImage) + ".LBM");
  p.sceneCount = 1;
  if (!WriteProject(p, file)) {
    std::fprintf(stderr, "make_data: cannot write %s\n", file.string().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_data DIRECTORY\n");
    return 2;
  }
  const fs::path directory = argv[1];
  std::error_code error;
  fs::create_directories(directory, error);
  if (!WritePictures(directory) || !WriteDemoScene(directory / kDemoScene) ||
      !WriteDefaultProject(directory / kDefaultProjectFile) || !WritePreviewScene(directory / kPreviewScene) ||
      !WritePreviewProject(directory / kPreviewProjectFile)) {
    return 1;
  }
  return 0;
}
