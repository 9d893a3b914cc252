// Ray casting and recursive ray tracing over a prepared scene: every
// intersection of a ray with facets, curved patches, the ground plane and
// the material preview's spheres (`RayCast`), and the colour of a ray with
// lamps, sun, shadows through transparent objects, reflection and
// refraction through the material stack (`RayTrace`).
//
// Threads: the prepared scene, the frame tables and the texture maps are
// read-only while tracing; everything a ray changes lives in its thread's
// `RayState`. Give each tracing thread its own `RayState`.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "renderer/engine/engine.h"
#include "renderer/engine/octree.h"

namespace tessaran {

class TextureMaps;

// What the tracer reads of the render project besides `RenderSettings`.
struct TraceSettings {
  int reflectionLimit = 5;      // reflection depth limit
  int transmissionLimit = 5;    // transmission depth limit (also the material stack's size)
  double ambient = 0.2;         // ambient level, 0 … 1
  // The sky gradient's four colours, channels 0 … 1.
  std::array<float, 3> horizonUp{0.6f, 0.7f, 1.0f};
  std::array<float, 3> zenith{0.1f, 0.2f, 0.6f};
  std::array<float, 3> horizonDown{0.4f, 0.4f, 0.4f};
  std::array<float, 3> nadir{0.1f, 0.1f, 0.1f};
  bool trueColour = true;       // bit 3 of the project's second flag word
  int frameNumber = 0;          // seeds the pixels' random rounding
};

// One intersection. u and v are −1 for surfaces without parameters; for the
// ground they are the hit's scene x and z; for patches the grid parameters.
struct RayHit {
  int object = -1;
  double u = -1;
  double v = -1;
  double t = 0;
  Vec3 point{};
  Vec3 normal{};
};

// The hit list: at most 30 records. When the 30th arrives the list is
// sorted by distance and each further hit replaces the last (farthest)
// record if it is nearer, so the list keeps the nearest hits.
class HitList {
 public:
  static constexpr int kMaxHits = 30;
  void Clear() {
    count_ = 0;
    sorted_ = true;
  }
  void Add(const RayHit& hit);
  void Sort();
  int Count() const { return count_; }
  const RayHit& operator[](int i) const { return hits_[i]; }
  // The nearest hit (sorts first). Count() must be above 0.
  const RayHit& Nearest();

