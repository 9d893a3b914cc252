// Texture mapping: lookups, the name list and slots, and maps that cannot
// be used.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "renderer/engine/mapping.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

using namespace engine_samples;

TEST(MappingLookupTest, ParametricRepeats) {
  MappPropriety once;
  double x, y;
  // Repeat 1: u over the whole range once, the end included (no wrap).
  ASSERT_TRUE(ParametricTexel(4, 3, 4, 3, once, 100, 50, x, y));
  EXPECT_DOUBLE_EQ(x, 100);
  EXPECT_DOUBLE_EQ(y, 50);
  ASSERT_TRUE(ParametricTexel(1, 1.5, 4, 3, once, 100, 50, x, y));
  EXPECT_DOUBLE_EQ(x, 25);
  EXPECT_DOUBLE_EQ(y, 25);
  // Repeat 2: the image twice, so 3/4 of the range reads the middle.
  MappPropriety twice;
  twice.repeatX = twice.repeatY = 2;
  ASSERT_TRUE(ParametricTexel(3, 2.25, 4, 3, twice, 100, 50, x, y));
  EXPECT_DOUBLE_EQ(x, 50);
  EXPECT_DOUBLE_EQ(y, 25);
  // Surfaces without parameters have no answer.
  EXPECT_FALSE(ParametricTexel(-1, -1, 4, 3, once, 100, 50, x, y));
}

TEST(MappingLookupTest, GroundTilesAcrossTheOrigin) {
  double x0, y0, x1, y1;
  // The tile is centred on the origin: the origin reads the image centre.
  ASSERT_TRUE(GroundTexel(0, 0, 200, 100, 64, 32, x0, y0));
  EXPECT_DOUBLE_EQ(x0, 32);
  EXPECT_DOUBLE_EQ(y0, 16);
  // Just left of a tile edge and just right of it read neighbouring texels
  // (no seam, no mirror), on both sides of the origin.
  ASSERT_TRUE(GroundTexel(-100.01, -50.01, 200, 100, 64, 32, x0, y0));
  ASSERT_TRUE(GroundTexel(-99.99, -49.99, 200, 100, 64, 32, x1, y1));
  EXPECT_GT(x0, 63.9);
  EXPECT_LT(x1, 0.1);
  EXPECT_GT(y0, 31.9);
  EXPECT_LT(y1, 0.1);
  // One whole tile further reads the same texel.
  ASSERT_TRUE(GroundTexel(-370, 230, 200, 100, 64, 32, x0, y0));
  ASSERT_TRUE(GroundTexel(30, -70, 200, 100, 64, 32, x1, y1));
  EXPECT_NEAR(x0, x1, 1e-9);
  EXPECT_NEAR(y0, y1, 1e-9);
  EXPECT_FALSE(GroundTexel(1, 1, 0, 100, 64, 32, x0, y0));
}

TEST(MappingLookupTest, SphericalRule) {
  double x, y;
  EXPECT_FALSE(SphericalTexel({0, 0, 0}, 1, 1, false, 64, 32, x, y));  // r = 0
  // +x: longitude 0, equator.
  ASSERT_TRUE(SphericalTexel({5, 0, 0}, 1, 1, false, 64, 32, x, y));
  EXPECT_NEAR(x, 0, 1e-9);
  EXPECT_NEAR(y, 16, 1e-9);
  // −x: half way round; +y: the top row.
  ASSERT_TRUE(SphericalTexel({-5, 0, 0}, 1, 1, false, 64, 32, x, y));
  EXPECT_NEAR(x, 32, 1e-9);
  ASSERT_TRUE(SphericalTexel({0, 3, 0}, 1, 1, false, 64, 32, x, y));
  EXPECT_NEAR(y, 0, 1e-9);
  // The sky turns t over.
  ASSERT_TRUE(SphericalTexel({0, 3, 0}, 1, 1, true, 64, 32, x, y));
  EXPECT_NEAR(y, 0, 1e-9);  // 1 − 0 wraps to 0 through the fraction
  ASSERT_TRUE(SphericalTexel({1, 1, 0}, 1, 1, true, 64, 32, x, y));
  EXPECT_NEAR(y, 24, 1e-9);
  EXPECT_NEAR(MapLuminance(0xFFFFFF), 0.99609375, 1e-12);
}

