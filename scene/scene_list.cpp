#include "scene/scene_list.h"

#include <algorithm>
#include <list>

#include "platform/console.h"
#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/maq_format.h"
#include "storage/iff.h"

namespace tessaran {

namespace {

using namespace maq;

constexpr int kCantOpenMessage = 32;
constexpr int kDiskFullMessage = 33;
constexpr int kMaxScenes = 32767;  // SCHD is a signed word

struct Chunk {
  std::string tag;
  ByteSpan data;
};
using ChunkList = std::vector<Chunk>;

// The file as its edits see it: the chunks of the header group, the scene
// groups, and any other chunk of the file's form, kept in place.
struct SceneFile {
  Bytes bytes;
  std::list<Bytes> written;  // payloads of the scenes the edit writes
  ChunkList header;
  std::vector<ChunkList> scenes;
  ChunkList others;
  bool othersBeforeScenes = true;
  std::optional<Chunk> removedFaces;  // of a first scene the edit removes
};

bool Chunks(ByteSpan contents, ChunkList& chunks) {
  IffWalker walker(contents);
  IffChunk chunk;
  while (walker.Next(chunk)) chunks.push_back({chunk.tag, chunk.data});
  return !walker.Truncated();
}

bool Parse(SceneFile& file) {
  IffWalker top(file.bytes);
  IffChunk form;
  std::string type;
  ByteSpan contents;
  if (!top.Next(form) || form.tag != "FORM" || !IffGroupContents(form, type, contents) || type != kFileType) {
    return false;
  }
  IffWalker walker(contents);
  IffChunk chunk;
  while (walker.Next(chunk)) {
    ByteSpan inner;
    if (chunk.tag == "FORM" && IffGroupContents(chunk, type, inner) && type == kHeaderType) {
      if (!Chunks(inner, file.header)) return false;
    } else if (chunk.tag == "FORM" && IffGroupContents(chunk, type, inner) && type == kSceneType) {
      file.scenes.emplace_back();
      if (!Chunks(inner, file.scenes.back())) return false;
    } else {
      if (!file.scenes.empty()) file.othersBeforeScenes = false;
      file.others.push_back({chunk.tag, chunk.data});
    }
  }
  return !walker.Truncated() && !file.scenes.empty();
}

bool Read(const std::filesystem::path& path, SceneFile& file) {
  std::string problem = "not a scene file";
  if (ReadWholeFile(path, file.bytes, &problem) && Parse(file)) return true;
  Trace("Edition des scenes impossible : %s\n", problem.c_str());
  ShowMessage(MessageKind::Error, kCantOpenMessage);
  return false;
}

// The present scene as the scene group at `position`.
ChunkList SceneChunksOf(SceneFile& file, const SceneModel& scene, int position) {
  MaqWriteOptions options;
  options.sceneNumber = position;
  Bytes& out = file.written.emplace_back();
  IffWriter iff(out);
  WriteSceneGroup(iff, scene, position == 1, options);
  IffChunk group;
  std::string type;
  ByteSpan contents;
  ChunkList chunks;
  IffWalker walker(out);
  if (walker.Next(group) && IffGroupContents(group, type, contents)) Chunks(contents, chunks);
  return chunks;
}

auto FindTag(ChunkList& chunks, std::string_view tag) {
  return std::find_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.tag == tag; });
}

// Only the first scene carries FACE: when it has none, the faces of the
// scene that was first (`carried` when it is gone) move there, after its
// OBJE.
void KeepFacesFirst(std::vector<ChunkList>& scenes, std::optional<Chunk> face) {
  for (ChunkList& scene : scenes) {
    const auto it = FindTag(scene, kFACE);
    if (it == scene.end()) continue;
    if (!face) face = *it;
    if (&scene != &scenes.front()) scene.erase(it);
  }
  ChunkList& first = scenes.front();
  if (!face || FindTag(first, kFACE) != first.end()) return;
  auto at = FindTag(first, kOBJE);
  if (at != first.end()) ++at;
  first.insert(at, *face);
}

Bytes Assemble(SceneFile& file) {
  KeepFacesFirst(file.scenes, file.removedFaces);
  Bytes out;
  IffWriter iff(out);
  auto chunks = [&](const ChunkList& list) {
    for (const Chunk& c : list) iff.Chunk(c.tag, c.data);
  };
  iff.BeginGroup("FORM", kFileType);
  iff.BeginGroup("FORM", kHeaderType);
  bool counted = false;
  for (const Chunk& c : file.header) {
    if (c.tag != kSCHD) {
      iff.Chunk(c.tag, c.data);
      continue;
    }
    iff.BeginChunk(kSCHD);
    iff.Data().U16BE(static_cast<std::uint16_t>(file.scenes.size()));
    iff.End();
    counted = true;
  }
  if (!counted) {
    iff.BeginChunk(kSCHD);
    iff.Data().U16BE(static_cast<std::uint16_t>(file.scenes.size()));
    iff.End();
  }
  iff.End();
  if (file.othersBeforeScenes) chunks(file.others);
  for (const ChunkList& scene : file.scenes) {
    iff.BeginGroup("FORM", kSceneType);
    chunks(scene);
    iff.End();
  }
  if (!file.othersBeforeScenes) chunks(file.others);
  iff.End();
  return out;
}

int Write(const std::filesystem::path& path, SceneFile& file) {
  const Bytes bytes = Assemble(file);
  std::string problem;
  const WriteStep step = WriteFileThrough(path, path.parent_path() / kSceneListTemporary, bytes, &problem);
  if (step == WriteStep::Done) return static_cast<int>(file.scenes.size());
  Trace("Edition des scenes impossible : %s\n", problem.c_str());
  ShowMessage(MessageKind::Error, step == WriteStep::Write ? kDiskFullMessage : kCantOpenMessage);
  return 0;
}

// A scene the file cannot hold is refused before the file is touched.
bool Fits(const std::filesystem::path& path, const SceneModel& scene) {
  std::string why;
  if (SceneFitsTheFile(scene, &why)) return true;
  Reporter().Report(MessageKind::Error, -1, path.string() + ": " + why);
  return false;
}

}  // namespace

int InsertScene(const std::filesystem::path& path, int position, const SceneModel& scene) {
  if (!Fits(path, scene)) return 0;
  SceneFile file;
  if (!Read(path, file)) return 0;
  const int count = static_cast<int>(file.scenes.size());
  if (position < 1 || count >= kMaxScenes) return 0;
  position = std::min(position, count + 1);
  file.scenes.insert(file.scenes.begin() + (position - 1), SceneChunksOf(file, scene, position));
  return Write(path, file);
}

int DeleteScene(const std::filesystem::path& path, int number) {
  SceneFile file;
  if (!Read(path, file)) return 0;
  const int count = static_cast<int>(file.scenes.size());
  if (count < 2 || number < 1 || number > count) return 0;
  if (number == 1) {
    const auto face = FindTag(file.scenes.front(), kFACE);
    if (face != file.scenes.front().end()) file.removedFaces = *face;
  }
  file.scenes.erase(file.scenes.begin() + (number - 1));
  return Write(path, file);
}

int ReplaceScene(const std::filesystem::path& path, int number, const SceneModel& scene) {
  if (!Fits(path, scene)) return 0;
  SceneFile file;
  if (!Read(path, file)) return 0;
  if (number < 1 || number > static_cast<int>(file.scenes.size())) return 0;
  file.scenes[number - 1] = SceneChunksOf(file, scene, number);
  return Write(path, file);
}

}  // namespace tessaran
