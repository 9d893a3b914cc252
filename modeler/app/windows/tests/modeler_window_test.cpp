// The modeler's frame: open then save gives the same bytes, a DXF opens
// unnamed, the keyframe commands with their messages and the scene file
// they leave, the six-view limit and the small menu without views, the
// language switch, quit's question, a render request received by a test
// renderer of the link, the environment, dropped files, and `qmx F.MAQ`
// under Xvfb.
#include <signal.h>
#include <sys/wait.h>

#include <QMdiSubWindow>
#include <QMenuBar>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <fstream>
#include <sstream>

#include "link/execute_text.h"
#include "link/instance.h"
#include "link/program_client.h"
#include "modeler/app/batch.h"
#include "modeler/app/windows/model_view.h"
#include "modeler/app/windows/modeler_link.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/geometry/camera.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "scene/maq_file.h"
#include "ui/link_watcher.h"

namespace tessaran {
namespace {

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ModelerWindowTest : public ModelerTest {
 protected:
  // A scene file of a box, a sphere, a lamp and a turned camera.
  fs::path WriteSample(const std::string& name) {
    SceneModel scene;
    AddBox(scene);
    BuildError error;
    EXPECT_TRUE(BuildPrimitive(scene, "sphere", 8, 6, -1, error));
    EXPECT_TRUE(BuildMove(scene, 3, 1, -2, error));
    LampSettings lamp;
    lamp.position = {5, 8, 10};
    EXPECT_TRUE(BuildLamp(scene, lamp, error));
    const Vec3 target{0.5, 0, 0};
    EXPECT_TRUE(BuildCamera(scene, 30, -20, 1.5, 2500, &target, error));
    const fs::path file = dir_ / name;
    EXPECT_EQ(WriteMaq(scene, file), 1);
    return file;
  }
  std::unique_ptr<ModelerWindow> OpenWindow(ModelerLink* link = nullptr) {
    ModelerSettings settings;
    settings.dataDirectory = dir_;
    auto window = std::make_unique<ModelerWindow>(*scene_, library_, settings, link);
    window->chooseFile = [this](const FileRequest& request) -> std::optional<fs::path> {
      requests_.push_back(request);
      if (chosen_.empty()) return std::nullopt;
      return chosen_;
    };
    window->show();
    return window;
  }
  int SceneCount(const fs::path& file) {
    std::string json;
    if (!ModelerFileInfo(file, json)) return -1;
    int count = 0;
    for (std::size_t at = json.find("\"objects\""); at != std::string::npos; at = json.find("\"objects\"", at + 1)) {
      ++count;
    }
    return count;
  }

  fs::path chosen_;
  std::vector<FileRequest> requests_;
};

TEST_F(ModelerWindowTest, OpenThenSaveGivesTheSameBytes) {
  const fs::path original = WriteSample("SAMPLE.MAQ");
  auto window = OpenWindow();
  EXPECT_EQ(window->menuBar()->actions().size(), 3);  // "QMX": no view yet
  ASSERT_TRUE(window->OpenFile(original));
  EXPECT_TRUE(window->Named());
  ASSERT_EQ(window->Views().size(), 1u);
  EXPECT_NEAR(window->Views().front()->Camera().TH, 30, 1e-3);
  EXPECT_EQ(window->windowTitle(), "TESSARAN's Modeler, Model: SAMPLE.MAQ");
  chosen_ = dir_ / "COPY";
  window->Command(kCmdSaveAs);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_.back().title, " Save a model (.MAQ) ");
  EXPECT_EQ(Contents(dir_ / "COPY.MAQ"), Contents(original));
  // "Save" of the named model writes it again, unchanged.
  window->Command(kCmdSave);
  EXPECT_EQ(requests_.size(), 1u);
  EXPECT_EQ(Contents(dir_ / "COPY.MAQ"), Contents(original));
  EXPECT_EQ(window->ScenePath(), dir_ / "COPY.MAQ");

  // Opening over a model asks message 95 first; Cancel keeps the model.
  asker_.answers[95] = Answer::Cancel;
  chosen_ = original;
  window->Command(kCmdOpen);
  EXPECT_EQ(asker_.asked.back(), 95);
  EXPECT_EQ(window->ScenePath(), dir_ / "COPY.MAQ");

