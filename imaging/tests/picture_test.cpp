#include "imaging/picture.h"

#include <gtest/gtest.h>

#include <map>

#include "imaging/ilbm.h"
#include "imaging/testing/picture_support.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace testing_support;

class LoadPictureTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallReporter(&reporter);
    InstallProgress(&progress);
    folder = ScratchFolder("load-picture");
    // A 4 × 2 true-colour picture: black in its left column, colours elsewhere.
    ASSERT_EQ(VimCreate(20, 4, 2, 24), 1);
    for (std::uint32_t y = 0; y < 2; ++y)
      for (std::uint32_t x = 1; x < 4; ++x) VimPutPixel(20, 0x102030 * x + y, y, x, 0);
    picture = folder / "PICT.I24";
    ASSERT_EQ(WriteI24(picture, -1, 4, 2, 20), 0);
    progress.opened.clear();
  }
  void TearDown() override {
    for (int i = 0; i < kVirtImSlots; ++i) VimFree(i);
    InstallReporter(nullptr);
    InstallProgress(nullptr);
    SetOutputDirectory({});
    std::filesystem::remove_all(folder);
  }
  RecordingReporter reporter;
  RecordingProgress progress;
  std::filesystem::path folder, picture;
};

TEST_F(LoadPictureTest, SameSizeGoesStraightIntoSlotZeroWithTheKeyKeepingOldPixels) {
  ASSERT_EQ(VimCreate(0, 4, 2, 24), 1);
  for (std::uint32_t x = 0; x < 4; ++x) VimPutPixel(0, 0xAAAAAA, 0, x, 0);
  // Key 0: black picture pixels leave slot 0's pixels as they were.
  ASSERT_EQ(LoadPicture(picture, 0, 0, nullptr, 0), 1);
  EXPECT_EQ(VimGetPixel(0, 0, 0), 0xAAAAAA);
  EXPECT_EQ(VimGetPixel(0, 0, 2), 0x204060);
  EXPECT_EQ(VimGetPixel(0, 1, 0), 0);
  EXPECT_TRUE(VimSlot(kStagingSlot).Empty());
  ASSERT_EQ(progress.opened.size(), 1u);
  EXPECT_EQ(progress.opened[0], MessageText(256, 0) + "|" + MessageText(243, "PICT.I24"));
  // Opaque: everything replaced.
  ASSERT_EQ(LoadPicture(picture, 0, kOpaqueLoad, nullptr, 0), 1);
  EXPECT_EQ(VimGetPixel(0, 0, 0), 0);
  EXPECT_EQ(progress.opened[1], MessageText(256, 0) + "|" + MessageText(244, "PICT.I24"));
}

TEST_F(LoadPictureTest, OtherSizesAreStagedInSlotTwoAndStretched) {
  ASSERT_EQ(VimCreate(0, 8, 4, 24), 1);
  for (std::uint32_t y = 0; y < 4; ++y)
    for (std::uint32_t x = 0; x < 8; ++x) VimPutPixel(0, 0x555555, y, x, 0);
  ASSERT_EQ(LoadPicture(picture, 0, kOpaqueLoad, nullptr, 0), 1);
  EXPECT_TRUE(VimSlot(kStagingSlot).Empty());
  EXPECT_EQ(VimSlot(0).width, 8u);
  EXPECT_EQ(VimGetPixel(0, 1, 1), 0);  // write mode 0: black copied
  EXPECT_EQ(VimGetPixel(0, 3, 7), 0x306090 + 1);
  EXPECT_EQ(progress.opened[0], MessageText(256, 2) + "|" + MessageText(244, "PICT.I24"));

  for (std::uint32_t y = 0; y < 4; ++y)
    for (std::uint32_t x = 0; x < 8; ++x) VimPutPixel(0, 0x555555, y, x, 0);
  ASSERT_EQ(LoadPicture(picture, 0, 7, nullptr, 0), 1);  // keyed: black is transparent
  EXPECT_EQ(VimGetPixel(0, 1, 1), 0x555555);
  EXPECT_EQ(VimGetPixel(0, 0, 2), 0x102030);
}

