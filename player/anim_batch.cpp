#include "player/anim_batch.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <system_error>

#include "imaging/anim.h"
#include "imaging/anm.h"
#include "imaging/avi.h"
#include "imaging/palette.h"
#include "imaging/picture.h"
#include "player/frame_source.h"
#include "player/picture_output.h"
#include "storage/virtim.h"

namespace tessaran::player {
namespace {

// The frame as played or loaded goes into the player's picture slot.
constexpr int kFrameSlot = kPictureSlot;

// What is wrong with a frame-name pattern, empty when nothing: it holds
// exactly one printf %d (flags and width allowed) and a writable extension.
std::string PatternProblem(const std::string& pattern) {
  const std::size_t at = pattern.find('%');
  if (at == std::string::npos) return "holds no %d for the frame number (such as FRAME%04d.BMP)";
  const std::size_t end = pattern.find_first_not_of("0123456789", at + 1);
  if (end == std::string::npos || pattern[end] != 'd') return "holds a % that is not a %d";
  if (pattern.find('%', end) != std::string::npos) return "holds more than one %: give one %d";
  const std::string extension = Upper(std::filesystem::path(pattern).extension().string());
  if (!IsWritableExtension(extension)) {
    return "ends in " + (extension.empty() ? std::string("no extension") : extension) +
           ", not a picture extension: " + kWritableExtensions;
  }
  return {};
}

bool SamePalette(const VirtIm& a, const VirtIm& b) { return a.palette == b.palette; }

// The picture name of frame `f` by a pattern PatternProblem accepts.
std::string FrameName(const std::string& pattern, int f) {
  char name[4096];
  std::snprintf(name, sizeof name, pattern.c_str(), f);
  return name;
}

}  // namespace

bool IsAnimationFile(const std::filesystem::path& file) {
  std::string extension = Upper(file.extension().string());
  return extension == ".ANM" || extension == ".AVI" || IsIffAnim(file);
}

ExitStatus AnimFrames(const std::filesystem::path& file, const std::string& pattern, std::ostream& err,
                      bool force) {
  if (const std::string problem = PatternProblem(pattern); !problem.empty()) {
    err << "tovix: --frames: the PATTERN " << pattern << " " << problem << "\n";
    return kBadUsage;
  }
  const std::string extension = Upper(std::filesystem::path(pattern).extension().string());
  WorkSlots slots;
  AnimFrameSource source;
  if (!source.Open(file, err)) return kFailure;
  std::vector<std::filesystem::path> names;
  for (int f = 1; f <= source.count; ++f) {
    for (auto& name : PictureFiles(FrameName(pattern, f), -1, extension)) names.push_back(std::move(name));
  }
  if (!MayReplace(names, force, err)) return kFailure;
  for (int f = 1; f <= source.count; ++f) {
    const std::string name = FrameName(pattern, f);
    if (!source.Next()) {
      err << "tovix: frame " << f << " of " << file.string() << " could not be read: the file is damaged\n";
      return kFailure;
    }
    if (!WritePictureAs(kFrameSlot, name, -1, extension)) {
      err << "tovix: frame " << f << " of " << file.string() << " could not be written to " << name << "\n";
      return kFailure;
    }
  }
  return source.ReportCutShort(err) ? kFailure : kSuccess;
}

ExitStatus AnimCreate(const std::filesystem::path& out, const std::vector<std::filesystem::path>& pictures,
                      std::ostream& err, const FrameHook& hook) {
  std::string extension = Upper(out.extension().string());
  if ((extension != ".ANM" && extension != ".AVI") || pictures.empty()) {
    err << "tovix: --create needs OUT.ANM or OUT.AVI and at least one picture\n";
    return kBadUsage;
  }
  WorkSlots slots;
  auto load = [&](const std::filesystem::path& picture) { return LoadPictureSlot(picture, err); };
  // Palette pictures of the first one's size and palette go in as they are.
  bool asTheyAre = true;
  VirtIm first;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    if (!load(pictures[i])) return kFailure;
    const VirtIm& image = VimSlot(kFrameSlot);
    if (i == 0) first = image;
    asTheyAre = asTheyAre && image.bytesPerPixel == 1 && image.width == first.width &&
                image.height == first.height && SamePalette(image, first);
  }
  const int width = int(first.width), height = int(first.height);
  const bool anm = extension == ".ANM";
  const bool indexed = anm || first.bytesPerPixel == 1;
  AnmWriter anmWriter;
  AviWriter aviWriter;
  ColourReduction shared;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    if (!load(pictures[i])) return kFailure;
    if (hook && !hook(int(i) + 1, int(pictures.size()))) return kStopped;
    int frame = kFrameSlot;
    if (!asTheyAre) {
      if (!TrueColourCopy(kFrameSlot, width, height)) return kFailure;
      frame = kTrueColourSlot;
      if (indexed) {
        // One palette for the whole animation: the first frame's.
        if (VimCreate(kIndexedSlot, width, height, 8) != 1 ||
            ImageTo8Bit(shared, kTrueColourSlot, VimSlot(kIndexedSlot), i > 0) != 1)
          return kFailure;
        frame = kIndexedSlot;
      }
    }
    const VirtIm& image = VimSlot(frame);
    bool added = false;
    if (anm) {
      if (i == 0 && !AnmOpen(anmWriter, out, image)) break;
      added = AnmAddFrame(anmWriter, image.pixels.data()) == 1;
    } else {
      if (i == 0 && !AviCreate(aviWriter, out, int(pictures.size()), image)) break;
      added = AviAddFrame(aviWriter, image.pixels.data()) == 1;
    }
    if (!added) {
      err << "tovix: " << pictures[i].string() << " could not be added to " << out.string() << "\n";
      return kFailure;
    }
  }
  if ((anm ? AnmClose(anmWriter) : AviClose(aviWriter)) != 1) {
    err << "tovix: could not write " << out.string() << "\n";
    return kFailure;
  }
  return kSuccess;
}

