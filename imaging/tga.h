// Targa pictures: the reader for 24-bit uncompressed (type 2) and run-length
// (type 10) files, and the writer of the renderer's " TGA[2]" and " TGA[10]"
// output.
#pragma once

#include <filesystem>

#include "imaging/picture.h"

namespace tessaran {

// Reads a Targa file into virtual image `slot` with the loader's slot rules
// (slot 0 straight or staged through slot 2, slots 1–49 created at the
// picture's size, a negative slot feeding the caller's pixel sink). mode 2412
// loads opaque, any other mode ≥ 0 is a transparent key, a negative mode
// reads the header only. 1 on success, 0 on failure.
int ReadTga(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink = nullptr);

// Writes `height` lines of `width` pixels of 24-bit virtual image `slot` as
// the Targa file named from `baseName` and `frame` (".TGA"); image type 10
// when `runLength`, else 2. bits must be 24. 0 on success, 1 on failure.
int WriteTga(const std::filesystem::path& baseName, int frame, int width, int height, int slot,
             bool runLength, int bits = 24);

}  // namespace tessaran
