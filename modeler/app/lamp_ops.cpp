#include "modeler/app/lamp_ops.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "scene/maq_file.h"

namespace tessaran {
namespace {

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

bool LampsInUse(const SceneModel& scene, const std::vector<int>& lamps, BuildError& error) {
  if (lamps.empty()) {
    error = {"no lamp is selected", true};
    return false;
  }
  for (int k : lamps) {
    if (!InRange(k, 0, scene.SceneLamps().Count() - 1)) {
      error = {scene.SceneLamps().Count() == 0
                   ? std::string("the scene has no lamps")
                   : "lamps are 0 to " + std::to_string(scene.SceneLamps().Count() - 1),
               true};
      return false;
    }
  }
  return true;
}

}  // namespace

bool LampSettingsFit(const LampSettings& s, BuildError& error) {
  if (InRange(s.intensity, 0, 100) && InRange(s.aperture, 0, 180) && InRange(s.red, 0, 15) &&
      InRange(s.green, 0, 15) && InRange(s.blue, 0, 15)) {
    return true;
  }
  error = {"lamp intensity 0-100, aperture 0-180, colour 0-15", true};
  return false;
}

void SetLampLook(LampParams& params, const LampSettings& s) {
  params.colour = static_cast<std::uint16_t>((s.red << 8) | (s.green << 4) | s.blue);
  SetLampIntensity(params, s.intensity, s.shadows);
  params.aperture = static_cast<std::uint16_t>(s.aperture);
}

Mat3 LampAimedAt(const Vec3& position, const Vec3& target) {
  Vec3 aim{target[0] - position[0], target[1] - position[1], target[2] - position[2]};
  const double length = std::sqrt(Dot(aim, aim));
  if (length <= 1e-9) {
    Mat3 axes = IdentityMatrix();
    Rotate(axes, Axis::X, std::numbers::pi);
    return axes;
  }
  for (double& c : aim) c /= length;
  Vec3 side = Cross(aim, Vec3{0, 1, 0});
  if (Dot(side, side) < 1e-12) side = Cross(aim, Vec3{0, 0, 1});
  const double s = std::sqrt(Dot(side, side));
  for (double& c : side) c /= s;
  return {side, Cross(aim, side), aim};
}

LampSettings LampSettingsOf(const SceneModel& scene, int lamp) {
  const LampParams& params = scene.SceneLamps().Params(lamp);
  LampSettings s;
  s.position = scene.SceneLamps().Frames().AbsOrigin(lamp);
  s.intensity = LampIntensity(params);
  s.shadows = LampCastsShadows(params);
  s.aperture = params.aperture;
  s.red = (params.colour >> 8) & 0xF;
  s.green = (params.colour >> 4) & 0xF;
  s.blue = params.colour & 0xF;
  return s;
}

std::vector<int> SelectedLamps(const SceneModel& scene) {
  std::vector<int> selected;
  for (int k = 0; k < scene.SceneLamps().Count(); ++k) {
    if (scene.SceneLamps().Selected(k)) selected.push_back(k);
  }
  return selected;
}

bool BuildLampLook(SceneModel& scene, const std::vector<int>& lamps, const LampSettings& settings,
                   BuildError& error) {
  if (!LampsInUse(scene, lamps, error) || !LampSettingsFit(settings, error)) return false;
  for (int k : lamps) SetLampLook(scene.SceneLamps().Params(k), settings);
  return true;
}

bool BuildMoveLamps(SceneModel& scene, const std::vector<int>& lamps, double x, double y, double z,
                    BuildError& error) {
  if (!LampsInUse(scene, lamps, error)) return false;
  FrameTable& frames = scene.SceneLamps().Frames();
  std::vector<Vec3> moved;
  for (int k : lamps) {
    scene.UpdateLampFrame(k);
    const Vec3& at = frames.AbsOrigin(k);
    const Vec3 to{at[0] + x, at[1] + y, at[2] + z};
    for (int a = 0; a < 3; ++a) {
      if (!std::isfinite(to[a]) || !FitsLimit(to[a], kMaqLengthLimit)) {
        error = {"lamp " + std::to_string(k) + " would lie beyond what a scene file holds", true};
        return false;
      }
    }
    moved.push_back(to);
  }
  for (std::size_t i = 0; i < lamps.size(); ++i) {
    const int k = lamps[i];
    frames.AbsOrigin(k) = moved[i];
    frames.AbsOrientation(k) = LampAimedAt(moved[i], scene.View().CIBLE);
    RefreshRelative(frames, k, scene.Frames());
  }
  return true;
}

bool BuildDeleteLamps(SceneModel& scene, std::vector<int> lamps, BuildError& error) {
  if (!LampsInUse(scene, lamps, error)) return false;
  // From the last, so that the numbers of the others still hold.
  std::sort(lamps.begin(), lamps.end());
  lamps.erase(std::unique(lamps.begin(), lamps.end()), lamps.end());
  for (auto k = lamps.rbegin(); k != lamps.rend(); ++k) scene.SceneLamps().Remove(*k);
  return true;
}

}  // namespace tessaran
