#include "imaging/bmp.h"

#include <gtest/gtest.h>

#include "imaging/tests/format_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kSlot = 5;

struct BmpSpec {
  std::uint32_t infoSize = 40;
  std::int32_t width = 2, height = 2;
  std::uint16_t planes = 1, bits = 24;
  std::uint32_t compression = 0, clrUsed = 0;
  std::vector<std::uint32_t> masks;    // after the 40 fields
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::vector<std::uint8_t> pixels;
  std::int64_t offsetShift = 0;  // moves the pixel offset
};

Bytes BmpFile(const BmpSpec& s) {
  Bytes out;
  ByteWriter w(out);
  const std::uint32_t headers = 14 + s.infoSize + (s.infoSize == 40 ? 4 * s.masks.size() : 0);
  const std::uint32_t offset = std::uint32_t(headers + 4 * s.palette.size() + s.offsetShift);
  w.U8('B'), w.U8('M'), w.U32LE(0), w.U32LE(0), w.U32LE(offset);
  w.U32LE(s.infoSize), w.U32LE(std::uint32_t(s.width)), w.U32LE(std::uint32_t(s.height));
  w.U16LE(s.planes), w.U16LE(s.bits), w.U32LE(s.compression), w.U32LE(0), w.U32LE(0), w.U32LE(0);
  w.U32LE(s.clrUsed), w.U32LE(0);
  for (auto m : s.masks) w.U32LE(m);
  if (s.infoSize > 40) w.Zeros(s.infoSize - 40 - 4 * s.masks.size());
  for (auto c : s.palette)
    w.U8(std::uint8_t(c)), w.U8(std::uint8_t(c >> 8)), w.U8(std::uint8_t(c >> 16)), w.U8(0);
  for (auto b : s.pixels) w.U8(b);
  return out;
}

TEST(BmpReader, DecodesEverySampleAsItsReference) {
  int files = 0;
  for (const auto& file : SampleFiles("bmp", ".bmp")) {
    if (Refused(file)) continue;
    SCOPED_TRACE(file.filename().string());
    PictureHeader header;
    ASSERT_EQ(ReadBmp(file, kSlot, 2412, &header), 1);
    RgbPicture reference = ReadPpmFile(file.string() + ".ref.ppm");
    // 5- and 6-bit channels are widened by repeating their bits; the
    // reference decoder rounds c × 255 / 31 instead: at most 1 apart.
    int tolerance = header.planes == 16 ? 1 : 0;
    EXPECT_EQ(PixelsOff(FromSlot(kSlot), reference, tolerance), 0u);
    ++files;
  }
  EXPECT_EQ(files, 6);
}

TEST(BmpReader, OneAndFourBitPicturesKeepTheirIndices) {
  PictureHeader header;
  ASSERT_EQ(ReadBmp(TestData("bmp/b1_33x20.bmp"), kSlot, 2412, &header), 1);
  EXPECT_EQ(header.planes, 1);
  EXPECT_EQ(header.paletteSize, 2);
  EXPECT_EQ(VimSlot(kSlot).bytesPerPixel, 1);
  ASSERT_EQ(ReadBmp(TestData("bmp/b4_40x30.bmp"), kSlot, 2412, &header), 1);
  EXPECT_EQ(VimSlot(kSlot).bytesPerPixel, 0);  // a 4-bit image
}

TEST(BmpReader, RunLengthPicturesAreRefused) {
  MessageLog log;
  EXPECT_EQ(ReadBmp(TestData("bmp/refuse_rle8_40x30.bmp"), kSlot, 2412, nullptr), 0);
  EXPECT_TRUE(log.Has(255));
  EXPECT_TRUE(log.Has(259));
}

TEST(BmpReader, LongHeadersAndMasksGiveTheirChannels) {
  auto folder = ScratchFolder("bmp-masks");
  // 32 bits with red in the low byte and blue in the high byte, in the
  // 108- and 124-byte headers; 16 bits as 4-4-4 after a 40-byte header.
  for (std::uint32_t infoSize : {108u, 124u}) {
    SCOPED_TRACE(infoSize);
    BmpSpec s;
    s.infoSize = infoSize, s.width = 1, s.height = 1, s.bits = 32, s.compression = 3;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    s.pixels = {0x11, 0x22, 0x33, 0x44};
    WriteBytes(folder / "m.bmp", BmpFile(s));
    ASSERT_EQ(ReadBmp(folder / "m.bmp", kSlot, 2412, nullptr), 1);
    EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0x112233);
  }
  BmpSpec s;
  s.width = 1, s.height = 1, s.bits = 16, s.compression = 3;
  s.masks = {0x0F00, 0x00F0, 0x000F};
  s.pixels = {0x5A, 0x03, 0, 0};
  WriteBytes(folder / "m.bmp", BmpFile(s));
  ASSERT_EQ(ReadBmp(folder / "m.bmp", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0x3355AA);
}

