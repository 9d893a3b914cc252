#include "modeler/app/model_files.h"

#include <cctype>
#include <string>
#include <string_view>

namespace tessaran {
namespace {

bool HasExtension(const std::filesystem::path& file, std::string_view extension) {
  std::string found = file.extension().string();
  for (char& c : found) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return found == extension;
}

}  // namespace

bool IsDxfFile(const std::filesystem::path& file) { return HasExtension(file, ".DXF"); }

bool IsModelFile(const std::filesystem::path& file) { return HasExtension(file, ".MAQ") || IsDxfFile(file); }

}  // namespace tessaran
