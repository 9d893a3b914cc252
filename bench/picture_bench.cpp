// Loading and writing a 1280 × 1024 picture in each format.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "imaging/bmp.h"
#include "imaging/ilbm.h"
#include "imaging/pcx.h"
#include "imaging/picture.h"
#include "imaging/ppm.h"
#include "imaging/rawrgb.h"
#include "imaging/tga.h"
#include "platform/report.h"
#include "storage/virtim.h"

namespace {

using namespace tessaran;

constexpr int kWidth = 1280, kHeight = 1024;
constexpr int kTrueColour = 10, kPalette = 11, kLoaded = 12;

class Quiet : public MessageReporter, public ProgressDisplay {
 public:
  void Report(MessageKind, int, std::string_view) override {}
  void Open(std::string_view, std::string_view) override {}
  void Set(double) override {}
  void Close() override {}
};

// A picture with smooth areas and noise, as a rendered image has both.
void MakePictures() {
  static bool made = false;
  if (made) return;
  made = true;
  static Quiet quiet;
  InstallReporter(&quiet);
  InstallProgress(&quiet);
  VimCreate(kTrueColour, kWidth, kHeight, 24);
  VimCreate(kPalette, kWidth, kHeight, 8);
  std::uint32_t noise = 12345;
  for (int i = 0; i < 256; ++i) VimSlot(kPalette).SetPaletteColour(i, std::uint32_t(i) * 0x010203);
  for (std::uint32_t y = 0; y < kHeight; ++y)
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245 + 12345;
      std::uint32_t grain = x > kWidth / 2 ? (noise >> 16) & 15 : 0;
      std::uint32_t rgb = ((x / 5 + grain) & 255) << 16 | ((y / 4) & 255) << 8 | ((x + y) / 9 & 255);
      VimPutPixel(kTrueColour, rgb, y, x, 0);
      VimPutPixel(kPalette, (x / 7 + y / 5 + grain) & 255, y, x, 0);
    }
}

std::filesystem::path Folder() {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("tessaran-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

enum Format { Lbm, I24, Tga2, Tga10, Pcx8, Pcx24, Bmp8, Bmp24, Ppm, RawRgb };

std::filesystem::path Write(Format format) {
  const std::filesystem::path f = Folder();
  switch (format) {
    case Lbm: WriteLbm(f / "P.LBM", -1, VimSlot(kPalette)); return f / "P.LBM";
    case I24: WriteI24(f / "P.I24", -1, kWidth, kHeight, kTrueColour); return f / "P.I24";
    case Tga2: WriteTga(f / "P2.TGA", -1, kWidth, kHeight, kTrueColour, false); return f / "P2.TGA";
    case Tga10: WriteTga(f / "P10.TGA", -1, kWidth, kHeight, kTrueColour, true); return f / "P10.TGA";
    case Pcx8: WritePcx(f / "P8.PCX", -1, VimSlot(kPalette)); return f / "P8.PCX";
    case Pcx24: WritePcx(f / "P24.PCX", -1, kTrueColour); return f / "P24.PCX";
    case Bmp8: WriteBmp(f / "P8.BMP", -1, VimSlot(kPalette)); return f / "P8.BMP";
    case Bmp24: WriteBmp(f / "P24.BMP", -1, kTrueColour, kHeight); return f / "P24.BMP";
    case Ppm: WritePpm(f / "P.PPM", -1, kTrueColour); return f / "P.PPM";
    case RawRgb: WriteRawRgb(f / "P.RGB", -2, kWidth, kHeight, kTrueColour); return {};
  }
  return {};
}

void WriteFormat(benchmark::State& state, Format format) {
  MakePictures();
  for (auto _ : state) benchmark::DoNotOptimize(Write(format));
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void LoadFormat(benchmark::State& state, Format format) {
  MakePictures();
  std::filesystem::path file = Write(format);
  for (auto _ : state) {
    if (LoadPicture(file, kLoaded, kOpaqueLoad, nullptr, 0) != 1) state.SkipWithError("not read");
    VimFree(kLoaded);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// Write/FORMAT and Load/FORMAT for every format (raw planes are not read).
const bool registered = [] {
  const char* names[] = {"LBM", "I24", "TGA2", "TGA10", "PCX8", "PCX24", "BMP8", "BMP24", "PPM", "RGB"};
  for (int f = Lbm; f <= RawRgb; ++f) {
    benchmark::RegisterBenchmark((std::string("Write/") + names[f]).c_str(), WriteFormat, Format(f))
        ->Unit(benchmark::kMillisecond);
    if (f != RawRgb)
      benchmark::RegisterBenchmark((std::string("Load/") + names[f]).c_str(), LoadFormat, Format(f))
          ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
