#include "modeler/geometry/text3d.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>

#include "modeler/geometry/mesh_object.h"

namespace tessaran {

namespace {

constexpr int kFontHeight = 800;
constexpr int kFlattenSteps = 3;
constexpr double kFixedOne = 64.0;  // FreeType's 26.6 fixed point

// ------------------------------------------------------------- the font file

// The file of the font fontconfig matches best with `wanted` (taken).
std::filesystem::path FontconfigMatch(FcPattern* wanted) {
  std::filesystem::path file;
  if (!wanted) return file;
  if (FcConfig* config = FcInitLoadConfigAndFonts()) {
    FcConfigSubstitute(config, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(config, wanted, &result)) {
      FcChar8* path = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
        file = reinterpret_cast<const char*>(path);
      }
      FcPatternDestroy(match);
    }
    FcConfigDestroy(config);
  }
  FcPatternDestroy(wanted);
  return file;
}

std::filesystem::path FontconfigMatch(const char* pattern) {
  return FontconfigMatch(FcNameParse(reinterpret_cast<const FcChar8*>(pattern)));
}

bool IsTrueTypeFile(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ext == ".ttf";
}

// ---------------------------------------------------------- outline reading

// Collects FreeType's outline records into contours of a PolySet.
struct OutlineReader {
  PolySet* set;
  std::vector<int> contours;
  int current = -1;
  PolyPoint pen;

  static PolyPoint At(const FT_Vector* v) { return {v->x / kFixedOne, v->y / kFixedOne}; }

  // Ends the open contour: the closing point repeats the start and goes.
  void Close() {
    if (current < 0) return;
    const PolySet::Contour& contour = set->ContourAt(current);
    if (contour.count == 0) {
      set->RemoveLastContour();
    } else {
      contours.push_back(current);
    }
    current = -1;
  }

  static int MoveTo(const FT_Vector* to, void* user) {
    auto* self = static_cast<OutlineReader*>(user);
    self->Close();
    self->pen = At(to);
    self->current = self->set->AddContour({&self->pen, 1}, kRemainderContour);
    return self->current < 0 ? 1 : 0;
  }
  static int LineTo(const FT_Vector* to, void* user) {
    auto* self = static_cast<OutlineReader*>(user);
    self->pen = At(to);
    self->set->AddPoints(self->current, {&self->pen, 1});
    return 0;
  }
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* self = static_cast<OutlineReader*>(user);
    const PolyPoint points[3] = {self->pen, At(control), At(to)};
    self->set->FlattenQuadratic(self->current, points, kFlattenSteps);
    self->pen = points[2];
    return 0;
  }
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    // Not in TrueType fonts; flattened alike for fonts that have them.
    auto* self = static_cast<OutlineReader*>(user);
    const PolyPoint p[4] = {self->pen, At(c1), At(c2), At(to)};
    for (int i = 1; i <= kFlattenSteps; ++i) {
      const double t = static_cast<double>(i) / kFlattenSteps;
      const double u = 1 - t;
      const PolyPoint point{u * u * u * p[0].x + 3 * u * u * t * p[1].x + 3 * u * t * t * p[2].x + t * t * t * p[3].x,
                            u * u * u * p[0].y + 3 * u * u * t * p[1].y + 3 * u * t * t * p[2].y + t * t * t * p[3].y};
      self->set->AddPoints(self->current, {&point, 1});
    }
    self->pen = p[3];
    return 0;
  }
};

