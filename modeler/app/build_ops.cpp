#include "modeler/app/build_ops.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <limits>
#include <cstdlib>
#include <cmath>
#include <numbers>

#include "modeler/app/tool_ops.h"
#include "modeler/app/edit_ops.h"
#include "modeler/app/profile_ops.h"
#include "modeler/app/lamp_ops.h"
#include "modeler/geometry/camera.h"
#include "modeler/geometry/dxf_reader.h"
#include "modeler/geometry/extrusion.h"
#include "modeler/geometry/mesh_object.h"
#include "modeler/geometry/primitives.h"
#include "modeler/geometry/remesh.h"
#include "modeler/geometry/text3d.h"
#include "platform/report.h"
#include "scene/frames.h"
#include "scene/maq_file.h"

namespace tessaran {

namespace {

constexpr int kDxfObjectMessage = 38;
// Surface kinds of bits 14-15 of `Col`.
constexpr int kSplineSurface = 0;
constexpr int kPhongSurface = 1;
constexpr int kAngularSurface = 2;

bool Fail(BuildError& error, std::string reason) {
  error = {std::move(reason), false};
  return false;
}

// A refusal of what the command line asked: a value out of its range or
// beyond what the scene file holds, or an operation without its object.
bool Refuse(BuildError& error, std::string reason) {
  error = {std::move(reason), true};
  return false;
}

std::string Decimal(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// A point's coordinates must fit the scene file's points, an origin its
// lengths.
bool FitsFile(const Vec3& v, double limit, const std::string& what, BuildError& error) {
  for (int a = 0; a < 3; ++a) {
    if (!FitsLimit(v[a], limit)) {
      return Refuse(error, what + " would lie at " + "xyz"[a] + " = " + Decimal(v[a]) +
                               ", beyond what a scene file holds (-" + Decimal(limit) + " to " + Decimal(limit) + ")");
    }
  }
  return true;
}

// Leaves exactly the objects from `first` on selected.
void SelectFrom(SceneModel& scene, int first) {
  for (int k = 0; k < scene.Header().objectCount; ++k) scene.State(k).selection = k >= first ? 1 : 0;
}

// The selected objects; an empty selection is an error for the operations
// on it.
std::vector<int> Selection(const SceneModel& scene) {
  std::vector<int> selected;
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection == 1) selected.push_back(k);
  }
  return selected;
}

bool NeedSelection(const std::vector<int>& selected, BuildError& error) {
  return !selected.empty() || Refuse(error, "no object is selected");
}

// The new points of the selected objects, all computed before any object
// changes: `place` gives a point's new coordinates from the object's place
// in the selection, the point and the object's origin. False when one would lie beyond the scene file.
bool PlacePoints(const SceneModel& scene, const std::vector<int>& selected,
                 const std::function<Vec3(std::size_t, const Point3&, const Vec3&)>& place,
                 std::vector<std::vector<Point3>>& placed, BuildError& error) {
  placed.clear();
  for (std::size_t i = 0; i < selected.size(); ++i) {
    const int k = selected[i];
    const Vec3& origin = scene.Frames().AbsOrigin(k);
    std::vector<Point3> points = GetObjectPoints(scene, k);
    for (Point3& p : points) {
      const Vec3 to = place(i, p, origin);
      if (!FitsFile(to, kMaqCoordinateLimit, "a point of object " + std::to_string(k), error)) return false;
      p = {static_cast<float>(to[0]), static_cast<float>(to[1]), static_cast<float>(to[2])};
    }
    placed.push_back(std::move(points));
  }
  return true;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

std::ostream& operator<<(std::ostream& out, const BuildError& error) { return out << error.text; }

bool BuildImportDxf(SceneModel& scene, const std::filesystem::path& file, BuildError& error) {
  std::error_code missing;
  if (!std::filesystem::is_regular_file(file, missing)) return Fail(error, file.string() + ": no such file");
  const int first = ImportDxf(scene, file, DxfTargetSize(scene.View()));
  if (first < 0) return Fail(error, file.string() + ": not imported");
  SelectFrom(scene, first);
  return true;
}

bool BuildPrimitive(SceneModel& scene, std::string_view kind, int u, int v, int top, BuildError& error) {
  static constexpr std::pair<std::string_view, Primitive> kKinds[] = {
      {"plan", Primitive::Plan},         {"box", Primitive::Box},       {"disc", Primitive::Disc},
      {"cylinder", Primitive::Cylinder}, {"sphere", Primitive::Sphere}, {"ring", Primitive::Ring}};
  const auto it = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return k.first == kind; });
  if (it == std::end(kKinds)) return Refuse(error, "unknown primitive " + std::string(kind));
  if (!InRange(u, 1, kMaxIntervals) || !InRange(v, 1, kMaxIntervals)) {
    return Refuse(error, "mesh intervals must lie between 1 and " + std::to_string(kMaxIntervals));
  }
  if (top < 0) top = it->second == Primitive::Ring ? 30 : 100;
  if (top > 100) return Refuse(error, "the top size is a percentage, 0 to 100");
  const int k = MakePrimitive(scene, it->second, u, v, top);
  if (k < 0) return Fail(error, "the primitive could not be made");
  SelectFrom(scene, k);
  return true;
}

