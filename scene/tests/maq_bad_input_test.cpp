// Damaged and hostile scene files: both readers refuse them with a clear
// message and the scene stays exactly as it was.
#include <gtest/gtest.h>

#include <functional>

#include "scene/maq_file.h"
#include "scene/maq_scene.h"
#include "scene/tests/maq_samples.h"

namespace tessaran {
namespace {

using namespace testing_maq;

struct Damage {
  const char* what;
  std::function<Bytes(const Bytes&)> make;
  int message;  // the modeler's
};

Bytes Edited(const Bytes& file, const std::function<void(std::vector<FlatChunk>&)>& edit) {
  auto chunks = Flatten(file);
  edit(chunks);
  return Rebuild(chunks);
}

std::vector<Damage> Damages() {
  auto chunk = [](const char* tag, std::function<void(Bytes&)> change) {
    return [=](const Bytes& file) { return Edited(file, [&](auto& chunks) { change(Find(chunks, tag)->data); }); };
  };
  return {
      {"empty", [](const Bytes&) { return Bytes{}; }, 32},
      {"not IFF", [](const Bytes&) { const ByteSpan text = AsBytes("hello, this is no scene"); return Bytes(text.begin(), text.end()); }, 32},
      {"cut in PTSX", [](const Bytes& f) { return Bytes(f.begin(), f.end() - 7); }, 32},
      {"cut in OBJE", [](const Bytes& f) { return Bytes(f.begin(), f.begin() + static_cast<long>(f.size() / 2)); }, 32},
      {"size past the end", [](const Bytes& f) {
         // REPO claims more bytes than the whole file holds.
         Bytes bad = f;
         PutI32(bad, Text(bad).find("REPO") + 4, 0x7FFFFFF0);
         return bad;
       }, 32},
      {"REPO not whole records", chunk("REPO", [](Bytes& d) { d.resize(d.size() - 2); }), 32},
      {"REPO short of the objects", chunk("REPO", [](Bytes& d) { d.resize(112); }), 32},
      {"OBJE for another count", chunk("SCEN", [](Bytes& d) { PutI16(d, 2, 4); }), 32},
      {"65535 objects", chunk("SCEN", [](Bytes& d) { PutI16(d, 2, 65535); }), 32},
      {"face outside its object", chunk("FACE", [](Bytes& d) { PutI16(d, 2, 5); }), 32},
      {"face of no points", chunk("FACE", [](Bytes& d) { PutI16(d, 0, 0); }), 32},
      {"face group beyond FACE", chunk("OBJE", [](Bytes& d) { PutI16(d, 2 * 24 + 18, 1); }), 32},
      {"points beyond PTSX", chunk("OBJE", [](Bytes& d) { PutI32(d, 3 * 24, 22); }), 32},
      {"first point 0", chunk("OBJE", [](Bytes& d) { PutI32(d, 0, 0); }), 32},
      {"mesh not its points", chunk("OBJE", [](Bytes& d) { PutI16(d, 4, 5); }), 32},
      {"points going back", chunk("OBJE", [](Bytes& d) { PutI32(d, 24, 1); PutI32(d, 48, 1); }), 32},
      {"eleven lamps", chunk("LAMP", [](Bytes& d) { const Bytes one(d.begin(), d.begin() + 120); for (int i = 2; i < 11; ++i) d.insert(d.end(), one.begin(), one.end()); }), 32},
      {"SCHD of 0", chunk("SCHD", [](Bytes& d) { PutI16(d, 0, 0); }), 32},
      {"SCHD negative", chunk("SCHD", [](Bytes& d) { PutI16(d, 0, -3); }), 32},
      {"assignment of no object", chunk("LSTM", [](Bytes& d) { PutI32(d, 0, 9); }), 32},
      {"assignment of no map", chunk("LSTM", [](Bytes& d) { PutI32(d, 4, 3); }), 32},
      {"CMRA of odd size", chunk("CMRA", [](Bytes& d) { d.resize(30); }), 32},
      {"MAPX not whole", chunk("MAPX", [](Bytes& d) { d.resize(151); }), 32},
      {"no PTSX", [](const Bytes& f) { return Edited(f, [](auto& c) { std::erase_if(c, [](auto& x) { return x.tag == "PTSX"; }); }); }, 32},
  };
}

TEST(MaqBadInput, BothReadersRefuseDamagedFilesAndTheSceneStaysAsItWas) {
  SceneModel sample;
  BuildRichScene(sample);
  const Bytes good = MaqFileBytes(sample);

  for (const Damage& damage : Damages()) {
    const Bytes bad = damage.make(good);
    SceneModel scene;
    BuildRichScene(scene);
    scene.View().zoom = 3;
    const Bytes before = MaqFileBytes(scene);
    for (ReadMode mode : {ReadMode::Open, ReadMode::Insert}) {
      MessageLog log;
      std::string problem;
      EXPECT_EQ(ReadModelBytes(scene, bad, mode, 1, &problem), 1) << damage.what;
      EXPECT_EQ(log.numbers, std::vector<int>{damage.message}) << damage.what;
      EXPECT_FALSE(problem.empty()) << damage.what;
      EXPECT_EQ(MaqFileBytes(scene), before) << damage.what;
    }
    MaqSceneFile file;
    MaqScene read;
    const bool refused = file.OpenBytes(bad) != MaqStatus::Ok || ReadMaq(file, 1, read) != MaqStatus::Ok;
    EXPECT_TRUE(refused) << damage.what;
  }
}

TEST(MaqBadInput, InsertBeyondTheSceneLimitsIsRefusedWithMessage31) {
  SceneModel other;
  AddGrid(other, 1, 1, 0);
  other.SceneLamps().SetCount(6);
  const Bytes lamps = MaqFileBytes(other);
  SceneModel scene;
  BuildRichScene(scene);
  scene.SceneLamps().SetCount(5);
  const Bytes before = MaqFileBytes(scene);
  MessageLog log;
  EXPECT_EQ(ReadModelBytes(scene, lamps, ReadMode::Insert), 1);  // 11 lamps
  EXPECT_EQ(log.numbers, std::vector<int>{31});
  EXPECT_EQ(MaqFileBytes(scene), before);

  // Maps: the present 2 and 98 new ones make 100.
  SceneModel maps;
  AddGrid(maps, 1, 1, 0);
  for (int i = 0; i < 98; ++i) maps.Maps().Add(2, 1001, "MAP" + std::to_string(i) + ".LBM");
  EXPECT_EQ(ReadModelBytes(scene, MaqFileBytes(maps), ReadMode::Insert), 1);
  EXPECT_EQ(log.numbers, (std::vector<int>{31, 31}));
  EXPECT_EQ(MaqFileBytes(scene), before);
}

TEST(MaqBadInput, ParentLoopsAndUnknownParentsBecomeRoots) {
  SceneModel scene;
  AddGrid(scene, 1, 1, 0);
  AddGrid(scene, 1, 1, 1);
  auto chunks = Flatten(MaqFileBytes(scene));
  Bytes& repo = Find(chunks, "REPO")->data;
  PutI32(repo, 104, 1);        // frame 0 hangs from frame 1 …
  PutI32(repo, 112 + 104, 0);  // … which hangs from frame 0
  SceneModel back;
  ASSERT_EQ(ReadModelBytes(back, Rebuild(chunks), ReadMode::Open), 0);
  const int roots = (back.Frames().Record(0).parent < 0) + (back.Frames().Record(1).parent < 0);
  EXPECT_EQ(roots, 1);
  PutI32(repo, 104, 77);  // no frame 77
  PutI32(repo, 112 + 104, 1);  // itself
  ASSERT_EQ(ReadModelBytes(back, Rebuild(chunks), ReadMode::Open), 0);
  EXPECT_EQ(back.Frames().Record(0).parent, -1);
  EXPECT_EQ(back.Frames().Record(1).parent, -1);
  EXPECT_EQ(back.Frames().Record(1).parentId, -1);
}

}  // namespace
}  // namespace tessaran
