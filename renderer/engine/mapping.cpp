// Texture mapping: the map name list, bindings, loading and lookups.
#include "renderer/engine/mapping.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <new>

#include "imaging/anim.h"
#include "imaging/picture.h"
#include "platform/console.h"
#include "platform/report.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/vecmath.h"
#include "storage/virtim.h"

namespace tessaran {

namespace {

enum : int {
  kMsgNameListMemory = 295,
  kMsgMapUnusable = 325,
};

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr double kPi = 3.14159265358979323846;

double Frac(double x) { return x - std::floor(x); }

// A repeat the map records hold as an integer with a count of decimals; the
// modeler writes no decimals. A repeat of 0 or less would collapse the map
// onto one texel: it counts as 1.
double Repeat(int value, int decimals = 0) {
  const double r = value / std::pow(10.0, decimals);
  return r > 0 ? r : 1;
}

bool IsFile(const std::filesystem::path& p) {
  std::error_code ec;
  return !p.empty() && std::filesystem::is_regular_file(p, ec);
}

// Whether a file is an IFF ANIM (its frames follow the image number).
bool IsAnimated(const std::filesystem::path& path) {
  return IsAnimFile(ReadFileStart(path, 12));
}

}  // namespace

std::filesystem::path ResolveMapPath(const std::string& name, const std::filesystem::path& directory,
                                     const std::filesystem::path& dataDirectory) {
  std::string s = name;
  std::replace(s.begin(), s.end(), '\\', '/');
  const std::filesystem::path p(s);
  if (p.empty()) return p;
  if (IsFile(p)) return p;
  const std::filesystem::path file = p.filename();
  if (!directory.empty()) {
    if (p.is_relative() && IsFile(directory / p)) return directory / p;
    if (IsFile(directory / file)) return directory / file;
  }
  if (!dataDirectory.empty() && IsFile(dataDirectory / file)) return dataDirectory / file;
  return p;
}

void MapImageCache::Clear() {
  for (auto& [path, entry] : entries_) {
    if (entry.slot >= kFirstMapSlot && entry.slot < kVirtImSlots) VimFree(entry.slot);
  }
  entries_.clear();
  nextSlot_ = kFirstMapSlot;
}

MapImageCache::Entry* MapImageCache::Find(const std::string& path) {
  const auto it = entries_.find(path);
  return it == entries_.end() ? nullptr : &it->second;
}

void GridFacetParameters(const ObjectEntry& object, int a, int b, int c, const Vec3& A, const Vec3& B,
                         const Vec3& C, const Vec3& hit, double& u, double& v) {
  if (object.nu < 1) return;
  const Vec3 v0 = B - A, v1 = C - A, v2 = hit - A;
  const double d00 = Dot(v0, v0), d01 = Dot(v0, v1), d11 = Dot(v1, v1);
  const double d20 = Dot(v2, v0), d21 = Dot(v2, v1);
  const double denom = d00 * d11 - d01 * d01;
  if (!(std::fabs(denom) > 1e-12)) return;
  const double wb = (d11 * d20 - d01 * d21) / denom;
  const double wc = (d00 * d21 - d01 * d20) / denom;
  const double wa = 1 - wb - wc;
  const auto column = [&](int p) { return static_cast<double>((p - object.firstPoint) % object.nu); };
  const auto row = [&](int p) { return static_cast<double>((p - object.firstPoint) / object.nu); };
  const double pu = wa * column(a) + wb * column(b) + wc * column(c);
  const double pv = wa * row(a) + wb * row(b) + wc * row(c);
  if (!std::isfinite(pu) || !std::isfinite(pv)) return;
  // Edges count as inside the facet: keep the blend within the grid.
  u = std::clamp(pu, 0.0, static_cast<double>(object.nu - 1));
  v = std::clamp(pv, 0.0, static_cast<double>(std::max(object.nv - 1, 0)));
}

double MapLuminance(std::uint32_t rgb) {
  return 0.00097265625 * ((rgb >> 16) & 255) + 0.00244921875 * ((rgb >> 8) & 255) + 0.000484375 * (rgb & 255);
}

bool ParametricTexel(double u, double v, double uRange, double vRange, const MappPropriety& prop, int width,
                     int height, double& x, double& y) {
  // Surfaces without parameters (facets) have no answer.
  if (u < 0 || v < 0 || uRange <= 0 || vRange <= 0) return false;
  double fx = u / uRange * prop.repeatX;
  double fy = v / vRange * prop.repeatY;
  if (prop.repeatX != 1) fx = Frac(fx);
  if (prop.repeatY != 1) fy = Frac(fy);
  x = fx * width;
  y = fy * height;
  return std::isfinite(x) && std::isfinite(y);
}

bool GroundTexel(double u, double v, double tileX, double tileY, int width, int height, double& x, double& y) {
  if (!(tileX > 0) || !(tileY > 0)) return false;
  // The image tiles the plane centred on its origin.
  double a = std::fmod(u - tileX / 2, tileX);
  double b = std::fmod(v - tileY / 2, tileY);
  if (a < 0) a += tileX;
  if (b < 0) b += tileY;
  x = a / tileX * width;
  y = b / tileY * height;
  return std::isfinite(x) && std::isfinite(y);
}

bool SphericalTexel(const Vec3& d, double repeatX, double repeatY, bool sky, int width, int height, double& x,
                    double& y) {
  const double r = Length(d);
  if (!(r > 0) || !std::isfinite(r)) return false;
  const double ux = d[0] / r, uy = d[1] / r, uz = d[2] / r;
  const double a = std::asin(std::clamp(uy, -1.0, 1.0));
  const double h = std::sqrt(ux * ux + uz * uz);
  double F;
  if (h == 0) {
    F = 0;
  } else if (uz == 0) {
    F = ux <= 0 ? kPi : 0;
  } else {
    F = std::acos(std::clamp(ux / h, -1.0, 1.0));
    if (uz < 0) F = 2 * kPi - F;
  }
  double s = 1 - F / (2 * kPi);
  double t = 0.5 - a / kPi;
  if (sky) {
    t = 1 - t;
    s *= repeatX;
  } else {
    s *= repeatX;
    t *= repeatY;
  }
  x = Frac(s) * width;
  y = Frac(t) * height;
  return true;
}

// ------------------------------------------------------------ the list

void TextureMaps::Release() {
  if (!cacheSlots_) {
    for (const MappName& n : names_) {
      if (n.slot >= kFirstMapSlot) VimFree(n.slot);
    }
  }
  cacheSlots_ = false;
  names_.clear();
  slots_.clear();
  sky_ = -1;
  nextSlot_ = kFirstMapSlot;
}

int TextureMaps::PutNextMapp(std::string_view name) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i].name == name) return static_cast<int>(i);
  }
  Trace("PutNextMapp %.*s\n", static_cast<int>(name.size()), name.data());
  try {
    // The list grows by three names at a time.
    if (names_.size() == names_.capacity()) names_.reserve(names_.size() + 3);
    names_.push_back({std::string(name), -1, nullptr});
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, kMsgNameListMemory);
    return -1;
  }
  return static_cast<int>(names_.size()) - 1;
}

