// Helpers of the TGA, PCX, BMP, raw RGB and PPM tests: the messages shown
// while a test runs, test pictures drawn into virtual images, and files made
// byte by byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/testing/picture_support.h"
#include "platform/bytes.h"
#include "platform/report.h"
#include "storage/virtim.h"

namespace tessaran::testing_support {

// Records the numbers of the messages shown while it lives.
class MessageLog : public MessageReporter {
 public:
  MessageLog() { InstallReporter(this); }
  ~MessageLog() override { InstallReporter(nullptr); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  void Report(MessageKind kind, int number, std::string_view) override {
    numbers.push_back(number);
    kinds.push_back(kind);
  }
  bool Has(int number) const { return std::count(numbers.begin(), numbers.end(), number) > 0; }
  void Clear() {
    numbers.clear();
    kinds.clear();
  }

  std::vector<int> numbers;
  std::vector<MessageKind> kinds;
};

// A 24-bit picture that exercises every coding path: long runs (longer than
// any packet), short runs, pairs, single pixels, bytes with both top bits
// set, and black.
inline void DrawTestPicture(int slot, int width, int height) {
  VimCreate(slot, width, height, 24);
  std::uint32_t seed = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint32_t rgb;
      if (x < width / 2)
        rgb = (y % 3 == 0) ? 0x000000 : 0x10C5F0 + std::uint32_t(y) * 0x010203;  // runs
      else if (x % 7 < 2)
        rgb = 0xC0C1C2;  // pairs
      else {
        seed = seed * 1103515245 + 12345;
        rgb = seed >> 8 & 0xFFFFFF;  // noise
      }
      VimPutPixel(slot, rgb, std::uint32_t(y), std::uint32_t(x), 0);
    }
}

// An 8-bit (bits 8) or 4-bit (bits 4) palette picture with runs and noise.
inline void DrawPalettePicture(int slot, int width, int height, int bits) {
  VimCreate(slot, width, height, bits == 4 ? -4 : 8);
  VirtIm& image = VimSlot(slot);
  const int colours = 1 << bits;
  for (int i = 0; i < colours; ++i)
    image.SetPaletteColour(i, std::uint32_t(i * 37 % 256) << 16 | std::uint32_t(255 - i) << 8 |
                                  std::uint32_t(i * 91 % 256));
  std::uint32_t seed = 99;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* line = image.Line(std::uint32_t(y));
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245 + 12345;
      int index = x < width / 2 ? (y * 5) % colours : int(seed >> 16) % colours;
      if (bits == 8)
        line[x] = std::uint8_t(index);
      else
        line[x / 2] =
            std::uint8_t(x % 2 ? (line[x / 2] & 0xF0) | index : (line[x / 2] & 0x0F) | index << 4);
    }
  }
}

inline Bytes FileBytes(const std::filesystem::path& path) {
  Bytes bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  WriteFileAtomically(path, bytes);
}

inline std::uint8_t ByteAt(const Bytes& bytes, std::size_t at) {
  return std::to_integer<std::uint8_t>(bytes.at(at));
}

// The sample files of one folder of the test data, references left out.
inline std::vector<std::filesystem::path> SampleFiles(const std::string& folder,
                                                      const std::string& extension) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(TestData(folder)))
    if (entry.path().extension() == extension) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

inline bool Refused(const std::filesystem::path& file) {
  return file.filename().string().rfind("refuse_", 0) == 0;
}

// The number of pixels of `decoded` that differ from `reference` by more
// than `tolerance` in some channel (every pixel when the sizes differ).
inline std::size_t PixelsOff(const RgbPicture& decoded, const RgbPicture& reference,
                             int tolerance = 0) {
  if (decoded.width != reference.width || decoded.height != reference.height ||
      reference.rgb.empty())
    return std::max<std::size_t>(reference.rgb.size(), 1);
  std::size_t off = 0;
  for (std::size_t i = 0; i < reference.rgb.size(); ++i)
    off += ChannelDistance(decoded.rgb[i], reference.rgb[i]) > tolerance;
  return off;
}

}  // namespace tessaran::testing_support
