// The render modes besides ray tracing, each computing the frame set up by
// the scene loop into the result slot at the frame's W × H:
// - wireframe: the scene's lines (facet edges, grid rows and columns, the
//   cell borders of curved surfaces) on black in each object's colour;
// - polygon: the cells as flat polygons, sorted far to near and filled
//   (painter's order), lit with the fixed Kd 0.7, Ks 0.7, Ns 50;
// - pixel: object by object in depth order into a 16-bit depth buffer,
//   shaded with the ray tracer's lighting (and its shadow casts through the
//   prepared tables when a light casts shadows), the ground and the sky as
//   the ray tracer's background, and the final antialias reduction.
// Single-threaded: the images never depend on a thread count.
#pragma once

#include "platform/report.h"
#include "renderer/engine/engine.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/render_screen.h"

namespace tessaran {

class TextureMaps;

// Status messages of the modes.
constexpr int kMsgWireframe = 140;     // "Fil de Fer"
constexpr int kMsgPolygons = 143;      // "Polygones"
constexpr int kMsgPolygonCells = 145;  // "Calcul des Mailles"
constexpr int kMsgPolygonSort = 146;   // "Tri des Mailles"
constexpr int kMsgPolygonDraw = 147;   // "Tracé polygones"
constexpr int kMsgHiddenParts = 310;   // "Elimination parties cachées"
constexpr int kMsgRendering = 119;     // "Calcul de Rendu"
constexpr int kMsgAntialiasFailed = 121;  // "Erreur AntiAlias VirtIm!!!"
constexpr int kMsgImageMemory = 156;      // "Mémoire insuffisante (création de l'image)"

// The fixed lighting of the polygon mode.
constexpr double kPolygonKd = 0.7;
constexpr double kPolygonKs = 0.7;
constexpr double kPolygonNs = 50;

// Each returns 1 finished, 0 abandoned (tables or image could not be
// made), 9 stopped by the poll (which may be null). With `backPlane`, the
// picture the result slot holds shows where the image is black.
int RenderWireframe(FrameTables& frame, EngineHooks& hooks, RenderPoll* poll, bool backPlane = false);
int RenderPolygons(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                   EngineHooks& hooks, RenderPoll* poll, bool backPlane = false);

// Depth of a sample in the pixel mode's buffer: (z − zmin) × depth scale,
// larger is nearer; −1 when it falls outside 0 … 65535.
int PixelDepth(const FrameTables& frame, double z);

// The size the pixel mode computes at for an antialias level (0 none): one
// pixel larger each way for level 1, double for levels 2 and 3.
void PixelModeSize(int width, int height, int antialias, int& computeWidth, int& computeHeight);

// `antialias` 0 … 3. Leaves the final W × H image in the result slot.
int RenderPixelMode(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                    const TextureMaps* maps, EngineHooks& hooks, RenderPoll* poll, int antialias,
                    bool backPlane = false);

}  // namespace tessaran
