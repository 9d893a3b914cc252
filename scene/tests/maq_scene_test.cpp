// The renderer's reader, the scene-list edits and the keyframe commands on
// files of several scenes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>

#include "scene/keyframes.h"
#include "scene/maq_file.h"
#include "scene/maq_scene.h"
#include "scene/scene_list.h"
#include "scene/tests/maq_samples.h"

namespace tessaran {
namespace {

using namespace testing_maq;

// A file of three scenes whose first object lies at x = 0, 100, 200 and
// whose scene k has k + 1 grid objects.
std::filesystem::path ThreeScenes(const TempDir& dir, SceneModel& scene) {
  const auto file = dir / "ANIM.MAQ";
  BuildRichScene(scene);
  Keyframes keys(scene, file);
  EXPECT_EQ(keys.AnimationOn(), 1);
  for (int k = 1; k < 3; ++k) {
    scene.Frames().AbsOrigin(0)[0] = 100.0 * k;
    AddGrid(scene, 1, 2, float(k));
    EXPECT_EQ(keys.Add(), 1);
  }
  EXPECT_EQ(scene.Header().sceneCount, 3);
  EXPECT_EQ(scene.Header().sceneNumber, 3);
  return file;
}

TEST(MaqScenes, TheRendererReadsEveryScene) {
  TempDir dir;
  SceneModel scene;
  const auto path = ThreeScenes(dir, scene);
  MaqSceneFile file;
  ASSERT_EQ(file.Open(path), MaqStatus::Ok);
  ASSERT_EQ(file.SceneCount(), 3);
  for (int k = 1; k <= 3; ++k) {
    MaqScene read;
    ASSERT_EQ(ReadMaq(file, k, read), MaqStatus::Ok) << file.Problem();
    EXPECT_EQ(read.sceneNumber, k);
    EXPECT_EQ(read.objectCount, 2 + k);
    EXPECT_NEAR(read.frames[0].absOrigin[0], k == 1 ? 0.70711 : 100.0 * (k - 1), 1e-9);
    EXPECT_EQ(read.objects[2].FaceGroup(), 1);
    // Faces, maps and assignments come with the first scene only.
    EXPECT_EQ(read.faces.size(), k == 1 ? 2u : 0u);
    EXPECT_EQ(read.maps.size(), k == 1 ? 2u : 0u);
    ASSERT_EQ(read.lamps.size(), 2u);
    EXPECT_EQ(read.lamps[0].intensity, 500);
    EXPECT_TRUE(read.lamps[0].castsShadows);
    // Stored as 250: intensity 50, no shadows.
    EXPECT_EQ(read.lamps[1].intensity, 500);
    EXPECT_FALSE(read.lamps[1].castsShadows);
    EXPECT_EQ(read.lamps[1].aperture, 90);
    EXPECT_NEAR(read.camera.distance, 40, 1e-9);
    EXPECT_NEAR(read.camera.TH, 30 * 0.01745329252, 1e-5);
  }
  EXPECT_EQ(ReadMaq(file, 4, *std::make_unique<MaqScene>()), MaqStatus::Missing);
  // Out of turn: scene 3 again, then scene 2, from the start.
  MaqScene read;
  ASSERT_EQ(ReadMaq(file, 2, read), MaqStatus::Ok);
  EXPECT_EQ(read.objectCount, 4);
}

// The older renderer layouts: a 64-byte CMRA and 216-byte frames of
// little-endian doubles and integers.
TEST(MaqScenes, TheRendererAcceptsTheOlderCameraAndFrameLayouts) {
  SceneModel scene;
  AddGrid(scene, 2, 1, 0);
  scene.SceneLamps().SetCount(1);
  SetLampIntensity(scene.SceneLamps().Params(0), 150, true);  // above 100
  scene.SceneLamps().Params(0).aperture = 400;
  auto chunks = Flatten(MaqFileBytes(scene));
  auto doubles = [](std::initializer_list<double> values) {
    Bytes out;
    ByteWriter w(out);
    for (double v : values) {
      const auto bits = std::bit_cast<std::uint64_t>(v);
      w.U32LE(static_cast<std::uint32_t>(bits));
      w.U32LE(static_cast<std::uint32_t>(bits >> 32));
    }
    return out;
  };
  Find(chunks, "CMRA")->data = doubles({55, 600, 0.5, -0.25, 1, 2, 3, 0});
  auto frame = [&](double x, int id, int parent) {
    Bytes out = doubles({x, 2, 3, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    ByteWriter w(out);
    w.U32LE(1);
    w.U32LE(static_cast<std::uint32_t>(id));
    w.U32LE(0);
    w.Append(doubles({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}));
    w.U32LE(static_cast<std::uint32_t>(parent));
    w.Zeros(8);
    return out;
  };
  Find(chunks, "REPO")->data = frame(7.5, 0, -1);
  Bytes lamp = frame(-4, 65536, 0);
  ByteWriter(lamp).U16BE(0x0FFF);
  ByteWriter(lamp).U16BE(150);
  ByteWriter(lamp).U16BE(400);
  ByteWriter(lamp).U16BE(0);
  Find(chunks, "LAMP")->data = lamp;

  MaqSceneFile file;
  ASSERT_EQ(file.OpenBytes(Rebuild(chunks)), MaqStatus::Ok);
  MaqScene read;
  ASSERT_EQ(ReadMaq(file, 1, read), MaqStatus::Ok) << file.Problem();
  EXPECT_DOUBLE_EQ(read.camera.distance, 55);
  EXPECT_DOUBLE_EQ(read.camera.PH, -0.25);
  EXPECT_DOUBLE_EQ(read.camera.target[2], 3);
  ASSERT_EQ(read.frames.size(), 1u);
  EXPECT_DOUBLE_EQ(read.frames[0].absOrigin[0], 7.5);
  ASSERT_EQ(read.lamps.size(), 1u);
  EXPECT_EQ(read.lamps[0].frame.parentId, 0);
  EXPECT_EQ(read.lamps[0].intensity, 1000);
  EXPECT_EQ(read.lamps[0].aperture, 360);
  EXPECT_TRUE(read.lamps[0].castsShadows);
}

TEST(MaqScenes, DeletingTheFirstSceneMovesTheFacesToTheNewFirst) {
  TempDir dir;
  SceneModel scene;
  const auto path = ThreeScenes(dir, scene);
  ASSERT_EQ(DeleteScene(path, 1), 2);
  Bytes bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  std::vector<std::string> tags;
  for (const FlatChunk& c : Flatten(bytes)) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"FORM:TSRN", "FORM:TSHD", "MAPX", "LSTM", "SCHD",
                                            "FORM:TSSC", "SCEN", "CMRA", "REPO", "LAMP", "OBJE", "FACE", "PTSX",
                                            "FORM:TSSC", "SCEN", "CMRA", "REPO", "LAMP", "OBJE", "PTSX"}));
  auto chunks = Flatten(bytes);
  EXPECT_EQ(GetI16(Find(chunks, "SCHD")->data, 0), 2);
  ByteReader size(bytes);
  size.Skip(4);
  EXPECT_EQ(size.U32BE(), bytes.size() - 8);

