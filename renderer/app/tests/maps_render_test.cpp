// Texture maps in renders: a mapped object takes its map's colours, a map
// that cannot be read is reported and leaves the object as if unmapped, an
// IFF ANIM map changes with the image number, the bundled data files read
// back, and the material preview renders its sphere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/ilbm.h"
#include "imaging/picture.h"
#include "modeler/app/build_ops.h"
#include "renderer/app/material_preview.h"
#include "renderer/app/render_maps.h"
#include "renderer/app/render_project.h"
#include "renderer/app/renderer_shell.h"
#include "scene/keyframes.h"
#include "scene/maq_scene.h"
#include "scene/scene_model.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

constexpr int kScratchSlot = 30;
constexpr int kWidth = 48;
constexpr int kHeight = 36;

struct Messages : MessageReporter {
  std::vector<int> numbers;
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  int Count(int number) const { return static_cast<int>(std::count(numbers.begin(), numbers.end(), number)); }
};

struct NeverStop : RenderPoll {
  bool Poll(double) override { return false; }
};

fs::path TestData(const std::string& name) {
  const char* root = std::getenv("TESSARAN_TESTDATA");
  return fs::path(root && *root ? root : TESSARAN_TESTDATA) / name;
}

// A one-colour palette picture "<base>.LBM".
void WriteSolidLbm(const fs::path& base, std::uint32_t rgb) {
  ASSERT_EQ(VimCreate(kScratchSlot, 8, 8, 8), 1);
  VirtIm& im = VimSlot(kScratchSlot);
  im.SetPaletteColour(0, rgb);
  for (std::uint32_t y = 0; y < 8; ++y) std::fill_n(im.Line(y), 8, std::uint8_t{0});
  ASSERT_EQ(WriteLbm(base.string(), -2, im), 0);
  VimFree(kScratchSlot);
}

class MapsRender : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-maps-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    InstallReporter(&messages_);
  }
  void TearDown() override {
    InstallReporter(nullptr);
    SetOutputDirectory({});
    fs::remove_all(dir_);
  }

  // A white ball filling the middle of the picture, in facets (a polygon
  // grid, whose facets carry the grid's parameters), with `map` as its
  // colour map (none when empty); `keyframes` identical scenes.
  fs::path WriteScene(const std::string& name, const std::string& map, int keyframes) {
    SceneModel scene;
    BuildError error;
    bool ok = BuildPrimitive(scene, "sphere", 16, 12, -1, error) && BuildColour(scene, 15, 15, 15, error) &&
              BuildMaterial(scene, 0, 0, 0, 0, 10, error) && BuildRendering(scene, "angular", error);
    if (ok && !map.empty()) ok = BuildMap(scene, "colour", map, 1, 1, error);
    LampSettings lamp;
    lamp.position = Vec3{0, 100, 600};
    lamp.intensity = 100;
    const Vec3 target{0, 0, 0};
    ok = ok && BuildLamp(scene, lamp, error) && BuildCamera(scene, 0, 0, 4, 1400, &target, error);
    EXPECT_TRUE(ok) << error;
    const fs::path file = dir_ / name;
    for (int k = 0; k < keyframes; ++k) {
      scene.Header().sceneCount = k;
      EXPECT_EQ(Keyframes(scene, file).Add(), 1);
    }
    return file;
  }

  // Renders the scene's images as 24-bit BMP files beside it (names of at
  // most 4 characters keep the image number in the 8.3 name); the result.
  int Render(const fs::path& scene, int keyframes) {
    RendererShell shell;
    ResetProject(shell.project);
    shell.project.SetSceneName(scene.string());
    shell.project.mode = kRayTracing;
    shell.project.width = kWidth;
    shell.project.height = kHeight;
    shell.project.pixelRatio = 1000;
    shell.project.flags = kFlagTrueColour;
    shell.project.output = kOutImages | kOut24BitImages;
    shell.project.format24 = 5;
    shell.project.ambient = 30;
    shell.project.sunIntensity = 0;
    shell.project.sceneCount = keyframes;
    shell.project.imageCounts.assign(static_cast<std::size_t>(keyframes), 1);
    shell.threads = 1;
    NeverStop poll;
    return RenderFrames(shell, poll);
  }

  // The pixels of image `number` of a render of `scene`.
  std::vector<std::uint32_t> Image(const fs::path& scene, int number) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%04d.BMP", number);
    const fs::path file = dir_ / (scene.stem().string() + suffix);
    std::vector<std::uint32_t> pixels;
    EXPECT_EQ(LoadPicture(file, kScratchSlot, kOpaqueLoad, nullptr, 0), 1) << file;
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      for (std::uint32_t x = 0; x < kWidth; ++x) {
        pixels.push_back(static_cast<std::uint32_t>(VimGetPixel(kScratchSlot, y, x)));
      }
    }
    VimFree(kScratchSlot);
    return pixels;
  }

  static int Channel(std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 255); }

  fs::path dir_;
  Messages messages_;
};

