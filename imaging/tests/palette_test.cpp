// Colour reduction: what survives, what is merged, how pixels are mapped,
// and the table spilling to a virtual table.
#include <gtest/gtest.h>

#include <set>

#include "imaging/palette.h"
#include "imaging/tests/animation_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kTrue = 22;
constexpr int kIndexed = 23;

std::uint32_t PaletteRgb(const VirtIm& dib, int index) { return dib.PaletteColour(index); }

// A photograph-like picture: smooth gradients with fine noise.
void DrawPhoto(int width, int height, int seed) {
  VimCreate(kTrue, width, height, 24);
  std::uint32_t s = std::uint32_t(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* line = VimSlot(kTrue).Line(std::uint32_t(y));
    for (int x = 0; x < width; ++x) {
      s = s * 1664525 + 1013904223;
      int noise = int(s >> 28) - 8;
      line[3 * x + 2] = std::uint8_t(std::clamp(x * 255 / width + noise, 0, 255));
      line[3 * x + 1] = std::uint8_t(std::clamp(y * 255 / height - noise, 0, 255));
      line[3 * x] = std::uint8_t(std::clamp((x + y) * 127 / (width + height) + 64 + noise, 0, 255));
    }
  }
}

TEST(Palette, DistancesAreChannelSumsPlusTheLargest) {
  EXPECT_EQ(PalDistance(10, 20, 30, 10, 21, 30), 2);
  EXPECT_EQ(PalDistance(0, 0, 0, 63, 63, 63), 252);
  EXPECT_EQ(PalDistance(5, 9, 1, 2, 9, 7), 3 + 6 + 6);
}

TEST(Palette, TwoHundredColoursSurviveUntouched) {
  VimCreate(kTrue, 200, 3, 24);
  std::set<std::uint32_t> colours;
  for (int i = 0; i < 200; ++i) {
    // Multiples of 4, so the 6-bit reduction loses nothing; none is black.
    std::uint32_t r6 = std::uint32_t(i % 8 * 8), g6 = std::uint32_t(i / 8 % 5 * 12), b6 = std::uint32_t(i / 40 * 12 + 1);
    std::uint32_t rgb = r6 << 18 | g6 << 10 | b6 << 2;
    colours.insert(rgb);
    for (int y = 0; y < 3; ++y) VimPutPixel(kTrue, rgb, std::uint32_t(y), std::uint32_t(i), 0);
  }
  ASSERT_EQ(colours.size(), 200u);
  VimCreate(kIndexed, 200, 3, 8);
  ColourReduction pal;
  ASSERT_EQ(ImageTo8Bit(pal, kTrue, VimSlot(kIndexed), false), 1);
  EXPECT_EQ(pal.palette.size(), 201u) << "black and the 200 colours";
  EXPECT_EQ(PaletteRgb(VimSlot(kIndexed), 0), 0u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 200; ++x) {
      std::uint32_t original = std::uint32_t(VimGetPixel(kTrue, y, x));
      std::uint32_t mapped = std::uint32_t(VimGetPixel(kIndexed, y, x));
      // The palette widens 6 bits to 8 by repeating the top bits.
      EXPECT_EQ(mapped & 0xFCFCFC, original) << x;
    }
}

TEST(Palette, ManyColoursAreMergedToCloseOnes) {
  DrawPhoto(256, 192, 1);
  VimCreate(kIndexed, 256, 192, 8);
  ColourReduction pal;
  ASSERT_EQ(ImageTo8Bit(pal, kTrue, VimSlot(kIndexed), false), 1);
  EXPECT_LE(pal.palette.size(), 256u);
  EXPECT_GE(pal.palette.size(), 200u);
  double total = 0;
  int worst = 0;
  for (std::uint32_t y = 0; y < 192; ++y)
    for (std::uint32_t x = 0; x < 256; ++x) {
      int d = ChannelDistance(std::uint32_t(VimGetPixel(kTrue, y, x)), std::uint32_t(VimGetPixel(kIndexed, y, x)));
      total += d;
      worst = std::max(worst, d);
    }
  EXPECT_LT(total / (256 * 192), 16.0);  // the picture carries noise of ±8 a channel
  EXPECT_LT(worst, 48);
}

TEST(Palette, LaterFramesReuseTheFirstPalette) {
  DrawPhoto(64, 48, 1);
  VimCreate(kIndexed, 64, 48, 8);
  ColourReduction pal;
  ASSERT_EQ(ImageTo8Bit(pal, kTrue, VimSlot(kIndexed), false), 1);
  std::vector<std::uint8_t> first = VimSlot(kIndexed).palette;
  DrawPhoto(64, 48, 99);
  for (std::uint32_t x = 0; x < 64; ++x) VimPutPixel(kTrue, 0xFF0000, 0, x, 0);  // a colour the first frame lacks
  VimCreate(kIndexed, 64, 48, 8);
  ASSERT_EQ(ImageTo8Bit(pal, kTrue, VimSlot(kIndexed), true), 1);
  EXPECT_EQ(VimSlot(kIndexed).palette, first);
  // Wrong sizes and depths are refused.
  VimCreate(kIndexed, 63, 48, 8);
  EXPECT_EQ(ImageTo8Bit(pal, kTrue, VimSlot(kIndexed), true), 0);
  VimCreate(kIndexed, 64, 48, 24);
  EXPECT_EQ(ImageTo8Bit(pal, kTrue, VimSlot(kIndexed), true), 0);
}

