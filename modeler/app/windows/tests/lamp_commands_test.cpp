// The lamp commands: a lamp made through "LAMPE" and "COULEUR" is the one
// `qmx --batch --lamp` makes; lamps picked in a view are edited, moved and
// deleted; each is a step of "Undo".
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "modeler/app/lamp_ops.h"
#include "modeler/app/windows/lamp_dialog.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/tests/batch_scene.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/app/windows/transform_dialog.h"
#include "modeler/geometry/camera.h"
#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class LampCommandsTest : public ModelerWindowFixture {
 protected:
  // Clicks lamp k's mark in the first view.
  void ClickLamp(int k, Qt::KeyboardModifiers modifiers = {}) {
    ModelView& view = *window_->Views().front();
    const ProjectedPoint p = ProjectedLamp(*scene_, view.Camera(), view.Mapping(), k);
    ASSERT_TRUE(p.visible);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, QPoint(p.x, p.y));
  }
  // The colour the first view shows at the centre of lamp k's mark.
  QColor MarkColour(int k) {
    ModelView& view = *window_->Views().front();
    const ProjectedPoint p = ProjectedLamp(*scene_, view.Camera(), view.Mapping(), k);
    return view.viewport()->grab().toImage().pixelColor(p.x, p.y);
  }
  void EditLamp(std::function<void(LampDialog&)> fill) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) {
      auto* dialog = qobject_cast<LampDialog*>(shown);
      ASSERT_NE(dialog, nullptr);
      fill(*dialog);
    });
    window_->Command(kCmdEditLamp);
  }

};

TEST_F(LampCommandsTest, ANewLampOfTheDialogsIsTheBatchOne) {
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto* dialog = qobject_cast<LampDialog*>(shown);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Lamp");
    // A new lamp starts from the "Default" values.
    EXPECT_EQ(dialog->Angle()->value(), 90);
    EXPECT_EQ(dialog->Intensity()->value(), 50);
    // The shadowing button toggles, showing messages 83 and 84.
    EXPECT_EQ(dialog->ShadowButton()->text(), "Shadowing");
    dialog->ShadowButton()->click();
    EXPECT_EQ(dialog->ShadowButton()->text(), "No Shadowing");
    dialog->ShadowButton()->click();
    EXPECT_EQ(dialog->ShadowButton()->text(), "Shadowing");
    dialog->ShadowButton()->click();
    dialog->Angle()->setValue(45);
    dialog->Intensity()->setValue(70);
    // The colour through "COULEUR", white at first.
    AnswerNextDialog(QDialog::Accepted, [](QDialog* inner) {
      auto* colour = qobject_cast<LampColourDialog*>(inner);
      ASSERT_NE(colour, nullptr);
      EXPECT_EQ(colour->Level(1)->value(), 15);
      colour->Level(1)->setValue(8);
      colour->Level(2)->setValue(3);
    });
    dialog->ColourButton()->click();
    EXPECT_EQ(dialog->Shown().green, 8);
    EXPECT_EQ(dialog->Swatch()->palette().color(QPalette::Window), QColor(240, 128, 48));
  });
  window_->Command(kCmdNewLamp);
  ASSERT_EQ(scene_->SceneLamps().Count(), 1);
  EXPECT_TRUE(scene_->SceneLamps().Selected(0));
  // At the eye of the scene's camera.
  const Vec3 eye = DeriveCamera(scene_->View()).eye;
  EXPECT_EQ(scene_->SceneLamps().Frames().AbsOrigin(0), eye);
  const std::string words = "--lamp " + ExactWord(eye[0]) + " " + ExactWord(eye[1]) + " " + ExactWord(eye[2]) +
                            " 70 45 15 8 3 0";
  EXPECT_EQ(MaqFileBytes(*scene_), BatchSceneBytes(words, dir_));
  BuildError error;

  // A camera zoomed far out has its eye beyond what the file holds: the
  // lamp stands at the target.
  ModelView& view = *window_->Views().front();
  ViewCamera far = view.Camera();
  far.PERS = 9999;
  far.zoom = 0.1;
  far.CIBLE = {5, 6, 7};
  view.SetCamera(far);
  AnswerNextDialog(QDialog::Accepted);
  window_->Command(kCmdNewLamp);
  ASSERT_EQ(scene_->SceneLamps().Count(), 2);
  EXPECT_EQ(scene_->SceneLamps().Frames().AbsOrigin(1), (Vec3{5, 6, 7}));
  ASSERT_TRUE(BuildDeleteLamps(*scene_, {1}, error));

  // A cancelled dialog makes no lamp, and an eleventh is not offered.
  AnswerNextDialog(QDialog::Rejected);
  window_->Command(kCmdNewLamp);
  EXPECT_EQ(scene_->SceneLamps().Count(), 1);
  for (int i = 1; i < 10; ++i) ASSERT_TRUE(BuildLamp(*scene_, LampSettings{}, error));
  const Bytes ten = MaqFileBytes(*scene_);
  window_->Command(kCmdNewLamp);
  EXPECT_EQ(MaqFileBytes(*scene_), ten);
}

