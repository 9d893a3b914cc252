// The "Primitives" commands: each primitive made through its dialog gives
// the scene `qmx --batch` makes with the same values; "Minimum" and the
// boxes' lower bounds.
#include <QPushButton>
#include <QSpinBox>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/primitive_dialog.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class PrimitiveTest : public ModelerTest {};

TEST_F(PrimitiveTest, EachPrimitiveOfTheDialogIsTheBatchOne) {
  ModelerSettings settings;
  settings.dataDirectory = dir_;
  ModelerWindow window(*scene_, library_, settings);
  window.show();
  window.Command(kCmdModeller);
  struct Made {
    int command;
    const char* batch;
    int u, v, top;  // top < 0: a dialog without it
  };
  const Made made[] = {{kCmdPlan, "plan", 3, 2, -1},     {kCmdBox, "box", 8, 6, 50},
                       {kCmdDisc, "disc", 6, 1, -1},     {kCmdCylinder, "cylinder", 12, 8, 0},
                       {kCmdSphere, "sphere", 16, 9, -1}, {kCmdRing, "ring", 10, 6, 45}};
  std::string batch;
  for (const Made& m : made) {
    AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
      auto& dialog = *static_cast<PrimitiveDialog*>(shown);
      dialog.Horizontal()->setValue(m.u);
      dialog.Vertical()->setValue(m.v);
      EXPECT_EQ(dialog.Top() != nullptr, m.top >= 0) << m.batch;
      if (dialog.Top()) dialog.Top()->setValue(m.top);
    });
    window.Command(m.command);
    batch += std::string(" --primitive ") + m.batch + " " + std::to_string(m.u) + " " + std::to_string(m.v);
    if (m.top >= 0) batch += " " + std::to_string(m.top);
  }
  // A cancelled dialog makes nothing.
  AnswerNextDialog(QDialog::Rejected);
  window.Command(kCmdSphere);
  ASSERT_EQ(scene_->Header().objectCount, 6);
  // The last one made is the selection.
  EXPECT_EQ(scene_->State(5).selection, 1);
  EXPECT_EQ(scene_->State(4).selection, 0);
  const fs::path fromWindow = dir_ / "WINDOW.MAQ", fromBatch = dir_ / "BATCH.MAQ";
  ASSERT_EQ(WriteMaq(*scene_, fromWindow), 1);
  const std::string command = std::string("'") + QMX_PROGRAM + "' --batch" + batch + " --save '" +
                              fromBatch.string() + "' 2>'" + (dir_ / "batch.err").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << Contents(dir_ / "batch.err");
  EXPECT_EQ(Contents(fromWindow), Contents(fromBatch));
}

TEST_F(PrimitiveTest, MinimumAndTheLowestMeshing) {
  // "MAILLE": 10 × 20; "Minimum" sets 4 and 1 for a disc, 4 and 4 for a sphere.
  PrimitiveDialog disc(library_, Primitive::Disc, nullptr);
  EXPECT_EQ(disc.windowTitle(), "Disc Meshing");
  EXPECT_EQ(disc.Horizontal()->value(), 10);
  EXPECT_EQ(disc.Vertical()->value(), 20);
  disc.MinimumButton()->click();
  EXPECT_EQ(disc.Horizontal()->value(), 4);
  EXPECT_EQ(disc.Vertical()->value(), 1);
  PrimitiveDialog sphere(library_, Primitive::Sphere, nullptr);
  sphere.MinimumButton()->click();
  EXPECT_EQ(sphere.Vertical()->value(), 4);
  // "PRIM" starts at 2 × 2 where the primitive allows it, the top at 100 %;
  // a box is made with no fewer than 4 × 3 and its boxes go no lower.
  PrimitiveDialog plan(library_, Primitive::Plan, nullptr);
  EXPECT_EQ(plan.Horizontal()->value(), 2);
  PrimitiveDialog box(library_, Primitive::Box, nullptr);
  EXPECT_EQ(box.Horizontal()->value(), 4);
  EXPECT_EQ(box.Vertical()->value(), 3);
  EXPECT_EQ(box.Top()->value(), 100);
  box.Vertical()->setValue(1);
  EXPECT_EQ(box.Vertical()->value(), 3);
  PrimitiveDialog ring(library_, Primitive::Ring, nullptr);
  EXPECT_EQ(ring.Top()->value(), 30);
}

}  // namespace
}  // namespace tessaran