TEST_F(MapsRender, MappedPixelsTakeTheMapAndAMissingMapRendersUnmapped) {
  WriteSolidLbm(dir_ / "ROUGE", 0xE01010);
  const fs::path mapped = WriteScene("MAPD.MAQ", "ROUGE.LBM", 1);
  const fs::path plain = WriteScene("PLN.MAQ", "", 1);
  const fs::path missing = WriteScene("MISS.MAQ", "NOWHERE.LBM", 1);
  ASSERT_EQ(Render(mapped, 1), kRenderDone);
  ASSERT_EQ(Render(plain, 1), kRenderDone);
  EXPECT_EQ(messages_.Count(325), 0);
  ASSERT_EQ(Render(missing, 1), kRenderDone);
  EXPECT_EQ(messages_.Count(325), 1);

  const auto red = Image(mapped, 0), white = Image(plain, 0), without = Image(missing, 0);
  const std::size_t centre = (kHeight / 2) * kWidth + kWidth / 2;
  // The lit ball: red where mapped, grey-white unmapped.
  EXPECT_GT(Channel(red[centre], 16), 3 * Channel(red[centre], 8));
  EXPECT_GT(Channel(white[centre], 8), 100);
  EXPECT_NEAR(Channel(white[centre], 16), Channel(white[centre], 8), 2);
  // The missing map leaves the very picture of the unmapped ball.
  EXPECT_EQ(without, white);
}

TEST_F(MapsRender, AnAnimatedMapFollowsTheImageNumber) {
  const fs::path anim = TestData("anim/color-balls.anim");
  if (!fs::exists(anim)) GTEST_SKIP() << "no " << anim;
  fs::copy_file(anim, dir_ / "BALLS.LBM");
  WriteSolidLbm(dir_ / "FIXE", 0x30A040);
  const fs::path animated = WriteScene("ANIM.MAQ", "BALLS.LBM", 2);
  const fs::path still = WriteScene("STIL.MAQ", "FIXE.LBM", 2);
  ASSERT_EQ(Render(animated, 2), kRenderDone);
  ASSERT_EQ(Render(still, 2), kRenderDone);
  EXPECT_EQ(messages_.Count(325), 0);

  // Beyond the one unit the randomised rounding may move a channel, the
  // still map gives the same picture twice and the animation does not.
  const auto changed = [&](const fs::path& scene) {
    const auto a = Image(scene, 0), b = Image(scene, 1);
    int count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
      for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(a[i], shift) - Channel(b[i], shift)) > 1) {
          ++count;
          break;
        }
      }
    }
    return count;
  };
  EXPECT_EQ(changed(still), 0);
  EXPECT_GT(changed(animated), 10);
}

TEST(MapSettingsOfProject, GroundAndSkyMapsOnlyWhenTheirRecordIsOn) {
  RenderProject p;
  ResetProject(p);
  SetMappingImage(p.ground, "C:\\MAPS\\SOL.LBM");
  SetMappingImage(p.sky, "CIEL.LBM");
  // Records with images but switched off, or of kind −1: no maps.
  MapSettings off = MapSettingsOf(p, "scene", "data");
  EXPECT_TRUE(off.groundMap.empty());
  EXPECT_TRUE(off.skyMap.empty());
  p.ground.kind = 0;
  p.ground.on = 1;
  p.ground.scaleX = 25000000;  // 250 units
  p.ground.scaleY = 0;         // damaged: the default tile
  p.sky.kind = 1;
  p.sky.on = 1;
  p.sky.scaleX = 300000;  // three times round
  const MapSettings on = MapSettingsOf(p, "scene", "data");
  EXPECT_EQ(on.groundMap, "C:/MAPS/SOL.LBM");
  EXPECT_DOUBLE_EQ(on.groundTileX, 250);
  EXPECT_DOUBLE_EQ(on.groundTileY, 100);
  EXPECT_EQ(on.skyMap, "CIEL.LBM");
  EXPECT_DOUBLE_EQ(on.skyRepeat, 3);
  EXPECT_EQ(on.directory, fs::path("scene"));
  EXPECT_EQ(on.dataDirectory, fs::path("data"));
}