// Whether point p lies inside the closed outline (crossing number).
bool Inside(PolyPoint p, std::span<const PolyPoint> outline) {
  bool inside = false;
  const std::size_t n = outline.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const PolyPoint a = outline[i];
    const PolyPoint b = outline[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// Finishes a contour: the point closing it onto its start goes, the order is
// reversed (TrueType draws outer contours clockwise) and it is classified.
void FinishContour(PolySet& set, int c) {
  PolySet::Contour& contour = set.ContourAt(c);
  const std::span<const PolyPoint> points = set.Points(c);
  if (contour.count > 1 && std::fabs(points.front().x - points.back().x) < kSamePoint &&
      std::fabs(points.front().y - points.back().y) < kSamePoint) {
    --contour.count;
  }
  set.Reverse(c);
  contour.orientation = set.TestPoly(set.Points(c), "TestPoly message").direction;
}

}  // namespace

std::filesystem::path FontFileFor(const std::string& family, const std::string& style, bool bold, bool italic) {
  FcPattern* wanted = FcPatternCreate();
  if (!wanted) return {};
  // Names go in as they are: a family such as "Foo:Bar" is no pattern syntax.
  FcPatternAddString(wanted, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (!style.empty()) {
    FcPatternAddString(wanted, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
  } else {
    FcPatternAddInteger(wanted, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(wanted, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  }
  FcPatternAddString(wanted, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
  return FontconfigMatch(wanted);
}

std::filesystem::path DefaultFontFile() {
  std::filesystem::path file = FontconfigMatch("DejaVu Sans");
  if (!file.empty() && IsTrueTypeFile(file)) return file;
  return FontconfigMatch(":fontformat=TrueType");
}

struct GlyphSource::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

GlyphSource::GlyphSource() : impl_(std::make_unique<Impl>()) {}
GlyphSource::~GlyphSource() = default;

bool GlyphSource::Open(const std::filesystem::path& file, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!impl_->library && FT_Init_FreeType(&impl_->library) != 0) return fail("FreeType cannot start");
  if (impl_->face) {
    FT_Done_Face(impl_->face);
    impl_->face = nullptr;
  }
  if (FT_New_Face(impl_->library, file.c_str(), 0, &impl_->face) != 0) {
    impl_->face = nullptr;
    return fail("cannot read the font file " + file.string());
  }
  if (!FT_IS_SCALABLE(impl_->face) || FT_Set_Pixel_Sizes(impl_->face, 0, kFontHeight) != 0) {
    return fail("not an outline font: " + file.string());
  }
  return true;
}

bool GlyphSource::Shape(char32_t character, GlyphShape& shape) {
  shape = GlyphShape{};
  FT_Face face = impl_->face;
  if (!face) return false;
  if (FT_Load_Char(face, character, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  shape.advance = face->glyph->advance.x / kFixedOne;
  if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return true;

  OutlineReader reader{&shape.outline, {}, -1, {}};
  FT_Outline_Funcs funcs{};
  funcs.move_to = &OutlineReader::MoveTo;
  funcs.line_to = &OutlineReader::LineTo;
  funcs.conic_to = &OutlineReader::ConicTo;
  funcs.cubic_to = &OutlineReader::CubicTo;
  if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &reader) != 0) return false;
  reader.Close();
  for (int c : reader.contours) FinishContour(shape.outline, c);
  shape.contours = reader.contours;

  // Each hole belongs to the smallest outer contour around it.
  const int contourCount = shape.outline.ContourCount();
  for (int h : shape.contours) {
    if (shape.outline.ContourAt(h).orientation != -1) continue;
    int owner = -1;
    double ownerArea = 0;
    for (int o : shape.contours) {
      if (shape.outline.ContourAt(o).orientation != 1) continue;
      const double area = SignedArea(shape.outline.Points(o));
      if (Inside(shape.outline.Points(h)[0], shape.outline.Points(o)) && (owner < 0 || area < ownerArea)) {
        owner = o;
        ownerArea = area;
      }
    }
    if (owner >= 0) shape.outline.AttachHole(owner, h);
  }
  for (int o : shape.contours) {
    if (shape.outline.ContourAt(o).orientation == 1) shape.outline.Triangulate(o, 0, false);
  }
  for (int t = contourCount; t < shape.outline.ContourCount(); ++t) {
    const std::span<const PolyPoint> corners = shape.outline.Points(t);
    if (corners.size() == 3) shape.triangles.push_back({corners[0], corners[1], corners[2]});
  }
  return true;
}

// --------------------------------------------------------------- the objects

namespace {

Point3 Model(PolyPoint p, double depth) {
  return {static_cast<float>(p.x * kTextScale), static_cast<float>(p.y * kTextScale), static_cast<float>(depth)};
}

std::int16_t Number(std::size_t index) { return static_cast<std::int16_t>(index + 1); }

// The side band of a contour: the contour at the back and at the front, one
// four-point face per edge, facing outwards.
FacetedMesh SideBand(std::span<const PolyPoint> contour) {
  FacetedMesh band;
  band.col = kTextBandCol;
  const std::size_t k = contour.size();
  for (const PolyPoint& p : contour) band.points.push_back(Model(p, -kTextHalfDepth));
  for (const PolyPoint& p : contour) band.points.push_back(Model(p, kTextHalfDepth));
  for (std::size_t i = 0; i < k; ++i) {
    const std::size_t next = (i + 1) % k;
    band.faces.push_back({Number(i), Number(next), Number(k + next), Number(k + i)});
  }
  return band;
}

// Front or back faces: the triangles at one depth, turned to face away from
// the letter; split so that no object passes the face-number limit.
void CapMeshes(const std::vector<std::array<PolyPoint, 3>>& triangles, double depth,
               std::vector<FacetedMesh>& meshes) {
  constexpr std::size_t kPerObject = kMaxFacetedPoints / 3;
  for (std::size_t start = 0; start < triangles.size(); start += kPerObject) {
    FacetedMesh cap;
    const std::size_t end = std::min(triangles.size(), start + kPerObject);
    for (std::size_t t = start; t < end; ++t) {
      const auto& [a, b, c] = triangles[t];
      const std::size_t base = cap.points.size();
      cap.points.push_back(Model(a, depth));
      if (depth > 0) {
        cap.points.push_back(Model(b, depth));
        cap.points.push_back(Model(c, depth));
      } else {
        cap.points.push_back(Model(c, depth));
        cap.points.push_back(Model(b, depth));
      }
      cap.faces.push_back({Number(base), Number(base + 1), Number(base + 2), 0});
    }
    meshes.push_back(std::move(cap));
  }
}

// Code points of a UTF-8 text; a byte that starts no valid sequence stands
// for itself.
std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    char32_t code = byte & (0x7F >> extra);
    bool ok = i + extra < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      ok = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (extra == 0 || !ok) {
      out.push_back(byte);
      ++i;
    } else {
      out.push_back(code);
      i += 1 + extra;
    }
  }
  return out;
}

}  // namespace

int Text3D(SceneModel& scene, std::string_view text, const std::filesystem::path& font, std::string* error) {
  const std::filesystem::path file = font.empty() ? DefaultFontFile() : font;
  if (file.empty()) {
    if (error) *error = "no TrueType font found";
    return -1;
  }
  GlyphSource source;
  if (!source.Open(file, error)) return -1;

  std::vector<FacetedMesh> meshes;
  double pen = 0;
  for (char32_t character : DecodeUtf8(text)) {
    GlyphShape shape;
    if (!source.Shape(character, shape)) continue;
    const std::size_t firstMesh = meshes.size();
    for (int c : shape.contours) {
      if (shape.outline.ContourAt(c).count >= 3) meshes.push_back(SideBand(shape.outline.Points(c)));
    }
    CapMeshes(shape.triangles, kTextHalfDepth, meshes);
    CapMeshes(shape.triangles, -kTextHalfDepth, meshes);
    for (std::size_t m = firstMesh; m < meshes.size(); ++m) meshes[m].origin = {pen * kTextScale, 0, 0};
    pen += shape.advance;
  }
  if (meshes.empty()) {
    if (error) *error = "the text has no outline";
    return -1;
  }
  // Centred: every object moves back by half the total advance.
  for (FacetedMesh& mesh : meshes) mesh.origin[0] -= pen * kTextScale / 2;
  const int first = AppendFacetedObjects(scene, meshes);
  if (first < 0) {
    if (error) *error = "not enough memory";
    return -1;
  }
  for (int k = 0; k < first; ++k) scene.State(k).selection = 0;
  return first;
}

}  // namespace tessaran
