#include "modeler/app/edit_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "modeler/app/tool_ops.h"
#include "modeler/geometry/camera.h"
#include "modeler/geometry/mesh_object.h"
#include "modeler/geometry/primitives.h"
#include "modeler/geometry/remesh.h"
#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/scene_snapshot.h"

namespace tessaran {

namespace {

constexpr int kNotTwoObjectsMessage = 10;
// Points closer to the cut plane than this already lie on it.
constexpr double kOnPlane = 1e-4;

bool Refused(BuildError& error, std::string reason, bool badUsage = true) {
  error = {std::move(reason), badUsage};
  return false;
}

std::vector<int> SelectedObjects(const SceneModel& scene) {
  std::vector<int> selected;
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection == 1) selected.push_back(k);
  }
  return selected;
}

double Along(const Point3& p, const Vec3& axis) { return p[0] * axis[0] + p[1] * axis[1] + p[2] * axis[2]; }

// p moved by `distance` along `axis`.
Point3 Shifted(const Point3& p, const Vec3& axis, double distance) {
  return {static_cast<float>(p[0] + distance * axis[0]), static_cast<float>(p[1] + distance * axis[1]),
          static_cast<float>(p[2] + distance * axis[2])};
}

bool PointsFitTheFile(const std::vector<Point3>& points, int k, BuildError& error) {
  for (const Point3& p : points) {
    for (float c : p) {
      if (!FitsLimit(c, kMaqCoordinateLimit)) {
        return Refused(error, "a point of object " + std::to_string(k) + " would lie beyond what a scene file holds");
      }
    }
  }
  return true;
}

// The lowest and highest values of an object's points along one axis.
struct Extent {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void Add(double value) {
    low = std::min(low, value);
    high = std::max(high, value);
  }
  bool Overlaps(const Extent& other) const { return low <= other.high && other.low <= high; }
};

std::array<Extent, 3> ExtentOf(const SceneModel& scene, const std::vector<int>& objects, const Mat3& axes) {
  std::array<Extent, 3> extent;
  for (int k : objects) {
    for (const Point3& p : GetObjectPoints(scene, k)) {
      for (int a = 0; a < 3; ++a) extent[static_cast<std::size_t>(a)].Add(Along(p, axes[a]));
    }
  }
  return extent;
}

// ---- faceted objects taken apart and put together

