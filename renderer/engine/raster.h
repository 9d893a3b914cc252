// Image-space drawing for the wireframe, polygon and pixel modes: camera
// coordinates projected onto an image of W × H pixels with the screen
// scales, clipped to the view pyramid and to the eye's plane first (so
// nothing behind the eye is ever projected), lines drawn one pixel wide and
// triangles filled pixel by pixel with their points, normals and surface
// parameters interpolated in perspective.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "renderer/engine/facets.h"
#include "scene/camera.h"

namespace tessaran {

struct RasterView {
  Camera camera;
  ScreenMapping mapping;
  int width = 0;
  int height = 0;
  ViewPyramid pyramid;
  double nearZ = 0;  // points with z above this are not drawn (behind the eye)
};
RasterView MakeRasterView(const Camera& camera, const ScreenMapping& mapping, int width, int height);

// The image point of a camera-coordinates point; false behind the eye.
bool ProjectPoint(const RasterView& view, const Vec3& p, double& x, double& y);

// The origin of the primary ray of a point: the eye, or for the parallel
// projection the point's foot on the eye's plane.
Vec3 EyeOf(const RasterView& view, const Vec3& p);

// Plots the pixels of the segment a–b (camera coordinates), clipped.
void DrawSegment(const RasterView& view, const Vec3& a, const Vec3& b, const std::function<void(int, int)>& plot);

struct RasterVertex {
  Vec3 p{};   // camera coordinates
  Vec3 n{};   // normal
  double u = -1;
  double v = -1;
};

// One pixel of a filled triangle: the point of the surface seen through
// the pixel centre, with its normal (normalised) and parameters.
struct RasterSample {
  int x = 0;
  int y = 0;
  Vec3 p{};
  Vec3 n{};
  double u = -1;
  double v = -1;
};

// Emits every pixel whose centre lies inside the clipped, projected
// triangle (pixels on a shared edge go to one triangle only). A triangle
// with no area on the image emits nothing.
void FillTriangle(const RasterView& view, const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                  const std::function<void(const RasterSample&)>& emit);

// Gives the black pixels of a W × H image the picture `slot` holds (the
// back plane), read at that size whatever the picture's: black pixels are
// not drawn, so the picture shows through as in the ray tracer.
void ShowUnderBlack(int slot, std::vector<std::uint32_t>& pixels, int width, int height);

// Stores a W × H image (0x00RRGGBB, row by row from the top) into a new
// 24-bit virtual image in `slot`; false when the slot cannot be created.
bool StoreImage(int slot, const std::vector<std::uint32_t>& pixels, int width, int height);

// A 12-bit colour word's RGB expanded to 8 bits a channel (each × 17).
std::uint32_t ExpandColour(std::uint16_t col);

}  // namespace tessaran