 private:
  std::array<RayHit, kMaxHits> hits_{};
  int count_ = 0;
  bool sorted_ = true;
};

// The material stack (`StackMat`): the transparent objects a ray is inside,
// innermost last; entries[0] is air (−1) until the stack overflows.
struct StackMat {
  int count = 0;
  std::vector<int> entries{-1};
};

// One traced ray.
struct RayNode {
  std::unique_ptr<RayNode> reflected;
  std::unique_ptr<RayNode> transmitted;
  int object = -1;
  double u = -1;
  double v = -1;
  double distance = 0;
  Vec3 point{};
  Vec3 origin{};
  Vec3 direction{};  // unit
  Vec3 normal{};
  std::array<float, 3> colour{};
  // Shared with the transmitted child, copied for the reflected child.
  std::shared_ptr<StackMat> stack;
  std::uint32_t packed = 0;  // 0x00RRGGBB, set on the primary ray
};

// The scene as the tracer sees it. All pointers must outlive the tracing.
struct TraceScene {
  const FrameTables* frame = nullptr;
  const PreparedScene* prepared = nullptr;
  const RenderSettings* settings = nullptr;
  const TextureMaps* maps = nullptr;  // null: no maps
  TraceSettings trace;
};

// Control points of the patch cell last loaded, per thread.
struct PatchCache {
  int object = -1;
  int i = -1;
  int j = -1;
  std::array<Vec3, 9> points{};
};

// Where a ray meets an object's box.
struct ObjectSpanOnRay {
  int object;
  double tnear;
  double tfar;
};

// What one tracing thread changes while it traces.
class RayState {
 public:
  explicit RayState(const TraceScene& scene);
  CandidateMarks marks;
  NodeHits nodeHits;           // octree nodes the present ray meets
  std::vector<int> facetList;  // a facet object's facets on the present ray
  std::vector<ObjectSpanOnRay> objectSpans;  // the object boxes a nearest cast meets
  HitList hits;        // shared by all traced rays of this thread
  HitList shadowHits;  // shadow casts
  PatchCache patch;
  int reflectionDepth = 0;
  int transmissionDepth = 0;
  std::uint64_t random = 0;  // the rounding generator's state
  int frameMessages = 0;     // message 270 shown by this thread (once is enough)
};

// Every hit of the ray (unit direction) into `hits`; the number of hits. In
// shadow mode only hits nearer than `maxDistance` count, and the cast ends
// at the first opaque one.
int RayCast(const TraceScene& scene, RayState& state, const Vec3& origin, const Vec3& direction, HitList& hits,
            bool shadow, double maxDistance = 1e300);

// The nearest hit alone, as the only record of `hits` (the record a full
// cast's Nearest() gives, to the bit); the number of hits, 0 or 1.
int RayCastNearest(const TraceScene& scene, RayState& state, const Vec3& origin, const Vec3& direction,
                   HitList& hits);

// Traces `node` (origin, direction and stack set): fills its colour and
// children. When both depth counters are back at zero the colour is also
// packed into node.packed. 1 normally, 0 when the trace ended early.
int RayTrace(const TraceScene& scene, RayState& state, RayNode& node, bool transmitted);

// One primary ray of the image point (px, py): resets the depth counters,
// seeds the rounding from the frame number and the point, traces, frees the
// ray tree. The packed colour.
std::uint32_t TracePrimary(const TraceScene& scene, RayState& state, const Vec3& origin, const Vec3& direction,
                           double px, double py);

// Seeds the random rounding for image point (px, py) of frame `frame`.
void SeedRounding(RayState& state, int frame, double px, double py);

// A colour (0 … 1 channels) packed as 0x00RRGGBB with randomised rounding:
// 255 levels in true colour, else 15 levels (see raytrace.cpp).
std::uint32_t PackColour(RayState& state, const std::array<float, 3>& colour, bool trueColour);

// The mirror of D about N, and the refracted direction for the index ratio
// eta (false on total internal reflection, `out` then the mirror).
Vec3 MirrorDirection(const Vec3& D, const Vec3& N);
bool RefractDirection(const Vec3& D, const Vec3& N, double eta, Vec3& out);

// The uniform quadratic B-spline over a 3 × 3 cell net (row-major, t
// along rows of the net): the point and the partial derivatives.
void PatchEval(const std::array<Vec3, 9>& net, double s, double t, Vec3& point, Vec3& ds, Vec3& dt);

// Loads the control points of cell (i, j) of grid object k into the cache
// (nothing when already there).
void LoadPatchCell(const FrameTables& frame, int k, int i, int j, PatchCache& cache);

// The sphere test of the material preview: hits of the ray with the sphere;
// false after message 270 when the ray frame cannot be built.
bool SphereHits(const Vec3& origin, const Vec3& direction, const Vec3& centre, double radius, int object,
                HitList& hits);

// The index of refraction of a refraction percentage.
inline double RefractionIndex(int percentage) { return (2.0 * percentage + 100) / 100; }

// The ray tracer's colour of one surface point, without the rays it sends
// on: object k's material made current at (u, v) (its maps included),
// shaded at P with normal N, bent by a bump map, seen from E (lamps, sun,
// ambient, specular, and shadow casts where the lights cast shadows);
// channels 0 … 1. With the transparency there, from the material or the
// opacity map. For the render modes that find their visible surfaces
// themselves.
struct SurfaceShade {
  std::array<float, 3> colour;
  double transparency;
};
SurfaceShade ShadeSurface(const TraceScene& scene, RayState& state, int object, double u, double v, const Vec3& P,
                          const Vec3& N, const Vec3& E);
// The colour of a ray that meets nothing: the sky map or the sky gradient.
std::array<float, 3> BackgroundColour(const TraceScene& scene, const Vec3& direction);

// Scene coordinates of a camera-coordinates direction or point.
Vec3 SceneDirection(const Camera& camera, const Vec3& d);
Vec3 ScenePoint(const Camera& camera, const Vec3& p);

}  // namespace tessaran
