#include "scene/maq_format.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tessaran::maq {

namespace {

template <class Int>
Int Clamped(double value) {
  if (std::isnan(value)) return 0;
  constexpr double low = std::numeric_limits<Int>::min();
  constexpr double high = std::numeric_limits<Int>::max();
  return static_cast<Int>(value < low ? low : value > high ? high : value);
}

double Coarse(double value, double resolution) {
  return std::trunc(value + std::copysign(resolution, value));
}

double LittleDouble(ByteReader& r) {
  const std::uint64_t low = r.U32LE();
  const std::uint64_t high = r.U32LE();
  return std::bit_cast<double>(high << 32 | low);
}

bool AllFinite(const MaqFrame& f) {
  auto finite = [](const Vec3& v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); };
  for (int i = 0; i < 3; ++i) {
    if (!finite(f.absOrientation[i]) || !finite(f.relOrientation[i])) return false;
  }
  return finite(f.absOrigin) && finite(f.relOrigin);
}

// ------------------------------------------------------------ frame records

MaqFrame DecodeFrame(ByteReader& r) {
  MaqFrame f;
  auto vec = [&](Vec3& v) {
    for (double& x : v) x = r.I32BE() / kLengthScale;
  };
  vec(f.absOrigin);
  for (Vec3& row : f.absOrientation) vec(row);
  f.state = r.I16BE();
  f.identifier = r.I32BE();
  f.parentFlag = r.I16BE();
  vec(f.relOrigin);
  for (Vec3& row : f.relOrientation) vec(row);
  f.parentId = r.I32BE();
  r.Skip(4);  // reserved
  return f;
}

// The renderer's native frame of older files: doubles and 32-bit integers,
// little-endian, in the order of the frame record.
MaqFrame DecodeOlderFrame(ByteReader& r) {
  MaqFrame f;
  auto vec = [&](Vec3& v) {
    for (double& x : v) x = LittleDouble(r);
  };
  vec(f.absOrigin);
  for (Vec3& row : f.absOrientation) vec(row);
  f.state = r.I32LE();
  f.identifier = r.I32LE();
  f.parentFlag = r.I32LE();
  vec(f.relOrigin);
  for (Vec3& row : f.relOrientation) vec(row);
  f.parentId = r.I32LE();
  r.Skip(8);  // parent link and reserved
  return f;
}

// -------------------------------------------------------------- each chunk

bool DecodeCamera(ByteSpan data, MaqScene& scene, std::string& problem) {
  ByteReader r(data);
  MaqCamera& c = scene.camera;
  if (data.size() == kCmraSize) {
    c.distance = r.I32BE() / kLengthScale;
    c.focal = r.I32BE() / kLengthScale;
    c.TH = r.I32BE() / kAngleScale;
    c.PH = r.I32BE() / kAngleScale;
    for (double& x : c.target) x = r.I32BE() / kLengthScale;
  } else if (data.size() == kOlderCmraSize) {
    c.distance = LittleDouble(r);
    c.focal = LittleDouble(r);
    c.TH = LittleDouble(r);
    c.PH = LittleDouble(r);
    for (double& x : c.target) x = LittleDouble(r);
    const bool finite = std::isfinite(c.distance) && std::isfinite(c.focal) && std::isfinite(c.TH) &&
                        std::isfinite(c.PH) && std::isfinite(c.target[0]) &&
                        std::isfinite(c.target[1]) && std::isfinite(c.target[2]);
    if (!finite) {
      problem = "CMRA holds a value that is not a number";
      return false;
    }
  } else {
    problem = "CMRA of " + std::to_string(data.size()) + " bytes";
    return false;
  }
  scene.hasCamera = true;
  return true;
}

