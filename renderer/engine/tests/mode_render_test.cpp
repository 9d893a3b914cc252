// The wireframe, polygon and pixel modes: what shows where on the image,
// depth order, shadows, antialias sizes, and scenes that must not break
// them (empty, behind the eye, degenerate, 1 × 1). Also the triangle fill
// the last two modes rest on.
#include "renderer/engine/mode_render.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine_samples.h"
#include "renderer/engine/mapping.h"
#include "renderer/engine/raster.h"
#include "renderer/engine/vecmath.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

using engine_samples::AddFacets;
using engine_samples::EmptyScene;
using engine_samples::FrameOf;
using engine_samples::WritePpm;

enum class Mode { kWireframe, kPolygon, kPixel };

struct Image {
  int result = -1;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  int Lit() const {
    int n = 0;
    for (const std::uint32_t p : pixels) n += p != 0;
    return n;
  }
};

int Brightness(std::uint32_t rgb) { return ((rgb >> 16) & 255) + ((rgb >> 8) & 255) + (rgb & 255); }
int Red(std::uint32_t rgb) { return (rgb >> 16) & 255; }
int Green(std::uint32_t rgb) { return (rgb >> 8) & 255; }

// A box standing on the ground y = 0 (scene coordinates), centred on x.
void AddBox(MaqScene& s, float x, float z, float half, float height, std::uint16_t col) {
  const float x0 = x - half, x1 = x + half, z0 = z - half, z1 = z + half;
  AddFacets(s,
            {{x0, 0, z0}, {x1, 0, z0}, {x1, height, z0}, {x0, height, z0},
             {x0, 0, z1}, {x1, 0, z1}, {x1, height, z1}, {x0, height, z1}},
            {{{1, 2, 3}}, {{1, 3, 4}}, {{5, 6, 7}}, {{5, 7, 8}}, {{1, 2, 6}}, {{1, 6, 5}},
             {{4, 3, 7}}, {{4, 7, 8}}, {{1, 4, 8}}, {{1, 8, 5}}, {{2, 3, 7}}, {{2, 7, 6}}},
            col);
}

// The camera 100 above the ground, looking along −z at the scene's origin
// from 1040 away.
MaqScene Scene() {
  MaqScene s = EmptyScene();
  s.camera.target = {0, 100, 0};
  return s;
}

struct Options {
  int width = 64;
  int height = 48;
  bool ground = true;
  bool shadows = false;
  int antialias = 0;
  bool lamp = true;
  bool backPlane = false;  // a red picture in the result slot first
  RenderPoll* poll = nullptr;
  std::filesystem::path mapDirectory;  // where the scene's map records' pictures are
};

// A user who asks to stop as soon as asked.
struct StopAtOnce : RenderPoll {
  bool Poll(double) override { return true; }
};

Image Render(Mode mode, const MaqScene& scene, const Options& setup = {}) {
  RenderSettings settings;
  settings.width = setup.width;
  settings.height = setup.height;
  settings.pixelRatio = 1000;
  settings.rayTracing = false;
  settings.sunIntensity = 0;
  settings.groundOn = setup.ground;
  settings.groundColour = 0x0888;
  FrameTables frame = FrameOf(scene, settings);
  if (setup.lamp) {
    // Right of the box and in front of it: its shadow falls to the left
    // and back.
    EngineLamp lamp;
    lamp.position = RenderCoordinates(frame.camera, {500, 300, 500});
    lamp.intensity = 1000;
    lamp.shadows = setup.shadows;
    frame.lamps.push_back(lamp);
  }
  TraceSettings trace;
  trace.ambient = 0.1;
  EngineHooks hooks;
  Image image;
  if (setup.backPlane) {
    trace.zenith = trace.horizonUp = trace.horizonDown = trace.nadir = {};  // the sky off: black
    VimCreate(kResultSlot, setup.width, setup.height, 24);
    for (int y = 0; y < setup.height; ++y) {
      for (int x = 0; x < setup.width; ++x) VimPutPixel(kResultSlot, 0xFF0000, y, x, 0);
    }
  }
  switch (mode) {
    case Mode::kWireframe: image.result = RenderWireframe(frame, hooks, setup.poll, setup.backPlane); break;
    case Mode::kPolygon:
      image.result = RenderPolygons(frame, settings, trace, hooks, setup.poll, setup.backPlane);
      break;
    case Mode::kPixel: {
      TextureMaps maps;
      MapSettings mapSettings;
      mapSettings.directory = setup.mapDirectory;
      maps.InitListeMap(scene.maps, scene.assignments, frame, mapSettings);
      maps.LoadMaps();
      image.result = RenderPixelMode(frame, settings, trace, scene.maps.empty() ? nullptr : &maps, hooks, setup.poll,
                                     setup.antialias, setup.backPlane);
      maps.Release();
      break;
    }
  }
  const VirtIm& slot = VimSlot(kResultSlot);
  image.width = static_cast<int>(slot.width);
  image.height = static_cast<int>(slot.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) image.pixels.push_back(VimGetPixel(kResultSlot, y, x));
  }
  VimFree(kResultSlot);
  return image;
}