struct MapFiles : ::testing::Test {
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("tessaran_maps_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    WritePpm(dir / "CHECK.PPM", 2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    WritePpm(dir / "DOT.PPM", 1, 1, {0x123456});
    std::ofstream(dir / "BAD.TGA") << "not a picture";
  }
  void TearDown() override {
    for (int s = kFirstMapSlot; s < kVirtImSlots; ++s) VimFree(s);
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
};

TEST_F(MapFiles, SharedImagesBadMapsAndOneTexelMaps) {
  MessageLog log;
  MaqScene s = EmptyScene();
  for (int i = 0; i < 3; ++i) {
    AddGrid(s, 4, 4, [](int a, int b) { return std::array<float, 3>{float(a * 10), float(b * 10), 0}; });
  }
  RenderSettings rs;
  rs.groundOn = true;
  const FrameTables frame = FrameOf(s, rs);
  const std::vector<MapEntry> maps = {
      {2, 1001, "CHECK.PPM"}, {2, 2002, "check.ppm"}, {2, 1001, "BAD.TGA"}, {2, 1001, "MISSING.LBM"},
      {2, 1001, "DOT.PPM"}};
  // Object 0 and 1 use the same file; object 2 gets the bad and the missing
  // map and a 1 × 1 opacity map; object 7 does not exist.
  const std::vector<Assignment> assignments = {{0, {1, 0, 0}}, {1, {1, 5, 0}}, {2, {3, 4, 5}}, {7, {1, 1, 1}}};
  MapSettings settings;
  settings.directory = dir;
  settings.groundMap = "CHECK.PPM";
  settings.groundTileX = settings.groundTileY = 100;
  TextureMaps t;
  t.InitListeMap(maps, assignments, frame, settings);
  EXPECT_EQ(t.NameCount(), 4);  // CHECK.PPM, DOT, BAD, MISSING: unused records add no name
  t.LoadMaps();
  EXPECT_EQ(std::count(log.numbers.begin(), log.numbers.end(), 325), 2);
  // Shared: objects 0 and 1 and the ground read one image in one slot.
  EXPECT_EQ(t.Image(0, kColourMap), t.Image(1, kColourMap));
  EXPECT_EQ(t.Image(0, kColourMap), t.Image(frame.objectCount, kColourMap));
  EXPECT_GE(t.Name(0).slot, kFirstMapSlot);
  EXPECT_EQ(VimSlot(t.Name(0).slot).width, 2u);
  // The bad and the missing map are gone from their slots, the name kept.
  EXPECT_EQ(t.Slot(2, kColourMap).map, -1);
  EXPECT_EQ(t.Slot(2, kBumpMap).map, -1);
  EXPECT_EQ(t.Name(2).slot, -1);
  EXPECT_EQ(t.Lookup(2, kColourMap, 0.5, 0.5, {}, frame), 0xFFFFFFu);
  // Colour lookups: object 0 (range 2 × 2) with repeat 1.
  EXPECT_EQ(t.Lookup(0, kColourMap, 0.2, 0.2, {}, frame), 0xFF0000u);
  EXPECT_EQ(t.Lookup(0, kColourMap, 1.5, 0.2, {}, frame), 0x00FF00u);
  EXPECT_EQ(t.Lookup(0, kColourMap, 0.2, 1.5, {}, frame), 0x0000FFu);
  // A 1 × 1 map reads its texel everywhere, and bumps nothing.
  EXPECT_EQ(t.Lookup(2, kOpacityMap, 1.9, 0.1, {}, frame), 0x123456u);
  const Vec3 n{0, 0, 1};
  const Vec3 bent = t.Bump(1, 0.7, 1.2, {}, n, {1, 0, 0}, {0, 1, 0}, frame);
  EXPECT_EQ(bent, n);
  // The ground: the origin reads the centre of the tile.
  EXPECT_EQ(t.Lookup(frame.objectCount, kColourMap, 10, 10, {}, frame), 0xFFFFFFu);
  EXPECT_EQ(t.Lookup(frame.objectCount, kColourMap, -10, -10, {}, frame), 0xFF0000u);
  t.Release();
  EXPECT_TRUE(VimSlot(kFirstMapSlot).Empty());
}

TEST_F(MapFiles, BumpLeansAwayFromBrighterTexels) {
  WritePpm(dir / "RAMP.PPM", 4, 1, {0x000000, 0x404040, 0x808080, 0xC0C0C0});
  MaqScene s = EmptyScene();
  AddGrid(s, 6, 3, [](int a, int b) { return std::array<float, 3>{float(a * 10), float(b * 10), 0}; });
  const FrameTables frame = FrameOf(s);
  TextureMaps t;
  MapSettings settings;
  settings.directory = dir;
  t.InitListeMap({{2, 1001, "RAMP.PPM"}}, {{0, {0, 1, 0}}}, frame, settings);
  t.LoadMaps();
  const Vec3 bent = t.Bump(0, 0.5, 0.5, {}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, frame);
  EXPECT_LT(bent[0], 0);  // brighter along +u: the normal leans to −u
  EXPECT_NEAR(bent[1], 0, 1e-12);
  EXPECT_NEAR(Length(bent), 1, 1e-12);
  t.Release();
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

using namespace engine_samples;

TEST(MapGridFacets, FacetsOfAPolygonGridCarryTheGridParameters) {
  ObjectEntry grid;
  grid.nu = 4;
  grid.nv = 3;
  grid.firstPoint = 10;
  // Points 15, 16 and 20: columns 1, 2, 2 of rows 1, 1, 2.
  const Vec3 A{0, 0, 0}, B{10, 0, 0}, C{10, 10, 0};
  const auto at = [&](const Vec3& p) {
    double u = -1, v = -1;
    GridFacetParameters(grid, 15, 16, 20, A, B, C, p, u, v);
    return std::pair{u, v};
  };
  EXPECT_EQ(at(A), (std::pair{1.0, 1.0}));
  EXPECT_EQ(at(B), (std::pair{2.0, 1.0}));
  EXPECT_EQ(at(C), (std::pair{2.0, 2.0}));
  const auto [u, v] = at((1.0 / 3) * (A + B + C));
  EXPECT_NEAR(u, 5.0 / 3, 1e-9);
  EXPECT_NEAR(v, 4.0 / 3, 1e-9);
  // A point just past an edge stays on the grid; a degenerate facet leaves
  // the hit without parameters.
  EXPECT_LE(at({10.5, 5, 0}).first, 3.0);
  double du = -1, dv = -1;
  GridFacetParameters(grid, 15, 16, 17, A, B, Vec3{20, 0, 0}, {5, 0, 0}, du, dv);
  EXPECT_EQ(du, -1);
  EXPECT_EQ(dv, -1);
}

struct MapCache : ::testing::Test {
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("tessaran-mapcache-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "SUB");
    std::filesystem::create_directories(dir / "DATA");
    WritePpm(dir / "RG.PPM", 2, 1, {0xFF0000, 0x00FF00});
    WritePpm(dir / "SUB" / "IN.PPM", 1, 1, {0x0000FF});
    WritePpm(dir / "DATA" / "GROUND.PPM", 1, 1, {0x808080});
    s = EmptyScene();
    AddGrid(s, 4, 4, [](int a, int b) { return std::array<float, 3>{float(a * 10), float(b * 10), 0}; });
    frame = FrameOf(s, RenderSettings{});
    settings.directory = dir;
    settings.dataDirectory = dir / "DATA";
  }
  void TearDown() override {
    for (int slot = kFirstMapSlot; slot < kVirtImSlots; ++slot) VimFree(slot);
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  MaqScene s;
  FrameTables frame;
  MapSettings settings;
};

TEST_F(MapCache, NamesResolveBesideTheSceneThenInTheDataDirectory) {
  EXPECT_EQ(ResolveMapPath("RG.PPM", dir, {}), dir / "RG.PPM");
  // The system's separators, and a drive path from another machine.
  EXPECT_EQ(ResolveMapPath("SUB\\IN.PPM", dir, {}), dir / "SUB" / "IN.PPM");
  EXPECT_EQ(ResolveMapPath("C:\\MAPS\\RG.PPM", dir, {}), dir / "RG.PPM");
  EXPECT_EQ(ResolveMapPath("GROUND.PPM", dir, dir / "DATA"), dir / "DATA" / "GROUND.PPM");
  // Nowhere: the name as written, which then fails to load.
  EXPECT_EQ(ResolveMapPath("NONE.PPM", dir, dir / "DATA"), std::filesystem::path("NONE.PPM"));
  EXPECT_EQ(ResolveMapPath("", dir, dir / "DATA"), std::filesystem::path());
}

TEST_F(MapCache, ImagesAreReadOncePerRenderAndFailuresReportedOnce) {
  MessageLog log;
  const std::vector<MapEntry> maps = {{2, 1001, "RG.PPM"}, {2, 1001, "NONE.PPM"}};
  const std::vector<Assignment> assignments = {{0, {1, 0, 2}}};
  MapImageCache cache;
  TextureMaps t;
  const MapImage* first = nullptr;
  for (int image = 0; image < 3; ++image) {
    settings.frameNumber = image;
    t.InitListeMap(maps, {}, assignments, frame, settings);
    t.LoadMaps(cache);
    ASSERT_NE(t.Image(0, kColourMap), nullptr);
    if (!first) first = t.Image(0, kColourMap);
    EXPECT_EQ(t.Image(0, kColourMap), first);
    EXPECT_EQ(t.Image(0, kOpacityMap), nullptr);
    t.Release();
    // The cache keeps the image's slot between frames.
    EXPECT_FALSE(VimSlot(kFirstMapSlot).Empty());
  }
  EXPECT_EQ(cache.Loads(), 2u);  // each file once, the missing one included
  EXPECT_EQ(std::count(log.numbers.begin(), log.numbers.end(), 325), 1);
  cache.Clear();
  EXPECT_TRUE(VimSlot(kFirstMapSlot).Empty());
}

TEST_F(MapCache, AnAnimatedMapIsReadAgainForEachFrame) {
  const char* root = std::getenv("TESSARAN_TESTDATA");
  const auto anim = std::filesystem::path(root ? root : TESSARAN_TESTDATA) / "anim/color-balls.anim";
  if (!std::filesystem::exists(anim)) GTEST_SKIP() << "no " << anim;
  std::filesystem::copy_file(anim, dir / "BALLS.ANIM");
  MapImageCache cache;
  TextureMaps t;
  std::vector<std::vector<std::uint32_t>> frames;
  for (int image : {0, 0, 1}) {
    settings.frameNumber = image;
    t.InitListeMap({{2, 1001, "BALLS.ANIM"}}, {}, {{0, {1, 0, 0}}}, frame, settings);
    t.LoadMaps(cache);
    ASSERT_NE(t.Image(0, kColourMap), nullptr);
    frames.push_back(t.Image(0, kColourMap)->texels);
    t.Release();
  }
  EXPECT_EQ(cache.Loads(), 2u);  // the repeated frame is not read again
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_NE(frames[0], frames[2]);
}

TEST_F(MapCache, RecordDetailsGiveRepeatsBumpStrengthAndFacetsAProjection) {
  const std::vector<MapEntry> maps = {{2, 2002, "RG.PPM"}};
  const std::vector<MaqMapDetail> details = {{2.5, 0, 25}};
  TextureMaps t;
  t.InitListeMap(maps, details, {{0, {1, 1, 0}}}, frame, settings);
  EXPECT_DOUBLE_EQ(t.Slot(0, kColourMap).prop.repeatX, 2.5);
  EXPECT_DOUBLE_EQ(t.Slot(0, kColourMap).prop.repeatY, 1);  // 0 would collapse the map
  EXPECT_DOUBLE_EQ(t.Slot(0, kBumpMap).prop.bumpFactor, 1.5);
  t.LoadMaps();
  // A hit without parameters (a facet) reads the map by the spherical
  // projection round the object's frame: a texel of the map, not white.
  for (const Vec3& p : {Vec3{10, 0, -50}, Vec3{-10, 3, -50}, Vec3{0, 0, 0}}) {
    const std::uint32_t c = t.Lookup(0, kColourMap, -1, -1, p, frame);
    EXPECT_TRUE(c == 0xFF0000u || c == 0x00FF00u || c == 0xFFFFFFu) << std::hex << c;
  }
  EXPECT_NE(t.Lookup(0, kColourMap, -1, -1, {10, 0, -50}, frame), 0xFFFFFFu);
  t.Release();
}

}  // namespace
}  // namespace tessaran
