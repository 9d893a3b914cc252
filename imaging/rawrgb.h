// Raw RGB output: three headerless planes ".RED", ".GRN", ".BLU" of one byte
// per pixel, lines from the top, and the ".RGB" text that describes them.
// The planes are written only; the picture loader does not read them.
#pragma once

#include <filesystem>

namespace tessaran {

// Writes `height` lines of `width` pixels of 24-bit virtual image `slot`.
// 1 on success, 0 on failure.
int WriteRawRgb(const std::filesystem::path& baseName, int frame, int width, int height, int slot);

}  // namespace tessaran
