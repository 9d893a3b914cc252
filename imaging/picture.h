// What every picture reader and writer of imaging/ shares.
//
// For readers (ILBM, TGA, PCX, BMP, PPM), all called by LoadPicture:
//   int ReadXxx(const std::filesystem::path& path, int slot, int mode,
//               PictureHeader* header, const PixelSink* sink);
//   - slot, mode, header and sink are LoadPicture's own (see below);
//   - a negative mode reads the header (and palette) only: fill *header, return 1;
//   - otherwise build one PictureTarget from (path, slot, mode, sink), call
//     Create() once the size is known, OpenProgress() with the format's title
//     message, hand every line to PutIndexLine / PutRgbLine / PutBgrLine, and end
//     with Finish(). The target follows the slot rules (straight into slot 0,
//     staging in slot 2 and stretch, slots 1-49, pixel sink for negative slots),
//     merges the transparent-key flags the reader computes, and shows progress.
//   - 1 on success, 0 on failure, after a numbered message.
//
// For writers: MakeOutputName names every output file (frame numbering, 8.3
// rule, output directory); WriteProgress shows the writer's progress; files
// are written with WriteFileAtomically (platform/bytes.h). The 8-bit writers
// take their DIB as a `const VirtIm&` holding 1 (8-bit) or 0 (4-bit) bytes per
// pixel: a virtual image is already a bottom-up DIB with header and palette.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/virtim.h"

namespace tessaran {

// LoadPicture's mode: 2412 loads opaque; any other value from 0 up is the
// transparent key; a negative mode reads the header only.
constexpr int kOpaqueLoad = 2412;
constexpr int kHeaderOnly = -2;

// The staging slot a picture of another size is read into before it is
// stretched into slot 0.
constexpr int kStagingSlot = 2;

// Message numbers the loader and the writers share.
enum PictureMessage {
  kMsgOpenError = 208,          // "Erreur D'ouverture [%s]"
  kMsgStretchError = 234,       // "Erreur interne StrechCopy : virtim non initialise"
  kMsgOverlaySubtitle = 243,    // "Mixage Plan Av. [%s]"
  kMsgBackgroundSubtitle = 244, // "Plan Ar. [%s]"
  kMsgMappingSubtitle = 245,    // "Mapping [%s]"
  kMsgWriteMemory = 246,        // "Pas assez de memoire pour sauver le fichier 24 bits !"
  kMsgReadMemory = 252,         // "Pas assez de memoire pour lire le fichier 24 bits !"
};

// What a reader reports through LoadPicture's header out argument.
struct PictureHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int planes = 0;         // bits per pixel as the file stores them (1-8, 24, ...)
  int paletteSize = 0;    // palette entries read, 0 for true colour
};

// Receives every decoded pixel when LoadPicture is given a negative slot
// (texture maps): x, y (0 = top line) and the colour as 0x00RRGGBB.
using PixelSink = std::function<void(std::uint32_t x, std::uint32_t y, std::uint32_t rgb)>;

// Loads a picture file into a virtual image slot (or the sink for a negative
// slot). The extension chooses the reader. 1 on success, 0 on failure.
int LoadPicture(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                int frame, const PixelSink* sink = nullptr);

// The extension table: 20 kinds, compared without regard to case.
enum class FileKind {
  Lbm, I24, Tga, Red, Grn, Blu, Rvb, Pcx, Bmp, Anm, Ani, Fli, Flc, Tch, Shw, Rpj, Maq, Dxf,
  See, Avi
};
constexpr int kFileKinds = 20;
// ".LBM" … ".AVI" for index 0 … 19.
std::string_view FileKindExtension(int index);
// The index of the path's extension in the table; nullopt when it has none
// or one not in the table.
std::optional<FileKind> FileKindOf(const std::filesystem::path& path);

