#include "modeler/app/windows/model_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace tessaran {

namespace {

// Scroll bars of the rotation: 0 to 100, the centre (50) for angle 0; the
// horizontal one turns TH by 3.6 degrees a step, the vertical one PH by 1.8.
constexpr int kBarCentre = 50;
constexpr double kTHPerStep = 3.6;
constexpr double kPHPerStep = 1.8;
// Scroll bars that move the target: 2 units a step, the centre for 0.
constexpr double kTargetPerStep = 2;
// Degrees of turn per pixel of mouse travel in "Rotation".
constexpr double kDegreesPerPixel = 0.5;
// "Perspective" "Mouse": PERS doubles every 100 pixels upwards, within
// these bounds (below the parallel projection's 10000).
constexpr double kPixelsPerDoubling = 100;
constexpr int kMinPERS = 100;
constexpr int kMaxPERS = 9999;
// The frames drawn while the mouse works: the zoom frame of ±70 × the
// view's scale, the move frame of ±15 × the scale, the cube of ±120 pixels.
constexpr double kZoomFrame = 70;
constexpr double kMoveFrame = 15;
constexpr double kCubePixels = 120;
// A click selects the object with a point this near, in pixels.
constexpr int kPickPixels = 8;

double Wrap(double degrees) {
  while (degrees > 180) degrees -= 360;
  while (degrees <= -180) degrees += 360;
  return degrees;
}

}  // namespace

ModelView::ModelView(SceneModel& scene, QWidget* parent) : QAbstractScrollArea(parent), scene_(scene) {
  table_ = scene_.Points().OpenViewTable();
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->setRange(0, 2 * kBarCentre);
    bar->setPageStep(5);
    bar->setValue(kBarCentre);
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (syncing_) return;
      const int h = horizontalScrollBar()->value() - kBarCentre;
      const int v = verticalScrollBar()->value() - kBarCentre;
      if (barRole_ == ScrollBarRole::Rotation) {
        camera_.TH = h * kTHPerStep;
        camera_.PH = v * kPHPerStep;
      } else {
        // Down the bar, down the scene: the target goes down.
        camera_.CIBLE[0] = h * kTargetPerStep;
        camera_.CIBLE[1] = -v * kTargetPerStep;
      }
      CameraChanged();
    });
  }
  SetScrollBarsShown(true);
  viewport()->setMouseTracking(false);
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::NoFrame);
  setMinimumSize(160, 120);
  DeriveCamera(camera_);
}

ModelView::~ModelView() {
  if (table_) scene_.Points().CloseViewTable(table_);
}

void ModelView::SetCamera(const ViewCamera& camera) {
  camera_ = camera;
  CameraChanged();
}

void ModelView::CameraChanged() {
  DeriveCamera(camera_);
  SyncScrollBars();
  Redraw();
}

void ModelView::SyncScrollBars() {
  syncing_ = true;
  if (barRole_ == ScrollBarRole::Rotation) {
    horizontalScrollBar()->setValue(kBarCentre + static_cast<int>(std::lround(camera_.TH / kTHPerStep)));
    verticalScrollBar()->setValue(kBarCentre + static_cast<int>(std::lround(camera_.PH / kPHPerStep)));
  } else {
    horizontalScrollBar()->setValue(kBarCentre + static_cast<int>(std::lround(camera_.CIBLE[0] / kTargetPerStep)));
    verticalScrollBar()->setValue(kBarCentre - static_cast<int>(std::lround(camera_.CIBLE[1] / kTargetPerStep)));
  }
  syncing_ = false;
}

void ModelView::ZoomIn() {
  camera_.zoom = tessaran::ZoomIn(camera_.zoom);
  CameraChanged();
}

void ModelView::ZoomOut() {
  camera_.zoom = tessaran::ZoomOut(camera_.zoom);
  CameraChanged();
}

void ModelView::SetPerspective(int pers) {
  camera_.PERS = pers;
  CameraChanged();
}

