// The scene file written by the modeler and read back by both readers.
#include <gtest/gtest.h>

#include <functional>

#include "scene/maq_file.h"
#include "scene/maq_scene.h"
#include "scene/tests/maq_samples.h"

namespace tessaran {
namespace {

using namespace testing_maq;

ByteReader At(const Bytes& bytes, std::size_t offset) {
  ByteReader r(bytes);
  r.Seek(offset);
  return r;
}

TEST(MaqFile, WrittenReadAndWrittenAgainIsByteIdentical) {
  SceneModel scene;
  BuildRichScene(scene);
  const Bytes first = MaqFileBytes(scene);

  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, first, ReadMode::Open), 0);
  const Bytes second = MaqFileBytes(back);
  EXPECT_EQ(second, first);
  // A third cycle too: nothing drifts.
  SceneModel again;
  ASSERT_EQ(ReadModelBytes(again, second, ReadMode::Open), 0);
  EXPECT_EQ(MaqFileBytes(again), first);

  // What was read is the scene that was written.
  EXPECT_EQ(back.Header().objectCount, 3);
  EXPECT_EQ(back.Header().freeFrameCount, 1);
  EXPECT_EQ(back.TotalPoints(), scene.TotalPoints());
  EXPECT_EQ(back.Points().Get(2)[0], 8001.375f);  // kept exactly
  EXPECT_EQ(back.Object(0).NSpec(), 99);
  EXPECT_EQ(back.Object(0).Transmission(), 70);
  EXPECT_EQ(back.Object(1).word[5], 1234);
  EXPECT_EQ(back.Frames().Record(0).parent, 3);  // hangs from the free frame
  EXPECT_EQ(back.SceneLamps().Count(), 2);
  EXPECT_EQ(back.SceneLamps().Frames().Record(1).parent, 3);
  EXPECT_FALSE(LampCastsShadows(back.SceneLamps().Params(1)));
  EXPECT_EQ(back.Faces().Count(), 2);
  EXPECT_EQ(back.Faces().Get(1), (Face{1, -3, 4, 0}));
  EXPECT_EQ(back.Maps().Count(), 2);
  EXPECT_EQ(back.Assignments()[0], (Assignment{0, {1, 0, 2}}));
  EXPECT_EQ(back.State(2).faceGroup, 1);
  EXPECT_EQ(back.State(0).selection, 1);  // what was read is selected
  EXPECT_NEAR(back.View().zoom, 2.35, 1e-6);
  EXPECT_NEAR(back.View().TH, 30, 1e-4);
  EXPECT_NEAR(back.View().PH, -30, 1e-4);
  EXPECT_NEAR(back.View().CIBLE[1], -2.25, 1e-9);
}

