// BMP records and constants: the 14-byte file header, the info header
// (40 bytes, or the 108- and 124-byte versions that add colour masks and
// colour-space fields), palette entries and bit-field masks.
#pragma once

#include <cstdint>

#include "platform/bytes.h"

namespace tessaran::bmp {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;     // BITMAPINFOHEADER
constexpr std::uint32_t kInfoHeaderV4Size = 108;  // adds masks and colour space
constexpr std::uint32_t kInfoHeaderV5Size = 124;  // adds a colour profile
constexpr std::uint32_t kRgb = 0;                 // BI_RGB: no compression
constexpr std::uint32_t kBitFields = 3;           // BI_BITFIELDS: pixels under colour masks
constexpr std::size_t kPaletteEntrySize = 4;      // blue, green, red, 0

enum Message {
  kMsgWriteCaption = 236,  // "Enregistrement BMP "
  kMsgInfoHeader = 254,    // "Format BMP BITMAPINFO non reconnu."
  kMsgCompressed = 255,    // "Format BMP compressé non reconnu."
  kMsgReadTitle = 257,     // "BMP->VirtIm(%02d) "
  kMsgNotBmp = 259,        // "Erreur fichier [%s] format BMP non reconnu."
};

struct FileHeader {
  std::uint8_t magic[2] = {'B', 'M'};
  std::uint32_t fileSize = 0;  // in bytes
  std::uint16_t reserved1 = 0;
  std::uint16_t reserved2 = 0;
  std::uint32_t pixelOffset = 0;
};

struct InfoHeader {
  std::uint32_t size = kInfoHeaderSize;
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: the top line is stored first
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;
  // Held by the 108- and 124-byte headers, or following a 40-byte header
  // with BI_BITFIELDS (red, green, blue only).
  std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

inline FileHeader ReadFileHeader(ByteReader& in) {
  FileHeader h;
  h.magic[0] = in.U8();
  h.magic[1] = in.U8();
  h.fileSize = in.U32LE();
  h.reserved1 = in.U16LE();
  h.reserved2 = in.U16LE();
  h.pixelOffset = in.U32LE();
  return h;
}

inline void WriteFileHeader(ByteWriter& out, const FileHeader& h) {
  out.U8(h.magic[0]);
  out.U8(h.magic[1]);
  out.U32LE(h.fileSize);
  out.U16LE(h.reserved1);
  out.U16LE(h.reserved2);
  out.U32LE(h.pixelOffset);
}

// The fields of the 40-byte header that every version begins with; the
// masks of the longer versions follow them directly.
inline InfoHeader ReadInfoHeader(ByteReader& in) {
  InfoHeader h;
  h.size = in.U32LE();
  h.width = in.I32LE();
  h.height = in.I32LE();
  h.planes = in.U16LE();
  h.bitCount = in.U16LE();
  h.compression = in.U32LE();
  h.sizeImage = in.U32LE();
  h.xPelsPerMeter = in.I32LE();
  h.yPelsPerMeter = in.I32LE();
  h.clrUsed = in.U32LE();
  h.clrImportant = in.U32LE();
  return h;
}

inline void ReadMasks(ByteReader& in, InfoHeader& h) {
  h.redMask = in.U32LE();
  h.greenMask = in.U32LE();
  h.blueMask = in.U32LE();
}

inline void WriteInfoHeader(ByteWriter& out, const InfoHeader& h) {
  out.U32LE(kInfoHeaderSize);
  out.U32LE(static_cast<std::uint32_t>(h.width));
  out.U32LE(static_cast<std::uint32_t>(h.height));
  out.U16LE(h.planes);
  out.U16LE(h.bitCount);
  out.U32LE(h.compression);
  out.U32LE(h.sizeImage);
  out.U32LE(static_cast<std::uint32_t>(h.xPelsPerMeter));
  out.U32LE(static_cast<std::uint32_t>(h.yPelsPerMeter));
  out.U32LE(h.clrUsed);
  out.U32LE(h.clrImportant);
}

// Bytes of one stored line: whole 32-bit words.
inline std::uint64_t LineBytes(std::uint64_t width, unsigned bits) {
  return (width * bits + 31) / 32 * 4;
}

}  // namespace tessaran::bmp
