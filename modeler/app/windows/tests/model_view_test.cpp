// A modeler view: the projection of known points through the real view
// (perspective magnification, points behind the eye, the parallel
// projection, the zoom limits), the wire drawing of a box in the preset
// views where the projection puts its points, and the mouse: selection by
// clicking, a rotation drag and the wheel.
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "modeler/geometry/mesh_object.h"

namespace tessaran {
namespace {

class ModelViewTest : public ModelerTest {
 protected:
  // A view 640 × 480 without scroll bars: 36 pixels per unit, centre (320, 240).
  std::unique_ptr<ModelView> OpenView() {
    auto view = std::make_unique<ModelView>(*scene_);
    view->SetScrollBarsShown(false);
    view->resize(640, 480);
    view->show();
    QApplication::processEvents();
    return view;
  }
  // One object made of the given points.
  void AddPoints(const std::vector<Point3>& points) {
    const int k = AppendMeshObject(*scene_, 1, static_cast<int>(points.size()));
    ASSERT_GE(k, 0);
    PutObjectPoints(*scene_, k, points);
  }
  QImage Picture(ModelView& view) { return view.viewport()->grab().toImage(); }
  // Whether the wire colour is drawn at (x, y) or right beside it.
  static bool DrawnNear(const QImage& image, int x, int y, const QColor& colour) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const QPoint p(x + dx, y + dy);
        if (image.rect().contains(p) && image.pixelColor(p) == colour) return true;
      }
    }
    return false;
  }
};

TEST_F(ModelViewTest, ProjectsKnownPointsAsTheCameraRulesSay) {
  // Default camera: D = 40, F = 1000, the eye at z = 1000 looking down -z.
  AddPoints({{0, 0, 0}, {0.1f, -0.1f, 1039}, {0, 0, 1050}, {10, 0, 0}, {0, 0, 5001}});
  auto view = OpenView();
  ASSERT_TRUE(view->HasTable());
  view->Redraw();
  EXPECT_EQ(view->Projected(0).x, 320);
  EXPECT_EQ(view->Projected(0).y, 240);
  // At c.z = D - 1 a point is magnified D times.
  const ProjectedPoint near = view->Projected(1);
  EXPECT_TRUE(near.visible);
  EXPECT_EQ(near.x, static_cast<int>(40 * 0.1f * 36 + 320));
  EXPECT_EQ(near.y, static_cast<int>(240 + 40 * 0.1f * 36));
  // Behind the eye: (-15000, -15000), not drawn.
  EXPECT_FALSE(view->Projected(2).visible);
  EXPECT_EQ(view->Projected(2).x, -15000);
  EXPECT_EQ(view->Projected(2).y, -15000);

  // Parallel projection: D = 200, F = 5000; a = zoom × 0.04; a point in
  // front of the camera plane is not drawn.
  view->SetPerspective(kParallelPERS);
  EXPECT_EQ(view->Projected(3).x, static_cast<int>(0.04 * 10 * 36 + 320));
  EXPECT_TRUE(view->Projected(3).visible);
  EXPECT_FALSE(view->Projected(4).visible);
  EXPECT_EQ(view->StatusTitle(), "D: (  0,  0,  0), R: (  0,  0), Z: 1.00, P: 10000");

  // Zoom limits: 60 doubles to 99, 0.15 halves to 0.1.
  view->Camera().zoom = 60;
  view->ZoomIn();
  EXPECT_DOUBLE_EQ(view->Camera().zoom, 99);
  view->Camera().zoom = 0.15;
  view->ZoomOut();
  EXPECT_DOUBLE_EQ(view->Camera().zoom, 0.1);
  // The title follows the redraw.
  EXPECT_EQ(view->windowTitle(), view->StatusTitle());
}

// A moved or turned object is drawn where its points now stand, as the
// renderer draws it: its frame, moved and turned with it, is not applied to
// the points a second time.
TEST_F(ModelViewTest, MovedAndTurnedObjectsAreDrawnWhereTheirPointsStand) {
  BuildError error;
  ASSERT_TRUE(BuildPrimitive(*scene_, "plan", 2, 2, -1, error));
  ASSERT_TRUE(BuildMove(*scene_, 10, 0, 0, error));
  ASSERT_TRUE(BuildRotate(*scene_, 0, 0, 90, error));
  ASSERT_NE(scene_->Frames().AbsOrigin(0), (Vec3{0, 0, 0}));
  auto view = OpenView();
  view->SetPerspective(kParallelPERS);
  const std::vector<Point3> points = GetObjectPoints(*scene_, 0);
  for (std::size_t p = 0; p < points.size(); ++p) {
    // Parallel projection: 0.04 × 36 pixels per unit about the centre.
    EXPECT_EQ(view->Projected(static_cast<int>(p)).x, static_cast<int>(0.04 * 36 * points[p][0] + 320)) << p;
    EXPECT_EQ(view->Projected(static_cast<int>(p)).y, static_cast<int>(240 - 0.04 * 36 * points[p][1])) << p;
  }
}

