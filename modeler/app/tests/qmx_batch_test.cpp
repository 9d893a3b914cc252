// The qmx program in batch mode, run as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/bytes.h"
#include "scene/maq_file.h"
#include "scene/scene_model.h"

namespace tessaran {
namespace {

struct Result {
  int status = -1;
  std::string out;
};

// Runs qmx with the arguments (shell-quoted by the caller); stdout kept,
// stderr to `errFile`.
Result Qmx(const std::string& args, const std::filesystem::path& errFile) {
  const std::string command = std::string("'") + QMX_PROGRAM + "' " + args + " 2>'" + errFile.string() + "'";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadText(const std::filesystem::path& file) {
  Bytes bytes;
  ReadWholeFile(file, bytes);
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class QmxBatch : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tessaran-qmx-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }
  std::filesystem::path dir_;
};

// A scene of two grids on a turned frame, a lamp, a map and a free frame.
void WriteSample(const std::filesystem::path& file) {
  SceneModel scene;
  for (int k = 0; k < 2; ++k) {
    const int object = scene.AppendObject(3, 2);
    for (int p = 0; p < 6; ++p) {
      scene.Points().Put(scene.Object(object).FirstPoint() + p, {float(p) * 0.7071f, float(k) * 8000.5f, -1.5f});
    }
  }
  Rotate(scene.Frames().AbsOrientation(1), Axis::Y, 0.5235987756);
  scene.Header().freeFrameCount = 1;
  scene.SceneLamps().SetCount(1);
  const int map = scene.Maps().Add(2, 2003, "ROCK.LBM");
  scene.Assignments().Add({1, {map, 0, 0}});
  scene.View().zoom = 2.35;
  scene.View().TH = 30;
  scene.View().PH = -30;
  scene.View().CIBLE = {1, 2.5, -3};
  ASSERT_EQ(WriteMaq(scene, file), 1);
}

TEST_F(QmxBatch, OpenAndSaveGiveTheSameBytesAndInfoCountsEveryScene) {
  WriteSample(dir_ / "A.MAQ");
  const auto err = dir_ / "err.txt";
  Result r = Qmx("--batch --open " + Path("A.MAQ") + " --save " + Path("B.MAQ"), err);
  ASSERT_EQ(r.status, 0) << ReadText(err);
  EXPECT_EQ(ReadText(dir_ / "B.MAQ"), ReadText(dir_ / "A.MAQ"));

  // Two more keyframes: the inserted file's objects join the scene.
  r = Qmx("--batch --open " + Path("A.MAQ") + " --add-keyframe " + Path("B.MAQ") + " --insert " + Path("A.MAQ") +
              " --add-keyframe " + Path("B.MAQ") + " --info " + Path("B.MAQ"),
          err);
  ASSERT_EQ(r.status, 0) << ReadText(err);
  const std::string scene1 =
      "{\"objects\":2,\"points\":12,\"faces\":0,\"free_frames\":1,\"lamps\":1,"
      "\"camera\":{\"th\":30,\"ph\":-30,\"zoom\":2.35,\"pers\":2000,\"target\":[1,2.5,-3]}}";
  const std::string scene3 =
      "{\"objects\":4,\"points\":24,\"faces\":0,\"free_frames\":2,\"lamps\":2,"
      "\"camera\":{\"th\":30,\"ph\":-30,\"zoom\":2.35,\"pers\":2000,\"target\":[1,2.5,-3]}}";
  EXPECT_EQ(r.out, "{\"scenes\":[" + scene1 + "," + scene1 + "," + scene3 + "],\"maps\":1,\"assignments\":1}\n");
}

TEST_F(QmxBatch, FailuresAndBadUsageGiveTheirStatus) {
  const auto err = dir_ / "err.txt";
  Result r = Qmx("--batch --open " + Path("NONE.MAQ"), err);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(ReadText(err).find("Sorry, I can't open this file !"), std::string::npos) << ReadText(err);

  std::FILE* junk = std::fopen((dir_ / "JUNK.MAQ").c_str(), "wb");
  std::fputs("FORM\x7f\xff\xff\xffTSRN", junk);
  std::fclose(junk);
  r = Qmx("--batch --info " + Path("JUNK.MAQ"), err);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.empty());

