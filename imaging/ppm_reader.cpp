// Reads binary PPM (P6) pictures of any maxval up to 65535, scaled to 8 bits.
#include <vector>

#include "imaging/format_io.h"
#include "imaging/ppm.h"
#include "imaging/ppm_format.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace ppm;

struct Header {
  std::uint32_t width = 0, height = 0, maxval = 0;
  std::size_t dataOffset = 0;
};

class HeaderParser {
 public:
  explicit HeaderParser(ByteSpan bytes) : bytes_(bytes) {}

  bool Parse(Header& h) {
    if (bytes_.size() < 2 || Char(0) != kMagic[0] || Char(1) != kMagic[1]) return false;
    position_ = 2;
    if (!Field(h.width) || !Field(h.height) || !Field(h.maxval)) return false;
    // Exactly one whitespace character separates the header from the samples.
    if (position_ >= bytes_.size() || !IsSpace(Char(position_))) return false;
    h.dataOffset = position_ + 1;
    return h.width >= 1 && h.width <= kLargestSide && h.height >= 1 && h.height <= kLargestSide &&
           h.maxval >= 1 && h.maxval <= kLargestMaxval;
  }

 private:
  char Char(std::size_t at) const { return static_cast<char>(bytes_[at]); }
  static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }

  // Whitespace and comments, then a decimal number; at least one space or
  // comment must come before it.
  bool Field(std::uint32_t& value) {
    std::size_t start = position_;
    while (position_ < bytes_.size()) {
      char c = Char(position_);
      if (IsSpace(c)) {
        ++position_;
      } else if (c == '#') {
        while (position_ < bytes_.size() && Char(position_) != '\n' && Char(position_) != '\r')
          ++position_;
      } else {
        break;
      }
    }
    if (position_ == start) return false;
    std::uint64_t number = 0;
    std::size_t digits = 0;
    while (position_ < bytes_.size() && Char(position_) >= '0' && Char(position_) <= '9') {
      number = number * 10 + std::uint64_t(Char(position_) - '0');
      if (number > kLargestMaxval + 1) number = kLargestMaxval + 1;  // too large either way
      ++position_;
      ++digits;
    }
    value = std::uint32_t(number);
    return digits > 0;
  }

  ByteSpan bytes_;
  std::size_t position_ = 0;
};

int ReadPpmFile(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                const PixelSink* sink) {
  Bytes file;
  if (!ReadPictureFile(path, file)) return 0;
  Header h;
  if (!HeaderParser(file).Parse(h)) {
    ShowMessage(MessageKind::Error, kMsgFormat);
    return 0;
  }
  if (header) *header = PictureHeader{h.width, h.height, 24, 0};

  PictureTarget target(path, slot, mode, sink);
  if (target.HeaderOnly()) return 1;
  const std::uint32_t sampleBytes = h.maxval > 255 ? 2 : 1;
  const std::size_t lineBytes = std::size_t(h.width) * 3 * sampleBytes;
  if (!FileHoldsPicture(path, std::uint64_t(lineBytes) * h.height, file.size() - h.dataOffset))
    return 0;
  if (!target.Create(h.width, h.height, 24) || !TargetTakesTrueColour(target)) return 0;
  target.OpenProgress(kMsgReadTitle);

  // Samples scaled to 0…255 with rounding; a sample above maxval counts as maxval.
  std::vector<std::uint8_t> scale;
  if (sampleBytes == 1) {
    scale.resize(256);
    for (std::uint32_t v = 0; v < 256; ++v)
      scale[v] = std::uint8_t((std::min(v, h.maxval) * 255 + h.maxval / 2) / h.maxval);
  }
  const auto* data = reinterpret_cast<const std::uint8_t*>(file.data()) + h.dataOffset;
  std::vector<std::uint8_t> bgr(3 * std::size_t(h.width));
  std::vector<std::uint8_t> keep(target.Keyed() ? h.width : 0);
  for (std::uint32_t y = 0; y < h.height; ++y) {
    const std::uint8_t* line = data + y * lineBytes;
    for (std::uint32_t i = 0; i < 3 * h.width; ++i) {
      std::uint8_t v;
      if (sampleBytes == 1) {
        v = scale[line[i]];
      } else {
        std::uint32_t s = std::min<std::uint32_t>(line[2 * i] << 8 | line[2 * i + 1], h.maxval);
        v = std::uint8_t((s * 255 + h.maxval / 2) / h.maxval);
      }
      // Red, green, blue in the file; blue, green, red in the image.
      bgr[i - i % 3 + 2 - i % 3] = v;
    }
    // A keyed load leaves the old pixel where the colour equals the key.
    for (std::uint32_t x = 0; x < keep.size(); ++x)
      keep[x] = (std::uint32_t(bgr[3 * x + 2]) << 16 | std::uint32_t(bgr[3 * x + 1]) << 8 |
                 bgr[3 * x]) == target.Key();
    target.PutBgrLine(y, bgr.data(), keep.empty() ? nullptr : keep.data());
    target.LineDone(y);
  }
  return target.Finish();
}

}  // namespace

int ReadPpm(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
            const PixelSink* sink) {
  return GuardMemory(kMsgReadMemory, 0,
                     [&] { return ReadPpmFile(path, slot, mode, header, sink); });
}

}  // namespace tessaran
