// 3D lettering: glyph outlines of a TrueType font (read with FreeType),
// flattened and triangulated, become faceted objects: a side band per
// contour and the letter's front and back faces.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "modeler/geometry/polygon.h"
#include "scene/scene_model.h"

namespace tessaran {

// The font used when none was chosen: "DejaVu Sans" as fontconfig finds it,
// else the first TrueType font fontconfig knows. Empty when there is none.
std::filesystem::path DefaultFontFile();

// The file of the installed font fontconfig matches best with that family
// and style name; without a style, with the weight and slant of `bold` and
// `italic`. Empty when fontconfig finds none.
std::filesystem::path FontFileFor(const std::string& family, const std::string& style, bool bold = false,
                                  bool italic = false);

// One character made ready for the scene: its contours (reversed and
// classified: orientation +1 outer, -1 hole), its triangles, and the pen
// advance, in font units of a font 800 units high.
struct GlyphShape {
  PolySet outline;
  std::vector<int> contours;  // the outline's contour numbers
  std::vector<std::array<PolyPoint, 3>> triangles;
  double advance = 0;
};

class GlyphSource {
 public:
  GlyphSource();
  ~GlyphSource();
  GlyphSource(const GlyphSource&) = delete;
  GlyphSource& operator=(const GlyphSource&) = delete;

  // Opens a TrueType font file at height 800; false with a reason.
  bool Open(const std::filesystem::path& file, std::string* error = nullptr);
  // Reads and triangulates one character (a Unicode code point). A
  // character without outline (a space) gives no contour, only its advance.
  bool Shape(char32_t character, GlyphShape& shape);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Model units per font unit: a letter's em (800 font units) spans 100 units,
// the size of every new primitive.
constexpr double kTextScale = 100.0 / 800.0;
// Half the depth of a letter: front face at +10, back face at -10.
constexpr double kTextHalfDepth = 10.0;

// Builds the UTF-8 text with the font file (empty: DefaultFontFile()):
// appends its objects, centred on the origin, as the selection. Returns the
// number of the first new object, or -1 (error says why; message 31 when
// the scene could not grow). A text without any outline adds nothing.
int Text3D(SceneModel& scene, std::string_view text, const std::filesystem::path& font,
           std::string* error = nullptr);

}  // namespace tessaran
