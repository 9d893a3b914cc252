// IFF ILBM pictures: the reader behind LoadPicture for ".LBM", ".I24" and
// files of unknown extension, and the writers of palette (".LBM") and
// 24-plane (".I24") pictures.
#pragma once

#include <filesystem>

#include "imaging/picture.h"

namespace tessaran {

// Reads an ILBM (or chunky "PBM ") picture into virtual image `slot` with the
// loader's slot rules and modes. Palette pictures of 1-8 planes, extra
// half-bright, HAM6, HAM8 and 24-plane pictures, with or without ByteRun1,
// any width up to 65535. An ANIM gives its first picture. 1 on success, 0 on
// failure.
int ReadIlbm(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
             const PixelSink* sink = nullptr);

// The same, from the bytes of a picture already in memory (an animation's
// frame); `path` names it in messages and progress.
int ReadIlbmBytes(ByteSpan file, const std::filesystem::path& path, int slot, int mode,
                  PictureHeader* header, const PixelSink* sink = nullptr);

// Writes a 4-bit or 8-bit DIB as a palette ILBM named from `baseName` and
// `frame` (".LBM"): 4 or 8 planes, ByteRun1, a CMAP of 16 or 256 entries.
// 0 on success, 1 on failure.
int WriteLbm(const std::filesystem::path& baseName, int frame, const VirtIm& dib);

// Writes the top `height` lines of `width` pixels of 24-bit virtual image
// `slot` as a 24-plane ILBM (".I24"). 0 on success, 1 on failure.
int WriteI24(const std::filesystem::path& baseName, int frame, int width, int height, int slot);

}  // namespace tessaran