void ModelView::Preset(double th, double ph) {
  const bool targetAtOrigin = camera_.CIBLE == Vec3{0, 0, 0};
  if (camera_.TH == th && camera_.PH == ph && targetAtOrigin) return;
  camera_.TH = th;
  camera_.PH = ph;
  camera_.CIBLE = {0, 0, 0};
  CameraChanged();
}

bool ModelView::SeeView() {
  if (!saved_) return false;
  SetCamera(*saved_);
  return true;
}

void ModelView::SetCameraShown(bool shown) {
  cameraShown_ = shown;
  Redraw();
}

void ModelView::SetCutPlane(const std::optional<Vec3>& point) {
  cutPlane_ = point;
  viewport()->update();
}

void ModelView::SetScrollBarsShown(bool shown) {
  const Qt::ScrollBarPolicy policy = shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  setHorizontalScrollBarPolicy(policy);
  setVerticalScrollBarPolicy(policy);
}

void ModelView::SetScrollBarRole(ScrollBarRole role) {
  barRole_ = role;
  SyncScrollBars();
}

void ModelView::SetDrawMode(DrawMode mode) {
  mode_ = mode;
  Redraw();
}

WindowMapping ModelView::Mapping() const { return MappingForSize(viewport()->size()); }

QString ModelView::StatusTitle() const {
  char text[160];
  std::snprintf(text, sizeof text, "D: (%3.0f,%3.0f,%3.0f), R: (%3.0f,%3.0f), Z: %4.2f, P: %4.0f", camera_.CIBLE[0],
                camera_.CIBLE[1], camera_.CIBLE[2], camera_.PH, camera_.TH, camera_.zoom,
                static_cast<double>(camera_.PERS));
  return QString::fromLatin1(text);
}

void ModelView::Redraw() {
  if (table_) ProjectScene(scene_, camera_, Mapping(), table_);
  projected_ = table_ != nullptr;
  setWindowTitle(StatusTitle());
  viewport()->update();
}

void ModelView::paintEvent(QPaintEvent*) {
  if (picture_.size() != viewport()->size()) picture_ = QImage(viewport()->size(), QImage::Format_RGB32);
  picture_.fill(Qt::white);
  QPainter painter(viewport());
  if (!table_) {
    painter.drawImage(0, 0, picture_);
    return;
  }
  const WindowMapping mapping = Mapping();
  // A paint of its own (an exposure, a scene changed elsewhere) projects
  // again; a redraw has just done so.
  if (!projected_) ProjectScene(scene_, camera_, mapping, table_);
  projected_ = false;
  DrawOptions options;
  options.mode = mode_;
  options.camera = cameraShown_;
  options.sceneCamera = &scene_.View();
  options.view = &camera_;
  options.window = mapping;
  DrawScene(picture_, scene_, table_, options);
  painter.drawImage(0, 0, picture_);
  if (cutPlane_) DrawCutPlane(painter);
  if (dragging_) DrawFrame(painter);
}

void ModelView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Redraw();
}

// The scroll bars turn the camera; the drawing itself never scrolls.
void ModelView::scrollContentsBy(int, int) {}

void ModelView::DrawFrame(QPainter& painter) const {
  const WindowMapping m = Mapping();
  painter.setPen(QPen(Qt::darkGray, 0, Qt::DashLine));
  switch (interaction_) {
    case ViewInteraction::Zoom: {
      const double half = std::max(std::abs(dragNow_.x() - m.centreX), std::abs(dragNow_.y() - m.centreY));
      painter.drawRect(QRectF(m.centreX - half, m.centreY - half, 2 * half, 2 * half));
      return;
    }
    case ViewInteraction::Move: {
      const double half = kMoveFrame * m.scaleX;
      const QPoint d = dragNow_ - dragStart_;
      painter.drawRect(QRectF(m.centreX - half + d.x(), m.centreY - half + d.y(), 2 * half, 2 * half));
      return;
    }
    case ViewInteraction::Rotation:
    case ViewInteraction::Perspective:
      return DrawCube(painter);
    case ViewInteraction::Select:
    case ViewInteraction::MoveSelection:
    case ViewInteraction::SizeSelection:
    case ViewInteraction::RotateSelection:
    case ViewInteraction::CutPlane:
      return;
  }
}

