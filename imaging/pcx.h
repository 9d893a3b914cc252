// PCX pictures: the reader (8-bit palette, 24-bit three-plane, 4 one-bit
// planes) and the writer of the renderer's " PCX" and " PCX24" output.
#pragma once

#include <filesystem>

#include "imaging/picture.h"

namespace tessaran {

// Reads a PCX file into virtual image `slot` with the loader's slot rules
// and modes (see ReadTga). 1 on success, 0 on failure.
int ReadPcx(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink = nullptr);

// Writes an 8-bit DIB (one plane of 8 bits, 256-colour palette at the end)
// or a 4-bit DIB (four planes of 1 bit) as the PCX file named from
// `baseName` and `frame` (".PCX"). 1 on success, 0 on failure.
int WritePcx(const std::filesystem::path& baseName, int frame, const VirtIm& dib);

// Writes 24-bit virtual image `slot` as a three-plane PCX file.
// 1 on success, 0 on failure.
int WritePcx(const std::filesystem::path& baseName, int frame, int slot);

}  // namespace tessaran
