// The "Tools" and "View" commands of the frame: "Scale" through "ECHELLE"
// (its default, an undo step that gives back the file byte for byte, no
// step when cancelled or without a selection), "Distance", the drawing
// modes of the active view, what the scroll bars do, and "About" with the
// counts of the scene.
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <fstream>
#include <iterator>

#include "modeler/app/tool_ops.h"
#include "modeler/app/windows/info_dialog.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/scale_dialog.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class ToolsCommandsTest : public ModelerWindowFixture {
 protected:
  void Scale(int code, double percent) {
    AnswerNextDialog(code, [=](QDialog* shown) { static_cast<ScaleDialog*>(shown)->Percent()->setValue(percent); });
    window_->Command(kCmdScale);
  }
  bool CanUndo() const { return window_->Actions().at(kCmdUndo)->isEnabled(); }
  bool Checked(int id) const { return window_->Actions().at(id)->isChecked(); }

  static Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    Bytes bytes;
    for (std::istreambuf_iterator<char> c(in), end; c != end; ++c) bytes.push_back(static_cast<std::byte>(*c));
    return bytes;
  }

  fs::path chosen_;
};

TEST_F(ToolsCommandsTest, ScaleDialogStartsAtItsDefaultAndDefaultGoesBack) {
  ScaleDialog dialog(library_, nullptr);
  EXPECT_EQ(dialog.windowTitle(), "Scale");
  EXPECT_DOUBLE_EQ(dialog.Percent()->value(), 100);
  // Nothing flattens the selection for good.
  dialog.Percent()->setValue(0);
  EXPECT_GT(dialog.Percent()->value(), 0);
  dialog.Percent()->setValue(250);
  dialog.DefaultButton()->click();
  EXPECT_DOUBLE_EQ(dialog.Percent()->value(), 100);
  ASSERT_EQ(library_.Load("QMXFR.DLL"), LoadResult::Loaded);
  EXPECT_EQ(ScaleDialog(library_, nullptr).windowTitle(), "Echelle");
}

TEST_F(ToolsCommandsTest, ScaleIsOneUndoStep) {
  AddBox(*scene_);
  AddBox(*scene_);
  BuildError error;
  ASSERT_TRUE(BuildMove(*scene_, 100, 0, 0, error));
  ASSERT_TRUE(BuildSelect(*scene_, "all", error));
  const Bytes before = MaqFileBytes(*scene_);
  const double apart = *SelectionDistance(*scene_);

  Scale(QDialog::Rejected, 50);
  EXPECT_EQ(MaqFileBytes(*scene_), before);
  EXPECT_FALSE(CanUndo());
  Scale(QDialog::Accepted, 50);
  EXPECT_NEAR(*SelectionDistance(*scene_), apart / 2, 1e-9);
  const Bytes after = MaqFileBytes(*scene_);
  window_->Command(kCmdUndo);
  EXPECT_EQ(MaqFileBytes(*scene_), before);
  EXPECT_FALSE(CanUndo());
  window_->Command(kCmdRedo);
  EXPECT_EQ(MaqFileBytes(*scene_), after);
  // The selection is the scaled one still.
  EXPECT_EQ(scene_->State(0).selection, 1);
  EXPECT_EQ(scene_->State(1).selection, 1);

  // Without a selection no dialog opens and nothing changes.
  ClearSelection(*scene_);
  window_->Command(kCmdUndo);
  ClearSelection(*scene_);
  const Bytes unselected = MaqFileBytes(*scene_);
  window_->Command(kCmdScale);
  EXPECT_EQ(MaqFileBytes(*scene_), unselected);
  EXPECT_FALSE(CanUndo());
}

TEST_F(ToolsCommandsTest, DistanceOfTwoSelectedObjects) {
  AddBox(*scene_);
  AddBox(*scene_);
  BuildError error;
  ASSERT_TRUE(BuildMove(*scene_, 30, 40, 0, error));
  window_->Command(kCmdDistance);
  EXPECT_EQ(reporter_.shown, (std::vector<int>{29}));
  ASSERT_TRUE(BuildSelect(*scene_, "all", error));
  window_->Command(kCmdDistance);
  EXPECT_EQ(reporter_.shown, (std::vector<int>{29, 28}));
}