  // "New" asks message 4; OK empties the model and resets the cameras.
  window->Command(kCmdNew);
  EXPECT_EQ(asker_.asked.back(), 4);
  EXPECT_EQ(scene_->Header().objectCount, 0);
  EXPECT_FALSE(window->Named());
  EXPECT_DOUBLE_EQ(window->Views().front()->Camera().TH, 0);
  EXPECT_EQ(window->windowTitle(), "TESSARAN's Modeler, Model: No Name");
}

TEST_F(ModelerWindowTest, ADxfFileOpensUnnamedAndABadFileKeepsTheModel) {
  const fs::path original = WriteSample("SAMPLE.MAQ");
  auto window = OpenWindow();
  ASSERT_TRUE(window->OpenFile(original));
  const int objects = scene_->Header().objectCount;
  // A file that is no scene file: message 32, the model as it was.
  std::ofstream(dir_ / "BAD.MAQ") << "not a scene";
  EXPECT_FALSE(window->OpenFile(dir_ / "BAD.MAQ"));
  EXPECT_EQ(scene_->Header().objectCount, objects);
  EXPECT_EQ(window->ScenePath(), original);
  std::ofstream(dir_ / "BAD.DXF") << "no drawing here\n";
  EXPECT_FALSE(window->OpenFile(dir_ / "BAD.DXF"));
  EXPECT_EQ(scene_->Header().objectCount, objects);

  // "Insert" adds the file's objects and keeps the model's name.
  chosen_ = original;
  window->Command(kCmdInsert);
  EXPECT_EQ(requests_.back().title, " Insert a model (.MAQ or .DXF) ");
  EXPECT_EQ(scene_->Header().objectCount, 2 * objects);
  EXPECT_EQ(window->ScenePath(), original);
  requests_.clear();
  chosen_.clear();

  ASSERT_TRUE(window->OpenFile(TESSARAN_TESTDATA "/dxf/r12_single_layer.dxf"));
  EXPECT_EQ(scene_->Header().objectCount, 1);
  EXPECT_EQ(scene_->Faces().Count(), 4);
  EXPECT_FALSE(window->Named());
  // "Save" asks for a scene file rather than writing over the DXF file.
  chosen_ = dir_ / "IMPORTED.MAQ";
  window->Command(kCmdSave);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_TRUE(window->Named());
  EXPECT_EQ(SceneCount(dir_ / "IMPORTED.MAQ"), 1);
}

TEST_F(ModelerWindowTest, KeyframeCommandsShowTheirMessagesAndEditTheFile) {
  const fs::path file = WriteSample("ANIM.MAQ");
  auto window = OpenWindow();
  ASSERT_TRUE(window->OpenFile(file));
  EXPECT_FALSE(window->Actions().at(kCmdKeyframeAdd)->isEnabled());
  window->Command(kCmdAnimation);
  ASSERT_TRUE(window->AnimationMode());
  EXPECT_TRUE(window->Actions().at(kCmdKeyframeAdd)->isEnabled());
  const SceneHeader& h = scene_->Header();
  EXPECT_EQ(h.sceneNumber, 1);
  EXPECT_EQ(h.sceneCount, 1);

  // "Delete" of the only scene: message 14. "Next" on the last: 18.
  window->Command(kCmdKeyframeDelete);
  window->Command(kCmdKeyframeNext);
  EXPECT_EQ(reporter_.shown, (std::vector<int>{14, 18}));
  EXPECT_EQ(h.sceneNumber, 1);

  // Two more scenes, the second with the view turned.
  window->Command(kCmdKeyframeAdd);
  window->Views().front()->Camera().TH = 60;
  window->Command(kCmdKeyframeAdd);
  EXPECT_EQ(h.sceneCount, 3);
  EXPECT_EQ(h.sceneNumber, 3);
  EXPECT_EQ(SceneCount(file), 3);
  EXPECT_EQ(window->windowTitle(), "TESSARAN's Modeler ANIMATION Phase, Frame No 3 From 3, Model: ANIM.MAQ");

  // "Previous" loads scene 2 with its camera; "First" scene 1; "First" again: 16.
  window->Command(kCmdKeyframePrevious);
  EXPECT_EQ(h.sceneNumber, 2);
  EXPECT_NEAR(window->Views().front()->Camera().TH, 30, 1e-3);
  window->Command(kCmdKeyframeLast);
  EXPECT_EQ(h.sceneNumber, 3);
  EXPECT_NEAR(window->Views().front()->Camera().TH, 60, 1e-3);
  window->Command(kCmdKeyframeFirst);
  window->Command(kCmdKeyframeFirst);
  window->Command(kCmdKeyframePrevious);
  EXPECT_EQ(h.sceneNumber, 1);
  EXPECT_EQ(std::vector<int>(reporter_.shown.begin() + 2, reporter_.shown.end()), (std::vector<int>{16, 20}));

  // "Insert" after scene 1, then "Delete" it: the file holds 4, then 3.
  window->Command(kCmdKeyframeInsert);
  EXPECT_EQ(h.sceneNumber, 2);
  EXPECT_EQ(SceneCount(file), 4);
  window->Command(kCmdKeyframeDelete);
  EXPECT_EQ(SceneCount(file), 3);
  EXPECT_EQ(h.sceneCount, 3);

  // "Save" in the animation phase replaces the present scene and keeps the others.
  window->Command(kCmdSave);
  EXPECT_EQ(SceneCount(file), 3);

  // Off: S and c back to 0, the commands greyed.
  window->Command(kCmdAnimation);
  EXPECT_FALSE(window->AnimationMode());
  EXPECT_EQ(h.sceneCount, 0);
  EXPECT_FALSE(window->Actions().at(kCmdKeyframeNext)->isEnabled());
}

TEST_F(ModelerWindowTest, AnUnnamedModelNeedsAFileForTheAnimation) {
  auto window = OpenWindow();
  window->Command(kCmdModeller);
  AddBox(*scene_);
  window->Command(kCmdAnimation);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_.back().title, "ANIMATION Creation (*.MAQ)");
  EXPECT_FALSE(window->AnimationMode());
  chosen_ = dir_ / "NEWANIM.MAQ";
  window->Command(kCmdAnimation);
  EXPECT_TRUE(window->AnimationMode());
  EXPECT_EQ(SceneCount(dir_ / "NEWANIM.MAQ"), 1);
}