// The data files the build writes beside the renderer.
fs::path DataDirectory() { return fs::path(RZ_PROGRAM).parent_path(); }

TEST(BundledData, ProjectsScenesAndPicturesReadBack) {
  const fs::path data = DataDirectory();
  for (const char* name : {"DEFAUT.RPJ", "SEE.RPJ"}) {
    RenderProject project;
    ASSERT_TRUE(ReadProject(project, data / name)) << name;
    EXPECT_EQ(project.mode, kRayTracing) << name;
    // Both map their ground with a picture that is there.
    EXPECT_NE(project.ground.on, 0) << name;
    EXPECT_TRUE(fs::exists(data / MappingImage(project.ground))) << name;
    // Their scene is there and reads.
    MaqSceneFile file;
    ASSERT_EQ(file.Open(data / project.SceneName()), MaqStatus::Ok) << name;
    for (int k = 1; k <= file.SceneCount(); ++k) {
      MaqScene scene;
      ASSERT_EQ(ReadMaq(file, k, scene), MaqStatus::Ok) << name << " scene " << k << ": " << file.Problem();
      if (k == 1 && std::string(name) == "DEFAUT.RPJ") {
        // The demo's checkered ball and its picture.
        ASSERT_EQ(scene.maps.size(), 1u);
        EXPECT_TRUE(fs::exists(data / scene.maps[0].name));
        EXPECT_EQ(scene.assignments.size(), 1u);
      }
    }
  }
  for (const char* picture : {"SEEGRND.LBM", "DAMIER.LBM", "DALLES.LBM"}) {
    PictureHeader header;
    EXPECT_EQ(LoadPicture(data / picture, kScratchSlot, kOpaqueLoad, &header, 0), 1) << picture;
    EXPECT_GT(header.width, 1u) << picture;
    VimFree(kScratchSlot);
  }
}

TEST(MaterialPreview, RendersTheSphereOfTheMaterialAndSurvivesAMissingDataDirectory) {
  Messages messages;
  InstallReporter(&messages);
  NeverStop poll;
  PreviewMaterial red;
  red.col = 0x0F22;
  red.KSpec = 30;
  red.NSpec = 20;

  RendererShell shell;
  shell.dataDirectory = DataDirectory();
  shell.threads = 1;
  ASSERT_EQ(RenderMaterialPreview(shell, red, {}, poll), kRenderDone);
  EXPECT_EQ(messages.Count(325), 0);
  const VirtIm& image = VimSlot(0);
  ASSERT_EQ(image.width, static_cast<std::uint32_t>(shell.project.width));
  const std::uint32_t centre = static_cast<std::uint32_t>(VimGetPixel(0, image.height / 2, image.width / 2));
  EXPECT_GT((centre >> 16) & 255, 2 * ((centre >> 8) & 255));

  // Without the data directory: the default 320 × 200 project (no ground,
  // so no ground picture to miss), and still a picture.
  RendererShell lost;
  lost.dataDirectory = fs::temp_directory_path() / ("tessaran-nodata-" + std::to_string(getpid()));
  lost.threads = 1;
  ASSERT_EQ(RenderMaterialPreview(lost, red, {}, poll), kRenderDone);
  EXPECT_EQ(lost.project.width, 320);
  EXPECT_EQ(lost.project.height, 200);
  EXPECT_EQ(messages.Count(325), 0);
  EXPECT_EQ(VimSlot(0).width, 320u);
  InstallReporter(nullptr);
}

}  // namespace
}  // namespace tessaran
