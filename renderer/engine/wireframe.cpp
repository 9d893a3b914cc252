// The wireframe mode: every line of the scene clipped to the view pyramid
// and drawn one pixel wide, sharp (no antialiasing), on black.
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

// Segments along one side of a curved cell.
constexpr int kCurveSegments = 8;
// A black object would vanish on the black background: dark grey instead.
constexpr std::uint32_t kBlackObjectLine = 0x404040;

void GridLines(const FrameTables& frame, const ObjectEntry& e, const std::function<void(Vec3, Vec3)>& line) {
  const std::int64_t count = std::int64_t{e.nu} * e.nv;
  if (e.nu < 1 || e.nv < 1 || count > e.pointCount || e.firstPoint < 0 ||
      e.firstPoint + count > static_cast<std::int64_t>(frame.points.size())) {
    return;
  }
  auto at = [&](int a, int b) { return ToVec3(frame.points[e.firstPoint + b * e.nu + a]); };
  for (int b = 0; b < e.nv; ++b) {
    for (int a = 0; a + 1 < e.nu; ++a) line(at(a, b), at(a + 1, b));
  }
  for (int a = 0; a < e.nu; ++a) {
    for (int b = 0; b + 1 < e.nv; ++b) line(at(a, b), at(a, b + 1));
  }
}

// The borders of every cell of a curved surface, as curves on the surface.
void CurvedLines(const FrameTables& frame, int k, const std::function<void(Vec3, Vec3)>& line) {
  int cellsS = 0, cellsT = 0;
  if (!CurvedCells(frame, k, cellsS, cellsT)) return;
  PatchCache cache;
  auto point = [&](double s, double t) {
    Vec3 P, Ps, Pt;
    PatchEval(cache.points, s, t, P, Ps, Pt);
    return P;
  };
  for (int j = 0; j < cellsT; ++j) {
    for (int i = 0; i < cellsS; ++i) {
      LoadPatchCell(frame, k, i, j, cache);
      for (int q = 0; q < kCurveSegments; ++q) {
        const double a = static_cast<double>(q) / kCurveSegments, b = static_cast<double>(q + 1) / kCurveSegments;
        line(point(a, 0), point(b, 0));
        line(point(0, a), point(0, b));
        if (j == cellsT - 1) line(point(a, 1), point(b, 1));
        if (i == cellsS - 1) line(point(1, a), point(1, b));
      }
    }
  }
}

int Wireframe(FrameTables& frame, EngineHooks& hooks, RenderPoll* poll, bool backPlane) {
  const int W = frame.width, H = frame.height;
  if (W < 1 || H < 1) return kScreenAbandoned;
  hooks.Status(kMsgWireframe);
  FacetTable facets;
  if (!BuildFacets(frame, facets, hooks)) return kScreenAbandoned;
  const RasterView view = MakeRasterView(frame.camera, frame.mapping, W, H);
  std::vector<std::uint32_t> image(static_cast<std::size_t>(W) * H, 0);
  const int n = std::min(frame.objectCount, static_cast<int>(frame.objects.size()));
  for (int k = 0; k < n; ++k) {
    const ObjectEntry& e = frame.objects[k];
    const std::uint16_t col = k < static_cast<int>(frame.TabMAT.size()) ? frame.TabMAT[k].col : e.flags;
    std::uint32_t rgb = ExpandColour(col);
    if (rgb == 0) rgb = kBlackObjectLine;
    auto plot = [&](int x, int y) { image[static_cast<std::size_t>(y) * W + x] = rgb; };
    auto line = [&](const Vec3& a, const Vec3& b) { DrawSegment(view, a, b, plot); };
    if (e.IsCurved()) {
      CurvedLines(frame, k, line);
    } else if (e.IsFacetObject()) {
      const int end = std::min<std::int64_t>(std::int64_t{e.firstFacet} + e.facetCount, facets.size());
      const int points = static_cast<int>(frame.points.size());
      for (int i = std::max(e.firstFacet, 0); i < end; ++i) {
        const Facet& f = facets[i];
        if (f.a < 0 || f.a >= points || f.b < 0 || f.b >= points || f.c < 0 || f.c >= points) continue;
        const Vec3 A = ToVec3(frame.points[f.a]), B = ToVec3(frame.points[f.b]), C = ToVec3(frame.points[f.c]);
        line(A, B);
        line(B, C);
        line(C, A);
      }
    } else {
      GridLines(frame, e, line);
    }
    if (poll && poll->Poll(static_cast<double>(k + 1) / n)) return kScreenStopped;
  }
  if (backPlane) ShowUnderBlack(kResultSlot, image, W, H);
  return StoreImage(kResultSlot, image, W, H) ? kScreenFinished : kScreenAbandoned;
}

}  // namespace

int RenderWireframe(FrameTables& frame, EngineHooks& hooks, RenderPoll* poll, bool backPlane) {
  // The buffers of a large image may not be had: abandoned, not a crash.
  try {
    return Wireframe(frame, hooks, poll, backPlane);
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgImageMemory);
    return kScreenAbandoned;
  }
}

}  // namespace tessaran
