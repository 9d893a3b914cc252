#include "modeler/geometry/remesh.h"

#include <vector>

#include "modeler/geometry/mesh_object.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {

namespace {

constexpr int kDxfNotRemeshedMessage = 55;
constexpr double kDuplicateOffset = 10.0;

Point3 Midpoint(const Point3& a, const Point3& b) {
  return {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
}

// Every point after object k (objects k + 1 … N - 1), in order.
std::vector<Point3> PointsAfter(const SceneModel& scene, int k) {
  std::vector<Point3> points;
  const int end = scene.Object(scene.Header().objectCount).FirstPoint();
  for (int p = scene.Object(k + 1).FirstPoint(); p < end; ++p) points.push_back(scene.Points().Get(p));
  return points;
}

bool RemeshOne(SceneModel& scene, int k) {
  const int a = scene.Object(k).MeshU();
  const int b = scene.Object(k).MeshV();
  if (a < 3 || b < 1) return true;  // nothing lies between fewer points
  const int refined = 2 * a - 2;
  const long extra = static_cast<long>(refined - a) * b;
  const long need = scene.TotalPoints() + extra;
  if (need >= SceneModel::kMaxPoints ||
      (need > scene.PointCapacity() && !scene.GrowPoints(need - scene.PointCapacity(), 2))) {
    ShowNotEnoughMemory();
    return false;
  }
  const std::vector<Point3> old = GetObjectPoints(scene, k);
  const std::vector<Point3> after = PointsAfter(scene, k);
  std::vector<Point3> points;
  points.reserve(static_cast<std::size_t>(refined) * b);
  for (int row = 0; row < b; ++row) {
    const Point3* line = &old[static_cast<std::size_t>(row) * a];
    for (int i = 0; i + 1 < a; ++i) {
      points.push_back(line[i]);
      points.push_back(Midpoint(line[i], line[i + 1]));
    }
  }
  const int n = scene.Header().objectCount;
  for (int j = k + 1; j <= n; ++j) scene.Object(j).SetFirstPoint(static_cast<int>(scene.Object(j).FirstPoint() + extra));
  scene.Object(k).SetMesh(refined, b);
  PutObjectPoints(scene, k, points);
  int p = scene.Object(k + 1).FirstPoint();
  for (const Point3& point : after) scene.Points().Put(p++, point);
  return true;
}

}  // namespace

int Remesh(SceneModel& scene) {
  const int n = scene.Header().objectCount;
  int faceted = 0;
  for (int k = 0; k < n; ++k) {
    if (scene.State(k).selection == 1 && scene.State(k).faceGroup != 0) ++faceted;
  }
  if (faceted > 0) {
    ShowMessage(MessageKind::Warning, kDxfNotRemeshedMessage, faceted);
    return -1;
  }
  int refined = 0;
  for (int k = 0; k < n; ++k) {
    if (scene.State(k).selection != 1) continue;
    if (!RemeshOne(scene, k)) return -1;
    ++refined;
  }
  return refined;
}

int Duplicate(SceneModel& scene) {
  const int n = scene.Header().objectCount;
  std::vector<int> selected;
  long points = 0;
  for (int k = 0; k < n; ++k) {
    if (scene.State(k).selection != 1) continue;
    selected.push_back(k);
    points += scene.ObjectPointCount(k);
  }
  if (selected.empty()) return 0;
  const int d = n + static_cast<int>(selected.size());
  const int freeFrames = scene.Header().freeFrameCount;
  const long needPoints = scene.TotalPoints() + points;
  bool fits = d < SceneModel::kMaxObjects && needPoints < SceneModel::kMaxPoints;
  if (fits && d + 1 + freeFrames > scene.ObjectCapacity()) {
    fits = scene.ReallocObject(std::min(SceneModel::kMaxObjects, d + 1 + freeFrames + (d - n) / 2)) != 0;
  }
  if (fits && needPoints > scene.PointCapacity()) fits = scene.GrowPoints(needPoints - scene.PointCapacity(), 2) != 0;
  if (!fits) {
    ShowNotEnoughMemory();
    return -1;
  }

  int copies = 0;
  for (int original : selected) {
    const int count = scene.ObjectPointCount(original);
    const int copy = scene.AppendObject(count, 1, 2);
    if (copy < 0) {
      ShowNotEnoughMemory();
      continue;
    }
    const int first = scene.Object(copy).FirstPoint();
    scene.Object(copy) = scene.Object(original);
    scene.Object(copy).SetFirstPoint(first);
    // The copy stands beside the original, points and frame alike: the
    // points are where the object is drawn and rendered.
    std::vector<Point3> points = GetObjectPoints(scene, original);
    for (Point3& p : points) {
      p[0] += static_cast<float>(kDuplicateOffset);
      p[1] += static_cast<float>(kDuplicateOffset);
    }
    PutObjectPoints(scene, copy, points);

    // Map assignments of the original, while the list has room.
    if (const int a = scene.Assignments().Find(original); a >= 0) {
      Assignment assignment = scene.Assignments()[a];
      assignment.object = copy;
      scene.Assignments().Add(assignment);
    }

    if (const int group = scene.State(original).faceGroup; group != 0) {
      const FaceGroup source = scene.FaceGroupEntry(group);
      FaceGroup entry = source;
      entry.firstFace = scene.Faces().Count();
      if (source.faceCount <= 0 || !scene.Faces().Resize(entry.firstFace + source.faceCount)) {
        Trace(source.faceCount <= 0 ? "Erreur NbTotFDXF=0 Impossible\n" : "Erreur ReInitVirTab (VTabFace)\n");
      } else {
        for (int f = 0; f < source.faceCount; ++f) {
          scene.Faces().Put(entry.firstFace + f, scene.Faces().Get(source.firstFace + f));
        }
        scene.State(copy).faceGroup = static_cast<std::int16_t>(scene.AddFaceGroup(entry));
      }
    }

    FrameTable& frames = scene.Frames();
    frames.AbsOrientation(copy) = frames.AbsOrientation(original);
    frames.AbsOrigin(copy) = frames.AbsOrigin(original);
    frames.AbsOrigin(copy)[0] += kDuplicateOffset;
    frames.AbsOrigin(copy)[1] += kDuplicateOffset;
    scene.State(copy).selection = 1;
    scene.State(original).selection = 0;
    ++copies;
  }
  return copies;
}

}  // namespace tessaran
