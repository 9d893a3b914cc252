// rz --batch: option parsing, the overrides of the project, and the program
// run as a user runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "imaging/bmp.h"
#include "platform/bytes.h"
#include "renderer/app/batch.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/progress.h"
#include "sample_scene.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

constexpr int kPictureSlot = 5;

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

  // The program with `args`; program false: `args` is the whole command.
  Result Rz(const std::string& args, bool program = true) {
    const fs::path errFile = dir_ / "err.txt";
    const std::string command = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' " +
                                (program ? "'" + std::string(RZ_PROGRAM) + "' " : "") + args + " 2>'" +
                                errFile.string() + "' </dev/null";
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
  for (const char* size : {"0x0", "-5x10", "99999x99999", "70000x10"}) {
    r = Rz(std::string("--batch --size ") + size);
    EXPECT_EQ(r.status, 2) << size;
    EXPECT_NE(r.err.find("--size: image size"), std::string::npos) << r.err;
  }
  EXPECT_NE(r.err.find("70000 x 10"), std::string::npos);
  r = Rz("--batch " + Path("MISSING.MAQ"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("does not exist"), std::string::npos);
  // A named pipe given for the scene is refused, not waited on for ever.
  ASSERT_EQ(mkfifo((dir_ / "PIPE.MAQ").c_str(), 0600), 0);
  r = Rz("timeout 60 '" + std::string(RZ_PROGRAM) + "' --batch " + Path("PIPE.MAQ"), false);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("PIPE.MAQ"), std::string::npos) << r.err;
}

