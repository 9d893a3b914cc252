// Targa records and constants: the 18-byte little-endian header, the image
// types read and written, and the run-length packet header.
#pragma once

#include <cstdint>

#include "platform/bytes.h"

namespace tessaran::tga {

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kUncompressed = 2;     // true colour, raw pixels
constexpr std::uint8_t kRunLength = 10;       // true colour, run-length packets
constexpr std::uint8_t kBitsPerPixel = 24;    // blue, green, red
constexpr std::uint8_t kTopLineFirst = 0x20;  // descriptor bit: first stored line is the top
constexpr std::uint8_t kRunPacket = 0x80;     // packet header bit: one pixel repeated
constexpr int kMaxPacket = 128;               // pixels in one packet

enum Message {
  kMsgFormat = 251,        // "Format TGA non reconnu."
  kMsgWriteCaption = 238,  // "Enregistrement TGA "
  kMsgReadTitle = 241,     // "TGA->VirtIm(%02d) "
};

struct Header {
  std::uint8_t idLength = 0;
  std::uint8_t colourMapType = 0;
  std::uint8_t imageType = 0;
  std::uint16_t colourMapOrigin = 0;
  std::uint16_t colourMapLength = 0;
  std::uint8_t colourMapEntrySize = 0;
  std::uint16_t xOrigin = 0;
  std::uint16_t yOrigin = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t bitsPerPixel = 0;
  std::uint8_t descriptor = 0;
};

inline Header ReadHeader(ByteReader& in) {
  Header h;
  h.idLength = in.U8();
  h.colourMapType = in.U8();
  h.imageType = in.U8();
  h.colourMapOrigin = in.U16LE();
  h.colourMapLength = in.U16LE();
  h.colourMapEntrySize = in.U8();
  h.xOrigin = in.U16LE();
  h.yOrigin = in.U16LE();
  h.width = in.U16LE();
  h.height = in.U16LE();
  h.bitsPerPixel = in.U8();
  h.descriptor = in.U8();
  return h;
}

inline void WriteHeader(ByteWriter& out, const Header& h) {
  out.U8(h.idLength);
  out.U8(h.colourMapType);
  out.U8(h.imageType);
  out.U16LE(h.colourMapOrigin);
  out.U16LE(h.colourMapLength);
  out.U8(h.colourMapEntrySize);
  out.U16LE(h.xOrigin);
  out.U16LE(h.yOrigin);
  out.U16LE(h.width);
  out.U16LE(h.height);
  out.U8(h.bitsPerPixel);
  out.U8(h.descriptor);
}

}  // namespace tessaran::tga