TEST_F(ModelerWindowTest, SixViewsAtMostAndTheSmallMenuWithoutThem) {
  auto window = OpenWindow();
  EXPECT_EQ(window->windowTitle(), "TESSARAN DRAWING SYNTHESIS");
  const QList<QAction*> frameMenu = window->menuBar()->actions();
  ASSERT_EQ(frameMenu.size(), 3);
  EXPECT_EQ(frameMenu[0]->text(), "&Modeller");
  window->Command(kCmdModeller);
  for (int i = 1; i < 6; ++i) EXPECT_TRUE(window->AddView());
  EXPECT_FALSE(window->AddView());
  window->Command(kCmdAddWindow);
  EXPECT_EQ(window->Views().size(), 6u);
  EXPECT_FALSE(window->Actions().at(kCmdAddWindow)->isEnabled());
  EXPECT_EQ(window->windowTitle(), "TESSARAN's Modeler, Model: No Name");

  // The active view takes the view commands.
  ModelView* active = window->ActiveView();
  ASSERT_NE(active, nullptr);
  window->Command(kCmdSideView);
  EXPECT_DOUBLE_EQ(active->Camera().TH, 90);
  window->Command(kCmdPerspectiveNo);
  EXPECT_EQ(active->Camera().PERS, kParallelPERS);
  window->Command(kCmdPerspectiveAverage);
  EXPECT_EQ(active->Camera().PERS, kAveragePERS);

  // Closing every view brings back the small menu.
  for (int i = 0; i < 6; ++i) {
    window->Command(kCmdDeleteWindow);
    QApplication::processEvents();
  }
  EXPECT_TRUE(window->Views().empty());
  EXPECT_EQ(window->menuBar()->actions().size(), 3);
}

