// Facets, Phong normals, the refinement of curved control nets and the view
// pyramid: the forms of a frame's geometry that the ray tracer works on.
#pragma once

#include <span>
#include <vector>

#include "renderer/engine/engine.h"
#include "renderer/engine/unset_vector.h"

namespace tessaran {

// A triangle of the facet table: its vertices (indices into the point
// table; −1 in a slot that holds no triangle) and unit plane normal, that
// of the edges B − A and C − B. The edges are not kept: taken again from
// the points they are the same to the bit, and a table of 100 000 facets
// is 7 MB smaller.
//
// Without default values: the facet table is sized unset and every slot is
// written once, on the thread that makes it.
struct Facet {
  int a;
  int b;
  int c;
  Vec3 normal;
};
using FacetTable = UnsetVector<Facet>;

// A facet whose cross product is not longer than 1e-6 has this normal x
// component: it is never hit.
constexpr double kDegenerateNormal = -1000;
inline bool IsDegenerate(const Facet& f) { return f.normal[0] == kDegenerateNormal; }

// Facet slots an object reserves: one per face of a facet object, two per
// point of a polygon grid (2·nu·nv), none for a curved object.
int FacetSlots(const ObjectEntry& object, const std::vector<FaceGroup>& groups);

// Sets each object's first facet and fills the facet table, on up to
// `threads` threads. False after message 275 when the table cannot be held.
bool BuildFacets(FrameTables& frame, FacetTable& facets, EngineHooks& hooks, int threads = 1);

// Phong normals of every object in smooth mode (message 277, and 278 or
// 279 per point); sets each object's first normal. False after message 276
// when the table cannot be held.
bool BuildPhongNormals(FrameTables& frame, const FacetTable& facets, std::vector<Vec3>& NPhong,
                       EngineHooks& hooks);

// The control net of a curved object refined once: every row, then every
// column, of n points becomes 2·n − 2, the first and last kept and each span
// (Pi, Pi+1) giving 0.75·Pi + 0.25·Pi+1 and 0.25·Pi + 0.75·Pi+1 in between.
// Row order, (2·nu − 2) points per row. Empty for nets under 2 × 2.
std::vector<Vec3> RefineNet(std::span<const std::array<float, 3>> points, int first, int nu, int nv);

// The uniform quadratic B-spline surface over an unrefined net: the point
// of cell (i, j) at local parameters s, t in [0, 1].
Vec3 PatchPoint(std::span<const std::array<float, 3>> points, int first, int nu, int i, int j, double s,
                double t);

// The four side planes through the eye and the edges of the output image.
struct ViewPyramid {
  Vec3 normal[4]{};  // pointing inwards: inside where normal·p + offset >= 0
  double offset[4]{};
};
ViewPyramid MakeViewPyramid(const Camera& camera, const ScreenMapping& mapping, int width, int height);

// Draws a segment (camera coordinates) on the preview, clipped to the
// pyramid and projected with the screen scales.
void DrawClipped(const ViewPyramid& pyramid, const Camera& camera, const ScreenMapping& mapping, Vec3 a, Vec3 b,
                 std::uint32_t rgb, EngineHooks& hooks);

}  // namespace tessaran
