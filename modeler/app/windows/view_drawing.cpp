#include "modeler/app/windows/view_drawing.h"

#include "modeler/app/windows/wire_raster.h"

#include <QLine>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tessaran {

namespace {

// Half the side of the marks drawn for lamps, in pixels.
constexpr int kLampMark = 5;
// The camera is drawn as a pyramid from its eye towards the target, this
// deep and this wide in model units.
constexpr double kCameraDepth = 1.5;
constexpr double kCameraHalfWidth = 0.6;

// The values of a table held in memory, read in place; null for a table on
// disk, which goes through VGetInt/VPutInt.
std::int32_t* MemoryValues(VTH* table) {
  if (!table || (table->support != SUP_MEMORY && table->support != SUP_MEMORY_KEPT)) return nullptr;
  if (table->elementSize != sizeof(std::int32_t)) return nullptr;
  return reinterpret_cast<std::int32_t*>(table->VBuf[0].data());
}

const float* MemoryFloats(VTH* table) {
  if (!table || (table->support != SUP_MEMORY && table->support != SUP_MEMORY_KEPT)) return nullptr;
  if (table->elementSize != sizeof(float)) return nullptr;
  return reinterpret_cast<const float*>(table->VBuf[0].data());
}

// The projected positions, read in place or through the table.
class ProjectedPoints {
 public:
  explicit ProjectedPoints(VTH* table) : table_(table), values_(MemoryValues(table)) {}
  ProjectedPoint At(int k) const {
    const int n = kProjectedValues * k;
    if (values_) return {values_[n], values_[n + 1], values_[n + 2] != 0};
    return {VGetInt(table_, n), VGetInt(table_, n + 1), VGetInt(table_, n + 2) != 0};
  }
  void Put(int k, const ProjectedPoint& p) {
    const int n = kProjectedValues * k;
    if (values_) {
      values_[n] = p.x;
      values_[n + 1] = p.y;
      values_[n + 2] = p.visible ? 1 : 0;
      return;
    }
    VPutInt(table_, n, p.x);
    VPutInt(table_, n + 1, p.y);
    VPutInt(table_, n + 2, p.visible ? 1 : 0);
  }

