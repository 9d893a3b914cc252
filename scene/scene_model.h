// The modeler's scene in memory: one keyframe scene made of objects on a
// shared points table, their frames and the free frames, ten lamps, the
// view and camera, the maps with their assignments and the explicit faces.
// The modeler owns one instance; every operation reads and changes it.
#pragma once

#include <vector>

#include "scene/faces.h"
#include "scene/frames.h"
#include "scene/growth.h"
#include "scene/lamps.h"
#include "scene/maps.h"
#include "scene/objects.h"
#include "scene/points.h"
#include "scene/view.h"

namespace tessaran {

struct SceneSnapshot;

// The counts of the scene; the map and assignment counts are the sizes of
// their lists.
struct SceneHeader {
  int objectCount = 0;     // N
  int freeFrameCount = 0;  // free frames, in the frame slots after the N object frames
  int sceneNumber = 0;     // the present scene in the animation, 0 outside it
  int sceneCount = 0;      // scenes in the file
};

class SceneModel {
 public:
  static constexpr int kInitialObjects = 100;
  static constexpr int kMaxObjects = 65535;
  static constexpr int kInitialPoints = 10000;
  static constexpr int kMaxPoints = PointTables::kMaxPoints;

  // Tables for 100 objects and 10000 points, then an empty scene. Should an
  // allocation fail, the capacities say so (0).
  SceneModel();

  // ---- capacities; growth returns 1, or 0 leaving capacity and content
  int ObjectCapacity() const { return objectCapacity_; }
  // Object capacity n for the objects, their tables and the frames. Refused
  // above 65535 and below the objects and free frames in use.
  int ReallocObject(int n);
  int PointCapacity() const { return points_.Capacity(); }
  // tries <= 0: a total of `points`; tries > 0: `points` more, up to `tries`
  // attempts. The views' projected-point tables follow.
  int GrowPoints(long points, int tries) { return points_.Grow(points, tries); }

  // ---- scene life
  // View constants, a fresh frame in every slot, the 10 lamps reset.
  void InitScene();
  // An empty scene: no objects, free frames, maps, assignments or faces;
  // then InitScene.
  void NewScene();

  SceneHeader& Header() { return header_; }
  const SceneHeader& Header() const { return header_; }
  ViewCamera& View() { return view_; }
  const ViewCamera& View() const { return view_; }

  // ---- objects; record N is the closing entry
  ObjectRecord& Object(int k) { return objects_.records[k]; }
  const ObjectRecord& Object(int k) const { return objects_.records[k]; }
  ObjectState& State(int k) { return objects_.states[k]; }
  const ObjectState& State(int k) const { return objects_.states[k]; }
  BoundingBox& Box(int k) { return objects_.boxes[k]; }
  const BoundingBox& Box(int k) const { return objects_.boxes[k]; }
  int TotalPoints() const { return Object(header_.objectCount).FirstPoint() - 1; }
  int ObjectPointCount(int k) const { return Object(k + 1).FirstPoint() - Object(k).FirstPoint(); }

  // Appends object N of u × v points after the last point, growing the
  // object capacity (+ 11 with headroom) and the points (by what is missing,
  // `tries` attempts) when needed. The object gets a zero record apart from
  // its mesh sizes and first point, and a fresh frame; free frames move one
  // slot up. Returns N, or -1 when a limit or a growth refused.
  int AppendObject(int u, int v, int tries = 2);

  // Removes the objects marked in `removed` (one flag per object): the
  // others close up in their order, with their points, tables, frames and
  // map assignments; the free frames follow them down. A frame hanging from
  // a removed object's frame becomes a root where it stands. The removed
  // objects' faces and maps stay in their tables, unused.
  void RemoveObjects(const std::vector<bool>& removed);

  // Recomputes object k's box from its points.
  void UpdateBoundingBox(int k);

  // ---- face groups (1-based) and the face table
  FaceGroup& FaceGroupEntry(int group) { return objects_.faceGroups[group - 1]; }
  const FaceGroup& FaceGroupEntry(int group) const { return objects_.faceGroups[group - 1]; }
  int FaceGroupCount() const { return faceGroupCount_; }
  // Stores a new face group and returns its number, 0 when there is no room.
  int AddFaceGroup(const FaceGroup& group);
  FaceTable& Faces() { return faces_; }
  const FaceTable& Faces() const { return faces_; }

  // ---- frames: object k owns frame k; the free frames follow
  FrameTable& Frames() { return frames_; }
  const FrameTable& Frames() const { return frames_; }
  // Moves the free frames `count` slots up to make room for new object
  // frames; frames hanging from them follow. The moved frames take their new
  // slot as identifier. Returns 0 when the capacity cannot hold them.
  int MoveFreeFrames(int count);
  // Brings a lamp's frame up to date from its parent frame.
  void UpdateLampFrame(int lamp) { UpdateFrame(lamps_.Frames(), lamp, frames_); }

  Lamps& SceneLamps() { return lamps_; }
  const Lamps& SceneLamps() const { return lamps_; }

  // ---- points and the views' projected points
  PointTables& Points() { return points_; }
  const PointTables& Points() const { return points_; }

  // ---- maps and assignments
  MapList& Maps() { return maps_; }
  const MapList& Maps() const { return maps_; }
  AssignmentList& Assignments() { return assignments_; }
  const AssignmentList& Assignments() const { return assignments_; }

  // ---- undo (scene_snapshot.cpp)
  SceneSnapshot TakeSnapshot() const;
  // Puts the snapshot's scene in place of this one; false, with the scene
  // as it was, when the points or faces cannot be held.
  bool RestoreSnapshot(const SceneSnapshot& snapshot);

  // Lets tests refuse a growth step as an exhausted memory would.
  void SetGrowthGate(GrowthGate gate);

 private:
  // Parent identifiers again from the parent links, after frames were
  // renumbered.
  void RefreshParentIds();

  SceneHeader header_;
  ViewCamera view_;
  int objectCapacity_ = 0;
  ObjectTables objects_;
  int faceGroupCount_ = 0;
  FrameTable frames_;
  Lamps lamps_;
  PointTables points_;
  FaceTable faces_;
  MapList maps_;
  AssignmentList assignments_;
  GrowthGate gate_;
};

// Shows message 31 ("Sorry, there is not enough memory ..."), with which
// callers report a refused growth.
void ShowNotEnoughMemory();

}  // namespace tessaran
