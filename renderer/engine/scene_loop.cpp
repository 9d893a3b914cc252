#include "renderer/engine/scene_loop.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "platform/console.h"
#include "platform/report.h"
#include "renderer/engine/mapping.h"

namespace tessaran {

namespace {

// Renderer messages of the scene loop.
enum : int {
  kMsgOpenFailed = 18,
  kMsgInitialisation = 129,
  kMsgReadingScene = 130,
  kMsgAllocating = 131,
  kMsgNoFrameMemory = 132,
  kMsgNoInterpolationMemory = 133,
  kMsgNoSceneMemory = 134,
  kMsgNoPointMemory = 135,
};

// Runs `step`; a lack of memory shows `message` and answers false.
template <class Step>
bool WithMemory(int message, Step&& step) {
  try {
    step();
    return true;
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, message);
    return false;
  }
}

// Per object of the first scene: whether its assignment names an opacity
// map record of the file. Such an object is traced as transparent.
std::vector<char> OpacityMapped(const MaqScene& scene) {
  std::vector<char> mapped(scene.objects.size(), 0);
  for (const Assignment& a : scene.assignments) {
    const std::int32_t record = a.maps[kOpacityMap];
    if (a.object >= 0 && a.object < static_cast<std::int32_t>(mapped.size()) && record >= 1 &&
        record <= static_cast<std::int32_t>(scene.maps.size())) {
      mapped[static_cast<std::size_t>(a.object)] = 1;
    }
  }
  return mapped;
}

bool SameFaceGroups(const std::vector<FaceGroup>& a, const std::vector<FaceGroup>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const FaceGroup& x, const FaceGroup& y) {
    return x.faceCount == y.faceCount && x.pointCount == y.pointCount && x.firstFace == y.firstFace;
  });
}

}  // namespace

int FramesOfInterval(int n, bool last) { return std::max(n, 1) + (last ? 1 : 0); }

int ImageCountOf(const std::vector<int>& imageCounts, int scene) {
  const int i = scene - 1;
  if (i >= 0 && i < static_cast<int>(imageCounts.size()) && imageCounts[i] > 0) return imageCounts[i];
  return 1;
}

std::vector<int> FramesOfFile(const std::vector<int>& imageCounts, int sceneCount, bool loop) {
  std::vector<int> frames;
  if (sceneCount == 1) frames.push_back(FramesOfInterval(1, false));
  for (int scene = 1; scene < sceneCount; ++scene) {
    const bool last = scene == sceneCount - 1 && !loop;
    frames.push_back(FramesOfInterval(ImageCountOf(imageCounts, scene), last));
  }
  if (loop && sceneCount > 1) frames.push_back(FramesOfInterval(ImageCountOf(imageCounts, sceneCount), true));
  return frames;
}

int SceneLoop::ImageCount(int scene) const { return ImageCountOf(settings_.imageCounts, scene); }

int SceneLoop::Run(const std::filesystem::path& file, IntervalSink& sink) {
  MaqSceneFile maq;
  if (maq.Open(file) != MaqStatus::Ok) {
    Trace("ReadMaq %s : %s\n", file.string().c_str(), maq.Problem().c_str());
    ShowMessage(MessageKind::Error, kMsgOpenFailed, file.string().c_str());
    return 0;
  }
  const int result = Run(
      maq.SceneCount(), [&](int number, MaqScene& scene) { return ReadMaq(maq, number, scene); }, sink);
  if (result == 0 && !maq.Problem().empty()) {
    ShowMessage(MessageKind::Error, kMsgOpenFailed, file.string().c_str());
  }
  return result;
}

int SceneLoop::Run(const std::filesystem::path& name, MaqSceneFile& file, MaqScene first, IntervalSink& sink) {
  const int result = Run(
      file.SceneCount(),
      [&](int number, MaqScene& scene) {
        if (number > 1) return ReadMaq(file, number, scene);
        scene = std::move(first);
        return MaqStatus::Ok;
      },
      sink);
  if (result == 0 && !file.Problem().empty()) {
    ShowMessage(MessageKind::Error, kMsgOpenFailed, name.string().c_str());
  }
  return result;
}

