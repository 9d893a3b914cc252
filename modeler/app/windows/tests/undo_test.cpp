// "Undo" and "Redo" over the commands that change the model: each undo
// gives back the very scene of the step before (its file byte for byte,
// its selection), redo makes it again, and 50 steps are kept.
#include <QDoubleSpinBox>
#include <QScrollBar>
#include <QSpinBox>

#include "modeler/app/windows/attributes_dialog.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/primitive_dialog.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/app/windows/transform_dialog.h"
#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class UndoTest : public ModelerWindowFixture {
 protected:
  void Primitive(int command, int u, int v) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) {
      static_cast<PrimitiveDialog*>(shown)->Horizontal()->setValue(u);
      static_cast<PrimitiveDialog*>(shown)->Vertical()->setValue(v);
    });
    window_->Command(command);
  }
  void Move(double x) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) { static_cast<TransformDialog*>(shown)->Value(0)->setValue(x); });
    window_->Command(kCmdMoveSelection);
  }

};

TEST_F(UndoTest, UndoGivesBackEachStepAndRedoMakesItAgain) {
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());
  std::vector<State> states{Now()};
  Primitive(kCmdBox, 8, 6);
  states.push_back(Now());
  Primitive(kCmdSphere, 12, 8);
  states.push_back(Now());
  Move(12.5);
  states.push_back(Now());
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    static_cast<AttributesDialog*>(shown)->Bar(AttributeBar::Red)->setValue(3);
    static_cast<AttributesDialog*>(shown)->ApplyPreset(MaterialPreset::Glass);
  });
  window_->Command(kCmdAttributes);
  states.push_back(Now());
  window_->Command(kCmdDuplicate);
  states.push_back(Now());
  BuildError error;
  ASSERT_TRUE(BuildSelect(*scene_, "0", error));
  const State selected = Now();
  window_->Command(kCmdDelete);
  states.push_back(Now());
  ASSERT_EQ(scene_->Header().objectCount, 2);
  // A cancelled dialog is no step.
  AnswerNextDialog(QDialog::Rejected);
  window_->Command(kCmdRing);
  EXPECT_TRUE(window_->Actions().at(kCmdUndo)->isEnabled());
  EXPECT_FALSE(window_->Actions().at(kCmdRedo)->isEnabled());

  // Undone step by step; the delete gives back the selection it had.
  window_->Command(kCmdUndo);
  EXPECT_TRUE(Now() == selected);
  for (std::size_t i = states.size() - 2; i-- > 0;) {
    window_->Command(kCmdUndo);
    EXPECT_TRUE(Now() == states[i]) << "undo to step " << i;
  }
  EXPECT_EQ(scene_->Header().objectCount, 0);
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());
  window_->Command(kCmdUndo);
  EXPECT_TRUE(Now() == states[0]);
  // Redone step by step.
  for (std::size_t i = 1; i + 1 < states.size(); ++i) {
    window_->Command(kCmdRedo);
    EXPECT_TRUE(Now().file == states[i].file) << "redo to step " << i;
  }
  window_->Command(kCmdRedo);
  EXPECT_TRUE(Now() == states.back());
  // The points are the very numbers they were, not the file's rounding.
  window_->Command(kCmdUndo);
  window_->Command(kCmdUndo);
  window_->Command(kCmdUndo);
  const std::vector<Point3> moved = GetObjectPoints(*scene_, 1);
  window_->Command(kCmdUndo);
  window_->Command(kCmdRedo);
  EXPECT_EQ(GetObjectPoints(*scene_, 1), moved);
  // A new change forgets what was undone.
  Move(1);
  EXPECT_FALSE(window_->Actions().at(kCmdRedo)->isEnabled());
}

TEST_F(UndoTest, FiftyStepsAreKeptAndANewModelForgetsThem) {
  Primitive(kCmdPlan, 2, 2);
  const State first = Now();
  for (int i = 0; i < 55; ++i) Move(1);
  for (int i = 0; i < 60; ++i) window_->Command(kCmdUndo);
  // Back 50 steps: the plan moved 5 times.
  EXPECT_DOUBLE_EQ(scene_->Frames().AbsOrigin(0)[0], 5);
  EXPECT_FALSE(Now() == first);
  window_->Command(kCmdNew);
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());
  EXPECT_FALSE(window_->Actions().at(kCmdRedo)->isEnabled());
}

}  // namespace
}  // namespace tessaran
