#include "modeler/geometry/profile_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/bytes.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {

namespace {

constexpr int kTooManyPointsMessage = 34;
constexpr int kNoPointMessage = 35;
constexpr int kTooFewPointsMessage = 36;
// Lines are read 255 characters at a time; a longer line goes on as the
// next one, as a fixed line buffer reads it.
constexpr std::size_t kLineLimit = 255;
constexpr std::size_t kMaxWords = 20;
// Coordinates beyond this are not whole numbers a profile can hold.
constexpr double kLargestCoordinate = 1e9;

enum class LineKind { Comment, ListStart, ListEnd, Point, Other };

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (words.size() < kMaxWords) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) break;
    const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

// The leading decimal number of a word, as a formatted read takes it.
bool ReadNumber(std::string_view word, double& value) {
  const std::string text(word);
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && std::isfinite(value) && std::fabs(value) <= kLargestCoordinate;
}

LineKind Classify(const std::vector<std::string_view>& words) {
  if (words.empty()) return LineKind::Other;
  const std::string_view first = words[0];
  if (first.starts_with("/*")) return LineKind::Comment;
  if (first == "Listepoint") return LineKind::ListStart;
  if (first == "FinListe") return LineKind::ListEnd;
  double value;
  if (ReadNumber(first, value)) return LineKind::Point;
  return LineKind::Other;
}

// Splits the text into lines of at most 255 characters without their line
// end ("\n", or "\r\n" of files written elsewhere).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    const bool full = end != std::string_view::npos && end <= kLineLimit;
    if (!full) end = std::min(text.size(), kLineLimit);
    std::string_view line = text.substr(0, end);
    text.remove_prefix(full ? end + 1 : end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

ProfileRead ReadProfileText(std::string_view text, Profile2D& profile) {
  Profile2D read;
  bool listOpen = false;
  for (std::string_view line : Lines(text)) {
    const std::vector<std::string_view> words = SplitWords(line);
    LineKind kind = Classify(words);
    // A full profile ends the list; the warning is for a point that no
    // longer fits, not for a file of exactly 250 points.
    if (static_cast<int>(read.points.size()) >= Profile2D::kMaxPoints) {
      if (kind == LineKind::Point && listOpen) ShowMessage(MessageKind::Warning, kTooManyPointsMessage);
      kind = LineKind::ListEnd;
    }
    if (kind == LineKind::ListStart) {
      listOpen = true;
      read.points.clear();
    } else if (kind == LineKind::ListEnd) {
      if (listOpen && !read.points.empty()) break;
    } else if (kind == LineKind::Point && listOpen) {
      double x = 0;
      double y = 0;
      if (words.size() >= 2 && ReadNumber(words[0], x) && ReadNumber(words[1], y)) {
        read.points.push_back({static_cast<int>(x), static_cast<int>(y)});
      }
    }
  }
  // Without an accepted "FinListe" the list ends with the file, keeping
  // every point read.
  profile = std::move(read);
  if (profile.points.empty()) {
    ShowMessage(MessageKind::Warning, kNoPointMessage);
    return ProfileRead::NoPoint;
  }
  if (profile.points.size() < 3) {
    ShowMessage(MessageKind::Warning, kTooFewPointsMessage);
    return ProfileRead::TooFew;
  }
  return ProfileRead::Ok;
}

ProfileRead ReadProfileFile(const std::filesystem::path& file, Profile2D& profile) {
  Bytes bytes;
  if (!ReadWholeFile(file, bytes)) {
    Trace("I can't open ASCII file\n");
    return ProfileRead::CannotOpen;
  }
  return ReadProfileText({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, profile);
}

std::string ProfileText(const Profile2D& profile) {
  std::string text = "/* Fichier de points TESSARAN   2D\n";
  char line[64];
  std::snprintf(line, sizeof line, "Listepoint   %d\n", static_cast<int>(profile.points.size()));
  text += line;
  for (const auto& [x, y] : profile.points) {
    std::snprintf(line, sizeof line, "%d   %d  \n", x, y);
    text += line;
  }
  text += "FinListe   \n";
  return text;
}

int WriteProfileFile(const std::filesystem::path& file, const Profile2D& profile) {
  if (!WriteFileAtomically(file, AsBytes(ProfileText(profile)))) {
    Trace("I can't open ASCII file\n");
    return 0;
  }
  return 1;
}

}  // namespace tessaran
