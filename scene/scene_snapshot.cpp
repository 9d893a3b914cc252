#include "scene/scene_snapshot.h"

namespace tessaran {

SceneSnapshot SceneModel::TakeSnapshot() const {
  SceneSnapshot s{header_, view_, objectCapacity_, objects_, faceGroupCount_, frames_, lamps_, {}, {},
                  maps_,   assignments_};
  const int total = TotalPoints();
  s.points.reserve(static_cast<std::size_t>(total));
  for (int p = 1; p <= total; ++p) s.points.push_back(points_.Get(p));
  s.faces.reserve(static_cast<std::size_t>(faces_.Count()));
  for (int i = 0; i < faces_.Count(); ++i) s.faces.push_back(faces_.Get(i));
  return s;
}

bool SceneModel::RestoreSnapshot(const SceneSnapshot& s) {
  // What can fail comes first: room for the points and the faces.
  const long points = static_cast<long>(s.points.size());
  if (points > PointCapacity() && !GrowPoints(points, 0)) return false;
  if (s.faces.empty()) {
    faces_.Clear();
  } else if (!faces_.Resize(static_cast<int>(s.faces.size()))) {
    return false;
  }
  for (std::size_t i = 0; i < s.faces.size(); ++i) faces_.Put(static_cast<int>(i), s.faces[i]);
  for (std::size_t p = 0; p < s.points.size(); ++p) points_.Put(static_cast<int>(p) + 1, s.points[p]);
  header_ = s.header;
  view_ = s.view;
  objectCapacity_ = s.objectCapacity;
  objects_ = s.objects;
  faceGroupCount_ = s.faceGroupCount;
  frames_ = s.frames;
  lamps_ = s.lamps;
  maps_ = s.maps;
  assignments_ = s.assignments;
  return true;
}

}  // namespace tessaran