int SceneLoop::Run(int sceneCount, const SceneReader& read, IntervalSink& sink) {
  hooks_.Status(kMsgInitialisation);
  frame_ = FrameTables{};
  std::vector<FaceGroup> faceGroups;
  int current = 0;  // index into keys_ of the scene read last
  for (int number = 1; number <= sceneCount; ++number) {
    hooks_.Status(kMsgReadingScene);
    MaqScene scene;
    if (read(number, scene) != MaqStatus::Ok) return 0;
    if (number == 1) {
      hooks_.Status(kMsgAllocating);
      // The first scene allocates the per-object tables and the faces.
      if (!WithMemory(kMsgNoSceneMemory, [&] {
            // The scene is read once: its points and faces move to where
            // they are kept.
            KeyframeFromScene(std::move(scene), keys_[0], &faceGroups);
            frame_.faceGroups = faceGroups;
            frame_.faces = std::move(scene.faces);
            frame_.fileHasFaces = !frame_.faces.empty();
            frame_.opacityMapped = OpacityMapped(scene);
          })) {
        return 0;
      }
      if (settings_.loop && sceneCount > 1 && !WithMemory(kMsgNoInterpolationMemory, [&] { first_ = keys_[0]; })) {
        return 0;
      }
      if (sceneCount == 1) {
        // The one scene is the whole animation: a single image, with no
        // further keyframe to end on.
        const int result = RunInterval(keys_[0], keys_[0], 1, false, sink);
        return result == 0 ? 1 : result;
      }
      continue;
    }
    const int previous = current;
    current = 1 - current;
    std::vector<FaceGroup> groups;
    if (!WithMemory(kMsgNoInterpolationMemory, [&] { KeyframeFromScene(std::move(scene), keys_[current], &groups); })) {
      return 0;
    }
    if (!SameFaceGroups(groups, faceGroups)) {
      // Only the first scene carries the faces: a faceted object of another
      // scene would be drawn with faces not its own.
      Reporter().Report(MessageKind::Error, -1,
                        "keyframe scene " + std::to_string(number) +
                            " has faceted objects other than the first scene's, whose faces every scene uses");
      return 0;
    }
    const bool last = number == sceneCount && !settings_.loop;
    const int result = RunInterval(keys_[previous], keys_[current], ImageCount(number - 1), last, sink);
    if (result != 0) return result;
  }
  if (settings_.loop && sceneCount > 1) {
    const int result = RunInterval(keys_[current], first_, ImageCount(sceneCount), true, sink);
    if (result != 0) return result;
  }
  return 1;
}

int SceneLoop::RunInterval(const Keyframe& previous, const Keyframe& next, int n, bool last, IntervalSink& sink) {
  previous_ = &previous;
  next_ = &next;
  if (!KeyframesMatch(previous, next)) {
    Trace("Scenes differentes : seuls les objets communs sont interpoles\n");
  }
  if (!WithMemory(kMsgNoFrameMemory, [&] { StartReferenceFrames(previous, references_); })) return 0;
  return sink.RunInterval(*this, n, last);
}

void SceneLoop::SetUpFrame(int k, int count, int n) {
  if (n < 1) n = 1;
  const double t = static_cast<double>(k - 1) / n;
  AdvanceReferenceFrames(*previous_, *next_, k, count, n, references_);
  try {
    tessaran::SetUpFrame(*previous_, *next_, std::min(t, 1.0), settings_, references_, frame_);
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgNoPointMemory);
    frame_.points.clear();
  }
}

MaqScene MakePreviewScene(const PreviewMaterial& material) {
  Trace("Initialisation TabMAT Sphere Q1VOIR\n");
  MaqScene scene;
  scene.sceneNumber = 1;
  scene.objectCount = 1;
  scene.hasCamera = true;
  // Far enough back that the whole sphere fits the picture.
  scene.camera.distance = 40;
  scene.camera.focal = 1300;
  scene.hasFrames = true;
  scene.frames.resize(1);
  MaqObject sphere;
  sphere.firstPoint = 1;
  sphere.meshU = 4;
  sphere.meshV = 4;
  sphere.col = material.col;
  sphere.reflection = material.reflection;
  sphere.transmission = material.transmission;
  sphere.refraction = material.refraction;
  sphere.kSpec = material.KSpec;
  sphere.nSpec = material.NSpec;
  MaqObject closing;
  closing.firstPoint = 17;
  scene.objects = {sphere, closing};
  // The net spans the sphere's box so that its box is the sphere's.
  const float r = static_cast<float>(kPreviewSphereRadius);
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 4; ++i) {
      scene.points.push_back({-r + 2 * r * i / 3, -r + 2 * r * j / 3, (i + j) % 2 ? r : -r});
    }
  }
  MaqLamp lamp;
  lamp.frame.absOrigin = {-400, 400, 800};
  lamp.intensity = 1000;
  lamp.aperture = 0;
  scene.lamps.push_back(lamp);
  return scene;
}

}  // namespace tessaran
