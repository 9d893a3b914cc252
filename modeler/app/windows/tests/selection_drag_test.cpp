// The selection moved, sized and turned by dragging the mouse in a view:
// the points end where the travel says, whatever the steps between; one
// drag is one step of "Undo" that gives back the file byte for byte; a drag
// without a selection, or one that comes back to its start, is no step.
#include <QTest>

#include <cmath>

#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class SelectionDragTest : public ModelerWindowFixture {
 protected:
  void SetUp() override {
    ModelerWindowFixture::SetUp();
    AddBox(*scene_);
    view_ = window_->ActiveView();
    ASSERT_NE(view_, nullptr);
    // The front view in parallel projection: a model unit is 0.04 × the
    // view's scale pixels at every depth.
    ViewCamera camera;
    camera.PERS = kParallelPERS;
    view_->SetCamera(camera);
    // The scene's camera is the first view's, as every command stores it.
    window_->StoreModelState();
    QApplication::processEvents();
  }
  double PixelsPerUnit() const { return view_->Mapping().scaleX * 0.04; }
  // A drag with the left button through the given positions.
  void Drag(const std::vector<QPoint>& path) {
    QWidget* port = view_->viewport();
    QTest::mousePress(port, Qt::LeftButton, {}, path.front());
    for (std::size_t i = 1; i < path.size(); ++i) {
      QMouseEvent move(QEvent::MouseMove, QPointF(path[i]), port->mapToGlobal(QPointF(path[i])), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(port, &move);
    }
    QTest::mouseRelease(port, Qt::LeftButton, {}, path.back());
  }
  bool CanUndo() const { return window_->Actions().at(kCmdUndo)->isEnabled(); }

  ModelView* view_ = nullptr;
};

TEST_F(SelectionDragTest, MoveFollowsTheMouseAndUndoesInOneStep) {
  const Bytes before = MaqFileBytes(*scene_);
  const std::vector<Point3> points = GetObjectPoints(*scene_, 0);
  window_->Command(kCmdDragMove);
  EXPECT_EQ(view_->Interaction(), ViewInteraction::MoveSelection);
  // Many small steps, then the release: only the whole travel counts.
  Drag({{300, 300}, {310, 290}, {250, 350}, {330, 311}, {336, 282}});
  EXPECT_EQ(view_->Interaction(), ViewInteraction::Select);
  const double dx = 36 / PixelsPerUnit(), dy = 18 / PixelsPerUnit();
  const std::vector<Point3> moved = GetObjectPoints(*scene_, 0);
  ASSERT_EQ(moved.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_NEAR(moved[i][0], points[i][0] + dx, 1e-3);
    EXPECT_NEAR(moved[i][1], points[i][1] + dy, 1e-3);  // up the window, up the model
    EXPECT_FLOAT_EQ(moved[i][2], points[i][2]);
  }
  EXPECT_NEAR(scene_->Frames().AbsOrigin(0)[0], dx, 1e-9);
  const Bytes after = MaqFileBytes(*scene_);

  ASSERT_TRUE(CanUndo());
  window_->Command(kCmdUndo);
  EXPECT_EQ(MaqFileBytes(*scene_), before);
  EXPECT_FALSE(CanUndo());
  window_->Command(kCmdRedo);
  EXPECT_EQ(MaqFileBytes(*scene_), after);
}

TEST_F(SelectionDragTest, SizeAndTurnGoThroughTheDialogsOperations) {
  const Bytes before = MaqFileBytes(*scene_);
  const std::vector<Point3> points = GetObjectPoints(*scene_, 0);
  // 100 pixels right double the size about the object's origin.
  window_->Command(kCmdDragSize);
  Drag({{200, 200}, {260, 240}, {300, 180}});
  const std::vector<Point3> sized = GetObjectPoints(*scene_, 0);
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(sized[i][a], 2 * points[i][a], 1e-3);
  }
  // 180 pixels right turn a quarter about Y: x goes onto z.
  window_->Command(kCmdDragRotate);
  Drag({{200, 200}, {380, 200}});
  EXPECT_NEAR(std::fabs(scene_->Frames().AbsOrientation(0)[0][2]), 1, 1e-9);
  const std::vector<Point3> turned = GetObjectPoints(*scene_, 0);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_NEAR(std::fabs(turned[i][2]), std::fabs(sized[i][0]), 1e-3);
    EXPECT_NEAR(turned[i][1], sized[i][1], 1e-3);
  }
  // Two drags, two steps.
  window_->Command(kCmdUndo);
  EXPECT_EQ(GetObjectPoints(*scene_, 0), sized);
  window_->Command(kCmdUndo);
  EXPECT_EQ(MaqFileBytes(*scene_), before);
}

TEST_F(SelectionDragTest, NoSelectionOrNoTravelIsNoStep) {
  const Bytes before = MaqFileBytes(*scene_);
  // Back where it started: the selection went away and came back.
  window_->Command(kCmdDragMove);
  Drag({{300, 300}, {400, 350}, {300, 300}});
  EXPECT_EQ(MaqFileBytes(*scene_), before);
  EXPECT_FALSE(CanUndo());
  // Nothing selected: the drag does not start, the view is back to selecting.
  ClearSelection(*scene_);
  const Bytes unselected = MaqFileBytes(*scene_);
  window_->Command(kCmdDragSize);
  Drag({{300, 300}, {400, 300}});
  EXPECT_EQ(MaqFileBytes(*scene_), unselected);
  EXPECT_FALSE(CanUndo());
  EXPECT_EQ(view_->Interaction(), ViewInteraction::Select);
}

}  // namespace
}  // namespace tessaran