bool BuildLoadProfile(const std::filesystem::path& file, Profile2D& profile, BuildError& error) {
  Profile2D read;
  switch (ReadProfileFile(file, read)) {
    case ProfileRead::Ok:
      profile = std::move(read);
      return true;
    case ProfileRead::CannotOpen:
      return Fail(error, file.string() + ": cannot be read");
    case ProfileRead::NoPoint:
      return Fail(error, file.string() + ": no point after a line \"Listepoint\" (qmx --help shows a profile file)");
    case ProfileRead::TooFew:
      break;
  }
  return Fail(error, file.string() + ": fewer than 3 points");
}

bool BuildExtrude(SceneModel& scene, const Profile2D& profile, double depth, int steps, BuildError& error) {
  if (profile.points.size() < 3) return Refuse(error, "--extrude needs a --profile of at least 3 points");
  if (!std::isfinite(depth) || !InRange(steps, 1, 1000)) return Refuse(error, "bad depth or steps");
  if (!FitsLimit(depth, kMaqCoordinateLimit)) return FitsFile({0, 0, depth}, kMaqCoordinateLimit, "the far side", error);
  const int k = StraightExtrusion(scene, profile, depth, steps);
  if (k < 0) return Fail(error, "the extrusion could not be made");
  SelectFrom(scene, k);
  return true;
}

bool BuildPivot(SceneModel& scene, const Profile2D& profile, int axisX, double angle, int steps,
                BuildError& error) {
  if (profile.points.size() < 3) return Refuse(error, "--pivot needs a --profile of at least 3 points");
  if (!std::isfinite(angle) || angle == 0 || std::fabs(angle) > 360 || !InRange(steps, 1, 1000)) {
    return Refuse(error, "bad angle or steps");
  }
  const int k = Revolution(scene, profile, axisX, angle, steps);
  if (k < 0) return Fail(error, "the revolution could not be made");
  SelectFrom(scene, k);
  return true;
}

bool BuildText(SceneModel& scene, std::string_view text, const std::filesystem::path& font, BuildError& error) {
  const int first = Text3D(scene, text, font, &error.text);
  if (first < 0) return false;
  SelectFrom(scene, first);
  return true;
}

bool BuildSelect(SceneModel& scene, std::string_view which, BuildError& error) {
  const int n = scene.Header().objectCount;
  int low = 0;
  int high = n - 1;
  if (which == "none") {
    low = 0;
    high = -1;
  } else if (which != "all") {
    const char* begin = which.data();
    const char* end = begin + which.size();
    std::from_chars_result read = std::from_chars(begin, end, low);
    high = low;
    if (read.ec == std::errc() && read.ptr != end && *read.ptr == '-') read = std::from_chars(read.ptr + 1, end, high);
    if (read.ec != std::errc() || read.ptr != end || low < 0 || high < low || high >= n) {
      if (n == 0) return Refuse(error, "--select " + std::string(which) + ": the scene has no objects");
      return Refuse(error, "--select " + std::string(which) + ": objects are 0 to " + std::to_string(n - 1));
    }
  }
  for (int k = 0; k < n; ++k) scene.State(k).selection = k >= low && k <= high ? 1 : 0;
  return true;
}

bool BuildDuplicate(SceneModel& scene, BuildError& error) {
  if (!NeedSelection(Selection(scene), error)) return false;
  if (Duplicate(scene) < 0) return Fail(error, "the scene cannot hold the copies");
  return true;
}

