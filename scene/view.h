// The view and camera values the scene carries for its first view.
#pragma once

#include "scene/frames.h"

namespace tessaran {

// PERS value of a parallel projection.
constexpr int kParallelPERS = 10000;

struct ViewCamera {
  double TH = 0.0;         // viewing angles in degrees
  double PH = 0.0;
  double zoom = 1.0;
  int PERS = 2000;         // perspective setting
  Vec3 CIBLE{};            // target point
  double distance = 40.0;  // viewing distance, PERS × 0.02
  double focal = 250.0;
};

}  // namespace tessaran
