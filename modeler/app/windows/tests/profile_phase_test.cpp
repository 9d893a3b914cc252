// The 2D phase: its menu and title, the profile drawn with "Polygon" and the
// mouse, kept from one phase to the next, saved and opened as a profile
// file; the sweeps through "EXTRUDE" and "PIVOT" give the scene `qmx
// --batch` makes with the same values, and each is a step of "Undo".
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/profile_values_dialog.h"
#include "modeler/app/windows/profile_view.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

using Points = std::vector<ProfilePoint>;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ProfilePhaseTest : public ModelerWindowFixture {
 protected:
  void SetUp() override {
    ModelerWindowFixture::SetUp();
    window_->chooseFile = [this](const FileRequest& request) -> std::optional<fs::path> {
      requests_.push_back(request);
      return chosen_;
    };
  }
  ProfileView& Enter() {
    window_->Command(kCmdProfileBase);
    EXPECT_NE(window_->ProfileEditor(), nullptr);
    return *window_->ProfileEditor();
  }
  ProfileView& View() { return *window_->ProfileEditor(); }
  QPoint At(ProfilePoint p) { return View().ToWindow({double(p[0]), double(p[1])}).toPoint(); }
  void Click(ProfilePoint p, Qt::MouseButton button = Qt::LeftButton) { QTest::mouseClick(&View(), button, {}, At(p)); }
  // A dialog of the phase answered with these values.
  void Values(int command, int first, int second) {
    AnswerNextDialog(QDialog::Accepted, [=](QDialog* shown) {
      static_cast<ProfileValuesDialog*>(shown)->First()->setValue(first);
      static_cast<ProfileValuesDialog*>(shown)->Second()->setValue(second);
    });
    window_->Command(command);
  }
  const Points& Shape() const { return window_->Profile().points; }
  // `qmx --batch` with `operations`, its scene file.
  std::string Batch(const std::string& operations) {
    const fs::path out = dir_ / "BATCH.MAQ";
    const std::string command = std::string("'") + QMX_PROGRAM + "' --batch " + operations + " --save '" +
                                out.string() + "' 2>'" + (dir_ / "batch.err").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << Contents(dir_ / "batch.err");
    return Contents(out);
  }
  std::string SceneFile() {
    const fs::path file = dir_ / "WINDOW.MAQ";
    EXPECT_EQ(WriteMaq(*scene_, file), 1);
    return Contents(file);
  }

  std::optional<fs::path> chosen_;
  std::vector<FileRequest> requests_;
};