TEST_F(LampCommandsTest, DefaultButtonsAndCancel) {
  LampSettings lamp;
  lamp.aperture = 10;
  lamp.intensity = 5;
  lamp.shadows = false;
  lamp.red = 1;
  const LampSettings before = lamp;
  {
    LampDialog dialog(library_, lamp, nullptr);
    EXPECT_EQ(dialog.ShadowButton()->text(), "No Shadowing");
    dialog.DefaultButton()->click();
    EXPECT_EQ(dialog.Angle()->value(), 90);
    EXPECT_EQ(dialog.Intensity()->value(), 50);
    EXPECT_EQ(dialog.ShadowButton()->text(), "Shadowing");
    // The colour is not the lamp's "Default"; that of "COULEUR" is.
    EXPECT_EQ(dialog.Shown().red, 1);
    dialog.reject();
  }
  EXPECT_EQ(lamp, before);
  LampColourDialog colour(library_, lamp, nullptr);
  colour.DefaultButton()->click();
  colour.accept();
  EXPECT_EQ(lamp.red, 15);
  EXPECT_EQ(lamp.green, 15);
  EXPECT_EQ(lamp.blue, 15);
}

TEST_F(LampCommandsTest, LampsPickedInAViewAreEditedMovedAndDeleted) {
  BuildError error;
  AddBox(*scene_);
  LampSettings left, right;
  left.position = {-10, 0, 0};
  right.position = {10, 0, 0};
  right.red = 2;
  ASSERT_TRUE(BuildLamp(*scene_, left, error));
  ASSERT_TRUE(BuildLamp(*scene_, right, error));
  window_->Command(kCmdAutoArrange);
  // Nothing picked: the dialogs are not shown and nothing changes.
  ClearSelection(*scene_);
  const Bytes start = MaqFileBytes(*scene_);
  window_->Command(kCmdEditLamp);
  window_->Command(kCmdDeleteLamp);
  EXPECT_EQ(MaqFileBytes(*scene_), start);
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());

  ClickLamp(1);
  EXPECT_TRUE(scene_->SceneLamps().Selected(1));
  EXPECT_FALSE(scene_->SceneLamps().Selected(0));
  EXPECT_EQ(scene_->State(0).selection, 0);
  // The lamp picked is drawn in the selection's colour.
  EXPECT_EQ(MarkColour(1), kSelectedColour);
  EXPECT_EQ(MarkColour(0), kLampColour);
  EditLamp([](LampDialog& dialog) {
    // Shown from the lamp picked.
    EXPECT_EQ(dialog.Shown().red, 2);
    EXPECT_EQ(dialog.Angle()->value(), 0);
    dialog.Intensity()->setValue(20);
    dialog.ShadowButton()->click();
  });
  EXPECT_EQ(LampIntensity(scene_->SceneLamps().Params(1)), 20);
  EXPECT_FALSE(LampCastsShadows(scene_->SceneLamps().Params(1)));
  EXPECT_EQ(scene_->SceneLamps().Frames().AbsOrigin(1), right.position);
  EXPECT_EQ(LampSettingsOf(*scene_, 0), left);

  // "Moving" moves the lamp picked, not the box.
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    qobject_cast<TransformDialog*>(shown)->Value(1)->setValue(30);
  });
  window_->Command(kCmdMoveSelection);
  EXPECT_EQ(scene_->SceneLamps().Frames().AbsOrigin(1), (Vec3{10, 30, 0}));
  EXPECT_EQ(scene_->Frames().AbsOrigin(0), (Vec3{0, 0, 0}));

  // Ctrl adds a lamp to the selection; the dialog shows the first one's
  // settings and both get all it shows.
  ClickLamp(0, Qt::ControlModifier);
  EXPECT_TRUE(scene_->SceneLamps().Selected(0));
  EXPECT_TRUE(scene_->SceneLamps().Selected(1));
  EditLamp([](LampDialog& dialog) {
    EXPECT_EQ(dialog.Intensity()->value(), 50);
    dialog.Angle()->setValue(60);
  });
  for (int k : {0, 1}) {
    EXPECT_EQ(scene_->SceneLamps().Params(k).aperture, 60);
    EXPECT_EQ(scene_->SceneLamps().Params(k).intensity, 50);
  }

  ClickLamp(0);
  EXPECT_FALSE(scene_->SceneLamps().Selected(1));
  window_->Command(kCmdDeleteLamp);
  ASSERT_EQ(scene_->SceneLamps().Count(), 1);
  EXPECT_EQ(scene_->SceneLamps().Frames().AbsOrigin(0), (Vec3{10, 30, 0}));
  EXPECT_EQ(scene_->SceneLamps().Params(0).aperture, 60);
}

TEST_F(LampCommandsTest, EachLampCommandIsAnUndoStep) {
  std::vector<Bytes> states{MaqFileBytes(*scene_)};
  AnswerNextDialog(QDialog::Accepted);
  window_->Command(kCmdNewLamp);
  states.push_back(MaqFileBytes(*scene_));
  EditLamp([](LampDialog& dialog) { dialog.Intensity()->setValue(90); });
  states.push_back(MaqFileBytes(*scene_));
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    qobject_cast<TransformDialog*>(shown)->Value(0)->setValue(-40);
  });
  window_->Command(kCmdMoveSelection);
  states.push_back(MaqFileBytes(*scene_));
  window_->Command(kCmdDeleteLamp);
  states.push_back(MaqFileBytes(*scene_));
  for (std::size_t i = 1; i < states.size(); ++i) EXPECT_NE(states[i], states[i - 1]) << i;
  for (std::size_t i = states.size() - 1; i-- > 0;) {
    window_->Command(kCmdUndo);
    EXPECT_EQ(MaqFileBytes(*scene_), states[i]) << "undo to step " << i;
  }
  for (std::size_t i = 1; i < states.size(); ++i) {
    window_->Command(kCmdRedo);
    EXPECT_EQ(MaqFileBytes(*scene_), states[i]) << "redo to step " << i;
  }
}

}  // namespace
}  // namespace tessaran
