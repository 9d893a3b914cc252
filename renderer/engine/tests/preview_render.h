// Renders one image of the material preview's sphere scene through the
// scene loop and `RenderScreen`, and keeps what came out: for the tests of
// the pixel loop, its antialiasing and its resume.
#pragma once

#include <cstdint>
#include <vector>

#include "renderer/engine/octree.h"
#include "renderer/engine/render_screen.h"
#include "renderer/engine/scene_loop.h"
#include "storage/virtim.h"

namespace tessaran::engine_samples {

struct Rendered {
  int result = -1;
  ScreenCounters counters;
  ScreenStop stop;
  std::vector<std::uint32_t> pixels;  // slot 0, row by row (none when it is empty)
};

// The first frame of the scene at W × H under `trace`, with `options`.
struct OneImage : IntervalSink {
  ScreenOptions options;
  TraceSettings trace;
  RenderPoll* poll = nullptr;
  Rendered out;
  int RunInterval(SceneLoop& loop, int n, bool last) override {
    loop.SetUpFrame(1, FramesOfInterval(n, last), n);
    EngineHooks hooks;
    PreparedScene prepared;
    out.result = RenderScreen(loop.Frame(), loop.Settings(), trace, nullptr, hooks, poll, options, prepared,
                              &out.counters, &out.stop);
    const FrameTables& f = loop.Frame();
    if (!VimSlot(kResultSlot).Empty()) {
      for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) out.pixels.push_back(VimGetPixel(kResultSlot, y, x));
      }
    }
    return 1;
  }
};

// The preview sphere (orange-ish, specular), or with `sphere` false an
// empty scene, at W × H with square pixels.
inline Rendered RenderPreview(int W, int H, const ScreenOptions& options, const TraceSettings& trace,
                              RenderPoll* poll, bool sphere) {
  PreviewMaterial material;
  material.col = 0x0F80;
  material.KSpec = 60;
  material.NSpec = 40;
  MaqScene scene = MakePreviewScene(material);
  if (!sphere) scene.objects.clear();
  RenderSettings settings;
  settings.width = W;
  settings.height = H;
  settings.pixelRatio = 1000;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  OneImage image;
  image.options = options;
  image.trace = trace;
  image.poll = poll;
  loop.Run(1, [&](int, MaqScene& s) { s = scene; return MaqStatus::Ok; }, image);
  VimFree(kResultSlot);
  return image.out;
}

}  // namespace tessaran::engine_samples