TEST(MaqFile, LayoutFollowsTheFormat) {
  SceneModel scene;
  BuildRichScene(scene);
  const Bytes file = MaqFileBytes(scene);
  EXPECT_EQ(Text(ByteSpan(file).subspan(0, 4)), "FORM");
  EXPECT_EQ(At(file, 4).U32BE(), file.size() - 8);
  EXPECT_EQ(Text(ByteSpan(file).subspan(8, 8)), "TSRNFORM");
  std::vector<std::string> tags;
  for (const FlatChunk& c : Flatten(file)) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"FORM:TSRN", "FORM:TSHD", "MAPX", "LSTM", "SCHD", "FORM:TSSC",
                                            "SCEN", "CMRA", "REPO", "LAMP", "OBJE", "FACE", "PTSX"}));
  auto chunks = Flatten(file);
  EXPECT_EQ(Find(chunks, "MAPX")->data.size(), 2 * 152u);
  EXPECT_EQ(Find(chunks, "REPO")->data.size(), 4 * 112u);
  EXPECT_EQ(Find(chunks, "LAMP")->data.size(), 2 * 120u);
  EXPECT_EQ(Find(chunks, "OBJE")->data.size(), 4 * 24u);
  EXPECT_EQ(Find(chunks, "PTSX")->data.size(), 20 * 12u);
  // Scene group size: 96 + REPO + LAMP + 8 + OBJE + FACE + 8 + PTSX.
  const std::size_t sceneGroup = 96 + 4 * 112 + 2 * 120 + 8 + 4 * 24 + 2 * 8 + 8 + 20 * 12;
  const std::size_t header = 4 + 10 + 2 * 152 + 8 + 2 * 16 + 8;
  EXPECT_EQ(file.size() - 8, 4 + header + 8 + sceneGroup + 8);

  const Bytes& scen = Find(chunks, "SCEN")->data;
  EXPECT_EQ(GetI16(scen, 2), 3);     // N
  EXPECT_EQ(GetI16(scen, 4), 2000);  // PERS
  EXPECT_EQ(GetI16(scen, 6), 23);    // zoom 2.35 × 10, truncated
  EXPECT_EQ(GetI16(scen, 8), 30);
  EXPECT_EQ(GetI16(scen, 10), -30);
  const Bytes& cmra = Find(chunks, "CMRA")->data;
  EXPECT_EQ(At(cmra, 0).I32BE(), 4000000);  // distance 40
  EXPECT_EQ(At(cmra, 8).I32BE(), 314159);   // 30° in radians × 600000, rounded
  EXPECT_EQ(At(cmra, 12).I32BE(), -314159);
  EXPECT_EQ(At(cmra, 28).I32BE(), -1);
  const Bytes& repo = Find(chunks, "REPO")->data;
  EXPECT_EQ(At(repo, 0).I32BE(), 70711);  // 0.70710678 rounded, not truncated
  EXPECT_EQ(At(repo, 12 + 4 * 4).I32BE(), 86603);  // cos 30° on the second row
  EXPECT_EQ(At(repo, 104).I32BE(), 3);    // parent: the free frame
  const Bytes& ptsx = Find(chunks, "PTSX")->data;
  EXPECT_EQ(At(ptsx, 12).I32BE(), 8001375);  // widened before scaling
  const Bytes& lamp = Find(chunks, "LAMP")->data;
  EXPECT_EQ(At(lamp, 120 + 114).U16BE(), 250);
  const Bytes& mapx = Find(chunks, "MAPX")->data;
  EXPECT_EQ(At(mapx, 120).I32BE(), 3);
  EXPECT_EQ(At(mapx, 124).I32BE(), 4);
  EXPECT_EQ(At(mapx, 148).I32BE(), -1);

  // Without lamps, maps, faceted objects: none of their chunks.
  SceneModel plain;
  AddGrid(plain, 2, 2, 1);
  tags.clear();
  for (const FlatChunk& c : Flatten(MaqFileBytes(plain))) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"FORM:TSRN", "FORM:TSHD", "SCHD", "FORM:TSSC", "SCEN", "CMRA",
                                            "REPO", "OBJE", "PTSX"}));
  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, MaqFileBytes(plain), ReadMode::Open), 0);
  EXPECT_EQ(back.SceneLamps().Count(), 0);
}

TEST(MaqFile, AnglesAndZoomSurviveCyclesThroughCmraAndScen) {
  for (double angle : {30.0, -30.0, 45.0, 0.5, -179.0}) {
    SceneModel scene;
    AddGrid(scene, 1, 1, 0);
    scene.View().TH = angle;
    scene.View().PH = -angle;
    scene.View().zoom = 2.35;
    Bytes file = MaqFileBytes(scene);
    for (int cycle = 0; cycle < 3; ++cycle) {
      SceneModel back;
      ASSERT_EQ(ReadModelBytes(back, file, ReadMode::Open), 0);
      const Bytes again = MaqFileBytes(back);
      ASSERT_EQ(again, file) << angle << "° cycle " << cycle;
      file = again;
    }
    auto chunks = Flatten(file);
    EXPECT_EQ(GetI16(Find(chunks, "SCEN")->data, 8), static_cast<int>(angle));
    EXPECT_EQ(GetI16(Find(chunks, "SCEN")->data, 10), static_cast<int>(-angle));
  }

  // Without CMRA the coarse words of SCEN give the view: zoom 23 → 2.
  SceneModel scene;
  AddGrid(scene, 1, 1, 0);
  scene.View().zoom = 2.35;
  scene.View().TH = 30;
  scene.View().PH = -20;
  scene.View().PERS = 1500;
  auto chunks = Flatten(MaqFileBytes(scene));
  std::erase_if(chunks, [](const FlatChunk& c) { return c.tag == "CMRA"; });
  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, Rebuild(chunks), ReadMode::Open), 0);
  EXPECT_DOUBLE_EQ(back.View().zoom, 2.0);
  EXPECT_DOUBLE_EQ(back.View().TH, 30);  // word 4 is TH, as the writer stores it
  EXPECT_DOUBLE_EQ(back.View().PH, -20);
  EXPECT_EQ(back.View().PERS, 1500);
  // The renderer's camera from the same words.
  MaqSceneFile file;
  ASSERT_EQ(file.OpenBytes(Rebuild(chunks)), MaqStatus::Ok);
  MaqScene read;
  ASSERT_EQ(ReadMaq(file, 1, read), MaqStatus::Ok);
  EXPECT_FALSE(read.hasCamera);
  EXPECT_DOUBLE_EQ(read.camera.distance, 30);
  EXPECT_NEAR(read.camera.TH, 30 * 0.01745329252, 1e-12);
}

