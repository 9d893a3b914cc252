#include "modeler/geometry/dxf_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "modeler/geometry/mesh_object.h"
#include "platform/bytes.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {

namespace {

constexpr int kIncompleteDxfMessage = 37;
constexpr std::size_t kLineLimit = 255;
constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
// Invisible-edge flags (code 70) of a 3DFACE, for the edges after corners
// 1 … 4.
constexpr int kInvisibleEdge[4] = {1, 2, 4, 8};
// POLYLINE flag of a polyface mesh; VERTEX flags of a mesh vertex and of a
// face record.
constexpr int kPolyfaceMesh = 64;
constexpr int kVertexHasLocation = 64;
constexpr int kPolyfaceVertex = 128;

// ---------------------------------------------------------------- the pairs

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Reads the file as pairs of lines: a group code and its value.
class PairReader {
 public:
  explicit PairReader(std::string_view text) : text_(text) {}

  // The next pair; false at the end of the text or at a code line that is
  // not a number (Bad() then tells).
  bool Next(int& code, std::string_view& value) {
    std::string_view codeLine;
    if (!Line(codeLine)) return false;
    // Blank lines after the last pair end the file quietly.
    if (codeLine.empty() && text_.find_first_not_of(" \t\r\n", at_) == std::string_view::npos) return false;
    const auto [end, error] = std::from_chars(codeLine.data(), codeLine.data() + codeLine.size(), code);
    if (error != std::errc() || end != codeLine.data() + codeLine.size() || code < 0 || code > 9999) {
      bad_ = true;
      return false;
    }
    return Line(value);  // a code without its value line ends the file
  }
  bool Bad() const { return bad_; }

 private:
  // The next line, cut at 255 characters; false when the text has no more.
  bool Line(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    line = TrimBlanks(text_.substr(at_, std::min(end - at_, kLineLimit)));
    at_ = end + 1;
    return true;
  }
  std::string_view text_;
  std::size_t at_ = 0;
  bool bad_ = false;
};

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return out;
}

// ------------------------------------------------------------- the entities

struct Entity {
  enum class Kind { Line, Face, Polyface } kind = Kind::Line;
  std::string layer = "0";
  std::array<Vec3, 4> corners{};
  int flags = 0;
  bool fourthGiven = false;  // a 3DFACE without a fourth corner is a triangle
  std::vector<Vec3> vertices;                // polyface mesh vertices
  std::vector<std::array<int, 4>> faces;     // polyface face records (vertex numbers)

  int CornerCount() const {
    if (kind == Kind::Line) return 2;
    return corners[3] != corners[2] ? 4 : 3;
  }
  int PointCount() const { return kind == Kind::Polyface ? static_cast<int>(vertices.size()) : CornerCount(); }
  int FaceCount() const { return kind == Kind::Polyface ? static_cast<int>(faces.size()) : 1; }
};

struct HeaderExtents {
  Vec3 min{-500, -500, -500};
  Vec3 max{500, 500, 500};
  bool minZ = false;
  bool maxZ = false;
};

class Visitor {
 public:
  virtual ~Visitor() = default;
  virtual void LayerEntry(std::string_view) {}
  // False refuses the file.
  virtual bool Take(const Entity& entity) = 0;
};

enum class Section { None, Header, Tables, Blocks, Entities, Other };

// One pass over the file.
class Scanner {
 public:
  Scanner(std::string_view text, Visitor& visitor, bool log) : pairs_(text), visitor_(visitor), log_(log) {}

  // False for a malformed file (bad code line, bad number, refused entity).
  bool Run(HeaderExtents& header);

 private:
  enum class Kind { None, Line, Face, Polyline, Vertex, LayerEntry };

  bool Number(std::string_view value, const char* label, double& out);
  bool Integer(std::string_view value, int& out);
  bool Finish();
  bool FinishPolyline();
  void Start(Section section, std::string_view keyword);
  bool Field(int code, std::string_view value);
  bool HeaderField(int code, std::string_view value, HeaderExtents& header);

