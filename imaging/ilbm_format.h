// The records and constants of IFF ILBM pictures (and their chunky "PBM "
// variant) as the suite reads and writes them. Private to the ILBM reader
// and writer.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/bytes.h"

namespace tessaran::ilbm {

constexpr std::string_view kForm = "FORM";
constexpr std::string_view kIlbm = "ILBM";
constexpr std::string_view kPbm = "PBM ";
constexpr std::string_view kAnim = "ANIM";
constexpr std::string_view kBmhd = "BMHD";
constexpr std::string_view kCmap = "CMAP";
constexpr std::string_view kCamg = "CAMG";
constexpr std::string_view kBody = "BODY";

constexpr std::size_t kBmhdSize = 20;

// BMHD masking values: only "has mask" adds a row per line.
constexpr std::uint8_t kMaskHasMask = 1;
// BMHD compression values.
constexpr std::uint8_t kCompressNone = 0;
constexpr std::uint8_t kCompressByteRun1 = 1;

// CAMG display-mode bits. The reader keeps only what survives kCamgMask.
constexpr std::uint32_t kCamgMask = 0x9EFD;
constexpr std::uint32_t kCamgHalfBright = 0x80;
constexpr std::uint32_t kCamgHam = 0x800;

constexpr int kMaxPlanes = 24;
constexpr int kMaxPaletteEntries = 256;

// Aspect written into the BMHD: x 10, y 12 for palette pictures, 11 for
// 24-plane ones.
constexpr std::uint8_t kXAspect = 10;
constexpr std::uint8_t kYAspectLbm = 12;
constexpr std::uint8_t kYAspectI24 = 11;

// Messages.
constexpr int kMsgSaveLbm = 235;       // "Enregistrement LBM "
constexpr int kMsgSaveI24 = 253;       // "Enregistrement IFF 24 bits"
constexpr int kMsgReadTitle = 256;     // "IFF->VirtIm(%02d) "
constexpr int kMsgLineMemory = 260;    // "Plus de mémoire pour Line24"

// Bytes of one plane row: a whole number of 16-bit words.
constexpr std::uint32_t PlaneRowBytes(std::uint32_t width) { return (width + 15) / 16 * 2; }
// Bytes of one chunky PBM row: padded to even.
constexpr std::uint32_t ChunkyRowBytes(std::uint32_t width) { return (width + 1) / 2 * 2; }

struct Bmhd {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::uint8_t planes = 0;
  std::uint8_t masking = 0;
  std::uint8_t compression = 0;
  std::uint8_t pad = 0;
  std::uint16_t transparentColour = 0;
  std::uint8_t xAspect = 0;
  std::uint8_t yAspect = 0;
  std::int16_t pageWidth = 0;
  std::int16_t pageHeight = 0;
};

inline bool ReadBmhd(ByteSpan data, Bmhd& b) {
  ByteReader r(data);
  b.width = r.U16BE();
  b.height = r.U16BE();
  b.x = r.I16BE();
  b.y = r.I16BE();
  b.planes = r.U8();
  b.masking = r.U8();
  b.compression = r.U8();
  b.pad = r.U8();
  b.transparentColour = r.U16BE();
  b.xAspect = r.U8();
  b.yAspect = r.U8();
  b.pageWidth = r.I16BE();
  b.pageHeight = r.I16BE();
  return r.Ok();
}

inline void WriteBmhd(ByteWriter& w, const Bmhd& b) {
  w.U16BE(b.width);
  w.U16BE(b.height);
  w.U16BE(std::uint16_t(b.x));
  w.U16BE(std::uint16_t(b.y));
  w.U8(b.planes);
  w.U8(b.masking);
  w.U8(b.compression);
  w.U8(b.pad);
  w.U16BE(b.transparentColour);
  w.U8(b.xAspect);
  w.U8(b.yAspect);
  w.U16BE(std::uint16_t(b.pageWidth));
  w.U16BE(std::uint16_t(b.pageHeight));
}

}  // namespace tessaran::ilbm
