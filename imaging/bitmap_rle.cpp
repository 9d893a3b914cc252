#include "imaging/bitmap_rle.h"

namespace tessaran {
namespace {

// Escape codes that follow a zero count.
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

class RleTarget {
 public:
  RleTarget(int bitCount, std::uint8_t* pixels, std::size_t width, std::size_t height,
            std::size_t stride)
      : four_(bitCount == 4), pixels_(pixels), width_(width), height_(height), stride_(stride) {}

  void Put(std::size_t x, std::size_t y, std::uint8_t value) const {
    if (x >= width_ || y >= height_) return;
    std::uint8_t* line = pixels_ + y * stride_;
    if (!four_) {
      line[x] = value;
    } else if (x % 2 == 0) {
      line[x / 2] = static_cast<std::uint8_t>((line[x / 2] & 0x0F) | (value << 4));
    } else {
      line[x / 2] = static_cast<std::uint8_t>((line[x / 2] & 0xF0) | (value & 0x0F));
    }
  }
  // The pixel value of position i of a run or literal byte: RLE4 bytes hold
  // two pixels, high nibble first.
  std::uint8_t Value(std::uint8_t byte, std::size_t i) const {
    if (!four_) return byte;
    return i % 2 == 0 ? byte >> 4 : byte & 0x0F;
  }
  std::size_t LiteralBytes(std::size_t pixels) const { return four_ ? (pixels + 1) / 2 : pixels; }
  std::size_t Height() const { return height_; }

 private:
  bool four_;
  std::uint8_t* pixels_;
  std::size_t width_;
  std::size_t height_;
  std::size_t stride_;
};

}  // namespace

bool DecodeBitmapRle(const std::uint8_t* code, std::size_t codeBytes, int bitCount,
                     std::uint8_t* pixels, std::size_t width, std::size_t height, std::size_t stride) {
  RleTarget target(bitCount, pixels, width, height, stride);
  std::size_t in = 0;
  std::size_t x = 0;
  std::size_t y = 0;
  while (codeBytes - in >= 2) {
    if (y >= target.Height()) return true;  // past the top: nothing more can be drawn
    std::uint8_t count = code[in];
    std::uint8_t value = code[in + 1];
    in += 2;
    if (count > 0) {
      for (std::size_t i = 0; i < count; ++i) target.Put(x + i, y, target.Value(value, i));
      x += count;
      continue;
    }
    switch (value) {
      case kEndOfLine:
        x = 0;
        ++y;
        break;
      case kEndOfBitmap:
        return true;
      case kDelta:
        if (codeBytes - in < 2) return false;
        x += code[in];
        y += code[in + 1];
        in += 2;
        break;
      default: {
        std::size_t bytes = target.LiteralBytes(value);
        if (codeBytes - in < bytes) return false;
        for (std::size_t i = 0; i < value; ++i)
          target.Put(x + i, y, target.Value(code[in + (bitCount == 4 ? i / 2 : i)], i));
        x += value;
        in += bytes + (bytes & 1);  // literals end on a 16-bit boundary
        if (in > codeBytes) in = codeBytes;
        break;
      }
    }
  }
  // A code that simply stops after its last line is accepted.
  return in == codeBytes;
}

}  // namespace tessaran
