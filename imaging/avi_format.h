// Constants and record layouts of AVI files, shared by the AVI reader and
// writer only. All numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/bmp_format.h"

namespace tessaran::avi {

constexpr std::uint32_t kMicrosecondsPerFrame = 66666;
// The stream's rate over its scale: exactly 15 frames per second (1000000
// over 66666 would make 15.00015).
constexpr std::uint32_t kScale = 1;
constexpr std::uint32_t kRate = 15;
constexpr std::uint32_t kHasIndex = 16;  // "avih" flags
constexpr std::uint32_t kKeyFrame = 16;  // "idx1" flags
constexpr std::uint32_t kQuality = 10000;
constexpr std::size_t kMainHeaderBytes = 56;
constexpr std::size_t kStreamHeaderBytes = 56;
constexpr std::size_t kBitmapHeaderBytes = 40;
constexpr std::size_t kIndexEntryBytes = 16;
// "avih" fields read back: total and initial frames.
constexpr std::size_t kTotalFramesOffset = 16;
constexpr std::size_t kInitialFramesOffset = 20;
// "strh" field patched at closing: the stream length.
constexpr std::size_t kLengthOffset = 32;

// Bitmap compressions read: uncompressed and the two run-length codes.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

// A "strf" larger than this is no bitmap format of ours.
constexpr std::size_t kLargestFormat = 64 * 1024;
// Frames beyond this many bytes are refused rather than allocated.
constexpr std::size_t kLargestFrame = 256u << 20;

// The frames' BITMAPINFOHEADER: the same record as a BMP file's.
using BitmapHeader = bmp::InfoHeader;

// Bytes of one stored line of a bitmap: rounded up to a multiple of 4.
inline std::size_t DibStride(std::size_t width, unsigned bitCount) {
  return (width * bitCount + 31) / 32 * 4;
}

// Palette entries that follow the header.
inline std::size_t PaletteColours(const BitmapHeader& h) {
  if (h.bitCount < 16) return h.clrUsed ? h.clrUsed : std::size_t(1) << h.bitCount;
  return h.clrUsed;
}

}  // namespace tessaran::avi
