// The 2D phase's drawing of the profile, laid over the active modeler view:
// the profile's points, its polyline and the curve the sweeps give it, the
// path of "Path" and the axis of "Pivot". The mouse edits the profile with
// the tool the phase's commands chose; coordinates stay whole numbers, with
// x to the right and y downwards, the origin in the middle at first.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "modeler/geometry/profile_edit.h"

namespace tessaran {

// What a click in the profile does.
enum class ProfileTool {
  Modify,  // drag a point
  Delete,  // click a point
  Add,     // click on a segment, on the first point (closes), or anywhere
  Zoom,    // left click zooms in round the point, right click out
  Path,    // clicks draw the path of "Path"; right click or Enter ends it
  Axis,    // a click places the vertical axis of "Pivot"
};

class ProfileView final : public QWidget {
  Q_OBJECT

 public:
  // Covers `host` and follows its size; the profile outlives the view.
  ProfileView(Profile2D& profile, QWidget* host);

  void SetTool(ProfileTool tool);
  ProfileTool Tool() const { return tool_; }
  // The zoom in per cent: 100 shows a unit as kPixelsPerUnit pixels.
  int ZoomPercent() const { return zoom_; }
  // The path drawn for "Path", in profile coordinates.
  const Profile2D& Path() const { return path_; }
  void ClearPath();

  // Window position of a profile point, and the profile point under a window
  // position.
  QPointF ToWindow(PlanePoint point) const;
  PlanePoint ToProfile(QPointF window) const;

  static constexpr double kPixelsPerUnit = 2;

  // Told when the profile or the zoom changed.
  std::function<void()> changed;
  // Told when the path is ended with at least 4 points.
  std::function<void()> pathEnded;
  // Told when the axis of "Pivot" was placed, with its x.
  std::function<void(int)> axisPlaced;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  double Scale() const { return kPixelsPerUnit * zoom_ / 100.0; }
  // The reach of a click, in profile units.
  double Reach() const;
  ProfilePoint WholePoint(QPointF window) const;
  void SetZoom(int percent, PlanePoint centre);
  void EndPath();
  void Changed();

  Profile2D& profile_;
  Profile2D path_;
  ProfileTool tool_ = ProfileTool::Add;
  int zoom_ = 100;
  PlanePoint centre_{0, 0};  // the profile point in the middle of the view
  int dragged_ = -1;         // the point "Modify" moves
  std::optional<int> axis_;  // the last axis placed
  std::optional<QPointF> mouse_;  // where the axis would go
};

}  // namespace tessaran
