#include "imaging/pcx.h"

#include <gtest/gtest.h>

#include "imaging/tests/format_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kSlot = 5;

// A PCX header for a picture of the given planes, then the given data.
Bytes PcxFile(int bits, int planes, int width, int height, int planeBytes,
              std::vector<std::uint8_t> data) {
  Bytes out;
  ByteWriter w(out);
  w.U8(10), w.U8(5), w.U8(1), w.U8(std::uint8_t(bits));
  w.U16LE(0), w.U16LE(0), w.U16LE(std::uint16_t(width - 1)), w.U16LE(std::uint16_t(height - 1));
  w.U16LE(72), w.U16LE(72);
  for (int i = 0; i < 48; ++i) w.U8(std::uint8_t(i * 5));
  w.U8(0), w.U8(std::uint8_t(planes)), w.U16LE(std::uint16_t(planeBytes));
  w.Zeros(60);
  for (auto b : data) w.U8(b);
  return out;
}

TEST(PcxReader, DecodesEverySampleAsItsReference) {
  int files = 0;
  for (const auto& file : SampleFiles("pcx", ".pcx")) {
    SCOPED_TRACE(file.filename().string());
    PictureHeader header;
    ASSERT_EQ(ReadPcx(file, kSlot, 2412, &header), 1);
    RgbPicture reference = ReadPpmFile(file.string() + ".ref.ppm");
    EXPECT_EQ(PixelsOff(FromSlot(kSlot), reference), 0u);
    ++files;
  }
  EXPECT_EQ(files, 3);
}

TEST(PcxReader, PalettePicturesFillAnEightBitImage) {
  PictureHeader header;
  ASSERT_EQ(ReadPcx(TestData("pcx/p4_4plane_40x30.pcx"), kSlot, 2412, &header), 1);
  EXPECT_EQ(header.planes, 4);
  EXPECT_EQ(header.paletteSize, 16);
  EXPECT_EQ(VimSlot(kSlot).bytesPerPixel, 1);
  ASSERT_EQ(ReadPcx(TestData("pcx/p8_256pal_41x23.pcx"), kSlot, 2412, &header), 1);
  EXPECT_EQ(header.paletteSize, 256);
  EXPECT_EQ(VimSlot(kSlot).bytesPerPixel, 1);
}

TEST(PcxReader, RunsCarryAcrossPlanesButNotAcrossLines) {
  auto folder = ScratchFolder("pcx-runs");
  // 2 × 2 true colour, 2 bytes a plane line: a run of 5 fills red and green
  // of line 0 and one blue byte; a run of 63 ends line 1 and loses the rest.
  WriteBytes(folder / "r.pcx", PcxFile(8, 3, 2, 2, 2, {0xC5, 0x11, 0x22, 0xFF, 0x33}));
  ASSERT_EQ(ReadPcx(folder / "r.pcx", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0x111111);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 1), 0x111122);
  EXPECT_EQ(VimGetPixel(kSlot, 1, 1), 0x333333);
}

TEST(PcxReader, BadFilesGiveANumberedMessageAndAValidSlot) {
  auto folder = ScratchFolder("pcx-bad");
  Bytes wrongMaker = PcxFile(8, 1, 4, 4, 4, std::vector<std::uint8_t>(16, 1));
  wrongMaker[0] = std::byte{11};
  Bytes upsideDown = PcxFile(8, 1, 4, 4, 4, {});
  upsideDown[8] = std::byte{0}, upsideDown[9] = std::byte{0}, upsideDown[4] = std::byte{5};
  struct Case {
    const char* name;
    Bytes bytes;
    int result, message;
  } cases[] = {
      {"not PCX", wrongMaker, 0, 219},
      {"x max before x min", upsideDown, 0, 219},
      {"plane line shorter than the width", PcxFile(8, 1, 40, 4, 8, {}), 0, 219},
      {"two bits a plane", PcxFile(2, 1, 4, 4, 4, {}), 0, 219},
      {"short header", Bytes(40), 0, 219},
      {"huge picture, no data", PcxFile(8, 3, 65535, 65535, 65535, {0xC1, 0}), 0, 230},
      // The data ends inside line 1: the line is kept with zeros after it.
      {"data ends early", PcxFile(8, 1, 4, 2, 4, {0xC4, 9, 0xC2, 8}), 1, 230},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "bad.pcx", c.bytes);
    MessageLog log;
    EXPECT_EQ(ReadPcx(folder / "bad.pcx", kSlot, 2412, nullptr), c.result);
    EXPECT_TRUE(log.Has(c.message));
  }
  ASSERT_EQ(VimSlot(kSlot).height, 2u);
  EXPECT_EQ(VimSlot(kSlot).Line(1)[1], 8);
  EXPECT_EQ(VimSlot(kSlot).Line(1)[2], 0);
}

