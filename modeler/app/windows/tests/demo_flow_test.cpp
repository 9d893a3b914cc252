// A user's whole session: a demo scene built with the menus, the dialogs
// and the mouse only (a ground with a chequered map, two spheres with their
// materials, a lamp, the camera turned in the view, three keyframes), one
// material previewed with "See", the scene sent to the renderer and
// rendered by the real `rz`, and any step taken back with "Undo".
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

#include <cstdlib>

#include "modeler/app/object_material.h"
#include "modeler/app/windows/attributes_dialog.h"
#include "modeler/app/windows/lamp_dialog.h"
#include "modeler/app/windows/map_type_dialog.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_link.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/primitive_dialog.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "modeler/app/windows/transform_dialog.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class DemoFlowTest : public ModelerTest {
 protected:
  void SetUp() override {
    ModelerTest::SetUp();
    renderer_ = std::make_unique<RecordingServer>(link::kRendererService);
    ASSERT_TRUE(renderer_->registered);
    link_ = ModelerLink::Start();
    ASSERT_NE(link_, nullptr);
    ModelerSettings settings;
    settings.dataDirectory = dir_;
    window_ = std::make_unique<ModelerWindow>(*scene_, library_, settings, link_.get());
    window_->chooseFile = [this](const FileRequest&) -> std::optional<fs::path> { return file_; };
    window_->show();
    window_->Command(kCmdModeller);
  }

  void Primitive(int command, int u, int v) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) {
      static_cast<PrimitiveDialog*>(shown)->Horizontal()->setValue(u);
      static_cast<PrimitiveDialog*>(shown)->Vertical()->setValue(v);
    });
    window_->Command(command);
  }
  // "DEPLACEMENT" (moving or sizing) or "ROTATION" with three values.
  void Transform(int command, double x, double y, double z) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) {
      auto* dialog = static_cast<TransformDialog*>(shown);
      dialog->Value(0)->setValue(x);
      dialog->Value(1)->setValue(y);
      dialog->Value(2)->setValue(z);
    });
    window_->Command(command);
  }
  // "ATTRIBUTS" on the selection, filled by `fill`.
  void Attributes(std::function<void(AttributesDialog&)> fill) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) { fill(*static_cast<AttributesDialog*>(shown)); });
    window_->Command(kCmdAttributes);
  }
  // "Rotation" of the first view, dragged by (dx, dy) pixels.
  void TurnView(int dx, int dy) {
    ModelView& view = *window_->Views().front();
    view.StartInteraction(ViewInteraction::Rotation);
    const QPoint from(200, 150), to(200 + dx, 150 + dy);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), view.viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
  }
  // Clicks the first point of object k in the first view: it alone is selected.
  void ClickObject(int k) {
    ModelView& view = *window_->Views().front();
    view.Redraw();
    const ProjectedPoint p = view.Projected(scene_->Object(k).FirstPoint() - 1);
    ASSERT_TRUE(p.visible);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(p.x, p.y));
    ASSERT_EQ(scene_->State(k).selection, 1);
  }

  // The model's file without its camera: the camera is the first view's,
  // which "Undo" leaves where the user turned it.
  Bytes Model() const {
    SceneModel copy;
    EXPECT_TRUE(copy.RestoreSnapshot(scene_->TakeSnapshot()));
    copy.View() = ViewCamera{};
    return MaqFileBytes(copy);
  }

  std::unique_ptr<RecordingServer> renderer_;
  std::unique_ptr<ModelerLink> link_;
  std::unique_ptr<ModelerWindow> window_;
  fs::path file_;
};