// Reverses the corners of a face, keeping each edge's visibility with the
// edge: the flag on a corner hides the edge that follows it.
Face Reversed(const Face& face) {
  const int n = face[3] == 0 ? 3 : 4;
  Face out{0, 0, 0, 0};
  for (int i = 0; i < n; ++i) {
    const int corner = std::abs(face[static_cast<std::size_t>(n - 1 - i)]);
    const bool hidden = face[static_cast<std::size_t>((2 * n - 2 - i) % n)] < 0;
    out[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(hidden ? -corner : corner);
  }
  return out;
}

std::vector<Face> FacesOf(const SceneModel& scene, int k) {
  std::vector<Face> faces;
  const int group = scene.State(k).faceGroup;
  if (group <= 0 || group > scene.FaceGroupCount()) return faces;
  const FaceGroup& g = scene.FaceGroupEntry(group);
  for (int f = 0; f < g.faceCount; ++f) faces.push_back(scene.Faces().Get(g.firstFace + f));
  return faces;
}

// A faceted object as a mesh for AppendFacetedObjects: its points as they
// lie (the frame's origin is set apart, so that no point is rounded).
FacetedMesh MeshOf(const SceneModel& scene, int k) {
  FacetedMesh mesh;
  mesh.col = scene.Object(k).Col();
  mesh.faces = FacesOf(scene, k);
  mesh.points = GetObjectPoints(scene, k);
  return mesh;
}

// The parts of a faceted mesh: faces that share a point belong together;
// points no face uses stay with the first part. Parts come in the order of
// their first face.
std::vector<FacetedMesh> PartsOf(const FacetedMesh& mesh) {
  const int count = static_cast<int>(mesh.points.size());
  std::vector<int> root(count);
  std::iota(root.begin(), root.end(), 0);
  const auto find = [&](int p) {
    while (root[p] != p) p = root[p] = root[root[p]];
    return p;
  };
  // The 0-based points of a face's corners that lie in the object.
  const auto corners = [&](const Face& face) {
    std::vector<int> points;
    for (std::int16_t c : face) {
      if (std::abs(c) >= 1 && std::abs(c) <= count) points.push_back(std::abs(c) - 1);
    }
    return points;
  };
  for (const Face& face : mesh.faces) {
    const std::vector<int> points = corners(face);
    for (int p : points) root[find(p)] = find(points.front());
  }
  std::vector<int> partOfRoot(count, -1);
  int parts = 0;
  for (const Face& face : mesh.faces) {
    const std::vector<int> points = corners(face);
    if (!points.empty() && partOfRoot[find(points.front())] < 0) partOfRoot[find(points.front())] = parts++;
  }
  if (parts < 2) return {mesh};
  std::vector<FacetedMesh> pieces(parts, FacetedMesh{{}, {}, mesh.col, mesh.origin});
  std::vector<int> part(count), number(count);  // a point's part and its 1-based number there
  for (int p = 0; p < count; ++p) {
    part[p] = std::max(0, partOfRoot[find(p)]);
    pieces[part[p]].points.push_back(mesh.points[p]);
    number[p] = static_cast<int>(pieces[part[p]].points.size());
  }
  for (Face face : mesh.faces) {
    const std::vector<int> points = corners(face);
    if (points.empty()) continue;
    for (std::int16_t& c : face) {
      const int p = std::abs(c) - 1;
      if (p < 0 || p >= count) continue;
      c = static_cast<std::int16_t>(c < 0 ? -number[p] : number[p]);
    }
    pieces[part[points.front()]].faces.push_back(face);
  }
  return pieces;
}

// Leaves exactly the objects from `first` on selected.
void SelectFrom(SceneModel& scene, int first) {
  for (int k = 0; k < scene.Header().objectCount; ++k) scene.State(k).selection = k >= first ? 1 : 0;
}

// Puts `meshes` in place of the objects `sources[i]` they were made from:
// appended as new faceted objects taking their source's record, frame (as a
// root) and map assignment, then the objects `removed` taken out. The new
// objects become the selection. False (after message 31) with the scene
// unchanged when they cannot be held.
bool ReplaceByFaceted(SceneModel& scene, const std::vector<FacetedMesh>& meshes, const std::vector<int>& sources,
                      const std::vector<int>& removed) {
  const int n = scene.Header().objectCount;
  if (AppendFacetedObjects(scene, meshes) < 0) return false;
  std::vector<Assignment> assignments;
  for (std::size_t i = 0; i < meshes.size(); ++i) {
    const int k = n + static_cast<int>(i);
    const int source = sources[i];
    ObjectRecord record = scene.Object(source);
    record.SetMesh(0, 0);
    record.SetFirstPoint(scene.Object(k).FirstPoint());
    scene.Object(k) = record;
    scene.Frames().AbsOrigin(k) = scene.Frames().AbsOrigin(source);
    scene.Frames().AbsOrientation(k) = scene.Frames().AbsOrientation(source);
    if (const int a = scene.Assignments().Find(source); a >= 0) {
      Assignment assignment = scene.Assignments()[a];
      assignment.object = k - static_cast<int>(removed.size());
      assignments.push_back(assignment);
    }
  }
  std::vector<bool> gone(static_cast<std::size_t>(scene.Header().objectCount), false);
  for (int k : removed) gone[static_cast<std::size_t>(k)] = true;
  scene.RemoveObjects(gone);
  for (const Assignment& assignment : assignments) scene.Assignments().Add(assignment);
  SelectFrom(scene, scene.Header().objectCount - static_cast<int>(meshes.size()));
  return true;
}

}  // namespace

Mat3 ViewAxes(const ViewCamera& view) { return DeriveCamera(view).axes; }

bool BuildRemesh(SceneModel& scene, BuildError& error) {
  if (SelectedObjects(scene).empty()) return Refused(error, "no object is selected");
  // A refusal half way (the points could not grow) gives the scene back whole.
  const SceneSnapshot before = scene.TakeSnapshot();
  if (Remesh(scene) < 0) {
    scene.RestoreSnapshot(before);
    return Refused(error, "the selection cannot be re-meshed", false);
  }
  return true;
}

