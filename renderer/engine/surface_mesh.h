// The triangles the polygon and pixel modes draw an object with: its
// facets (facet objects, and the two facets of each polygon-grid cell),
// with Phong vertex normals in smooth mode; and for a curved object its
// B-spline cells cut into small quads whose corners lie on the surface,
// with the surface's own normals and grid parameters.
#pragma once

#include <functional>
#include <vector>

#include "renderer/engine/facets.h"
#include "renderer/engine/raster.h"

namespace tessaran {

using TriangleSink = std::function<void(const RasterVertex&, const RasterVertex&, const RasterVertex&)>;

// Steps along each parameter of a curved cell: the cell (i, j) of object k
// is cut into stepsS × stepsT quads.
using CellSteps = std::function<void(int k, int i, int j, int& stepsS, int& stepsT)>;

// Emits the triangles of object k. `facets` and `NPhong` come from
// `BuildFacets` and `BuildPhongNormals` of the same frame; degenerate
// facets and empty slots are left out, and so is anything whose points lie
// outside the point table.
void ObjectTriangles(const FrameTables& frame, const FacetTable& facets, const std::vector<Vec3>& NPhong,
                     int k, const CellSteps& steps, const TriangleSink& emit);

// Steps for a curved cell from the on-screen length of its control
// polygon, so that neighbouring surface samples fall about one pixel apart
// (at most `limit` steps; a few when the cell reaches behind the eye).
void ScreenCellSteps(const FrameTables& frame, const RasterView& view, int k, int i, int j, int limit, int& stepsS,
                     int& stepsT);

// The curved cells of object k, each as (i, j) with i < nu − 2, j < nv − 2;
// false when the object is not a usable curved net.
bool CurvedCells(const FrameTables& frame, int k, int& cellsS, int& cellsT);

}  // namespace tessaran
