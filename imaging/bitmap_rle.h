// Run-length coded bitmaps (RLE8 and RLE4 frames of AVI files): decoded
// onto a bottom-up bitmap, the previous frame, as the display would.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaran {

// Decodes one RLE8 (bitCount 8) or RLE4 (bitCount 4) frame onto `pixels`
// (height lines of `stride` bytes, bottom line first). Pixels the code skips
// keep their value. Nothing is written outside the bitmap: pixels beyond a
// line's end are dropped, lines beyond the top end the decoding. False when
// the code is damaged (it ends before the end-of-bitmap code).
bool DecodeBitmapRle(const std::uint8_t* code, std::size_t codeBytes, int bitCount,
                     std::uint8_t* pixels, std::size_t width, std::size_t height, std::size_t stride);

}  // namespace tessaran
