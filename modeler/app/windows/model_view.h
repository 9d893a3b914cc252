// One modeler view ("Modelize" window): its own camera (TH, PH, zoom, PERS,
// CIBLE and the kept view), its projected-point table, the wire drawing of
// the scene, the status title, and the mouse interactions — selection of
// objects and lamps by clicking, "Zoom", "Rotation", "Move" and the mouse
// perspective, each with its frame, the scroll bars (turning the view or
// moving its target), the wheel's zoom, the drawing mode, and the drags that
// move, size or turn the selection (carried out by the owner through the
// callbacks).
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <functional>
#include <optional>

#include "modeler/app/windows/view_drawing.h"
#include "scene/scene_model.h"

namespace tessaran {

// What a mouse drag in the view does, as chosen by the view's commands.
enum class ViewInteraction {
  Select,
  Zoom,
  Rotation,
  Move,
  Perspective,
  MoveSelection,
  SizeSelection,
  RotateSelection,
  CutPlane,  // the drag places the cut plane's point under the mouse
};

// What the scroll bars do: turn the view (TH and PH) or move its target
// (CIBLE x and y).
enum class ScrollBarRole { Rotation, Move };

// The perspective setting of "Perspective" "Average": the view's default.
inline constexpr int kAveragePERS = 2000;

class ModelView final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // The view opens its projected-point table on the scene's points; the
  // scene outlives the view.
  explicit ModelView(SceneModel& scene, QWidget* parent = nullptr);
  ~ModelView() override;

  ViewCamera& Camera() { return camera_; }
  const ViewCamera& Camera() const { return camera_; }
  // A new camera, shown at once.
  void SetCamera(const ViewCamera& camera);

  // The view commands.
  void StartInteraction(ViewInteraction interaction) { interaction_ = interaction; }
  ViewInteraction Interaction() const { return interaction_; }
  void ZoomIn();
  void ZoomOut();
  void SetPerspective(int pers);
  // Front (TH 0, PH 0), side (TH 90) and top (PH -90), target at the
  // origin; nothing changes when the view already is so.
  void FrontView() { Preset(0, 0); }
  void SideView() { Preset(90, 0); }
  void TopView() { Preset(0, -90); }
  void SaveView() { saved_ = camera_; }
  // Restores the kept view; false when none was kept.
  bool SeeView();
  void SetCameraShown(bool shown);
  bool CameraShown() const { return cameraShown_; }
  void SetScrollBarsShown(bool shown);
  void SetScrollBarRole(ScrollBarRole role);
  ScrollBarRole BarRole() const { return barRole_; }
  void SetDrawMode(DrawMode mode);
  DrawMode Mode() const { return mode_; }
  // The cut plane, drawn through its point as the lines of its two planes
  // (perpendicular to the view's up and right axes); none hides it.
  void SetCutPlane(const std::optional<Vec3>& point);
  const std::optional<Vec3>& CutPlane() const { return cutPlane_; }

  // Projects the scene into the table and redraws; the title follows.
  void Redraw();
  // The window position of point k (0-based) after the last redraw.
  ProjectedPoint Projected(int k) const { return ProjectedAt(table_, k); }
  // The window mapping of the view's present size.
  WindowMapping Mapping() const;
  // "D: (x, y, z), R: (PH, TH), Z: zoom, P: PERS".
  QString StatusTitle() const;
  // Whether the projected-point table could be made.
  bool HasTable() const { return table_ != nullptr; }

  // Told when the view changed the selection, so that every view redraws.
  std::function<void()> selectionChanged;
  // A drag of the selection: asked at the press (false: there is nothing
  // to drag and the drag does not start), told every position of the mouse
  // with the press position, and told the release.
  std::function<bool()> selectionDragStarted;
  std::function<void(ViewInteraction, QPoint from, QPoint to)> selectionDragged;
  std::function<void()> selectionDragEnded;
  // Told when a drag placed the cut plane's point, so that every view shows it.
  std::function<void(const Vec3&)> cutPlaneMoved;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void Preset(double th, double ph);
  void CameraChanged();
  void SyncScrollBars();
  void SelectAt(QPoint position, bool toggle);
  void DrawFrame(QPainter& painter) const;
  void DrawCube(QPainter& painter) const;
  bool DragsSelection() const;
  void DrawCutPlane(QPainter& painter) const;
  void PlaceCutPlane(QPoint position);

  SceneModel& scene_;
  VTH* table_ = nullptr;
  ViewCamera camera_;
  std::optional<ViewCamera> saved_;
  std::optional<Vec3> cutPlane_;
  ViewInteraction interaction_ = ViewInteraction::Select;
  bool cameraShown_ = false;
  ScrollBarRole barRole_ = ScrollBarRole::Rotation;
  DrawMode mode_ = DrawMode::Wire;
  bool projected_ = false;  // the table holds this camera's positions
  bool dragging_ = false;
  bool syncing_ = false;    // the scroll bars are being set from the camera
  QPoint dragStart_;
  QPoint dragNow_;
  ViewCamera dragCamera_;   // the camera as the drag began
  QImage picture_;          // the drawing, painted onto the view at once
};

}  // namespace tessaran