bool BuildDelete(SceneModel& scene, BuildError& error) {
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  std::vector<bool> removed(static_cast<std::size_t>(scene.Header().objectCount), false);
  for (int k : selected) removed[static_cast<std::size_t>(k)] = true;
  scene.RemoveObjects(removed);
  return true;
}

bool BuildMove(SceneModel& scene, double x, double y, double z, BuildError& error) {
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  // The object moves with its frame: its points and its origin.
  for (int k : selected) {
    const Vec3& origin = scene.Frames().AbsOrigin(k);
    if (!FitsFile({origin[0] + x, origin[1] + y, origin[2] + z}, kMaqLengthLimit,
                  "the origin of object " + std::to_string(k), error)) {
      return false;
    }
  }
  std::vector<std::vector<Point3>> placed;
  const auto move = [&](std::size_t, const Point3& p, const Vec3&) { return Vec3{p[0] + x, p[1] + y, p[2] + z}; };
  if (!PlacePoints(scene, selected, move, placed, error)) return false;
  for (std::size_t i = 0; i < selected.size(); ++i) {
    const int k = selected[i];
    PutObjectPoints(scene, k, placed[i]);
    Vec3& origin = scene.Frames().AbsOrigin(k);
    origin = {origin[0] + x, origin[1] + y, origin[2] + z};
    RefreshRelative(scene.Frames(), k);
  }
  return true;
}

bool BuildRotate(SceneModel& scene, double ax, double ay, double az, BuildError& error) {
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  constexpr double kRadian = std::numbers::pi / 180;
  std::vector<Mat3> turned;
  for (int k : selected) {
    Mat3 axes = scene.Frames().AbsOrientation(k);
    if (ax != 0) Rotate(axes, Axis::X, ax * kRadian);
    if (ay != 0) Rotate(axes, Axis::Y, ay * kRadian);
    if (az != 0) Rotate(axes, Axis::Z, az * kRadian);
    turned.push_back(axes);
  }
  // The points turn with the frame: the same coordinates along the new axes.
  const auto turn = [&](std::size_t i, const Point3& p, const Vec3& origin) {
    const Mat3& before = scene.Frames().AbsOrientation(selected[i]);
    const Mat3& axes = turned[i];
    double along[3];
    for (int r = 0; r < 3; ++r) {
      along[r] = 0;
      for (int a = 0; a < 3; ++a) along[r] += (p[a] - origin[a]) * before[r][a];
    }
    Vec3 to;
    for (int a = 0; a < 3; ++a) to[a] = origin[a] + along[0] * axes[0][a] + along[1] * axes[1][a] + along[2] * axes[2][a];
    return to;
  };
  std::vector<std::vector<Point3>> placed;
  if (!PlacePoints(scene, selected, turn, placed, error)) return false;
  for (std::size_t i = 0; i < selected.size(); ++i) {
    scene.Frames().AbsOrientation(selected[i]) = turned[i];
    PutObjectPoints(scene, selected[i], placed[i]);
    RefreshRelative(scene.Frames(), selected[i]);
  }
  return true;
}

bool BuildSize(SceneModel& scene, double sx, double sy, double sz, BuildError& error) {
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  if (!(sx > 0 && sy > 0 && sz > 0) || !std::isfinite(sx + sy + sz)) {
    return Refuse(error, "sizes are positive percentages");
  }
  const double factor[3] = {sx / 100, sy / 100, sz / 100};
  const auto size = [&](std::size_t, const Point3& p, const Vec3& origin) {
    Vec3 to;
    for (int a = 0; a < 3; ++a) to[a] = origin[a] + (p[a] - origin[a]) * factor[a];
    return to;
  };
  std::vector<std::vector<Point3>> placed;
  if (!PlacePoints(scene, selected, size, placed, error)) return false;
  for (std::size_t i = 0; i < selected.size(); ++i) PutObjectPoints(scene, selected[i], placed[i]);
  return true;
}

bool BuildColour(SceneModel& scene, int r, int g, int b, BuildError& error) {
  if (!InRange(r, 0, 15) || !InRange(g, 0, 15) || !InRange(b, 0, 15)) {
    return Refuse(error, "colour components are 0 to 15");
  }
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  for (int k : selected) {
    ObjectRecord& record = scene.Object(k);
    record.SetCol((record.Col() & ~0x0FFF) | (r << 8) | (g << 4) | b);
  }
  return true;
}

