#include "storage/virtim.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/report.h"

namespace tessaran {
namespace {

class RecordingReporter : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  std::vector<int> numbers;
};

class SilentProgress : public ProgressDisplay {
 public:
  void Open(std::string_view caption, std::string_view) override { captions.emplace_back(caption); }
  void Set(double) override {}
  void Close() override { ++closed; }
  std::vector<std::string> captions;
  int closed = 0;
};

class VirtImTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallReporter(&reporter);
    InstallProgress(&progress);
  }
  void TearDown() override {
    for (int i = 0; i < kVirtImSlots; ++i) VimFree(i);
    InstallReporter(nullptr);
    InstallProgress(nullptr);
    SetVimMemoryForTesting(nullptr);
  }
  RecordingReporter reporter;
  SilentProgress progress;
};

std::uint32_t Le32(const std::array<std::uint8_t, 40>& h, int at) {
  return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | std::uint32_t(h[at + 3]) << 24;
}

TEST_F(VirtImTest, StridesAndHeadersFollowTheDibRules) {
  ASSERT_EQ(VimCreate(5, 1, 3, 24), 1);
  EXPECT_EQ(VimSlot(5).stride, 4);
  EXPECT_EQ(VimSlot(5).pixels.size(), 3u * 4 + 4);
  ASSERT_EQ(VimCreate(6, 3, 2, -4), 1);
  EXPECT_EQ(VimSlot(6).stride, 4);
  EXPECT_EQ(VimSlot(6).BitCount(), 4);
  ASSERT_EQ(VimCreate(7, 640, 2, 8), 1);
  EXPECT_EQ(VimSlot(7).stride, 640);
  ASSERT_EQ(VimCreate(8, 5, 7, 24), 1);
  const VirtIm& image = VimSlot(8);
  EXPECT_EQ(image.stride, 16);
  EXPECT_EQ(Le32(image.header, 0), 40u);
  EXPECT_EQ(Le32(image.header, 4), 5u);
  EXPECT_EQ(Le32(image.header, 8), 7u);
  EXPECT_EQ(image.header[12], 1);
  EXPECT_EQ(image.header[14], 24);
  EXPECT_EQ(Le32(image.header, 16), 0u);
  EXPECT_EQ(Le32(image.header, 20), 7u * 16);
  EXPECT_EQ(image.slot, 8);
}

TEST_F(VirtImTest, FreshImagesAreBlackAndEmptySlotsAnswerAsDefined) {
  ASSERT_EQ(VimCreate(1, 4, 4, 8), 1);
  EXPECT_EQ(VimGetPixel(1, 3, 3), 0);
  std::vector<std::uint8_t> line(4, 0xAA);
  EXPECT_EQ(VimGetLine(1, line.data(), 0, 0), 1);
  EXPECT_EQ(line, std::vector<std::uint8_t>(4, 0));
  EXPECT_EQ(VimGetPixel(9, 0, 0), -1);
  EXPECT_EQ(VimGetLine(9, line.data(), 0, 0), 0);
  EXPECT_EQ(VimPutLine(9, line.data(), 0, 0, 0), 0);
  EXPECT_EQ(StrechCopy(9, 1, 0), 0);
  EXPECT_EQ(VimAverage(9, 0, 0, 1, 1), -1);
  EXPECT_EQ(VimCreate(50, 4, 4, 8), 0);
  EXPECT_EQ(VimCreate(3, 0, 4, 8), 0);
  VimFree(9);  // freeing an empty slot does nothing
}

