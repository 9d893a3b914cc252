#include "renderer/engine/facets.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/console.h"
#include "platform/report.h"
#include "renderer/engine/parallel_ranges.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {

namespace {

enum : int {
  kMsgFacetMemory = 275,
  kMsgPhongMemory = 276,
  kMsgPhongProgress = 277,
  kMsgPhongPoint = 278,
  kMsgPhongGridPoint = 279,
};

constexpr double kMinCross = 1e-6;
constexpr double kSamePosition = 0.001;
constexpr std::uint32_t kWhite = 0xFFFFFF;
// Facets a thread makes at least: fewer are made sooner than a thread starts.
constexpr std::size_t kFacetGrain = 10000;

// A grid whose mesh its points can hold.
bool GridUsable(const ObjectEntry& e) {
  return e.nu >= 1 && e.nv >= 1 && std::int64_t{e.nu} * e.nv <= e.pointCount;
}

Facet MakeFacet(const FrameTables& frame, int a, int b, int c) {
  Facet f;
  f.a = a;
  f.b = b;
  f.c = c;
  const Vec3 A = ToVec3(frame.points[a]), B = ToVec3(frame.points[b]), C = ToVec3(frame.points[c]);
  const Vec3 n = Cross(B - A, C - B);
  const double l = Length(n);
  if (l > kMinCross) {
    f.normal = (1 / l) * n;
  } else {
    f.normal = {kDegenerateNormal, 0, 0};
  }
  return f;
}

// A slot with no triangle: no vertices, never hit.
Facet EmptySlot() {
  Facet f;
  f.a = f.b = f.c = -1;
  f.normal = {kDegenerateNormal, 0, 0};
  return f;
}

// Slots [from, to) of a facet object, into out (the object's first slot).
void FacetsOfFaces(const FrameTables& frame, const ObjectEntry& e, int from, int to, Facet* out) {
  const FaceGroup& group = frame.faceGroups[e.faceGroup - 1];
  for (int i = from; i < to; ++i) {
    const int index = group.firstFace + i;
    int v[3] = {-1, -1, -1};
    if (index >= 0 && index < static_cast<int>(frame.faces.size())) {
      for (int corner = 0; corner < 3; ++corner) {
        const int r = std::abs(int{frame.faces[index][corner]});
        if (r >= 1 && r <= e.pointCount) v[corner] = e.firstPoint + r - 1;
      }
    }
    // A face naming no point of its object is kept as a slot that is never hit.
    out[i] = v[0] < 0 || v[1] < 0 || v[2] < 0 ? EmptySlot() : MakeFacet(frame, v[0], v[1], v[2]);
  }
}

// Slots [from, to) of a polygon grid: the two triangles of the cell at
// grid point (a, b) in slots 2·(b·nu + a) and the one after; the slots of
// the last column and row hold none.
void FacetsOfGrid(const FrameTables& frame, const ObjectEntry& e, int from, int to, Facet* out) {
  for (int slot = from; slot < to; ++slot) {
    const int a = slot / 2 % e.nu, b = slot / 2 / e.nu;
    if (a + 1 >= e.nu || b + 1 >= e.nv) {
      out[slot] = EmptySlot();
      continue;
    }
    const int p = e.firstPoint + b * e.nu + a;
    out[slot] = slot % 2 == 0 ? MakeFacet(frame, p, p + 1, p + e.nu + 1) : MakeFacet(frame, p, p + e.nu, p + e.nu + 1);
  }
}

// The facets that use each point of an object (by index), with the sign
// their normal enters the sum with.
struct Incidence {
  std::vector<int> start;  // per local point, into `facet`
  std::vector<int> facet;  // facet index × 2 + (1 for a negated normal)
};

Incidence PointIncidence(const ObjectEntry& e, const FacetTable& facets, bool grid) {
  Incidence inc;
  inc.start.assign(e.pointCount + 1, 0);
  auto each = [&](auto&& visit) {
    for (int s = 0; s < e.facetCount; ++s) {
      const Facet& f = facets[e.firstFacet + s];
      if (IsDegenerate(f)) continue;
      const int code = (e.firstFacet + s) * 2 + (grid && (s & 1) ? 1 : 0);
      visit(f.a - e.firstPoint, code);
      visit(f.b - e.firstPoint, code);
      visit(f.c - e.firstPoint, code);
    }
  };
  each([&](int p, int) { ++inc.start[p + 1]; });
  for (int p = 0; p < e.pointCount; ++p) inc.start[p + 1] += inc.start[p];
  inc.facet.resize(inc.start.back());
  std::vector<int> fill(inc.start.begin(), inc.start.end() - 1);
  each([&](int p, int code) { inc.facet[fill[p]++] = code; });
  return inc;
}

// Phong normals of one object: per point the normalised sum of the normals
// of the facets that use it or a point within 0.001 of it on each axis.
// Points at one position share the work; the neighbours of a position are
// found by a sweep along x.
void ObjectPhong(const FrameTables& frame, const ObjectEntry& e, const FacetTable& facets, bool grid,
                 Vec3* out, EngineHooks& hooks) {
  const Incidence inc = PointIncidence(e, facets, grid);
  auto at = [&](int p) { return frame.points[e.firstPoint + p]; };
  std::vector<int> order(e.pointCount);
  for (int p = 0; p < e.pointCount; ++p) order[p] = p;
  std::sort(order.begin(), order.end(), [&](int a, int b) { return at(a) < at(b); });
  // Positions: runs of equal points, sorted by x.
  std::vector<int> runStart;
  for (int i = 0; i < e.pointCount; ++i) {
    if (i == 0 || at(order[i]) != at(order[i - 1])) runStart.push_back(i);
  }
  const int runs = static_cast<int>(runStart.size());
  runStart.push_back(e.pointCount);
  std::vector<int> codes;
  for (int r = 0; r < runs; ++r) {
    const auto here = at(order[runStart[r]]);
    codes.clear();
    auto gather = [&](int q) {
      for (int i = runStart[q]; i < runStart[q + 1]; ++i) {
        const int p = order[i];
        codes.insert(codes.end(), inc.facet.begin() + inc.start[p], inc.facet.begin() + inc.start[p + 1]);
      }
    };
    auto near = [&](int q) {
      const auto there = at(order[runStart[q]]);
      return std::fabs(there[1] - here[1]) <= kSamePosition && std::fabs(there[2] - here[2]) <= kSamePosition;
    };
    gather(r);
    for (int q = r - 1; q >= 0 && here[0] - at(order[runStart[q]])[0] <= kSamePosition; --q) {
      if (near(q)) gather(q);
    }
    for (int q = r + 1; q < runs && at(order[runStart[q]])[0] - here[0] <= kSamePosition; ++q) {
      if (near(q)) gather(q);
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    Vec3 sum{};
    for (const int code : codes) {
      const Vec3& n = facets[code >> 1].normal;
      sum = (code & 1) ? sum - n : sum + n;
    }
    if (Length(sum) > kMinCross) {
      sum = Normalise(sum);
    } else {
      Trace("Erreur GetMoy=Vecteur NULL (nombre de normales :%d)\n", static_cast<int>(codes.size()));
    }
    for (int i = runStart[r]; i < runStart[r + 1]; ++i) {
      const int p = order[i];
      out[p] = sum;
      if (grid) {
        hooks.PointProgress(kMsgPhongGridPoint, p % e.nu, p / e.nu);
      } else {
        hooks.PointProgress(kMsgPhongPoint, p, 0);
      }
    }
  }
}

}  // namespace

int FacetSlots(const ObjectEntry& e, const std::vector<FaceGroup>& groups) {
  if (e.IsFacetObject()) {
    if (e.faceGroup > static_cast<int>(groups.size())) return 0;
    return std::max(0, int{groups[e.faceGroup - 1].faceCount});
  }
  if (e.IsPolygonGrid() && GridUsable(e)) return 2 * e.nu * e.nv;
  return 0;
}

bool BuildFacets(FrameTables& frame, FacetTable& facets, EngineHooks& hooks, int threads) {
  std::int64_t total = 0;
  for (ObjectEntry& e : frame.objects) {
    e.firstFacet = static_cast<int>(std::min<std::int64_t>(total, INT32_MAX));
    e.facetCount = FacetSlots(e, frame.faceGroups);
    total += e.facetCount;
  }
  try {
    if (total > INT32_MAX / 2) throw std::bad_alloc();
    facets.clear();
    facets.resize(static_cast<std::size_t>(total));
  } catch (const std::bad_alloc&) {
    facets.clear();
    ShowMessage(MessageKind::Error, kMsgFacetMemory, static_cast<int>(total * sizeof(Facet) / 1024));
    return false;
  }
  // Each thread fills a range of the table, object by object.
  ForRanges(facets.size(), threads, kFacetGrain, [&](std::size_t begin, std::size_t end) {
    for (const ObjectEntry& e : frame.objects) {
      const auto first = static_cast<std::size_t>(e.firstFacet);
      const RangePart part(first, static_cast<std::size_t>(e.facetCount), begin, end);
      if (part.from >= part.to) continue;
      const int i = static_cast<int>(part.from - first), j = static_cast<int>(part.to - first);
      if (e.IsFacetObject()) {
        FacetsOfFaces(frame, e, i, j, &facets[first]);
      } else {
        FacetsOfGrid(frame, e, i, j, &facets[first]);
      }
    }
  });
  if (hooks.WantsPreview()) {
    const ViewPyramid pyramid = MakeViewPyramid(frame.camera, frame.mapping, frame.width, frame.height);
    for (const Facet& f : facets) {
      if (f.a < 0) continue;
      const Vec3 A = ToVec3(frame.points[f.a]), B = ToVec3(frame.points[f.b]), C = ToVec3(frame.points[f.c]);
      DrawClipped(pyramid, frame.camera, frame.mapping, A, B, kWhite, hooks);
      DrawClipped(pyramid, frame.camera, frame.mapping, B, C, kWhite, hooks);
      DrawClipped(pyramid, frame.camera, frame.mapping, C, A, kWhite, hooks);
    }
  }
  return true;
}

bool BuildPhongNormals(FrameTables& frame, const FacetTable& facets, std::vector<Vec3>& NPhong,
                       EngineHooks& hooks) {
  std::size_t total = 0;
  for (ObjectEntry& e : frame.objects) {
    e.firstPhong = -1;
    if (!e.IsSmooth() || e.facetCount == 0) continue;
    e.firstPhong = static_cast<int>(total);
    total += e.pointCount;
  }
  if (total == 0) {
    NPhong.clear();
    return true;
  }
  hooks.Status(kMsgPhongProgress);
  try {
    NPhong.assign(total, Vec3{});
    for (const ObjectEntry& e : frame.objects) {
      if (e.firstPhong < 0) continue;
      ObjectPhong(frame, e, facets, !e.IsFacetObject(), &NPhong[e.firstPhong], hooks);
    }
  } catch (const std::bad_alloc&) {
    NPhong.clear();
    ShowMessage(MessageKind::Error, kMsgPhongMemory);
    return false;
  }
  return true;
}

namespace {

// One row of n points (stride apart) refined into 2·n − 2 points.
void RefineLine(const Vec3* in, int n, int inStride, Vec3* out, int outStride) {
  for (int i = 0; i + 1 < n; ++i) {
    const Vec3 &p = in[i * inStride], &q = in[(i + 1) * inStride];
    out[(2 * i) * outStride] = 0.75 * p + 0.25 * q;
    out[(2 * i + 1) * outStride] = 0.25 * p + 0.75 * q;
  }
  // The ends of the row stay where they are: the end quarters' boxes then
  // hold both the row's end and the point the span gives there.
  out[0] = in[0];
  out[(2 * n - 3) * outStride] = in[(n - 1) * inStride];
}

}  // namespace

std::vector<Vec3> RefineNet(std::span<const std::array<float, 3>> points, int first, int nu, int nv) {
  if (nu < 2 || nv < 2 || first < 0 || first + std::int64_t{nu} * nv > static_cast<std::int64_t>(points.size())) {
    return {};
  }
  const int ru = 2 * nu - 2, rv = 2 * nv - 2;
  std::vector<Vec3> net(static_cast<std::size_t>(nu) * nv);
  for (int i = 0; i < nu * nv; ++i) net[i] = ToVec3(points[first + i]);
  std::vector<Vec3> rows(static_cast<std::size_t>(ru) * nv);
  for (int j = 0; j < nv; ++j) RefineLine(&net[j * nu], nu, 1, &rows[j * ru], 1);
  std::vector<Vec3> refined(static_cast<std::size_t>(ru) * rv);
  for (int i = 0; i < ru; ++i) RefineLine(&rows[i], nv, ru, &refined[i], ru);
  return refined;
}

Vec3 PatchPoint(std::span<const std::array<float, 3>> points, int first, int nu, int i, int j, double s,
                double t) {
  const double bs[3] = {(1 - s) * (1 - s) / 2, (1 - s) * s + 0.5, s * s / 2};
  const double bt[3] = {(1 - t) * (1 - t) / 2, (1 - t) * t + 0.5, t * t / 2};
  Vec3 p{};
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a) p = p + (bs[a] * bt[b]) * ToVec3(points[first + (j + b) * nu + i + a]);
  }
  return p;
}

