// Scenes and files for the scene-file tests and the fuzzers' seeds, made
// with the model's own operations, and a reporter that records the
// messages shown.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/scene_model.h"
#include "storage/iff.h"

namespace tessaran::testing_maq {

// Records message numbers while installed.
class MessageLog : public MessageReporter {
 public:
  MessageLog() { InstallReporter(this); }
  ~MessageLog() override { InstallReporter(nullptr); }
  void Report(MessageKind kind, int number, std::string_view) override {
    numbers.push_back(number);
    kinds.push_back(kind);
  }
  std::vector<int> numbers;
  std::vector<MessageKind> kinds;
};

// A fresh folder, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("tessaran-maq-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

// Adds a u × v grid object whose points start at `offset` (spaced by 1.25).
inline int AddGrid(SceneModel& scene, int u, int v, float offset) {
  const int k = scene.AppendObject(u, v);
  const int first = scene.Object(k).FirstPoint();
  for (int i = 0; i < u * v; ++i) {
    scene.Points().Put(first + i, {offset + 1.25f * (i % u), offset - 0.5f * (i / u), offset * 0.001f + i});
  }
  scene.UpdateBoundingBox(k);
  return k;
}

// Adds a faceted object of four points and two triangles (one with an
// invisible edge).
inline int AddFaceted(SceneModel& scene, float offset) {
  const int k = scene.AppendObject(0, 0);
  // Four points: the closing entry moves on past them.
  const int first = scene.Object(k).FirstPoint();
  scene.Object(k + 1).SetFirstPoint(first + 4);
  for (int i = 0; i < 4; ++i) scene.Points().Put(first + i, {offset + i, offset * 2, -offset});
  scene.Object(k).SetCol(kFacetedObjectCol);
  const int present = scene.Faces().Count();
  scene.Faces().Resize(present + 2);
  scene.Faces().Put(present, {1, 2, 3, 0});
  scene.Faces().Put(present + 1, {1, -3, 4, 0});
  scene.State(k).faceGroup = static_cast<std::int16_t>(scene.AddFaceGroup({2, 6, present}));
  return k;
}

// A scene using every part of the file: plain and faceted objects on
// rotated frames, a free frame the first object hangs from, two lamps (one
// hanging from the free frame, one without shadows), maps and assignments,
// and a view of zoom 2.35 at 30° and -30°.
inline void BuildRichScene(SceneModel& scene) {
  scene.NewScene();
  const int a = AddGrid(scene, 4, 3, 8000.125f);
  const int b = AddGrid(scene, 2, 2, -3.5f);
  AddFaceted(scene, 12.0f);
  scene.Object(a).SetCol(0x4ABC);
  scene.Object(a).SetReflection(30);
  scene.Object(a).SetTransmission(70);
  scene.Object(a).SetRefraction(12);
  scene.Object(a).SetKSpec(45);
  scene.Object(a).SetNSpec(99);
  scene.Object(b).word[4] = -7;
  scene.Object(b).word[5] = 1234;

  FrameTable& frames = scene.Frames();
  Rotate(frames.AbsOrientation(a), Axis::X, 30 * std::numbers::pi / 180);
  Rotate(frames.AbsOrientation(b), Axis::Y, -30 * std::numbers::pi / 180);
  frames.AbsOrigin(a) = {0.70710678, -1234.56789, 42};
  frames.AbsOrigin(b) = {-0.3, 5, 1e-5};
  // One free frame, turned and moved, that object a hangs from.
  const int free = scene.Header().objectCount;
  scene.Header().freeFrameCount = 1;
  frames.ResetFrame(free);
  frames.AbsOrigin(free) = {10, 20, 30};
  Rotate(frames.AbsOrientation(free), Axis::Z, 0.25);
  AttachFrame(frames, a, free);

  Lamps& lamps = scene.SceneLamps();
  lamps.SetCount(2);
  lamps.Frames().AbsOrigin(0) = {100, 200, -300};
  SetLampIntensity(lamps.Params(1), 50, false);
  lamps.Params(1).aperture = 90;
  lamps.Params(1).colour = 0x0F80;
  AttachFrame(lamps.Frames(), 1, frames, free);

  const int map1 = scene.Maps().Add(2, MapRepetition(3, 4), "WOOD.LBM");
  const int map2 = scene.Maps().Add(1, MapRepetition(1, 1), "BUMP.LBM");
  scene.Assignments().Add({a, {map1, 0, map2}});
  scene.Assignments().Add({b, {0, map2, 0}});

  ViewCamera& view = scene.View();
  view.zoom = 2.35;
  view.TH = 30;
  view.PH = -30;
  view.PERS = 2000;
  view.CIBLE = {1.5, -2.25, 100};
}

inline std::string Text(ByteSpan bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// The chunks of a file's form and groups, in order, with their payloads.
struct FlatChunk {
  std::string tag;
  Bytes data;
};
inline std::vector<FlatChunk> Flatten(ByteSpan bytes) {
  std::vector<FlatChunk> out;
  IffScanner scanner(bytes);
  IffChunk chunk;
  while (scanner.Next(chunk)) {
    if (IsIffGroup(chunk.tag)) {
      out.push_back({chunk.tag + ":" + Text(chunk.data.subspan(0, 4)), {}});
    } else {
      out.push_back({chunk.tag, Bytes(chunk.data.begin(), chunk.data.end())});
    }
  }
  return out;
}

// Rebuilds a one-scene file from flattened chunks: header chunks before the
// first SCEN go into the header group, the rest into one scene group.
// Chunks may be dropped or changed by the caller first.
inline Bytes Rebuild(const std::vector<FlatChunk>& chunks) {
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup("FORM", "TSRN");
  iff.BeginGroup("FORM", "TSHD");
  bool inScene = false;
  for (const FlatChunk& c : chunks) {
    if (c.tag.find(':') != std::string::npos) continue;
    if (c.tag == "SCEN" && !inScene) {
      iff.End();
      iff.BeginGroup("FORM", "TSSC");
      inScene = true;
    }
    iff.Chunk(c.tag, c.data);
  }
  iff.End();
  iff.End();
  return out;
}

inline FlatChunk* Find(std::vector<FlatChunk>& chunks, const std::string& tag) {
  for (FlatChunk& c : chunks) {
    if (c.tag == tag) return &c;
  }
  return nullptr;
}

inline void PutI16(Bytes& data, std::size_t at, int value) {
  data[at] = std::byte(static_cast<std::uint8_t>(value >> 8));
  data[at + 1] = std::byte(static_cast<std::uint8_t>(value));
}
inline void PutI32(Bytes& data, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) data[at + i] = std::byte(static_cast<std::uint8_t>(value >> (24 - 8 * i)));
}
inline int GetI16(const Bytes& data, std::size_t at) {
  return static_cast<std::int16_t>(std::to_integer<int>(data[at]) << 8 | std::to_integer<int>(data[at + 1]));
}

}  // namespace tessaran::testing_maq
