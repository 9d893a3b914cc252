// The editing commands of the "Edit" menu run from the window: each changes
// the selected objects' points as the view shows the scene, undo gives back
// the very file and selection of the step before and redo makes the step
// again; refusals show their message and change nothing. "Cut Plan" shows
// the cut plane in every view and a drag places it.
#include <QAction>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "modeler/app/edit_ops.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/geometry/camera.h"
#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class EditCommandsTest : public ModelerWindowFixture {
 protected:
  void Build(bool done) { ASSERT_TRUE(done) << error_; }
  // Runs the command, which must change the model; undo must give back the
  // state before it exactly, redo the state after it.
  void Step(int command) {
    window_->StoreModelState();
    const State before = Now();
    window_->Command(command);
    const State after = Now();
    ASSERT_FALSE(after == before) << "command " << command << " changed nothing";
    window_->Command(kCmdUndo);
    EXPECT_TRUE(Now() == before) << "undo of " << command;
    window_->Command(kCmdRedo);
    EXPECT_TRUE(Now() == after) << "redo of " << command;
  }
  // A faceted triangle at `origin`.
  void Triangle(Vec3 origin) {
    FacetedMesh mesh;
    mesh.points = {{0, 0, 0}, {20, 0, 0}, {0, 20, 0}};
    mesh.faces = {{1, 2, 3, 0}};
    mesh.origin = origin;
    ASSERT_GE(AppendFacetedObjects(*scene_, {mesh}), 0);
  }

  BuildError error_;
};

TEST_F(EditCommandsTest, EachCommandChangesThePointsAndIsUndoneAndRedoneExactly) {
  for (int command : {kCmdRemesh, kCmdSubstitutePlan, kCmdSubstituteRing, kCmdCutTop, kCmdCutBottom, kCmdCutSide,
                      kCmdMirror, kCmdGlue, kCmdMagnet, kCmdMerge, kCmdDivide, kCmdCutPlane}) {
    EXPECT_TRUE(window_->Actions().at(command)->isEnabled()) << command;
  }
  Build(BuildPrimitive(*scene_, "plan", 2, 2, -1, error_));
  Step(kCmdRemesh);
  EXPECT_EQ(scene_->Object(0).MeshU(), 8);

  Build(BuildPrimitive(*scene_, "box", 8, 6, -1, error_));  // 10 × 9: a sphere's meshing too
  Step(kCmdSubstituteSphere);
  for (const Point3& p : GetObjectPoints(*scene_, 1)) EXPECT_LE(std::hypot(p[0], p[1], p[2]), 50.001);

  Build(BuildMove(*scene_, 10, 30, 0, error_));
  const std::vector<Point3> sphere = GetObjectPoints(*scene_, 1);
  Step(kCmdMirror);  // about x = 10, the object's origin, as the front view shows it
  const std::vector<Point3> mirrored = GetObjectPoints(*scene_, 1);
  const std::size_t u = static_cast<std::size_t>(scene_->Object(1).MeshU());
  for (std::size_t p = 0; p < sphere.size(); ++p) {
    EXPECT_FLOAT_EQ(mirrored[p / u * u + (u - 1 - p % u)][0], 20 - sphere[p][0]);
  }

  Step(kCmdCutTop);  // through the selection's centre, y = 30
  for (const Point3& p : GetObjectPoints(*scene_, 1)) EXPECT_LE(p[1], 30.0001f);

  // Lifted clear of the plan (whose top edge lies at y = 50), the sphere
  // drops back until it rests on it.
  Build(BuildMove(*scene_, 0, 200, 0, error_));
  Step(kCmdMagnet);
  float low = 1e9f;
  for (const Point3& p : GetObjectPoints(*scene_, 1)) low = std::min(low, p[1]);
  EXPECT_NEAR(low, 50, 1e-3);

  Build(BuildSelect(*scene_, "0-1", error_));
  Step(kCmdGlue);
  EXPECT_EQ(scene_->Frames().Record(1).parent, 0);
  // A click on a point of the sphere picks the plan glued with it too.
  Build(BuildSelect(*scene_, "none", error_));
  ModelView* view = window_->ActiveView();
  view->Redraw();
  const ProjectedPoint on = view->Projected(scene_->Object(1).FirstPoint() + 40);
  ASSERT_TRUE(on.visible);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(on.x, on.y));
  EXPECT_EQ(scene_->State(0).selection, 1);
  EXPECT_EQ(scene_->State(1).selection, 1);
  Build(BuildSelect(*scene_, "1", error_));
  Step(kCmdDivide);
  EXPECT_EQ(scene_->Frames().Record(1).parent, -1);

  Triangle({100, 0, 0});
  Triangle({0, 100, 0});
  Build(BuildSelect(*scene_, "2-3", error_));
  Step(kCmdMerge);
  ASSERT_EQ(scene_->Header().objectCount, 3);
  EXPECT_EQ(GetObjectPoints(*scene_, 2).size(), 6u);
  Step(kCmdDivide);
  ASSERT_EQ(scene_->Header().objectCount, 4);
  EXPECT_EQ(GetObjectPoints(*scene_, 3)[0], (Point3{0, 100, 0}));
  EXPECT_TRUE(reporter_.shown.empty());
}

