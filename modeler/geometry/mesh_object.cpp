#include "modeler/geometry/mesh_object.h"

#include <limits>

namespace tessaran {

namespace {
constexpr int kDefaultSpecular = 50;

void SetNewObjectAttributes(SceneModel& scene, int k, std::int32_t col) {
  ObjectRecord& record = scene.Object(k);
  record.SetCol(col);
  record.SetKSpec(kDefaultSpecular);
  record.SetNSpec(kDefaultSpecular);
  scene.State(k).selection = 1;
}
}  // namespace

int AppendMeshObject(SceneModel& scene, int u, int v, int tries) {
  const int k = scene.AppendObject(u, v, tries);
  if (k < 0) {
    ShowNotEnoughMemory();
    return -1;
  }
  SetNewObjectAttributes(scene, k, kNewObjectCol);
  return k;
}

void PutObjectPoints(SceneModel& scene, int k, const std::vector<Point3>& points) {
  const int first = scene.Object(k).FirstPoint();
  const int count = std::min<int>(scene.ObjectPointCount(k), static_cast<int>(points.size()));
  for (int p = 0; p < count; ++p) scene.Points().Put(first + p, points[p]);
  scene.UpdateBoundingBox(k);
}

std::vector<Point3> GetObjectPoints(const SceneModel& scene, int k) {
  const int first = scene.Object(k).FirstPoint();
  std::vector<Point3> points(static_cast<std::size_t>(std::max(0, scene.ObjectPointCount(k))));
  for (std::size_t p = 0; p < points.size(); ++p) points[p] = scene.Points().Get(first + static_cast<int>(p));
  return points;
}

void CentreObjectPoints(SceneModel& scene, int k) {
  std::vector<Point3> points = GetObjectPoints(scene, k);
  if (points.empty()) return;
  double sum[3] = {0, 0, 0};
  for (const Point3& p : points) {
    for (int axis = 0; axis < 3; ++axis) sum[axis] += p[axis];
  }
  for (Point3& p : points) {
    for (int axis = 0; axis < 3; ++axis) p[axis] = static_cast<float>(p[axis] - sum[axis] / points.size());
  }
  PutObjectPoints(scene, k, points);
}

int AppendFacetedObjects(SceneModel& scene, const std::vector<FacetedMesh>& meshes) {
  if (meshes.empty()) return -1;
  const int n = scene.Header().objectCount;
  const int freeFrames = scene.Header().freeFrameCount;
  long points = 0;
  long faces = 0;
  for (const FacetedMesh& mesh : meshes) {
    if (mesh.points.size() > kMaxFacetedPoints || mesh.faces.size() > kMaxFacetedFaces) {
      ShowNotEnoughMemory();
      return -1;
    }
    points += static_cast<long>(mesh.points.size());
    faces += static_cast<long>(mesh.faces.size());
  }
  const long objects = static_cast<long>(meshes.size());
  const long needObjects = n + objects + 1;
  const long needPoints = scene.TotalPoints() + points;
  const long needFaces = scene.Faces().Count() + faces;
  // Every capacity first, so that nothing is added unless all of it fits.
  bool fits = n + objects < SceneModel::kMaxObjects && needPoints < SceneModel::kMaxPoints &&
              needFaces <= std::numeric_limits<int>::max();
  if (fits && needObjects + freeFrames > scene.ObjectCapacity()) {
    fits = scene.ReallocObject(static_cast<int>(needObjects + freeFrames)) != 0;
  }
  if (fits && needPoints > scene.PointCapacity()) {
    fits = scene.GrowPoints(needPoints - scene.PointCapacity(), 2) != 0;
  }
  if (fits && faces > 0 && needFaces > scene.Faces().Count()) {
    fits = scene.Faces().Resize(static_cast<int>(needFaces)) != 0;
  }
  if (!fits) {
    ShowNotEnoughMemory();
    return -1;
  }

  int faceIndex = static_cast<int>(needFaces - faces);
  for (const FacetedMesh& mesh : meshes) {
    const int k = scene.AppendObject(static_cast<int>(mesh.points.size()), 1, 2);
    if (k < 0) return -1;  // cannot happen: every capacity was secured above
    scene.Object(k).SetMesh(0, 0);
    SetNewObjectAttributes(scene, k, mesh.col);
    FaceGroup group;
    group.faceCount = static_cast<std::int16_t>(mesh.faces.size());
    group.pointCount = static_cast<std::int32_t>(mesh.points.size());
    group.firstFace = faceIndex;
    scene.State(k).faceGroup = static_cast<std::int16_t>(scene.AddFaceGroup(group));
    for (const Face& face : mesh.faces) scene.Faces().Put(faceIndex++, face);
    std::vector<Point3> placed = mesh.points;
    for (Point3& p : placed) {
      for (int a = 0; a < 3; ++a) p[a] = static_cast<float>(p[a] + mesh.origin[a]);
    }
    PutObjectPoints(scene, k, placed);
    scene.Frames().AbsOrigin(k) = mesh.origin;
  }
  return n;
}

void ClearSelection(SceneModel& scene) {
  for (int k = 0; k < scene.Header().objectCount; ++k) scene.State(k).selection = 0;
}

}  // namespace tessaran