TEST_F(DemoFlowTest, ADemoSceneOfTheDialogsAndTheMouseRendersAndEveryStepUndoes) {
  const fs::path programs = fs::path(QMX_PROGRAM).parent_path();
  const std::string checker = (programs / "DAMIER.LBM").string();
  ASSERT_TRUE(fs::exists(checker));
  std::vector<Bytes> steps{Model()};
  const auto step = [&] { steps.push_back(Model()); };

  // The ground: a plan sized to 400 % and a chequered colour map.
  Primitive(kCmdPlan, 4, 4);
  step();
  Transform(kCmdSizeSelection, 400, 400, 100);
  step();
  Attributes([&](AttributesDialog& dialog) {
    AnswerNextDialog(QDialog::Accepted, [&](QDialog* map) {
      auto& typmap = *static_cast<MapTypeDialog*>(map);
      typmap.Image()->setText(QString::fromStdString(checker));
      typmap.RepeatX()->setValue(4);
      typmap.RepeatY()->setValue(4);
      typmap.accept();
    });
    dialog.MapButton(ObjectMap::Colour)->click();
  });
  step();
  EXPECT_EQ(MaterialOf(*scene_, 0).maps[0].image, checker);

  // A mirror sphere above it, previewed with "See" before it is taken.
  Primitive(kCmdSphere, 12, 8);
  step();
  Transform(kCmdMoveSelection, -60, 0, 60);
  step();
  Attributes([](AttributesDialog& dialog) {
    dialog.Bar(AttributeBar::Red)->setValue(15);
    dialog.ApplyPreset(MaterialPreset::Mirror);
    dialog.SeeButton()->click();
  });
  step();
  ASSERT_EQ(renderer_->pokes.size(), 1u);
  link::MaterialBlock seen;
  ASSERT_TRUE(link::ParseMaterialBlock(renderer_->pokes.front().data, seen));
  EXPECT_EQ(seen.Reflection(), MaterialOf(*scene_, 1).reflection);

  // A glass copy of it beside it, picked again with the mouse later.
  window_->Command(kCmdDuplicate);
  step();
  Transform(kCmdMoveSelection, 110, 0, 0);
  step();
  Attributes([](AttributesDialog& dialog) { dialog.ApplyPreset(MaterialPreset::Glass); });
  step();
  ASSERT_EQ(scene_->Header().objectCount, 3);

  // A lamp through "LAMPE", at the camera's eye.
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) { static_cast<LampDialog*>(shown)->Intensity()->setValue(80); });
  window_->Command(kCmdNewLamp);
  step();
  ASSERT_EQ(scene_->SceneLamps().Count(), 1);

  // The mirror sphere picked in the view and made smaller.
  ClickObject(1);
  Transform(kCmdSizeSelection, 80, 80, 80);
  step();

  // The camera turned with the mouse; three keyframes, the view turned between them.
  TurnView(40, -20);
  file_ = dir_ / "MYDEMO.MAQ";
  window_->Command(kCmdAnimation);
  ASSERT_TRUE(window_->AnimationMode());
  for (int k = 0; k < 2; ++k) {
    TurnView(30, 0);
    window_->Command(kCmdKeyframeAdd);
  }
  EXPECT_EQ(scene_->Header().sceneCount, 3);

  // "Rendering" sends the saved scene to the renderer ...
  window_->Command(kCmdRendering);
  ASSERT_FALSE(renderer_->received.empty());
  EXPECT_EQ(renderer_->received.back(), "RENDER " + file_.string());

  // ... and the real renderer makes its pictures of it under its default project.
  const fs::path out = dir_ / "out";
  fs::create_directories(out);
  const std::string command = std::string(RZ_PROGRAM) + " --batch '" + file_.string() + "' --out '" + out.string() +
                              "' --size 64x48 --threads 1 > '" + (dir_ / "rz.log").string() + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  int pictures = 0;
  for (const auto& entry : fs::directory_iterator(out)) pictures += entry.path().extension() == ".BMP";
  EXPECT_GE(pictures, 3);

  // Out of the animation phase, each step undoes to the very model it followed
  // and redoes to the one it made.
  window_->Command(kCmdAnimation);
  ASSERT_FALSE(window_->AnimationMode());
  for (std::size_t i = steps.size() - 1; i-- > 0;) {
    window_->Command(kCmdUndo);
    EXPECT_TRUE(Model() == steps[i]) << "undo to step " << i;
  }
  for (std::size_t i = 1; i < steps.size(); ++i) {
    window_->Command(kCmdRedo);
    EXPECT_TRUE(Model() == steps[i]) << "redo to step " << i;
  }
}

}  // namespace
}  // namespace tessaran
