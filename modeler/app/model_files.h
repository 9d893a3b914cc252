// The kinds of model file the modeler reads: scene files (".MAQ") and DXF
// drawings (".DXF"), told by their extension without regard to case.
#pragma once

#include <filesystem>

namespace tessaran {

bool IsDxfFile(const std::filesystem::path& file);
bool IsModelFile(const std::filesystem::path& file);  // ".MAQ" or ".DXF"

}  // namespace tessaran
