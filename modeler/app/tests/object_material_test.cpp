#include "modeler/app/object_material.h"

#include <gtest/gtest.h>

#include <string>

#include "scene/maq_file.h"

namespace tessaran {
namespace {

ObjectMaterial Sample() {
  ObjectMaterial m;
  m.red = 15;
  m.green = 3;
  m.blue = 9;
  m.intensity = 80;
  m.diffusion = 20;
  m.reflection = 40;
  m.transparency = 60;
  m.refraction = 25;
  m.rendering = SurfaceRendering::Phong;
  m.maps[0] = {kParametricMap, 2, 3, "WOOD.LBM"};
  m.maps[2] = {kSphericalMap, 1, 1, "HOLES.LBM"};
  return m;
}

// Two boxes, the second selected.
void TwoBoxes(SceneModel& scene) {
  BuildError error;
  ASSERT_TRUE(BuildPrimitive(scene, "box", 4, 3, -1, error));
  ASSERT_TRUE(BuildPrimitive(scene, "box", 4, 3, -1, error));
}

TEST(ObjectMaterial, SetOnTheSelectionAndReadBack) {
  SceneModel scene;
  TwoBoxes(scene);
  // A new object: light grey, KSpec and NSpec 50, spline rendering.
  EXPECT_EQ(MaterialOf(scene, 0), ObjectMaterial{});
  BuildError error;
  ASSERT_TRUE(ApplyMaterial(scene, Sample(), error)) << error;
  EXPECT_EQ(MaterialOf(scene, 1), Sample());
  EXPECT_EQ(MaterialOf(scene, 0), ObjectMaterial{});
  EXPECT_EQ(scene.Object(1).Col(), 1 << 14 | 0xF39);
  // Taking a map off keeps the others; the map list keeps its entries.
  ObjectMaterial fewer = Sample();
  fewer.maps[0] = {};
  ASSERT_TRUE(ApplyMaterial(scene, fewer, error));
  EXPECT_EQ(MaterialOf(scene, 1), fewer);
  EXPECT_EQ(scene.Maps().Count(), 2);
}

TEST(ObjectMaterial, ARefusalLeavesEveryObjectAsItWas) {
  SceneModel scene;
  TwoBoxes(scene);
  BuildError error;
  ASSERT_TRUE(BuildSelect(scene, "all", error));
  // A faceted object cannot take the spline rendering.
  scene.State(0).faceGroup = 1;
  ObjectMaterial spline = Sample();
  spline.rendering = SurfaceRendering::Spline;
  EXPECT_FALSE(ApplyMaterial(scene, spline, error));
  EXPECT_EQ(MaterialOf(scene, 1), ObjectMaterial{});
  scene.State(0).faceGroup = 0;
  // A full map list takes no new map; nothing else changes either.
  for (int i = 0; i < MapList::kMaxMaps; ++i) scene.Maps().Add(kParametricMap, 1001, "M" + std::to_string(i));
  EXPECT_FALSE(ApplyMaterial(scene, Sample(), error));
  EXPECT_EQ(MaterialOf(scene, 0), ObjectMaterial{});
  // A name longer than the scene file keeps is refused, not cut.
  scene.Maps().Clear();
  ObjectMaterial longName = Sample();
  longName.maps[1].image = std::string(kMaqMapNameLength + 1, 'x');
  EXPECT_FALSE(ApplyMaterial(scene, longName, error));
  EXPECT_EQ(MaterialOf(scene, 0), ObjectMaterial{});
  EXPECT_FALSE(BuildMap(scene, "colour", longName.maps[1].image, 1, 1, error));
  EXPECT_TRUE(BuildMap(scene, "colour", std::string(kMaqMapNameLength, 'x'), 1, 1, error));
}

TEST(ObjectMaterial, ThePreviewBlockCarriesTheMaterialAndItsMaps) {
  const link::MaterialBlock block = PreviewBlock(Sample());
  EXPECT_EQ(block.Col(), 0xF39);
  EXPECT_EQ(block.Reflection(), 40);
  EXPECT_EQ(block.Transmission(), 60);
  EXPECT_EQ(block.Refraction(), 25);
  EXPECT_EQ(block.KSpec(), 80);
  EXPECT_EQ(block.NSpec(), 20);
  EXPECT_TRUE(block.hasMaps);
  EXPECT_EQ(block.maps[0].name, "WOOD.LBM");
  EXPECT_EQ(block.maps[0].repetition, 2003);
  EXPECT_TRUE(block.maps[1].name.empty());
  EXPECT_EQ(block.maps[2].name, "HOLES.LBM");
  EXPECT_FALSE(PreviewBlock(ObjectMaterial{}).hasMaps);
}

}  // namespace
}  // namespace tessaran
