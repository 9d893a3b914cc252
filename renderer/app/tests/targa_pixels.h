// The pixels of a 24-bit Targa the renderer wrote, for the tests that look
// at rendered images.
#pragma once

#include <array>
#include <filesystem>
#include <vector>

#include "platform/bytes.h"

namespace tessaran {

struct TargaPixels {
  int width = 0;
  int height = 0;
  std::vector<std::array<int, 3>> rgb;  // row by row as stored
  const std::array<int, 3>& At(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

inline TargaPixels ReadTargaPixels(const std::filesystem::path& file) {
  TargaPixels t;
  Bytes bytes;
  if (!ReadWholeFile(file, bytes) || bytes.size() < 18) return t;
  auto byte = [&](std::size_t i) { return std::to_integer<int>(bytes[i]); };
  t.width = byte(12) | byte(13) << 8;
  t.height = byte(14) | byte(15) << 8;
  if (bytes.size() < 18 + 3u * t.width * t.height) return TargaPixels{};
  for (int i = 0; i < t.width * t.height; ++i) t.rgb.push_back({byte(20 + 3 * i), byte(19 + 3 * i), byte(18 + 3 * i)});
  return t;
}

}  // namespace tessaran