  PairReader pairs_;
  Visitor& visitor_;
  bool log_;
  Section section_ = Section::None;
  bool sectionName_ = false;
  Kind kind_ = Kind::None;
  Entity entity_;
  bool inPolyline_ = false;
  Entity polyline_;
  // The VERTEX being read.
  Vec3 vertex_{};
  int vertexFlags_ = 0;
  std::array<int, 4> vertexFace_{};
  bool vertexHasFace_ = false;
  std::string variable_;
};

bool Scanner::Number(std::string_view value, const char* label, double& out) {
  std::string_view digits = value;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
  const bool ok = error == std::errc() && end == digits.data() + digits.size() && !digits.empty() &&
                  std::isfinite(out);
  if (!ok) {
    Trace("!!! ERREUR :%s :sscand ret(%d) pour[%s]\n", label, end == digits.data() ? 0 : 1,
          std::string(value).c_str());
    return false;
  }
  if (log_ && ConsoleEnabled()) Trace("%s : (%s)->%f\n", label, std::string(value).c_str(), out);
  return true;
}

bool Scanner::Integer(std::string_view value, int& out) {
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), out);
  if (error != std::errc() || end != value.data() + value.size()) {
    Trace("!!! ERREUR :%s :sscand ret(%d) pour[%s]\n", "entier", 0, std::string(value).c_str());
    return false;
  }
  return true;
}

bool Scanner::FinishPolyline() {
  inPolyline_ = false;
  if ((polyline_.flags & kPolyfaceMesh) == 0) return true;  // not a polyface mesh: skipped
  polyline_.kind = Entity::Kind::Polyface;
  return visitor_.Take(polyline_);
}

// Ends the entity being read: lines and faces go to the visitor, a vertex
// to its polyline.
bool Scanner::Finish() {
  const Kind kind = kind_;
  kind_ = Kind::None;
  switch (kind) {
    case Kind::Line:
    case Kind::Face:
      if (!entity_.fourthGiven) entity_.corners[3] = entity_.corners[2];
      return visitor_.Take(entity_);
    case Kind::Vertex:
      if ((vertexFlags_ & kPolyfaceVertex) != 0 && (vertexFlags_ & kVertexHasLocation) == 0) {
        polyline_.faces.push_back(vertexFace_);
      } else if (!vertexHasFace_ || (vertexFlags_ & kVertexHasLocation) != 0) {
        polyline_.vertices.push_back(vertex_);
      }
      return true;
    default:
      return true;
  }
}

void Scanner::Start(Section section, std::string_view keyword) {
  if (section == Section::Tables && keyword == "LAYER") {
    kind_ = Kind::LayerEntry;
    return;
  }
  if (section != Section::Entities) return;
  if (keyword == "VERTEX" && inPolyline_) {
    kind_ = Kind::Vertex;
    vertex_ = {};
    vertexFlags_ = 0;
    vertexFace_ = {};
    vertexHasFace_ = false;
    return;
  }
  if (keyword == "LINE" || keyword == "LINE3D" || keyword == "3DLINE" || keyword == "3DFACE") {
    kind_ = keyword == "3DFACE" ? Kind::Face : Kind::Line;
    entity_ = Entity{};
    entity_.kind = kind_ == Kind::Face ? Entity::Kind::Face : Entity::Kind::Line;
  } else if (keyword == "POLYLINE") {
    kind_ = Kind::Polyline;
    polyline_ = Entity{};
    inPolyline_ = true;
  }
}

bool Scanner::Field(int code, std::string_view value) {
  static constexpr const char* kLabels[4][3] = {
      {"Xi=", "Yi=", "Zi="}, {"Xi=", "Yi=", "Zi="}, {"Xi=", "Yi=", "Zi="}, {"X4=", "Y4=", "Z4="}};
  switch (kind_) {
    case Kind::LayerEntry:
      if (code == 2) visitor_.LayerEntry(value);
      return true;
    case Kind::Line:
    case Kind::Face:
      if (code == 8) {
        entity_.layer = Upper(value);
      } else if (code >= 10 && code <= 33 && code % 10 <= 3) {
        const int corner = code % 10;
        const int axis = code / 10 - 1;
        if (corner == 3) entity_.fourthGiven = true;
        return Number(value, kLabels[corner][axis], entity_.corners[corner][axis]);
      } else if (code == 70) {
        return Integer(value, entity_.flags);
      }
      return true;
    case Kind::Polyline:
      if (code == 8) polyline_.layer = Upper(value);
      if (code == 70) return Integer(value, polyline_.flags);
      return true;
    case Kind::Vertex:
      if (code == 10 || code == 20 || code == 30) return Number(value, kLabels[0][code / 10 - 1], vertex_[code / 10 - 1]);
      if (code == 70) return Integer(value, vertexFlags_);
      if (code >= 71 && code <= 74) {
        vertexHasFace_ = true;
        return Integer(value, vertexFace_[code - 71]);
      }
      return true;
    case Kind::None:
      break;
  }
  return true;
}