TEST(MaqFile, InsertAppendsAndRenumbersMapsAssignmentsPointsAndFaces) {
  SceneModel present;
  BuildRichScene(present);
  SceneModel other;
  AddFaceted(other, 5);
  const int grid = AddGrid(other, 3, 1, 7);
  other.Header().freeFrameCount = 1;
  other.Frames().ResetFrame(2);
  AttachFrame(other.Frames(), grid, 2);
  other.SceneLamps().SetCount(1);
  const int bump = other.Maps().Add(1, MapRepetition(1, 1), "BUMP.LBM");  // present as map 2
  const int sky = other.Maps().Add(2, MapRepetition(2, 2), "SKY.LBM");    // new: map 3
  other.Assignments().Add({grid, {sky, 0, bump}});
  const Bytes file = MaqFileBytes(other);

  const int points = present.TotalPoints();
  ASSERT_EQ(ReadModelBytes(present, file, ReadMode::Insert), 0);
  EXPECT_EQ(present.Header().objectCount, 5);
  EXPECT_EQ(present.Header().freeFrameCount, 2);
  EXPECT_EQ(present.TotalPoints(), points + 7);
  EXPECT_EQ(present.Object(3).FirstPoint(), points + 1);
  EXPECT_EQ(present.Points().Get(points + 5), other.Points().Get(5));
  EXPECT_EQ(present.Faces().Count(), 4);
  EXPECT_EQ(present.FaceGroupEntry(present.State(3).faceGroup).firstFace, 2);
  ASSERT_EQ(present.Maps().Count(), 3);
  EXPECT_EQ(present.Maps()[3].name, "SKY.LBM");
  ASSERT_EQ(present.Assignments().Count(), 3);
  EXPECT_EQ(present.Assignments()[2], (Assignment{4, {3, 0, 2}}));
  EXPECT_EQ(present.SceneLamps().Count(), 3);
  // The present free frame moved up past the new object frames, with the
  // links to it; the inserted free frame follows it.
  EXPECT_EQ(present.Frames().Record(0).parent, 5);
  EXPECT_EQ(present.SceneLamps().Frames().Record(1).parent, 5);
  EXPECT_EQ(present.Frames().Record(4).parent, 6);
  EXPECT_NE(present.Frames().Record(6).identifier, present.Frames().Record(5).identifier);
  // And the whole survives a cycle.
  const Bytes whole = MaqFileBytes(present);
  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, whole, ReadMode::Open), 0);
  EXPECT_EQ(MaqFileBytes(back), whole);
}

TEST(MaqFile, UnknownChunksAreSkippedWithTheirPad) {
  SceneModel scene;
  BuildRichScene(scene);
  auto chunks = Flatten(MaqFileBytes(scene));
  chunks.insert(chunks.begin() + 2, FlatChunk{"XTRA", Bytes(3, std::byte{0x53})});  // odd: padded
  chunks.insert(chunks.end() - 1, FlatChunk{"NOTE", Bytes(1, std::byte{'S'})});
  const Bytes file = Rebuild(chunks);
  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, file, ReadMode::Open), 0);
  EXPECT_EQ(MaqFileBytes(back), MaqFileBytes(scene));
  MaqSceneFile renderer;
  ASSERT_EQ(renderer.OpenBytes(file), MaqStatus::Ok);
  MaqScene read;
  ASSERT_EQ(ReadMaq(renderer, 1, read), MaqStatus::Ok);
  EXPECT_EQ(read.points.size(), 20u);
}

