// The commands on the selection: "Duplicate", and moving, sizing and
// turning it through "DEPLACEMENT" and "ROTATION", checked on the points.
#include <QDoubleSpinBox>
#include <QPushButton>
#include <cmath>

#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/transform_dialog.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/geometry/mesh_object.h"

namespace tessaran {
namespace {

class SelectionTest : public ModelerWindowFixture {
 protected:
  // Runs a dialog command with the three values, ended by `code`.
  void Transform(int command, double x, double y, double z, int code = QDialog::Accepted) {
    AnswerNextDialog(code, [=](QDialog* shown) {
      auto& dialog = *static_cast<TransformDialog*>(shown);
      dialog.Value(0)->setValue(x);
      dialog.Value(1)->setValue(y);
      dialog.Value(2)->setValue(z);
    });
    window_->Command(command);
  }
  Point3 FirstPoint(int k) const { return GetObjectPoints(*scene_, k).front(); }

};

void ExpectNear(const Point3& p, double x, double y, double z) {
  EXPECT_NEAR(p[0], x, 1e-3);
  EXPECT_NEAR(p[1], y, 1e-3);
  EXPECT_NEAR(p[2], z, 1e-3);
}

TEST_F(SelectionTest, MoveSizeAndRotateTheSelectedObjectsAlone) {
  AddBox(*scene_);
  AddBox(*scene_);
  const Point3 start = FirstPoint(1);
  Transform(kCmdMoveSelection, 10, -20, 5);
  ExpectNear(FirstPoint(1), start[0] + 10, start[1] - 20, start[2] + 5);
  ExpectNear(FirstPoint(0), start[0], start[1], start[2]);
  // Sizes about the object's origin, which moved with it.
  Transform(kCmdSizeSelection, 200, 50, 100);
  ExpectNear(FirstPoint(1), start[0] * 2 + 10, start[1] * 0.5 - 20, start[2] + 5);
  // A quarter turn about Z: (x, y) becomes (-y, x) about the origin.
  const Point3 before = FirstPoint(1);
  Transform(kCmdRotateSelection, 0, 0, 90);
  const Point3 after = FirstPoint(1);
  EXPECT_NEAR(after[0] - 10, -(before[1] + 20), 1e-3);
  EXPECT_NEAR(after[1] + 20, before[0] - 10, 1e-3);
  // Cancelled, nothing moves.
  Transform(kCmdMoveSelection, 50, 50, 50, QDialog::Rejected);
  ExpectNear(FirstPoint(1), after[0], after[1], after[2]);
}

TEST_F(SelectionTest, TheDialogsDefaults) {
  TransformDialog size(library_, Transform::Size, nullptr);
  EXPECT_EQ(size.windowTitle(), "OBJECT Sizing");
  size.Value(1)->setValue(30);
  size.DefaultButton()->click();
  EXPECT_EQ(size.Y(), 100);
  // No size of 0 that would flatten the objects for good.
  size.Value(0)->setValue(0);
  EXPECT_GT(size.X(), 0);
  TransformDialog move(library_, Transform::Move, nullptr);
  EXPECT_EQ(move.X(), 0);
  // The rotation's "Default" closes the dialog, turning nothing.
  TransformDialog turn(library_, Transform::Rotate, nullptr);
  turn.Value(2)->setValue(45);
  turn.show();
  turn.DefaultButton()->click();
  EXPECT_EQ(turn.Z(), 0);
  EXPECT_EQ(turn.result(), QDialog::Rejected);
  EXPECT_FALSE(turn.isVisible());
}

TEST_F(SelectionTest, DuplicateCopiesTheSelectionWhichTheCopiesBecome) {
  AddBox(*scene_);
  AddBox(*scene_);
  window_->Command(kCmdDuplicate);
  ASSERT_EQ(scene_->Header().objectCount, 3);
  std::vector<Point3> beside = GetObjectPoints(*scene_, 1);
  for (Point3& p : beside) p = {p[0] + 10, p[1] + 10, p[2]};
  EXPECT_EQ(GetObjectPoints(*scene_, 2), beside);
  EXPECT_EQ(scene_->State(2).selection, 1);
  EXPECT_EQ(scene_->State(1).selection, 0);
  EXPECT_EQ(scene_->Frames().AbsOrigin(2), (Vec3{10, 10, 0}));
}

// Delete asks message 9; the objects after the deleted ones close up with
// their points, frames and maps.
TEST_F(SelectionTest, DeleteAsksThenRemovesTheSelection) {
  BuildError error;
  AddBox(*scene_);
  ASSERT_TRUE(BuildPrimitive(*scene_, "sphere", 8, 6, -1, error));
  ASSERT_TRUE(BuildMap(*scene_, "colour", "WOOD.LBM", 1, 1, error));
  ASSERT_TRUE(BuildPrimitive(*scene_, "plan", 3, 3, -1, error));
  ASSERT_TRUE(BuildMove(*scene_, 5, 6, 7, error));
  ASSERT_TRUE(BuildMap(*scene_, "bump", "ROCK.LBM", 1, 1, error));
  const std::vector<Point3> plan = GetObjectPoints(*scene_, 2);
  const std::vector<Point3> box = GetObjectPoints(*scene_, 0);
  ASSERT_TRUE(BuildSelect(*scene_, "1", error));
  // Cancelled: nothing goes.
  asker_.answers[9] = Answer::Cancel;
  window_->Command(kCmdDelete);
  EXPECT_EQ(scene_->Header().objectCount, 3);
  asker_.answers[9] = Answer::Ok;
  window_->Command(kCmdDelete);
  EXPECT_EQ(asker_.asked, (std::vector<int>{9, 9}));
  ASSERT_EQ(scene_->Header().objectCount, 2);
  EXPECT_EQ(GetObjectPoints(*scene_, 0), box);
  EXPECT_EQ(GetObjectPoints(*scene_, 1), plan);
  EXPECT_EQ(scene_->TotalPoints(), static_cast<int>(box.size() + plan.size()));
  EXPECT_EQ(scene_->Frames().AbsOrigin(1), (Vec3{5, 6, 7}));
  ASSERT_EQ(scene_->Assignments().Count(), 1);
  EXPECT_EQ(scene_->Assignments()[0].object, 1);
  // The same as the batch mode deleting it.
  SceneModel batch;
  ASSERT_TRUE(BuildPrimitive(batch, "box", 4, 3, -1, error));
  ASSERT_TRUE(BuildPrimitive(batch, "plan", 3, 3, -1, error));
  ASSERT_TRUE(BuildMove(batch, 5, 6, 7, error));
  ASSERT_TRUE(BuildMap(batch, "bump", "ROCK.LBM", 1, 1, error));
  EXPECT_EQ(GetObjectPoints(batch, 1), plan);
  // Nothing selected: nothing to delete, nothing asked.
  ASSERT_TRUE(BuildSelect(*scene_, "none", error));
  window_->Command(kCmdDelete);
  EXPECT_EQ(scene_->Header().objectCount, 2);
  EXPECT_EQ(asker_.asked.size(), 2u);
}

}  // namespace
}  // namespace tessaran