bool BuildMaterial(SceneModel& scene, int reflection, int transmission, int refraction, int kspec, int nspec,
                   BuildError& error) {
  for (int value : {reflection, transmission, refraction, kspec, nspec}) {
    if (!InRange(value, 0, 100)) return Refuse(error, "material values are percentages, 0 to 100");
  }
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  for (int k : selected) {
    ObjectRecord& record = scene.Object(k);
    record.SetReflection(reflection);
    record.SetTransmission(transmission);
    record.SetRefraction(refraction);
    record.SetKSpec(kspec);
    record.SetNSpec(nspec);
  }
  return true;
}

bool BuildRendering(SceneModel& scene, std::string_view mode, BuildError& error) {
  int kind;
  if (mode == "angular") {
    kind = kAngularSurface;
  } else if (mode == "phong") {
    kind = kPhongSurface;
  } else if (mode == "spline") {
    kind = kSplineSurface;
  } else {
    return Refuse(error, "rendering is angular, phong or spline");
  }
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  if (kind == kSplineSurface) {
    for (int k : selected) {
      if (scene.State(k).faceGroup != 0) {
        ShowMessage(MessageKind::Warning, kDxfObjectMessage);
        return Refuse(error, "object " + std::to_string(k) + " is faceted: no spline rendering");
      }
    }
  }
  for (int k : selected) scene.Object(k).SetRenderingMode(kind);
  return true;
}

bool BuildMapSlot(SceneModel& scene, ObjectMap slot, std::int32_t type, const std::string& image, int repeatX,
                  int repeatY, BuildError& error) {
  const std::size_t index = static_cast<std::size_t>(slot);
  if (index > 2) return Refuse(error, "map slots are colour, bump and opacity");
  if (type != kParametricMap && type != kSphericalMap) return Refuse(error, "map types are parametric and spherical");
  if (!InRange(repeatX, 1, 999) || !InRange(repeatY, 1, 999)) return Refuse(error, "repetitions are 1 to 999");
  // A longer name would be cut in the scene file and name another image.
  if (image.size() > kMaqMapNameLength) {
    return Refuse(error, "map image names have at most " + std::to_string(kMaqMapNameLength) + " characters");
  }
  const std::vector<int> selected = Selection(scene);
  if (!NeedSelection(selected, error)) return false;
  if (image.empty()) {
    for (int k : selected) {
      const int existing = scene.Assignments().Find(k);
      if (existing < 0) continue;
      Assignment assignment = scene.Assignments()[existing];
      assignment.maps[index] = 0;
      scene.Assignments().Add(assignment);
    }
    return true;
  }
  // Room for every assignment first, so that the scene changes all or not.
  int missing = 0;
  for (int k : selected) missing += scene.Assignments().Find(k) < 0 ? 1 : 0;
  const std::int32_t repetition = MapRepetition(repeatX, repeatY);
  const bool known = scene.Maps().Find(type, repetition, image) != 0;
  if ((!known && scene.Maps().Count() >= MapList::kMaxMaps) ||
      scene.Assignments().Count() + missing > AssignmentList::kMaxAssignments) {
    return Fail(error, "the map or assignment list is full");
  }
  const int map = scene.Maps().Add(type, repetition, image);
  for (int k : selected) {
    Assignment assignment{k, {}};
    if (const int existing = scene.Assignments().Find(k); existing >= 0) assignment = scene.Assignments()[existing];
    assignment.maps[index] = map;
    scene.Assignments().Add(assignment);
  }
  return true;
}

bool BuildMap(SceneModel& scene, std::string_view slot, const std::string& image, int repeatX, int repeatY,
              BuildError& error) {
  ObjectMap which;
  if (slot == "colour") {
    which = ObjectMap::Colour;
  } else if (slot == "bump") {
    which = ObjectMap::Bump;
  } else if (slot == "opacity") {
    which = ObjectMap::Opacity;
  } else {
    return Refuse(error, "map slots are colour, bump and opacity");
  }
  if (image.empty()) return Refuse(error, "a map needs its image name");
  return BuildMapSlot(scene, which, kParametricMap, image, repeatX, repeatY, error);
}

