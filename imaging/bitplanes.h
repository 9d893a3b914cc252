// Interleaved bit planes, as ILBM pictures (and the frames of IFF ANIM
// maps) store a line: one row per plane, the leftmost pixel in bit 7 of a
// row's first byte, plane p holding bit p of every pixel's value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaran {

// Gathers `planes` consecutive rows of `rowBytes` bytes into the values of
// `width` pixels (bits 0 … planes − 1; the other bits are cleared).
void PlanesToValues(const std::uint8_t* rows, std::size_t rowBytes, int planes,
                    std::uint32_t width, std::uint32_t* values);

// Spreads bits 0 … planes − 1 of `width` values into `planes` consecutive
// rows of `rowBytes` bytes (padding bits cleared).
void ValuesToPlanes(const std::uint32_t* values, std::uint32_t width, int planes,
                    std::uint8_t* rows, std::size_t rowBytes);

}  // namespace tessaran
