#include "scene/scene_model.h"

#include <algorithm>
#include <limits>

#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {

namespace {
constexpr int kNotEnoughMemoryMessage = 31;
}  // namespace

SceneModel::SceneModel() {
  ReallocObject(kInitialObjects);
  GrowPoints(kInitialPoints, 0);
  NewScene();
}

void SceneModel::SetGrowthGate(GrowthGate gate) {
  gate_ = gate;
  frames_.SetGrowthGate(std::move(gate));
}

// ------------------------------------------------------------ object growth

int SceneModel::ReallocObject(int n) {
  Trace("nbAlloc=%d ReallocObject(%d)\n", objectCapacity_, n);
  if (n > kMaxObjects) return 0;
  // Never cut objects (the closing entry included) or free frames away.
  if (n < header_.objectCount + header_.freeFrameCount) return 0;

  const int old = objectCapacity_;
  int error = objects_.Resize(n, gate_);
  if (error == 0 && !frames_.ReopenRepere(n)) {
    objects_.Resize(old, {});  // shrinking back cannot fail
    error = 4;
  }
  if (error != 0) {
    Trace("ReallocObject Erreur=%d\n", error);
    return 0;
  }
  objectCapacity_ = n;

  // Lamps hang from frames of this table: links to slots that are gone are
  // cut, and the identifiers of the re-pointed frames are taken again.
  FrameTable& lampFrames = lamps_.Frames();
  for (int k = 0; k < Lamps::kMaxLamps; ++k) {
    if (lampFrames.Record(k).parent >= n) lampFrames.MakeRoot(k);
  }
  RefreshParentIds();
  Trace("ReallocObject OK\n");
  return 1;
}

void SceneModel::RefreshParentIds() {
  auto refresh = [&](FrameTable& table, int count) {
    for (int k = 0; k < count; ++k) {
      FrameRecord& record = table.Record(k);
      if (record.parent >= 0) record.parentId = frames_.Record(record.parent).identifier;
    }
  };
  refresh(frames_, frames_.Capacity());
  refresh(lamps_.Frames(), Lamps::kMaxLamps);
}

// --------------------------------------------------------------- scene life

void SceneModel::InitScene() {
  view_ = ViewCamera{};
  for (int k = 0; k < frames_.Capacity(); ++k) frames_.ResetFrame(k);
  lamps_.Reset();
}

void SceneModel::NewScene() {
  header_ = SceneHeader{};
  std::fill(objects_.records.begin(), objects_.records.end(), ObjectRecord{});
  std::fill(objects_.states.begin(), objects_.states.end(), ObjectState{});
  std::fill(objects_.boxes.begin(), objects_.boxes.end(), BoundingBox{});
  std::fill(objects_.faceGroups.begin(), objects_.faceGroups.end(), FaceGroup{});
  if (!objects_.records.empty()) objects_.records[0].SetFirstPoint(1);
  faceGroupCount_ = 0;
  faces_.Clear();
  maps_.Clear();
  assignments_.Clear();
  InitScene();
}

// ------------------------------------------------------------------ objects

int SceneModel::AppendObject(int u, int v, int tries) {
  const int n = header_.objectCount;
  const int freeFrames = header_.freeFrameCount;
  if (u < 0 || v < 0 || n + 1 >= kMaxObjects) return -1;
  if (n + 1 + freeFrames >= objectCapacity_ && !ReallocObject(n + freeFrames + 11)) return -1;

  const long first = Object(n).FirstPoint();
  const long next = first + static_cast<long>(u) * v;
  if (next > std::numeric_limits<int>::max()) return -1;
  const long missing = next - 1 - PointCapacity();
  if (missing > 0 && !GrowPoints(missing, tries)) return -1;

  MoveFreeFrames(1);
  Object(n) = ObjectRecord{};
  Object(n).SetMesh(u, v);
  Object(n).SetFirstPoint(static_cast<int>(first));
  Object(n + 1) = ObjectRecord{};
  Object(n + 1).SetFirstPoint(static_cast<int>(next));
  State(n) = ObjectState{};
  Box(n) = BoundingBox{};
  frames_.ResetFrame(n);
  header_.objectCount = n + 1;
  return n;
}