bool ModelView::DragsSelection() const {
  return interaction_ == ViewInteraction::MoveSelection || interaction_ == ViewInteraction::SizeSelection ||
         interaction_ == ViewInteraction::RotateSelection;
}

// The cut plane's two planes seen edge on: a line across the view through
// its point for the top and bottom cuts, a line down it for the side cut.
void ModelView::DrawCutPlane(QPainter& painter) const {
  const ProjectedPoint p =
      Project(camera_, DeriveCamera(camera_), Mapping(), {0, 0, 0}, IdentityMatrix(), *cutPlane_);
  if (!p.visible) return;
  painter.setPen(QPen(kCutPlaneColour, 0, Qt::DashDotLine));
  painter.drawLine(0, p.y, viewport()->width(), p.y);
  painter.drawLine(p.x, 0, p.x, viewport()->height());
}

// A cube of ±120 pixels at the target, turned and foreshortened as the
// camera now sees it.
void ModelView::DrawCube(QPainter& painter) const {
  const WindowMapping m = Mapping();
  const DerivedCamera camera = DeriveCamera(camera_);
  const double depth = ViewCoordinates(camera, camera_.CIBLE)[2];
  const double a = camera.parallel || depth >= camera.D ? camera.zoom * kParallelScale : camera.D / (camera.D - depth);
  const double half = kCubePixels / (m.scaleX * a);
  std::array<ProjectedPoint, 8> corner;
  for (int c = 0; c < 8; ++c) {
    const Vec3 p{camera_.CIBLE[0] + (c & 1 ? half : -half), camera_.CIBLE[1] + (c & 2 ? half : -half),
                 camera_.CIBLE[2] + (c & 4 ? half : -half)};
    corner[static_cast<std::size_t>(c)] = Project(camera_, camera, m, {0, 0, 0}, IdentityMatrix(), p);
  }
  for (int c = 0; c < 8; ++c) {
    for (int bit : {1, 2, 4}) {
      if (c & bit) continue;
      const ProjectedPoint& p = corner[static_cast<std::size_t>(c)];
      const ProjectedPoint& q = corner[static_cast<std::size_t>(c | bit)];
      if (p.visible && q.visible) painter.drawLine(p.x, p.y, q.x, q.y);
    }
  }
}

void ModelView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    interaction_ = ViewInteraction::Select;
    return;
  }
  const QPoint position = event->position().toPoint();
  if (interaction_ == ViewInteraction::Select) {
    SelectAt(position, event->modifiers() & Qt::ControlModifier);
    return;
  }
  if (DragsSelection() && !(selectionDragStarted && selectionDragStarted())) {
    interaction_ = ViewInteraction::Select;
    return;
  }
  dragging_ = true;
  dragStart_ = dragNow_ = position;
  dragCamera_ = camera_;
  viewport()->update();
}

void ModelView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  dragNow_ = event->position().toPoint();
  const QPoint d = dragNow_ - dragStart_;
  switch (interaction_) {
    case ViewInteraction::Rotation:
      camera_.TH = Wrap(dragCamera_.TH + d.x() * kDegreesPerPixel);
      camera_.PH = std::clamp(dragCamera_.PH + d.y() * kDegreesPerPixel, -90.0, 90.0);
      return CameraChanged();
    case ViewInteraction::Move: {
      // The target follows the mouse in the plane of the target.
      const WindowMapping m = Mapping();
      const DerivedCamera camera = DeriveCamera(dragCamera_);
      const Vec3 from = Unproject(dragCamera_, camera, m, dragStart_.x(), dragStart_.y(), dragCamera_.CIBLE);
      const Vec3 to = Unproject(dragCamera_, camera, m, dragNow_.x(), dragNow_.y(), dragCamera_.CIBLE);
      for (int i = 0; i < 3; ++i) camera_.CIBLE[i] = dragCamera_.CIBLE[i] - (to[i] - from[i]);
      return CameraChanged();
    }
    case ViewInteraction::Perspective: {
      if (dragCamera_.PERS >= kParallelPERS) dragCamera_.PERS = kAveragePERS;
      const double pers = dragCamera_.PERS * std::pow(2.0, -d.y() / kPixelsPerDoubling);
      camera_.PERS = std::clamp(static_cast<int>(std::lround(pers)), kMinPERS, kMaxPERS);
      return CameraChanged();
    }
    case ViewInteraction::MoveSelection:
    case ViewInteraction::SizeSelection:
    case ViewInteraction::RotateSelection:
      if (selectionDragged) selectionDragged(interaction_, dragStart_, dragNow_);
      return;
    case ViewInteraction::CutPlane:
      return PlaceCutPlane(dragNow_);
    case ViewInteraction::Zoom:
    case ViewInteraction::Select:
      viewport()->update();
      return;
  }
}

