// A fixture with the modeler's frame open on the test scene, one view
// showing it.
#pragma once

#include <memory>

#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/tests/modeler_fixture.h"

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

  std::unique_ptr<ModelerWindow> window_;
};

}  // namespace tessaran
