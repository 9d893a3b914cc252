// The modeler's reader: opens a scene of a file in place of the scene, or
// inserts a file's first scene after the present objects. The file is read
// and checked whole first, the tables are grown next, and only then is the
// scene changed, so a refused file or growth leaves the scene as it was.
#include <algorithm>
#include <limits>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "platform/console.h"
#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/maq_format.h"

namespace tessaran {

namespace {

using namespace maq;

constexpr int kNotEnoughMemoryMessage = 31;
constexpr int kCantOpenMessage = 32;

// ------------------------------------------------------------ 1. the walk

// Reads the chunks in file order, entering groups, up to the PTSX of scene
// `sceneNumber`: the header chunks, the first FACE (the first scene's, which
// serves every scene) and the chunks of the wanted scene group.
bool CollectChunks(ByteSpan bytes, int sceneNumber, SceneChunks& chunks, int& sceneCount,
                   std::string& problem) {
  if (bytes.size() < 12 || ByteReader(bytes).Tag() != "FORM") {
    problem = "not an IFF file";
    return false;
  }
  std::optional<ByteSpan> schd;
  IffScanner scanner(bytes);
  IffChunk chunk;
  int scene = 0;
  auto keep = [&](std::optional<ByteSpan>& slot, bool wanted) {
    if (wanted && !slot) slot = chunk.data;
  };
  while (scanner.Next(chunk)) {
    const std::string& tag = chunk.tag;
    const bool here = scene == sceneNumber;
    if (IsIffGroup(tag)) continue;
    if (tag == kSCEN) {
      ++scene;
      keep(chunks.scen, scene == sceneNumber);
    } else if (tag == kSCHD) {
      keep(schd, true);
    } else if (tag == kMAPX) {
      keep(chunks.mapx, true);
    } else if (tag == kLSTM) {
      keep(chunks.lstm, true);
    } else if (tag == kMAPP) {
      keep(chunks.mapp, true);
    } else if (tag == kFACE) {
      keep(chunks.face, true);
    } else if (tag == kCMRA) {
      keep(chunks.cmra, here);
    } else if (tag == kREPO) {
      keep(chunks.repo, here);
    } else if (tag == kLAMP) {
      keep(chunks.lamp, here);
    } else if (tag == kOBJE) {
      keep(chunks.obje, here);
    } else if (tag == kPTSX && here) {
      chunks.ptsx = chunk.data;
      break;  // PTSX ends the scene
    }
  }
  // A file without SCHD holds one scene.
  sceneCount = schd ? DecodeSceneCount(*schd) : 1;
  if (sceneCount < 1) {
    problem = "SCHD of " + std::to_string(sceneCount) + " scenes";
    return false;
  }
  if (!chunks.ptsx) {
    problem = scanner.Truncated() ? "a chunk passes the end of the file"
                                  : "scene " + std::to_string(sceneNumber) + " is incomplete or missing";
    return false;
  }
  return true;
}

// ----------------------------------------------------- 2. growing the tables

// Grows the object capacity keeping the present frames' links, which the
// frame table's growth would reset.
int GrowObjects(SceneModel& scene, int n) {
  const int used = scene.Header().objectCount + scene.Header().freeFrameCount;
  std::vector<FrameRecord> records;
  for (int k = 0; k < used; ++k) records.push_back(scene.Frames().Record(k));
  if (!scene.ReallocObject(n)) return 0;
  for (int k = 0; k < used; ++k) scene.Frames().Record(k) = records[k];
  FrameTable& lamps = scene.SceneLamps().Frames();
  for (int i = 0; i < Lamps::kMaxLamps; ++i) {
    FrameRecord& record = lamps.Record(i);
    if (record.parent >= 0) record.parentId = scene.Frames().Record(record.parent).identifier;
  }
  return 1;
}

// The capacities the file needs, grown; false (message 31 to show) when a
// limit or a growth refuses. `faces` receives the face table of the result.
bool GrowFor(SceneModel& scene, const MaqScene& file, bool insert, FaceTable& faces,
             std::string& problem) {
  const SceneHeader& h = scene.Header();
  const int oldObjects = insert ? h.objectCount : 0;
  const int oldFrames = insert ? h.objectCount + h.freeFrameCount : 0;
  const long need = long{oldFrames} + static_cast<long>(file.frames.size() > 0 ? file.frames.size()
                                                                                : file.objectCount);
  const int objects = oldObjects + file.objectCount;
  if (need >= SceneModel::kMaxObjects) {
    problem = std::to_string(need) + " objects and frames";
    return false;
  }
  int capacity = scene.ObjectCapacity();
  if (objects >= capacity) capacity = insert ? objects + 10 : objects + objects / 10;
  if (need >= capacity) capacity = static_cast<int>(need + need / 10);
  capacity = std::min(capacity, SceneModel::kMaxObjects);
  if (capacity > scene.ObjectCapacity() && !GrowObjects(scene, capacity)) {
    problem = "the object tables cannot grow";
    return false;
  }
  const long points = (insert ? scene.TotalPoints() : 0) + long{file.objects.back().firstPoint} - 1;
  if (points > scene.PointCapacity() && !scene.GrowPoints(points + 100, 0)) {
    problem = "the points table cannot grow";
    return false;
  }
  if (file.faces.empty()) return true;
  // Faces go into a table of their own, which takes the scene's place once
  // nothing can fail any more.
  const int old = insert ? scene.Faces().Count() : 0;
  const std::size_t total = static_cast<std::size_t>(old) + file.faces.size();
  if (total > 0x7FFFFFFFu / sizeof(Face) || !faces.Resize(static_cast<int>(total))) {
    problem = "the face table cannot grow";
    return false;
  }
  for (int i = 0; i < old; ++i) faces.Put(i, scene.Faces().Get(i));
  for (std::size_t i = 0; i < file.faces.size(); ++i) faces.Put(old + static_cast<int>(i), file.faces[i]);
  return true;
}

// Whether the merged maps and assignments fit their lists.
bool MapsFit(const SceneModel& scene, const MaqScene& file) {
  MapList merged = scene.Maps();
  for (const MapEntry& map : file.maps) {
    if (merged.Add(map.type, map.repetition, map.name) == 0) return false;
  }
  std::unordered_set<std::int32_t> objects;
  for (const Assignment& a : file.assignments) objects.insert(a.object);
  return scene.Assignments().Count() + static_cast<int>(objects.size()) <= AssignmentList::kMaxAssignments;
}

// ------------------------------------------------------- 3. changing the scene

// Identifiers for inserted frames: the slot number unless a present frame
// (slots below objectSlot, and from objectSlot + count to freeSlot) carries
// it already, else one above every identifier in use.
class FreshIdentifiers {
 public:
  FreshIdentifiers(const FrameTable& frames, int objectSlot, int count, int freeSlot) {
    for (int k = 0; k < freeSlot; ++k) {
      if (k >= objectSlot && k < objectSlot + count) continue;
      taken_.insert(frames.Record(k).identifier);
      highest_ = std::max(highest_, frames.Record(k).identifier);
    }
  }
  int Take(int slot) {
    int id = slot;
    if (taken_.count(id)) {
      if (highest_ < std::numeric_limits<int>::max()) {
        id = highest_ + 1;
      } else {
        while (taken_.count(id)) ++id;  // slots lie far below the largest int
      }
    }
    taken_.insert(id);
    highest_ = std::max(highest_, id);
    return id;
  }

