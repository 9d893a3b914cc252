#include "modeler/geometry/profile_file.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "message_recorder.h"
#include "platform/bytes.h"

namespace tessaran {
namespace {

using Points = std::vector<std::array<int, 2>>;

TEST(ProfileFile, ReadsPointsBetweenListepointAndFinListe) {
  MessageRecorder messages;
  Profile2D profile;
  const std::string text =
      "/* a comment\n"
      "5 5\n"                 // before "Listepoint": ignored
      "Listepoint   3\n"
      "12.7 -3.2\n"           // truncated to (12, -3)
      "4   x\n"               // second word not a number: nothing
      "20 30\r\n"
      "anything else\n"
      "-7 8 9\n"
      "FinListe\n"
      "99 99\n";
  EXPECT_EQ(ReadProfileText(text, profile), ProfileRead::Ok);
  EXPECT_EQ(profile.points, (Points{{12, -3}, {20, 30}, {-7, 8}}));
  EXPECT_TRUE(messages.numbers.empty());
}

TEST(ProfileFile, ASecondListepointStartsAgainAndAMissingFinListeKeepsThePoints) {
  Profile2D profile;
  EXPECT_EQ(ReadProfileText("Listepoint\n1 1\nListepoint\n1 2\n3 4\n5 6\n7 8", profile), ProfileRead::Ok);
  EXPECT_EQ(profile.points, (Points{{1, 2}, {3, 4}, {5, 6}, {7, 8}}));
  // "FinListe" before any point is ignored.
  EXPECT_EQ(ReadProfileText("Listepoint\nFinListe\n1 1\n2 2\n3 3\n", profile), ProfileRead::Ok);
  EXPECT_EQ(profile.points.size(), 3u);
}

TEST(ProfileFile, TooManyTooFewAndNoPoints) {
  std::string many = "Listepoint 300\n";
  for (int i = 0; i < 300; ++i) many += std::to_string(i) + " " + std::to_string(-i) + "\n";
  many += "FinListe\n";
  struct Case {
    std::string text;
    ProfileRead result;
    std::size_t points;
    std::vector<int> messages;
  } cases[] = {
      {many, ProfileRead::Ok, 250, {34}},
      {"Listepoint\n1 1\n2 2\nFinListe\n", ProfileRead::TooFew, 2, {36}},
      {"Listepoint\nFinListe\n", ProfileRead::NoPoint, 0, {35}},
      {"1 2\n3 4\n5 6\n", ProfileRead::NoPoint, 0, {35}},
      {"Listepoint\nnan 1\n1e300 2\ninf inf\n", ProfileRead::NoPoint, 0, {35}},
      {std::string(1000, 'x') + "\nListepoint\n1 1\n2 2\n3 3\n", ProfileRead::Ok, 3, {}},
  };
  for (const Case& c : cases) {
    MessageRecorder messages;
    Profile2D profile;
    EXPECT_EQ(ReadProfileText(c.text, profile), c.result);
    EXPECT_EQ(profile.points.size(), c.points);
    EXPECT_EQ(messages.numbers, c.messages);
  }
  // Exactly 250 points is no reason for a warning.
  std::string full = "Listepoint 250\n";
  for (int i = 0; i < 250; ++i) full += "1 " + std::to_string(i) + "\n";
  MessageRecorder messages;
  Profile2D profile;
  EXPECT_EQ(ReadProfileText(full + "FinListe\n", profile), ProfileRead::Ok);
  EXPECT_TRUE(messages.numbers.empty());
}

TEST(ProfileFile, WritesTheFourPartsAndReadsThemBack) {
  Profile2D profile;
  profile.points = {{0, 0}, {100, -20}, {-3, 45}};
  EXPECT_EQ(ProfileText(profile),
            "/* Fichier de points TESSARAN   2D\n"
            "Listepoint   3\n"
            "0   0  \n"
            "100   -20  \n"
            "-3   45  \n"
            "FinListe   \n");
  const auto dir = std::filesystem::temp_directory_path() / ("tessaran_profile_test-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "PROFIL.TXT";
  ASSERT_EQ(WriteProfileFile(file, profile), 1);
  Profile2D back;
  EXPECT_EQ(ReadProfileFile(file, back), ProfileRead::Ok);
  EXPECT_EQ(back.points, profile.points);
  // A failed write leaves the old file whole.
  EXPECT_EQ(WriteProfileFile(dir / "missing" / "P.TXT", profile), 0);
  EXPECT_EQ(ReadProfileFile(dir / "missing" / "P.TXT", back), ProfileRead::CannotOpen);
  EXPECT_EQ(back.points, profile.points);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tessaran
