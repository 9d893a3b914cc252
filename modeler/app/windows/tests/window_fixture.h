// A fixture with the modeler's frame open on the test scene, one view
// showing it, and the model's state as "Undo" must give it back.
#pragma once

#include <memory>
#include <vector>

#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "scene/maq_file.h"

namespace tessaran {

class ModelerWindowFixture : public ModelerTest {
 protected:
  void SetUp() override {
    ModelerTest::SetUp();
    ModelerSettings settings;
    settings.dataDirectory = dir_;
    window_ = std::make_unique<ModelerWindow>(*scene_, library_, settings);
    window_->show();
    window_->Command(kCmdModeller);
  }

  // The scene as its file and its selection.
  struct State {
    Bytes file;
    std::vector<int> selection;
    bool operator==(const State&) const = default;
  };
  State Now() const {
    State state{MaqFileBytes(*scene_), {}};
    for (int k = 0; k < scene_->Header().objectCount; ++k) state.selection.push_back(scene_->State(k).selection);
    return state;
  }

  std::unique_ptr<ModelerWindow> window_;
};

}  // namespace tessaran
