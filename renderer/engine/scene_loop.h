// The scene loop: reads the keyframe scenes of a scene file one by one and
// hands each interval between two of them to the frame loop, which sets up
// and renders its frames.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "renderer/engine/engine.h"
#include "renderer/engine/frame_setup.h"
#include "scene/maq_scene.h"

namespace tessaran {

class SceneLoop;

// The frame loop's side of an interval.
class IntervalSink {
 public:
  virtual ~IntervalSink() = default;
  // Renders the interval from the loop's previous to its next keyframe, of
  // n images; `last` on the interval that ends on the animation's final
  // keyframe scene, which is then rendered too. Returns 0 to
  // go on, 9 to end the render (stopped, or saved for resume), 1 after the
  // single image of the material preview.
  virtual int RunInterval(SceneLoop& loop, int n, bool last) = 0;
};

// The frames of an interval of n images: one more on the interval that ends
// the animation, so that the final keyframe scene itself (t = 1) is
// rendered; a missing or non-positive n stands for one image.
int FramesOfInterval(int n, bool last);

// The image count of the interval from 1-based keyframe scene `scene` to the
// next (scene = scene count: the loop back to the first); a missing or
// non-positive count stands for one image.
int ImageCountOf(const std::vector<int>& imageCounts, int scene);

// The frames of every interval of a file of sceneCount keyframe scenes, in
// the scene loop's order (the loop back to the first scene last). Their sum
// is the number of images a render of the file makes, 1 + the image counts:
// the interval that ends the animation (the loop back, with loop) renders
// its final keyframe scene too. A file of one scene gives one image, of
// none no image.
std::vector<int> FramesOfFile(const std::vector<int>& imageCounts, int sceneCount, bool loop);

class SceneLoop {
 public:
  SceneLoop(const RenderSettings& settings, EngineHooks& hooks) : settings_(settings), hooks_(hooks) {}

  // Renders the scene file: 1 when every interval ran, 9 when the render
  // ended early, 0 when the file could not be read (message 18) or memory
  // ran out (messages 132 to 135).
  int Run(const std::filesystem::path& file, IntervalSink& sink);
  // The same over a file the caller opened and whose first scene it has
  // read already (to check the file before rendering): that scene is not
  // read again.
  int Run(const std::filesystem::path& name, MaqSceneFile& file, MaqScene first, IntervalSink& sink);

  // The same over scenes handed by `read` (1-based numbers, in turn).
  using SceneReader = std::function<MaqStatus(int number, MaqScene& scene)>;
  int Run(int sceneCount, const SceneReader& read, IntervalSink& sink);

  // Sets up frame k (1 … count) of the present interval of n images, at
  // t = (k − 1)/n, the reference frames moving one step.
  void SetUpFrame(int k, int count, int n);

  FrameTables& Frame() { return frame_; }
  const Keyframe& Previous() const { return *previous_; }
  const Keyframe& Next() const { return *next_; }
  const RenderSettings& Settings() const { return settings_; }
  // The status line and stop request the render reports to.
  EngineHooks& Hooks() const { return hooks_; }

 private:
  int RunInterval(const Keyframe& previous, const Keyframe& next, int n, bool last, IntervalSink& sink);
  int ImageCount(int scene) const;  // images from 1-based scene `scene` to the next

  const RenderSettings& settings_;
  EngineHooks& hooks_;
  Keyframe keys_[2];
  Keyframe first_;  // kept for the loop back to the first scene
  const Keyframe* previous_ = nullptr;
  const Keyframe* next_ = nullptr;
  ReferenceFrames references_;
  FrameTables frame_;
};

// The material preview: the values the modeler sends for the material it
// edits.
struct PreviewMaterial {
  std::uint8_t reflection = 0;
  std::uint8_t transmission = 0;
  std::uint8_t refraction = 0;
  std::uint8_t KSpec = 0;
  std::uint8_t NSpec = 0;
  std::uint16_t col = 0x0FFF;
};

// The preview sphere scene: one keyframe, one object (a 4 × 4 control net
// around the origin, traced as a sphere of radius 200) of that material, a
// fixed camera that frames it.
MaqScene MakePreviewScene(const PreviewMaterial& material);

// Radius of the preview sphere.
constexpr double kPreviewSphereRadius = 200;

}  // namespace tessaran
