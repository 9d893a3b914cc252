// Virtual images: the 50 numbered image slots that every picture reader
// fills, every writer drains, the renderer draws into and the windows paint
// from. Each slot is one bottom-up device-independent bitmap with its
// 40-byte header and a 256-entry palette, so it can be shown or copied
// without conversion.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/bytes.h"

namespace tessaran {

constexpr int kVirtImSlots = 50;

struct VirtIm {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::int32_t bytesPerPixel = 0;  // 3, 1, or 0 for 4-bit (two pixels a byte)
  std::int32_t slot = 0;
  std::int32_t lineOffset = 0;     // always 0
  std::int32_t stride = 0;         // bytes per stored line, a multiple of 4
  std::vector<std::uint8_t> pixels;   // height × stride + 4 spare bytes; empty: no image
  std::array<std::uint8_t, 40> header{};  // BITMAPINFOHEADER, little-endian
  std::vector<std::uint8_t> palette;  // 256 × (blue, green, red, 0)

  bool Empty() const { return pixels.empty(); }
  int BitCount() const { return bytesPerPixel == 3 ? 24 : bytesPerPixel == 1 ? 8 : 4; }
  // Stored bytes of line y (0 = top line): the buffer is bottom-up.
  std::uint8_t* Line(std::uint32_t y) { return pixels.data() + (height - 1 - y) * std::size_t(stride); }
  const std::uint8_t* Line(std::uint32_t y) const {
    return pixels.data() + (height - 1 - y) * std::size_t(stride);
  }
  // Palette entry i as 0x00RRGGBB, and setting it.
  std::uint32_t PaletteColour(int i) const;
  void SetPaletteColour(int i, std::uint32_t rgb);
};

// The slot itself, for readers and writers that move whole lines. slot must
// lie in 0 … 49.
VirtIm& VimSlot(int slot);

// depth > 8: 24-bit; depth −4: 4-bit; else 8-bit. 1 / 0.
int VimCreate(int slot, int width, int height, int depth);
void VimFree(int slot);
void VimSwap(int a, int b);

// 0x00RRGGBB; 0 outside the image; −1 for an empty slot.
std::int32_t VimGetPixel(int slot, std::uint32_t y, std::uint32_t x);
// mode 0 always, −1 only over black, 1 only non-zero values.
int VimPutPixel(int slot, std::uint32_t value, std::uint32_t y, std::uint32_t x, int mode);
int VimGetLine(int slot, void* buffer, std::uint32_t y, int asIntegers);
int VimPutLine(int slot, const void* buffer, std::uint32_t y, int asIntegers, int mode);
std::int32_t VimAverage(int slot, std::uint32_t y, std::uint32_t x, std::uint32_t w, std::uint32_t h);
int StrechCopy(int source, int destination, int mode);
int VimFinalAntialias(int source, int destination);

// The packed DIB of a slot: header, palette (not for 24-bit), pixels.
Bytes VimPackedDib(int slot);

// The memory figure VimCreate checks an image against before it allocates
// (and zero-fills) it; null: the platform's AvailableMemory. Tests and the
// fuzz target lower it to exercise the shortage path quickly.
void SetVimMemoryForTesting(std::uint64_t (*availableMemory)());

}  // namespace tessaran
