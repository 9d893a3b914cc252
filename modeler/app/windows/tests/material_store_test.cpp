// "Store" and "Restore": the first selected object's whole material is kept
// after message 11 and given to every selected object after message 12;
// without a kept material, or without a selection, nothing is asked and
// nothing changes.
#include <algorithm>

#include "modeler/app/object_material.h"
#include "modeler/app/windows/tests/window_fixture.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class MaterialStoreTest : public ModelerWindowFixture {
 protected:
  void SetUp() override {
    ModelerWindowFixture::SetUp();
    for (int i = 0; i < 3; ++i) AddBox(*scene_);
    BuildError error;
    ASSERT_TRUE(BuildSelect(*scene_, "0", error));
    ASSERT_TRUE(ApplyMaterial(*scene_, Sample(), error)) << error;
  }
  static ObjectMaterial Sample() {
    ObjectMaterial m;
    m.red = 15;
    m.green = 3;
    m.blue = 9;
    m.intensity = 80;
    m.diffusion = 20;
    m.reflection = 40;
    m.transparency = 60;
    m.refraction = 25;
    m.rendering = SurfaceRendering::Angular;
    m.maps[0] = {kParametricMap, 2, 3, "WOOD.LBM"};
    m.maps[1] = {kSphericalMap, 4, 1, "BUMPS.LBM"};
    return m;
  }
  void Select(const char* which) {
    BuildError error;
    ASSERT_TRUE(BuildSelect(*scene_, which, error));
  }
  int Asked(int message) const { return static_cast<int>(std::count(asker_.asked.begin(), asker_.asked.end(), message)); }

};

TEST_F(MaterialStoreTest, RestoreGivesTheStoredMaterialToEverySelectedObject) {
  // Nothing kept yet: no question, no change, no step.
  Select("1-2");
  const Bytes plain = MaqFileBytes(*scene_);
  window_->Command(kCmdRestoreMaterial);
  EXPECT_EQ(Asked(12), 0);
  EXPECT_EQ(MaqFileBytes(*scene_), plain);

  // Stored after message 11 from the first selected object.
  Select("0-1");
  asker_.answers[11] = Answer::Cancel;
  window_->Command(kCmdStoreMaterial);
  Select("1-2");
  window_->Command(kCmdRestoreMaterial);
  EXPECT_EQ(Asked(12), 0) << "a cancelled Store keeps nothing";
  asker_.answers.erase(11);
  Select("0-1");
  window_->Command(kCmdStoreMaterial);
  EXPECT_EQ(Asked(11), 2);
  // The object it came from may change afterwards: the store keeps it.
  BuildError error;
  Select("0");
  ASSERT_TRUE(BuildColour(*scene_, 1, 1, 1, error));

  Select("1-2");
  const Bytes before = MaqFileBytes(*scene_);
  asker_.answers[12] = Answer::Cancel;
  window_->Command(kCmdRestoreMaterial);
  EXPECT_EQ(MaqFileBytes(*scene_), before);
  asker_.answers.erase(12);
  window_->Command(kCmdRestoreMaterial);
  EXPECT_EQ(MaterialOf(*scene_, 1), Sample());
  EXPECT_EQ(MaterialOf(*scene_, 2), Sample());
  // Saved and read back, field by field.
  auto back = std::make_unique<SceneModel>();
  ASSERT_EQ(ReadModelBytes(*back, MaqFileBytes(*scene_), ReadMode::Open), 0);
  EXPECT_EQ(MaterialOf(*back, 2), Sample());
  EXPECT_EQ(MaterialOf(*back, 0).red, 1);

  // One step of "Undo", exactly.
  const Bytes after = MaqFileBytes(*scene_);
  window_->Command(kCmdUndo);
  EXPECT_EQ(MaqFileBytes(*scene_), before);
  window_->Command(kCmdRedo);
  EXPECT_EQ(MaqFileBytes(*scene_), after);

  // No object selected: nothing asked.
  Select("none");
  const int asked = static_cast<int>(asker_.asked.size());
  window_->Command(kCmdStoreMaterial);
  window_->Command(kCmdRestoreMaterial);
  EXPECT_EQ(static_cast<int>(asker_.asked.size()), asked);
}

}  // namespace
}  // namespace tessaran
