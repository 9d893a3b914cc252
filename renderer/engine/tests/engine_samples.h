// Scenes for the engine tests, built in memory as the scene reader would
// hand them, and a reporter that records the messages shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/report.h"
#include "renderer/engine/frame_setup.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/vecmath.h"
#include "scene/maq_scene.h"

namespace tessaran::engine_samples {

class MessageLog : public MessageReporter {
 public:
  MessageLog() { InstallReporter(this); }
  ~MessageLog() override { InstallReporter(nullptr); }
  void Report(MessageKind, int number, std::string_view) override { numbers.push_back(number); }
  bool Has(int number) const {
    for (const int n : numbers) {
      if (n == number) return true;
    }
    return false;
  }
  std::vector<int> numbers;
};

// A w × h picture (0xRRGGBB, row by row) as a binary PPM file, for maps.
inline void WritePpm(const std::filesystem::path& path, int w, int h, const std::vector<std::uint32_t>& rgb) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << w << " " << h << "\n255\n";
  for (std::uint32_t c : rgb) {
    out.put(static_cast<char>(c >> 16)).put(static_cast<char>(c >> 8)).put(static_cast<char>(c));
  }
}

// An empty scene: a camera on the z axis looking at the origin from 1040.
inline MaqScene EmptyScene() {
  MaqScene scene;
  scene.sceneNumber = 1;
  scene.hasCamera = true;
  scene.hasFrames = true;
  scene.objects.push_back(MaqObject{});  // the closing record
  return scene;
}

inline int AddObject(MaqScene& scene, const std::vector<std::array<float, 3>>& points, int nu, int nv,
                     std::uint16_t col) {
  const int k = scene.objectCount++;
  MaqObject& o = scene.objects.back();  // the closing record becomes the object
  o.firstPoint = static_cast<int>(scene.points.size()) + 1;
  o.meshU = nu;
  o.meshV = nv;
  o.col = col;
  scene.points.insert(scene.points.end(), points.begin(), points.end());
  MaqObject closing;
  closing.firstPoint = static_cast<int>(scene.points.size()) + 1;
  scene.objects.push_back(closing);
  scene.frames.resize(scene.objectCount);
  return k;
}

// A grid of nu × nv points at f(i, j); surface kind in the top bits of col.
inline int AddGrid(MaqScene& scene, int nu, int nv, const std::function<std::array<float, 3>(int, int)>& f,
                   std::uint16_t col = 0x4FFF) {
  std::vector<std::array<float, 3>> points;
  for (int j = 0; j < nv; ++j) {
    for (int i = 0; i < nu; ++i) points.push_back(f(i, j));
  }
  return AddObject(scene, points, nu, nv, col);
}

// A facet object: its points and triangles (1-based point numbers).
inline int AddFacets(MaqScene& scene, const std::vector<std::array<float, 3>>& points,
                     const std::vector<std::array<int, 3>>& triangles, std::uint16_t col = 0x8CCC) {
  const int k = AddObject(scene, points, 0, 0, col);
  MaqObject& o = scene.objects[k];
  int groups = 0;
  for (int i = 0; i < k; ++i) groups += scene.objects[i].FaceGroup() != 0;
  o.words[1] = static_cast<std::int16_t>(triangles.size());
  o.words[2] = static_cast<std::int16_t>(3 * triangles.size());
  o.words[3] = static_cast<std::int16_t>(scene.faces.size());
  o.words[4] = static_cast<std::int16_t>(groups + 1);
  for (const auto& t : triangles) {
    scene.faces.push_back({static_cast<std::int16_t>(t[0]), static_cast<std::int16_t>(t[1]),
                           static_cast<std::int16_t>(t[2]), 0});
  }
  return k;
}

// The frame of a single scene, set up as the scene loop does.
inline FrameTables FrameOf(const MaqScene& scene, const RenderSettings& settings = {}) {
  Keyframe key;
  std::vector<FaceGroup> groups;
  KeyframeFromScene(scene, key, &groups);
  ReferenceFrames references;
  StartReferenceFrames(key, references);
  FrameTables frame;
  frame.faceGroups = groups;
  frame.faces = scene.faces;
  frame.fileHasFaces = !scene.faces.empty();
  SetUpFrame(key, key, 0, settings, references, frame);
  return frame;
}

// Settings without the sun: only the scene's lamps light it.
inline RenderSettings NoSun() {
  RenderSettings rs;
  rs.sunIntensity = 0;
  return rs;
}

// A scene set up and prepared for tracing, kept in place (the trace scene
// points into it).
struct Traced {
  explicit Traced(const MaqScene& s, RenderSettings rs = NoSun()) : scene(s), settings(rs) {
    frame = FrameOf(scene, settings);
  }
  void Prepare() {
    EngineHooks hooks;
    ASSERT_EQ(PrepareScene(frame, settings, hooks, prepared), 1);
    ts.frame = &frame;
    ts.prepared = &prepared;
    ts.settings = &settings;
    ts.trace = trace;
  }
  Vec3 Point(int object, int i) const { return ToVec3(frame.points[frame.objects[object].firstPoint + i]); }
  MaqScene scene;
  RenderSettings settings;
  TraceSettings trace;
  FrameTables frame;
  PreparedScene prepared;
  TraceScene ts;
};

}  // namespace tessaran::engine_samples