 private:
  std::unordered_set<int> taken_;
  int highest_ = 0;
};

void StoreFrame(FrameTable& table, int slot, const MaqFrame& f, int identifier) {
  table.ResetFrame(slot);
  table.AbsOrigin(slot) = f.absOrigin;
  table.AbsOrientation(slot) = f.absOrientation;
  table.RelOrigin(slot) = f.relOrigin;
  table.RelOrientation(slot) = f.relOrientation;
  FrameRecord& r = table.Record(slot);
  r.state = f.state;
  r.identifier = identifier;
  r.parentFlag = f.parentFlag;
  r.parentId = f.parentId;
  r.parent = -1;
}

// Links a frame to the frame of the file that carries its parent
// identifier; without one it becomes a root.
void Link(FrameTable& table, int slot, const MaqFrame& f, const std::unordered_map<int, int>& slots,
          const FrameTable& parents) {
  const auto it = f.parentId == -1 ? slots.end() : slots.find(f.parentId);
  if (it == slots.end() || (&table == &parents && it->second == slot)) {
    table.MakeRoot(slot);
    return;
  }
  table.Record(slot).parent = it->second;
  table.Record(slot).parentId = parents.Record(it->second).identifier;
}

// A chain of parents that comes back to itself could never be brought up to
// date: the frame that closes it becomes a root.
void CutLoops(FrameTable& table, const std::vector<int>& slots) {
  std::unordered_map<int, int> mark;  // 1 on the present path, 2 done
  for (int start : slots) {
    std::vector<int> path;
    int k = start;
    while (k >= 0 && mark[k] == 0) {
      mark[k] = 1;
      path.push_back(k);
      const int parent = table.Record(k).parent;
      if (parent >= 0 && mark[parent] == 1) {
        table.MakeRoot(k);
        break;
      }
      k = parent;
    }
    for (int p : path) mark[p] = 2;
  }
}

// Places the file's frames: object frame i in slot objectSlot + i, free
// frame j in freeSlot + j; lamp i in lamp slot lampSlot + i.
void PlaceFrames(SceneModel& scene, const MaqScene& file, int objectSlot, int freeSlot, int lampSlot,
                 bool keepIdentifiers) {
  FrameTable& frames = scene.Frames();
  const int n = file.objectCount;
  FreshIdentifiers fresh(frames, objectSlot, n, freeSlot);
  std::vector<int> slots;
  std::unordered_map<int, int> byIdentifier;
  for (std::size_t i = 0; i < file.frames.size(); ++i) {
    const int slot = static_cast<int>(i) < n ? objectSlot + static_cast<int>(i) : freeSlot + static_cast<int>(i) - n;
    const MaqFrame& f = file.frames[i];
    StoreFrame(frames, slot, f, keepIdentifiers ? f.identifier : fresh.Take(slot));
    byIdentifier.emplace(f.identifier, slot);  // the first frame of an identifier wins
    slots.push_back(slot);
  }
  for (std::size_t i = 0; i < file.frames.size(); ++i) Link(frames, slots[i], file.frames[i], byIdentifier, frames);
  CutLoops(frames, slots);

  FrameTable& lampFrames = scene.SceneLamps().Frames();
  for (std::size_t i = 0; i < file.lamps.size(); ++i) {
    const int slot = lampSlot + static_cast<int>(i);
    const MaqLamp& lamp = file.lamps[i];
    StoreFrame(lampFrames, slot, lamp.frame,
               keepIdentifiers ? lamp.frame.identifier : Lamps::kIdentifierBase + slot);
    Link(lampFrames, slot, lamp.frame, byIdentifier, frames);
    scene.SceneLamps().Params(slot) = lamp.stored;
  }
  scene.SceneLamps().SetCount(lampSlot + static_cast<int>(file.lamps.size()));
}

// Older files carry no frames: the record's words give each object's
// rotation about X, Y and Z in degrees and its origin.
void PlaceOlderFrames(SceneModel& scene, const MaqScene& file, int objectSlot) {
  FrameTable& frames = scene.Frames();
  for (int i = 0; i < file.objectCount; ++i) {
    const MaqObject& o = file.objects[i];
    const int slot = objectSlot + i;
    frames.ResetFrame(slot);
    Mat3& orientation = frames.AbsOrientation(slot);
    Rotate(orientation, Axis::X, o.words[0] * kDegree);
    Rotate(orientation, Axis::Y, o.words[1] * kDegree);
    Rotate(orientation, Axis::Z, o.words[2] * kDegree);
    frames.RelOrientation(slot) = orientation;
    frames.AbsOrigin(slot) = {double(o.words[3]), double(o.words[4]), double(o.words[5])};
    frames.RelOrigin(slot) = frames.AbsOrigin(slot);
  }
}

void StoreObjects(SceneModel& scene, const MaqScene& file, int first, int pointShift, int faceShift) {
  for (int i = 0; i < file.objectCount; ++i) {
    const MaqObject& o = file.objects[i];
    const int k = first + i;
    ObjectRecord& record = scene.Object(k);
    record = ObjectRecord{};
    record.SetMesh(o.meshU, o.meshV);
    record.SetFirstPoint(o.firstPoint + pointShift);
    record.SetCol(o.col);
    record.SetReflection(o.reflection);
    record.SetTransmission(o.transmission);
    record.SetRefraction(o.refraction);
    record.SetKSpec(o.kSpec);
    record.SetNSpec(o.nSpec);
    scene.State(k) = ObjectState{1, 0};  // what was read is selected
    if (!file.hasFrames) {
      // The older words are the object's rotation angles.
      for (int w = 0; w < 3; ++w) record.word[4 + w] = o.words[w];
    } else if (o.FaceGroup() != 0) {
      const FaceGroup group{static_cast<std::int16_t>(o.FaceCount()), o.FacePointCount(), o.FirstFace() + faceShift};
      scene.State(k).faceGroup = static_cast<std::int16_t>(scene.AddFaceGroup(group));
    } else {
      record.word[4] = o.words[1];
      record.word[5] = o.words[2];
    }
  }
  ObjectRecord& closing = scene.Object(first + file.objectCount);
  closing = ObjectRecord{};
  closing.SetFirstPoint(file.objects.back().firstPoint + pointShift);
}

int StorePoints(SceneModel& scene, const MaqScene& file, int shift) {
  const int total = file.objects.back().firstPoint - 1;
  for (int p = 1; p <= total; ++p) {
    if (!scene.Points().Put(shift + p, file.points[p - 1])) return 0;
  }
  return 1;
}

// Maps are looked up in the present list and appended when absent; the
// assignments' references follow the new numbers and their objects the
// first inserted object.
void MergeMaps(SceneModel& scene, const MaqScene& file, int firstObject) {
  std::vector<std::int32_t> index{0};
  for (const MapEntry& map : file.maps) index.push_back(scene.Maps().Add(map.type, map.repetition, map.name));
  for (const Assignment& a : file.assignments) {
    Assignment moved{a.object + firstObject, {}};
    for (int slot = 0; slot < 3; ++slot) moved.maps[slot] = index[a.maps[slot]];
    scene.Assignments().Add(moved);
  }
}

// View state of a scene group: from SCEN, then from CMRA when present. The
// zoom comes from CMRA only where its distance and focal value describe
// one.
void StoreView(ViewCamera& view, const MaqScene& file) {
  const auto word = [&](int k) { return static_cast<std::uint16_t>(file.sceneWords[k]); };
  view.PERS = std::max<int>(word(2), 1);
  // Zoom from the coarse copy: whole tenths, integer division as the system
  // has it; below 1 the tenths are kept so that the view never collapses.
  view.zoom = word(3) >= 10 ? word(3) / 10 : word(3) > 0 ? word(3) / 10.0 : 1.0;
  view.TH = file.sceneWords[4];
  view.PH = file.sceneWords[5];
  view.distance = CameraDistance(view.PERS);
  view.focal = CameraFocal(view.distance, view.zoom);
  if (!file.hasCamera) return;
  const MaqCamera& c = file.camera;
  view.TH = c.TH / kDegree;
  view.PH = c.PH / kDegree;
  view.CIBLE = c.target;
  view.PERS = std::max<int>(CoarseUnsignedWord(c.distance * 50, 50 / kLengthScale), 1);
  if (c.distance > 0 && c.focal > 0) {
    view.zoom = c.distance * 100 / (c.focal * 4);
    view.distance = c.distance;
    view.focal = c.focal;
  }
}

void UpdateBoxes(SceneModel& scene, int first, int count) {
  for (int k = first; k < first + count; ++k) scene.UpdateBoundingBox(k);
}

bool Open(SceneModel& scene, const MaqScene& file, FaceTable& faces, int sceneCount) {
  scene.NewScene();
  SceneHeader& h = scene.Header();
  h.objectCount = file.objectCount;
  h.freeFrameCount = file.FreeFrameCount();
  h.sceneNumber = file.sceneNumber;
  h.sceneCount = sceneCount;
  StoreView(scene.View(), file);
  if (!file.hasFrames) PlaceOlderFrames(scene, file, 0);
  PlaceFrames(scene, file, 0, file.objectCount, 0, true);
  StoreObjects(scene, file, 0, 0, 0);
  scene.Faces() = std::move(faces);
  MergeMaps(scene, file, 0);
  const int stored = StorePoints(scene, file, 0);
  UpdateBoxes(scene, 0, file.objectCount);
  return stored;
}

bool Insert(SceneModel& scene, const MaqScene& file, FaceTable& faces) {
  SceneHeader& h = scene.Header();
  const int oldObjects = h.objectCount;
  const int oldFree = h.freeFrameCount;
  const int pointShift = scene.TotalPoints();
  const int faceShift = scene.Faces().Count();
  scene.MoveFreeFrames(file.objectCount);
  const int lampSlot = scene.SceneLamps().Count();
  if (!file.hasFrames) PlaceOlderFrames(scene, file, oldObjects);
  PlaceFrames(scene, file, oldObjects, oldObjects + file.objectCount + oldFree, lampSlot, false);
  StoreObjects(scene, file, oldObjects, pointShift, faceShift);
  if (!file.faces.empty()) scene.Faces() = std::move(faces);
  MergeMaps(scene, file, oldObjects);
  h.objectCount = oldObjects + file.objectCount;
  h.freeFrameCount = oldFree + file.FreeFrameCount();
  const int stored = StorePoints(scene, file, pointShift);
  UpdateBoxes(scene, oldObjects, file.objectCount);
  return stored;
}

}  // namespace

int ReadModelBytes(SceneModel& scene, ByteSpan bytes, ReadMode mode, int sceneNumber,
                   std::string* problemOut) {
  std::string problem;
  auto fail = [&](int message) {
    Trace("Lecture MAQ impossible : %s\n", problem.c_str());
    if (problemOut) *problemOut = problem;
    ShowMessage(message == kNotEnoughMemoryMessage ? MessageKind::Warning : MessageKind::Error, message);
    return 1;
  };
  const bool insert = mode != ReadMode::Open;
  if (insert) sceneNumber = 1;
  SceneChunks chunks;
  MaqScene file;
  int sceneCount = 0;
  if (sceneNumber < 1 || !CollectChunks(bytes, sceneNumber, chunks, sceneCount, problem) ||
      !DecodeScene(chunks, nullptr, file, problem)) {
    if (problem.empty()) problem = "no scene " + std::to_string(sceneNumber);
    return fail(kCantOpenMessage);
  }

  if (insert && scene.SceneLamps().Count() + static_cast<int>(file.lamps.size()) > Lamps::kMaxLamps) {
    problem = "more than 10 lamps";
    return fail(kNotEnoughMemoryMessage);
  }
  if (insert && !MapsFit(scene, file)) {
    problem = "more maps or assignments than the scene holds";
    return fail(kNotEnoughMemoryMessage);
  }
  FaceTable faces;
  if (!GrowFor(scene, file, insert, faces, problem)) return fail(kNotEnoughMemoryMessage);
  const bool stored = insert ? Insert(scene, file, faces) : Open(scene, file, faces, sceneCount);
  if (!stored) {
    problem = "the points table refused a point";
    return fail(kNotEnoughMemoryMessage);
  }
  return 0;
}

int ReadModel(SceneModel& scene, const std::filesystem::path& file, ReadMode mode, int sceneNumber) {
  Bytes bytes;
  std::string problem;
  if (!ReadWholeFile(file, bytes, &problem)) {
    Trace("Lecture MAQ impossible : %s\n", problem.c_str());
    ShowMessage(MessageKind::Error, kCantOpenMessage);
    return 1;
  }
  return ReadModelBytes(scene, bytes, mode, sceneNumber);
}

}  // namespace tessaran