  EXPECT_EQ(Qmx("--batch --open", err).status, 2);
  EXPECT_EQ(Qmx("--batch --frobnicate", err).status, 2);
  EXPECT_EQ(Qmx("--batch", err).status, 2);
  r = Qmx("--help", err);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--info F.MAQ"), std::string::npos);
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// A scene built from primitives, a DXF file (with its two-point line faces)
// and a lamp is saved, and the saved file opens and saves to the same bytes.
TEST_F(QmxBatch, BuiltScenesSaveAndReopen) {
  const std::string dxf = "'" TESSARAN_TESTDATA "/dxf/r2000_mixed.dxf'";
  Result built = Qmx("--batch --primitive sphere 12 8 --colour 15 4 2 --import " + dxf +
                         " --lamp 200 300 -200 80 --save " + Path("A.MAQ"),
                     dir_ / "err1");
  ASSERT_EQ(built.status, 0) << ReadText(dir_ / "err1");
  Result again = Qmx("--batch --open " + Path("A.MAQ") + " --save " + Path("B.MAQ") + " --info " + Path("B.MAQ"),
                     dir_ / "err2");
  ASSERT_EQ(again.status, 0) << ReadText(dir_ / "err2");
  EXPECT_EQ(ReadText(dir_ / "A.MAQ"), ReadText(dir_ / "B.MAQ"));
  EXPECT_NE(again.out.find("\"lamps\":1"), std::string::npos) << again.out;
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// Values out of their range, or beyond what the scene file holds (also as
// the result of moving or sizing an object), are bad usage: status 2, a
// message naming the value, and nothing saved.
TEST_F(QmxBatch, ValuesOutOfRangeAreBadUsage) {
  const std::string sphere = "--batch --primitive sphere 8 6 ";
  const std::pair<std::string, std::string> kRefused[] = {
      {"--camera 30 20 0.15 99999999", "PERS 99999999"},
      {"--camera 30 20 1 2000 0 1e7 0", "the target y 10000000"},
      {"--camera 40000 20 1 2000", "TH 40000"},
      {"--camera 0 0 0.1 10000", "focal value"},
      {"--move 1e300 0 0", "x = 1e+300"},
      {"--move 21000 0 0 --move 0 0 1000 --move 1000 0 0", "x = 22000"},
      {"--size 100 1e9 100", "a point of object 0"},
      {"--rotate 0 0 90 --size 1e8 100 100", "a point of object 0"},
      {"--lamp 0 0 1e6", "the lamp would lie at z = 1000000"},
      {"--colour 16 0 0", "colour components are 0 to 15"},
      {"--colour 4294967296 0 0", "colour components are 0 to 15"},
      {"--material 0 0 0 101 0", "percentages"},
      {"--select 3", "objects are 0 to 0"},
      {"--select none --move 1 0 0", "no object is selected"},
  };
  for (const auto& [words, named] : kRefused) {
    const Result r = Qmx(sphere + words + " --save " + Path("OUT.MAQ"), dir_ / "err");
    EXPECT_EQ(r.status, 2) << words;
    EXPECT_NE(ReadText(dir_ / "err").find(named), std::string::npos) << words << ": " << ReadText(dir_ / "err");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "OUT.MAQ")) << words;
  }
  for (const std::string words : {"--primitive sphere 0 8", "--primitive cone 8 8", "--primitive ring 8 8 101"}) {
    EXPECT_EQ(Qmx("--batch " + words, dir_ / "err").status, 2) << words;
  }
  Result r = Qmx("--batch --select 5", dir_ / "err");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(ReadText(dir_ / "err").find("the scene has no objects"), std::string::npos) << ReadText(dir_ / "err");

