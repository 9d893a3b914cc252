#include "imaging/bitplanes.h"

#include <algorithm>
#include <array>

namespace tessaran {
namespace {

// Eight pixels at a time: byte j of a 64-bit word holds pixel j's bits of
// eight planes. kSpread[b] puts bit (7 − j) of a row byte into byte j.
constexpr std::array<std::uint64_t, 256> kSpread = [] {
  std::array<std::uint64_t, 256> table{};
  for (int b = 0; b < 256; ++b)
    for (int j = 0; j < 8; ++j)
      if (b >> (7 - j) & 1) table[std::size_t(b)] |= std::uint64_t(1) << (8 * j);
  return table;
}();

// Collects bit 0 of each of the eight bytes of a word into one byte, byte q
// going to bit q (the bits do not overlap, so the product carries nothing).
constexpr std::uint8_t GatherLowBits(std::uint64_t word) {
  return std::uint8_t(((word & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56);
}

}  // namespace

void PlanesToValues(const std::uint8_t* rows, std::size_t rowBytes, int planes,
                    std::uint32_t width, std::uint32_t* values) {
  std::fill(values, values + width, 0u);
  std::uint32_t blocks = (width + 7) / 8;
  for (int group = 0; group < planes; group += 8) {
    int inGroup = std::min(8, planes - group);
    for (std::uint32_t i = 0; i < blocks; ++i) {
      std::uint64_t word = 0;
      for (int k = 0; k < inGroup; ++k)
        word |= kSpread[rows[std::size_t(group + k) * rowBytes + i]] << k;
      if (word == 0) continue;
      std::uint32_t x0 = 8 * i, count = std::min(8u, width - x0);
      for (std::uint32_t j = 0; j < count; ++j)
        values[x0 + j] |= std::uint32_t(word >> (8 * j) & 0xFF) << group;
    }
  }
}

void ValuesToPlanes(const std::uint32_t* values, std::uint32_t width, int planes,
                    std::uint8_t* rows, std::size_t rowBytes) {
  std::fill(rows, rows + std::size_t(planes) * rowBytes, std::uint8_t(0));
  std::uint32_t blocks = (width + 7) / 8;
  for (int group = 0; group < planes; group += 8) {
    int inGroup = std::min(8, planes - group);
    for (std::uint32_t i = 0; i < blocks; ++i) {
      // Pixel j goes to byte 7 − j, so that it comes out as bit 7 − j.
      std::uint64_t word = 0;
      std::uint32_t x0 = 8 * i, count = std::min(8u, width - x0);
      for (std::uint32_t j = 0; j < count; ++j)
        word |= std::uint64_t(values[x0 + j] >> group & 0xFF) << (8 * (7 - j));
      if (word == 0) continue;
      for (int k = 0; k < inGroup; ++k)
        rows[std::size_t(group + k) * rowBytes + i] = GatherLowBits(word >> k);
    }
  }
}

}  // namespace tessaran