bool Scanner::HeaderField(int code, std::string_view value, HeaderExtents& header) {
  if (code == 9) {
    variable_ = Upper(value);
    return true;
  }
  const bool min = variable_ == "$EXTMIN";
  if ((!min && variable_ != "$EXTMAX") || (code != 10 && code != 20 && code != 30)) return true;
  Vec3& extent = min ? header.min : header.max;
  if (!Number(value, min ? "$EXTMIN" : "$EXTMAX", extent[code / 10 - 1])) return false;
  if (code == 30) (min ? header.minZ : header.maxZ) = true;
  return true;
}

bool Scanner::Run(HeaderExtents& header) {
  int code = 0;
  std::string_view value;
  while (pairs_.Next(code, value)) {
    if (code == 0) {
      if (!Finish()) return false;
      const std::string keyword = Upper(value);
      const bool polylineGoesOn = keyword == "VERTEX" || keyword == "SEQEND";
      if (inPolyline_ && (!polylineGoesOn || section_ != Section::Entities || keyword == "SEQEND")) {
        if (!FinishPolyline()) return false;
      }
      if (keyword == "EOF") return true;
      if (keyword == "SECTION") {
        sectionName_ = true;
        section_ = Section::None;
      } else if (keyword == "ENDSEC") {
        section_ = Section::None;
      } else {
        Start(section_, keyword);
      }
      continue;
    }
    if (code == 2 && sectionName_) {
      sectionName_ = false;
      const std::string name = Upper(value);
      section_ = name == "HEADER"     ? Section::Header
                 : name == "TABLES"   ? Section::Tables
                 : name == "BLOCKS"   ? Section::Blocks
                 : name == "ENTITIES" ? Section::Entities
                                      : Section::Other;
      continue;
    }
    if (section_ == Section::Header) {
      if (!HeaderField(code, value, header)) return false;
    } else if (!Field(code, value)) {
      return false;
    }
  }
  if (pairs_.Bad()) {
    Trace("!!! ERREUR : code de groupe illisible\n");
    return false;
  }
  // A file cut short: what was read completely still counts.
  if (!Finish()) return false;
  return !inPolyline_ || FinishPolyline();
}

// ------------------------------------------------------------- first pass

struct ObjectPlan {
  int layer = 0;
  int points = 0;
  int faces = 0;
  Vec3 sum{};  // of its points, in file coordinates
};

class CountingPass : public Visitor {
 public:
  // Points the scene can still take: the pass stops as soon as the file
  // needs more.
  explicit CountingPass(long pointRoom) : pointRoom_(pointRoom) {}