void TextureMaps::Bind(int object, int role, int map, const MappPropriety& prop) {
  if (object < 0 || object >= static_cast<int>(slots_.size()) || map < 0) return;
  slots_[object][role] = {map, prop};
}

void TextureMaps::InitListeMap(const std::vector<MapEntry>& maps, const std::vector<Assignment>& assignments,
                               const FrameTables& frame, const MapSettings& settings) {
  InitListeMap(maps, {}, assignments, frame, settings);
}

void TextureMaps::InitListeMap(const std::vector<MapEntry>& maps, const std::vector<MaqMapDetail>& details,
                               const std::vector<Assignment>& assignments, const FrameTables& frame,
                               const MapSettings& settings) {
  Release();
  settings_ = settings;
  slots_.assign(frame.objects.size(), {});
  const int n = frame.objectCount;

  // The scene's map records and their assignments; an assignment naming an
  // object outside the scene is ignored.
  for (const Assignment& a : assignments) {
    if (a.object < 0 || a.object >= n) continue;
    for (int role = 0; role < 3; ++role) {
      const int ref = a.maps[role];
      if (ref < 1 || ref > static_cast<int>(maps.size())) continue;
      const MapEntry& e = maps[ref - 1];
      MappPropriety prop;
      prop.type = e.type == 1 ? kSphericalMapping : e.type == 3 ? 3 : kParametricMapping;
      // The preview sphere is mapped round its centre.
      if (frame.previewMaterial && a.object == 0) prop.type = kSphericalMapping;
      if (static_cast<std::size_t>(ref) <= details.size()) {
        const MaqMapDetail& d = details[ref - 1];
        prop.repeatX = d.repeatX > 0 && std::isfinite(d.repeatX) ? d.repeatX : 1;
        prop.repeatY = d.repeatY > 0 && std::isfinite(d.repeatY) ? d.repeatY : 1;
        prop.bumpFactor = (d.bumpStrength + 50.0) / 50.0;
      } else {
        prop.repeatX = Repeat(e.RepetitionX());
        prop.repeatY = Repeat(e.RepetitionY());
      }
      Bind(a.object, role, PutNextMapp(e.name), prop);
    }
  }

  // The ground map tiles the ground.
  if (!settings.groundMap.empty() && frame.hasGround && n < static_cast<int>(slots_.size())) {
    Trace("MappingSol active[%s] (%f,%f)\n", settings.groundMap.c_str(), settings.groundTileX, settings.groundTileY);
    if (maps.empty() || assignments.empty()) Trace("InitListeMap MappingSol uniquement\n");
    MappPropriety prop;
    prop.type = kGroundMapping;
    Bind(n, kColourMap, PutNextMapp(settings.groundMap), prop);
  }

  // The material preview's maps, from the request.
  if (frame.previewMaterial && n > 0) {
    static const char* const kLabels[3] = {"DDE ColorMap", "DDE BumpMap", "DDE OpacityMap"};
    for (int role = 0; role < 3; ++role) {
      const PreviewMap& m = settings.previewMaps[role];
      if (m.name.empty()) continue;
      Trace("%s :[%s] repX=%d repY=%d\n", kLabels[role], m.name.c_str(), m.repetition / 1000, m.repetition % 1000);
      MappPropriety prop;
      prop.type = kSphericalMapping;
      prop.repeatX = Repeat(m.repetition / 1000);
      prop.repeatY = Repeat(m.repetition % 1000);
      Bind(0, role, PutNextMapp(m.name), prop);
    }
  }

  if (!settings.skyMap.empty()) sky_ = PutNextMapp(settings.skyMap);
}

