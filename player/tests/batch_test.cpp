#include "player/batch.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "imaging/picture.h"
#include "imaging/testing/picture_support.h"
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

// A 24-bit binary PPM of `colours` distinct colours, each channel a 6-bit
// value widened as palettes are (v << 2 | v >> 4), so a palette can hold
// every one of them exactly.
std::filesystem::path WriteManyColourPpm(const std::filesystem::path& file, int colours) {
  const int width = 20, height = (colours + width - 1) / width;
  std::string bytes = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  auto widen = [](int v) { return char(v << 2 | v >> 4); };
  for (int i = 0; i < width * height; ++i) {
    int c = i % colours;
    bytes += widen(c % 64), bytes += widen((c * 7) % 64), bytes += widen(c / 64 * 16 + 3);
  }
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

TEST_F(BatchTest, DepthRulesOfEightBitFormats) {
  const std::string deep = TestData("ilbm/gen_deep24_17x9_u.iff").string();
  const std::string palette = TestData("ilbm/gen_p4_3x7_u.iff").string();
  // A 24-bit source written 8-bit is reduced to 256 colours, never refused.
  ASSERT_EQ(Run({"--batch", "--convert", deep, (folder / "A.LBM").string()}), kSuccess) << err.str();
  ASSERT_EQ(Run({"--batch", "--info", (folder / "A.LBM").string()}), kSuccess);
  EXPECT_EQ(out.str(), "{\"kind\":\"ILBM\",\"width\":17,\"height\":9,\"depth\":8,\"frames\":1}\n");
  ASSERT_EQ(Run({"--batch", "--depth", "8", "--convert", deep, (folder / "A.BMP").string()}), kSuccess);
  ASSERT_EQ(Run({"--batch", "--info", (folder / "A.BMP").string()}), kSuccess);
  EXPECT_NE(out.str().find("\"depth\":8"), std::string::npos);
  EXPECT_EQ(Load(folder / "A.BMP").rgb, Load(folder / "A.LBM").rgb);

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

TEST_F(BatchTest, ReducedPicturesKeepTheirColours) {
  // 200 colours fit a palette: they survive .LBM, and .PCX and .BMP at
  // depth 8, exactly.
  std::filesystem::path many = WriteManyColourPpm(folder / "MANY.PPM", 200);
  RgbPicture original = Load(many);
  ASSERT_EQ(original.rgb.size(), 200u);
  for (const char* name : {"MANY.LBM", "MANY.PCX", "MANY.BMP"}) {
    std::filesystem::path target = folder / name;
    std::vector<std::string> arguments = {"--batch", "--convert", many.string(), target.string()};
    if (target.extension() != ".LBM") arguments.insert(arguments.end(), {"--depth", "8"});
    ASSERT_EQ(Run(arguments), kSuccess) << name << ": " << err.str();
    ASSERT_EQ(Run({"--batch", "--info", target.string()}), kSuccess);
    EXPECT_NE(out.str().find("\"depth\":8"), std::string::npos) << name;
    EXPECT_EQ(Load(target).rgb, original.rgb) << name;
  }
  if (!HaveTool("ilbmtoppm")) GTEST_SKIP() << "ilbmtoppm (netpbm) is not installed";
  // Another tool reads the reduced .LBM: the same 200 colours, and a picture
  // of many more colours close to its source.
  ASSERT_TRUE(RunTool("ilbmtoppm '" + (folder / "MANY.LBM").string() + "' > '" + (folder / "BACK.PPM").string() +
                      "' 2>/dev/null"));
  EXPECT_EQ(ReadPpmFile(folder / "BACK.PPM").rgb, original.rgb);
  const std::string deep = TestData("ilbm/gen_deep24_70x46_c.iff").string();
  RgbPicture source = Load(deep);
  ASSERT_EQ(Run({"--batch", "--convert", deep, (folder / "DEEP.LBM").string()}), kSuccess) << err.str();
  ASSERT_TRUE(RunTool("ilbmtoppm '" + (folder / "DEEP.LBM").string() + "' > '" + (folder / "DEEP.PPM").string() +
                      "' 2>/dev/null"));
  RgbPicture reduced = ReadPpmFile(folder / "DEEP.PPM");
  ASSERT_EQ(reduced.rgb.size(), source.rgb.size());
  int worst = 0;
  for (std::size_t i = 0; i < source.rgb.size(); ++i)
    worst = std::max(worst, ChannelDistance(reduced.rgb[i], source.rgb[i]));
  EXPECT_LE(worst, 24) << "merged colours stay near their own";
}

TEST_F(BatchTest, AnimationOperationsFromTheCommandLine) {
  std::vector<std::string> create = {"--batch", "--create", (folder / "CLIP.AVI").string()};
  for (int f = 1; f <= 3; ++f)
    create.push_back(TestData("avi/raw_bgr24_20x14.avi.f00" + std::to_string(f) + ".ref.ppm").string());
  ASSERT_EQ(Run(create), kSuccess) << err.str();
  ASSERT_EQ(Run({"--batch", "--info", (folder / "CLIP.AVI").string()}), kSuccess) << err.str();
  EXPECT_EQ(out.str(), "{\"kind\":\"AVI\",\"width\":20,\"height\":14,\"depth\":24,\"frames\":3}\n");
  ASSERT_EQ(Run({"--batch", "--frames", (folder / "CLIP.AVI").string(), (folder / "F%d.PPM").string()}), kSuccess);
  EXPECT_EQ(ReadPpmFile(folder / "F3.PPM").rgb,
            ReadPpmFile(TestData("avi/raw_bgr24_20x14.avi.f003.ref.ppm")).rgb);
  ASSERT_EQ(Run({"--batch", "--cut", (folder / "CLIP.AVI").string(), "BMP"}), kSuccess) << err.str();
  ASSERT_EQ(Run({"--batch", "--create", (folder / "CLIP.ANM").string(), (folder / "F1.PPM").string(),
                 (folder / "F2.PPM").string()}),
            kSuccess);
  ASSERT_EQ(Run({"--batch", "--flip", (folder / "CLIP.ANM").string()}), kSuccess) << err.str();
  ASSERT_EQ(Run({"--batch", "--info", (folder / "CLIP.ANM").string()}), kSuccess);
  EXPECT_EQ(out.str(), "{\"kind\":\"ANM\",\"width\":20,\"height\":14,\"depth\":8,\"frames\":2}\n");
  ASSERT_EQ(Run({"--batch", "--info", TestData("anim/color-balls.anim").string()}), kSuccess);
  EXPECT_NE(out.str().find("\"frames\":13"), std::string::npos);

  EXPECT_EQ(Run({"--batch", "--create", (folder / "X.ANM").string()}), kBadUsage);
  EXPECT_FALSE(std::filesystem::exists(folder / "X.ANM"));
  EXPECT_EQ(Run({"--batch", "--frames", (folder / "CLIP.AVI").string()}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--cut", (folder / "CLIP.AVI").string()}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--flip"}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--flip", (folder / "CLIP.ANM").string(), "--info", (folder / "CLIP.ANM").string()}),
            kBadUsage);
  EXPECT_EQ(Run({"--batch", "--depth", "8", "--cut", (folder / "CLIP.AVI").string(), "BMP"}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--create", (folder / "Y.AVI").string(), (folder / "none.ppm").string()}), kFailure);
  EXPECT_NE(err.str().find("none.ppm"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder / "Y.AVI"));
  EXPECT_EQ(Run({"--help"}), kSuccess);
  for (const char* option : {"--frames ANIM PATTERN", "--create OUT.ANM|OUT.AVI IMG...", "--cut FILE FORMAT",
                             "--flip F.ANM"})
    EXPECT_NE(out.str().find(option), std::string::npos) << option;
}

TEST_F(BatchTest, BadUsageIsStatusTwo) {
  const std::string in = TestData("ilbm/gen_p2_17x9_c.iff").string();
  // No --batch with a display: the windows do not exist yet.
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  setenv("DISPLAY", ":0", 1);
  EXPECT_EQ(Run({"--convert", in, "x.TGA"}), kBadUsage);
  if (display) setenv("DISPLAY", saved.c_str(), 1); else unsetenv("DISPLAY");
  EXPECT_EQ(Run({"--batch"}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--convert", in}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--convert", in, (folder / "x.GIF").string()}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--depth", "16", "--convert", in, "x.BMP"}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--depth", "8", "--convert", in, (folder / "x.TGA").string()}), kBadUsage);
  EXPECT_EQ(Run({"--batch", "--frobnicate"}), kBadUsage);
  EXPECT_EQ(Run({"--help"}), kSuccess);
  EXPECT_NE(out.str().find("--convert IN OUT"), std::string::npos);
}

// The renderer numbers its images from 0, --cut and --frames number frames
// from 1: in the renderer's folder their names meet. A picture that exists
// is replaced only with --force; otherwise nothing at all is written.
TEST_F(BatchTest, FramesAndCutDoNotOverwriteFilesTheyDidNotWrite) {
  const std::filesystem::path clip = folder / "FILM.AVI";
  std::vector<std::string> create = {"--batch", "--create", clip.string()};
  for (int f = 1; f <= 3; ++f)
    create.push_back(TestData("avi/raw_bgr24_20x14.avi.f00" + std::to_string(f) + ".ref.ppm").string());
  ASSERT_EQ(Run(create), kSuccess) << err.str();
  const std::string rendered = "an image of the renderer";
  std::ofstream(folder / "FILM0002.BMP") << rendered;
  std::ofstream(folder / "F3.PPM") << rendered;
  auto tovix = [&](const std::string& arguments, std::string& message) {
    const std::filesystem::path log = folder / "err.txt";
    int raw = std::system((std::string(TOVIX_PROGRAM) + " " + arguments + " >/dev/null 2>'" + log.string() + "'").c_str());
    std::ifstream in(log);
    message.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  auto contents = [](const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string message;
  EXPECT_EQ(tovix("--batch --cut '" + clip.string() + "' BMP", message), 1);
  EXPECT_NE(message.find("FILM0002.BMP"), std::string::npos) << message;
  EXPECT_NE(message.find("--force"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(folder / "FILM0001.BMP"));
  EXPECT_EQ(contents(folder / "FILM0002.BMP"), rendered);
  const std::string pattern = "'" + (folder / "F%d.PPM").string() + "'";
  EXPECT_EQ(tovix("--batch --frames '" + clip.string() + "' " + pattern, message), 1);
  EXPECT_NE(message.find("F3.PPM"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(folder / "F1.PPM"));
  EXPECT_EQ(contents(folder / "F3.PPM"), rendered);

  EXPECT_EQ(tovix("--batch --force --cut '" + clip.string() + "' BMP", message), 0) << message;
  EXPECT_NE(contents(folder / "FILM0002.BMP"), rendered);
  EXPECT_EQ(tovix("--batch --frames '" + clip.string() + "' " + pattern + " --force", message), 0) << message;
  EXPECT_EQ(ReadPpmFile(folder / "F3.PPM").rgb, ReadPpmFile(TestData("avi/raw_bgr24_20x14.avi.f003.ref.ppm")).rgb);
  // A run into a clean folder needs no --force; --force goes with these two.
  std::filesystem::create_directories(folder / "clean");
  std::filesystem::copy_file(clip, folder / "clean" / "FILM.AVI");
  EXPECT_EQ(tovix("--batch --cut '" + (folder / "clean" / "FILM.AVI").string() + "' RGB", message), 0) << message;
  EXPECT_EQ(tovix("--batch --cut '" + (folder / "clean" / "FILM.AVI").string() + "' RGB", message), 1);
  EXPECT_NE(message.find("FILM0001.RED"), std::string::npos) << message;
  EXPECT_EQ(Run({"--batch", "--force", "--info", clip.string()}), kBadUsage);
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

struct Program {
  int status = -1;
  std::string out, err;
};

// Runs `tovix` (or the command that starts with it) as a user does: stdout
// and stderr kept apart.
Program Tovix(const std::string& command, const std::filesystem::path& folder) {
  const std::filesystem::path outFile = folder / "stdout.txt", errFile = folder / "stderr.txt";
  const int raw = std::system((command + " >'" + outFile.string() + "' 2>'" + errFile.string() + "'").c_str());
  Program p;
  p.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  auto read = [](const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  p.out = read(outFile);
  p.err = read(errFile);
  return p;
}

TEST_F(BatchTest, FramePatternsAreCheckedWithTheirReason) {
  const std::string anim = "'" + TestData("avi/raw_bgr24_20x14.avi").string() + "'";
  const std::pair<std::string, std::string> kPatterns[] = {
      {"frame.BMP", "holds no %d"},
      {"f%d%d.BMP", "more than one %"},
      {"f%s.BMP", "not a %d"},
      {"f%d.JPG", "ends in .JPG, not a picture extension"},
      {"f%d", "ends in no extension"}};
  for (const auto& [pattern, reason] : kPatterns) {
    const Program p = Tovix(std::string(TOVIX_PROGRAM) + " --batch --frames " + anim + " '" +
                                (folder / pattern).string() + "'",
                            folder);
    EXPECT_EQ(p.status, 2) << pattern;
    EXPECT_NE(p.err.find("tovix: --frames: the PATTERN"), std::string::npos) << p.err;
    EXPECT_NE(p.err.find(reason), std::string::npos) << pattern << ": " << p.err;
  }
}

TEST_F(BatchTest, WithoutADisplayThePlayerRunsInBatchMode) {
  const std::string info = std::string(TOVIX_PROGRAM) + " --info '" + TestData("bmp/b8_21x13.bmp").string() + "'";
  Program p = Tovix("env -u DISPLAY -u WAYLAND_DISPLAY " + info, folder);
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(p.out, "{\"kind\":\"BMP\",\"width\":21,\"height\":13,\"depth\":8,\"frames\":1}\n");
  p = Tovix("env -u DISPLAY WAYLAND_DISPLAY=wayland-0 " + info, folder);
  EXPECT_EQ(p.status, 2);
  EXPECT_NE(p.err.find("give --batch"), std::string::npos) << p.err;
}

// A file the player cannot read is told for what it is: a Targa of a
// variant it does not read, an animation cut short (counted as far as it
// goes, its frames written as far as they go).
TEST_F(BatchTest, RefusedAndCutShortFilesAreToldAsSuch) {
  Program p = Tovix(std::string(TOVIX_PROGRAM) + " --batch --info '" +
                        TestData("tga/refuse_t2_32bit_20x10.tga").string() + "'",
                    folder);
  EXPECT_EQ(p.status, 1);
  EXPECT_NE(p.err.find("Unknown TGA format. ["), std::string::npos) << p.err;
  EXPECT_NE(p.err.find("]: 32 bits per pixel (only 24 are read)"), std::string::npos) << p.err;
  EXPECT_EQ(p.err.find("Opening error"), std::string::npos) << p.err;

  // The first 200000 bytes of the animation hold its first 41 frames whole.
  std::ifstream whole(TestData("anm/bomb.anm"), std::ios::binary);
  std::string bytes(200000, '\0');
  whole.read(bytes.data(), std::streamsize(bytes.size()));
  std::ofstream(folder / "CUT.ANM", std::ios::binary) << bytes;
  const std::string cut = "'" + (folder / "CUT.ANM").string() + "'";
  p = Tovix(std::string(TOVIX_PROGRAM) + " --batch --info " + cut, folder);
  EXPECT_EQ(p.status, 0);
  EXPECT_EQ(p.out, "{\"kind\":\"ANM\",\"width\":320,\"height\":200,\"depth\":8,\"frames\":41}\n");
  EXPECT_NE(p.err.find("is cut short: it holds 41 of its 199 frames"), std::string::npos) << p.err;
  std::filesystem::create_directories(folder / "frames");
  p = Tovix(std::string(TOVIX_PROGRAM) + " --batch --frames " + cut + " '" + (folder / "frames/F%03d.BMP").string() +
                "'",
            folder);
  EXPECT_EQ(p.status, 1);
  EXPECT_NE(p.err.find("is cut short: it holds 41 of its 199 frames"), std::string::npos) << p.err;
  EXPECT_EQ(p.err.find("could not be written"), std::string::npos) << p.err;
  EXPECT_TRUE(std::filesystem::exists(folder / "frames/F041.BMP"));
  EXPECT_FALSE(std::filesystem::exists(folder / "frames/F042.BMP"));
  // Cut into pictures, the same: the frames it holds, then what it lacks.
  p = Tovix(std::string(TOVIX_PROGRAM) + " --batch --cut " + cut + " BMP", folder);
  EXPECT_EQ(p.status, 1);
  EXPECT_NE(p.err.find("is cut short: it holds 41 of its 199 frames"), std::string::npos) << p.err;
  EXPECT_TRUE(std::filesystem::exists(folder / "CUT0041.BMP"));
  EXPECT_FALSE(std::filesystem::exists(folder / "CUT0042.BMP"));
  // Rewritten, it would pass for a whole one: --flip refuses it.
  EXPECT_EQ(Tovix(std::string(TOVIX_PROGRAM) + " --batch --flip " + cut, folder).status, 1);
  EXPECT_EQ(std::filesystem::file_size(folder / "CUT.ANM"), bytes.size());
}

}  // namespace
}  // namespace tessaran::player
