// BMP pictures: the reader (1, 4, 8, 16, 24 and 32 bits, 40-, 108- and
// 124-byte info headers, bit-field masks) and the writer of the renderer's
// " BMP" and " BMP24" output.
#pragma once

#include <filesystem>

#include "imaging/picture.h"

namespace tessaran {

// Reads a BMP file into virtual image `slot` with the loader's slot rules
// and modes (see ReadTga). 1 on success, 0 on failure.
int ReadBmp(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink = nullptr);

// Writes a 4-bit or 8-bit DIB (header, palette, bits) as the BMP file named
// from `baseName` and `frame` (".BMP"). 0 on success, 1 on failure.
int WriteBmp(const std::filesystem::path& baseName, int frame, const VirtIm& dib);

// Writes the top `height` lines of 24-bit virtual image `slot` as a 24-bit
// BMP file. 0 on success, 1 on failure.
int WriteBmp(const std::filesystem::path& baseName, int frame, int slot, int height);

}  // namespace tessaran