TEST_F(ProfilePhaseTest, ThePhaseHasItsMenuAndTitleAndKeepsTheProfile) {
  Enter();
  EXPECT_TRUE(window_->Actions().count(kCmdPolygon));
  EXPECT_FALSE(window_->Actions().count(kCmdNew));
  // The profile covers the whole view; the scroll bars that turn its camera are gone.
  ModelView& host = *window_->ActiveView();
  EXPECT_EQ(View().geometry(), host.rect());
  EXPECT_EQ(host.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(window_->Actions().at(kCmdPivot)->isEnabled());
  EXPECT_EQ(window_->windowTitle(), "TESSARAN's Modeler, 2D Phase, Zoom: 100 %");
  Values(kCmdPolygon, 6, 40);
  ASSERT_EQ(Shape().size(), 7u);
  // "Zoom": a left click doubles round the point, a right click halves.
  window_->Command(kCmdProfileZoom);
  Click({20, 0});
  EXPECT_EQ(window_->windowTitle(), "TESSARAN's Modeler, 2D Phase, Zoom: 200 %");
  EXPECT_LE((At({20, 0}) - QPoint(View().width() / 2, View().height() / 2)).manhattanLength(), 2);
  Click({0, 0}, Qt::RightButton);
  EXPECT_EQ(View().ZoomPercent(), 100);
  window_->Command(kCmdProfileQuit);
  EXPECT_EQ(window_->ProfileEditor(), nullptr);
  EXPECT_EQ(host.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(window_->Actions().count(kCmdNew));
  EXPECT_EQ(window_->windowTitle(), "TESSARAN's Modeler, Model: No Name");
  const Points kept = Shape();
  Enter();
  EXPECT_EQ(Shape(), kept);
  // The language switch keeps the phase's menu.
  window_->Command(kCmdLanguage);
  EXPECT_TRUE(window_->Actions().count(kCmdPolygon));
  EXPECT_FALSE(window_->Actions().count(kCmdNew));
  // Closing the view drawn over ends the phase.
  window_->Views().front()->parentWidget()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window_->ProfileEditor(), nullptr);
  EXPECT_TRUE(window_->Actions().count(kCmdModeller));
}

TEST_F(ProfilePhaseTest, PolygonAndTheMouseDrawTheProfile) {
  Enter();
  Values(kCmdPolygon, 4, 100);
  EXPECT_EQ(Shape(), (Points{{50, 0}, {0, 50}, {-50, 0}, {0, -50}, {50, 0}}));
  // Cancelled questions keep the profile.
  asker_.answers[24] = Answer::Cancel;
  asker_.answers[23] = Answer::Cancel;
  window_->Command(kCmdPolygon);
  window_->Command(kCmdProfileNew);
  EXPECT_EQ(asker_.asked, (std::vector<int>{24, 23}));
  EXPECT_EQ(Shape().size(), 5u);
  // "Modify": the point dragged; the first one takes the closing one along.
  window_->Command(kCmdProfileModify);
  QTest::mousePress(&View(), Qt::LeftButton, {}, At({0, 50}));
  QTest::mouseMove(&View(), At({5, 60}));
  QTest::mouseRelease(&View(), Qt::LeftButton, {}, At({10, 70}));
  QTest::mousePress(&View(), Qt::LeftButton, {}, At({50, 0}));
  QTest::mouseRelease(&View(), Qt::LeftButton, {}, At({60, 0}));
  EXPECT_EQ(Shape(), (Points{{60, 0}, {10, 70}, {-50, 0}, {0, -50}, {60, 0}}));
  // "Add" on a segment goes between its ends; "Delete" takes a point away.
  window_->Command(kCmdProfileAdd);
  Click({35, 35});
  window_->Command(kCmdProfileDelete);
  Click({-50, 0});
  Click({200, 200});  // no point there
  EXPECT_EQ(Shape(), (Points{{60, 0}, {35, 35}, {10, 70}, {0, -50}, {60, 0}}));
  // Saved with the extension added, read back equal.
  chosen_ = dir_ / "SHAPE";
  window_->Command(kCmdProfileSave);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].title, "Save the profile in ASCII mode (*.TXT)");
  EXPECT_TRUE(requests_[0].save);
  EXPECT_EQ(Contents(dir_ / "SHAPE.TXT"), ProfileText(window_->Profile()));
  const Points saved = Shape();
  asker_.answers[23] = Answer::Ok;
  window_->Command(kCmdProfileNew);
  EXPECT_TRUE(Shape().empty());
  chosen_ = dir_ / "SHAPE.TXT";
  window_->Command(kCmdProfileOpen);
  EXPECT_EQ(requests_.back().title, "Open a Profile file");
  EXPECT_EQ(Shape(), saved);
}

TEST_F(ProfilePhaseTest, BadFilesAndUnusableProfilesChangeNothing) {
  Enter();
  Values(kCmdPolygon, 5, 30);
  const Points polygon = Shape();
  std::ofstream(dir_ / "EMPTY.TXT") << "/* nothing\nListepoint 0\nFinListe\n";
  chosen_ = dir_ / "EMPTY.TXT";
  window_->Command(kCmdProfileOpen);
  chosen_ = dir_ / "MISSING.TXT";
  window_->Command(kCmdProfileOpen);
  EXPECT_EQ(reporter_.shown, (std::vector<int>{35, 32}));
  EXPECT_EQ(Shape(), polygon);
  // A save that cannot be written says so and leaves no file.
  chosen_ = dir_ / "NO-FOLDER" / "P.TXT";
  window_->Command(kCmdProfileSave);
  EXPECT_EQ(reporter_.shown.back(), 32);
  EXPECT_FALSE(fs::exists(dir_ / "NO-FOLDER"));

  // Two points, then three on one spot: the sweeps refuse without a dialog.
  const Bytes empty = MaqFileBytes(*scene_);
  window_->Command(kCmdProfileNew);
  window_->Command(kCmdProfileAdd);
  Click({0, 0});
  Click({30, 0});
  reporter_.shown.clear();
  for (int command : {kCmdStraight, kCmdPivot, kCmdPath}) window_->Command(command);
  window_->Command(kCmdProfileNew);
  window_->Command(kCmdProfileAdd);
  for (int i = 0; i < 3; ++i) Click({10, 10});
  window_->Command(kCmdStraight);
  EXPECT_EQ(reporter_.shown, (std::vector<int>{36, 36, 36, 35}));
  EXPECT_EQ(View().Tool(), ProfileTool::Add);
  EXPECT_EQ(MaqFileBytes(*scene_), empty);
  window_->Command(kCmdProfileQuit);
  EXPECT_FALSE(window_->Actions().at(kCmdUndo)->isEnabled());
}