TEST_F(EditCommandsTest, MergeOfOneOrThreeObjectsShowsMessage10AndChangesNothing) {
  Triangle({});
  Triangle({50, 0, 0});
  Triangle({0, 50, 0});
  for (const char* which : {"1", "all"}) {
    Build(BuildSelect(*scene_, which, error_));
    window_->StoreModelState();
    const State before = Now();
    window_->Command(kCmdMerge);
    EXPECT_TRUE(Now() == before) << which;
  }
  EXPECT_EQ(reporter_.shown, (std::vector<int>{10, 10}));
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());
  // Other refusals change nothing either and are no step of "Undo".
  Build(BuildSelect(*scene_, "none", error_));
  for (int command : {kCmdRemesh, kCmdCutSide, kCmdMirror, kCmdGlue, kCmdMagnet, kCmdDivide, kCmdSubstituteRing}) {
    window_->Command(command);
  }
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());
}

TEST_F(EditCommandsTest, CutPlanShowsThePlaneInEveryViewADragPlacesItAndCutsGoThroughIt) {
  Build(BuildPrimitive(*scene_, "plan", 4, 4, -1, error_));
  Build(BuildMove(*scene_, 0, 20, 0, error_));
  ASSERT_TRUE(window_->AddView());
  window_->Command(kCmdCutPlane);
  ASSERT_TRUE(window_->CutPlane().has_value());
  EXPECT_EQ(*window_->CutPlane(), (Vec3{0, 20, 0}));
  EXPECT_TRUE(window_->Actions().at(kCmdCutPlane)->isChecked());
  for (ModelView* view : window_->Views()) EXPECT_EQ(view->CutPlane(), window_->CutPlane());
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());  // the plane is no part of the model

  // Dragged 40 pixels up in the active view: the plane's point lies under the mouse.
  ModelView* view = window_->ActiveView();
  ASSERT_EQ(view->Interaction(), ViewInteraction::CutPlane);
  const ProjectedPoint at = Project(view->Camera(), DeriveCamera(view->Camera()), view->Mapping(), {0, 0, 0},
                                    IdentityMatrix(), *window_->CutPlane());
  const QPoint to(at.x, at.y - 40);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(at.x, at.y));
  QMouseEvent move(QEvent::MouseMove, QPointF(to), view->viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
  const Vec3 plane = *window_->CutPlane();
  const ProjectedPoint placed =
      Project(view->Camera(), DeriveCamera(view->Camera()), view->Mapping(), {0, 0, 0}, IdentityMatrix(), plane);
  EXPECT_NEAR(placed.x, to.x(), 1);
  EXPECT_NEAR(placed.y, to.y(), 1);
  EXPECT_GT(plane[1], 20);
  for (ModelView* v : window_->Views()) EXPECT_EQ(v->CutPlane(), window_->CutPlane());
  EXPECT_EQ(view->Interaction(), ViewInteraction::Select);

  Step(kCmdCutTop);
  for (const Point3& p : GetObjectPoints(*scene_, 0)) EXPECT_LE(p[1], plane[1] + 1e-3);
  Step(kCmdCutBottom);
  for (const Point3& p : GetObjectPoints(*scene_, 0)) EXPECT_NEAR(p[1], plane[1], 1e-3);

  window_->Command(kCmdCutPlane);
  EXPECT_FALSE(window_->CutPlane().has_value());
  EXPECT_FALSE(window_->Actions().at(kCmdCutPlane)->isChecked());
  for (ModelView* v : window_->Views()) EXPECT_FALSE(v->CutPlane().has_value());
}

}  // namespace
}  // namespace tessaran