bool DecodeFrames(ByteSpan data, bool older, MaqScene& scene, std::string& problem) {
  const std::size_t size = older ? kOlderFrameSize : kFrameSize;
  if (data.size() % size != 0 || data.size() / size < static_cast<std::size_t>(scene.objectCount)) {
    problem = "REPO of " + std::to_string(data.size()) + " bytes for " +
              std::to_string(scene.objectCount) + " objects";
    return false;
  }
  ByteReader r(data);
  scene.frames.resize(data.size() / size);
  for (MaqFrame& f : scene.frames) {
    f = older ? DecodeOlderFrame(r) : DecodeFrame(r);
    if (!AllFinite(f)) {
      problem = "REPO holds a value that is not a number";
      return false;
    }
  }
  scene.hasFrames = true;
  return true;
}

bool DecodeLamps(ByteSpan data, bool older, MaqScene& scene, std::string& problem) {
  const std::size_t frameSize = older ? kOlderFrameSize : kFrameSize;
  const std::size_t size = frameSize + 8;
  if (data.size() % size != 0 || data.size() / size > static_cast<std::size_t>(Lamps::kMaxLamps)) {
    problem = "LAMP of " + std::to_string(data.size()) + " bytes";
    return false;
  }
  ByteReader r(data);
  scene.lamps.resize(data.size() / size);
  for (MaqLamp& lamp : scene.lamps) {
    lamp.frame = older ? DecodeOlderFrame(r) : DecodeFrame(r);
    if (!AllFinite(lamp.frame)) {
      problem = "LAMP holds a value that is not a number";
      return false;
    }
    lamp.stored.colour = r.U16BE();
    lamp.stored.intensity = r.U16BE();
    lamp.stored.aperture = r.U16BE();
    lamp.stored.reserved = r.U16BE();
  }
  return true;
}

bool DecodeObjects(ByteSpan data, MaqScene& scene, std::string& problem) {
  const std::size_t count = static_cast<std::size_t>(scene.objectCount) + 1;
  if (data.size() != count * kObjectSize) {
    problem = "OBJE of " + std::to_string(data.size()) + " bytes for " +
              std::to_string(scene.objectCount) + " objects";
    return false;
  }
  ByteReader r(data);
  scene.objects.resize(count);
  for (MaqObject& o : scene.objects) {
    o.firstPoint = r.I32BE();
    o.meshU = r.I16BE();
    o.meshV = r.I16BE();
    o.col = r.U16BE();
    o.transmission = r.U8();
    o.reflection = r.U8();
    for (std::int16_t& w : o.words) w = r.I16BE();
    const auto material = static_cast<std::uint16_t>(o.words[0]);
    o.kSpec = static_cast<std::uint8_t>(material >> 8);
    o.refraction = static_cast<std::uint8_t>(material);
    o.nSpec = static_cast<std::uint8_t>(o.words[5]);
  }
  return true;
}

bool DecodeFaces(ByteSpan data, std::vector<Face>& faces, std::string& problem) {
  if (data.size() % kFaceSize != 0) {
    problem = "FACE of " + std::to_string(data.size()) + " bytes";
    return false;
  }
  // Appended one by one: sizing the table first would zero it all for
  // nothing.
  ByteReader r(data);
  faces.reserve(data.size() / kFaceSize);
  for (std::size_t i = 0; i < data.size() / kFaceSize; ++i) {
    Face face;
    for (std::int16_t& n : face) n = r.I16BE();
    faces.push_back(face);
  }
  return true;
}

bool DecodePoints(ByteSpan data, MaqScene& scene, std::string& problem) {
  if (data.size() % kPointSize != 0) {
    problem = "PTSX of " + std::to_string(data.size()) + " bytes";
    return false;
  }
  ByteReader r(data);
  scene.points.reserve(data.size() / kPointSize);
  for (std::size_t i = 0; i < data.size() / kPointSize; ++i) {
    std::array<float, 3> p;
    for (float& x : p) x = static_cast<float>(r.I32BE() / kPointScale);
    scene.points.push_back(p);
  }
  return true;
}