void TextureMaps::RemoveMap(int map) {
  for (auto& object : slots_) {
    for (MapSlot& s : object) {
      if (s.map == map) s.map = -1;
    }
  }
  if (sky_ == map) sky_ = -1;
}

// Reads the entry's image into `slot` and keeps it as texels; the slot is
// freed again when the picture is unusable (empty).
bool TextureMaps::LoadImage(MappName& entry, int slot) {
  if (slot < kFirstMapSlot || slot >= kVirtImSlots) return false;
  PictureHeader header;
  const std::filesystem::path path = ResolveMapPath(entry.name, settings_.directory, settings_.dataDirectory);
  if (LoadPicture(path, slot, kOpaqueLoad, &header, settings_.frameNumber) != 1) return false;
  const VirtIm& im = VimSlot(slot);
  if (im.Empty() || im.width == 0 || im.height == 0) {
    VimFree(slot);
    return false;
  }
  auto image = std::make_shared<MapImage>();
  image->width = static_cast<int>(im.width);
  image->height = static_cast<int>(im.height);
  image->texels.resize(static_cast<std::size_t>(im.width) * im.height);
  for (std::uint32_t y = 0; y < im.height; ++y) {
    for (std::uint32_t x = 0; x < im.width; ++x) {
      image->texels[y * im.width + x] = static_cast<std::uint32_t>(VimGetPixel(slot, y, x)) & 0xFFFFFF;
    }
  }
  entry.image = std::move(image);
  entry.slot = slot;
  return true;
}

namespace {

// Which names the slots (and the sky) use: only those are loaded.
std::vector<char> UsedMaps(const std::vector<std::array<MapSlot, 3>>& slots, int sky, std::size_t names) {
  std::vector<char> used(names, 0);
  for (const auto& object : slots) {
    for (const MapSlot& s : object) {
      if (s.map >= 0) used[s.map] = 1;
    }
  }
  if (sky >= 0) used[sky] = 1;
  return used;
}

}  // namespace

