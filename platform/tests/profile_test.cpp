#include "platform/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace tessaran {
namespace {

namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-profile-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("TESSARAN_CONFIG", dir_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteFile(const std::string& text) { std::ofstream(dir_ / "TESSARAN.INI") << text; }
  std::string ReadFile() {
    std::ifstream in(dir_ / "TESSARAN.INI");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path dir_;
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(GetProfileString("TESSARAN", "LANGUE", "ENG", "TESSARAN.INI"), "ENG");
  EXPECT_EQ(GetProfileInt("RZ_ENV", "DBUF", 7, "TESSARAN.INI"), 7);
  WriteFile("[RZ_ENV]\nX=1\n");
  EXPECT_EQ(GetProfileString("TESSARAN", "X", "none", "TESSARAN.INI"), "none");
  EXPECT_EQ(GetProfileString("RZ_ENV", "Y", "none", "TESSARAN.INI"), "none");
}

TEST_F(ProfileTest, SectionsAndKeysIgnoreCaseAndBlanks) {
  WriteFile("; settings\n[Tessaran]\n  langue =  FRA  \nCHEMIN=\"C:\\DATA\"\n[rz_env]\nscrute_pri=4\n");
  EXPECT_EQ(GetProfileString("TESSARAN", "LANGUE", "ENG", "TESSARAN.INI"), "FRA");
  EXPECT_EQ(GetProfileString("tessaran", "chemin", "", "TESSARAN.INI"), "C:\\DATA");
  EXPECT_EQ(GetProfileInt("RZ_ENV", "SCRUTE_PRI", 1, "TESSARAN.INI"), 4);
}

TEST_F(ProfileTest, IntegerReadsTakeSignAndLeadingDigits) {
  WriteFile("[S]\nA=-12\nB=+7\nC=42abc\nD=abc\nE=\nF=- 3\nG=  19 px\n");
  EXPECT_EQ(GetProfileInt("S", "A", 0, "TESSARAN.INI"), -12);
  EXPECT_EQ(GetProfileInt("S", "B", 0, "TESSARAN.INI"), 7);
  EXPECT_EQ(GetProfileInt("S", "C", 0, "TESSARAN.INI"), 42);
  EXPECT_EQ(GetProfileInt("S", "D", 5, "TESSARAN.INI"), 5);
  EXPECT_EQ(GetProfileInt("S", "E", 5, "TESSARAN.INI"), 5);
  EXPECT_EQ(GetProfileInt("S", "F", 5, "TESSARAN.INI"), 5);
  EXPECT_EQ(GetProfileInt("S", "G", 0, "TESSARAN.INI"), 19);
}

TEST_F(ProfileTest, RectanglesAreFourNumbersOrNone) {
  WriteFile("[W]\nA=900 10 100 700\nB=900 10 100\nC=x 1 2 3\n");
  EXPECT_EQ(GetProfileRectangle("W", "A", "TESSARAN.INI"), (std::array<int, 4>{900, 10, 100, 700}));
  EXPECT_EQ(GetProfileRectangle("W", "B", "TESSARAN.INI"), (std::array<int, 4>{}));
  EXPECT_EQ(GetProfileRectangle("W", "C", "TESSARAN.INI"), (std::array<int, 4>{}));
  EXPECT_EQ(GetProfileRectangle("W", "missing", "TESSARAN.INI"), (std::array<int, 4>{}));
  ASSERT_TRUE(WriteProfileRectangle("W", "B", {-5, 0, -640, 480}, "TESSARAN.INI"));
  EXPECT_EQ(GetProfileString("W", "B", "", "TESSARAN.INI"), "-5 0 -640 480");
  EXPECT_EQ(GetProfileRectangle("W", "B", "TESSARAN.INI"), (std::array<int, 4>{-5, 0, -640, 480}));
}

TEST_F(ProfileTest, JunkAndVeryLongLinesAreSurvived) {
  std::string junk(20000, 'x');
  WriteFile(junk + "\n[S\n=nokey\n[S]\n" + junk + "\nK=" + std::string(5000, '9') + "\nL=3\n");
  EXPECT_EQ(GetProfileInt("S", "L", 0, "TESSARAN.INI"), 3);
  EXPECT_EQ(GetProfileString("S", "K", "", "TESSARAN.INI").size(), 5000u);
  ASSERT_TRUE(WriteProfileString("S", "L", "4", "TESSARAN.INI"));
  EXPECT_EQ(ReadFile().find(junk), 0u);
}

TEST_F(ProfileTest, WritingKeepsEveryOtherLineAndOrder) {
  WriteFile("; first comment\n[TESSARAN]\nLANGUE=ENG\n; inside\nDBUF=1\n\n[RZ_ENV]\nX=1\n");
  ASSERT_TRUE(WriteProfileString("tessaran", "langue", "FRA", "TESSARAN.INI"));
  ASSERT_TRUE(WriteProfileString("TESSARAN", "CHEMIN", "/data", "TESSARAN.INI"));
  ASSERT_TRUE(WriteProfileString("Q1_ENV", "ZOOM", "2", "TESSARAN.INI"));
  EXPECT_EQ(ReadFile(),
            "; first comment\n[TESSARAN]\nlangue=FRA\n; inside\nDBUF=1\nCHEMIN=/data\n\n"
            "[RZ_ENV]\nX=1\n[Q1_ENV]\nZOOM=2\n");
  EXPECT_EQ(GetProfileString("TESSARAN", "LANGUE", "", "TESSARAN.INI"), "FRA");
}

TEST_F(ProfileTest, WritingCreatesDirectoryAndFile) {
  fs::path nested = dir_ / "a" / "b";
  setenv("TESSARAN_CONFIG", nested.c_str(), 1);
  ASSERT_TRUE(WriteProfileString("TESSARAN", "LANGUE", "FRA", "TESSARAN.INI"));
  EXPECT_EQ(GetProfileString("TESSARAN", "LANGUE", "", "TESSARAN.INI"), "FRA");
  for (const auto& entry : fs::directory_iterator(nested))  // no temporary left behind
    EXPECT_EQ(entry.path().filename(), "TESSARAN.INI");
}

TEST_F(ProfileTest, UnwritableLocationFailsWithAReasonAndReadsDefaults) {
  std::ofstream(dir_ / "plainfile") << "x";
  fs::path impossible = dir_ / "plainfile" / "sub";
  setenv("TESSARAN_CONFIG", impossible.c_str(), 1);
  std::string error;
  EXPECT_FALSE(WriteProfileString("S", "K", "V", "TESSARAN.INI", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(GetProfileInt("S", "K", 9, "TESSARAN.INI"), 9);
}

TEST_F(ProfileTest, LocationFollowsTheEnvironment) {
  unsetenv("TESSARAN_CONFIG");
  setenv("XDG_CONFIG_HOME", "/x", 1);
  EXPECT_EQ(ProfilePath("TESSARAN.INI"), fs::path("/x/tessaran/TESSARAN.INI"));
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/h", 1);
  EXPECT_EQ(ProfileDirectory(), fs::path("/h/.config/tessaran"));
}

}  // namespace
}  // namespace tessaran