std::string Name(ByteSpan bytes) {
  std::string name(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return name.substr(0, name.find('\0'));
}

bool DecodeMaps(const SceneChunks& chunks, MaqScene& scene, std::string& problem) {
  if (chunks.mapx) {
    if (chunks.mapx->size() % kMapSize != 0) {
      problem = "MAPX of " + std::to_string(chunks.mapx->size()) + " bytes";
      return false;
    }
    ByteReader r(*chunks.mapx);
    for (std::size_t i = 0; i < chunks.mapx->size() / kMapSize; ++i) {
      MapEntry map;
      map.name = Name(r.Take(kMapNameSize));
      map.type = r.I32BE();
      r.Skip(16);  // zeros and the two values 100
      const std::int64_t x = r.I32BE();
      const std::int64_t repetition = x * 1000 + r.I32BE();
      r.Skip(24);  // zeros and -1
      if (repetition < std::numeric_limits<std::int32_t>::min() ||
          repetition > std::numeric_limits<std::int32_t>::max()) {
        problem = "MAPX repetitions out of range";
        return false;
      }
      map.repetition = static_cast<std::int32_t>(repetition);
      scene.maps.push_back(std::move(map));
    }
  }
  if (chunks.lstm) {
    if (chunks.lstm->size() % kAssignmentSize != 0) {
      problem = "LSTM of " + std::to_string(chunks.lstm->size()) + " bytes";
      return false;
    }
    ByteReader r(*chunks.lstm);
    scene.assignments.resize(chunks.lstm->size() / kAssignmentSize);
    for (Assignment& a : scene.assignments) {
      a.object = r.I32BE();
      for (std::int32_t& m : a.maps) m = r.I32BE();
    }
  }
  if (chunks.mapp) {
    // The older per-object list: a type-2 map repeated once each way,
    // assigned to the object's first map slot.
    if (chunks.mapp->size() % kOlderMapSize != 0) {
      problem = "MAPP of " + std::to_string(chunks.mapp->size()) + " bytes";
      return false;
    }
    ByteReader r(*chunks.mapp);
    for (std::size_t i = 0; i < chunks.mapp->size() / kOlderMapSize; ++i) {
      const int object = r.I16BE();
      scene.maps.push_back({kOlderMapType, kOlderMapRepetition, Name(r.Take(kOlderMapNameSize))});
      const int map = static_cast<int>(scene.maps.size());
      auto it = std::find_if(scene.assignments.begin(), scene.assignments.end(),
                             [&](const Assignment& a) { return a.object == object; });
      if (it != scene.assignments.end()) {
        it->maps[0] = map;
      } else {
        scene.assignments.push_back({object, {map, 0, 0}});
      }
    }
  }
  return true;
}

// ------------------------------------------------------------------ checks

bool CheckObjects(MaqScene& scene, const std::vector<Face>& faces, std::string& problem) {
  const auto pointCount = static_cast<std::int64_t>(scene.points.size());
  const int n = scene.objectCount;
  if (scene.objects[0].firstPoint < 1 || std::int64_t{scene.objects[n].firstPoint} - 1 > pointCount) {
    problem = "object points beyond PTSX";
    return false;
  }
  for (int k = 0; k < n; ++k) {
    const MaqObject& o = scene.objects[k];
    const std::int64_t points = std::int64_t{scene.objects[k + 1].firstPoint} - o.firstPoint;
    if (points < 0) {
      problem = "object " + std::to_string(k) + " ends before it begins";
      return false;
    }
    // Older files have no face groups: the word is a placement value.
    if (!scene.hasFrames || o.FaceGroup() == 0) {
      if (o.meshU < 0 || o.meshV < 0 || std::int64_t{o.meshU} * o.meshV != points) {
        problem = "object " + std::to_string(k) + " mesh does not match its points";
        return false;
      }
      continue;
    }
    if (o.FaceGroup() < 0 || o.FaceCount() < 0 || o.FirstFace() < 0 ||
        o.FirstFace() + o.FaceCount() > static_cast<int>(faces.size())) {
      problem = "object " + std::to_string(k) + " faces beyond FACE";
      return false;
    }
    for (int i = o.FirstFace(); i < o.FirstFace() + o.FaceCount(); ++i) {
      // The fourth number is 0 for a triangle, the third and fourth for the
      // two-point faces that DXF lines make; the others name points.
      const int used = faces[i][3] != 0 ? 4 : faces[i][2] != 0 ? 3 : 2;
      for (int corner = 0; corner < 4; ++corner) {
        const int number = std::abs(int{faces[i][corner]});
        if ((number == 0 && corner < used) || number > points) {
          problem = "face " + std::to_string(i) + " outside object " + std::to_string(k);
          return false;
        }
      }
    }
  }
  return true;
}

bool CheckMaps(const MaqScene& scene, std::string& problem) {
  if (scene.maps.size() > static_cast<std::size_t>(MapList::kMaxMaps) ||
      scene.assignments.size() > static_cast<std::size_t>(AssignmentList::kMaxAssignments)) {
    problem = "more maps or assignments than a scene holds";
    return false;
  }
  const auto mapCount = static_cast<std::int32_t>(scene.maps.size());
  for (const Assignment& a : scene.assignments) {
    bool ok = a.object >= 0 && a.object < scene.objectCount;
    for (std::int32_t m : a.maps) ok = ok && m >= 0 && m <= mapCount;
    if (!ok) {
      problem = "assignment of object " + std::to_string(a.object) + " out of range";
      return false;
    }
  }
  return true;
}

}  // namespace

