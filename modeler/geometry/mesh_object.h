// Creation of the modeler's objects: point meshes with the attributes every
// new object gets, and faceted objects (DXF imports, 3D text) built from
// explicit faces. Growth refusals are reported with message 31 and leave the
// scene as it was.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scene/scene_model.h"

namespace tessaran {

using Point3 = std::array<float, 3>;

// Colour words of new objects: light grey for meshes, grey with rendering
// bit 15 for faceted objects, and the side bands of 3D text.
constexpr std::int32_t kNewObjectCol = 3276;
constexpr std::int32_t kTextBandCol = 19660;

// Appends an object of u × v points (first × second mesh direction) with the
// default attributes (colour 3276, KSpec 50, NSpec 50, other material bytes
// 0), selected, on a fresh frame. Points are grown by what is missing with
// `tries` attempts. Returns the object number, or -1 after message 31.
int AppendMeshObject(SceneModel& scene, int u, int v, int tries = 2);

// Writes the points of object k, row after row; `points` must hold exactly
// the object's point count.
void PutObjectPoints(SceneModel& scene, int k, const std::vector<Point3>& points);
std::vector<Point3> GetObjectPoints(const SceneModel& scene, int k);

// Moves the points of object k so that their mean lies at the origin.
void CentreObjectPoints(SceneModel& scene, int k);

// A faceted object before it enters the scene: its points (relative to the
// origin of its frame), its faces (1-based point numbers within the object,
// negated where the edge after the corner is invisible, 0 for unused
// corners), its colour word and the origin of its frame.
struct FacetedMesh {
  std::vector<Point3> points;
  std::vector<Face> faces;
  std::int32_t col = kFacetedObjectCol;
  Vec3 origin{};
};

// Face numbers are 16-bit: a faceted object holds at most this many points
// and faces.
constexpr int kMaxFacetedPoints = 32767;
constexpr int kMaxFacetedFaces = 32767;

// Appends every mesh as a faceted object (mesh sizes 0 × 0, its own face
// group), selected. Capacities for all of them are secured first, so either
// every object is added or, after message 31, none. The points enter the
// scene at their scene positions (origin + point), as the renderer and the
// modeler's operations read them; the origin becomes the object's frame
// origin, the reference its mappings and turns use. Returns the number of
// the first new object or -1.
int AppendFacetedObjects(SceneModel& scene, const std::vector<FacetedMesh>& meshes);

// Unselects every object.
void ClearSelection(SceneModel& scene);

}  // namespace tessaran
