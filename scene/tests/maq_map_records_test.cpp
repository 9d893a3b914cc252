// The renderer's reader keeps what the map list leaves out of a map
// record: repeats with their decimals and the bump strength.
#include <gtest/gtest.h>

#include "scene/maq_file.h"
#include "scene/maq_scene.h"
#include "scene/tests/maq_samples.h"

namespace tessaran {
namespace {

using namespace testing_maq;

// The rich sample scene's file with its MAPX records changed by `edit`.
MaqScene ReadWithMapx(const std::function<void(Bytes&)>& edit, bool withMaps = true) {
  TempDir dir;
  SceneModel model;
  BuildRichScene(model);
  EXPECT_EQ(WriteMaq(model, dir / "MAPS.MAQ"), 1);
  Bytes bytes;
  EXPECT_TRUE(ReadWholeFile(dir / "MAPS.MAQ", bytes));
  std::vector<FlatChunk> chunks = Flatten(bytes);
  FlatChunk* mapx = Find(chunks, "MAPX");
  EXPECT_NE(mapx, nullptr);
  if (mapx) edit(mapx->data);
  MaqSceneFile file;
  EXPECT_EQ(file.OpenBytes(Rebuild(chunks)), MaqStatus::Ok);
  MaqScene scene;
  EXPECT_EQ(ReadMaq(file, 1, scene, withMaps), MaqStatus::Ok) << file.Problem();
  return scene;
}

TEST(MaqMapRecords, RepeatsCarryTheirDecimalsAndTheBumpStrength) {
  // As the modeler writes them: no decimals, strength 0.
  MaqScene plain = ReadWithMapx([](Bytes&) {});
  ASSERT_EQ(plain.mapDetails.size(), 2u);
  EXPECT_EQ(plain.mapDetails[0], (MaqMapDetail{3, 4, 0}));
  EXPECT_EQ(plain.mapDetails[1], (MaqMapDetail{1, 1, 0}));

  // Record 1: 25 with 1 decimal (2.5) across, 125 with 2 (1.25) down, bump
  // strength 25; record 2 keeps its whole repeats.
  MaqScene decimals = ReadWithMapx([](Bytes& d) {
    PutI32(d, 104, 1);
    PutI32(d, 108, 2);
    PutI32(d, 120, 25);
    PutI32(d, 124, 125);
    PutI32(d, 128, 25);
  });
  ASSERT_EQ(decimals.mapDetails.size(), 2u);
  EXPECT_DOUBLE_EQ(decimals.mapDetails[0].repeatX, 2.5);
  EXPECT_DOUBLE_EQ(decimals.mapDetails[0].repeatY, 1.25);
  EXPECT_EQ(decimals.mapDetails[0].bumpStrength, 25);
  EXPECT_EQ(decimals.mapDetails[1], (MaqMapDetail{1, 1, 0}));
  // The map list keeps the integers as written.
  ASSERT_EQ(decimals.maps.size(), 2u);
  EXPECT_EQ(decimals.maps[0].repetition, 25 * 1000 + 125);
}

TEST(MaqMapRecords, DamagedDecimalCountsAndOlderListsAreHarmless) {
  // A negative or huge decimal count takes the repeat as written.
  MaqScene damaged = ReadWithMapx([](Bytes& d) {
    PutI32(d, 104, -3);
    PutI32(d, 108, 2000000000);
  });
  ASSERT_EQ(damaged.mapDetails.size(), 2u);
  EXPECT_DOUBLE_EQ(damaged.mapDetails[0].repeatX, 3);
  EXPECT_DOUBLE_EQ(damaged.mapDetails[0].repeatY, 4);

  // Without maps asked for, no details either.
  MaqScene none = ReadWithMapx([](Bytes& d) { PutI32(d, 104, 1); }, false);
  EXPECT_TRUE(none.maps.empty());
  EXPECT_TRUE(none.mapDetails.empty());
}

TEST(MaqMapRecords, OlderMapListEntriesRepeatOnce) {
  TempDir dir;
  SceneModel model;
  BuildRichScene(model);
  ASSERT_EQ(WriteMaq(model, dir / "OLD.MAQ"), 1);
  Bytes bytes;
  ASSERT_TRUE(ReadWholeFile(dir / "OLD.MAQ", bytes));
  std::vector<FlatChunk> chunks = Flatten(bytes);
  // Replace MAPX and LSTM by one MAPP record for object 1.
  std::vector<FlatChunk> older;
  for (FlatChunk& c : chunks) {
    if (c.tag == "MAPX") {
      Bytes mapp(52);
      PutI16(mapp, 0, 1);
      const std::string name = "OLD.LBM";
      for (std::size_t i = 0; i < name.size(); ++i) mapp[2 + i] = std::byte(name[i]);
      older.push_back({"MAPP", mapp});
    } else if (c.tag != "LSTM") {
      older.push_back(c);
    }
  }
  MaqSceneFile file;
  ASSERT_EQ(file.OpenBytes(Rebuild(older)), MaqStatus::Ok);
  MaqScene scene;
  ASSERT_EQ(ReadMaq(file, 1, scene), MaqStatus::Ok) << file.Problem();
  ASSERT_EQ(scene.maps.size(), 1u);
  ASSERT_EQ(scene.mapDetails.size(), 1u);
  EXPECT_EQ(scene.mapDetails[0], (MaqMapDetail{1, 1, 0}));
}

}  // namespace
}  // namespace tessaran