TEST(BmpReader, NegativeHeightStoresTheTopLineFirst) {
  auto folder = ScratchFolder("bmp-topdown");
  BmpSpec s;
  s.width = 1, s.height = -2;
  s.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  WriteBytes(folder / "t.bmp", BmpFile(s));
  ASSERT_EQ(ReadBmp(folder / "t.bmp", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0x030201);
  EXPECT_EQ(VimGetPixel(kSlot, 1, 0), 0x060504);
}

TEST(BmpReader, BadFilesGiveANumberedMessageAndAValidSlot) {
  auto folder = ScratchFolder("bmp-bad");
  BmpSpec good;
  good.bits = 8, good.width = 4, good.height = 1;
  good.palette = {0x111111, 0x222222};
  good.pixels = {0, 1, 7, 1};
  BmpSpec core = good, planes = good, wide = good, zero = good, offset = good, truncated = good,
          badMask = good, twelve = good;
  core.infoSize = 12;
  planes.planes = 2;
  wide.width = 70000;
  zero.height = 0;
  offset.offsetShift = 1000;
  truncated.height = 40000;
  badMask.bits = 16, badMask.compression = 3, badMask.masks = {0xF0F0, 0x0F00, 0x000F};
  twelve.bits = 12;
  struct Case {
    const char* name;
    Bytes bytes;
    int result, message;
  } cases[] = {
      {"core header", BmpFile(core), 0, 254},
      {"two planes", BmpFile(planes), 0, 259},
      {"width over 65535", BmpFile(wide), 0, 259},
      {"height 0", BmpFile(zero), 0, 259},
      {"pixels beyond the file", BmpFile(offset), 0, 259},
      {"pixels cut short", BmpFile(truncated), 0, 230},
      {"mask in two pieces", BmpFile(badMask), 0, 259},
      {"12 bits", BmpFile(twelve), 0, 259},
      {"no magic", Bytes(60), 0, 259},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "bad.bmp", c.bytes);
    MessageLog log;
    EXPECT_EQ(ReadBmp(folder / "bad.bmp", kSlot, 2412, nullptr), c.result);
    EXPECT_TRUE(log.Has(c.message));
  }
  // More colours than 8 bits can index, and more than the file holds: the
  // entries held are read, the others are black.
  good.clrUsed = 5000;
  WriteBytes(folder / "good.bmp", BmpFile(good));
  ASSERT_EQ(ReadBmp(folder / "good.bmp", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 1), 0x222222);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 2), 0);
}

TEST(BmpWriter, SizeFieldHoldsTheFileSizeInBytes) {
  auto folder = ScratchFolder("bmp-size");
  VimCreate(kSlot, 640, 480, 24);
  ASSERT_EQ(WriteBmp(folder / "s.bmp", -1, kSlot, 480), 0);
  Bytes bytes = FileBytes(folder / "s.bmp");
  ASSERT_EQ(bytes.size(), 921654u);
  ByteReader r(bytes);
  r.Skip(2);
  EXPECT_EQ(r.U32LE(), 921654u);
}

TEST(BmpWriter, OtherProgramsReadEveryDepthAsTheImage) {
  if (!HaveTool("bmptoppm")) GTEST_SKIP() << "netpbm is not installed";
  auto folder = ScratchFolder("bmp-write");
  auto check = [&](int written) {
    RgbPicture source = FromSlot(kSlot);
    ASSERT_EQ(written, 0);
    ASSERT_TRUE(RunTool("bmptoppm " + (folder / "out.bmp").string() + " > " +
                        (folder / "out.ppm").string() + " 2>/dev/null"));
    EXPECT_EQ(PixelsOff(ReadPpmFile(folder / "out.ppm"), source), 0u);
    ASSERT_EQ(ReadBmp(folder / "out.bmp", 6, 2412, nullptr), 1);
    EXPECT_EQ(PixelsOff(FromSlot(6), source), 0u);
  };
  {
    SCOPED_TRACE("24-bit");
    DrawTestPicture(kSlot, 131, 19);
    check(WriteBmp(folder / "out.bmp", -1, kSlot, 19));
  }
  for (int bits : {8, 4}) {
    SCOPED_TRACE(bits);
    DrawPalettePicture(kSlot, 77, 19, bits);
    check(WriteBmp(folder / "out.bmp", -1, VimSlot(kSlot)));
  }
}

}  // namespace
}  // namespace tessaran