ViewPyramid MakeViewPyramid(const Camera& camera, const ScreenMapping& mapping, int width, int height) {
  const double xs[4] = {-0.5, width - 0.5, width - 0.5, -0.5};
  const double ys[4] = {-0.5, -0.5, height - 0.5, height - 0.5};
  CameraRay corner[4];
  for (int i = 0; i < 4; ++i) corner[i] = PrimaryRay(camera, mapping, xs[i], ys[i]);
  const CameraRay centre = PrimaryRay(camera, mapping, (width - 1) / 2.0, (height - 1) / 2.0);
  const Vec3 inside = centre.origin + 10.0 * centre.direction;
  ViewPyramid pyramid;
  for (int i = 0; i < 4; ++i) {
    const CameraRay &p = corner[i], &q = corner[(i + 1) % 4];
    Vec3 n = Normalise(Cross(p.direction, (q.origin + q.direction) - p.origin));
    double offset = -Dot(n, p.origin);
    if (Dot(n, inside) + offset < 0) {
      n = -1.0 * n;
      offset = -offset;
    }
    pyramid.normal[i] = n;
    pyramid.offset[i] = offset;
  }
  return pyramid;
}

void DrawClipped(const ViewPyramid& pyramid, const Camera& camera, const ScreenMapping& mapping, Vec3 a, Vec3 b,
                 std::uint32_t rgb, EngineHooks& hooks) {
  double t0 = 0, t1 = 1;
  for (int i = 0; i < 4; ++i) {
    const double da = Dot(pyramid.normal[i], a) + pyramid.offset[i];
    const double db = Dot(pyramid.normal[i], b) + pyramid.offset[i];
    if (da < 0 && db < 0) return;
    if (da < 0) t0 = std::max(t0, da / (da - db));
    if (db < 0) t1 = std::min(t1, da / (da - db));
  }
  if (t0 > t1) return;
  const ScreenPoint p = ProjectRenderPoint(camera, mapping, Lerp(a, b, t0));
  const ScreenPoint q = ProjectRenderPoint(camera, mapping, Lerp(a, b, t1));
  if (p.visible && q.visible) hooks.PreviewLine(p.x, p.y, q.x, q.y, rgb);
}

}  // namespace tessaran