// The pixel a scene point projects to in a 64 × 48 image of Scene().
std::pair<int, int> PixelOf(const Vec3& scenePoint, int width = 64, int height = 48) {
  RenderSettings settings;
  settings.width = width;
  settings.height = height;
  settings.pixelRatio = 1000;
  const FrameTables frame = FrameOf(Scene(), settings);
  const ScreenPoint p = ProjectRenderPoint(frame.camera, frame.mapping, RenderCoordinates(frame.camera, scenePoint));
  return {static_cast<int>(std::floor(p.x + 0.5)), static_cast<int>(std::floor(p.y + 0.5))};
}

TEST(RenderModes, EachModeDrawsTheBoxOverItsBackground) {
  MaqScene s = Scene();
  AddBox(s, 0, 0, 60, 120, 0x8F80);
  const auto [bx, by] = PixelOf({0, 60, 60});  // the middle of the front face
  for (Mode mode : {Mode::kWireframe, Mode::kPolygon, Mode::kPixel}) {
    const Image image = Render(mode, s);
    ASSERT_EQ(image.result, kScreenFinished);
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 48);
    if (mode == Mode::kWireframe) {
      // The front face's diagonal runs through its middle, in the box's colour.
      int orange = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) orange += image.At(bx + dx, by + dy) == 0xFF8800;
      }
      EXPECT_GT(orange, 0);
      EXPECT_EQ(image.At(2, 2), 0u);
      EXPECT_EQ(image.At(60, 45), 0u);
      continue;
    }
    const std::uint32_t box = image.At(bx, by);
    EXPECT_GT(Red(box), Green(box)) << std::hex << box;
    EXPECT_GT(Red(box), 60) << std::hex << box;
    if (mode == Mode::kPolygon) {
      EXPECT_EQ(image.At(2, 2), 0u);
      EXPECT_EQ(image.At(60, 45), 0u);
    } else {
      // Sky above the horizon (blue above green), lit grey ground below.
      const std::uint32_t sky = image.At(2, 2), ground = image.At(60, 45);
      EXPECT_GT(sky & 255, Green(sky)) << std::hex << sky;
      EXPECT_GT(Brightness(ground), 0);
      EXPECT_NEAR(Red(ground), Green(ground), 2) << std::hex << ground;
    }
  }
}

TEST(RenderModes, TheNearBoxHidesTheFarOneInEitherFileOrder) {
  for (bool nearFirst : {true, false}) {
    MaqScene s = Scene();
    if (nearFirst) AddBox(s, 0, 300, 40, 120, 0x8F00);
    AddBox(s, 0, -200, 120, 200, 0x80F0);
    if (!nearFirst) AddBox(s, 0, 300, 40, 120, 0x8F00);
    const auto [x, y] = PixelOf({0, 60, 340});
    for (Mode mode : {Mode::kPolygon, Mode::kPixel}) {
      const Image image = Render(mode, s);
      ASSERT_EQ(image.result, kScreenFinished);
      const std::uint32_t c = image.At(x, y);
      EXPECT_GT(Red(c), Green(c)) << (mode == Mode::kPolygon ? "polygon " : "pixel ") << std::hex << c;
      // The far box shows beside the near one.
      const auto [fx, fy] = PixelOf({100, 150, -80});
      const std::uint32_t far = image.At(fx, fy);
      EXPECT_GT(Green(far), Red(far)) << std::hex << far;
    }
  }
}