bool BuildLamp(SceneModel& scene, const LampSettings& lamp, BuildError& error) {
  Lamps& lamps = scene.SceneLamps();
  if (lamps.Count() >= Lamps::kMaxLamps) return Fail(error, "the scene has its ten lamps already");
  if (!LampSettingsFit(lamp, error)) return false;
  if (!FitsFile(lamp.position, kMaqLengthLimit, "the lamp", error)) return false;
  const int i = lamps.Count();
  LampParams& params = lamps.Params(i);
  params = LampParams{};
  SetLampLook(params, lamp);
  // The lamp's third axis points at the target, as a fresh lamp (turned half
  // a turn about X) points down -z.
  FrameTable& frames = lamps.Frames();
  frames.ResetFrame(i);
  frames.AbsOrigin(i) = lamp.position;
  frames.AbsOrientation(i) = LampAimedAt(lamp.position, scene.View().CIBLE);
  lamps.SetCount(i + 1);
  return true;
}

bool BuildCamera(SceneModel& scene, double th, double ph, double zoom, int pers, const Vec3* target,
                 BuildError& error) {
  if (!std::isfinite(th) || !std::isfinite(ph) || !(zoom >= 0.1 && zoom <= 99) || pers <= 0) {
    return Refuse(error, "camera: zoom 0.1 to 99, PERS above 0");
  }
  ViewCamera view = scene.View();
  view.TH = th;
  view.PH = ph;
  view.zoom = zoom;
  view.PERS = pers;
  if (target) view.CIBLE = *target;
  if (std::string why; !ViewFitsTheFile(view, &why)) return Refuse(error, why);
  DeriveCamera(view);
  scene.View() = view;
  return true;
}

// ------------------------------------------------------------ command line

namespace {

struct OptionWords {
  std::string_view option;
  std::size_t required;  // words that must follow
  std::size_t optional;  // words that may follow
  bool numbers;          // all words after the first `text` ones are numbers
  std::size_t text;
};

constexpr OptionWords kOptions[] = {
    {"--import", 1, 0, false, 1},   {"--insert", 1, 0, false, 1},  {"--primitive", 3, 1, true, 1},
    {"--profile", 1, 0, false, 1},  {"--extrude", 2, 0, true, 0},  {"--pivot", 3, 0, true, 0},
    {"--text", 1, 0, false, 1},     {"--font", 1, 0, false, 1},    {"--select", 1, 0, false, 1},
    {"--move", 3, 0, true, 0},      {"--rotate", 3, 0, true, 0},   {"--size", 3, 0, true, 0},
    {"--colour", 3, 0, true, 0},    {"--material", 5, 0, true, 0}, {"--rendering", 1, 0, false, 1},
    {"--map", 4, 0, true, 2},       {"--lamp", 3, 6, true, 0},     {"--camera", 4, 3, true, 0},
    {"--duplicate", 0, 0, false, 0}, {"--delete", 0, 0, false, 0}, {"--delete-lamp", 1, 0, true, 0},
    {"--scale", 1, 0, true, 0},
    {"--remesh", 0, 0, false, 0},   {"--substitute", 1, 0, false, 1}, {"--cut", 1, 3, true, 1},
    {"--mirror", 0, 0, false, 0},   {"--glue", 0, 0, false, 0},      {"--magnet", 0, 0, false, 0},
    {"--merge", 0, 0, false, 0},    {"--divide", 0, 0, false, 0},
    {"--path-extrude", 3, 0, true, 1},
};

const OptionWords* Find(std::string_view option) {
  for (const OptionWords& o : kOptions) {
    if (o.option == option) return &o;
  }
  return nullptr;
}

bool IsNumber(const std::string& word, double& value) {
  const char* end = word.data() + word.size();
  const auto [at, e] = std::from_chars(word.data(), end, value);
  return e == std::errc() && at == end && std::isfinite(value);
}

bool IsOption(const std::string& word) {
  double ignored;
  return word.starts_with("--") && !IsNumber(word, ignored);
}

double Num(const BuildOperation& op, std::size_t k) { return std::strtod(op.words[k].c_str(), nullptr); }
// Whole numbers beyond an int stay beyond every range instead of wrapping.
int Int(const BuildOperation& op, std::size_t k) {
  constexpr double kLow = std::numeric_limits<int>::min(), kHigh = std::numeric_limits<int>::max();
  return static_cast<int>(std::lround(std::clamp(Num(op, k), kLow, kHigh)));
}

bool IsDxf(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".DXF";
}

}  // namespace