TEST_F(ToolsCommandsTest, DrawingModesAreTheActiveViewsAndTheMenuShowsThem) {
  window_->Command(kCmdAddWindow);
  ModelView* active = window_->ActiveView();
  EXPECT_TRUE(Checked(kCmdDrawWire));
  window_->Command(kCmdDrawBoxes);
  EXPECT_EQ(active->Mode(), DrawMode::Boxes);
  EXPECT_TRUE(Checked(kCmdDrawBoxes));
  EXPECT_FALSE(Checked(kCmdDrawWire));
  window_->Command(kCmdDrawSplinesSelected);
  EXPECT_EQ(active->Mode(), DrawMode::SplinesSelected);
  EXPECT_FALSE(Checked(kCmdDrawBoxes));
  // The other view keeps its own mode.
  for (ModelView* view : window_->Views()) {
    if (view != active) {
      EXPECT_EQ(view->Mode(), DrawMode::Wire);
    }
  }
}

TEST_F(ToolsCommandsTest, SavedFromSplinesOfTheSelectionTheFileMarksTheOthers) {
  AddBox(*scene_);
  AddBox(*scene_);  // the second one selected
  const fs::path file = dir_ / "MARKED.MAQ";
  chosen_ = file;
  window_->chooseFile = [&](const FileRequest&) -> std::optional<fs::path> { return chosen_; };
  window_->Command(kCmdSaveAs);
  EXPECT_EQ(ReadBytes(file), MaqFileBytes(*scene_));
  window_->Command(kCmdDrawSplinesSelected);
  window_->Command(kCmdSave);
  MaqWriteOptions marked;
  marked.markUnselected = true;
  EXPECT_EQ(ReadBytes(file), MaqFileBytes(*scene_, marked));
  EXPECT_NE(MaqFileBytes(*scene_, marked), MaqFileBytes(*scene_));
}

TEST_F(ToolsCommandsTest, ScrollBarsTurnTheViewOrMoveItsTarget) {
  ModelView* view = window_->ActiveView();
  EXPECT_TRUE(Checked(kCmdScrollBarsTurn));
  window_->Command(kCmdScrollBarsMove);
  EXPECT_TRUE(Checked(kCmdScrollBarsMove));
  EXPECT_FALSE(Checked(kCmdScrollBarsTurn));
  EXPECT_EQ(view->BarRole(), ScrollBarRole::Move);
  view->horizontalScrollBar()->setValue(60);
  view->verticalScrollBar()->setValue(45);
  EXPECT_DOUBLE_EQ(view->Camera().CIBLE[0], 20);
  EXPECT_DOUBLE_EQ(view->Camera().CIBLE[1], 10);
  EXPECT_DOUBLE_EQ(view->Camera().TH, 0);
  // The front view brings the target and the bars back to the centre.
  view->FrontView();
  EXPECT_EQ(view->horizontalScrollBar()->value(), 50);
  window_->Command(kCmdScrollBarsTurn);
  view->horizontalScrollBar()->setValue(60);
  EXPECT_DOUBLE_EQ(view->Camera().TH, 36);
  EXPECT_DOUBLE_EQ(view->Camera().CIBLE[0], 0);
  // A view opened later does what the bars of the others do.
  window_->Command(kCmdScrollBarsMove);
  window_->Command(kCmdAddWindow);
  EXPECT_EQ(window_->Views().back()->BarRole(), ScrollBarRole::Move);
}

TEST_F(ToolsCommandsTest, AboutShowsWhatTheSceneHoldsAndItsLimits) {
  AddBox(*scene_);
  AddBox(*scene_);
  BuildError error;
  LampSettings lamp;
  lamp.position = {5, 8, 10};
  ASSERT_TRUE(BuildLamp(*scene_, lamp, error));
  std::vector<QString> held, most;
  QString memory;
  AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
    auto* info = static_cast<InfoDialog*>(shown);
    for (InfoRow row : {InfoRow::Objects, InfoRow::Points, InfoRow::Faces, InfoRow::Lamps, InfoRow::Maps}) {
      held.push_back(info->Value(row, 0)->text());
      most.push_back(info->Value(row, 1)->text());
    }
    memory = info->FreeMemory()->text();
  });
  window_->Command(kCmdAbout);
  EXPECT_EQ(held, (std::vector<QString>{"2", QString::number(scene_->TotalPoints()), "0", "1", "0"}));
  EXPECT_EQ(most, (std::vector<QString>{"65535", "1200000", "32767 per object", "10", "99"}));
  EXPECT_TRUE(memory.startsWith("Free memory: ")) << memory.toStdString();
  EXPECT_TRUE(memory.endsWith(" KB"));
}

}  // namespace
}  // namespace tessaran