TEST_F(ModelViewTest, PresetViewsDrawTheBoxWhereItsPointsProject) {
  AddBox(*scene_);
  ClearSelection(*scene_);
  auto view = OpenView();
  const int points = scene_->TotalPoints();
  ASSERT_GT(points, 8);
  struct Preset {
    void (ModelView::*set)();
    double th, ph;
  };
  const Preset presets[] = {{&ModelView::FrontView, 0, 0}, {&ModelView::SideView, 90, 0},
                            {&ModelView::TopView, 0, -90}, {nullptr, 35, -25}};
  for (const Preset& preset : presets) {
    if (preset.set) {
      (view.get()->*preset.set)();
    } else {
      // A view turned by the rotation's scroll bars, kept and recalled.
      view->Camera().TH = preset.th;
      view->Camera().PH = preset.ph;
      view->SaveView();
      view->FrontView();
      ASSERT_TRUE(view->SeeView());
    }
    EXPECT_DOUBLE_EQ(view->Camera().TH, preset.th);
    EXPECT_DOUBLE_EQ(view->Camera().PH, preset.ph);
    const QImage image = Picture(*view);
    int drawn = 0, inside = 0;
    for (int k = 0; k < points; ++k) {
      const ProjectedPoint p = view->Projected(k);
      if (!p.visible || !image.rect().contains(p.x, p.y)) continue;
      ++inside;
      if (DrawnNear(image, p.x, p.y, kWireColour)) ++drawn;
    }
    EXPECT_GT(inside, 8) << preset.th << " " << preset.ph;
    EXPECT_EQ(drawn, inside) << preset.th << " " << preset.ph;
    // Nothing is drawn far from the box.
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
  }
  // The front view centres the scroll bars.
  view->FrontView();
  EXPECT_EQ(view->horizontalScrollBar()->value(), 50);
  EXPECT_EQ(view->verticalScrollBar()->value(), 50);
}

// "Camera On/Off": another view shows the scene's camera and its line of
// sight to the target; the view that looks through it does not.
TEST_F(ModelViewTest, CameraIsDrawnInTheOtherViewsWhenOn) {
  AddBox(*scene_);
  auto view = OpenView();
  auto countCamera = [&] {
    const QImage image = Picture(*view);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == kCameraColour;
    }
    return count;
  };
  scene_->View().TH = 90;  // the scene's camera looks along -x
  scene_->View().zoom = 40;
  view->SetCameraShown(false);
  EXPECT_EQ(countCamera(), 0);
  view->SetCameraShown(true);
  view->TopView();
  EXPECT_GT(countCamera(), 20);
  view->SetCamera(scene_->View());
  EXPECT_EQ(countCamera(), 0);
}

TEST_F(ModelViewTest, MouseSelectsTurnsAndZooms) {
  AddBox(*scene_);
  ClearSelection(*scene_);
  auto view = OpenView();
  int changes = 0;
  view->selectionChanged = [&] { ++changes; };
  // A click on a point of the box selects it, and it is drawn selected.
  const ProjectedPoint corner = view->Projected(0);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(corner.x, corner.y));
  EXPECT_EQ(scene_->State(0).selection, 1);
  EXPECT_TRUE(DrawnNear(Picture(*view), corner.x, corner.y, kSelectedColour));
  // A click far from every point clears the selection.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(scene_->State(0).selection, 0);
  EXPECT_EQ(changes, 2);

  // "Rotation": 40 pixels right and 20 down turn TH by 20 and PH by 10.
  view->StartInteraction(ViewInteraction::Rotation);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(300, 200));
  QMouseEvent move(QEvent::MouseMove, QPointF(340, 220), view->viewport()->mapToGlobal(QPointF(340, 220)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(340, 220));
  EXPECT_DOUBLE_EQ(view->Camera().TH, 20);
  EXPECT_DOUBLE_EQ(view->Camera().PH, 10);
  EXPECT_EQ(view->Interaction(), ViewInteraction::Select);

  // "Move": the target follows the mouse in its plane, so the point under
  // the mouse stays under it.
  view->FrontView();
  const Vec3 before = view->Camera().CIBLE;
  view->StartInteraction(ViewInteraction::Move);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(320, 240));
  QMouseEvent drag(QEvent::MouseMove, QPointF(356, 240), view->viewport()->mapToGlobal(QPointF(356, 240)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &drag);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(356, 240));
  // 36 pixels at the target's depth (a = D / (D + F)) are 1 / a units.
  EXPECT_NEAR(view->Camera().CIBLE[0], before[0] - (40.0 + 1000.0) / 40.0, 1e-6);
  EXPECT_NEAR(view->Camera().CIBLE[1], before[1], 1e-9);

  // "Zoom": a frame of half the starting size doubles the zoom.
  view->StartInteraction(ViewInteraction::Zoom);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(320, 240));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(320 + 35 * 36, 240));
  EXPECT_DOUBLE_EQ(view->Camera().zoom, 2);

  // The wheel zooms the view under the cursor.
  QWheelEvent wheel(QPointF(100, 100), view->viewport()->mapToGlobal(QPointF(100, 100)), {}, {0, 120},
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_DOUBLE_EQ(view->Camera().zoom, 4);
}

}  // namespace
}  // namespace tessaran