TEST(PcxWriter, RunCodingOfSingleHighBytesAndLongRuns) {
  auto folder = ScratchFolder("pcx-code");
  VimCreate(kSlot, 104, 1, 8);
  std::uint8_t* line = VimSlot(kSlot).Line(0);
  line[0] = 0xC5;
  line[1] = 0x07;
  std::fill(line + 2, line + 102, 0x42);  // 100 equal bytes
  line[102] = 0x01, line[103] = 0x02;
  ASSERT_EQ(WritePcx(folder / "c.pcx", -1, VimSlot(kSlot)), 1);
  Bytes bytes = FileBytes(folder / "c.pcx");
  std::vector<int> data;
  for (std::size_t at = 128; at < 128 + 9; ++at) data.push_back(ByteAt(bytes, at));
  EXPECT_EQ(data, (std::vector<int>{0xC1, 0xC5, 0x07, 0xFF, 0x42, 0xE5, 0x42, 0x01, 0x02}));
  EXPECT_EQ(ByteAt(bytes, bytes.size() - 769), 12);  // the palette follows
}

TEST(PcxWriter, OtherProgramsReadEveryDepthAsTheImage) {
  if (!HaveTool("pcxtoppm")) GTEST_SKIP() << "netpbm is not installed";
  auto folder = ScratchFolder("pcx-write");
  auto check = [&](int slot, int written) {
    RgbPicture source = FromSlot(slot);
    ASSERT_EQ(written, 1);
    ASSERT_TRUE(RunTool("pcxtoppm " + (folder / "out.pcx").string() + " > " +
                        (folder / "out.ppm").string() + " 2>/dev/null"));
    EXPECT_EQ(PixelsOff(ReadPpmFile(folder / "out.ppm"), source), 0u);
    ASSERT_EQ(ReadPcx(folder / "out.pcx", 6, 2412, nullptr), 1);
    EXPECT_EQ(PixelsOff(FromSlot(6), source), 0u);
  };
  {
    SCOPED_TRACE("24-bit");
    DrawTestPicture(kSlot, 133, 21);
    check(kSlot, WritePcx(folder / "out.pcx", -1, kSlot));
  }
  for (int bits : {8, 4}) {
    SCOPED_TRACE(bits);
    DrawPalettePicture(kSlot, 77, 19, bits);
    check(kSlot, WritePcx(folder / "out.pcx", -1, VimSlot(kSlot)));
  }
}

TEST(PcxWriter, AFailedWriteLeavesTheOldFile) {
  auto folder = ScratchFolder("pcx-keep");
  DrawPalettePicture(kSlot, 8, 8, 8);
  MessageLog log;
  // The folder does not exist: nothing can be created there.
  EXPECT_EQ(WritePcx(folder / "none" / "x.pcx", -1, VimSlot(kSlot)), 0);
  EXPECT_TRUE(log.Has(239));
  VimFree(kSlot);
  EXPECT_EQ(WritePcx(folder / "y.pcx", -1, kSlot), 0);
  EXPECT_TRUE(log.Has(258));
  EXPECT_FALSE(std::filesystem::exists(folder / "y.pcx"));
}

}  // namespace
}  // namespace tessaran
