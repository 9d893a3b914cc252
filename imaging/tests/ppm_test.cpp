#include "imaging/ppm.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/rawrgb.h"
#include "imaging/tests/format_support.h"

namespace tessaran {
namespace {

using namespace testing_support;

constexpr int kSlot = 5;

Bytes Text(const std::string& text, std::vector<std::uint8_t> samples = {}) {
  Bytes out(reinterpret_cast<const std::byte*>(text.data()),
            reinterpret_cast<const std::byte*>(text.data() + text.size()));
  for (auto b : samples) out.push_back(std::byte{b});
  return out;
}

TEST(PpmReader, ReadsTheReferenceDecodingsOfOtherPrograms) {
  for (const char* name : {"tga/t10_24_topdown_40x30.tga.ref.ppm", "bmp/b8_21x13.bmp.ref.ppm",
                           "pcx/p24_3plane_33x20.pcx.ref.ppm"}) {
    SCOPED_TRACE(name);
    PictureHeader header;
    ASSERT_EQ(ReadPpm(TestData(name), kSlot, 2412, &header), 1);
    EXPECT_EQ(header.planes, 24);
    EXPECT_EQ(PixelsOff(FromSlot(kSlot), ReadPpmFile(TestData(name))), 0u);
  }
}

TEST(PpmReader, CommentsAndWideSamplesScaleToEightBits) {
  auto folder = ScratchFolder("ppm-wide");
  // maxval 65535: two bytes a sample, high first.
  WriteBytes(folder / "w.ppm", Text("P6\n# made by hand\n2 1 # two pixels\n65535\n",
                                    {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00,  //
                                     0x01, 0x01, 0x7F, 0xFF, 0xFF, 0xFF}));
  ASSERT_EQ(ReadPpm(folder / "w.ppm", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0xFF8000);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 1), 0x017FFF);
  // maxval 1000: 500 → 128; samples above maxval count as maxval.
  WriteBytes(folder / "k.ppm", Text("P6 1 1 1000\n", {0x01, 0xF4, 0x00, 0x00, 0xFF, 0xFF}));
  ASSERT_EQ(ReadPpm(folder / "k.ppm", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0x8000FF);
  // maxval 15: 1 → 17.
  WriteBytes(folder / "s.ppm", Text("P6 1 1 15 ", {1, 15, 0}));
  ASSERT_EQ(ReadPpm(folder / "s.ppm", kSlot, 2412, nullptr), 1);
  EXPECT_EQ(VimGetPixel(kSlot, 0, 0), 0x11FF00);
}

TEST(PpmReader, BadFilesGiveANumberedMessageAndAValidSlot) {
  auto folder = ScratchFolder("ppm-bad");
  struct Case {
    const char* name;
    Bytes bytes;
    int message;
  } cases[] = {
      {"plain PPM", Text("P3 1 1 255\n0 0 0\n"), 221},
      {"width 0", Text("P6 0 1 255\n"), 221},
      {"maxval 0", Text("P6 1 1 0\n", {0, 0, 0}), 221},
      {"maxval over 65535", Text("P6 1 1 65536\n", {0, 0, 0, 0, 0, 0}), 221},
      {"width over 65535", Text("P6 99999999999999999999 1 255\n"), 221},
      {"no space after maxval", Text("P6 1 1 255"), 221},
      {"huge picture, no data", Text("P6 65535 65535 255\n", {1, 2, 3}), 230},
      {"last line cut short", Text("P6 2 2 255\n", {1, 2, 3, 4, 5, 6, 7, 8, 9}), 230},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "bad.ppm", c.bytes);
    MessageLog log;
    EXPECT_EQ(ReadPpm(folder / "bad.ppm", kSlot, 2412, nullptr), 0);
    EXPECT_TRUE(log.Has(c.message));
  }
}

TEST(PpmWriter, OtherProgramsReadTrueColourAndPalettePictures) {
  if (!HaveTool("ppmtoppm")) GTEST_SKIP() << "netpbm is not installed";
  auto folder = ScratchFolder("ppm-write");
  for (int bits : {24, 8, 4}) {
    SCOPED_TRACE(bits);
    if (bits == 24)
      DrawTestPicture(kSlot, 65, 9);
    else
      DrawPalettePicture(kSlot, 65, 9, bits);
    ASSERT_EQ(WritePpm((folder / "SHOT.MAQ").string(), 7, kSlot), 0);
    ASSERT_TRUE(RunTool("ppmtoppm < " + (folder / "SHOT0007.PPM").string() + " > " +
                        (folder / "check.ppm").string() + " 2>/dev/null"));
    EXPECT_EQ(PixelsOff(ReadPpmFile(folder / "check.ppm"), FromSlot(kSlot)), 0u);
  }
}

TEST(RawRgbWriter, PlanesRebuildTheImageElsewhere) {
  auto folder = ScratchFolder("rawrgb");
  DrawTestPicture(kSlot, 37, 11);
  ASSERT_EQ(WriteRawRgb(folder / "PLAN.MAQ", 3, 37, 11, kSlot), 1);
  for (const char* extension : {".RED", ".GRN", ".BLU"})
    EXPECT_EQ(FileBytes(folder / ("PLAN0003" + std::string(extension))).size(), 37u * 11u);
  if (HaveTool("rgb3toppm") && HaveTool("rawtopgm")) {
    std::string planes;
    for (const char* extension : {".RED", ".GRN", ".BLU"}) {
      std::string plane = (folder / ("PLAN0003" + std::string(extension))).string();
      ASSERT_TRUE(RunTool("rawtopgm 37 11 " + plane + " > " + plane + ".pgm 2>/dev/null"));
      planes += " " + plane + ".pgm";
    }
    ASSERT_TRUE(
        RunTool("rgb3toppm" + planes + " > " + (folder / "check.ppm").string() + " 2>/dev/null"));
    EXPECT_EQ(PixelsOff(ReadPpmFile(folder / "check.ppm"), FromSlot(kSlot)), 0u);
  }
  Bytes text = FileBytes(folder / "PLAN0003.RGB");
  std::string description(reinterpret_cast<const char*>(text.data()), text.size());
  EXPECT_NE(description.find("\tPLAN0003.GRN\n"), std::string::npos);
  EXPECT_NE(description.find("\t\tX : 37\n\n\t\tY : 11\n\n\t...\n\n"), std::string::npos);

  MessageLog log;
  VimCreate(kSlot, 4, 4, 8);
  EXPECT_EQ(WriteRawRgb(folder / "PLAN.MAQ", 4, 4, 4, kSlot), 0);
  EXPECT_TRUE(log.Has(258));
}

}  // namespace
}  // namespace tessaran