bool BuildSubstitute(SceneModel& scene, std::string_view kind, BuildError& error) {
  static constexpr std::pair<std::string_view, Primitive> kKinds[] = {
      {"plan", Primitive::Plan},         {"box", Primitive::Box},       {"disc", Primitive::Disc},
      {"cylinder", Primitive::Cylinder}, {"sphere", Primitive::Sphere}, {"ring", Primitive::Ring}};
  const auto it = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return k.first == kind; });
  if (it == std::end(kKinds)) return Refused(error, "unknown primitive " + std::string(kind));
  if (SelectedObjects(scene).empty()) return Refused(error, "no object is selected");
  if (Substitute(scene, it->second) == 0) {
    return Refused(error, "no selected object has a meshing equivalent to a " + std::string(kind), false);
  }
  return true;
}

// A cut brings the points beyond the plane onto it, each along the plane's
// normal: a mesh keeps its grid (its rows and columns flatten where they
// cross the plane, as a knife would leave them), a faceted object keeps its
// faces. Nothing is taken out of the point table, so the cut can be undone
// and the object keeps its map coordinates.
bool BuildCut(SceneModel& scene, CutSide side, const Vec3& planePoint, const Mat3& viewAxes, BuildError& error) {
  const std::vector<int> selected = SelectedObjects(scene);
  if (selected.empty()) return Refused(error, "no object is selected");
  for (double c : planePoint) {
    if (!FitsLimit(c, kMaqCoordinateLimit)) return Refused(error, "the cut plane lies beyond what a scene file holds");
  }
  // The normal points to the part taken away.
  Vec3 normal = side == CutSide::Side ? viewAxes[0] : viewAxes[1];
  if (side == CutSide::Bottom) normal = {-normal[0], -normal[1], -normal[2]};
  const double plane = normal[0] * planePoint[0] + normal[1] * planePoint[1] + normal[2] * planePoint[2];
  std::vector<std::vector<Point3>> cut;
  bool changed = false;
  for (int k : selected) {
    std::vector<Point3> points = GetObjectPoints(scene, k);
    for (Point3& p : points) {
      const double beyond = Along(p, normal) - plane;
      if (beyond > kOnPlane) {
        p = Shifted(p, normal, -beyond);
        changed = true;
      }
    }
    cut.push_back(std::move(points));
  }
  if (!changed) return Refused(error, "nothing of the selection lies beyond the cut plane", false);
  for (std::size_t i = 0; i < selected.size(); ++i) PutObjectPoints(scene, selected[i], cut[i]);
  return true;
}

bool RunCutOperation(SceneModel& scene, const BuildOperation& op, BuildError& error) {
  static constexpr std::pair<std::string_view, CutSide> kSides[] = {
      {"top", CutSide::Top}, {"bottom", CutSide::Bottom}, {"side", CutSide::Side}};
  const auto it = std::find_if(std::begin(kSides), std::end(kSides), [&](const auto& s) { return s.first == op.words[0]; });
  if (it == std::end(kSides)) return Refused(error, "the cut is top, bottom or side");
  if (op.words.size() != 1 && op.words.size() != 4) return Refused(error, "the plane's point needs X Y Z");
  Vec3 point = SelectionCentre(scene).value_or(Vec3{});
  for (std::size_t a = 0; a < 3 && op.words.size() == 4; ++a) point[a] = std::strtod(op.words[a + 1].c_str(), nullptr);
  return BuildCut(scene, it->second, point, ViewAxes(scene.View()), error);
}