TEST_F(VirtImTest, PixelsAreStoredBottomUpBlueGreenRed) {
  ASSERT_EQ(VimCreate(1, 2, 2, 24), 1);
  EXPECT_EQ(VimPutPixel(1, 0x112233, 0, 1, 0), 1);
  const VirtIm& image = VimSlot(1);
  // Line 0 is the top line: the last stored row.
  EXPECT_EQ(image.pixels[8 + 3], 0x33);
  EXPECT_EQ(image.pixels[8 + 4], 0x22);
  EXPECT_EQ(image.pixels[8 + 5], 0x11);
  EXPECT_EQ(image.pixels[8 + 6], 0);  // the byte after the pixel is kept
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0x112233);

  ASSERT_EQ(VimCreate(2, 3, 1, -4), 1);
  VimSlot(2).SetPaletteColour(7, 0xABCDEF);
  VimSlot(2).pixels[0] = 0x07;  // x = 0 high nibble, x = 1 low nibble
  EXPECT_EQ(VimGetPixel(2, 0, 0), 0);
  EXPECT_EQ(VimGetPixel(2, 0, 1), 0xABCDEF);
  EXPECT_EQ(VimSlot(2).palette[7 * 4 + 0], 0xEF);  // RGBQUAD: blue first
}

TEST_F(VirtImTest, WriteModesAndBoundsOfPixelsAndLines) {
  ASSERT_EQ(VimCreate(1, 3, 2, 24), 1);
  EXPECT_EQ(VimPutPixel(1, 0xFF, 0, 3, 0), 0);
  EXPECT_EQ(VimPutPixel(1, 0xFF, 2, 0, 0), 0);
  VimPutPixel(1, 0x010203, 0, 0, 0);
  EXPECT_EQ(VimPutPixel(1, 0x0A0B0C, 0, 0, -1), 1);  // not over black: kept
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0x010203);
  VimPutPixel(1, 0x0A0B0C, 0, 1, -1);  // over black: written
  EXPECT_EQ(VimGetPixel(1, 0, 1), 0x0A0B0C);
  EXPECT_EQ(VimPutPixel(1, 0, 0, 0, 1), 1);  // zero is transparent
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0x010203);
  VimPutPixel(1, 0, 0, 0, 0);
  EXPECT_EQ(VimGetPixel(1, 0, 0), 0);

  std::vector<std::uint32_t> ints = {0x112233, 0, 0x445566};
  EXPECT_EQ(VimPutLine(1, ints.data(), 2, 1, 0), 0);
  EXPECT_EQ(VimPutLine(1, ints.data(), 1, 1, 0), 1);
  std::vector<std::uint32_t> over = {0, 0x777777, 0};
  EXPECT_EQ(VimPutLine(1, over.data(), 1, 1, 1), 1);
  EXPECT_EQ(VimGetPixel(1, 1, 0), 0x112233);
  EXPECT_EQ(VimGetPixel(1, 1, 1), 0x777777);
  EXPECT_EQ(VimGetPixel(1, 1, 2), 0x445566);
  std::vector<std::uint32_t> back(3, 0xEE000000u);
  VimGetLine(1, back.data(), 1, 1);
  EXPECT_EQ(back[2], 0xEE445566u);  // byte 3 left as it was

  ASSERT_EQ(VimCreate(2, 4, 1, 8), 1);
  std::vector<std::uint8_t> indices = {1, 0, 3, 0};
  std::vector<std::uint8_t> base = {9, 9, 9, 9};
  VimPutLine(2, base.data(), 0, 0, 0);
  VimPutLine(2, indices.data(), 0, 0, 1);
  VimGetLine(2, base.data(), 0, 0);
  EXPECT_EQ(base, (std::vector<std::uint8_t>{1, 9, 3, 9}));
}

TEST_F(VirtImTest, AverageClipsToTheImageAndTruncates) {
  ASSERT_EQ(VimCreate(1, 3, 3, 24), 1);
  VimPutPixel(1, 0x0000FF, 1, 1, 0);
  VimPutPixel(1, 0x000001, 1, 2, 0);
  VimPutPixel(1, 0x020000, 2, 1, 0);
  // 2 × 2 block at (1, 1): blue (255 + 1) / 4, red 2 / 4.
  EXPECT_EQ(VimAverage(1, 1, 1, 5, 5), 0x000040);
  EXPECT_EQ(VimAverage(1, 3, 0, 1, 1), 0);
  EXPECT_EQ(VimAverage(1, 0, 0, 0, 1), -1);
}