ExitStatus AnimCut(const std::filesystem::path& file, const std::string& format, std::ostream& err,
                   bool force, const FrameHook& hook) {
  std::string f = Upper(format);
  static const std::vector<std::string> kTrueColour = {"TGA", "TGA10", "I24", "RGB", "PCX", "BMP"};
  static const std::vector<std::string> kPalette = {"LBM", "PCX", "BMP"};
  WorkSlots slots;
  AnimFrameSource source;
  if (!source.Open(file, err)) return kFailure;
  const auto& allowed = source.bits == 24 ? kTrueColour : kPalette;
  if (std::find(allowed.begin(), allowed.end(), f) == allowed.end()) {
    err << "tovix: --cut of " << (source.bits == 24 ? "true-colour" : "palette")
        << " frames takes " << (source.bits == 24 ? "TGA, TGA10, I24, RGB, PCX or BMP" : "LBM, PCX or BMP")
        << ", not " << format << "\n";
    return kBadUsage;
  }
  std::string extension = "." + (f == "TGA10" ? std::string("TGA") : f);
  std::filesystem::path base = file;
  base.replace_extension();
  std::vector<std::filesystem::path> names;
  for (int n = 1; n <= source.count; ++n) {
    for (auto& name : PictureFiles(base.string(), n, extension)) names.push_back(std::move(name));
  }
  if (!MayReplace(names, force, err)) return kFailure;
  for (int n = 1; n <= source.count; ++n) {
    if (!source.Next() || !WritePictureAs(kFrameSlot, base.string(), n, extension, 0, f == "TGA10")) {
      err << "tovix: frame " << n << " of " << file.string() << " could not be written\n";
      return kFailure;
    }
    if (hook && !hook(n, source.count)) return kStopped;
  }
  // The frames the file holds are out; the ones it lacks are said.
  if (source.ReportCutShort(err)) return kFailure;
  return kSuccess;
}

ExitStatus AnimFlip(const std::filesystem::path& file, std::ostream& err, const FrameHook& hook) {
  if (Upper(file.extension().string()) != ".ANM") {
    err << "tovix: --flip takes an .ANM file\n";
    return kBadUsage;
  }
  WorkSlots slots;
  AnimFrameSource source;
  if (!source.Open(file, err)) return kFailure;
  // Rewritten, a file cut short would pass for a whole one.
  if (source.ReportCutShort(err)) return kFailure;
  std::filesystem::path flipped = file;
  flipped.replace_extension(".FLP");
  {
    AnmWriter anm;
    for (int n = 0; n < source.count; ++n) {
      if (!source.Next() || (n == 0 && !AnmOpen(anm, flipped, VimSlot(kFrameSlot))) ||
          !AnmAddFrame(anm, VimSlot(kFrameSlot).pixels.data())) {
        err << "tovix: frame " << n + 1 << " of " << file.string() << " could not be rewritten\n";
        return kFailure;
      }
      // Stopped, the unfinished ".FLP" goes and the file stays as it was.
      if (hook && !hook(n + 1, source.count)) return kStopped;
    }
    if (source.count == 0 || !AnmClose(anm)) {
      err << "tovix: could not write " << flipped.string() << "\n";
      return kFailure;
    }
  }
  // The new file takes the old one's name in one step.
  std::error_code error;
  std::filesystem::rename(flipped, file, error);
  if (error) {
    err << "tovix: could not replace " << file.string() << ": " << error.message() << "\n";
    std::filesystem::remove(flipped, error);
    return kFailure;
  }
  return kSuccess;
}

ExitStatus AnimInfo(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
  WorkSlots slots;
  AnimFrameSource source;
  if (!source.Open(file, err)) return kFailure;
  source.ReportCutShort(err);
  out << "{\"kind\":\"" << source.kind << "\",\"width\":" << source.width << ",\"height\":" << source.height
      << ",\"depth\":" << source.bits << ",\"frames\":" << source.count << "}\n";
  return kSuccess;
}

}  // namespace tessaran::player