TEST_F(LoadPictureTest, OtherSlotsTheSinkAndHeaderOnlyReads) {
  ASSERT_EQ(LoadPicture(picture, 12, kOpaqueLoad, nullptr, 0), 1);
  EXPECT_EQ(VimGetPixel(12, 1, 3), 0x306090 + 1);
  EXPECT_EQ(progress.opened[0], MessageText(256, 12) + "|" + MessageText(245, "PICT.I24"));

  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> seen;
  PixelSink sink = [&](std::uint32_t x, std::uint32_t y, std::uint32_t rgb) { seen[{x, y}] = rgb; };
  ASSERT_EQ(LoadPicture(picture, -1, 0, nullptr, 0, &sink), 1);
  EXPECT_EQ(seen.size(), 6u);  // the two black pixels match the key 0
  EXPECT_EQ((seen[{3, 1}]), 0x306091u);

  VimFree(12);
  PictureHeader header;
  ASSERT_EQ(LoadPicture(picture, 12, kHeaderOnly, &header, 0), 1);
  EXPECT_EQ(header.width, 4u);
  EXPECT_EQ(header.height, 2u);
  EXPECT_EQ(header.planes, 24);
  EXPECT_TRUE(VimSlot(12).Empty());
}

TEST_F(LoadPictureTest, TheExtensionTableChoosesTheReader) {
  // Unknown extensions and names without one are read as IFF.
  std::filesystem::copy_file(picture, folder / "NOEXT");
  std::filesystem::copy_file(picture, folder / "pict.xyz");
  EXPECT_EQ(LoadPicture(folder / "NOEXT", 3, kOpaqueLoad, nullptr, 0), 1);
  EXPECT_EQ(LoadPicture(folder / "pict.xyz", 3, kOpaqueLoad, nullptr, 0), 1);
  EXPECT_EQ(LoadPicture(folder / "pict.lbm", 3, kOpaqueLoad, nullptr, 0), 0);  // missing
  for (const char* name : {"A.RED", "A.RVB", "A.ANM", "A.avi", "A.MAQ"}) {
    std::filesystem::copy_file(picture, folder / name);
    EXPECT_EQ(LoadPicture(folder / name, 3, kOpaqueLoad, nullptr, 0), 0) << name;
  }
  EXPECT_EQ(FileKindOf("x.bmp"), FileKind::Bmp);
  EXPECT_EQ(FileKindOf("X.TgA"), FileKind::Tga);
  EXPECT_FALSE(FileKindOf("x.ppm"));
  EXPECT_EQ(FileKindExtension(19), ".AVI");
}

TEST_F(LoadPictureTest, AnIffAnimationGivesTheFrameAskedFor) {
  std::filesystem::path anim = TestData("anim/color-balls.anim");
  for (int frame : {0, 1}) {
    ASSERT_EQ(LoadPicture(anim, 6, kOpaqueLoad, nullptr, frame), 1) << frame;
    std::string reference = anim.string() + ".f00" + std::to_string(frame + 1) + ".ref.ppm";
    EXPECT_EQ(FromSlot(6).rgb, ReadPpmFile(reference).rgb) << frame;
  }
}

TEST(MakeOutputName, FrameNumbersKeepAnEightDotThreeName) {
  EXPECT_EQ(MakeOutputName("SCENE.MAQ", 12, ".LBM"), "SCEN0012.LBM");
  EXPECT_EQ(MakeOutputName("C:\\OUT\\A.MAQ", 3, ".TGA"), "C:/OUT/A0003.TGA");
  EXPECT_EQ(MakeOutputName("LONGNAME.MAQ", 3, ".TGA"), "LONG0003.TGA");
  EXPECT_EQ(MakeOutputName("ABCD.MAQ", 3, ".TGA"), "ABCD0003.TGA");
  EXPECT_EQ(MakeOutputName("ABCDE.MAQ", 12345, ".TGA"), "ABC12345.TGA");
  EXPECT_EQ(MakeOutputName("dir/keep.name", -1, ".TGA"), "dir/keep.name");
  EXPECT_EQ(MakeOutputName("dir/LONGERNAME.MAQ", -2, ".I24"), "dir/LONGERNAME.I24");
  SetOutputDirectory("out");
  EXPECT_EQ(MakeOutputName("scenes/LONGNAME.MAQ", 3, ".TGA"), "out/LONG0003.TGA");
  SetOutputDirectory({});
}

}  // namespace
}  // namespace tessaran
