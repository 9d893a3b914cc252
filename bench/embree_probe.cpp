// The primary rays of a render without antialiasing, cast by Embree 3 at
// the facets of a scene file, against the nearest casts of our engine on
// the very same rays: one thread each, rays per second of both.
//
//   embree_probe SCENE.MAQ [WIDTH HEIGHT [RUNS]]     (640 480 5)
//
// The scene is read and prepared as `rz --batch` does for its first image
// (square pixels, the engine's default octree settings), so the rays are
// those of the render's pixel loop and the triangles those its caster
// tests. Only facets are handed to Embree: grids and curved objects are
// not, and the hit counts of the two then differ (they are printed).
// Times are the best of RUNS passes over every ray, taken by the process's
// CPU clock.
#include <embree3/rtcore.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "renderer/engine/octree.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/scene_loop.h"

namespace tessaran {
namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// The best CPU time of `runs` calls of `pass`.
double BestTime(int runs, const std::function<void()>& pass) {
  double best = std::numeric_limits<double>::infinity();
  for (int r = 0; r < runs; ++r) {
    const double t0 = CpuSeconds();
    pass();
    best = std::min(best, CpuSeconds() - t0);
  }
  return best;
}

struct Probe {
  int width = 640;
  int height = 480;
  int runs = 5;
  int result = 1;
};

// The facets the caster can hit, as one Embree triangle mesh over the
// frame's points.
RTCScene EmbreeScene(RTCDevice device, const FrameTables& frame, const PreparedScene& prepared, int& triangles) {
  std::vector<unsigned> indices;
  for (const Facet& f : prepared.facets) {
    if (IsDegenerate(f) || f.a < 0) continue;
    indices.insert(indices.end(), {static_cast<unsigned>(f.a), static_cast<unsigned>(f.b), static_cast<unsigned>(f.c)});
  }
  triangles = static_cast<int>(indices.size() / 3);
  RTCScene scene = rtcNewScene(device);
  RTCGeometry mesh = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
  auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(mesh, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                               3 * sizeof(float), frame.points.size()));
  for (std::size_t i = 0; i < frame.points.size(); ++i) std::copy_n(frame.points[i].data(), 3, vertices + 3 * i);
  auto* index = static_cast<unsigned*>(rtcSetNewGeometryBuffer(mesh, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                               3 * sizeof(unsigned), std::max(triangles, 1)));
  std::copy(indices.begin(), indices.end(), index);
  rtcCommitGeometry(mesh);
  rtcAttachGeometry(scene, mesh);
  rtcReleaseGeometry(mesh);
  rtcCommitScene(scene);
  return scene;
}

// Casts the frame's primary rays with both and prints the figures.
class ProbeSink final : public IntervalSink {
 public:
  explicit ProbeSink(Probe& probe) : probe_(probe) {}

  int RunInterval(SceneLoop& loop, int n, bool /*last*/) override {
    loop.SetUpFrame(1, 1, n);
    FrameTables& frame = loop.Frame();
    PreparedScene prepared;
    EngineHooks hooks;
    if (PrepareScene(frame, loop.Settings(), hooks, prepared) != 1) {
      std::fprintf(stderr, "embree_probe: the scene cannot be prepared\n");
      return 9;
    }
    std::vector<CameraRay> rays;
    rays.reserve(static_cast<std::size_t>(frame.width) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) rays.push_back(PrimaryRay(frame.camera, frame.mapping, x, y));
    }
    const double count = static_cast<double>(rays.size());

    RTCDevice device = rtcNewDevice("threads=1");
    int triangles = 0;
    RTCScene scene = EmbreeScene(device, frame, prepared, triangles);
    long embreeHits = 0;
    const double embree = BestTime(probe_.runs, [&] {
      RTCIntersectContext context;
      rtcInitIntersectContext(&context);
      embreeHits = 0;
      for (const CameraRay& r : rays) {
        RTCRayHit rh{};
        rh.ray.org_x = static_cast<float>(r.origin[0]);
        rh.ray.org_y = static_cast<float>(r.origin[1]);
        rh.ray.org_z = static_cast<float>(r.origin[2]);
        rh.ray.dir_x = static_cast<float>(r.direction[0]);
        rh.ray.dir_y = static_cast<float>(r.direction[1]);
        rh.ray.dir_z = static_cast<float>(r.direction[2]);
        rh.ray.tnear = 0.001f;
        rh.ray.tfar = std::numeric_limits<float>::infinity();
        rh.ray.mask = ~0u;
        rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        rtcIntersect1(scene, &context, &rh);
        if (rh.hit.geomID != RTC_INVALID_GEOMETRY_ID) ++embreeHits;
      }
    });
    rtcReleaseScene(scene);
    rtcReleaseDevice(device);

    RenderSettings settings = loop.Settings();
    TraceScene traced{&frame, &prepared, &settings, nullptr, {}};
    RayState state(traced);
    long ourHits = 0;
    const double ours = BestTime(probe_.runs, [&] {
      ourHits = 0;
      for (const CameraRay& r : rays) ourHits += RayCastNearest(traced, state, r.origin, r.direction, state.hits);
    });

    std::printf("%d x %d primary rays at %d triangles, 1 thread, best of %d\n", frame.width, frame.height, triangles,
                probe_.runs);
    std::printf("embree: %.3f M rays/s (%ld hits)\n", count / embree / 1e6, embreeHits);
    std::printf("ours (nearest cast): %.3f M rays/s (%ld hits), %.3f of embree's rate\n", count / ours / 1e6, ourHits,
                embree / ours);
    probe_.result = 0;
    return 9;
  }

 private:
  Probe& probe_;
};

}  // namespace
}  // namespace tessaran

int main(int argc, char** argv) {
  using namespace tessaran;
  if (argc != 2 && argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: embree_probe SCENE.MAQ [WIDTH HEIGHT [RUNS]]\n");
    return 2;
  }
  Probe probe;
  if (argc >= 4) {
    probe.width = std::atoi(argv[2]);
    probe.height = std::atoi(argv[3]);
  }
  if (argc == 5) probe.runs = std::atoi(argv[4]);
  if (probe.width < 1 || probe.height < 1 || probe.width > 32767 || probe.height > 32767 || probe.runs < 1) {
    std::fprintf(stderr, "embree_probe: the size must be 1 to 32767 pixels a side and the runs at least 1\n");
    return 2;
  }
  RenderSettings settings;
  settings.width = probe.width;
  settings.height = probe.height;
  settings.pixelRatio = 1000;  // square pixels, as the bench projects ask
  settings.threads = 1;
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  ProbeSink sink(probe);
  if (loop.Run(argv[1], sink) == 0) {
    std::fprintf(stderr, "embree_probe: cannot read %s\n", argv[1]);
    return 1;
  }
  return probe.result;
}
