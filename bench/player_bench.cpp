// Playback speed of the player's window: a 640 × 480 8-bit ".ANM" played
// at the start delay (20 ms) on the offscreen platform. The counters give
// the frames shown per second and the average delay between two frames,
// which should stay within 2 ms of the delay asked for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "imaging/anm.h"
#include "messages/message_library.h"
#include "player/player_settings.h"
#include "player/windows/player_window.h"
#include "storage/virtim.h"

namespace {

namespace fs = std::filesystem;
using namespace tessaran;

constexpr int kFrames = 50;

// A moving disc over bands and a sprinkle of noise, frame after frame.
fs::path WriteAnimation() {
  const fs::path file = fs::temp_directory_path() / ("tessaran-player-bench-" + std::to_string(getpid()) + ".anm");
  constexpr int kSlot = 5;
  VimCreate(kSlot, 640, 480, 8);
  VirtIm& image = VimSlot(kSlot);
  for (int i = 0; i < 256; ++i) image.SetPaletteColour(i, std::uint32_t(i * 0x010101) ^ std::uint32_t(i << 16));
  AnmWriter writer;
  std::uint32_t seed = 7;
  for (int f = 0; f < kFrames; ++f) {
    for (std::uint32_t y = 0; y < 480; ++y) {
      std::uint8_t* line = image.Line(y);
      for (int x = 0; x < 640; ++x) {
        seed = seed * 1664525 + 1013904223;
        const int dx = x - 100 - f * 8, dy = int(y) - 240;
        std::uint8_t v = dx * dx + dy * dy < 80 * 80 ? std::uint8_t(200 + (x + int(y)) % 40) : std::uint8_t(y / 4);
        if ((seed >> 24) < 4) v = std::uint8_t(seed >> 8);
        line[x] = v;
      }
    }
    if (f == 0) AnmOpen(writer, file, image);
    AnmAddFrame(writer, image.pixels.data());
  }
  AnmClose(writer);
  VimFree(kSlot);
  return file;
}

void PlayAnm640x480(benchmark::State& state) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "player_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
  MessageLibrary library(MessageProgram::Player);
  if (library.Load("TXLNGENG.DLL") != LoadResult::Loaded) {
    state.SkipWithError("no player library beside the benchmark");
    return;
  }
  InstallMessageText(&library);
  const fs::path file = WriteAnimation();
  player::PlayerSettings settings;
  player::PlayerWindow window(library, settings);
  window.resize(700, 560);
  window.show();
  const int rounds = int(state.range(0));
  double delays = 0;
  for (auto _ : state) {
    window.PlayAnim(file, player::kPlayTimes + rounds);
    delays += window.AverageFrameDelayMs();
  }
  const double delay = delays / double(state.iterations());
  state.counters["delay_ms"] = delay;
  state.counters["frames_per_s"] = delay > 0 ? 1000.0 / delay : 0;
  state.counters["delay_asked_ms"] = player::kStartDelayMs;
  InstallMessageText(nullptr);
  fs::remove(file);
}
BENCHMARK(PlayAnm640x480)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