void SceneModel::RemoveObjects(const std::vector<bool>& removed) {
  const int n = header_.objectCount;
  const int used = n + header_.freeFrameCount;
  // The new slot of every object and free frame, -1 for a removed object.
  std::vector<int> slot(static_cast<std::size_t>(used), -1);
  int kept = 0;
  for (int k = 0; k < n; ++k) {
    if (k >= static_cast<int>(removed.size()) || !removed[static_cast<std::size_t>(k)]) slot[k] = kept++;
  }
  if (kept == n) return;
  for (int f = n; f < used; ++f) slot[f] = kept + (f - n);

  // Everything moves towards the start, so copying in order never
  // overwrites what is still to be read.
  int nextPoint = 1;
  for (int k = 0; k < n; ++k) {
    const int j = slot[k];
    if (j < 0) continue;
    const int first = Object(k).FirstPoint();
    const int count = ObjectPointCount(k);
    for (int p = 0; p < count; ++p) points_.Put(nextPoint + p, points_.Get(first + p));
    Object(j) = Object(k);
    Object(j).SetFirstPoint(nextPoint);
    State(j) = State(k);
    Box(j) = Box(k);
    nextPoint += count;
  }
  Object(kept) = ObjectRecord{};
  Object(kept).SetFirstPoint(nextPoint);
  for (int k = kept + 1; k <= n; ++k) Object(k) = ObjectRecord{};

  for (int k = 0; k < used; ++k) {
    if (slot[k] >= 0 && slot[k] != k) frames_.CopyFrame(k, slot[k]);
  }
  const int nowUsed = used - (n - kept);
  for (int k = nowUsed; k < used; ++k) frames_.ResetFrame(k);
  for (int k = 0; k < nowUsed; ++k) frames_.Record(k).identifier = k;
  auto follow = [&](FrameTable& table, int count) {
    for (int k = 0; k < count; ++k) {
      const int parent = table.Record(k).parent;
      if (parent < 0 || parent >= used) continue;
      if (slot[parent] < 0) {
        table.MakeRoot(k);
      } else {
        table.Record(k).parent = slot[parent];
      }
    }
  };
  follow(frames_, nowUsed);
  follow(lamps_.Frames(), Lamps::kMaxLamps);
  RefreshParentIds();

  AssignmentList assignments;
  for (int i = 0; i < assignments_.Count(); ++i) {
    Assignment a = assignments_[i];
    if (a.object < 0 || a.object >= n || slot[a.object] < 0) continue;
    a.object = slot[a.object];
    assignments.Add(a);
  }
  assignments_ = assignments;
  header_.objectCount = kept;
}

void SceneModel::UpdateBoundingBox(int k) {
  const int first = Object(k).FirstPoint();
  const int end = Object(k + 1).FirstPoint();
  if (end <= first) {
    Box(k) = BoundingBox{};
    return;
  }
  std::array<float, 3> low = points_.Get(first);
  std::array<float, 3> high = low;
  for (int p = first + 1; p < end; ++p) {
    const std::array<float, 3> xyz = points_.Get(p);
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], xyz[axis]);
      high[axis] = std::max(high[axis], xyz[axis]);
    }
  }
  Box(k) = BoxFromExtent(low, high);
}

int SceneModel::AddFaceGroup(const FaceGroup& group) {
  if (faceGroupCount_ >= static_cast<int>(objects_.faceGroups.size())) return 0;
  objects_.faceGroups[faceGroupCount_] = group;
  return ++faceGroupCount_;
}

// ------------------------------------------------------------------- frames

int SceneModel::MoveFreeFrames(int count) {
  const int first = header_.objectCount;
  const int end = first + header_.freeFrameCount;
  if (count <= 0) return count == 0;
  if (end + count > frames_.Capacity()) return 0;

  for (int k = end - 1; k >= first; --k) frames_.CopyFrame(k, k + count);
  for (int k = first; k < first + count; ++k) frames_.ResetFrame(k);

  auto follow = [&](FrameTable& table, int slots) {
    for (int k = 0; k < slots; ++k) {
      int& parent = table.Record(k).parent;
      if (parent >= first && parent < end) parent += count;
    }
  };
  follow(frames_, frames_.Capacity());
  follow(lamps_.Frames(), Lamps::kMaxLamps);
  for (int k = first + count; k < end + count; ++k) frames_.Record(k).identifier = k;
  RefreshParentIds();
  return 1;
}

void ShowNotEnoughMemory() { ShowMessage(MessageKind::Warning, kNotEnoughMemoryMessage); }

}  // namespace tessaran
