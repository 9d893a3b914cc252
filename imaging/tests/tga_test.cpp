#include "imaging/tga.h"

#include <gtest/gtest.h>

#include "imaging/tests/format_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kSlot = 5;

// An 18-byte header of a 24-bit picture, then the given pixel bytes.
Bytes TgaFile(int type, int width, int height, int descriptor, std::vector<std::uint8_t> data) {
  Bytes out;
  ByteWriter w(out);
  w.U8(0), w.U8(0), w.U8(std::uint8_t(type));
  w.Zeros(9);
  w.U16LE(std::uint16_t(width)), w.U16LE(std::uint16_t(height));
  w.U8(24), w.U8(std::uint8_t(descriptor));
  for (auto b : data) w.U8(b);
  return out;
}

TEST(TgaReader, DecodesEverySampleAsItsReference) {
  int files = 0;
  for (const auto& file : SampleFiles("tga", ".tga")) {
    if (Refused(file)) continue;
    SCOPED_TRACE(file.filename().string());
    PictureHeader header;
    ASSERT_EQ(ReadTga(file, kSlot, 2412, &header), 1);
    EXPECT_EQ(header.planes, 24);
    RgbPicture reference = ReadPpmFile(file.string() + ".ref.ppm");
    EXPECT_EQ(header.width, reference.width);
    EXPECT_EQ(PixelsOff(FromSlot(kSlot), reference), 0u);
    ++files;
  }
  EXPECT_EQ(files, 4);
}

TEST(TgaReader, RefusesIdFieldsColourMapsAndOtherDepths) {
  int refused = 0;
  for (const auto& file : SampleFiles("tga", ".tga")) {
    if (!Refused(file)) continue;
    SCOPED_TRACE(file.filename().string());
    MessageLog log;
    EXPECT_EQ(ReadTga(file, kSlot, 2412, nullptr), 0);
    EXPECT_TRUE(log.Has(251));
    ++refused;
  }
  EXPECT_EQ(refused, 4);
}

TEST(TgaReader, HeaderOnlyReadLeavesTheSlotAlone) {
  VimFree(kSlot);
  PictureHeader header;
  EXPECT_EQ(ReadTga(TestData("tga/t2_24_topdown_21x13.tga"), kSlot, -2, &header), 1);
  EXPECT_EQ(header.width, 21u);
  EXPECT_EQ(header.height, 13u);
  EXPECT_TRUE(VimSlot(kSlot).Empty());
}

TEST(TgaReader, RunLengthPacketsStopAtTheEndOfTheirLine) {
  auto folder = ScratchFolder("tga-packets");
  // Width 2: a run of 5 covers line 0 and loses 3 pixels; line 1 is a
  // literal of 3 whose third pixel is dropped.
  WriteBytes(folder / "a.tga", TgaFile(10, 2, 2, 0x20,
                                       {0x84, 1, 2, 3,  //
                                        0x02, 10, 11, 12, 20, 21, 22, 30, 31, 32}));
  ASSERT_EQ(ReadTga(folder / "a.tga", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 1), 0x030201);
  EXPECT_EQ(VimGetPixel(kSlot, 1, 0), 0x0C0B0A);
  EXPECT_EQ(VimGetPixel(kSlot, 1, 1), 0x161514);
}

TEST(TgaReader, BadFilesGiveANumberedMessageAndAValidSlot) {
  auto folder = ScratchFolder("tga-bad");
  struct Case {
    const char* name;
    Bytes bytes;
    int result, message;
  } cases[] = {
      {"zero width", TgaFile(2, 0, 5, 0x20, {}), 0, 251},
      {"short header", Bytes(10), 0, 251},
      // A huge picture whose pixels are not in the file is refused before
      // any memory is taken for it.
      {"huge raw", TgaFile(2, 65535, 65535, 0x20, {1, 2, 3}), 0, 230},
      {"huge packed", TgaFile(10, 65535, 65535, 0x20, {0xFF, 1, 2, 3}), 0, 230},
      // Run-length data that ends early keeps the lines decoded.
      {"packets end early",
       TgaFile(10, 4, 2, 0x20, {0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x03, 1, 2, 3}), 1,
       230},
      {"literal past the data", TgaFile(10, 200, 1, 0x20, {0x7F, 1, 2, 3, 4, 5, 6, 7, 8}), 1, 230},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "bad.tga", c.bytes);
    MessageLog log;
    EXPECT_EQ(ReadTga(folder / "bad.tga", kSlot, 2412, nullptr), c.result);
    EXPECT_TRUE(log.Has(c.message));
  }
  MessageLog log;
  EXPECT_EQ(ReadTga(folder / "missing.tga", kSlot, 2412, nullptr), 0);
  EXPECT_TRUE(log.Has(208));
}

