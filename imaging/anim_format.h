// Records and constants of IFF ANIM animations (FORM ANIM of ILBM frames
// with ANHD headers and DLTA deltas). Private to the animated-map reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/bytes.h"

namespace tessaran::anim {

constexpr std::string_view kAnhd = "ANHD";
constexpr std::string_view kDlta = "DLTA";

// Delta operation decoded: byte vertical delta.
constexpr std::uint8_t kByteVerticalDelta = 5;
// ANHD bits: exclusive-or writing.
constexpr std::uint32_t kXorBit = 2;
// DLTA op 5 starts with this many big-endian offsets (planes, then masks).
constexpr std::size_t kDeltaPointers = 16;
// Plane sets beyond this many bytes in all are not allocated.
constexpr std::size_t kLargestPlanes = 64u << 20;

struct Anhd {
  std::uint8_t operation = 0;
  std::uint8_t mask = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::uint32_t absoluteTime = 0;
  std::uint32_t relativeTime = 0;
  std::uint8_t interleave = 0;  // 0: double buffering (frame k from frame k − 2); 1: one set
  std::uint8_t pad = 0;
  std::uint32_t bits = 0;
};

inline Anhd ReadAnhd(ByteSpan data) {
  ByteReader r(data);
  Anhd a;
  a.operation = r.U8();
  a.mask = r.U8();
  a.width = r.U16BE();
  a.height = r.U16BE();
  a.x = r.I16BE();
  a.y = r.I16BE();
  a.absoluteTime = r.U32BE();
  a.relativeTime = r.U32BE();
  a.interleave = r.U8();
  a.pad = r.U8();
  a.bits = r.U32BE();
  return a;
}

}  // namespace tessaran::anim
