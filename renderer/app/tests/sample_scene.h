// A small scene file of several keyframe scenes, written by the modeler's
// writer, for the tests that read or render one.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "scene/maq_file.h"
#include "scene/scene_list.h"
#include "scene/scene_model.h"

namespace tessaran {

// One 3 × 2 grid and a lamp; each further keyframe moves the grid.
inline void WriteSampleScenes(const std::filesystem::path& file, int keyframes) {
  SceneModel scene;
  const int object = scene.AppendObject(3, 2);
  scene.SceneLamps().SetCount(1);
  for (int k = 0; k < keyframes; ++k) {
    for (int p = 0; p < 6; ++p) {
      scene.Points().Put(scene.Object(object).FirstPoint() + p, {float(p % 3) * 10 + k, float(p / 3) * 10, -5.f});
    }
    if (k == 0) {
      ASSERT_EQ(WriteMaq(scene, file), 1);
    } else {
      ASSERT_EQ(InsertScene(file, k + 1, scene), k + 1);
    }
  }
}

}  // namespace tessaran