bool IsBuildOption(std::string_view option) { return Find(option) != nullptr && option != "--insert"; }

bool ParseBuildOperation(const std::vector<std::string>& args, std::size_t& i, BuildOperation& op,
                         BuildError& error) {
  const OptionWords* o = Find(args[i]);
  if (!o) return Refuse(error, "unknown option " + args[i]);
  op = BuildOperation{args[i], {}};
  while (op.words.size() < o->required + o->optional && i + 1 < args.size()) {
    const std::string& word = args[i + 1];
    double value;
    const bool wanted = op.words.size() < o->text ? !IsOption(word) : IsNumber(word, value);
    if (!wanted || (o->numbers == false && op.words.size() >= o->text)) break;
    op.words.push_back(word);
    ++i;
  }
  if (op.words.size() < o->required) {
    return Refuse(error, std::string(o->option) + " needs " + std::to_string(o->required) +
                           (o->numbers ? " values" : " word") + (o->required > 1 ? "" : ""));
  }
  if (op.option == "--text" && i + 2 < args.size() && args[i + 1] == "--font") {
    op.words.push_back(args[i + 2]);
    i += 2;
  }
  return true;
}

bool RunBuildOperation(SceneModel& scene, BuildState& state, const BuildOperation& op, BuildError& error) {
  const std::string& option = op.option;
  if (option == "--import" || option == "--insert") {
    if (!IsDxf(op.words[0])) return Refuse(error, op.words[0] + ": not a DXF file");
    return BuildImportDxf(scene, op.words[0], error);
  }
  if (option == "--primitive") {
    return BuildPrimitive(scene, op.words[0], Int(op, 1), Int(op, 2), op.words.size() > 3 ? Int(op, 3) : -1,
                          error);
  }
  if (option == "--profile") return BuildLoadProfile(op.words[0], state.profile, error);
  if (option == "--extrude") return BuildExtrude(scene, state.profile, Num(op, 0), Int(op, 1), error);
  if (option == "--path-extrude") return BuildPathExtrudeFile(scene, state.profile, op.words[0], Num(op, 1), Int(op, 2), error);
  if (option == "--pivot") return BuildPivot(scene, state.profile, Int(op, 0), Num(op, 1), Int(op, 2), error);
  if (option == "--font") {
    state.font = op.words[0];
    return true;
  }
  if (option == "--text") {
    if (op.words.size() > 1) state.font = op.words[1];
    return BuildText(scene, op.words[0], state.font, error);
  }
  if (option == "--select") return BuildSelect(scene, op.words[0], error);
  if (option == "--duplicate") return BuildDuplicate(scene, error);
  if (option == "--delete") return BuildDelete(scene, error);
  if (option == "--remesh") return BuildRemesh(scene, error);
  if (option == "--substitute") return BuildSubstitute(scene, op.words[0], error);
  if (option == "--cut") return RunCutOperation(scene, op, error);
  if (option == "--mirror") return BuildMirror(scene, ViewAxes(scene.View()), error);
  if (option == "--glue") return BuildGlue(scene, error);
  if (option == "--magnet") return BuildMagnet(scene, ViewAxes(scene.View()), error);
  if (option == "--merge") return BuildMerge(scene, error);
  if (option == "--divide") return BuildDivide(scene, error);
  if (option == "--move") return BuildMove(scene, Num(op, 0), Num(op, 1), Num(op, 2), error);
  if (option == "--rotate") return BuildRotate(scene, Num(op, 0), Num(op, 1), Num(op, 2), error);
  if (option == "--size") return BuildSize(scene, Num(op, 0), Num(op, 1), Num(op, 2), error);
  if (option == "--scale") return BuildScale(scene, Num(op, 0), error);
  if (option == "--colour") return BuildColour(scene, Int(op, 0), Int(op, 1), Int(op, 2), error);
  if (option == "--material") {
    return BuildMaterial(scene, Int(op, 0), Int(op, 1), Int(op, 2), Int(op, 3), Int(op, 4), error);
  }
  if (option == "--rendering") return BuildRendering(scene, op.words[0], error);
  if (option == "--map") return BuildMap(scene, op.words[0], op.words[1], Int(op, 2), Int(op, 3), error);
  if (option == "--lamp") {
    if (op.words.size() == 6 || op.words.size() == 7) return Refuse(error, "--lamp: the colour needs R G B");
    LampSettings lamp;
    lamp.position = {Num(op, 0), Num(op, 1), Num(op, 2)};
    if (op.words.size() > 3) lamp.intensity = Int(op, 3);
    if (op.words.size() > 4) lamp.aperture = Int(op, 4);
    if (op.words.size() > 7) {
      lamp.red = Int(op, 5);
      lamp.green = Int(op, 6);
      lamp.blue = Int(op, 7);
    }
    if (op.words.size() > 8) {
      if (op.words[8] != "0" && op.words[8] != "1") return Refuse(error, "--lamp: SHADOWS is 1 or 0");
      lamp.shadows = op.words[8] == "1";
    }
    return BuildLamp(scene, lamp, error);
  }
  if (option == "--delete-lamp") return BuildDeleteLamps(scene, {Int(op, 0)}, error);
  if (option == "--camera") {
    if (op.words.size() == 5 || op.words.size() == 6) return Refuse(error, "--camera: the target needs CX CY CZ");
    const Vec3 target{op.words.size() > 4 ? Num(op, 4) : 0, op.words.size() > 5 ? Num(op, 5) : 0,
                      op.words.size() > 6 ? Num(op, 6) : 0};
    return BuildCamera(scene, Num(op, 0), Num(op, 1), Num(op, 2), Int(op, 3), op.words.size() > 4 ? &target : nullptr,
                       error);
  }
  return Refuse(error, "unknown option " + option);
}