// The mirror plane of each object is the view's vertical plane through the
// object's origin, so that the object stays where it is and its left and
// right change places on the screen. A mirror turns a surface inside out: a
// mesh gets its rows reversed (the repeated closing points of a closed row
// stay at its ends) and a faceted object its faces' corners, so that the
// faces keep facing outward.
bool BuildMirror(SceneModel& scene, const Mat3& viewAxes, BuildError& error) {
  const std::vector<int> selected = SelectedObjects(scene);
  if (selected.empty()) return Refused(error, "no object is selected");
  const Vec3& normal = viewAxes[0];
  std::vector<std::vector<Point3>> mirrored;
  for (int k : selected) {
    const Vec3& origin = scene.Frames().AbsOrigin(k);
    const double plane = normal[0] * origin[0] + normal[1] * origin[1] + normal[2] * origin[2];
    std::vector<Point3> points = GetObjectPoints(scene, k);
    for (Point3& p : points) p = Shifted(p, normal, -2 * (Along(p, normal) - plane));
    const int u = scene.Object(k).MeshU();
    if (scene.State(k).faceGroup == 0 && u > 0) {
      for (std::size_t row = 0; row + static_cast<std::size_t>(u) <= points.size(); row += static_cast<std::size_t>(u)) {
        std::reverse(points.begin() + static_cast<std::ptrdiff_t>(row),
                     points.begin() + static_cast<std::ptrdiff_t>(row) + u);
      }
    }
    if (!PointsFitTheFile(points, k, error)) return false;
    mirrored.push_back(std::move(points));
  }
  for (std::size_t i = 0; i < selected.size(); ++i) {
    const int k = selected[i];
    PutObjectPoints(scene, k, mirrored[i]);
    const int group = scene.State(k).faceGroup;
    if (group <= 0 || group > scene.FaceGroupCount()) continue;
    const FaceGroup& g = scene.FaceGroupEntry(group);
    for (int f = 0; f < g.faceCount; ++f) scene.Faces().Put(g.firstFace + f, Reversed(scene.Faces().Get(g.firstFace + f)));
  }
  return true;
}

// Gluing hangs the frames of the other selected objects from the first
// one's, as the scene file keeps them (the parent identifiers of its
// frames): the renderer's mappings and the keyframe interpolation of frames
// then follow that object. The objects keep their places; picking one of
// them then picks the group (SelectGlued), so that they move together.
bool BuildGlue(SceneModel& scene, BuildError& error) {
  const std::vector<int> selected = SelectedObjects(scene);
  if (selected.size() < 2) return Refused(error, "gluing needs at least two selected objects");
  FrameTable& frames = scene.Frames();
  const int first = selected.front();
  std::vector<int> loose;
  for (std::size_t i = 1; i < selected.size(); ++i) {
    if (frames.Record(selected[i]).parent != first) loose.push_back(selected[i]);
  }
  if (loose.empty()) return Refused(error, "the selected objects are glued already", false);
  // The first object must not hang from one it would carry: such a loop
  // could never be brought up to date.
  for (int k = frames.Record(first).parent, steps = 0; k >= 0 && steps < frames.Capacity(); k = frames.Record(k).parent, ++steps) {
    if (std::find(loose.begin(), loose.end(), k) != loose.end()) {
      return Refused(error, "object " + std::to_string(first) + " is glued to object " + std::to_string(k));
    }
  }
  for (int k : loose) AttachFrame(frames, k, first);
  return true;
}

namespace {

// The object at the top of object k's chain of object frames.
int GlueRoot(const SceneModel& scene, int k) {
  const int n = scene.Header().objectCount;
  for (int steps = 0; steps < n; ++steps) {
    const int parent = scene.Frames().Record(k).parent;
    if (parent < 0 || parent >= n) break;
    k = parent;
  }
  return k;
}

}  // namespace

void SelectGlued(SceneModel& scene) {
  const int n = scene.Header().objectCount;
  std::vector<bool> picked(n, false);
  for (int k : SelectedObjects(scene)) picked[GlueRoot(scene, k)] = true;
  for (int k = 0; k < n; ++k) {
    if (picked[GlueRoot(scene, k)]) scene.State(k).selection = 1;
  }
}