std::int32_t ToFile(double value, double scale) {
  return Clamped<std::int32_t>(std::round(value * scale));
}

std::int16_t CoarseWord(double value, double resolution) {
  return Clamped<std::int16_t>(Coarse(value, resolution));
}

std::uint16_t CoarseUnsignedWord(double value, double resolution) {
  return Clamped<std::uint16_t>(Coarse(value, resolution));
}

double CameraDistance(int PERS) { return std::clamp(PERS, 1, 65535) * 0.02; }

double CameraFocal(double distance, double zoom) { return zoom > 0 ? distance * 25.0 / zoom : 0.0; }

int DecodeSceneCount(ByteSpan schd) {
  ByteReader r(schd);
  const int count = r.I16BE();
  return r.Ok() ? count : 0;
}

bool DecodeScene(const SceneChunks& chunks, const std::vector<Face>* firstFaces, MaqScene& scene,
                 std::string& problem) {
  scene = MaqScene{};
  if (!chunks.scen || chunks.scen->size() != kScenSize) {
    problem = chunks.scen ? "SCEN of " + std::to_string(chunks.scen->size()) + " bytes" : "no SCEN";
    return false;
  }
  ByteReader r(*chunks.scen);
  for (std::int16_t& w : scene.sceneWords) w = r.I16BE();
  scene.sceneNumber = scene.sceneWords[0];
  // Counts up to the largest object capacity fit the word only unsigned.
  scene.objectCount = static_cast<std::uint16_t>(scene.sceneWords[1]);
  if (!chunks.obje || !chunks.ptsx) {
    problem = chunks.obje ? "no PTSX" : "no OBJE";
    return false;
  }
  const bool older = chunks.cmra && chunks.cmra->size() == kOlderCmraSize;
  if (chunks.cmra && !DecodeCamera(*chunks.cmra, scene, problem)) return false;
  if (chunks.repo && !DecodeFrames(*chunks.repo, older, scene, problem)) return false;
  if (chunks.lamp && !DecodeLamps(*chunks.lamp, older, scene, problem)) return false;
  if (!DecodeObjects(*chunks.obje, scene, problem)) return false;
  if (chunks.face && !DecodeFaces(*chunks.face, scene.faces, problem)) return false;
  if (!DecodePoints(*chunks.ptsx, scene, problem)) return false;
  if (!DecodeMaps(chunks, scene, problem)) return false;
  const std::vector<Face>& faces = chunks.face || !firstFaces ? scene.faces : *firstFaces;
  return CheckObjects(scene, faces, problem) && CheckMaps(scene, problem);
}

}  // namespace tessaran::maq
