// Writing the scene file from the scene model.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/maq_format.h"

namespace tessaran {

namespace {

using namespace maq;

constexpr int kCantOpenMessage = 32;
// The largest first-face index the 16-bit field holds.
constexpr int kMaxFirstFace = 65535;
constexpr int kDiskFullMessage = 33;

void PutVec(ByteWriter& w, const Vec3& v) {
  for (double x : v) w.U32BE(static_cast<std::uint32_t>(ToFile(x, kLengthScale)));
}

void PutFrame(ByteWriter& w, const FrameTable& table, int k) {
  const FrameRecord& record = table.Record(k);
  PutVec(w, table.AbsOrigin(k));
  for (const Vec3& row : table.AbsOrientation(k)) PutVec(w, row);
  w.U16BE(static_cast<std::uint16_t>(record.state));
  w.U32BE(static_cast<std::uint32_t>(record.identifier));
  w.U16BE(static_cast<std::uint16_t>(record.parentFlag));
  PutVec(w, table.RelOrigin(k));
  for (const Vec3& row : table.RelOrientation(k)) PutVec(w, row);
  w.U32BE(static_cast<std::uint32_t>(record.parentId));
  w.U32BE(0);
}

void PutScene(ByteWriter& w, const SceneModel& scene, const MaqWriteOptions& options) {
  const ViewCamera& view = scene.View();
  const double distance = CameraDistance(view.PERS);
  const double focal = CameraFocal(distance, view.zoom);
  // The zoom read back from CMRA is off by at most a unit of the last place
  // of the distance and of the focal value.
  const double zoomResolution =
      distance > 0 && focal > 0 ? view.zoom * (1 / distance + 1 / focal) / kLengthScale : 0;
  const int number = options.sceneNumber >= 0 ? options.sceneNumber : scene.Header().sceneNumber;
  w.U16BE(static_cast<std::uint16_t>(number));
  w.U16BE(static_cast<std::uint16_t>(scene.Header().objectCount));
  w.U16BE(static_cast<std::uint16_t>(std::clamp(view.PERS, 1, 65535)));
  w.U16BE(CoarseUnsignedWord(view.zoom * 10, zoomResolution * 10));
  w.U16BE(static_cast<std::uint16_t>(CoarseWord(view.TH, kAngleResolution)));
  w.U16BE(static_cast<std::uint16_t>(CoarseWord(view.PH, kAngleResolution)));
  w.Zeros(8);
}

void PutCamera(ByteWriter& w, const ViewCamera& view) {
  const double distance = CameraDistance(view.PERS);
  w.U32BE(static_cast<std::uint32_t>(ToFile(distance, kLengthScale)));
  w.U32BE(static_cast<std::uint32_t>(ToFile(CameraFocal(distance, view.zoom), kLengthScale)));
  w.U32BE(static_cast<std::uint32_t>(ToFile(view.TH * kDegree, kAngleScale)));
  w.U32BE(static_cast<std::uint32_t>(ToFile(view.PH * kDegree, kAngleScale)));
  PutVec(w, view.CIBLE);
  w.U32BE(0xFFFFFFFFu);  // frame link: none
}

bool IsFaceted(const SceneModel& scene, int k) {
  const int group = scene.State(k).faceGroup;
  return group > 0 && group <= scene.FaceGroupCount();
}

void PutObject(ByteWriter& w, const SceneModel& scene, int k, const MaqWriteOptions& options) {
  const ObjectRecord& o = scene.Object(k);
  w.U32BE(static_cast<std::uint32_t>(o.FirstPoint()));
  w.U16BE(static_cast<std::uint16_t>(o.MeshU()));
  w.U16BE(static_cast<std::uint16_t>(o.MeshV()));
  w.U16BE(static_cast<std::uint16_t>(o.Col()));
  w.U8(static_cast<std::uint8_t>(o.Transmission()));
  w.U8(static_cast<std::uint8_t>(o.Reflection()));
  w.U8(static_cast<std::uint8_t>(o.KSpec()));
  w.U8(static_cast<std::uint8_t>(o.Refraction()));
  if (IsFaceted(scene, k)) {
    const FaceGroup& group = scene.FaceGroupEntry(scene.State(k).faceGroup);
    w.U16BE(static_cast<std::uint16_t>(group.faceCount));
    w.U16BE(static_cast<std::uint16_t>(group.pointCount));
    w.U16BE(static_cast<std::uint16_t>(group.firstFace));
    w.U16BE(static_cast<std::uint16_t>(scene.State(k).faceGroup));
  } else {
    w.U16BE(static_cast<std::uint16_t>(o.word[4]));
    w.U16BE(static_cast<std::uint16_t>(o.word[5]));
    w.U16BE(options.markUnselected && scene.State(k).selection == 0 ? 1 : 0);
    w.U16BE(0);
  }
  w.U8(0);
  w.U8(static_cast<std::uint8_t>(o.NSpec()));
}

void PutMaps(IffWriter& iff, const SceneModel& scene) {
  const MapList& maps = scene.Maps();
  if (maps.Count() > 0) {
    iff.BeginChunk(kMAPX);
    ByteWriter& w = iff.Data();
    for (int i = 1; i <= maps.Count(); ++i) {
      const MapEntry& map = maps[i];
      // The name field keeps its terminating zero.
      const std::size_t length = std::min(map.name.size(), kMapNameSize - 1);
      w.Append(AsBytes(std::string_view(map.name).substr(0, length)));
      w.Zeros(kMapNameSize - length);
      w.U32BE(static_cast<std::uint32_t>(map.type));
      w.Zeros(8);
      w.U32BE(100);
      w.U32BE(100);
      w.U32BE(static_cast<std::uint32_t>(map.RepetitionX()));
      w.U32BE(static_cast<std::uint32_t>(map.RepetitionY()));
      w.Zeros(20);
      w.U32BE(0xFFFFFFFFu);
    }
    iff.End();
  }
  const AssignmentList& assignments = scene.Assignments();
  if (assignments.Count() > 0) {
    iff.BeginChunk(kLSTM);
    for (int i = 0; i < assignments.Count(); ++i) {
      iff.Data().U32BE(static_cast<std::uint32_t>(assignments[i].object));
      for (std::int32_t m : assignments[i].maps) iff.Data().U32BE(static_cast<std::uint32_t>(m));
    }
    iff.End();
  }
}

}  // namespace

void WriteSceneGroup(IffWriter& iff, const SceneModel& scene, bool withFaces,
                     const MaqWriteOptions& options) {
  const int n = scene.Header().objectCount;
  const int frames = n + scene.Header().freeFrameCount;
  ByteWriter& w = iff.Data();
  iff.BeginGroup("FORM", kSceneType);

  iff.BeginChunk(kSCEN);
  PutScene(w, scene, options);
  iff.End();
  iff.BeginChunk(kCMRA);
  PutCamera(w, scene.View());
  iff.End();

  iff.BeginChunk(kREPO);
  for (int k = 0; k < frames; ++k) PutFrame(w, scene.Frames(), k);
  iff.End();

  const Lamps& lamps = scene.SceneLamps();
  if (lamps.Count() > 0) {
    iff.BeginChunk(kLAMP);
    for (int i = 0; i < lamps.Count(); ++i) {
      PutFrame(w, lamps.Frames(), i);
      const LampParams& p = lamps.Params(i);
      w.U16BE(p.colour);
      w.U16BE(p.intensity);
      w.U16BE(p.aperture);
      w.U16BE(0);
    }
    iff.End();
  }

  iff.BeginChunk(kOBJE);
  for (int k = 0; k < n; ++k) PutObject(w, scene, k, options);
  w.U32BE(static_cast<std::uint32_t>(scene.Object(n).FirstPoint()));
  w.Zeros(kObjectSize - 4);
  iff.End();

  bool faceted = false;
  for (int k = 0; k < n && !faceted; ++k) faceted = IsFaceted(scene, k);
  if (withFaces && faceted) {
    iff.BeginChunk(kFACE);
    const FaceTable& faces = scene.Faces();
    for (int i = 0; i < faces.Count(); ++i) {
      for (std::int16_t number : faces.Get(i)) w.U16BE(static_cast<std::uint16_t>(number));
    }
    iff.End();
  }

  // Coordinates are widened before scaling: a float product is already half
  // a thousandth off at 8000 units.
  iff.BeginChunk(kPTSX);
  const int total = scene.TotalPoints();
  for (int p = 1; p <= total; ++p) {
    for (float x : scene.Points().Get(p)) w.U32BE(static_cast<std::uint32_t>(ToFile(double{x}, kPointScale)));
  }
  iff.End();

  iff.End();
}

Bytes MaqFileBytes(const SceneModel& scene, const MaqWriteOptions& options) {
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup("FORM", kFileType);
  iff.BeginGroup("FORM", kHeaderType);
  PutMaps(iff, scene);
  iff.BeginChunk(kSCHD);
  iff.Data().U16BE(1);
  iff.End();
  iff.End();
  WriteSceneGroup(iff, scene, true, options);
  iff.End();
  return out;
}

bool FitsLimit(double value, double limit) { return std::isfinite(value) && std::fabs(value) <= limit; }

namespace {

std::string Decimal(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

bool Refuse(std::string* reason, const std::string& what, double value, double limit) {
  if (reason) {
    *reason = what + " " + Decimal(value) + " is beyond what a scene file holds (-" + Decimal(limit) + " to " +
              Decimal(limit) + ")";
  }
  return false;
}

bool VectorFits(const Vec3& v, double limit, const std::string& what, std::string* reason) {
  static const char* const kAxes[] = {"x", "y", "z"};
  for (int a = 0; a < 3; ++a) {
    if (!FitsLimit(v[a], limit)) return Refuse(reason, what + " " + kAxes[a], v[a], limit);
  }
  return true;
}

bool FramesFit(const FrameTable& frames, int count, const std::string& what, std::string* reason) {
  for (int k = 0; k < count; ++k) {
    const std::string name = what + " " + std::to_string(k);
    if (!VectorFits(frames.AbsOrigin(k), kMaqLengthLimit, name + " at", reason) ||
        !VectorFits(frames.RelOrigin(k), kMaqLengthLimit, name + " relative to its parent at", reason)) {
      return false;
    }
  }
  return true;
}

bool PointsFit(const SceneModel& scene, std::string* reason) {
  for (int p = 1; p <= scene.TotalPoints(); ++p) {
    const std::array<float, 3> point = scene.Points().Get(p);
    if (!VectorFits({point[0], point[1], point[2]}, kMaqCoordinateLimit, "point " + std::to_string(p) + " at",
                    reason)) {
      return false;
    }
  }
  return true;
}

bool FacesFit(const SceneModel& scene, std::string* reason) {
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (!IsFaceted(scene, k)) continue;
    const FaceGroup& group = scene.FaceGroupEntry(scene.State(k).faceGroup);
    if (group.firstFace > kMaxFirstFace) {
      if (reason) {
        *reason = "object " + std::to_string(k) + " starts at face " + std::to_string(group.firstFace) +
                  "; a scene file holds at most " + std::to_string(kMaxFirstFace + 1) +
                  " faces before its last faceted object";
      }
      return false;
    }
  }
  return true;
}

}  // namespace

bool ViewFitsTheFile(const ViewCamera& view, std::string* reason) {
  if (!FitsLimit(view.TH, kMaqAngleLimit)) return Refuse(reason, "the view angle TH", view.TH, kMaqAngleLimit);
  if (!FitsLimit(view.PH, kMaqAngleLimit)) return Refuse(reason, "the view angle PH", view.PH, kMaqAngleLimit);
  // A PERS below 1 is stored as 1, as the camera takes it (an eye on the target).
  if (view.PERS > kMaqMaxPERS) {
    if (reason) *reason = "PERS " + std::to_string(view.PERS) + " is beyond what a scene file holds (1 to 65535)";
    return false;
  }
  if (!VectorFits(view.CIBLE, kMaqLengthLimit, "the target", reason)) return false;
  const double focal = CameraFocal(CameraDistance(view.PERS), view.zoom);
  if (!FitsLimit(focal, kMaqLengthLimit)) {
    if (reason) {
      *reason = "PERS " + std::to_string(view.PERS) + " with zoom " + Decimal(view.zoom) +
                " gives the focal value PERS / 2 / zoom = " + Decimal(focal) + ", beyond the " +
                Decimal(kMaqLengthLimit) + " a scene file holds";
    }
    return false;
  }
  return true;
}

bool SceneFitsTheFile(const SceneModel& scene, std::string* reason) {
  const Lamps& lamps = scene.SceneLamps();
  return ViewFitsTheFile(scene.View(), reason) &&
         FramesFit(scene.Frames(), scene.Header().objectCount + scene.Header().freeFrameCount, "frame", reason) &&
         FramesFit(lamps.Frames(), lamps.Count(), "lamp", reason) && PointsFit(scene, reason) &&
         FacesFit(scene, reason);
}

int WriteMaq(const SceneModel& scene, const std::filesystem::path& file, const MaqWriteOptions& options) {
  if (std::string why; !SceneFitsTheFile(scene, &why)) {
    Reporter().Report(MessageKind::Error, -1, file.string() + ": " + why);
    return 0;
  }
  const Bytes bytes = MaqFileBytes(scene, options);
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  std::string problem;
  const WriteStep step = WriteFileThrough(file, temporary, bytes, &problem);
  if (step == WriteStep::Done) return 1;
  Trace("Sauvegarde MAQ impossible : %s\n", problem.c_str());
  ShowMessage(MessageKind::Error, step == WriteStep::Write ? kDiskFullMessage : kCantOpenMessage);
  // The system's message names no reason: the one the system gave follows.
  Reporter().Report(MessageKind::Error, -1, problem);
  return 0;
}

}  // namespace tessaran
