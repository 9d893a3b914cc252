// Speed of the animation output stage: RunSkipDump encoding of a 640 × 480
// frame against the one before, and the colour reduction of a 1024 × 768
// photograph-like picture with over 100 000 distinct colours.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <set>
#include <vector>

#include "imaging/palette.h"
#include "imaging/runskipdump.h"
#include "platform/report.h"
#include "storage/virtim.h"

namespace {

class Quiet : public tessaran::ProgressDisplay {
 public:
  void Open(std::string_view, std::string_view) override {}
  void Set(double) override {}
  void Close() override {}
};

// A rendered-looking 8-bit frame: smooth bands, a moving object, noise.
std::vector<std::uint8_t> Frame(int shift) {
  const int width = 640, height = 480;
  std::vector<std::uint8_t> frame(std::size_t(width) * height);
  std::uint32_t seed = 99;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525 + 1013904223;
      bool object = (x - 200 - shift) * (x - 200 - shift) + (y - 240) * (y - 240) < 90 * 90;
      std::uint8_t v = object ? std::uint8_t(100 + (x + y) % 37) : std::uint8_t(y / 8);
      if ((seed >> 24) < 8) v = std::uint8_t(seed >> 8);
      frame[std::size_t(y) * width + x] = v;
    }
  return frame;
}

void RunSkipDumpFrame(benchmark::State& state) {
  std::vector<std::uint8_t> previous = Frame(0), next = Frame(6), out(4 * previous.size());
  std::size_t size = 0;
  for (auto _ : state) {
    size = tessaran::RunSkipDumpEncode(previous.data(), next.data(), next.size(), 640, true, out.data(),
                                       out.size());
    benchmark::DoNotOptimize(size);
  }
  state.counters["stream_bytes"] = double(size);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(next.size()));
}
BENCHMARK(RunSkipDumpFrame)->Unit(benchmark::kMillisecond);

// A photograph-like 1024 × 768 picture: gradients, texture and noise.
void DrawPhoto(int slot) {
  const int width = 1024, height = 768;
  tessaran::VimCreate(slot, width, height, 24);
  std::uint32_t seed = 7;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* line = tessaran::VimSlot(slot).Line(std::uint32_t(y));
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525 + 1013904223;
      int n = int(seed >> 27) - 16;
      int texture = ((x * 7) ^ (y * 5)) & 31;
      line[3 * x + 2] = std::uint8_t(std::clamp(x * 200 / width + texture + n, 0, 255));
      line[3 * x + 1] = std::uint8_t(std::clamp(y * 220 / height + n / 2, 0, 255));
      line[3 * x] = std::uint8_t(std::clamp(255 - (x + y) * 180 / (width + height) + texture - n, 0, 255));
    }
  }
}

void ImageTo8BitPhoto(benchmark::State& state) {
  static Quiet quiet;
  tessaran::InstallProgress(&quiet);
  DrawPhoto(30);
  std::set<std::uint32_t> distinct;
  for (std::uint32_t y = 0; y < 768; ++y)
    for (std::uint32_t x = 0; x < 1024; ++x) distinct.insert(std::uint32_t(tessaran::VimGetPixel(30, y, x)));
  tessaran::VimCreate(31, 1024, 768, 8);
  for (auto _ : state) {
    tessaran::ColourReduction pal;
    benchmark::DoNotOptimize(tessaran::ImageTo8Bit(pal, 30, tessaran::VimSlot(31), false));
  }
  state.counters["distinct_colours"] = double(distinct.size());
  tessaran::InstallProgress(nullptr);
}
BENCHMARK(ImageTo8BitPhoto)->Unit(benchmark::kMillisecond);

}  // namespace