TEST_F(VirtImTest, StrechCopyDuplicatesAndAveragesBlocks) {
  ASSERT_EQ(VimCreate(1, 2, 2, 24), 1);
  VimPutPixel(1, 0x100000, 0, 0, 0);
  VimPutPixel(1, 0x002000, 0, 1, 0);
  VimPutPixel(1, 0x000030, 1, 0, 0);
  VimPutPixel(1, 0x405060, 1, 1, 0);
  ASSERT_EQ(VimCreate(4, 4, 4, 24), 1);
  ASSERT_EQ(StrechCopy(1, 4, 0), 1);
  for (std::uint32_t y = 0; y < 4; ++y)
    for (std::uint32_t x = 0; x < 4; ++x)
      EXPECT_EQ(VimGetPixel(4, y, x), VimGetPixel(1, y / 2, x / 2)) << x << "," << y;
  EXPECT_EQ(progress.captions.back(), MessageText(159));
  EXPECT_EQ(progress.closed, 1);

  VimPutPixel(4, 0x030303, 0, 0, 0);  // block (0,0): three of 0x100000 and one 0x030303
  ASSERT_EQ(VimCreate(3, 2, 2, 24), 1);
  ASSERT_EQ(StrechCopy(4, 3, 1), 1);
  EXPECT_EQ(VimGetPixel(3, 0, 0), ((0x30 + 3) / 4) << 16 | (3 / 4) << 8 | 3 / 4);
  EXPECT_EQ(VimGetPixel(3, 1, 1), 0x405060);
  EXPECT_EQ(progress.captions.back(), MessageText(160));

  ASSERT_EQ(VimCreate(5, 2, 2, 24), 1);
  ASSERT_EQ(StrechCopy(1, 5, 0), 1);
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 2; ++x) EXPECT_EQ(VimGetPixel(5, y, x), VimGetPixel(1, y, x));
}

TEST_F(VirtImTest, StrechCopyBetweenUnevenSizesCoversEveryPixel) {
  ASSERT_EQ(VimCreate(1, 3, 5, 24), 1);
  for (std::uint32_t y = 0; y < 5; ++y)
    for (std::uint32_t x = 0; x < 3; ++x) VimPutPixel(1, 0x808080, y, x, 0);
  ASSERT_EQ(VimCreate(2, 7, 2, 24), 1);  // grows across, shrinks down
  ASSERT_EQ(StrechCopy(1, 2, 0), 1);
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 7; ++x) EXPECT_EQ(VimGetPixel(2, y, x), 0x808080);
}

void FillGradient(int slot, std::uint32_t width, std::uint32_t height) {
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      VimPutPixel(slot, (x * 7 % 256) << 16 | (y * 5 % 256) << 8 | ((x + y) % 256), y, x, 0);
}

std::uint32_t Mean4(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  std::uint32_t out = 0;
  for (int s = 0; s < 24; s += 8)
    out |= (((a >> s & 255) + (b >> s & 255) + (c >> s & 255) + (d >> s & 255)) / 4) << s;
  return out;
}

TEST_F(VirtImTest, FinalAntialiasStepOneAndTwo) {
  ASSERT_EQ(VimCreate(0, 641, 481, 24), 1);
  FillGradient(0, 641, 481);
  ASSERT_EQ(VimCreate(3, 640, 480, 24), 1);
  ASSERT_EQ(VimFinalAntialias(0, 3), 1);
  for (std::uint32_t y : {0u, 1u, 479u})
    for (std::uint32_t x : {0u, 1u, 639u}) {
      std::uint32_t expected = Mean4(VimGetPixel(0, y, x), VimGetPixel(0, y, x + 1),
                                     VimGetPixel(0, y + 1, x), VimGetPixel(0, y + 1, x + 1));
      EXPECT_EQ(std::uint32_t(VimGetPixel(3, y, x)), expected) << x << "," << y;
    }

  ASSERT_EQ(VimCreate(4, 1280, 960, 24), 1);
  FillGradient(4, 1280, 960);
  ASSERT_EQ(VimFinalAntialias(4, 3), 1);
  for (std::uint32_t y : {0u, 239u, 479u})
    for (std::uint32_t x : {0u, 333u, 639u}) {
      std::uint32_t expected =
          Mean4(VimGetPixel(4, 2 * y, 2 * x), VimGetPixel(4, 2 * y, 2 * x + 1),
                VimGetPixel(4, 2 * y + 1, 2 * x), VimGetPixel(4, 2 * y + 1, 2 * x + 1));
      EXPECT_EQ(std::uint32_t(VimGetPixel(3, y, x)), expected) << x << "," << y;
    }
}