TEST(TgaReader, KeyedLoadIntoTheMainImageKeepsPixelsUnderTheKey) {
  auto folder = ScratchFolder("tga-key");
  VimCreate(0, 2, 1, 24);
  VimPutPixel(0, 0x445566, 0, 0, 0);
  VimPutPixel(0, 0x445566, 0, 1, 0);
  WriteBytes(folder / "k.tga", TgaFile(2, 2, 1, 0x20, {0, 0, 0, 9, 8, 7}));
  ASSERT_EQ(ReadTga(folder / "k.tga", 0, 0, nullptr), 1);
  EXPECT_EQ(VimGetPixel(0, 0, 0), 0x445566);  // black is the key: the old pixel stays
  EXPECT_EQ(VimGetPixel(0, 0, 1), 0x070809);
  VimFree(0);
}

TEST(TgaWriter, PacketsFollowTheRunRules) {
  auto folder = ScratchFolder("tga-pack");
  // A B B C, then 130 equal pixels: literal 1, run 2, literal 1, run 128, run 2.
  VimCreate(kSlot, 134, 1, 24);
  VimPutPixel(kSlot, 0x0A, 0, 0, 0);
  VimPutPixel(kSlot, 0x0B, 0, 1, 0);
  VimPutPixel(kSlot, 0x0B, 0, 2, 0);
  VimPutPixel(kSlot, 0x0C, 0, 3, 0);
  for (std::uint32_t x = 4; x < 134; ++x) VimPutPixel(kSlot, 0x0D, 0, x, 0);
  ASSERT_EQ(WriteTga(folder / "p.tga", -1, 134, 1, kSlot, true), 0);
  Bytes bytes = FileBytes(folder / "p.tga");
  std::vector<int> packets;
  for (std::size_t at = 18; at < bytes.size();) {
    int h = ByteAt(bytes, at);
    packets.push_back(h);
    at += 1 + 3 * (h & 0x80 ? 1 : (h & 0x7F) + 1);
  }
  EXPECT_EQ(packets, (std::vector<int>{0x00, 0x81, 0x00, 0xFF, 0x81}));
  EXPECT_EQ(ByteAt(bytes, 17), 0x20);  // top line first
}

TEST(TgaWriter, OtherProgramsReadBothTypesAsTheImage) {
  if (!HaveTool("tgatoppm")) GTEST_SKIP() << "netpbm is not installed";
  auto folder = ScratchFolder("tga-write");
  DrawTestPicture(kSlot, 301, 17);
  RgbPicture source = FromSlot(kSlot);
  for (bool runLength : {false, true}) {
    SCOPED_TRACE(runLength ? "type 10" : "type 2");
    ASSERT_EQ(WriteTga(folder / "out.tga", -1, 301, 17, kSlot, runLength), 0);
    ASSERT_TRUE(RunTool("tgatoppm " + (folder / "out.tga").string() + " > " +
                        (folder / "out.ppm").string() + " 2>/dev/null"));
    EXPECT_EQ(PixelsOff(ReadPpmFile(folder / "out.ppm"), source), 0u);
    ASSERT_EQ(ReadTga(folder / "out.tga", 6, 2412, nullptr), 1);
    EXPECT_EQ(PixelsOff(FromSlot(6), source), 0u);
  }
}

TEST(TgaWriter, RefusesAPaletteImageAndNamesTheFileByFrame) {
  auto folder = ScratchFolder("tga-name");
  MessageLog log;
  VimCreate(kSlot, 4, 4, 8);
  EXPECT_EQ(WriteTga((folder / "SCENE.MAQ").string(), 12, 4, 4, kSlot, false), 1);
  EXPECT_TRUE(log.Has(258));
  VimCreate(kSlot, 4, 4, 24);
  EXPECT_EQ(WriteTga((folder / "SCENE.MAQ").string(), 12, 4, 4, kSlot, false), 0);
  EXPECT_TRUE(std::filesystem::exists(folder / "SCEN0012.TGA"));
}

}  // namespace
}  // namespace tessaran
