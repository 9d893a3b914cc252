// The scene-building operations of `qmx --batch`: each appends to the scene
// or changes the selection as the modeler's menu commands and dialogs
// ("Primitives", "3D Font", the 2D phase's "Straight" and "Pivot", DXF
// import, "ATTRIBUTS", "LAMPE", "COULEUR", "TYPMAP", "DEPLACEMENT",
// "ROTATION") would. Operations that make objects leave exactly those
// objects selected, so that the selection operations after them act on what
// was just made.
//
// Each returns true when done; false with a reason in `error` (the numbered
// message, if the rule has one, has been shown), the scene then being as it
// was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "modeler/geometry/profile_file.h"
#include "scene/scene_model.h"

namespace tessaran {

// Why an operation was refused. `badUsage`: for what the command line asked
// and cannot be — a value out of its range or beyond what the scene file
// holds, an operation without its object — rather than a failure.
struct BuildError {
  std::string text;
  bool badUsage = false;
};
std::ostream& operator<<(std::ostream& out, const BuildError& error);

// --import / --insert of a DXF file, scaled to the scene's view.
bool BuildImportDxf(SceneModel& scene, const std::filesystem::path& file, BuildError& error);

// --primitive plan|box|disc|cylinder|sphere|ring U V [TOP%]; top < 0 takes
// the dialog's default (100, or a tube of 30 for the ring).
bool BuildPrimitive(SceneModel& scene, std::string_view kind, int u, int v, int top, BuildError& error);

// --profile F.TXT: the 2D profile for the sweeps that follow.
bool BuildLoadProfile(const std::filesystem::path& file, Profile2D& profile, BuildError& error);
// --extrude DEPTH STEPS and --pivot AXIS_X ANGLE STEPS of the profile.
bool BuildExtrude(SceneModel& scene, const Profile2D& profile, double depth, int steps, BuildError& error);
bool BuildPivot(SceneModel& scene, const Profile2D& profile, int axisX, double angle, int steps,
                BuildError& error);

// --text STRING [--font F.ttf]; an empty font takes the default font.
bool BuildText(SceneModel& scene, std::string_view text, const std::filesystem::path& font, BuildError& error);

// --select all|none|N|N-M (objects numbered from 0).
bool BuildSelect(SceneModel& scene, std::string_view which, BuildError& error);

// On the selection: --duplicate (the copies, moved by 10 along X and Y,
// become the selection) and --delete.
bool BuildDuplicate(SceneModel& scene, BuildError& error);
bool BuildDelete(SceneModel& scene, BuildError& error);

// On the selection: --move X Y Z, --rotate AX AY AZ (degrees, about the
// world axes X, then Y, then Z, each object about its own origin),
// --size SX SY SZ (per cent, about the object's origin).
bool BuildMove(SceneModel& scene, double x, double y, double z, BuildError& error);
bool BuildRotate(SceneModel& scene, double ax, double ay, double az, BuildError& error);
bool BuildSize(SceneModel& scene, double sx, double sy, double sz, BuildError& error);

// --colour R G B (0–15 each); --material REFL TRANS REFR KSPEC NSPEC (per
// cent, 0–100); --rendering angular|phong|spline (spline is refused for
// faceted objects with message 38).
bool BuildColour(SceneModel& scene, int r, int g, int b, BuildError& error);
bool BuildMaterial(SceneModel& scene, int reflection, int transmission, int refraction, int kspec, int nspec,
                   BuildError& error);
bool BuildRendering(SceneModel& scene, std::string_view mode, BuildError& error);

// The three map slots of an object (colour, bump, opacity), and the map
// types the renderer knows.
enum class ObjectMap { Colour = 0, Bump = 1, Opacity = 2 };
constexpr std::int32_t kSphericalMap = 1;
constexpr std::int32_t kParametricMap = 2;

// A map of `type` in that slot of every selected object; an empty `image`
// takes the slot's map off them. Names are kept to what the scene file
// holds (99 characters).
bool BuildMapSlot(SceneModel& scene, ObjectMap slot, std::int32_t type, const std::string& image, int repeatX,
                  int repeatY, BuildError& error);
// --map colour|bump|opacity F REPX REPY: a parametric map in that slot of
// every selected object.
bool BuildMap(SceneModel& scene, std::string_view slot, const std::string& image, int repeatX, int repeatY,
              BuildError& error);

// --lamp X Y Z [INTENSITY [APERTURE [R G B [SHADOWS]]]]: a new lamp at
// (X, Y, Z) aimed at the target; intensity in per cent (default 50),
// aperture in degrees (0: all round), colour 0–15 each (default white),
// shadows 1 (default) or 0 for a lamp that casts none.
struct LampSettings {
  Vec3 position{};
  int intensity = 50;
  int aperture = 0;
  int red = 15;
  int green = 15;
  int blue = 15;
  bool shadows = true;
  bool operator==(const LampSettings&) const = default;
};
bool BuildLamp(SceneModel& scene, const LampSettings& lamp, BuildError& error);

// --camera TH PH ZOOM PERS [CX CY CZ]; `target` null keeps the target.
bool BuildCamera(SceneModel& scene, double th, double ph, double zoom, int pers, const Vec3* target,
                 BuildError& error);

// ---- the command line of these operations

// One option with its words, e.g. {"--primitive", {"sphere", "8", "6"}}.
struct BuildOperation {
  std::string option;
  std::vector<std::string> words;
};

// What the operations of one run share: the profile of the last --profile
// and the font of the last --font.
struct BuildState {
  Profile2D profile;
  std::filesystem::path font;
};

// Whether `option` is one of the operations above (--import, --primitive,
// --profile, --extrude, --pivot, --path-extrude, --text, --font, --select, --move, --rotate,
// --size, --duplicate, --delete, --colour, --material, --rendering, --map,
// --lamp, --delete-lamp, --camera).
bool IsBuildOption(std::string_view option);
// Takes args[i] and its words (optional ones while they are not options),
// leaving i on the last word taken; --text takes a --font that follows it.
// False with a usage message for missing or malformed words.
bool ParseBuildOperation(const std::vector<std::string>& args, std::size_t& i, BuildOperation& op,
                         BuildError& error);
// Runs a parsed operation; an --insert of a ".DXF" file is run as --import.
bool RunBuildOperation(SceneModel& scene, BuildState& state, const BuildOperation& op, BuildError& error);
// The lines `qmx --help` shows for them.
std::string BuildOptionsHelp();

}  // namespace tessaran