void ModelView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  if (interaction_ == ViewInteraction::CutPlane) PlaceCutPlane(event->position().toPoint());
  if (interaction_ == ViewInteraction::Zoom) {
    // What the frame holds fills the view.
    const WindowMapping m = Mapping();
    const QPoint at = event->position().toPoint();
    const double half = std::max(std::abs(at.x() - m.centreX), std::abs(at.y() - m.centreY));
    camera_.zoom = ClampZoom(camera_.zoom * kZoomFrame * m.scaleX / std::max(half, 1.0));
  }
  if (DragsSelection()) {
    const QPoint at = event->position().toPoint();
    if (at != dragNow_ && selectionDragged) selectionDragged(interaction_, dragStart_, at);
    interaction_ = ViewInteraction::Select;
    if (selectionDragEnded) selectionDragEnded();
    return Redraw();
  }
  interaction_ = ViewInteraction::Select;
  CameraChanged();
}

// The cut plane's point follows the mouse in the plane of the view through it.
void ModelView::PlaceCutPlane(QPoint position) {
  const Vec3 reference = cutPlane_.value_or(camera_.CIBLE);
  cutPlane_ = Unproject(camera_, DeriveCamera(camera_), Mapping(), position.x(), position.y(), reference);
  if (cutPlaneMoved) cutPlaneMoved(*cutPlane_);
  viewport()->update();
}

void ModelView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y();
  if (steps > 0) ZoomIn();
  if (steps < 0) ZoomOut();
  event->accept();
}

void ModelView::SelectAt(QPoint position, bool toggle) {
  int best = -1;
  long bestDistance = static_cast<long>(kPickPixels) * kPickPixels + 1;
  const auto nearer = [&](const ProjectedPoint& q) {
    const long dx = q.x - position.x(), dy = q.y - position.y();
    if (!q.visible || dx * dx + dy * dy >= bestDistance) return false;
    bestDistance = dx * dx + dy * dy;
    return true;
  };
  for (int k = 0; k < scene_.Header().objectCount && table_; ++k) {
    const int first = scene_.Object(k).FirstPoint() - 1;
    for (int p = first; p < first + scene_.ObjectPointCount(k); ++p) {
      if (nearer(ProjectedAt(table_, p))) best = k;
    }
  }
  // A lamp's mark nearer than every point picks the lamp.
  Lamps& lamps = scene_.SceneLamps();
  int lamp = -1;
  for (int k = 0; k < lamps.Count(); ++k) {
    if (nearer(ProjectedLamp(scene_, camera_, Mapping(), k))) lamp = k;
  }
  if (!toggle) {
    for (int k = 0; k < scene_.Header().objectCount; ++k) scene_.State(k).selection = 0;
    lamps.ClearSelection();
  }
  if (lamp >= 0) {
    lamps.Select(lamp, !toggle || !lamps.Selected(lamp));
  } else if (best >= 0) {
    scene_.State(best).selection = toggle ? static_cast<std::int16_t>(1 - scene_.State(best).selection) : 1;
  }
  if (selectionChanged) selectionChanged();
  Redraw();
}

}  // namespace tessaran
