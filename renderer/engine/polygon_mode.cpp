// The polygon mode: the cells of every object as flat polygons, sorted by
// depth and painted far to near, each lit once at its centre by the lamps,
// the sun and the ambient light with the fixed coefficients of the mode and
// without shadows.
#include <algorithm>
#include <new>
#include <vector>

#include "platform/report.h"
#include "renderer/engine/facets.h"
#include "renderer/engine/mode_render.h"
#include "renderer/engine/raster.h"
#include "renderer/engine/surface_mesh.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

// Quads a curved cell is cut into along each parameter.
constexpr int kCurvedCellSteps = 3;

struct Polygon {
  RasterVertex v[3];
  double depth = 0;  // mean z: the more negative, the farther
  int object = 0;
};

// The frame's lighting coefficients and shadow flags replaced by the
// mode's own for the time of the image, and restored after it.
class FixedLighting {
 public:
  explicit FixedLighting(FrameTables& frame) : frame_(frame), materials_(frame.TabMAT), lamps_(frame.lamps), sun_(frame.sun) {
    for (MaterialEntry& m : frame.TabMAT) {
      m.Kd = kPolygonKd;
      m.Ks = kPolygonKs;
      m.Ns = kPolygonNs;
      m.CfxTr = 0;
      m.transmission = 0;
    }
    for (EngineLamp& lamp : frame.lamps) lamp.shadows = false;
    frame.sun.shadows = false;
  }
  ~FixedLighting() {
    frame_.TabMAT = std::move(materials_);
    frame_.lamps = std::move(lamps_);
    frame_.sun = sun_;
  }
  FixedLighting(const FixedLighting&) = delete;
  FixedLighting& operator=(const FixedLighting&) = delete;

 private:
  FrameTables& frame_;
  std::vector<MaterialEntry> materials_;
  std::vector<EngineLamp> lamps_;
  Sun sun_;
};

int Polygons(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace, EngineHooks& hooks,
             RenderPoll* poll, bool backPlane) {
  const int W = frame.width, H = frame.height;
  if (W < 1 || H < 1) return kScreenAbandoned;
  hooks.Status(kMsgPolygons);
  PreparedScene prepared;
  if (!BuildFacets(frame, prepared.facets, hooks)) return kScreenAbandoned;
  const RasterView view = MakeRasterView(frame.camera, frame.mapping, W, H);

  hooks.Status(kMsgPolygonCells);
  std::vector<Polygon> polygons;
  const CellSteps steps = [](int, int, int, int& s, int& t) { s = t = kCurvedCellSteps; };
  const int n = std::min(frame.objectCount, static_cast<int>(frame.objects.size()));
  for (int k = 0; k < n; ++k) {
    ObjectTriangles(frame, prepared.facets, prepared.NPhong, k, steps,
                    [&](const RasterVertex& a, const RasterVertex& b, const RasterVertex& c) {
                      polygons.push_back({{a, b, c}, (a.p[2] + b.p[2] + c.p[2]) / 3, k});
                    });
  }
  hooks.Status(kMsgPolygonSort);
  std::stable_sort(polygons.begin(), polygons.end(),
                   [](const Polygon& a, const Polygon& b) { return a.depth < b.depth; });

  hooks.Status(kMsgPolygonDraw);
  FixedLighting lighting(frame);
  TraceScene scene{&frame, &prepared, &settings, nullptr, trace};
  RayState state(scene);
  std::vector<std::uint32_t> image(static_cast<std::size_t>(W) * H, 0);
  const std::size_t pollEvery = 4096;
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    if (poll && i % pollEvery == 0 && poll->Poll(static_cast<double>(i) / polygons.size())) return kScreenStopped;
    Polygon& poly = polygons[i];
    const Vec3 normal = Normalise(Cross(poly.v[1].p - poly.v[0].p, poly.v[2].p - poly.v[0].p));
    if (!(Length(normal) > 0)) continue;
    const Vec3 centre = (1.0 / 3) * (poly.v[0].p + poly.v[1].p + poly.v[2].p);
    const auto colour = ShadeSurface(scene, state, poly.object, -1, -1, centre, normal, EyeOf(view, centre)).colour;
    SeedRounding(state, trace.frameNumber, static_cast<double>(i), poly.depth);
    const std::uint32_t rgb = PackColour(state, colour, trace.trueColour);
    FillTriangle(view, poly.v[0], poly.v[1], poly.v[2],
                 [&](const RasterSample& s) { image[static_cast<std::size_t>(s.y) * W + s.x] = rgb; });

  }
  if (backPlane) ShowUnderBlack(kResultSlot, image, W, H);
  return StoreImage(kResultSlot, image, W, H) ? kScreenFinished : kScreenAbandoned;
}

}  // namespace

int RenderPolygons(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                   EngineHooks& hooks, RenderPoll* poll, bool backPlane) {
  // The buffers of a large image may not be had: abandoned, not a crash.
  try {
    return Polygons(frame, settings, trace, hooks, poll, backPlane);
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgImageMemory);
    return kScreenAbandoned;
  }
}

}  // namespace tessaran