TEST(RenderModes, EveryModeShowsTheBackPlaneWhereTheImageIsBlack) {
  MaqScene s = Scene();
  AddBox(s, 0, 0, 60, 120, 0x8F80);
  const auto [bx, by] = PixelOf({0, 60, 0});
  for (const auto& [mode, antialias] : {std::pair{Mode::kPixel, 0}, {Mode::kPixel, 2}, {Mode::kPolygon, 0},
                                        {Mode::kWireframe, 0}}) {
    Options o;
    o.ground = false;  // a black sky everywhere the box is not
    o.antialias = antialias;
    o.backPlane = true;
    const Image with = Render(mode, s, o);
    ASSERT_EQ(with.result, kScreenFinished);
    EXPECT_EQ(with.At(1, 1), 0xFF0000u) << static_cast<int>(mode) << " antialias " << antialias;
    if (mode != Mode::kWireframe) {
      EXPECT_NE(with.At(bx, by), 0xFF0000u);
    }
    o.backPlane = false;
    EXPECT_NE(Render(mode, s, o).At(1, 1), 0xFF0000u);
  }
}

TEST(RenderModes, PixelModeShowsWhatLiesBehindATransparentBox) {
  MaqScene s = Scene();
  AddBox(s, 0, 300, 40, 120, 0x8F00);
  AddBox(s, 0, -200, 120, 200, 0x80F0);
  const auto [x, y] = PixelOf({0, 60, 340});
  const std::uint32_t opaque = Render(Mode::kPixel, s).At(x, y);
  s.objects[0].transmission = 80;
  for (bool shadows : {false, true}) {
    Options options;
    options.shadows = shadows;
    const std::uint32_t seen = Render(Mode::kPixel, s, options).At(x, y);
    // The green box behind shows through the red one, which still tints it.
    EXPECT_GT(Green(seen), Green(opaque) + 40) << std::hex << seen;
    EXPECT_GT(Red(seen), 0) << std::hex << seen;
    EXPECT_GT(Green(seen), Red(seen)) << std::hex << seen;
  }
}