TEST_F(ModelerWindowTest, LanguageSwitchAndQuitQuestion) {
  auto window = OpenWindow();
  window->Command(kCmdModeller);
  EXPECT_EQ(window->menuBar()->actions().front()->text(), "&File");
  window->Command(kCmdLanguage);
  EXPECT_EQ(window->menuBar()->actions().front()->text(), "&Fichier");
  EXPECT_EQ(window->Actions().at(kCmdQuit)->text(), "&Quitter");
  EXPECT_EQ(window->windowTitle(), "Modeleur TESSARAN, Maquette : Sans Nom");
  // The views' own menu follows the language.
  ASSERT_EQ(window->Views().front()->actions().size(), 6);
  EXPECT_EQ(window->Views().front()->actions().front()->text(), "Déplacement OBJET");
  EXPECT_EQ(window->Views().front()->actions().back()->text(), "Tourner à la souris");
  window->Command(kCmdLanguage);
  EXPECT_EQ(window->Views().front()->actions().front()->text(), "OBJECT Moving");
  EXPECT_EQ(window->Views().front()->actions().back()->text(), "Turn with the mouse");
  EXPECT_EQ(window->Actions().at(kCmdQuit)->text(), "&Quit");

  asker_.answers[3] = Answer::Cancel;
  window->Command(kCmdQuit);
  EXPECT_EQ(asker_.asked.back(), 3);
  EXPECT_TRUE(window->isVisible());
  asker_.answers[3] = Answer::Ok;
  window->Command(kCmdQuit);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(ModelerWindowTest, RenderingSendsTheSavedSceneToTheRenderer) {
  RecordingServer renderer(link::kRendererService), player(link::kPlayerService);
  ASSERT_TRUE(renderer.registered && player.registered);
  const std::unique_ptr<ModelerLink> link = ModelerLink::Start();
  ASSERT_NE(link, nullptr);
  auto window = OpenWindow(link.get());
  window->Command(kCmdModeller);
  // An empty unnamed model only brings the renderer forward.
  window->Command(kCmdRendering);
  EXPECT_TRUE(requests_.empty());
  // An unnamed model: the save dialog of message 90; cancelled: "SHOW".
  AddBox(*scene_);
  window->Command(kCmdRendering);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_.back().title, "Save the Model before calling the Renderer ?");
  // Saved: "RENDER" with its path.
  chosen_ = dir_ / "TORENDER.MAQ";
  window->Command(kCmdRendering);
  EXPECT_EQ(renderer.received,
            (std::vector<std::string>{"SHOW SHOW", "SHOW SHOW", "RENDER " + (dir_ / "TORENDER.MAQ").string()}));
  EXPECT_EQ(SceneCount(dir_ / "TORENDER.MAQ"), 1);
  // A path with a blank would reach the renderer cut: refused, nothing sent.
  fs::create_directories(dir_ / "with blank");
  chosen_ = dir_ / "with blank" / "B.MAQ";
  window->Command(kCmdSaveAs);
  AnswerNextBox(QMessageBox::Ok);
  window->Command(kCmdRendering);
  EXPECT_EQ(renderer.received.size(), 3u);
  // "Playing" brings the player forward.
  window->Command(kCmdPlaying);
  EXPECT_EQ(player.received, (std::vector<std::string>{"SHOW SHOW"}));
}