void TextureMaps::LoadMaps() {
  if (!settings_.mappingOn) return;
  const std::vector<char> used = UsedMaps(slots_, sky_, names_.size());
  for (std::size_t m = 0; m < names_.size(); ++m) {
    MappName& entry = names_[m];
    if (!used[m] || entry.image) continue;
    if (LoadImage(entry, nextSlot_)) {
      ++nextSlot_;
    } else {
      ShowMessage(MessageKind::Warning, kMsgMapUnusable);
      RemoveMap(static_cast<int>(m));
    }
  }
}

void TextureMaps::LoadMaps(MapImageCache& cache) {
  if (!settings_.mappingOn) return;
  cacheSlots_ = true;
  const std::vector<char> used = UsedMaps(slots_, sky_, names_.size());
  for (std::size_t m = 0; m < names_.size(); ++m) {
    MappName& entry = names_[m];
    if (!used[m] || entry.image) continue;
    const std::string path =
        ResolveMapPath(entry.name, settings_.directory, settings_.dataDirectory).lexically_normal().string();
    MapImageCache::Entry* cached = cache.Find(path);
    const bool known = cached != nullptr;
    if (!known) cached = &cache.Add(path);
    const bool stale = cached->image && cached->animated && cached->frame != settings_.frameNumber;
    if (!known || stale) {
      if (!known) {
        cached->animated = IsAnimated(path);
        cached->slot = cache.NextSlot();
      }
      if (cached->slot < kVirtImSlots) VimFree(cached->slot);
      cache.CountLoad();
      if (LoadImage(entry, cached->slot)) {
        cached->image = entry.image;
        cached->frame = settings_.frameNumber;
      } else {
        cached->image = nullptr;
        ShowMessage(MessageKind::Warning, kMsgMapUnusable);
      }
    }
    if (cached->image) {
      entry.image = cached->image;
      entry.slot = cached->slot;
    } else {
      RemoveMap(static_cast<int>(m));
    }
  }
}

const MapSlot& TextureMaps::Slot(int object, int role) const {
  static const MapSlot kNone;
  if (object < 0 || object >= static_cast<int>(slots_.size()) || role < 0 || role > 2) return kNone;
  return slots_[object][role];
}

bool TextureMaps::UsesParameters(int object) const {
  if (!settings_.mappingOn || object < 0 || object >= static_cast<int>(slots_.size())) return false;
  for (const MapSlot& s : slots_[object]) {
    if (s.map >= 0 && s.prop.type == kParametricMapping && names_[s.map].image) return true;
  }
  return false;
}

const MapImage* TextureMaps::Image(int object, int role) const {
  if (!settings_.mappingOn) return nullptr;
  const MapSlot& s = Slot(object, role);
  if (s.map < 0) return nullptr;
  return names_[s.map].image.get();
}

// ------------------------------------------------------------ lookups

bool TextureMaps::Texel(int object, int role, double u, double v, const Vec3& point, const FrameTables& frame,
                        double& x, double& y, const MapImage*& image) const {
  image = Image(object, role);
  if (!image) return false;
  const MappPropriety& prop = Slot(object, role).prop;
  if (prop.type == kGroundMapping) {
    return GroundTexel(u, v, settings_.groundTileX, settings_.groundTileY, image->width, image->height, x, y);
  }
  if (prop.type == kSphericalMapping || prop.type == 3) {
    const ObjectEntry& e = frame.objects[object];
    const Vec3 rel = ScenePoint(frame.camera, point) - e.frameOrigin;
    const Vec3 d{Dot(rel, e.frameOrientation[0]), Dot(rel, e.frameOrientation[1]), Dot(rel, e.frameOrientation[2])};
    return SphericalTexel(d, prop.repeatX, prop.repeatY, false, image->width, image->height, x, y);
  }
  const ObjectEntry& e = frame.objects[object];
  if (u < 0 || v < 0) {
    // A surface without parameters (the facets of a faceted object) takes
    // the spherical projection round its frame, with the map's repeats.
    const Vec3 rel = ScenePoint(frame.camera, point) - e.frameOrigin;
    const Vec3 d{Dot(rel, e.frameOrientation[0]), Dot(rel, e.frameOrientation[1]), Dot(rel, e.frameOrientation[2])};
    return SphericalTexel(d, prop.repeatX, prop.repeatY, false, image->width, image->height, x, y);
  }
  // A polygon grid's parameters run over its grid points, a curved
  // surface's over its patch cells.
  const int cells = e.IsPolygonGrid() ? 1 : 2;
  return ParametricTexel(u, v, e.nu - cells, e.nv - cells, prop, image->width, image->height, x, y);
}