// A FILE that is neither a project nor a scene is bad usage, not the
// bundled demo rendered in its place; a picture is the ground map only
// when the run asks for it as "SX SY PICTURE".
TEST_F(RzProgram, AFileThatIsNeitherProjectNorSceneIsBadUsage) {
  std::ofstream(dir_ / "scene.txt") << "not a scene";
  ASSERT_EQ(VimCreate(kPictureSlot, 8, 8, 24), 1);
  ASSERT_EQ(WriteBmp((dir_ / "GROUND").string(), -2, kPictureSlot, 8), 0);
  VimFree(kPictureSlot);
  for (const char* file : {"scene.txt", "GROUND.BMP"}) {
    const Result r = Rz("--batch " + Path(file) + " --size 16x12 --last 0");
    EXPECT_EQ(r.status, 2) << file << r.err;
    EXPECT_NE(r.err.find("neither a render project (.RPJ) nor a scene (.MAQ)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("image(s) computed"), std::string::npos) << r.err;
  }
  const Result mapped = Rz("--batch '100 100 " + (dir_ / "GROUND.BMP").string() +
                           "' --size 16x12 --last 0 --format24 TGA --out " + Path("ground"));
  EXPECT_EQ(mapped.status, 0) << mapped.err;
  EXPECT_TRUE(fs::exists(dir_ / "ground" / "DEMO0000.TGA")) << mapped.err;
}

// The 24-bit Targa the renderer wrote: its size and its pixels.
struct Targa {
  int width = 0;
  int height = 0;
  Bytes bytes;
  bool AnyLit() const {
    for (std::size_t i = 18; i < bytes.size(); ++i) {
      if (bytes[i] != std::byte{0}) return true;
    }
    return false;
  }
};

Targa ReadTarga(const fs::path& file) {
  Targa t;
  if (!ReadWholeFile(file, t.bytes) || t.bytes.size() < 18) return t;
  t.width = std::to_integer<int>(t.bytes[12]) | std::to_integer<int>(t.bytes[13]) << 8;
  t.height = std::to_integer<int>(t.bytes[14]) | std::to_integer<int>(t.bytes[15]) << 8;
  return t;
}

TEST_F(RzProgram, WithoutAFileTheBundledDemoIsRendered) {
  const Result r = Rz("--batch --size 40x30 --last 0 --format24 TGA --out " + Path("demo"));
  ASSERT_EQ(r.status, 0) << r.err;
  // The files are named after the demo scene and listed at the end.
  EXPECT_NE(r.err.find("wrote " + (dir_ / "demo" / "DEMO0000.TGA").string()), std::string::npos) << r.err;
  const Targa image = ReadTarga(dir_ / "demo" / "DEMO0000.TGA");
  EXPECT_EQ(image.width, 40);
  EXPECT_EQ(image.height, 30);
  EXPECT_EQ(image.bytes.size(), 18u + 40u * 30u * 3u);
  EXPECT_TRUE(image.AnyLit());
  // Images outside --first … --last are counted, not computed.
  EXPECT_FALSE(fs::exists(dir_ / "demo" / "DEMO0001.TGA"));
}

// Started by the modeler on a machine without a display, the renderer
// cannot serve; it ends at once instead of rendering the last project.
TEST_F(RzProgram, StartedToServeWithoutADisplayItEndsRenderingNothing) {
  const std::string rz = "'" + std::string(RZ_PROGRAM) + "'";
  const Result r = Rz("env -u DISPLAY -u WAYLAND_DISPLAY TESSARAN_STARTED_TO_SERVE=1 " + rz, false);
  EXPECT_EQ(r.status, kRzFailed);
  EXPECT_NE(r.err.find("rz: started to serve the other programs, but no display is set"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("wrote"), std::string::npos) << r.err;
}

// The windows live in a library of their own: a batch render (on a farm
// machine, say) never loads Qt, which would cost each render's start.
TEST_F(RzProgram, ABatchRenderNeverLoadsQt) {
  const Result r = Rz("LD_DEBUG=files '" + std::string(RZ_PROGRAM) + "' --batch --size 8x6 --last 0 --format24 TGA --out " +
                          Path("farm"),
                      false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("librzlngeng.so"), std::string::npos) << "the loader's trace is missing";
  EXPECT_EQ(r.err.find("libQt6"), std::string::npos) << r.err;
}

// A plain render tells the user only its own lines and the questions it
// answered; the libraries' progress captions (pictures loaded, recorded,
// reduced) are diagnostic lines, shown with KORVANDBG only.
TEST_F(RzProgram, StderrHoldsOnlyTheUsersLines) {
  const std::string options = "--batch --size 40x30 --last 0 --format24 TGA --format8 LBM --anim ANM --out ";
  const Result plain = Rz("env -u KORVANDBG '" + std::string(RZ_PROGRAM) + "' " + options + Path("plain"), false);
  ASSERT_EQ(plain.status, 0) << plain.err;
  std::istringstream lines(plain.err);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_TRUE(line.starts_with("rz: ") || line.starts_with("question ")) << line;
  }
  EXPECT_GT(count, 3);
  const Result traced = Rz("KORVANDBG=1 '" + std::string(RZ_PROGRAM) + "' " + options + Path("traced"), false);
  ASSERT_EQ(traced.status, 0) << traced.err;
  for (const char* diagnostic : {"IFF->VirtIm(", "TGA recording", "24 bits -> 8 bits conversion"}) {
    EXPECT_EQ(plain.err.find(diagnostic), std::string::npos) << diagnostic;
    EXPECT_NE(traced.err.find(diagnostic), std::string::npos) << diagnostic;
  }
}

TEST_F(RzProgram, OneThreadAndTwoThreadsWriteTheSameFile) {
  WriteSampleScenes(dir_ / "S.MAQ", 1);
  for (const char* threads : {"1", "2"}) {
    const Result r = Rz("--batch " + Path("S.MAQ") + " --mode raytrace --aa 2 --size 40x30 --format24 TGA" +
                        " --threads " + threads + " --out " + Path(std::string("t") + threads));
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const Targa one = ReadTarga(dir_ / "t1" / "S0000.TGA");
  const Targa two = ReadTarga(dir_ / "t2" / "S0000.TGA");
  EXPECT_EQ(one.width, 40);
  EXPECT_EQ(one.height, 30);
  EXPECT_TRUE(one.AnyLit());
  EXPECT_EQ(one.bytes, two.bytes);
}

TEST_F(RzProgram, AnAnimationOfOneSceneIsARenderWithoutOutput) {
  WriteSampleScenes(dir_ / "ONE.MAQ", 1);
  RenderProject p;
  ResetProject(p);
  p.SetSceneName((dir_ / "ONE.MAQ").string());
  p.mode = kRayTracing;
  p.width = 16;
  p.height = 12;
  p.output = kOutAnimation;
  ASSERT_TRUE(WriteProject(p, dir_ / "ONE.RPJ"));
  const Result r = Rz("--batch " + Path("ONE.RPJ") + " --out " + Path("anim"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("makes no animation"), std::string::npos) << r.err;
}

TEST_F(RzProgram, ASceneIsAttachedReadAndRenderedInItsRange) {
  WriteSampleScenes(dir_ / "S.MAQ", 3);
  const Result r = Rz("--batch " + Path("S.MAQ") + " --mode raytrace --size 64x48 --first 1 --last 3 --out " +
                      Path("out"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("3 keyframe scene(s), 64 x 48"), std::string::npos) << r.err;
  // The default project asks for 2 images per interval: 2 + 3 images.
  EXPECT_NE(r.err.find("5 image(s) numbered 0 to 4, computing 1 to 3"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3 image(s) computed"), std::string::npos) << r.err;
  ASSERT_TRUE(fs::is_directory(dir_ / "out"));
  // The images of the range and the animation of the frames computed.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_ / "out")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.starts_with("S0001.") || name.starts_with("S0002.") || name.starts_with("S0003.") ||
                name == "S.AVI" || name == "S.LCK")
        << name;
    ++files;
  }
  EXPECT_EQ(files, 5);

  // A damaged scene file is refused before rendering.
  std::ofstream(dir_ / "BAD.MAQ") << "FORM....junk";
  const Result bad = Rz("--batch " + Path("BAD.MAQ"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.find("image(s) computed"), std::string::npos) << bad.err;
}

TEST(RzProgress, TheLineTellsTheImageItsShareAndTheTimeLeft) {
  EXPECT_EQ(DurationText(45.4), "45s");
  EXPECT_EQ(DurationText(187), "3m 07s");
  EXPECT_EQ(DurationText(7500), "2h 05m 00s");
  EXPECT_EQ(ProgressLine(1, 1, 0, 0, 0), "image 1 of 1 (number 0)   0%");
  // Half of the second of four images took 30 s: 62.5 % of the run is left.
  EXPECT_EQ(ProgressLine(2, 4, 7, 0.5, 30), "image 2 of 4 (number 7)  50%  about 50s left");
  EXPECT_EQ(ProgressLine(4, 4, 9, 1.0, 30), "image 4 of 4 (number 9) 100%");
}

Bytes FileBytes(const fs::path& file) {
  Bytes bytes;
  ReadWholeFile(file, bytes);
  return bytes;
}

// Runs rz in the background with stderr on a pipe; SIGINT once a line with
// `trigger` shows some progress (not 0 %). Returns the exit status (−1 on a
// failure to run).
// `atTrigger`, when given, runs just before the signal is sent.
int RzStoppedWhen(const std::string& command, const std::string& trigger, std::string& err,
                  const std::function<void()>& atTrigger = {}) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    dup2(fds[1], STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    execl("/bin/sh", "sh", "-c", (command + " </dev/null >/dev/null").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  FILE* in = fdopen(fds[0], "r");
  std::array<char, 1024> line;
  bool sent = false;
  while (fgets(line.data(), line.size(), in)) {
    err += line.data();
    const std::string text = line.data();
    if (!sent && text.find(trigger) != std::string::npos && text.find("  0%") == std::string::npos) {
      if (atTrigger) atTrigger();
      kill(pid, SIGINT);
      sent = true;
    }
  }
  fclose(in);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RzProgram, StoppedBySigintThenResumedWritesTheSameFile) {
  // The bundled demo's first image: long enough to be stopped on the way.
  const std::string options = " --batch --mode raytrace --aa 2 --size 400x300 --format24 TGA --last 0 --threads 1";
  const Result whole = Rz(options + " --out " + Path("whole"));
  ASSERT_EQ(whole.status, 0) << whole.err;
  // The progress in a log: a line every tenth of the run, then the summary.
  EXPECT_NE(whole.err.find("rz: image 1 of 1 (number 0)   0%\n"), std::string::npos) << whole.err;
  EXPECT_NE(whole.err.find("rz: image 1 of 1 (number 0) 100%\n"), std::string::npos) << whole.err;
  EXPECT_NE(whole.err.find(" seconds\n"), std::string::npos) << whole.err;

  // exec: the signal goes to rz itself.
  const std::string rz = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' exec '" + RZ_PROGRAM + "' ";
  std::string err;
  const int stopped = RzStoppedWhen(rz + options + " --out " + Path("part"), "image 1 of 1 (number 0)", err);
  ASSERT_EQ(stopped, 9) << err;
  ASSERT_TRUE(fs::exists(dir_ / "part" / "DEMO.RPJ")) << err;
  // The stop says which command resumes, not what a window would need, and
  // the stopped image keeps the share it reached.
  EXPECT_NE(err.find("to resume, run: rz --batch " + (dir_ / "part" / "DEMO.RPJ").string() + "\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("COMPUTE"), std::string::npos) << err;
  EXPECT_EQ(err.find("(number 0) 100%"), std::string::npos) << err;
  EXPECT_TRUE(fs::exists(dir_ / "part" / "DEMO0000.I24"));
  EXPECT_TRUE(fs::exists(dir_ / "part" / "DEMO0000.ALS"));
  EXPECT_FALSE(fs::exists(dir_ / "part" / "DEMO0000.TGA"));

  // The resume project holds the run's settings and finds its files where
  // it lies; the range to compute is the run's own, --last included.
  const Result resumed = Rz("--batch " + Path("part/DEMO.RPJ") + " --threads 2");
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_FALSE(fs::exists(dir_ / "part" / "DEMO0001.TGA")) << resumed.err;
  // Finished, the resume project the stop made is done with, as are the
  // partial image and the ring.
  for (const char* gone : {"DEMO.RPJ", "DEMO0000.I24", "DEMO0000.ALS"}) {
    EXPECT_FALSE(fs::exists(dir_ / "part" / gone)) << gone;
  }
  EXPECT_NE(resumed.err.find("400 x 300 ratio 100%, ray tracing mode, antialias 2"), std::string::npos)
      << resumed.err;
  const Targa a = ReadTarga(dir_ / "whole" / "DEMO0000.TGA");
  const Targa b = ReadTarga(dir_ / "part" / "DEMO0000.TGA");
  EXPECT_EQ(a.width, 400);
  EXPECT_TRUE(a.AnyLit());
  EXPECT_EQ(a.bytes, b.bytes);

  // Without resume files the stop still ends the run with 9.
  err.clear();
  const int plain = RzStoppedWhen(rz + options + " --no-resume --out " + Path("none"), "image 1 of 1 (number 0)", err);
  EXPECT_EQ(plain, 9) << err;
  EXPECT_FALSE(fs::exists(dir_ / "none" / "DEMO.RPJ"));
  EXPECT_FALSE(fs::exists(dir_ / "none" / "DEMO0000.TGA"));
}

// A disk too full for the pictures: the user is told the disk is full and
// which file, and a stop that cannot save its resume files says so.
TEST_F(RzProgram, AFullDiskIsToldWithTheFileAndTheLostResume) {
  // A file size limit of one block makes every write of a picture fail as a
  // full disk does (a partial image of black lines packs small).
  const std::string limited = "trap '' XFSZ; ulimit -f 1; TESSARAN_CONFIG='" + (dir_ / "config").string() +
                              "' exec '" + RZ_PROGRAM + "' --batch --mode raytrace --aa 2 --format24 TGA --last 0 ";
  // Its messages come through a pipe, on stdout: the limit holds for every
  // file it writes.
  Result r = Rz("sh -c \"(" + limited + "--size 200x150 --out '" + (dir_ / "full").string() + "') 2>&1 | cat\"",
                false);
  EXPECT_NE(r.out.find("error 25: The disk is full [" + (dir_ / "full" / "DEMO0000.TGA").string() + "]"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Opening error"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir_ / "full" / "DEMO0000.TGA"));

  std::string err;
  const int stopped = RzStoppedWhen(limited + "--size 400x300 --threads 1 --out '" + (dir_ / "stop").string() + "'",
                                    "image 1 of 1 (number 0)", err);
  EXPECT_EQ(stopped, 9) << err;
  EXPECT_NE(err.find("The disk is full [" + (dir_ / "stop" / "DEMO0000.I24").string() + "]"), std::string::npos)
      << err;
  EXPECT_NE(err.find("the resume files of image 0 could not be saved"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir_ / "stop" / "DEMO.RPJ"));
}

TEST_F(RzProgram, EstimateAnswersYesAndPrintsTheEstimate) {
  WriteSampleScenes(dir_ / "S.MAQ", 1);
  const Result r = Rz("--batch " + Path("S.MAQ") + " --mode raytrace --size 60x40 --format24 TGA --estimate --out " +
                      Path("e"));
  ASSERT_EQ(r.status, 0) << r.err;
  // The estimate is asked for (299 or 300 by the project's image count) and told.
  EXPECT_NE(r.err.find("estimate of the computation time"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("question 301: Estimated computation time : 00s."), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "e" / "S0000.TGA"));
}

// A render stopped during its second image and resumed records the same
// animation file as one never stopped: the frame made before the stop is
// taken up from the partial file with its palette. Once finished, the
// resume files and the project the stop made are gone.
TEST_F(RzProgram, AStoppedAnimationResumedEqualsTheUninterruptedOne) {
  const std::string rz = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' exec '" + RZ_PROGRAM + "' ";
  for (const std::string format : {"AVI", "ANM"}) {
    SCOPED_TRACE(format);
    const std::string options =
        " --batch --mode raytrace --aa 2 --size 256x160 --last 2 --threads 1 --anim " + format;
    const Result whole = Rz(options + " --out " + Path("whole" + format));
    ASSERT_EQ(whole.status, 0) << whole.err;
    std::string err;
    const fs::path part = dir_ / ("part" + format);
    // A project of the user's where the stop saves its own is written over
    // but kept, without its resume position, once the render has finished.
    const bool usersOwn = format == "AVI";
    RenderProject own;
    ResetProject(own);
    own.width = 32;
    fs::create_directories(part);
    if (usersOwn) {
      ASSERT_TRUE(WriteProject(own, part / "DEMO.RPJ"));
    }
    // The animation of an earlier render keeps its name through the stop;
    // the frames before the stop wait beside it.
    const fs::path earlier = part / ("DEMO." + format);
    const fs::path partial = part / ("DEMO~." + format);
    const std::string earlierText = "an earlier render's animation";
    std::ofstream(earlier, std::ios::binary) << earlierText;
    ASSERT_EQ(RzStoppedWhen(rz + options + " --out '" + part.string() + "'", "image 2 of 3 (number 1)", err), 9)
        << err;
    ASSERT_TRUE(fs::exists(part / "DEMO.RPJ")) << err;
    EXPECT_NE(err.find("rz: stopped at"), std::string::npos) << err;
    const Bytes kept = FileBytes(earlier);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(kept.data()), kept.size()), earlierText);
    EXPECT_TRUE(fs::exists(partial)) << err;
    const Result resumed = Rz("--batch '" + (part / "DEMO.RPJ").string() + "' --threads 2");
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    const Bytes expected = FileBytes(dir_ / ("whole" + format) / ("DEMO." + format));
    ASSERT_GT(expected.size(), 10000u);
    EXPECT_TRUE(FileBytes(part / ("DEMO." + format)) == expected);
    EXPECT_FALSE(fs::exists(partial));
    for (int n = 0; n <= 2; ++n) {
      const std::string image = "DEMO000" + std::to_string(n) + ".BMP";
      EXPECT_TRUE(FileBytes(part / image) == FileBytes(dir_ / ("whole" + format) / image)) << image;
    }
    for (const auto& entry : fs::directory_iterator(part)) {
      const std::string extension = entry.path().extension().string();
      EXPECT_TRUE(extension != ".ALS" && extension != ".I24") << entry.path();
    }
    RenderProject after;
    EXPECT_EQ(fs::exists(part / "DEMO.RPJ"), usersOwn);
    if (usersOwn) {
      ASSERT_TRUE(ReadProject(after, part / "DEMO.RPJ"));
      EXPECT_FALSE(after.HasResume() || after.madeForResume);
      EXPECT_EQ(after.resumeFrames, -1);
      EXPECT_EQ(after.width, 256);
    }
  }
}

// Past the render's last image there is nothing to compute: said, not a
// silent success.
TEST_F(RzProgram, AFirstImageBeyondTheLastIsBadUsage) {
  WriteSampleScenes(dir_ / "S.MAQ", 1);
  const Result r = Rz("--batch " + Path("S.MAQ") + " --size 16x12 --first 5 --out " + Path("o"));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("image 5, the first to compute, is beyond the last image 0"), std::string::npos) << r.err;
}

// Frames that do not fit ".ANM" records (640 x 480 of the demo): the
// animation is abandoned, the good one of an earlier render stays, and no
// write is reported.
TEST_F(RzProgram, AnAnimationThatCannotBeEncodedLeavesTheEarlierOne) {
  const std::string options = " --batch --mode pixel --last 1 --anim ANM --out " + Path("o");
  const Result good = Rz(options + " --size 64x40");
  ASSERT_EQ(good.status, 0) << good.err;
  const Bytes before = FileBytes(dir_ / "o" / "DEMO.ANM");
  ASSERT_GT(before.size(), 4000u);
  const Result big = Rz(options + " --size 640x480");
  EXPECT_EQ(big.status, 1) << big.err;
  EXPECT_NE(big.err.find("the animation is abandoned"), std::string::npos) << big.err;
  EXPECT_EQ(big.err.find("wrote " + (dir_ / "o" / "DEMO.ANM").string()), std::string::npos) << big.err;
  EXPECT_TRUE(FileBytes(dir_ / "o" / "DEMO.ANM") == before);
  EXPECT_TRUE(fs::exists(dir_ / "o" / "DEMO0001.BMP")) << "the images are still written";
}

// A second render into the files a render is writing is refused before it
// computes anything, and no temporary of either is left.
TEST_F(RzProgram, ASecondRenderIntoOutputsInUseIsTold) {
  const std::string rz = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' exec '" + RZ_PROGRAM + "' ";
  const std::string options = " --batch --mode raytrace --aa 2 --size 400x300 --last 1 --threads 1 --anim AVI";
  Result second;
  std::string err;
  const int first = RzStoppedWhen(rz + options + " --no-resume --out " + Path("shared"), "image 1 of 2", err,
                                  [&] { second = Rz(options + " --out " + Path("shared")); });
  EXPECT_EQ(first, 9) << err;
  EXPECT_EQ(second.status, 1) << second.err;
  EXPECT_NE(second.err.find("another render is writing the files of DEMO"), std::string::npos) << second.err;
  EXPECT_EQ(second.err.find("image(s) computed"), std::string::npos) << second.err;
  for (const auto& entry : fs::directory_iterator(dir_ / "shared")) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
  // Once the first has ended, the names are free again.
  const Result after = Rz(" --batch --size 16x12 --last 0 --out " + Path("shared"));
  EXPECT_EQ(after.status, 0) << after.err;
}

// SHOTA and SHOTB share the cut name SHOT: the second is warned that it
// replaces the first one's images; full names keep both, from the option
// or from the project.
TEST_F(RzProgram, ScenesOfOneCutNameAreWarnedAndFullNamesKeepBoth) {
  WriteSampleScenes(dir_ / "SHOTA.MAQ", 1);
  WriteSampleScenes(dir_ / "SHOTB.MAQ", 1);
  const std::string options = " --size 16x12 --format24 TGA --out " + Path("o");
  const Result a = Rz("--batch " + Path("SHOTA.MAQ") + options);
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(a.err.find("are replaced"), std::string::npos) << a.err;
  const Result again = Rz("--batch " + Path("SHOTA.MAQ") + options);
  EXPECT_EQ(again.err.find("are replaced"), std::string::npos) << again.err;
  const Result b = Rz("--batch " + Path("SHOTB.MAQ") + options);
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_NE(b.err.find("SHOTA.MAQ wrote into"), std::string::npos) << b.err;
  EXPECT_NE(b.err.find("--full-names"), std::string::npos) << b.err;

  const Result fullA = Rz("--batch " + Path("SHOTA.MAQ") + options + " --full-names");
  ASSERT_EQ(fullA.status, 0) << fullA.err;
  RenderProject project;
  ResetProject(project);
  project.SetSceneName((dir_ / "SHOTB.MAQ").string());
  project.width = 16;
  project.height = 12;
  project.format24 = 0;
  project.fullNames = true;
  ASSERT_TRUE(WriteProject(project, dir_ / "SHOTB.RPJ"));
  const Result fullB = Rz("--batch " + Path("SHOTB.RPJ") + " --out " + Path("o"));
  ASSERT_EQ(fullB.status, 0) << fullB.err;
  EXPECT_EQ(fullB.err.find("are replaced"), std::string::npos) << fullB.err;
  const Targa imageA = ReadTarga(dir_ / "o" / "SHOTA0000.TGA");
  EXPECT_EQ(imageA.width, 16);
  EXPECT_EQ(ReadTarga(dir_ / "o" / "SHOTB0000.TGA").width, 16);
  EXPECT_TRUE(fs::exists(dir_ / "o" / "SHOT0000.TGA"));
}

}  // namespace
}  // namespace tessaran