  std::vector<std::string> layers;  // table entries first, then as entities name them
  std::vector<ObjectPlan> objects;
  std::vector<int> entityObject;    // for each entity taken, its object
  Vec3 min{HUGE_VAL, HUGE_VAL, HUGE_VAL};
  Vec3 max{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  long totalPoints = 0;
  bool tooLarge = false;

  void LayerEntry(std::string_view name) override { LayerIndex(Upper(name)); }

  bool Take(const Entity& entity) override {
    if (!Valid(entity)) return false;
    const int points = entity.PointCount();
    const int faces = entity.FaceCount();
    if (points > kMaxFacetedPoints || faces > kMaxFacetedFaces || totalPoints + points >= pointRoom_) {
      tooLarge = true;
      return false;
    }
    const int layer = LayerIndex(entity.layer);
    if (current_.size() < layers.size()) current_.resize(layers.size(), -1);
    int& object = current_[layer];
    if (object < 0 || objects[object].points + points > kMaxFacetedPoints ||
        objects[object].faces + faces > kMaxFacetedFaces) {
      object = static_cast<int>(objects.size());
      objects.push_back(ObjectPlan{layer, 0, 0, {}});
    }
    ObjectPlan& plan = objects[object];
    auto add = [&](const Vec3& p) {
      for (int axis = 0; axis < 3; ++axis) {
        min[axis] = std::min(min[axis], p[axis]);
        max[axis] = std::max(max[axis], p[axis]);
        plan.sum[axis] += p[axis];
      }
    };
    if (entity.kind == Entity::Kind::Polyface) {
      for (const Vec3& p : entity.vertices) add(p);
    } else {
      for (int c = 0; c < entity.CornerCount(); ++c) add(entity.corners[c]);
    }
    plan.points += points;
    plan.faces += faces;
    totalPoints += points;
    entityObject.push_back(object);
    return true;
  }

 private:
  int LayerIndex(const std::string& name) {
    const auto [it, added] = index_.try_emplace(name, static_cast<int>(layers.size()));
    if (added) layers.push_back(name);
    return it->second;
  }

  // Face records must name vertices of their polyline.
  static bool Valid(const Entity& entity) {
    if (entity.kind != Entity::Kind::Polyface) return true;
    const int count = static_cast<int>(entity.vertices.size());
    for (const auto& face : entity.faces) {
      for (int i = 0; i < 4; ++i) {
        const int n = std::abs(face[i]);
        if ((i < 3 && n == 0) || n > count) {
          Trace("!!! ERREUR : face de POLYLINE vers le sommet %d de %d\n", face[i], count);
          return false;
        }
      }
    }
    return true;
  }

  std::unordered_map<std::string, int> index_;
  std::vector<int> current_;
  long pointRoom_;
};

// ------------------------------------------------------------ second pass

class BuildingPass : public Visitor {
 public:
  BuildingPass(const std::vector<int>& entityObject, std::vector<FacetedMesh>& meshes, const Vec3& centre,
               double scale)
      : entityObject_(entityObject), meshes_(meshes), centre_(centre), scale_(scale) {}

  // The modeler position of a file point, before the object's reference
  // point is taken off: centred, scaled, z up.
  Vec3 Place(const Vec3& p) const {
    const Vec3 q{(p[0] + centre_[0]) * scale_, (p[1] + centre_[1]) * scale_, (p[2] + centre_[2]) * scale_};
    return {q[0], q[2], -q[1]};
  }

  bool Take(const Entity& entity) override {
    if (next_ >= entityObject_.size()) return false;
    FacetedMesh& mesh = meshes_[entityObject_[next_++]];
    const int base = static_cast<int>(mesh.points.size());
    auto add = [&](const Vec3& p) {
      const Vec3 at = Place(p);
      mesh.points.push_back({static_cast<float>(at[0] - mesh.origin[0]), static_cast<float>(at[1] - mesh.origin[1]),
                             static_cast<float>(at[2] - mesh.origin[2])});
    };
    auto number = [&](int n) { return static_cast<std::int16_t>(n == 0 ? 0 : (n > 0 ? base + n : -(base - n))); };
    if (entity.kind == Entity::Kind::Polyface) {
      for (const Vec3& p : entity.vertices) add(p);
      for (const auto& face : entity.faces) {
        mesh.faces.push_back({number(face[0]), number(face[1]), number(face[2]), number(face[3])});
      }
      return true;
    }
    const int corners = entity.CornerCount();
    Face face{};
    for (int c = 0; c < corners; ++c) {
      add(entity.corners[c]);
      const bool invisible = entity.kind == Entity::Kind::Face && (entity.flags & kInvisibleEdge[c]) != 0;
      face[c] = number(invisible ? -(c + 1) : c + 1);
    }
    if (entity.kind == Entity::Kind::Face) Trace("3DFACE[%d]:\n", ++faceCount_);
    mesh.faces.push_back(face);
    return true;
  }