std::string BuildOptionsHelp() {
  return "  --import F.DXF        add one faceted object per layer of F (also --insert F.DXF)\n"
         "  --primitive plan|box|disc|cylinder|sphere|ring U V [TOP%]\n"
         "  --profile F.TXT       the 2D profile for --extrude and --pivot\n"
         "  --extrude DEPTH STEPS straight extrusion of the profile\n"
         "  --pivot AXIS_X ANGLE STEPS  revolution of the profile\n"
         "  --path-extrude PATH.TXT DEPTH STEPS  the profile swept along the points of\n"
         "                        PATH.TXT (a profile file of at least 4 points)\n"
         "  --text STRING [--font F.ttf]  3D text (default font: DejaVu Sans)\n"
         "  --select all|none|N|N-M  objects by number, from 0\n"
         "  on the selection (the objects the last operation made, or those selected):\n"
         "  --move X Y Z, --rotate AX AY AZ (degrees), --size SX SY SZ (per cent)\n"
         "  --scale PERCENT (the selection as one piece, about the centre of its box)\n"
         "  --duplicate (the copies become the selection), --delete\n"
         "  --remesh, --substitute plan|box|disc|cylinder|sphere|ring\n"
         "  --cut top|bottom|side [X Y Z]  bring what lies above, below or right of the\n"
         "                        cut plane (through X Y Z, else the selection's centre,\n"
         "                        as the camera sees it) onto it\n"
         "  --mirror (in the camera's vertical plane through each object's origin),\n"
         "  --magnet (down onto the object beneath), --glue (to the first selected),\n"
         "  --merge (two faceted objects), --divide (into separate parts; unglues)\n"
         "  --colour R G B (0-15), --material REFL TRANS REFR KSPEC NSPEC (per cent)\n"
         "  --rendering angular|phong|spline, --map colour|bump|opacity F.LBM REPX REPY\n"
         "  --lamp X Y Z [INTENSITY [APERTURE [R G B [SHADOWS]]]]  a lamp aimed at the target\n"
         "                        (SHADOWS 1, the default, or 0)\n"
         "  --delete-lamp N       takes out lamp N (from 0); the others close up\n"
         "  --camera TH PH ZOOM PERS [CX CY CZ]\n"
         "\n"
         "A profile file (F.TXT) is text: the points follow a line \"Listepoint\" and end\n"
         "at a line \"FinListe\"; each point line is \"X Y\" (whole numbers, at most 250\n"
         "points, at least 3); lines starting with \"/*\" and lines before \"Listepoint\"\n"
         "are ignored, so plain \"X Y\" lines alone give no profile. For example:\n"
         "    /* a profile of TESSARAN 2D\n"
         "    Listepoint   4\n"
         "    0   0\n"
         "    100   0\n"
         "    100   50\n"
         "    0   50\n"
         "    FinListe\n"
         "then: qmx --batch --profile F.TXT --extrude 40 1 --save F.MAQ\n";
}

}  // namespace tessaran