// The file name of a writer's output. frame −1: base as it stands; −2: base
// with its extension replaced; otherwise base without extension, "%04d" of the
// frame and the extension, the base cut so the file part stays an 8.3 name.
// The file part goes into the output directory when one is set.
std::filesystem::path MakeOutputName(std::string_view base, int frame, std::string_view extension);
// Sets (empty: clears) the directory output files are placed in.
void SetOutputDirectory(const std::filesystem::path& directory);
// With full names set, numbered names keep the whole base, without the 8.3
// cut (off by default).
void SetFullOutputNames(bool full);

// The file name shown in progress subtitles: no directory, at most 13 characters.
std::string ShortFileName(const std::filesystem::path& path);

// Progress of a long read or write: opens the process-wide display, advances
// it every 5 lines, closes it when destroyed.
class WriteProgress {
 public:
  WriteProgress(std::string_view caption, std::string_view subtitle);
  ~WriteProgress();
  WriteProgress(const WriteProgress&) = delete;
  WriteProgress& operator=(const WriteProgress&) = delete;
  void Line(std::uint32_t y, std::uint32_t height);
};

// Where a reader puts its lines; see the top of this header.
class PictureTarget {
 public:
  PictureTarget(const std::filesystem::path& path, int slot, int mode, const PixelSink* sink);
  ~PictureTarget();  // frees the staging slot of a load that did not finish
  PictureTarget(const PictureTarget&) = delete;
  PictureTarget& operator=(const PictureTarget&) = delete;

  bool HeaderOnly() const { return mode_ < 0; }
  // A transparent key is in force (mode 0 up, other than 2412). Readers flag
  // the pixels equal to Key() by their format's rule.
  bool Keyed() const { return mode_ >= 0 && mode_ != kOpaqueLoad; }
  std::uint32_t Key() const { return static_cast<std::uint32_t>(mode_); }
  int Mode() const { return mode_; }

  // Makes the destination for a picture of this size and depth (as VimCreate:
  // > 8 true colour, −4 4-bit, else 8-bit): slot 0 of the same size is used
  // as it is, slot 0 of another size stages through slot 2, slots 1-49 are
  // created, a negative slot feeds the sink. False when the image cannot be
  // made (the message is shown) or the size is zero.
  bool Create(std::uint32_t width, std::uint32_t height, int depth);

  // The image being filled (null for the sink) and its slot (−1 for the sink).
  VirtIm* Image();
  int Slot() const { return fillSlot_; }
  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }

  // Palette entry as 0x00RRGGBB: into the image's palette and kept for
  // palette lookups of index lines into true-colour images and the sink.
  void SetPaletteColour(int index, std::uint32_t rgb);
  std::uint32_t PaletteColour(int index) const { return palette_[index & 255]; }

  // Opens the progress display: title message `titleMessage` with the slot
  // number, subtitle 243, 244 or 245 with the file name. Advance per line.
  void OpenProgress(int titleMessage);
  void LineDone(std::uint32_t y);

  // Line y (0 = top), width pixels. `keep` (optional, one flag a pixel): the
  // pixels that leave the image's pixel as it is (transparent key).
  void PutIndexLine(std::uint32_t y, const std::uint8_t* indices, const std::uint8_t* keep = nullptr);
  void PutRgbLine(std::uint32_t y, const std::uint32_t* rgb, const std::uint8_t* keep = nullptr);
  void PutBgrLine(std::uint32_t y, const std::uint8_t* bgr, const std::uint8_t* keep = nullptr);

  // Stretches a staged picture into slot 0 (write mode 0 for an opaque load,
  // 1 otherwise), frees slot 2 and closes the progress. 1, or 0 after
  // message 234 when the stretch fails.
  int Finish();

 private:
  void StoreRgb(std::uint32_t y, const std::uint32_t* rgb, const std::uint8_t* keep);
  std::filesystem::path path_;
  int slot_;
  int mode_;
  const PixelSink* sink_;
  int fillSlot_ = -1;
  bool staged_ = false;
  bool progressOpen_ = false;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::vector<std::uint32_t> palette_ = std::vector<std::uint32_t>(256, 0);
  std::vector<std::uint32_t> rgbLine_;
};

}  // namespace tessaran