TEST_F(VirtImTest, FinalAntialiasFallsBackToStretch) {
  ASSERT_EQ(VimCreate(4, 800, 600, 24), 1);
  FillGradient(4, 800, 600);
  ASSERT_EQ(VimCreate(5, 640, 480, 24), 1);
  ASSERT_EQ(VimFinalAntialias(4, 5), 1);
  ASSERT_EQ(VimCreate(6, 640, 480, 24), 1);
  StrechCopy(4, 6, 0);
  EXPECT_EQ(VimSlot(5).pixels, VimSlot(6).pixels);

  ASSERT_EQ(VimCreate(7, 4, 4, 8), 1);  // 8-bit source of step 2
  VimSlot(7).SetPaletteColour(1, 0x204060);
  VimPutPixel(7, 1, 0, 0, 0);
  ASSERT_EQ(VimCreate(8, 2, 2, 24), 1);
  ASSERT_EQ(VimFinalAntialias(7, 8), 1);
  EXPECT_EQ(VimGetPixel(8, 0, 0), Mean4(0x204060, 0, 0, 0));
  EXPECT_EQ(progress.captions.back(), MessageText(159));  // a stretch, not slot 0's caption
}

TEST_F(VirtImTest, SwapMovesWholeImagesAndKeepsSlotNumbers) {
  ASSERT_EQ(VimCreate(1, 3, 2, 24), 1);
  VimPutPixel(1, 0x123456, 1, 2, 0);
  ASSERT_EQ(VimCreate(2, 5, 4, 8), 1);
  VimSlot(2).SetPaletteColour(3, 0x00FF00);
  VimPutPixel(2, 3, 3, 4, 0);
  VimSwap(1, 2);
  const VirtIm& a = VimSlot(1);
  EXPECT_EQ(a.width, 5u);
  EXPECT_EQ(a.bytesPerPixel, 1);
  EXPECT_EQ(a.stride, 8);
  EXPECT_EQ(a.header[14], 8);
  EXPECT_EQ(Le32(a.header, 4), 5u);
  EXPECT_EQ(a.slot, 1);
  EXPECT_EQ(VimGetPixel(1, 3, 4), 0x00FF00);
  const VirtIm& b = VimSlot(2);
  EXPECT_EQ(b.width, 3u);
  EXPECT_EQ(b.stride, 12);
  EXPECT_EQ(b.header[14], 24);
  EXPECT_EQ(b.slot, 2);
  EXPECT_EQ(VimGetPixel(2, 1, 2), 0x123456);
}

TEST_F(VirtImTest, PackedDibIsHeaderPaletteAndPixels) {
  ASSERT_EQ(VimCreate(1, 3, 2, 8), 1);
  EXPECT_EQ(VimPackedDib(1).size(), 40u + 1024 + 2 * 4);
  ASSERT_EQ(VimCreate(1, 3, 2, 24), 1);
  EXPECT_EQ(VimPackedDib(1).size(), 40u + 2 * 12);
  EXPECT_TRUE(VimPackedDib(11).empty());
}

TEST_F(VirtImTest, ShortageOfMemoryShowsMessage156AndLeavesTheSlotEmpty) {
  ASSERT_EQ(VimCreate(1, 3, 2, 8), 1);
  SetVimMemoryForTesting([]() -> std::uint64_t { return 1 << 20; });
  EXPECT_EQ(VimCreate(1, 1000, 1000, 24), 0);
  EXPECT_TRUE(VimSlot(1).Empty());
  ASSERT_FALSE(reporter.numbers.empty());
  EXPECT_EQ(reporter.numbers.back(), 156);
}

}  // namespace
}  // namespace tessaran
