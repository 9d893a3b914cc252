// Helpers of the picture and animation tests of every folder: the shared
// sample files, their PPM reference decodings, and pictures read back from a
// virtual image or another tool.
#pragma once

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"
#include "platform/report.h"
#include "storage/virtim.h"

namespace tessaran::testing_support {

inline std::filesystem::path TestData(const std::string& relative) {
  const char* root = std::getenv("TESSARAN_TESTDATA");
  return std::filesystem::path(root ? root : TESSARAN_TESTDATA) / relative;
}

struct RgbPicture {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint32_t> rgb;  // 0x00RRGGBB, top line first
  std::uint32_t At(std::uint32_t x, std::uint32_t y) const { return rgb[std::size_t(y) * width + x]; }
};

// A binary P6 file of maxval 255 (comments allowed); empty when unreadable.
inline RgbPicture ReadPpmFile(const std::filesystem::path& path) {
  RgbPicture picture;
  Bytes bytes;
  if (!ReadWholeFile(path, bytes) || bytes.size() < 2) return picture;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t at = 2, size = bytes.size();
  auto number = [&]() -> long {
    while (at < size && (std::isspace(p[at]) || p[at] == '#')) {
      if (p[at] == '#')
        while (at < size && p[at] != '\n') ++at;
      else
        ++at;
    }
    long v = 0;
    while (at < size && std::isdigit(p[at])) v = v * 10 + (p[at++] - '0');
    return v;
  };
  if (p[0] != 'P' || p[1] != '6') return picture;
  long w = number(), h = number(), maxval = number();
  ++at;  // the single white-space byte before the pixels
  if (maxval != 255 || w <= 0 || h <= 0 || size - at < std::size_t(w * h * 3)) return picture;
  picture.width = std::uint32_t(w);
  picture.height = std::uint32_t(h);
  picture.rgb.resize(std::size_t(w * h));
  for (std::size_t i = 0; i < picture.rgb.size(); ++i, at += 3)
    picture.rgb[i] = std::uint32_t(p[at]) << 16 | std::uint32_t(p[at + 1]) << 8 | p[at + 2];
  return picture;
}

inline RgbPicture FromSlot(int slot) {
  RgbPicture picture;
  const VirtIm& image = VimSlot(slot);
  if (image.Empty()) return picture;
  picture.width = image.width;
  picture.height = image.height;
  picture.rgb.resize(std::size_t(image.width) * image.height);
  for (std::uint32_t y = 0; y < image.height; ++y)
    for (std::uint32_t x = 0; x < image.width; ++x)
      picture.rgb[std::size_t(y) * image.width + x] = std::uint32_t(VimGetPixel(slot, y, x));
  return picture;
}

// Records the numbers of the messages shown while it is installed.
class RecordingReporter : public MessageReporter {
 public:
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  std::vector<int> numbers;
};

// Records "caption|subtitle" of every progress display opened while it is
// installed.
class RecordingProgress : public ProgressDisplay {
 public:
  void Open(std::string_view caption, std::string_view subtitle) override {
    opened.emplace_back(std::string(caption) + "|" + std::string(subtitle));
  }
  void Set(double) override {}
  void Close() override {}
  std::vector<std::string> opened;
};

// Largest channel difference between two colours.
inline int ChannelDistance(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int s = 0; s < 24; s += 8) {
    int d = std::abs(int(a >> s & 255) - int(b >> s & 255));
    if (d > worst) worst = d;
  }
  return worst;
}

// Runs a shell command of an installed tool; true on exit status 0.
inline bool RunTool(const std::string& command) { return std::system(command.c_str()) == 0; }

inline bool HaveTool(const std::string& name) {
  return RunTool("command -v " + name + " >/dev/null 2>&1");
}

// A fresh scratch folder for one test. CTest runs tests in parallel, each in
// a process of its own, so the process number keeps their folders apart.
inline std::filesystem::path ScratchFolder(const std::string& name) {
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tessaran-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace tessaran::testing_support
