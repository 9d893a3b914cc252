// The 2D profile of the modeler's 2D phase (a polyline of at most 250
// points with whole-number coordinates) and its plain text file:
//   /* Fichier de points TESSARAN   2D
//   Listepoint   N
//   x   y
//   FinListe
#pragma once

#include <array>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tessaran {

struct Profile2D {
  static constexpr int kMaxPoints = 250;
  std::vector<std::array<int, 2>> points;
};

// Outcome of reading a profile file.
enum class ProfileRead {
  Ok,          // at least 3 points
  TooFew,      // 1 or 2 points, loaded; message 36 shown
  NoPoint,     // message 35 shown; the profile is empty
  CannotOpen,  // traced "I can't open ASCII file"
};

// Reads a profile file into `profile` with the file's rules: "Listepoint"
// opens the list (dropping earlier points), number lines add points
// (truncated to whole numbers), "FinListe" ends the list once it holds a
// point; a missing "FinListe" keeps what was read; at 250 points warning 34
// ends the reading. `profile` is replaced only when the file could be read.
ProfileRead ReadProfileFile(const std::filesystem::path& file, Profile2D& profile);
ProfileRead ReadProfileText(std::string_view text, Profile2D& profile);

// The file text of a profile.
std::string ProfileText(const Profile2D& profile);

// Writes the profile, replacing the file only once the whole text is
// written. Returns 1, or 0 after the trace "I can't open ASCII file".
int WriteProfileFile(const std::filesystem::path& file, const Profile2D& profile);

}  // namespace tessaran
