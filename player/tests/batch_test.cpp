#include "player/batch.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "imaging/picture.h"
#include "imaging/tests/picture_support.h"
#include "platform/report.h"
#include "storage/virtim.h"

namespace tessaran::player {
namespace {

using namespace testing_support;

class Silent : public MessageReporter, public ProgressDisplay {
 public:
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  void Open(std::string_view, std::string_view) override {}
  void Set(double) override {}
  void Close() override {}
  std::vector<int> numbers;
};

class BatchTest : public testing::Test {
 protected:
  void SetUp() override {
    InstallReporter(&silent);
    InstallProgress(&silent);
    folder = ScratchFolder("tovix-batch");
  }
  void TearDown() override {
    InstallReporter(nullptr);
    InstallProgress(nullptr);
    std::filesystem::remove_all(folder);
  }
  int Run(std::vector<std::string> arguments) {
    out.str(""), err.str("");
    return RunCommandLine(arguments, out, err);
  }
  RgbPicture Load(const std::filesystem::path& file) {
    EXPECT_EQ(LoadPicture(file, 30, kOpaqueLoad, nullptr, 0), 1) << file;
    RgbPicture picture = FromSlot(30);
    VimFree(30);
    return picture;
  }
  Silent silent;
  std::filesystem::path folder;
  std::ostringstream out, err;
};

TEST_F(BatchTest, ConvertsBetweenEveryFormat) {
  const std::string palette = TestData("ilbm/gen_p5_64x40_c.iff").string();
  const std::string deep = TestData("ilbm/gen_deep24_70x46_c.iff").string();
  for (const std::string& source : {palette, deep}) {
    RgbPicture original = Load(source);
    bool is8 = source == palette;
    for (const char* extension : {".LBM", ".I24", ".TGA", ".PCX", ".BMP", ".PPM"}) {
      if (!is8 && std::string(extension) == ".LBM") continue;
      std::filesystem::path target = folder / (std::string("OUT") + extension);
      SCOPED_TRACE(source + " -> " + target.string());
      ASSERT_EQ(Run({"--batch", "--convert", source, target.string()}), kSuccess) << err.str();
      // And back again through another format.
      std::filesystem::path again = folder / "AGAIN.TGA";
      ASSERT_EQ(Run({"--batch", "--convert", target.string(), again.string()}), kSuccess) << err.str();
      RgbPicture copy = Load(again);
      ASSERT_EQ(copy.width, original.width);
      ASSERT_EQ(copy.height, original.height);
      EXPECT_EQ(copy.rgb, original.rgb);
    }
    ASSERT_EQ(Run({"--batch", "--convert", source, (folder / "RAW.RGB").string()}), kSuccess);
    for (const char* plane : {"RAW.RED", "RAW.GRN", "RAW.BLU"})
      EXPECT_EQ(std::filesystem::file_size(folder / plane), std::size_t(original.width) * original.height);
    EXPECT_TRUE(std::filesystem::exists(folder / "RAW.RGB"));
  }
}

TEST_F(BatchTest, DepthRulesOfEightBitFormats) {
  const std::string deep = TestData("ilbm/gen_deep24_17x9_u.iff").string();
  const std::string palette = TestData("ilbm/gen_p4_3x7_u.iff").string();
  EXPECT_EQ(Run({"--batch", "--convert", deep, (folder / "A.LBM").string()}), kFailure);
  EXPECT_NE(err.str().find("24-bit"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder / "A.LBM"));
  EXPECT_EQ(Run({"--batch", "--depth", "8", "--convert", deep, (folder / "A.BMP").string()}), kFailure);
  EXPECT_FALSE(std::filesystem::exists(folder / "A.BMP"));

  ASSERT_EQ(Run({"--batch", "--convert", palette, (folder / "P.PCX").string(), "--depth", "24"}), kSuccess);
  ASSERT_EQ(Run({"--batch", "--info", (folder / "P.PCX").string()}), kSuccess);
  EXPECT_EQ(out.str(), "{\"kind\":\"PCX\",\"width\":3,\"height\":7,\"depth\":24,\"frames\":1}\n");
  ASSERT_EQ(Run({"--batch", "--convert", palette, (folder / "P.BMP").string()}), kSuccess);
  ASSERT_EQ(Run({"--batch", "--info", (folder / "P.BMP").string()}), kSuccess);
  EXPECT_NE(out.str().find("\"depth\":8"), std::string::npos);
  EXPECT_EQ(Load(folder / "P.BMP").rgb, Load(palette).rgb);
}

TEST_F(BatchTest, InfoDescribesPictures) {
  ASSERT_EQ(Run({"--batch", "--info", TestData("ilbm/real_room_ham6.iff").string()}), kSuccess);
  EXPECT_EQ(out.str(), "{\"kind\":\"ILBM\",\"width\":320,\"height\":400,\"depth\":24,\"frames\":1}\n");
  ASSERT_EQ(Run({"--batch", "--info", TestData("tga/t2_24_bottomup_33x7.tga").string()}), kSuccess);
  EXPECT_EQ(out.str(), "{\"kind\":\"TGA\",\"width\":33,\"height\":7,\"depth\":24,\"frames\":1}\n");
  EXPECT_EQ(Run({"--batch", "--info", TestData("tga/refuse_t2_32bit_20x10.tga").string()}), kFailure);
  EXPECT_EQ(Run({"--batch", "--info", (folder / "none.bmp").string()}), kFailure);
  EXPECT_NE(err.str().find("none.bmp"), std::string::npos);
}

TEST_F(BatchTest, BadUsageIsStatusTwo) {
  const std::string in = TestData("ilbm/gen_p2_17x9_c.iff").string();
  EXPECT_EQ(Run({"--convert", in, "x.TGA"}), kBadUsage);  // no --batch
  EXPECT_EQ(Run({"--batch"}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--convert", in}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--convert", in, (folder / "x.GIF").string()}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--depth", "16", "--convert", in, "x.BMP"}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--depth", "8", "--convert", in, (folder / "x.TGA").string()}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--frobnicate"}), kBadUsage);
  EXPECT_EQ(Run({"--help"}), kSuccess);
  EXPECT_NE(out.str().find("--convert IN OUT"), std::string::npos);
}

TEST_F(BatchTest, TheProgramAnswersWithItsExitStatus) {
  auto status = [](const std::string& arguments) {
    int raw = std::system((std::string(TOVIX_PROGRAM) + " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  EXPECT_EQ(status("--help"), 0);
  EXPECT_EQ(status("--batch --info"), 2);
  EXPECT_EQ(status("--batch --info '" + (folder / "missing.lbm").string() + "'"), 1);
  EXPECT_EQ(status("--batch --info '" + TestData("ilbm/gen_p1_321x24_u.iff").string() + "'"), 0);
}

}  // namespace
}  // namespace tessaran::player
