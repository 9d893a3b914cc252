// Render scene preparation: facets, boxes, quadtrees and the octree of a
// scene of 100 000 facets and of one of 50 curved objects, with the memory
// the tables and pools take. Targets: under 1 s and under 200 bytes per
// facet for the 100 000 facets.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

#include "renderer/engine/frame_setup.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/raytrace.h"

#include <thread>

namespace tessaran {
namespace {

// Adds an object of nu × nv points at f(i, j) to the scene; a facet
// object (faceted) has no mesh of its own.
template <class F>
void AddObject(MaqScene& scene, int nu, int nv, std::uint16_t col, F&& f, bool faceted = false) {
  MaqObject& o = scene.objects.back();
  o.firstPoint = static_cast<int>(scene.points.size()) + 1;
  o.meshU = faceted ? 0 : nu;
  o.meshV = faceted ? 0 : nv;
  o.col = col;
  for (int j = 0; j < nv; ++j) {
    for (int i = 0; i < nu; ++i) scene.points.push_back(f(i, j));
  }
  MaqObject closing;
  closing.firstPoint = static_cast<int>(scene.points.size()) + 1;
  scene.objects.push_back(closing);
  ++scene.objectCount;
  scene.frames.resize(scene.objectCount);
}

MaqScene BaseScene() {
  MaqScene scene;
  scene.hasCamera = true;
  scene.hasFrames = true;
  scene.camera.focal = 1200;
  scene.objects.push_back(MaqObject{});
  return scene;
}

// A ball of radius r at c, a rows × columns grid of points on its surface.
auto Ball(const std::array<float, 3>& c, float r, int columns, int rows) {
  return [=](int i, int j) {
    const double lon = 2 * std::numbers::pi * i / (columns - 1), lat = -1.5 + 3.0 * j / (rows - 1);
    return std::array<float, 3>{float(c[0] + r * std::cos(lat) * std::cos(lon)), float(c[1] + r * std::sin(lat)),
                                float(c[2] + r * std::cos(lat) * std::sin(lon))};
  };
}

// 50 facet objects of 2 000 triangles each (smooth, so that the Phong
// normals are part of the work), scattered in a cube of 400 units.
MaqScene FacetScene() {
  MaqScene scene = BaseScene();
  std::mt19937 random(1);
  std::uniform_real_distribution<float> place(-200, 200);
  const int columns = 51, rows = 21;
  for (int k = 0; k < 50; ++k) {
    AddObject(scene, columns, rows, 0x4CCC, Ball({place(random), place(random), place(random)}, 25, columns, rows), true);
    MaqObject& o = scene.objects[k];
    o.words[1] = 2 * (columns - 1) * (rows - 1);
    o.words[2] = 3 * o.words[1];
    o.words[3] = static_cast<std::int16_t>(scene.faces.size() % 32768);
    o.words[4] = static_cast<std::int16_t>(k + 1);
    // Faces are numbered from each group's first face in the engine's own
    // face list; the 16-bit word of the file would overflow past 32 767.
    for (int j = 0; j + 1 < rows; ++j) {
      for (int i = 0; i + 1 < columns; ++i) {
        const auto p = static_cast<std::int16_t>(j * columns + i + 1);
        const auto right = static_cast<std::int16_t>(p + 1), up = static_cast<std::int16_t>(p + columns);
        scene.faces.push_back({p, right, static_cast<std::int16_t>(up + 1), 0});
        scene.faces.push_back({p, static_cast<std::int16_t>(up + 1), up, 0});
      }
    }
  }
  return scene;
}

MaqScene CurvedScene() {
  MaqScene scene = BaseScene();
  std::mt19937 random(2);
  std::uniform_real_distribution<float> place(-200, 200);
  for (int k = 0; k < 50; ++k) {
    AddObject(scene, 20, 20, 0x0FFF, Ball({place(random), place(random), place(random)}, 25, 20, 20));
  }
  return scene;
}

FrameTables Frame(const MaqScene& scene) {
  Keyframe key;
  std::vector<FaceGroup> groups;
  KeyframeFromScene(scene, key, &groups);
  // Each group starts where the previous one ended.
  int first = 0;
  for (FaceGroup& g : groups) {
    g.firstFace = first;
    first += g.faceCount;
  }
  ReferenceFrames references;
  StartReferenceFrames(key, references);
  FrameTables frame;
  frame.faceGroups = groups;
  frame.faces = scene.faces;
  frame.fileHasFaces = !scene.faces.empty();
  SetUpFrame(key, key, 0, RenderSettings{}, references, frame);
  return frame;
}

void Prepare(benchmark::State& state, const MaqScene& scene) {
  FrameTables frame = Frame(scene);
  EngineHooks hooks;
  PreparedScene prepared;
  for (auto _ : state) {
    if (PrepareScene(frame, RenderSettings{}, hooks, prepared) != 1) state.SkipWithError("preparation failed");
  }
  const double facets = static_cast<double>(prepared.facets.size());
  const double bytes = static_cast<double>(prepared.Bytes() + frame.points.capacity() * sizeof(frame.points[0]));
  state.counters["facets"] = facets;
  state.counters["octree"] = prepared.UsesOctree();
  state.counters["depth"] = prepared.EffectMaxOctreeDepth;
  state.counters["MB"] = bytes / 1e6;
  state.counters["HBox_KB"] = prepared.HBox.Bytes() / 1e3;
  state.counters["HQN_KB"] = prepared.HQN.Bytes() / 1e3;
  state.counters["HON_KB"] = prepared.HON.Bytes() / 1e3;
  state.counters["HRL_KB"] = prepared.HRL.Bytes() / 1e3;
  if (facets > 0) state.counters["bytes_per_facet"] = bytes / facets;
}

void BM_Prepare100kFacets(benchmark::State& state) { Prepare(state, FacetScene()); }
void BM_Prepare50CurvedObjects(benchmark::State& state) { Prepare(state, CurvedScene()); }

BENCHMARK(BM_Prepare100kFacets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Prepare50CurvedObjects)->Unit(benchmark::kMillisecond);

// Rays per second over a prepared scene: the primary rays of a 160 × 120
// image, or shadow casts from each primary hit towards a lamp, on
// state.range(0) threads, each with its own ray state.
void Rays(benchmark::State& state, const MaqScene& scene, bool shadows) {
  FrameTables frame = Frame(scene);
  EngineHooks hooks;
  PreparedScene prepared;
  RenderSettings settings;
  if (PrepareScene(frame, settings, hooks, prepared) != 1) {
    state.SkipWithError("preparation failed");
    return;
  }
  TraceScene ts{&frame, &prepared, &settings, nullptr, {}};
  const int W = 160, H = 120, threads = static_cast<int>(state.range(0));
  const ScreenMapping mapping = ImageMapping(W, H, 1000);
  const Vec3 lamp{300, 400, 0};
  std::vector<long> hitsPerThread(threads);
  for (auto _ : state) {
    std::vector<std::thread> pool;
    for (int n = 0; n < threads; ++n) {
      pool.emplace_back([&, n] {
        RayState rs(ts);
        HitList shadowList;
        long hits = 0;
        for (int y = n; y < H; y += threads) {
          for (int x = 0; x < W; ++x) {
            const CameraRay r = PrimaryRay(frame.camera, mapping, x, y);
            if (RayCastNearest(ts, rs, r.origin, r.direction, rs.hits) == 0) continue;
            ++hits;
            if (!shadows) continue;
            const Vec3 p = rs.hits.Nearest().point;
            const Vec3 d{lamp[0] - p[0], lamp[1] - p[1], lamp[2] - p[2]};
            const double l = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            RayCast(ts, rs, p, {d[0] / l, d[1] / l, d[2] / l}, shadowList, true, l);
          }
        }
        hitsPerThread[n] = hits;
      });
    }
    for (auto& t : pool) t.join();
  }
  long hits = 0;
  for (long h : hitsPerThread) hits += h;
  const double rays = shadows ? static_cast<double>(W * H + hits) : W * H;
  state.counters["rays_per_s"] = benchmark::Counter(rays, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["hit_fraction"] = static_cast<double>(hits) / (W * H);
}

void BM_PrimaryRays100kFacets(benchmark::State& state) { Rays(state, FacetScene(), false); }
void BM_ShadowRays100kFacets(benchmark::State& state) { Rays(state, FacetScene(), true); }
void BM_PrimaryRaysCurved(benchmark::State& state) { Rays(state, CurvedScene(), false); }
void BM_ShadowRaysCurved(benchmark::State& state) { Rays(state, CurvedScene(), true); }

const int kAllThreads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
BENCHMARK(BM_PrimaryRays100kFacets)->Arg(1)->Arg(kAllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShadowRays100kFacets)->Arg(1)->Arg(kAllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PrimaryRaysCurved)->Arg(1)->Arg(kAllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShadowRaysCurved)->Arg(1)->Arg(kAllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaran
