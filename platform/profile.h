// Private profile files ("TESSARAN.INI") with the semantics of the Windows
// profile calls: sections and keys without regard to case, defaults for
// whatever is missing, integer reads that take leading digits, and writes
// that keep every other line and replace the file atomically.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace tessaran {

// Where a profile named without a directory lives: $TESSARAN_CONFIG when
// set, else $XDG_CONFIG_HOME/tessaran, else ~/.config/tessaran.
std::filesystem::path ProfileDirectory();
std::filesystem::path ProfilePath(std::string_view fileName);

// The value of key in section, or defaultValue when the file, section or key
// is missing. Surrounding blanks of the value are dropped.
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::string_view fileName);

// As the Windows call: optional sign, then the leading decimal digits; text
// after them is ignored; no digits gives defaultValue.
int GetProfileInt(std::string_view section, std::string_view key, int defaultValue,
                  std::string_view fileName);

// Sets key in section, creating the directory, file and section when needed
// and keeping every other line. Returns false, with a reason in *error when
// given, when the file cannot be written; the old file is then untouched.
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        std::string_view fileName, std::string* error = nullptr);

// A window rectangle as the programs keep it: four integers, "%d %d %d %d"
// (the main windows store right, top, left, bottom). All zero when the key
// is missing or does not hold four numbers.
std::array<int, 4> GetProfileRectangle(std::string_view section, std::string_view key, std::string_view fileName);
bool WriteProfileRectangle(std::string_view section, std::string_view key, const std::array<int, 4>& rectangle,
                           std::string_view fileName);

}  // namespace tessaran