// Older files carry no REPO: the object record's words give the rotation
// about X, Y and Z in degrees and the origin of each object.
TEST(MaqFile, FilesWithoutFramesTakeTheRotationWordsOfTheirObjects) {
  SceneModel scene;
  AddGrid(scene, 2, 1, 0);
  auto chunks = Flatten(MaqFileBytes(scene));
  std::erase_if(chunks, [](const FlatChunk& c) { return c.tag == "REPO"; });
  Bytes& obje = Find(chunks, "OBJE")->data;
  for (int w = 0; w < 6; ++w) PutI16(obje, 12 + 2 * w, std::array{90, 0, 0, 5, -6, 7}[w]);
  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, Rebuild(chunks), ReadMode::Open), 0);
  EXPECT_EQ(back.Frames().AbsOrigin(0), (Vec3{5, -6, 7}));
  const Mat3& axes = back.Frames().AbsOrientation(0);
  EXPECT_NEAR(axes[1][2], 1, 1e-9);  // Y turned onto Z
  EXPECT_NEAR(axes[2][1], -1, 1e-9);
  EXPECT_EQ(back.Object(0).word[4], 90);
  MaqSceneFile file;
  ASSERT_EQ(file.OpenBytes(Rebuild(chunks)), MaqStatus::Ok);
  MaqScene read;
  ASSERT_EQ(ReadMaq(file, 1, read), MaqStatus::Ok);
  EXPECT_FALSE(read.hasFrames);
  EXPECT_EQ(read.objects[0].words[4], -6);
}

// A faceted object of one triangle repeated `faces` times.
int AddFaceted(SceneModel& scene, int faces) {
  const int k = scene.AppendObject(3, 1);
  scene.Object(k).SetMesh(0, 0);
  const int first = scene.Object(k).FirstPoint();
  for (int i = 0; i < 3; ++i) scene.Points().Put(first + i, {float(i), float(i == 1), 0});
  const int firstFace = scene.Faces().Count();
  scene.Faces().Resize(firstFace + faces);
  for (int i = 0; i < faces; ++i) scene.Faces().Put(firstFace + i, {1, 2, 3, 0});
  scene.State(k).faceGroup = static_cast<std::int16_t>(scene.AddFaceGroup({static_cast<std::int16_t>(faces), 3, firstFace}));
  return k;
}

TEST(MaqFile, FacesPastTheSignedRangeRoundTripAndAFileTooSmallForTheSceneIsRefused) {
  TempDir dir;
  SceneModel scene;
  AddFaceted(scene, 30000);
  AddFaceted(scene, 30000);
  AddFaceted(scene, 10);  // starts at face 60 000
  ASSERT_EQ(WriteMaq(scene, dir / "BIG.MAQ"), 1);

  SceneModel opened;
  ASSERT_EQ(ReadModel(opened, dir / "BIG.MAQ", ReadMode::Open), 0);
  EXPECT_EQ(opened.FaceGroupEntry(opened.State(2).faceGroup).firstFace, 60000);
  MaqSceneFile file;
  ASSERT_EQ(file.Open(dir / "BIG.MAQ"), MaqStatus::Ok);
  MaqScene read;
  ASSERT_EQ(ReadMaq(file, 1, read), MaqStatus::Ok);
  EXPECT_EQ(read.objects[2].FirstFace(), 60000);

  // A fourth object would start past what 16 bits hold: nothing is written
  // and the file already there stays.
  AddFaceted(scene, 10000);
  AddFaceted(scene, 1);
  MessageLog log;
  EXPECT_FALSE(SceneFitsTheFile(scene, nullptr));
  EXPECT_EQ(WriteMaq(scene, dir / "BIG.MAQ"), 0);
  EXPECT_EQ(WriteMaq(scene, dir / "NEW.MAQ"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "NEW.MAQ"));
  ASSERT_EQ(file.Open(dir / "BIG.MAQ"), MaqStatus::Ok);
  EXPECT_EQ(file.SceneCount(), 1);
  EXPECT_EQ(ReadModel(opened, dir / "BIG.MAQ", ReadMode::Open), 0);
  EXPECT_EQ(opened.Header().objectCount, 3);
  EXPECT_EQ(log.kinds, (std::vector<MessageKind>{MessageKind::Error, MessageKind::Error}));
}

