// The output settings of a render project: the resolution presets, the
// file format lists, the rules that enable formats by display depth, and
// the image-count arithmetic of the animation dialog. All of it works on a
// working copy of the project.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "renderer/app/render_project.h"

namespace tessaran {

// Renderer messages of the output settings.
constexpr int kMsgNoTrueColourBelowPixel = 95;  // 24-bit output needs pixel mode on this display
constexpr int kMsgTgaCompressed = 106;          // "TGA compressé [type 10]"

// Batch mode behaves as a display of this depth.
constexpr int kBatchDisplayDepth = 24;

struct ResolutionPreset {
  int width;
  int height;
  int ratio;  // per cent
  std::string label;
};

constexpr int kPresetCount = 9;
constexpr int kCustomPreset = kPresetCount - 1;

// The preset table of the resolution dialog; the last entry ("CUSTOM")
// follows what the user types. The selected index lives as long as the
// program.
class ResolutionPresets {
 public:
  ResolutionPresets();
  const ResolutionPreset& Preset(int index) const { return presets_[index]; }
  // "%d * %d ratio %d%% (%s)"
  std::string Line(int index) const;
  int Selected() const { return selected_; }

  // Copies a preset's values into the project's width, height and ratio.
  void Choose(int index, RenderProject& copy);
  // A typed value goes to the custom entry, which becomes the selection.
  void TypeWidth(int width);
  void TypeHeight(int height);
  void TypeRatio(int ratio);

 private:
  std::array<ResolutionPreset, kPresetCount> presets_;
  int selected_ = 0;
};

// The format lists, by the index the project stores.
struct OutputFormat {
  std::string_view text;       // as the list shows it
  std::string_view keyword;    // rz --batch's name for it
  std::string_view extension;  // of the files written
};
constexpr int kFormat24Count = 6;
constexpr int kFormat8Count = 3;
constexpr int kAnimFormatCount = 2;
const OutputFormat& Format24(int index);   // TGA, TGA10, I24, RGB, PCX24, BMP24
const OutputFormat& Format8(int index);    // LBM, PCX, BMP
const OutputFormat& AnimFormat(int index); // ANM, AVI
// The index of a batch keyword (without regard to case); -1 when unknown.
int Format24Index(std::string_view keyword);
int Format8Index(std::string_view keyword);
int AnimFormatIndex(std::string_view keyword);
// The 24-bit list's text; entry 1 comes from the message library.
std::string Format24Text(int index);

// The animation file of a project: the scene path with the extension of
// its animation format (".ANM", or ".AVI" for AVI output).
std::filesystem::path AnimationName(const RenderProject& project);

// What the format dialog enables on a display of `depth` bits per pixel.
struct FormatChoices {
  bool screenImages = true;   // "Images écran :"
  bool trueColour = true;     // "Images 24 bits :"
};
// Opening the format dialog: disables what the display cannot use and
// clears the matching output bits.
FormatChoices OpenFormatDialog(RenderProject& copy, int depth);
// Closing it: "write images" follows whether an image kind is left.
void CloseFormatDialog(RenderProject& copy);

// Choosing a render mode. Wireframe and polygon give no 24-bit images on a
// display of 8 bits or fewer: bit 7 is cleared and message 95 is due (true
// is returned; the caller shows it with 2^depth colours).
bool ChooseRenderMode(RenderProject& copy, int mode, int depth);

// Intervals between keyframe scenes: scene count − 1, or scene count with
// "&Boucle" (the return from the last scene to the first).
int IntervalCount(const RenderProject& project);
// The images a render of the project makes (FramesOfFile): 1 + the image
// counts of those intervals, without the repeated first scene at the end of
// a loop; 1 when there are no intervals.
long TotalImages(const RenderProject& project);
// Sets the scene count; new entries of the count array take defaultCount.
void SetSceneCount(RenderProject& project, int sceneCount, int defaultCount);

}  // namespace tessaran
