// Binary PPM (P6) pictures, for exchange with other tools.
#pragma once

#include <filesystem>

#include "imaging/picture.h"

namespace tessaran {

// Reads a P6 file (comments allowed, any maxval up to 65535, scaled to
// 8 bits) into virtual image `slot` with the loader's slot rules and modes
// (see ReadTga). 1 on success, 0 on failure.
int ReadPpm(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink = nullptr);

// Writes virtual image `slot` (24-bit, or 8-bit through its palette) as a P6
// file of maxval 255 named from `baseName` and `frame` (".PPM").
// 0 on success, 1 on failure.
int WritePpm(const std::filesystem::path& baseName, int frame, int slot);

}  // namespace tessaran