// The magnet drops the selection straight down (along the view's up axis)
// onto the nearest unselected object beneath it, one whose extent across
// (right and depth) overlaps the selection's and whose top lies at or below
// the selection's bottom; it then rests on that object's top.
bool BuildMagnet(SceneModel& scene, const Mat3& viewAxes, BuildError& error) {
  const std::vector<int> selected = SelectedObjects(scene);
  if (selected.empty()) return Refused(error, "no object is selected");
  const std::array<Extent, 3> moving = ExtentOf(scene, selected, viewAxes);
  if (!(moving[1].low <= moving[1].high)) return Refused(error, "the selection has no points");
  double rest = -std::numeric_limits<double>::infinity();
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection == 1) continue;
    const std::array<Extent, 3> other = ExtentOf(scene, {k}, viewAxes);
    if (other[1].high > moving[1].low + kOnPlane) continue;
    if (!other[0].Overlaps(moving[0]) || !other[2].Overlaps(moving[2])) continue;
    rest = std::max(rest, other[1].high);
  }
  if (rest == -std::numeric_limits<double>::infinity()) return Refused(error, "no object lies beneath the selection", false);
  const double fall = rest - moving[1].low;
  if (std::fabs(fall) <= kOnPlane) return Refused(error, "the selection rests on the object beneath it already", false);
  const Vec3& up = viewAxes[1];
  return BuildMove(scene, fall * up[0], fall * up[1], fall * up[2], error);
}

// Only faceted objects can hold two separate bodies (a mesh is one grid),
// so merging takes two faceted objects: the faces of the second follow the
// first's in one new object that keeps the first's material, frame and
// maps. "Divide" takes them apart again.
bool BuildMerge(SceneModel& scene, BuildError& error) {
  const std::vector<int> selected = SelectedObjects(scene);
  if (selected.size() != 2) {
    ShowMessage(MessageKind::Warning, kNotTwoObjectsMessage);
    return Refused(error, "merging needs exactly two selected objects");
  }
  const int a = selected[0], b = selected[1];
  if (scene.State(a).faceGroup == 0 || scene.State(b).faceGroup == 0) {
    return Refused(error, "only faceted objects (DXF imports, 3D text) can be merged");
  }
  FacetedMesh merged = MeshOf(scene, a);
  const FacetedMesh second = MeshOf(scene, b);
  const int offset = static_cast<int>(merged.points.size());
  if (offset + second.points.size() > static_cast<std::size_t>(kMaxFacetedPoints) ||
      merged.faces.size() + second.faces.size() > static_cast<std::size_t>(kMaxFacetedFaces)) {
    return Refused(error, "the merged object would have more than " + std::to_string(kMaxFacetedPoints) + " points or faces");
  }
  merged.points.insert(merged.points.end(), second.points.begin(), second.points.end());
  for (Face face : second.faces) {
    for (std::int16_t& c : face) {
      if (c != 0) c = static_cast<std::int16_t>(c < 0 ? c - offset : c + offset);
    }
    merged.faces.push_back(face);
  }
  if (!ReplaceByFaceted(scene, {merged}, {a}, {a, b})) return Refused(error, "the scene cannot hold the merged object", false);
  return true;
}

bool BuildDivide(SceneModel& scene, BuildError& error) {
  const std::vector<int> selected = SelectedObjects(scene);
  if (selected.empty()) return Refused(error, "no object is selected");
  std::vector<FacetedMesh> parts;
  std::vector<int> sources;
  std::vector<int> divided;
  for (int k : selected) {
    if (scene.State(k).faceGroup == 0) continue;
    const std::vector<FacetedMesh> pieces = PartsOf(MeshOf(scene, k));
    if (pieces.size() < 2) continue;
    divided.push_back(k);
    for (const FacetedMesh& piece : pieces) {
      parts.push_back(piece);
      sources.push_back(k);
    }
  }
  bool glued = false;
  for (int k : selected) glued = glued || scene.Frames().Record(k).parent >= 0;
  if (divided.empty() && !glued) return Refused(error, "no selected object is made of parts or glued", false);
  // Glued objects are freed where they stand; should the parts not fit, the
  // scene is given back as it was.
  const SceneSnapshot before = scene.TakeSnapshot();
  for (int k : selected) {
    if (scene.Frames().Record(k).parent >= 0) scene.Frames().MakeRoot(k);
  }
  if (!divided.empty() && !ReplaceByFaceted(scene, parts, sources, divided)) {
    scene.RestoreSnapshot(before);
    return Refused(error, "the scene cannot hold the parts", false);
  }
  return true;
}

}  // namespace tessaran