TEST_F(ProfilePhaseTest, SweepsAreTheBatchOnesAndStepsOfUndo) {
  AddBox(*scene_);
  Enter();
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto& dialog = *static_cast<ProfileValuesDialog*>(shown);
    EXPECT_EQ(dialog.First()->value(), 12);
    EXPECT_EQ(dialog.Second()->value(), 50);
  });
  window_->Command(kCmdPolygon);
  chosen_ = dir_ / "P.TXT";
  window_->Command(kCmdProfileSave);
  std::vector<Bytes> states{MaqFileBytes(*scene_)};

  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto& dialog = *static_cast<ProfileValuesDialog*>(shown);
    EXPECT_EQ(dialog.windowTitle(), "Extrusion");
    EXPECT_EQ(dialog.First()->value(), 100);
    EXPECT_EQ(dialog.Second()->value(), 4);
    dialog.First()->setValue(60);
    dialog.Second()->setValue(3);
  });
  window_->Command(kCmdStraight);
  states.push_back(MaqFileBytes(*scene_));
  ASSERT_EQ(scene_->Header().objectCount, 2);
  EXPECT_EQ(scene_->State(0).selection, 0);
  EXPECT_EQ(scene_->State(1).selection, 1);

  // "Pivot": the axis placed with the mouse, then "PIVOT".
  window_->Command(kCmdPivot);
  EXPECT_EQ(View().Tool(), ProfileTool::Axis);
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    auto& dialog = *static_cast<ProfileValuesDialog*>(shown);
    EXPECT_EQ(dialog.First()->value(), 360);
    EXPECT_EQ(dialog.Second()->value(), 4);
    dialog.First()->setValue(180);
    dialog.Second()->setValue(6);
  });
  Click({-80, 10});
  states.push_back(MaqFileBytes(*scene_));
  EXPECT_EQ(View().Tool(), ProfileTool::Modify);

  // "Path": the path drawn with clicks, ended with the right button.
  window_->Command(kCmdPath);
  EXPECT_EQ(window_->windowTitle(), "TESSARAN's Modeler, 2D Phase, EXTRUDE + TRAJECTORY Mode");
  const Profile2D path{{{-100, 0}, {-40, -60}, {40, -60}, {100, 0}, {140, 80}}};
  for (const ProfilePoint& p : path.points) Click(p);
  EXPECT_EQ(View().Path().points, path.points);
  ASSERT_EQ(WriteProfileFile(dir_ / "PATH.TXT", path), 1);
  // A cancelled dialog keeps the path and makes nothing.
  AnswerNextDialog(QDialog::Rejected);
  Click({0, 0}, Qt::RightButton);
  EXPECT_EQ(scene_->Header().objectCount, 3);
  EXPECT_EQ(View().Path().points.size(), 5u);
  AnswerNextDialog(QDialog::Accepted, [](QDialog* shown) {
    static_cast<ProfileValuesDialog*>(shown)->First()->setValue(40);
    static_cast<ProfileValuesDialog*>(shown)->Second()->setValue(2);
  });
  Click({0, 0}, Qt::RightButton);
  ASSERT_EQ(scene_->Header().objectCount, 4);
  EXPECT_TRUE(View().Path().points.empty());
  states.push_back(MaqFileBytes(*scene_));

  EXPECT_EQ(SceneFile(), Batch("--primitive box 4 3 --profile '" + (dir_ / "P.TXT").string() +
                               "' --extrude 60 3 --pivot -80 180 6 --path-extrude '" +
                               (dir_ / "PATH.TXT").string() + "' 40 2"));
  window_->Command(kCmdProfileQuit);
  for (std::size_t i = states.size() - 1; i > 0; --i) {
    window_->Command(kCmdUndo);
    EXPECT_EQ(MaqFileBytes(*scene_), states[i - 1]) << i;
  }
  for (std::size_t i = 1; i < states.size(); ++i) {
    window_->Command(kCmdRedo);
    EXPECT_EQ(MaqFileBytes(*scene_), states[i]) << i;
  }
}

TEST_F(ProfilePhaseTest, MinimumButtons) {
  const std::pair<const ProfileValuesForm*, std::array<int, 4>> forms[] = {
      {&kPolygonForm, {12, 50, 3, 10}}, {&kExtrudeForm, {100, 4, 0, 1}}, {&kPivotForm, {360, 4, 10, 4}}};
  for (const auto& [form, values] : forms) {
    ProfileValuesDialog dialog(library_, *form, nullptr);
    EXPECT_EQ(dialog.First()->value(), values[0]) << form->dialog;
    EXPECT_EQ(dialog.Second()->value(), values[1]) << form->dialog;
    dialog.First()->setValue(values[0] - 1);
    dialog.MinimumButton()->click();
    EXPECT_EQ(dialog.First()->value(), values[2]) << form->dialog;
    EXPECT_EQ(dialog.Second()->value(), values[3]) << form->dialog;
    EXPECT_EQ(dialog.MinimumButton()->text(), "&Minimum");
  }
}

}  // namespace
}  // namespace tessaran
