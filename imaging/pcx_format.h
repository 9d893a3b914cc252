// PCX records and constants: the 128-byte little-endian header, the run
// coding and the 256-colour palette that ends an 8-bit file.
#pragma once

#include <array>
#include <cstdint>

#include "platform/bytes.h"

namespace tessaran::pcx {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kHeaderFields = 68;  // the rest of the header is zero
constexpr std::uint8_t kManufacturer = 10;
constexpr std::uint8_t kVersion = 5;
constexpr std::uint8_t kRunEncoding = 1;
constexpr std::uint8_t kCountFlag = 0xC0;  // a byte with both top bits set is a count
constexpr int kMaxRun = 63;
constexpr std::uint8_t kPaletteMark = 12;  // before the 768 palette bytes at the end
constexpr std::size_t kPaletteBytes = 768;

enum Message {
  kMsgWriteCaption = 237,  // "Enregistrement PCX "
  kMsgCreateError = 239,   // "Erreur de création [%s]"
  kMsgReadTitle = 242,     // "PCX->VirtIm(%02d) "
  kMsgFormat = 219,        // "Format PCX non reconnu."
};

struct Header {
  std::uint8_t manufacturer = kManufacturer;
  std::uint8_t version = kVersion;
  std::uint8_t encoding = kRunEncoding;
  std::uint8_t bitsPerPlane = 0;
  std::uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  std::uint16_t horizontalResolution = 0, verticalResolution = 0;
  std::array<std::uint8_t, 48> palette{};  // 16 entries: red, green, blue
  std::uint8_t reserved = 0;
  std::uint8_t planes = 0;
  std::uint16_t bytesPerPlaneLine = 0;
};

inline Header ReadHeader(ByteReader& in) {
  Header h;
  h.manufacturer = in.U8();
  h.version = in.U8();
  h.encoding = in.U8();
  h.bitsPerPlane = in.U8();
  h.xMin = in.U16LE();
  h.yMin = in.U16LE();
  h.xMax = in.U16LE();
  h.yMax = in.U16LE();
  h.horizontalResolution = in.U16LE();
  h.verticalResolution = in.U16LE();
  for (auto& b : h.palette) b = in.U8();
  h.reserved = in.U8();
  h.planes = in.U8();
  h.bytesPerPlaneLine = in.U16LE();
  return h;
}

// Writes the 68 header fields and the 60 zero bytes that complete the header.
inline void WriteHeader(ByteWriter& out, const Header& h) {
  out.U8(h.manufacturer);
  out.U8(h.version);
  out.U8(h.encoding);
  out.U8(h.bitsPerPlane);
  out.U16LE(h.xMin);
  out.U16LE(h.yMin);
  out.U16LE(h.xMax);
  out.U16LE(h.yMax);
  out.U16LE(h.horizontalResolution);
  out.U16LE(h.verticalResolution);
  for (auto b : h.palette) out.U8(b);
  out.U8(h.reserved);
  out.U8(h.planes);
  out.U16LE(h.bytesPerPlaneLine);
  out.Zeros(kHeaderSize - kHeaderFields);
}

}  // namespace tessaran::pcx