TEST(RenderModes, PixelModeTakesOpacityAndBumpFromTheMaps) {
  const auto dir = std::filesystem::temp_directory_path() / ("tessaran_pixel_maps_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  WritePpm(dir / "CLEAR.PPM", 1, 1, {0xFFFFFF});
  WritePpm(dir / "SOLID.PPM", 1, 1, {0x000000});
  std::vector<std::uint32_t> stripes;
  for (int i = 0; i < 64; ++i) stripes.push_back(i % 2 ? 0xFFFFFF : 0x000000);
  WritePpm(dir / "STRIPES.PPM", 64, 1, stripes);
  Options options;
  options.mapDirectory = dir;

  // A red box before a green one; an opacity-mapped object has at least
  // transmission 1, as the scene loop gives it.
  MaqScene s = Scene();
  AddBox(s, 0, 300, 40, 120, 0x8F00);
  AddBox(s, 0, -200, 120, 200, 0x80F0);
  s.objects[0].transmission = 1;
  s.maps = {{2, 1001, "CLEAR.PPM"}, {2, 1001, "SOLID.PPM"}, {2, 1001, "STRIPES.PPM"}};
  const auto [x, y] = PixelOf({0, 60, 340});
  s.assignments = {{0, {0, 0, 1}}};
  const std::uint32_t clear = Render(Mode::kPixel, s, options).At(x, y);
  s.assignments = {{0, {0, 0, 2}}};
  const std::uint32_t solid = Render(Mode::kPixel, s, options).At(x, y);
  // A white opacity map lets the green box show; a black one hides it.
  EXPECT_GT(Green(clear), Red(clear)) << std::hex << clear;
  EXPECT_GT(Red(solid), Green(solid)) << std::hex << solid;

  // A striped bump map ripples the light over the red box's faces.
  s.objects[0].transmission = 0;
  s.assignments.clear();
  const Image flat = Render(Mode::kPixel, s, options);
  s.assignments = {{0, {0, 3, 0}}};
  const Image bumped = Render(Mode::kPixel, s, options);
  int rippled = 0;
  for (std::size_t i = 0; i < flat.pixels.size(); ++i) {
    rippled += std::abs(Brightness(flat.pixels[i]) - Brightness(bumped.pixels[i])) > 12 ? 1 : 0;
  }
  EXPECT_GT(rippled, 20);
  std::filesystem::remove_all(dir);
}

TEST(RenderModes, PixelModeShadowsDarkenTheGroundBehindTheBoxOnly) {
  MaqScene s = Scene();
  AddBox(s, 0, 0, 60, 120, 0x8FFF);
  Options lit, shadowed;
  shadowed.shadows = true;
  const Image a = Render(Mode::kPixel, s, lit);
  const Image b = Render(Mode::kPixel, s, shadowed);
  ASSERT_EQ(b.result, kScreenFinished);
  // Left of the box and behind it, away from the lamp: in its shadow.
  const auto [sx, sy] = PixelOf({-150, 0, -150});
  EXPECT_LT(Brightness(b.At(sx, sy)) + 30, Brightness(a.At(sx, sy)));
  // Ground on the lamp's side and the box's lit face keep their light.
  const auto [gx, gy] = PixelOf({200, 0, 200});
  EXPECT_NEAR(Brightness(b.At(gx, gy)), Brightness(a.At(gx, gy)), 3);
  const auto [fx, fy] = PixelOf({0, 60, 60});
  EXPECT_NEAR(Brightness(b.At(fx, fy)), Brightness(a.At(fx, fy)), 3);
  // Same frame, same image: the rounding does not drift between runs.
  EXPECT_EQ(Render(Mode::kPixel, s, shadowed).pixels, b.pixels);
}

TEST(RenderModes, EveryAntialiasLevelEndsAtTheProjectSize) {
  MaqScene s = Scene();
  AddBox(s, 0, 0, 60, 120, 0x8F80);
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {7, 5}, {64, 48}}) {
    for (int level = 0; level <= 3; ++level) {
      Options setup;
      setup.width = w;
      setup.height = h;
      setup.antialias = level;
      const Image image = Render(Mode::kPixel, s, setup);
      ASSERT_EQ(image.result, kScreenFinished) << w << "x" << h << " level " << level;
      EXPECT_EQ(image.width, w);
      EXPECT_EQ(image.height, h);
      EXPECT_GT(image.Lit(), 0);
    }
  }
  int cw, ch;
  PixelModeSize(320, 200, 1, cw, ch);
  EXPECT_EQ(cw, 321);
  EXPECT_EQ(ch, 201);
  PixelModeSize(320, 200, 3, cw, ch);
  EXPECT_EQ(cw, 640);
  EXPECT_EQ(ch, 400);
}

TEST(RenderModes, AwkwardScenesFinishWithTheBackgroundWhereNothingShows) {
  // Empty; a box behind the eye; a box around the eye; degenerate faces.
  std::map<std::string, MaqScene> scenes;
  scenes["empty"] = Scene();
  scenes["behind"] = Scene();
  AddBox(scenes["behind"], 0, 1500, 60, 120, 0x8F80);
  scenes["around"] = Scene();
  AddBox(scenes["around"], 0, 1080, 200, 300, 0x8F80);
  scenes["degenerate"] = Scene();
  AddFacets(scenes["degenerate"], {{0, 50, 0}, {10, 50, 0}, {20, 50, 0}, {5, 5, 5}}, {{{1, 2, 3}}, {{4, 4, 4}}},
            0x8F80);
  for (const auto& [name, scene] : scenes) {
    for (Mode mode : {Mode::kWireframe, Mode::kPolygon, Mode::kPixel}) {
      for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {16, 12}}) {
        Options setup;
        setup.width = w;
        setup.height = h;
        setup.shadows = true;
        setup.antialias = 2;
        const Image image = Render(mode, scene, setup);
        ASSERT_EQ(image.result, kScreenFinished) << name;
        ASSERT_EQ(image.width, w) << name;
        if (name == "around" || mode == Mode::kPixel) continue;
        // A collinear face is a line: drawn in the wireframe, never filled.
        if (name == "degenerate" && mode == Mode::kWireframe) continue;
        EXPECT_EQ(image.Lit(), 0) << name << " mode " << static_cast<int>(mode);
      }
    }
  }
  // The pixel mode shows the same sky and ground with and without a box
  // behind the eye.
  EXPECT_EQ(Render(Mode::kPixel, scenes["behind"]).pixels, Render(Mode::kPixel, scenes["empty"]).pixels);
}

