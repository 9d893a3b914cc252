#include "platform/profile.h"

#include "platform/bytes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace tessaran {
namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// "[NAME]" → NAME; anything else → nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  auto close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// "key=value" → key; comments and junk lines have no key.
std::optional<std::string_view> KeyName(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  auto equals = trimmed.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(0, equals));
}

std::vector<std::string> ReadLines(const fs::path& file) {
  std::vector<std::string> lines;
  Bytes bytes;
  if (!ReadWholeFile(file, bytes)) return lines;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

// Where section starts and ends in lines: [header, end) with end the next
// section's header or the end of the file. Nothing when absent.
struct SectionSpan {
  size_t header;
  size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<std::string>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (!name || !SameName(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<std::string>& lines, SectionSpan span,
                              std::string_view key) {
  for (size_t i = span.header + 1; i < span.end; ++i) {
    auto name = KeyName(lines[i]);
    if (name && SameName(*name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> LookUp(std::string_view section, std::string_view key,
                                  std::string_view fileName) {
  auto lines = ReadLines(ProfilePath(fileName));
  auto span = FindSection(lines, section);
  if (!span) return std::nullopt;
  auto line = FindKey(lines, *span, key);
  if (!line) return std::nullopt;
  std::string_view text = lines[*line];
  std::string_view value = Trim(text.substr(text.find('=') + 1));
  // One pair of surrounding quotes is dropped, as the system's reads do.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(value);
}

bool ReplaceFile(const fs::path& file, const std::vector<std::string>& lines, std::string* error) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec) {
    if (error) *error = "cannot create " + file.parent_path().string() + ": " + ec.message();
    return false;
  }
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return WriteFileAtomically(file, AsBytes(text), error);
}

}  // namespace

fs::path ProfileDirectory() {
  if (const char* dir = std::getenv("TESSARAN_CONFIG"); dir && *dir) return dir;
  if (const char* dir = std::getenv("XDG_CONFIG_HOME"); dir && *dir) return fs::path(dir) / "tessaran";
  if (const char* home = std::getenv("HOME"); home && *home)
    return fs::path(home) / ".config" / "tessaran";
  return fs::current_path() / ".tessaran";
}

fs::path ProfilePath(std::string_view fileName) { return ProfileDirectory() / fs::path(fileName); }

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::string_view fileName) {
  auto value = LookUp(section, key, fileName);
  return value ? *value : std::string(defaultValue);
}

int GetProfileInt(std::string_view section, std::string_view key, int defaultValue,
                  std::string_view fileName) {
  auto value = LookUp(section, key, fileName);
  if (!value) return defaultValue;
  std::string_view text = *value;
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return defaultValue;
  // Digits past the range of 32 bits wrap as the system's conversion does.
  unsigned int magnitude = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    magnitude = magnitude * 10u + static_cast<unsigned>(c - '0');
  }
  return static_cast<int>(negative ? 0u - magnitude : magnitude);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view fileName, std::string* error) {
  fs::path file = ProfilePath(fileName);
  // A file that exists but cannot be read must not be replaced by one that
  // holds only the new key.
  std::error_code ec;
  if (fs::exists(file, ec) && !CanReadFile(file)) {
    if (error) *error = "cannot read " + file.string();
    return false;
  }
  auto lines = ReadLines(file);
  std::string entry = std::string(key) + "=" + std::string(value);
  if (auto span = FindSection(lines, section)) {
    if (auto line = FindKey(lines, *span, key)) {
      lines[*line] = entry;
    } else {
      // After the section's last non-blank line, so blank separators stay between sections.
      size_t at = span->end;
      while (at > span->header + 1 && Trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
  }
  return ReplaceFile(file, lines, error);
}

std::array<int, 4> GetProfileRectangle(std::string_view section, std::string_view key, std::string_view fileName) {
  const std::string text = GetProfileString(section, key, "", fileName);
  std::array<int, 4> r{};
  if (std::sscanf(text.c_str(), "%d %d %d %d", &r[0], &r[1], &r[2], &r[3]) != 4) return {};
  return r;
}

bool WriteProfileRectangle(std::string_view section, std::string_view key, const std::array<int, 4>& r,
                           std::string_view fileName) {
  char text[64];
  std::snprintf(text, sizeof text, "%d %d %d %d", r[0], r[1], r[2], r[3]);
  return WriteProfileString(section, key, text, fileName);
}

}  // namespace tessaran