std::vector<std::string> Lines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Without a running renderer, "Rendering" starts the program directory's
// renderer (here the link's test server) and sends it the scene; quitting
// the modeler sends "QUIT" to the renderer it started.
TEST_F(ModelerWindowTest, RenderingStartsTheRendererAndQuitEndsIt) {
  fs::create_directories(dir_ / "bin");
  std::ofstream(dir_ / "config" / "TESSARAN.INI") << "[TESSARAN]\nCHEMIN=" << (dir_ / "bin").string() << "\n";
  const fs::path log = dir_ / "renderer.log", pidFile = dir_ / "renderer.pid";
  {
    std::ofstream script(dir_ / "bin" / "rz");
    script << "#!/bin/sh\necho $$ > '" << pidFile.string() << "'\nexec '" << LINK_TEST_SERVER
           << "' --renderer --log '" << log.string() << "' \"$@\" 2>/dev/null\n";
  }
  fs::permissions(dir_ / "bin" / "rz", fs::perms::owner_all);
  const fs::path file = WriteSample("STARTED.MAQ");

  std::unique_ptr<ModelerLink> link = ModelerLink::Start();
  ASSERT_NE(link, nullptr);
  auto window = OpenWindow(link.get());
  ASSERT_TRUE(window->OpenFile(file));
  window->Command(kCmdRendering);
  EXPECT_TRUE(Has(Lines(log), "dialog " + file.string()));

  window->Command(kCmdQuit);
  EXPECT_EQ(asker_.asked.back(), 3);
  EXPECT_FALSE(window->isVisible());
  window.reset();
  link.reset();
  for (int i = 0; i < 250 && !Has(Lines(log), "close"); ++i) QTest::qWait(20);
  EXPECT_TRUE(Has(Lines(log), "close"));
  // Should it have missed the QUIT, the server goes all the same.
  std::ifstream in(pidFile);
  pid_t pid = 0;
  if (in >> pid && pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

TEST_F(ModelerWindowTest, EnvironmentSelectionAndDroppedFiles) {
  const fs::path file = WriteSample("DROPPED.MAQ");
  auto window = OpenWindow();
  // A dropped scene file opens; another file is refused.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir_ / "NOTES.TXT").string())),
                QUrl::fromLocalFile(QString::fromStdString(file.string()))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(window->ScenePath(), file);
  ASSERT_EQ(window->Views().size(), 1u);

  // "Select All", then the view commands on the active view.
  for (int k = 0; k < scene_->Header().objectCount; ++k) scene_->State(k).selection = 0;
  window->Command(kCmdSelectAll);
  EXPECT_EQ(scene_->State(0).selection, 1);
  EXPECT_EQ(scene_->State(1).selection, 1);
  window->Command(kCmdTopView);
  window->Command(kCmdZoomIn);
  window->AddView();

  // "Environment" writes the first view's camera and the frame's settings.
  window->Command(kCmdEnvironment);
  EXPECT_EQ(asker_.asked.back(), 7);
  const ModelerSettings settings = ReadModelerSettings();
  EXPECT_EQ(settings.views, 2);
  ViewCamera camera;
  LoadViewSettings(camera);
  EXPECT_DOUBLE_EQ(camera.PH, -90);
  EXPECT_DOUBLE_EQ(camera.zoom, 3);

  // More views than the frame holds are not opened.
  std::ofstream(dir_ / "config" / "TESSARAN.INI") << "[Q1_ENV]\nNbWin=40\n";
  EXPECT_EQ(ReadModelerSettings().views, 6);
}

bool OnPath(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// `qmx F.MAQ` under Xvfb opens the file in its view and draws it.
TEST_F(ModelerWindowTest, QmxDrawsTheModelItOpensUnderXvfb) {
  if (!OnPath("xvfb-run") || !OnPath("xdotool") || !OnPath("import")) GTEST_SKIP() << "Xvfb tools missing";
  const fs::path file = WriteSample("SHOWN.MAQ");
  const fs::path capture = dir_ / "capture.ppm";
  const fs::path script = dir_ / "xvfb.sh";
  std::ofstream(script) << "export QT_QPA_PLATFORM=xcb\n"
                        << "'" << QMX_PROGRAM << "' '" << file.string() << "' &\n"
                        << "pid=$!\n"
                        << "for i in $(seq 1 100); do id=$(xdotool search --name 'SHOWN.MAQ' | head -1); "
                        << "[ -n \"$id\" ] && break; sleep 0.1; done\n"
                        << "sleep 1\n"
                        << "import -depth 8 -window root '" << capture.string() << "'\n"
                        << "kill $pid\n";
  const std::string command =
      "timeout 60 xvfb-run -a -s '-screen 0 1280x1024x24' bash '" + script.string() + "' >/dev/null 2>&1";
  std::system(command.c_str());
  QImage image(QString::fromStdString(capture.string()));
  ASSERT_FALSE(image.isNull());
  int wire = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c == kWireColour || c == kSelectedColour) ++wire;
    }
  }
  EXPECT_GT(wire, 500);
}

}  // namespace
}  // namespace tessaran