// A render resumed after a stop takes up its animation's palette from the
// file: the later frames map to it as in the reduction that built it, for
// a palette of many colours and for one of a few dark ones.
TEST(Palette, ARestoredPaletteMapsLaterFramesAsTheOriginal) {
  for (int dark : {0, 1}) {
    DrawPhoto(64, 48, 1);
    if (dark) {
      for (std::uint32_t y = 0; y < 48; ++y)
        for (std::uint32_t x = 0; x < 64; ++x) VimPutPixel(kTrue, (x % 3) * 0x040404 + (y % 2) * 0x08, y, x, 0);
    }
    VimCreate(kIndexed, 64, 48, 8);
    ColourReduction built;
    ASSERT_EQ(ImageTo8Bit(built, kTrue, VimSlot(kIndexed), false), 1);
    ColourReduction restored;
    PalRestore(restored, VimSlot(kIndexed).palette.data());
    DrawPhoto(64, 48, 99);
    for (std::uint32_t x = 0; x < 64; ++x) VimPutPixel(kTrue, 0xFF0000 + x, 0, x, 0);
    VimCreate(kIndexed, 64, 48, 8);
    ASSERT_EQ(ImageTo8Bit(built, kTrue, VimSlot(kIndexed), true), 1);
    const VirtIm original = VimSlot(kIndexed);
    VimCreate(kIndexed, 64, 48, 8);
    ASSERT_EQ(ImageTo8Bit(restored, kTrue, VimSlot(kIndexed), true), 1);
    EXPECT_EQ(VimSlot(kIndexed).pixels, original.pixels) << dark;
    EXPECT_EQ(VimSlot(kIndexed).palette, original.palette) << dark;
  }
}

TEST(Palette, NearestIsStableAndDitherSplitsBetweenNeighbours) {
  ColourReduction pal;
  ASSERT_EQ(PalBegin(pal, nullptr, kPalTarget), 1);
  PalAddColour(pal, 0x404040);  // 6-bit 16, 16, 16
  PalAddColour(pal, 0x505050);  // 6-bit 20, 20, 20
  EXPECT_EQ(PalAddColour(pal, 0x404040), 2);
  PalReduce(pal);
  PalBuild(pal);
  PalEnd(pal);
  ASSERT_EQ(pal.palette.size(), 3u);
  int a = PalNearest(pal, 0x404040), b = PalNearest(pal, 0x505050);
  EXPECT_NE(a, b);
  EXPECT_EQ(PalNearest(pal, 0x484848), PalNearest(pal, 0x484848));
  int toA = 0;
  const int trials = 4000;
  for (int i = 0; i < trials; ++i) toA += PalDither(pal, 0x484848) == a;  // 6-bit 18: midway
  EXPECT_NEAR(double(toA) / trials, 0.5, 0.05);
  EXPECT_EQ(PalDither(pal, 0x404040), a) << "an exact colour is never dithered";
}

std::uint64_t LittleMemory() { return 0x4800 + 12 * 1000; }

TEST(Palette, ColourTableSpillsToAVirtualTableWithTheSameResult) {
  DrawPhoto(320, 240, 5);
  for (std::uint32_t y = 0; y < 240; ++y)  // keep the colours within the small table
    for (std::uint32_t x = 0; x < 320; ++x)
      VimPutPixel(kTrue, std::uint32_t(VimGetPixel(kTrue, y, x)) & 0xE0E0E0, y, x, 0);
  VimCreate(kIndexed, 320, 240, 8);
  ColourReduction inMemory;
  ASSERT_EQ(ImageTo8Bit(inMemory, kTrue, VimSlot(kIndexed), false), 1);
  std::vector<std::uint8_t> indices = VimSlot(kIndexed).pixels, palette = VimSlot(kIndexed).palette;

  SetPalAvailableMemoryForTesting(LittleMemory);
  ColourReduction spilled;
  ASSERT_EQ(PalBegin(spilled, nullptr, kPalTarget, 320 * 240), 1);
  EXPECT_TRUE(spilled.spill) << "1000 entries are fewer than one per 64 pixels";
  PalEnd(spilled);
  VimCreate(kIndexed, 320, 240, 8);
  ASSERT_EQ(ImageTo8Bit(spilled, kTrue, VimSlot(kIndexed), false), 1);
  SetPalAvailableMemoryForTesting(nullptr);
  EXPECT_EQ(VimSlot(kIndexed).palette, palette);
  EXPECT_EQ(VimSlot(kIndexed).pixels, indices);
}

}  // namespace
}  // namespace tessaran