 private:
  const std::vector<int>& entityObject_;
  std::vector<FacetedMesh>& meshes_;
  Vec3 centre_;
  double scale_;
  std::size_t next_ = 0;
  int faceCount_ = 0;
};

int Refuse() {
  ShowMessage(MessageKind::Warning, kIncompleteDxfMessage);
  return -1;
}

}  // namespace

int ImportDxfText(SceneModel& scene, std::string_view text, double targetSize, DxfImport* result) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.starts_with(kBinarySentinel)) {
    Trace("DXF binaire : non lu\n");
    return Refuse();
  }

  Trace("Premiere PHASE\n");
  CountingPass counting(SceneModel::kMaxPoints - scene.TotalPoints());
  HeaderExtents header;
  if (!Scanner(text, counting, false).Run(header)) {
    if (counting.tooLarge) {
      ShowNotEnoughMemory();
      return -1;
    }
    return Refuse();
  }
  if (counting.objects.empty()) return Refuse();
  if (scene.TotalPoints() + counting.totalPoints >= SceneModel::kMaxPoints ||
      scene.Header().objectCount + static_cast<long>(counting.objects.size()) >= SceneModel::kMaxObjects) {
    ShowNotEnoughMemory();
    return -1;
  }

  // Extents: the header's when it is complete and encloses every point,
  // else those of the points themselves.
  Vec3 low = counting.min;
  Vec3 high = counting.max;
  if (header.minZ && header.maxZ) {
    bool encloses = true;
    for (int axis = 0; axis < 3; ++axis) {
      encloses = encloses && header.min[axis] <= low[axis] && header.max[axis] >= high[axis];
    }
    if (encloses) {
      low = header.min;
      high = header.max;
    }
  }
  Vec3 centre{};
  double largest = 0;
  for (int axis = 0; axis < 3; ++axis) {
    centre[axis] = -(low[axis] + high[axis]) / 2;
    largest = std::max(largest, high[axis] - low[axis]);
  }
  if (!std::isfinite(largest) || !std::isfinite(centre[0] + centre[1] + centre[2])) return Refuse();
  const double scale = largest > 1e-12 && targetSize > 0 ? targetSize / largest : 1.0;

  // Objects in layer order: the table's layers first, then the others as
  // entities named them; a layer split over several objects keeps them
  // together.
  std::vector<int> order(counting.objects.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return counting.objects[a].layer < counting.objects[b].layer; });
  std::vector<int> position(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) position[order[i]] = static_cast<int>(i);
  for (int& object : counting.entityObject) object = position[object];

  std::vector<FacetedMesh> meshes(order.size());
  BuildingPass building(counting.entityObject, meshes, centre, scale);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const ObjectPlan& plan = counting.objects[order[i]];
    Vec3 mean{};
    for (int axis = 0; axis < 3; ++axis) mean[axis] = plan.points > 0 ? plan.sum[axis] / plan.points : 0;
    meshes[i].origin = building.Place(mean);
    meshes[i].points.reserve(static_cast<std::size_t>(plan.points));
    meshes[i].faces.reserve(static_cast<std::size_t>(plan.faces));
  }

  Trace("Deuxieme PHASE\n");
  HeaderExtents again;
  if (!Scanner(text, building, true).Run(again)) return Refuse();

  const int first = AppendFacetedObjects(scene, meshes);
  if (first < 0) return -1;
  for (int k = 0; k < first; ++k) scene.State(k).selection = 0;
  if (result) {
    *result = DxfImport{};
    result->firstObject = first;
    result->objects = static_cast<int>(meshes.size());
    for (std::size_t i = 0; i < meshes.size(); ++i) {
      result->faces += static_cast<int>(meshes[i].faces.size());
      result->points += static_cast<int>(meshes[i].points.size());
      result->layers.push_back(counting.layers[counting.objects[order[i]].layer]);
    }
    result->scale = scale;
    result->centre = centre;
  }
  return first;
}

int ImportDxf(SceneModel& scene, const std::filesystem::path& file, double targetSize, DxfImport* result) {
  Bytes bytes;
  if (!ReadWholeFile(file, bytes)) return Refuse();
  return ImportDxfText(scene, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, targetSize, result);
}

}  // namespace tessaran
