#include "renderer/engine/surface_mesh.h"

#include <algorithm>
#include <cmath>

#include "renderer/engine/raytrace.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

// Steps of a cell part of which cannot be projected.
constexpr int kBehindEyeSteps = 8;

bool PointsInTable(const FrameTables& frame, const ObjectEntry& e, std::int64_t count) {
  return e.firstPoint >= 0 && count >= 0 && e.firstPoint + count <= static_cast<std::int64_t>(frame.points.size());
}

void FacetTriangles(const FrameTables& frame, const FacetTable& facets, const std::vector<Vec3>& NPhong,
                    const ObjectEntry& e, const TriangleSink& emit) {
  const bool smooth = e.IsSmooth() && e.firstPhong >= 0;
  const int points = static_cast<int>(frame.points.size());
  auto vertex = [&](int point, const Facet& f) {
    RasterVertex v;
    v.p = ToVec3(frame.points[point]);
    v.n = f.normal;
    if (smooth) {
      const std::int64_t i = std::int64_t{e.firstPhong} + point - e.firstPoint;
      if (i >= 0 && i < static_cast<std::int64_t>(NPhong.size())) v.n = NPhong[i];
    }
    return v;
  };
  const int end = std::min<std::int64_t>(std::int64_t{e.firstFacet} + e.facetCount, facets.size());
  for (int i = std::max(e.firstFacet, 0); i < end; ++i) {
    const Facet& f = facets[i];
    if (f.a < 0 || IsDegenerate(f)) continue;
    if (f.a >= points || f.b < 0 || f.b >= points || f.c < 0 || f.c >= points) continue;
    emit(vertex(f.a, f), vertex(f.b, f), vertex(f.c, f));
  }
}

void CurvedTriangles(const FrameTables& frame, int k, const CellSteps& steps, const TriangleSink& emit) {
  int cellsS = 0, cellsT = 0;
  if (!CurvedCells(frame, k, cellsS, cellsT)) return;
  PatchCache cache;
  std::vector<RasterVertex> row;
  for (int j = 0; j < cellsT; ++j) {
    for (int i = 0; i < cellsS; ++i) {
      int ns = 1, nt = 1;
      steps(k, i, j, ns, nt);
      ns = std::max(ns, 1);
      nt = std::max(nt, 1);
      LoadPatchCell(frame, k, i, j, cache);
      // The corners of the quads, row by row (t), ns + 1 to a row.
      row.resize(static_cast<std::size_t>(ns + 1) * (nt + 1));
      for (int b = 0; b <= nt; ++b) {
        for (int a = 0; a <= ns; ++a) {
          const double s = static_cast<double>(a) / ns, t = static_cast<double>(b) / nt;
          Vec3 P, Ps, Pt;
          PatchEval(cache.points, s, t, P, Ps, Pt);
          RasterVertex& v = row[static_cast<std::size_t>(b) * (ns + 1) + a];
          v.p = P;
          v.n = Normalise(Cross(Ps, Pt));
          v.u = i + s;
          v.v = j + t;
        }
      }
      for (int b = 0; b < nt; ++b) {
        for (int a = 0; a < ns; ++a) {
          const RasterVertex& v00 = row[static_cast<std::size_t>(b) * (ns + 1) + a];
          const RasterVertex& v10 = row[static_cast<std::size_t>(b) * (ns + 1) + a + 1];
          const RasterVertex& v01 = row[static_cast<std::size_t>(b + 1) * (ns + 1) + a];
          const RasterVertex& v11 = row[static_cast<std::size_t>(b + 1) * (ns + 1) + a + 1];
          emit(v00, v10, v11);
          emit(v00, v11, v01);
        }
      }
    }
  }
}

}  // namespace

bool CurvedCells(const FrameTables& frame, int k, int& cellsS, int& cellsT) {
  if (k < 0 || k >= frame.objectCount || k >= static_cast<int>(frame.objects.size())) return false;
  const ObjectEntry& e = frame.objects[k];
  if (!e.IsCurved() || e.nu < 3 || e.nv < 3) return false;
  const std::int64_t count = std::int64_t{e.nu} * e.nv;
  if (count > e.pointCount || !PointsInTable(frame, e, count)) return false;
  cellsS = e.nu - 2;
  cellsT = e.nv - 2;
  return true;
}

void ObjectTriangles(const FrameTables& frame, const FacetTable& facets, const std::vector<Vec3>& NPhong,
                     int k, const CellSteps& steps, const TriangleSink& emit) {
  if (k < 0 || k >= frame.objectCount || k >= static_cast<int>(frame.objects.size())) return;
  const ObjectEntry& e = frame.objects[k];
  if (e.IsCurved()) {
    CurvedTriangles(frame, k, steps, emit);
  } else {
    FacetTriangles(frame, facets, NPhong, e, emit);
  }
}

void ScreenCellSteps(const FrameTables& frame, const RasterView& view, int k, int i, int j, int limit, int& stepsS,
                     int& stepsT) {
  const ObjectEntry& e = frame.objects[k];
  double x[3][3], y[3][3];
  stepsS = stepsT = std::clamp(kBehindEyeSteps, 1, std::max(limit, 1));
  for (int b = 0; b < 3; ++b) {
    for (int a = 0; a < 3; ++a) {
      const Vec3 p = ToVec3(frame.points[e.firstPoint + (j + b) * e.nu + i + a]);
      if (p[2] > view.nearZ || !ProjectPoint(view, p, x[b][a], y[b][a])) return;
    }
  }
  // The longest of the control polygon's rows (along s) and columns (t).
  double alongS = 0, alongT = 0;
  for (int r = 0; r < 3; ++r) {
    double ls = 0, lt = 0;
    for (int q = 0; q < 2; ++q) {
      ls += std::hypot(x[r][q + 1] - x[r][q], y[r][q + 1] - y[r][q]);
      lt += std::hypot(x[q + 1][r] - x[q][r], y[q + 1][r] - y[q][r]);
    }
    alongS = std::max(alongS, ls);
    alongT = std::max(alongT, lt);
  }
  // The surface is shorter than its control polygon; half of it is a
  // fair guess for a quadratic cell.
  auto steps = [&](double length) {
    const double s = std::ceil(std::min(length * 0.5, static_cast<double>(limit)));
    return std::clamp(static_cast<int>(s), 1, std::max(limit, 1));
  };
  stepsS = steps(alongS);
  stepsT = steps(alongT);
}

}  // namespace tessaran
