// rz --batch: option parsing, the overrides of the project, and the program
// run as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "platform/bytes.h"
#include "renderer/app/batch.h"
#include "renderer/app/output_settings.h"
#include "sample_scene.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

bool Parse(std::vector<std::string> args, RendererBatchOptions& o, std::string& error) {
  o = {};
  return ParseRendererBatch(args, o, error);
}

TEST(RzOptions, EveryOptionIsParsedAndBadUsageExplained) {
  RendererBatchOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--batch", "A.RPJ", "--out", "o", "--size", "640x480", "--mode", "raytrace", "--aa", "3",
                     "--format24", "TGA10", "--format8", "pcx", "--anim", "AVI", "--first", "4", "--last", "6",
                     "--threads", "2", "--estimate", "--no-resume"},
                    o, error))
      << error;
  EXPECT_EQ(o.file, "A.RPJ");
  EXPECT_EQ(o.outDirectory, "o");
  EXPECT_EQ(*o.width, 640);
  EXPECT_EQ(*o.height, 480);
  EXPECT_EQ(*o.mode, kRayTracing);
  EXPECT_EQ(*o.antialias, 3);
  EXPECT_EQ(*o.format24, 1);
  EXPECT_EQ(*o.format8, 1);
  EXPECT_EQ(*o.animFormat, 1);
  EXPECT_EQ(*o.first, 4);
  EXPECT_EQ(*o.last, 6);
  EXPECT_EQ(o.threads, 2);
  EXPECT_TRUE(o.estimate && o.noResume);

  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--size"},
                                             {"--size", "640"},
                                             {"--size", "640x"},
                                             {"--mode", "fast"},
                                             {"--aa", "4"},
                                             {"--format24", "LBM"},
                                             {"--format8", "TGA"},
                                             {"--anim", "GIF"},
                                             {"--threads", "0"},
                                             {"--first", "x"},
                                             {"--first", "5", "--last", "4"},
                                             {"--frobnicate"},
                                             {"A.RPJ", "B.RPJ"}}) {
    EXPECT_FALSE(Parse(bad, o, error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
  // An absurd size is well formed: it is refused later with its own message.
  EXPECT_TRUE(Parse({"--size", "0x0"}, o, error));
  EXPECT_TRUE(Parse({"--size", "70000x10"}, o, error));
}

TEST(RzOptions, OverridesChangeOnlyWhatTheyName) {
  RendererBatchOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--aa", "2", "--format8", "BMP", "--first", "4", "--size", "64x48"}, o, error));
  RenderProject p;
  p.output = kOutAnimation;
  ApplyOverrides(o, p);
  EXPECT_EQ(p.antialias, 2);
  EXPECT_TRUE(p.flags & kFlagAntialias);
  EXPECT_EQ(p.format8, 2);
  EXPECT_EQ(p.output, kOutAnimation | kOutImages | kOutScreenImages);
  EXPECT_EQ(p.firstImage, 5);
  EXPECT_EQ(p.width, 64);
  EXPECT_EQ(p.mode, kPixel);
  ASSERT_TRUE(Parse({"--aa", "0"}, o, error));
  ApplyOverrides(o, p);
  EXPECT_FALSE(p.flags & kFlagAntialias);
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class RzProgram : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-rz-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result Rz(const std::string& args) {
    const fs::path errFile = dir_ / "err.txt";
    const std::string command = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' '" + RZ_PROGRAM + "' " +
                                args + " 2>'" + errFile.string() + "' </dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes bytes;
    ReadWholeFile(errFile, bytes);
    result.err.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return result;
  }
  std::string Path(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }
  fs::path dir_;
};

TEST_F(RzProgram, BadUsageAndAbsurdSizesGiveTheirStatus) {
  Result r = Rz("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--format24"), std::string::npos);
  r = Rz("--batch --aa 9");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--aa"), std::string::npos);
  r = Rz("--batch --size 0x0");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("0 x 0"), std::string::npos);
  r = Rz("--batch --size 70000x10");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("70000 x 10"), std::string::npos);
  r = Rz("--batch " + Path("MISSING.MAQ"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos);
}

TEST_F(RzProgram, WithoutAFileTheRunEndsCleanly) {
  const Result r = Rz("--batch");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_FALSE(r.err.empty());
}

TEST_F(RzProgram, ASceneIsAttachedReadAndReportedNotRenderedYet) {
  WriteSampleScenes(dir_ / "S.MAQ", 3);
  const Result r = Rz("--batch " + Path("S.MAQ") + " --size 64x48 --first 4 --last 6 --out " + Path("out"));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("3 keyframe scene(s), 64 x 48"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("computing 4 to 6"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not built yet"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(dir_ / "out"));

  // A damaged scene file is refused before rendering.
  std::ofstream(dir_ / "BAD.MAQ") << "FORM....junk";
  const Result bad = Rz("--batch " + Path("BAD.MAQ"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.find("not built yet"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace tessaran