// Texture smoothing averages a square of texels whose side is the texels
// one sixteenth of a parameter unit covers: a map stretched finely over a
// cell is smoothed, a coarse one is read texel by texel.
double TextureMaps::TexelArea(int object, int role, const MapImage& image, const FrameTables& frame) const {
  if (!settings_.smoothing) return 1;
  const MappPropriety& prop = Slot(object, role).prop;
  double perUnit;
  if (prop.type == kGroundMapping) {
    perUnit = image.width / settings_.groundTileX;
  } else if (prop.type == kParametricMapping) {
    const ObjectEntry& e = frame.objects[object];
    perUnit = e.nu > 2 ? image.width * prop.repeatX / (e.nu - 2) : 1;
  } else {
    perUnit = image.width * prop.repeatX / 64.0;
  }
  return std::clamp(std::floor(perUnit / 16), 1.0, 64.0);
}

std::uint32_t TextureMaps::Sample(const MapImage& image, double x, double y, double area) const {
  const int w = image.width, h = image.height;
  const int ix = std::clamp(static_cast<int>(std::floor(x)), 0, w - 1);
  const int iy = std::clamp(static_cast<int>(std::floor(y)), 0, h - 1);
  const int side = static_cast<int>(area);
  if (side <= 1) return image.At(ix, iy);
  unsigned long r = 0, g = 0, b = 0;
  for (int dy = 0; dy < side; ++dy) {
    for (int dx = 0; dx < side; ++dx) {
      const std::uint32_t c = image.At((ix + dx) % w, (iy + dy) % h);
      r += (c >> 16) & 255;
      g += (c >> 8) & 255;
      b += c & 255;
    }
  }
  const unsigned long n = static_cast<unsigned long>(side) * side;
  return static_cast<std::uint32_t>(((r / n) << 16) | ((g / n) << 8) | (b / n));
}

std::uint32_t TextureMaps::Lookup(int object, int role, double u, double v, const Vec3& point,
                                  const FrameTables& frame) const {
  double x, y;
  const MapImage* image;
  if (!Texel(object, role, u, v, point, frame, x, y, image)) return kWhite;
  return Sample(*image, x, y, TexelArea(object, role, *image, frame));
}

Vec3 TextureMaps::Bump(int object, double u, double v, const Vec3& point, const Vec3& normal, const Vec3& tu,
                       const Vec3& tv, const FrameTables& frame) const {
  double x, y;
  const MapImage* image;
  if (!Texel(object, kBumpMap, u, v, point, frame, x, y, image)) return normal;
  const int w = image->width, h = image->height;
  const int ix = std::clamp(static_cast<int>(std::floor(x)), 0, w - 1);
  const int iy = std::clamp(static_cast<int>(std::floor(y)), 0, h - 1);
  const double c = MapLuminance(image->At(ix, iy));
  const double k = Slot(object, kBumpMap).prop.bumpFactor;
  // The luminance is a height: the normal leans away from brighter texels.
  const double du = (MapLuminance(image->At((ix + 1) % w, iy)) - c) * k;
  const double dv = (MapLuminance(image->At(ix, (iy + 1) % h)) - c) * k;
  const Vec3 bent = normal - du * tu - dv * tv;
  const double l = Length(bent);
  return l > 0 && std::isfinite(l) ? (1 / l) * bent : normal;
}

std::uint32_t TextureMaps::Sky(const Vec3& direction) const {
  if (!HasSky()) return 0;
  const MapImage& image = *names_[sky_].image;
  double x, y;
  if (!SphericalTexel(direction, settings_.skyRepeat, 1, true, image.width, image.height, x, y)) return kWhite;
  return Sample(image, x, y, 1);
}

}  // namespace tessaran