// Values the file's integers cannot hold are refused, not clamped: a save
// writes nothing, and the reason names the value.
TEST(MaqFile, ValuesBeyondTheFileRangeAreRefused) {
  TempDir dir;
  MessageLog log;
  std::string why;
  auto refused = [&](const SceneModel& scene, const std::string& named) {
    EXPECT_FALSE(SceneFitsTheFile(scene, &why)) << named;
    EXPECT_NE(why.find(named), std::string::npos) << why;
    EXPECT_EQ(WriteMaq(scene, dir / "OUT.MAQ"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "OUT.MAQ"));
  };
  // A scene at the edges of the ranges, with one change.
  auto edge = [](SceneModel& scene, const std::function<void(SceneModel&)>& change) {
    AddGrid(scene, 1, 1, 0);
    scene.View().CIBLE = {kMaqLengthLimit, -kMaqLengthLimit, 0};
    scene.View().TH = -32767;
    scene.View().PERS = 65535;
    scene.View().zoom = 1.6;  // focal value 65535 / 2 / 1.6 = 20479.7
    scene.Frames().AbsOrigin(0) = {0, kMaqLengthLimit, 0};
    scene.Points().Put(1, {2147483.5f, 0, 0});
    change(scene);
  };
  SceneModel scene;
  edge(scene, [](SceneModel&) {});
  ASSERT_TRUE(SceneFitsTheFile(scene, &why)) << why;
  ASSERT_EQ(WriteMaq(scene, dir / "EDGE.MAQ"), 1);
  SceneModel opened;
  ASSERT_EQ(ReadModel(opened, dir / "EDGE.MAQ", ReadMode::Open), 0);
  EXPECT_NEAR(opened.View().CIBLE[1], -kMaqLengthLimit, 1e-5);

  const std::pair<std::function<void(SceneModel&)>, std::string> kBeyond[] = {
      {[](SceneModel& s) { s.View().CIBLE[2] = 1e7; }, "the target z 10000000"},
      {[](SceneModel& s) { s.View().PH = 40000; }, "PH 40000"},
      {[](SceneModel& s) { s.View().zoom = 1.5; }, "focal value"},
      {[](SceneModel& s) { s.Frames().AbsOrigin(0)[0] = 1e300; }, "frame 0 at x 1e+300"},
      {[](SceneModel& s) { s.Points().Put(1, {0, -3e6f, 0}); }, "point 1 at y -3000000"},
      {[](SceneModel& s) {
         s.SceneLamps().SetCount(1);
         s.SceneLamps().Frames().AbsOrigin(0) = {0, 0, 25000};
       },
       "lamp 0 at z 25000"}};
  for (const auto& [change, named] : kBeyond) {
    SceneModel beyond;
    edge(beyond, change);
    refused(beyond, named);
  }
  EXPECT_EQ(log.kinds.size(), std::size(kBeyond));
}

TEST(MaqFile, OpeningGrowsTheTablesAndAGrowthRefusedChangesNothing) {
  SceneModel big;
  for (int k = 0; k < 150; ++k) AddGrid(big, 1, 1, float(k));
  const Bytes file = MaqFileBytes(big);

  SceneModel scene;
  ASSERT_EQ(ReadModelBytes(scene, file, ReadMode::Open), 0);
  EXPECT_GE(scene.ObjectCapacity(), 165);
  EXPECT_EQ(MaqFileBytes(scene), file);

  SceneModel refused;
  BuildRichScene(refused);
  const Bytes before = MaqFileBytes(refused);
  refused.SetGrowthGate([](std::size_t) { return false; });
  MessageLog log;
  EXPECT_EQ(ReadModelBytes(refused, file, ReadMode::Open), 1);
  EXPECT_EQ(ReadModelBytes(refused, file, ReadMode::Insert), 1);
  EXPECT_EQ(log.numbers, (std::vector<int>{31, 31}));
  EXPECT_EQ(MaqFileBytes(refused), before);
}

}  // namespace
}  // namespace tessaran