TEST(RenderModes, AStopRequestEndsEveryModeWithStopped) {
  MaqScene s = Scene();
  AddBox(s, 0, 0, 60, 120, 0x8F80);
  StopAtOnce stop;
  for (Mode mode : {Mode::kWireframe, Mode::kPolygon, Mode::kPixel}) {
    for (bool shadows : {false, true}) {
      Options options;
      options.poll = &stop;
      options.shadows = shadows;
      EXPECT_EQ(Render(mode, s, options).result, kScreenStopped) << static_cast<int>(mode);
    }
  }
}

TEST(PixelDepth, NearerIsLargerAndTheRangeIsKept) {
  FrameTables frame;
  frame.zmin = -1000;
  frame.zmax = -100;
  frame.depthScale = 65535 / 900.0;
  EXPECT_EQ(PixelDepth(frame, -1000), 0);
  EXPECT_EQ(PixelDepth(frame, -100), 65535);
  EXPECT_LT(PixelDepth(frame, -900), PixelDepth(frame, -200));
  EXPECT_EQ(PixelDepth(frame, -1001), -1);
  EXPECT_EQ(PixelDepth(frame, -99), -1);
  EXPECT_EQ(PixelDepth(frame, std::nan("")), -1);
}

RasterView SquareView(int size) {
  Camera camera;
  camera.D = 10;
  return MakeRasterView(camera, ImageMapping(size, size, 1000), size, size);
}

TEST(Raster, TwoTrianglesOfAQuadCoverEachPixelOnce) {
  const int size = 32;
  const RasterView view = SquareView(size);
  // A tilted quad in front of the eye, split along a diagonal.
  const RasterVertex a{{-30, -20, -20}, {0, 0, 1}}, b{{30, -20, -30}, {0, 0, 1}}, c{{30, 20, -30}, {0, 0, 1}},
      d{{-30, 20, -20}, {0, 0, 1}};
  std::vector<int> hits(size * size, 0);
  auto count = [&](const RasterSample& s) { ++hits[s.y * size + s.x]; };
  FillTriangle(view, a, b, c, count);
  FillTriangle(view, a, c, d, count);
  int covered = 0;
  for (const int h : hits) {
    EXPECT_LE(h, 1);
    covered += h;
  }
  EXPECT_GT(covered, 100);
  // Every sample lies on the quad's plane, on the ray through its pixel.
  const Vec3 normal = Normalise(Cross(b.p - a.p, c.p - a.p));
  FillTriangle(view, a, b, c, [&](const RasterSample& s) {
    const CameraRay ray = PrimaryRay(view.camera, view.mapping, s.x, s.y);
    EXPECT_NEAR(Dot(Normalise(s.p), ray.direction), 1, 1e-9);
    EXPECT_NEAR(Dot(normal, s.p - a.p), 0, 1e-9);
  });
}

TEST(Raster, NothingBehindTheEyeIsDrawnAndCrossingsAreClipped) {
  const int size = 16;
  const RasterView view = SquareView(size);
  int plotted = 0;
  DrawSegment(view, {-5, 0, 10}, {5, 0, 20}, [&](int, int) { ++plotted; });
  FillTriangle(view, {{-5, -5, 10}}, {{5, -5, 10}}, {{0, 5, 30}}, [&](const RasterSample&) { ++plotted; });
  EXPECT_EQ(plotted, 0);
  // A segment from behind the eye to in front of it: only its front part,
  // all on the image.
  DrawSegment(view, {0, 0, 50}, {0.5, 0.5, -50}, [&](int x, int y) {
    EXPECT_TRUE(x >= 0 && x < size && y >= 0 && y < size);
    ++plotted;
  });
  EXPECT_GT(plotted, 0);
  // A triangle through the eye's plane fills within the image only.
  FillTriangle(view, {{-50, -50, 5}}, {{50, -50, -40}}, {{0, 50, -40}}, [&](const RasterSample& s) {
    EXPECT_TRUE(s.x >= 0 && s.x < size && s.y >= 0 && s.y < size);
    EXPECT_LT(s.p[2], 0);
  });
}

}  // namespace
}  // namespace tessaran