  // At the edge of the ranges the scene is saved and reads back.
  r = Qmx(sphere + "--move 21000 0 0 --camera 32767 -20 2 65535 -21474 0 21474 --save " + Path("EDGE.MAQ") +
              " --info " + Path("EDGE.MAQ"),
          dir_ / "err");
  ASSERT_EQ(r.status, 0) << ReadText(dir_ / "err");
  EXPECT_NE(r.out.find("\"th\":32767,\"ph\":-20,\"zoom\":2,\"pers\":65535,\"target\":[-21474,0,21474]"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// Failures say why: a file to import that does not exist, a save into a
// folder that cannot hold it.
TEST_F(QmxBatch, FailuresSayWhy) {
  Result r = Qmx("--batch --import " + Path("nope.DXF"), dir_ / "err");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(ReadText(dir_ / "err").find("nope.DXF: no such file"), std::string::npos) << ReadText(dir_ / "err");
  EXPECT_EQ(ReadText(dir_ / "err").find("Incomplete DXF"), std::string::npos) << ReadText(dir_ / "err");

  std::fclose(std::fopen((dir_ / "FILE").c_str(), "wb"));
  r = Qmx("--batch --primitive box 2 2 --save " + Path("FILE/A.MAQ"), dir_ / "err");
  EXPECT_EQ(r.status, 1);
  const std::string err = ReadText(dir_ / "err");
  EXPECT_NE(err.find("Sorry, I can't open this file !"), std::string::npos) << err;
  EXPECT_NE(err.find("cannot create " + (dir_ / "FILE/A.MAQ").string() + ": Not a directory"), std::string::npos)
      << err;
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// The profile file of `qmx --help` reads and sweeps as it says; bare "X Y"
// lines are told what is missing.
TEST_F(QmxBatch, TheHelpsProfileExampleExtrudesAndTurns) {
  const Result help = Qmx("--help", dir_ / "err");
  ASSERT_EQ(help.status, 0);
  const std::size_t at = help.out.find("For example:\n");
  ASSERT_NE(at, std::string::npos) << help.out;
  std::string example;
  std::istringstream lines(help.out.substr(at + 13));
  for (std::string line; std::getline(lines, line) && line.starts_with("    ");) example += line.substr(4) + "\n";
  std::ofstream(dir_ / "P.TXT") << example;
  for (const char* sweep : {"--extrude 40 1", "--pivot 0 360 16"}) {
    const Result r = Qmx("--batch --profile " + Path("P.TXT") + " " + sweep + " --save " + Path("P.MAQ") +
                             " --info " + Path("P.MAQ"),
                         dir_ / "err");
    ASSERT_EQ(r.status, 0) << sweep << ": " << ReadText(dir_ / "err");
    EXPECT_NE(r.out.find("\"objects\":1"), std::string::npos) << r.out;
  }
  std::ofstream(dir_ / "BARE.TXT") << "0 0\n100 0\n100 50\n";
  const Result bare = Qmx("--batch --profile " + Path("BARE.TXT") + " --extrude 40 1", dir_ / "err");
  EXPECT_EQ(bare.status, 1);
  EXPECT_NE(ReadText(dir_ / "err").find("no point after a line \"Listepoint\""), std::string::npos)
      << ReadText(dir_ / "err");
}

}  // namespace
}  // namespace tessaran

namespace tessaran {
namespace {

// The editing options act on the selection as the scene's camera sees it:
// the saved file holds the cut points; merging a single object is refused
// with message 10 and nothing is saved.
TEST_F(QmxBatch, EditingOptionsChangeTheSavedPointsOrAreRefused) {
  Result r = Qmx("--batch --primitive sphere 8 6 --move 0 40 0 --cut top 0 50 0 --mirror --save " + Path("E.MAQ"),
                 dir_ / "err");
  ASSERT_EQ(r.status, 0) << ReadText(dir_ / "err");
  SceneModel scene;
  ASSERT_EQ(ReadModel(scene, dir_ / "E.MAQ", ReadMode::Open), 0);
  float high = -1e9f;
  for (int p = 1; p <= scene.TotalPoints(); ++p) high = std::max(high, scene.Points().Get(p)[1]);
  EXPECT_NEAR(high, 50, 1e-3);

  r = Qmx("--batch --primitive plan 2 2 --merge --save " + Path("F.MAQ"), dir_ / "err");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(ReadText(dir_ / "err").find("There are more or less than two objects selected"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "F.MAQ"));
}

}  // namespace
}  // namespace tessaran