  MaqSceneFile file;
  ASSERT_EQ(file.Open(path), MaqStatus::Ok);
  MaqScene read;
  ASSERT_EQ(ReadMaq(file, 1, read), MaqStatus::Ok);
  EXPECT_EQ(read.objectCount, 4);  // the former scene 2
  EXPECT_EQ(read.faces.size(), 2u);
  ASSERT_EQ(ReadMaq(file, 2, read), MaqStatus::Ok);
  EXPECT_EQ(read.objectCount, 5);
  EXPECT_FALSE(std::filesystem::exists(dir / "qmx.tmp"));

  // Scenes inserted and replaced in the middle carry no faces.
  SceneModel other;
  AddGrid(other, 1, 1, 0);
  EXPECT_EQ(InsertScene(path, 2, other), 3);
  EXPECT_EQ(ReplaceScene(path, 3, other), 3);
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  int faces = 0;
  for (const FlatChunk& c : Flatten(bytes)) faces += c.tag == "FACE";
  EXPECT_EQ(faces, 1);
  ASSERT_EQ(file.Open(path), MaqStatus::Ok);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(ReadMaq(file, k, read), MaqStatus::Ok) << k;
  EXPECT_EQ(read.objectCount, 1);
}

TEST(MaqScenes, AFullDiskLeavesTheEditedFileUntouched) {
  TempDir dir;
  SceneModel scene;
  const auto path = ThreeScenes(dir, scene);
  Bytes before;
  ASSERT_TRUE(ReadWholeFile(path, before));
  const pid_t child = fork();
  if (child == 0) {
    MessageLog log;
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const int count = InsertScene(path, 2, scene);
    _exit(count == 0 && log.numbers == std::vector<int>{33} ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  Bytes after;
  ASSERT_TRUE(ReadWholeFile(path, after));
  EXPECT_EQ(after, before);
  EXPECT_FALSE(std::filesystem::exists(dir / "qmx.tmp"));
}

TEST(MaqScenes, KeyframeCommandsMoveBetweenScenesAndReportRefusals) {
  TempDir dir;
  SceneModel scene;
  const auto path = ThreeScenes(dir, scene);
  Keyframes keys(scene, path);
  MessageLog log;
  EXPECT_EQ(keys.Next(), 0);  // at the last scene
  EXPECT_EQ(keys.Last(), 0);
  ASSERT_EQ(keys.First(), 1);
  EXPECT_EQ(scene.Header().sceneNumber, 1);
  EXPECT_EQ(scene.Header().objectCount, 3);
  EXPECT_EQ(keys.First(), 0);
  EXPECT_EQ(keys.Previous(), 0);
  ASSERT_EQ(keys.Next(), 1);
  EXPECT_EQ(scene.Header().objectCount, 4);
  EXPECT_NEAR(scene.Frames().AbsOrigin(0)[0], 100, 1e-9);
  EXPECT_EQ(scene.Faces().Count(), 2);  // the first scene's faces serve every scene
  ASSERT_EQ(keys.Last(), 1);
  ASSERT_EQ(keys.Previous(), 1);
  EXPECT_EQ(scene.Header().sceneNumber, 2);
  EXPECT_EQ(log.numbers, (std::vector<int>{18, 22, 16, 20}));
  EXPECT_EQ(log.kinds[0], MessageKind::Information);

  // Insert after scene 2, then modify it: scene 3 is the model.
  AddGrid(scene, 1, 1, 0);
  ASSERT_EQ(keys.Insert(), 1);
  EXPECT_EQ(scene.Header().sceneNumber, 3);
  EXPECT_EQ(scene.Header().sceneCount, 4);
  scene.View().TH = 12;
  ASSERT_EQ(keys.Modify(), 1);
  // Delete the last: the new last is loaded.
  ASSERT_EQ(keys.Last(), 1);
  ASSERT_EQ(keys.Delete(), 1);
  EXPECT_EQ(scene.Header().sceneCount, 3);
  EXPECT_EQ(scene.Header().sceneNumber, 3);
  EXPECT_EQ(scene.Header().objectCount, 5);
  EXPECT_NEAR(scene.View().TH, 12, 1e-4);
  ASSERT_EQ(keys.Delete(), 1);
  ASSERT_EQ(keys.Delete(), 1);
  EXPECT_EQ(scene.Header().sceneCount, 1);
  log.numbers.clear();
  EXPECT_EQ(keys.Delete(), 0);
  EXPECT_EQ(log.numbers, (std::vector<int>{14}));

  // A scene that cannot be read: the failure message after the reader's.
  std::filesystem::resize_file(path, 60);
  scene.Header().sceneCount = 3;
  log.numbers.clear();
  EXPECT_EQ(keys.Next(), 0);
  EXPECT_EQ(keys.Insert(), 0);
  EXPECT_EQ(log.numbers, (std::vector<int>{32, 17, 32, 13}));
  EXPECT_EQ(log.kinds.back(), MessageKind::Warning);
}

}  // namespace
}  // namespace tessaran