 private:
  VTH* table_;
  std::int32_t* values_;
};

// The lines of the objects, written into the picture as they come.
struct LineBatch {
  WireRaster& raster;
  QRgb colour;
  void Add(const ProjectedPoint& a, const ProjectedPoint& b) {
    if (a.visible && b.visible) raster.Line(a.x, a.y, b.x, b.y, colour);
  }
};

// The few lines of the marks, drawn by a painter.
struct PaintedLines {
  std::vector<QLine> lines;
  void Add(const ProjectedPoint& a, const ProjectedPoint& b) {
    if (a.visible && b.visible) lines.emplace_back(a.x, a.y, b.x, b.y);
  }
  void Draw(QPainter& painter, const QColor& colour) {
    painter.setPen(QPen(colour, 0));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
  }
};

void AddMesh(const SceneModel& scene, int k, const ProjectedPoints& points, LineBatch& batch) {
  const int u = scene.Object(k).MeshU(), v = scene.Object(k).MeshV();
  const int first = scene.Object(k).FirstPoint() - 1;
  if (u <= 0 || v <= 0 || static_cast<long>(u) * v > scene.ObjectPointCount(k)) return;
  for (int i = 0; i < v; ++i) {
    for (int j = 0; j < u; ++j) {
      const ProjectedPoint p = points.At(first + i * u + j);
      if (j + 1 < u) batch.Add(p, points.At(first + i * u + j + 1));
      if (i + 1 < v) batch.Add(p, points.At(first + (i + 1) * u + j));
    }
  }
}

// A row or column of `count` mesh points, `stride` apart from `first`, as
// the uniform quadratic B-spline of those points in the window, sampled
// kSplineSteps times a span. The repeated end points of the mesh make it
// reach the border points. A span with a hidden point is left out.
void AddSpline(const ProjectedPoints& points, int first, int count, int stride, LineBatch& batch) {
  constexpr int kSplineSteps = 4;
  if (count < 3) {
    for (int i = 0; i + 1 < count; ++i) batch.Add(points.At(first + i * stride), points.At(first + (i + 1) * stride));
    return;
  }
  for (int span = 0; span + 2 < count; ++span) {
    const ProjectedPoint p0 = points.At(first + span * stride);
    const ProjectedPoint p1 = points.At(first + (span + 1) * stride);
    const ProjectedPoint p2 = points.At(first + (span + 2) * stride);
    if (!p0.visible || !p1.visible || !p2.visible) continue;
    auto at = [&](double f) {
      const double b0 = (1 - f) * (1 - f) / 2, b1 = f * (1 - f) + 0.5, b2 = f * f / 2;
      return ProjectedPoint{static_cast<int>(std::lround(b0 * p0.x + b1 * p1.x + b2 * p2.x)),
                            static_cast<int>(std::lround(b0 * p0.y + b1 * p1.y + b2 * p2.y)), true};
    };
    ProjectedPoint from = at(0);
    for (int step = 1; step <= kSplineSteps; ++step) {
      const ProjectedPoint to = at(static_cast<double>(step) / kSplineSteps);
      batch.Add(from, to);
      from = to;
    }
  }
}

void AddSplineMesh(const SceneModel& scene, int k, const ProjectedPoints& points, LineBatch& batch) {
  const int u = scene.Object(k).MeshU(), v = scene.Object(k).MeshV();
  const int first = scene.Object(k).FirstPoint() - 1;
  if (u <= 0 || v <= 0 || static_cast<long>(u) * v > scene.ObjectPointCount(k)) return;
  for (int i = 0; i < v; ++i) AddSpline(points, first + i * u, u, 1, batch);
  for (int j = 0; j < u; ++j) AddSpline(points, first + j, v, u, batch);
}

ProjectedPoint ProjectWorld(const DrawOptions& options, const DerivedCamera& camera, const Vec3& world) {
  return Project(*options.view, camera, options.window, {0, 0, 0}, IdentityMatrix(), world);
}

// The twelve edges of the object's bounding box, projected as its points are.
void AddBox(SceneModel& scene, int k, const DrawOptions& options, const DerivedCamera& camera, LineBatch& batch) {
  const BoundingBox& box = scene.Box(k);
  std::array<ProjectedPoint, 8> corner;
  for (std::size_t c = 0; c < corner.size(); ++c) {
    corner[c] = ProjectWorld(options, camera,
                             {static_cast<double>(box[c][0]), static_cast<double>(box[c][1]), static_cast<double>(box[c][2])});
  }
  for (std::size_t c = 0; c < corner.size(); ++c) {
    for (std::size_t bit : {1u, 2u, 4u}) {
      if (!(c & bit)) batch.Add(corner[c], corner[c | bit]);
    }
  }
}

void AddFaces(const SceneModel& scene, int k, const ProjectedPoints& points, LineBatch& batch) {
  const int group = scene.State(k).faceGroup;
  if (group > scene.FaceGroupCount()) return;
  const FaceGroup& g = scene.FaceGroupEntry(group);
  const int first = scene.Object(k).FirstPoint() - 1;
  const int count = scene.ObjectPointCount(k);
  for (int f = 0; f < g.faceCount; ++f) {
    const Face face = scene.Faces().Get(g.firstFace + f);
    const int corners = face[3] == 0 ? 3 : 4;
    for (int c = 0; c < corners; ++c) {
      // A negated number hides the edge after that corner.
      if (face[c] < 0) continue;
      const int a = std::abs(face[c]), b = std::abs(face[(c + 1) % corners]);
      if (a < 1 || b < 1 || a > count || b > count) continue;
      batch.Add(points.At(first + a - 1), points.At(first + b - 1));
    }
  }
}

void DrawLamps(QPainter& painter, SceneModel& scene, const DrawOptions& options) {
  for (int lamp = 0; lamp < scene.SceneLamps().Count(); ++lamp) {
    const ProjectedPoint p = ProjectedLamp(scene, *options.view, options.window, lamp);
    if (!p.visible) continue;
    painter.setPen(QPen(scene.SceneLamps().Selected(lamp) ? kSelectedColour : kLampColour, 0));
    painter.drawLine(p.x - kLampMark, p.y, p.x + kLampMark, p.y);
    painter.drawLine(p.x, p.y - kLampMark, p.x, p.y + kLampMark);
    painter.drawLine(p.x - kLampMark, p.y - kLampMark, p.x + kLampMark, p.y + kLampMark);
    painter.drawLine(p.x - kLampMark, p.y + kLampMark, p.x + kLampMark, p.y - kLampMark);
  }
}

bool SameCamera(const ViewCamera& a, const ViewCamera& b) {
  return a.TH == b.TH && a.PH == b.PH && a.zoom == b.zoom && a.PERS == b.PERS && a.CIBLE == b.CIBLE;
}

// The scene's camera: a pyramid from its eye opening towards the target,
// and the line of sight. A view that looks through it does not show it.
void DrawCamera(QPainter& painter, const DrawOptions& options, const DerivedCamera& camera) {
  if (SameCamera(*options.view, *options.sceneCamera)) return;
  const DerivedCamera shown = DeriveCamera(*options.sceneCamera);
  const Vec3& eye = shown.eye;
  auto along = [&](double back, double right, double up) {
    Vec3 p = eye;
    for (int i = 0; i < 3; ++i) {
      p[i] += -back * shown.axes[2][i] + right * shown.axes[0][i] + up * shown.axes[1][i];
    }
    return ProjectWorld(options, camera, p);
  };
  const ProjectedPoint apex = along(0, 0, 0);
  const std::array<ProjectedPoint, 4> base = {
      along(kCameraDepth, -kCameraHalfWidth, -kCameraHalfWidth), along(kCameraDepth, kCameraHalfWidth, -kCameraHalfWidth),
      along(kCameraDepth, kCameraHalfWidth, kCameraHalfWidth), along(kCameraDepth, -kCameraHalfWidth, kCameraHalfWidth)};
  PaintedLines batch;
  for (int i = 0; i < 4; ++i) {
    batch.Add(apex, base[static_cast<std::size_t>(i)]);
    batch.Add(base[static_cast<std::size_t>(i)], base[static_cast<std::size_t>((i + 1) % 4)]);
  }
  batch.Add(apex, ProjectWorld(options, camera, options.sceneCamera->CIBLE));
  batch.Draw(painter, kCameraColour);
}

}  // namespace

