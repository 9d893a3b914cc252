// make_data: writes the bundled files of the program directory at build
// time, with the modeler's own operations and the renderer's project
// writer, so that nothing there is drawn by hand:
//   DEMO.MAQ    the demo scene: a mirror sphere, a glass ball, an
//               orange block, a blue lamp and a white one, and three
//               keyframe scenes that move the camera round them;
//   DEFAUT.RPJ  the default project, which renders DEMO.MAQ over the
//               ground plane (y = 0) under a sky gradient.
// usage: make_data DIRECTORY
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "modeler/app/build_ops.h"
#include "renderer/app/render_project.h"
#include "scene/keyframes.h"
#include "scene/scene_model.h"

namespace fs = std::filesystem;
using namespace tessaran;

namespace {

constexpr const char* kDemoScene = "DEMO.MAQ";
constexpr const char* kDefaultProjectFile = "DEFAUT.RPJ";

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
  std::string error;
  bool ok = true;

  // Runs one operation unless an earlier one failed.
  template <typename Op>
  Builder& Do(Op op) {
    if (ok) ok = op(scene, error);
    return *this;
  }
};

bool BuildDemo(SceneModel& scene, std::string& error) {
  Builder b{scene, {}, true};
  using S = SceneModel;
  using E = std::string;
  // The mirror sphere.
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 24, 16, -1, e); })
      .Do([](S& s, E& e) { return BuildMove(s, -55, 50, 0, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 14, 14, 15, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 85, 0, 0, 80, 70, e); })
      .Do([](S& s, E& e) { return BuildRendering(s, "phong", e); });
  // The glass ball, smaller, in front.
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "sphere", 24, 16, -1, e); })
      .Do([](S& s, E& e) { return BuildSize(s, 70, 70, 70, e); })
      .Do([](S& s, E& e) { return BuildMove(s, 45, 35, 45, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 13, 15, 14, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 10, 85, 25, 90, 80, e); })
      .Do([](S& s, E& e) { return BuildRendering(s, "phong", e); });
  // An orange block behind, turned towards the camera.
  b.Do([](S& s, E& e) { return BuildPrimitive(s, "box", 2, 2, -1, e); })
      .Do([](S& s, E& e) { return BuildSize(s, 60, 90, 60, e); })
      .Do([](S& s, E& e) { return BuildRotate(s, 0, 30, 0, e); })
      .Do([](S& s, E& e) { return BuildMove(s, 40, 45, -70, e); })
      .Do([](S& s, E& e) { return BuildColour(s, 15, 7, 2, e); })
      .Do([](S& s, E& e) { return BuildMaterial(s, 0, 0, 0, 40, 30, e); })
      // Flat facets: a new primitive is a curved surface, which rounds a box.
      .Do([](S& s, E& e) { return BuildRendering(s, "angular", e); });
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
  std::string error;
  if (!BuildDemo(scene, error)) {
    std::fprintf(stderr, "make_data: the demo scene: %s\n", error.c_str());
    return false;
  }
  std::error_code ignored;
  fs::remove(file, ignored);
  int count = 0;
  for (const auto& turn : kCameraTurns) {
    const Vec3 target{0, 40, 0};
    if (!BuildCamera(scene, turn[0], turn[1], kCameraZoom, kCameraPerspective, &target, error)) {
      std::fprintf(stderr, "make_data: the demo camera: %s\n", error.c_str());
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
  p.output = kOutImages | kOut24BitImages | kOutScreenImages;
  p.format24 = 5;  // BMP
  p.format8 = 0;   // LBM
  p.ambient = 25;
  // A high sun in the scene's axes lights the ground out to the horizon,
  // where the lamps no longer reach.
  p.sunIntensity = 90;
  p.sunV = 30;
  p.sunH = 50;
  p.sunRelative = 0;
  p.recursion = 5;
  p.raySwitches = kSwitchSky | kSwitchGround;
  // Zenith up, horizon up, horizon down, zenith down, ground.
  p.skyColours = {Rgb(40, 80, 190), Rgb(190, 210, 240), Rgb(120, 110, 100), Rgb(40, 35, 30), Rgb(170, 160, 140)};
  p.sceneCount = static_cast<std::int32_t>(std::size(kCameraTurns));
  p.imageCounts.assign(std::size(kCameraTurns) - 1, kImagesPerInterval);
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
  if (!WriteDemoScene(directory / kDemoScene) || !WriteDefaultProject(directory / kDefaultProjectFile)) return 1;
  return 0;
}
