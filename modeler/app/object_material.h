// The material of an object as the "ATTRIBUTS" dialog shows it: the colour
// levels, the five percentages, the surface rendering and the three maps.
// It is read from one object and set on every selected object through the
// batch mode's operations, and turned into the block the renderer previews.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/material_block.h"
#include "modeler/app/build_ops.h"
#include "scene/scene_model.h"

namespace tessaran {

// Bits 14-15 of the colour word.
enum class SurfaceRendering { Spline = 0, Phong = 1, Angular = 2 };

struct MaterialMap {
  std::int32_t type = kParametricMap;
  int repeatX = 1;
  int repeatY = 1;
  std::string image;  // empty: no map in the slot
  bool operator==(const MaterialMap&) const = default;
};

struct ObjectMaterial {
  int red = 12, green = 12, blue = 12;  // 0 … 15
  int intensity = 50;                   // KSpec, per cent
  int diffusion = 50;                   // NSpec, per cent
  int reflection = 0, transparency = 0, refraction = 0;
  SurfaceRendering rendering = SurfaceRendering::Spline;
  std::array<MaterialMap, 3> maps;  // colour, bump, opacity
  bool operator==(const ObjectMaterial&) const = default;
};

// Object k's material, its maps from its assignment.
ObjectMaterial MaterialOf(const SceneModel& scene, int k);

// Sets the material on every selected object, wholly or not at all: false
// with the reason when a value is out of range, nothing is selected, a
// faceted object would get the spline rendering (message 38) or the map
// lists are full.
bool ApplyMaterial(SceneModel& scene, const ObjectMaterial& material, BuildError& error);

// The block "See" pokes to the renderer for its preview sphere.
link::MaterialBlock PreviewBlock(const ObjectMaterial& material);

}  // namespace tessaran