WindowMapping MappingForSize(QSize size) {
  WindowMapping mapping;
  mapping.centreX = size.width() / 2.0;
  mapping.centreY = size.height() / 2.0;
  mapping.scaleX = mapping.scaleY = kViewScale * size.width() / kViewWidth;
  return mapping;
}

void ProjectScene(SceneModel& scene, const ViewCamera& view, const WindowMapping& window, VTH* table) {
  const DerivedCamera camera = DeriveCamera(view);
  ProjectedPoints points(table);
  const float* memory = MemoryFloats(scene.Points().Points());
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    const int first = scene.Object(k).FirstPoint();
    const int last = first + scene.ObjectPointCount(k);
    for (int p = first; p < last; ++p) {
      const std::array<float, 3> xyz =
          memory ? std::array<float, 3>{memory[3 * (p - 1)], memory[3 * (p - 1) + 1], memory[3 * (p - 1) + 2]}
                 : scene.Points().Get(p);
      points.Put(p - 1, Project(view, camera, window, {0, 0, 0}, IdentityMatrix(), {xyz[0], xyz[1], xyz[2]}));
    }
  }
}

ProjectedPoint ProjectedAt(VTH* table, int k) { return ProjectedPoints(table).At(k); }

ProjectedPoint ProjectedLamp(SceneModel& scene, const ViewCamera& view, const WindowMapping& window, int lamp) {
  scene.UpdateLampFrame(lamp);
  return Project(view, DeriveCamera(view), window, {0, 0, 0}, IdentityMatrix(),
                 scene.SceneLamps().Frames().AbsOrigin(lamp));
}

void DrawScene(QImage& picture, SceneModel& scene, VTH* table, const DrawOptions& options) {
  const ProjectedPoints points(table);
  WireRaster raster(picture);
  const DerivedCamera camera = DeriveCamera(options.view ? *options.view : ViewCamera{});
  const DrawMode mode = options.mode;
  // The selected objects are drawn last, over the others.
  for (const bool selected : {false, true}) {
    LineBatch batch{raster, (selected ? kSelectedColour : kWireColour).rgb()};
    const bool boxed = mode == DrawMode::Boxes || (mode == DrawMode::BoxesButSelection && !selected);
    const bool splined = mode == DrawMode::SplinesAll || (mode == DrawMode::SplinesSelected && selected);
    for (int k = 0; k < scene.Header().objectCount; ++k) {
      if ((scene.State(k).selection == 1) != selected) continue;
      if (boxed && options.view) {
        AddBox(scene, k, options, camera, batch);
      } else if (scene.State(k).faceGroup > 0) {
        AddFaces(scene, k, points, batch);
      } else if (splined) {
        AddSplineMesh(scene, k, points, batch);
      } else {
        AddMesh(scene, k, points, batch);
      }
    }
  }
  if (!options.view) return;
  QPainter painter(&picture);
  DrawLamps(painter, scene, options);
  if (options.camera && options.sceneCamera) DrawCamera(painter, options, camera);
}

}  // namespace tessaran
