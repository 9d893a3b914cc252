#include "modeler/app/windows/profile_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform/report.h"

namespace tessaran {

namespace {

// "The 2D profil has more than 250 points "
constexpr int kMsgProfileFull = 34;
// A click reaches a point or a segment this near, in pixels.
constexpr double kPickPixels = 6;
constexpr int kMinZoom = 25;
constexpr int kMaxZoom = 1600;
// The path of "Path" needs this many control points.
constexpr std::size_t kLeastPathPoints = 4;
constexpr double kMark = 3;

const QColor kBackground{255, 255, 255};
const QColor kOriginColour{215, 215, 215};
const QColor kPolylineColour{150, 150, 150};
const QColor kCurveColour{20, 40, 120};
const QColor kPathColour{0, 130, 60};
const QColor kAxisColour{210, 30, 30};

void DrawPolyline(QPainter& painter, const QColor& colour, const std::vector<QPointF>& points, bool marks) {
  painter.setPen(QPen(colour, 1));
  for (std::size_t i = 1; i < points.size(); ++i) painter.drawLine(points[i - 1], points[i]);
  if (!marks) return;
  for (const QPointF& p : points) painter.drawRect(QRectF(p.x() - kMark, p.y() - kMark, 2 * kMark, 2 * kMark));
}

}  // namespace

ProfileView::ProfileView(Profile2D& profile, QWidget* host) : QWidget(host), profile_(profile) {
  host->installEventFilter(this);
  setGeometry(host->rect());
  setFocusPolicy(Qt::StrongFocus);
  // The right button belongs to the tools, not to the view's own menu.
  setContextMenuPolicy(Qt::PreventContextMenu);
  setAutoFillBackground(false);
  raise();
  show();
  setFocus();
}

bool ProfileView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return false;
}

void ProfileView::SetTool(ProfileTool tool) {
  tool_ = tool;
  dragged_ = -1;
  // The axis follows the mouse until it is placed.
  setMouseTracking(tool == ProfileTool::Axis);
  mouse_.reset();
  Changed();
}

void ProfileView::ClearPath() {
  path_.points.clear();
  update();
}

QPointF ProfileView::ToWindow(PlanePoint point) const {
  return {width() / 2.0 + (point[0] - centre_[0]) * Scale(), height() / 2.0 + (point[1] - centre_[1]) * Scale()};
}

PlanePoint ProfileView::ToProfile(QPointF window) const {
  return {centre_[0] + (window.x() - width() / 2.0) / Scale(), centre_[1] + (window.y() - height() / 2.0) / Scale()};
}

double ProfileView::Reach() const { return kPickPixels / Scale(); }

ProfilePoint ProfileView::WholePoint(QPointF window) const {
  const PlanePoint p = ToProfile(window);
  return {static_cast<int>(std::lround(p[0])), static_cast<int>(std::lround(p[1]))};
}

void ProfileView::SetZoom(int percent, PlanePoint centre) {
  zoom_ = std::clamp(percent, kMinZoom, kMaxZoom);
  centre_ = centre;
  Changed();
}

void ProfileView::Changed() {
  update();
  if (changed) changed();
}

void ProfileView::EndPath() {
  if (path_.points.size() < kLeastPathPoints) {
    QApplication::beep();
    return;
  }
  if (pathEnded) pathEnded();
}

void ProfileView::mousePressEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  const bool left = event->button() == Qt::LeftButton;
  const bool right = event->button() == Qt::RightButton;
  switch (tool_) {
    case ProfileTool::Modify:
      if (left) dragged_ = NearestProfilePoint(profile_, ToProfile(at), Reach());
      return;
    case ProfileTool::Delete:
      if (const int picked = left ? NearestProfilePoint(profile_, ToProfile(at), Reach()) : -1; picked >= 0) {
        DeleteProfilePoint(profile_, picked);
        Changed();
      }
      return;
    case ProfileTool::Add:
      if (!left) return;
      if (!AddProfilePoint(profile_, WholePoint(at), Reach())) {
        ShowMessage(MessageKind::Warning, kMsgProfileFull);
        return;
      }
      return Changed();
    case ProfileTool::Zoom:
      if (left) SetZoom(zoom_ * 2, ToProfile(at));
      if (right) SetZoom(zoom_ / 2, centre_);
      return;
    case ProfileTool::Path:
      if (right) return EndPath();
      if (!left) return;
      if (static_cast<int>(path_.points.size()) >= Profile2D::kMaxPoints) {
        ShowMessage(MessageKind::Warning, kMsgProfileFull);
        return;
      }
      path_.points.push_back(WholePoint(at));
      update();
      return;
    case ProfileTool::Axis:
      if (!left) return;
      axis_ = WholePoint(at)[0];
      update();
      if (axisPlaced) axisPlaced(*axis_);
      return;
  }
}

void ProfileView::mouseMoveEvent(QMouseEvent* event) {
  if (tool_ == ProfileTool::Axis) {
    mouse_ = event->position();
    update();
    return;
  }
  if (tool_ != ProfileTool::Modify || dragged_ < 0) return;
  MoveProfilePoint(profile_, dragged_, WholePoint(event->position()));
  update();
}

void ProfileView::mouseReleaseEvent(QMouseEvent* event) {
  if (tool_ != ProfileTool::Modify || dragged_ < 0) return;
  MoveProfilePoint(profile_, dragged_, WholePoint(event->position()));
  dragged_ = -1;
  Changed();
}

void ProfileView::wheelEvent(QWheelEvent* event) {
  const int turn = event->angleDelta().y();
  if (turn != 0) SetZoom(turn > 0 ? zoom_ * 2 : zoom_ / 2, centre_);
  event->accept();
}

void ProfileView::keyPressEvent(QKeyEvent* event) {
  if (tool_ == ProfileTool::Path && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    return EndPath();
  }
  if (tool_ == ProfileTool::Path && event->key() == Qt::Key_Escape) return ClearPath();
  QWidget::keyPressEvent(event);
}

void ProfileView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF origin = ToWindow({0, 0});
  painter.setPen(QPen(kOriginColour, 1, Qt::DashLine));
  painter.drawLine(QPointF(0, origin.y()), QPointF(width(), origin.y()));
  painter.drawLine(QPointF(origin.x(), 0), QPointF(origin.x(), height()));

  auto window = [this](const auto& points) {
    std::vector<QPointF> shown;
    for (const auto& p : points) shown.push_back(ToWindow({double(p[0]), double(p[1])}));
    return shown;
  };
  DrawPolyline(painter, kPolylineColour, window(profile_.points), true);
  DrawPolyline(painter, kCurveColour, window(ProfileCurve(profile_)), false);
  if (!profile_.points.empty()) {
    // The first point, where a click of "Add" closes the profile.
    const QPointF first = ToWindow({double(profile_.points[0][0]), double(profile_.points[0][1])});
    painter.setPen(QPen(kCurveColour, 2));
    painter.drawEllipse(first, 2 * kMark, 2 * kMark);
  }
  DrawPolyline(painter, kPathColour, window(path_.points), true);
  painter.setPen(QPen(kAxisColour, 1));
  if (mouse_) painter.drawLine(QPointF(mouse_->x(), 0), QPointF(mouse_->x(), height()));
  if (axis_) {
    const double x = ToWindow({double(*axis_), 0}).x();
    painter.drawLine(QPointF(x, 0), QPointF(x, height()));
  }
}

}  // namespace tessaran
