// The player's batch operations on animations: frames to pictures, building
// an animation from pictures ("&Create ANIM"), cutting one into numbered
// pictures ("C&ut ANIM"), rewriting an ".ANM" ("F&lip ANIM") and describing
// one. Callable from the windows and the tests as well as `tovix --batch`.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "player/batch.h"

namespace tessaran::player {

// Told after each frame or picture an operation has put in the player's
// picture slot (`done` of `total`, from 1): the windows show it there and
// keep their events flowing. Returning false stops the operation, which
// then ends with kStopped; what it had not finished writing is not left in
// place of a file (pictures already cut stay).
using FrameHook = std::function<bool(int done, int total)>;

// Whether the file is an animation: ".ANM", ".AVI", or an IFF ANIM of any name.
bool IsAnimationFile(const std::filesystem::path& file);

// Every frame of an ".ANM", ".AVI" or IFF ANIM file as a picture named by
// `pattern` (one printf %d, frames numbered from 1) in the format of its
// extension (.LBM .I24 .TGA .PCX .BMP .RGB .PPM). A picture of those names
// that exists already is replaced only with `force` (else nothing is written).
ExitStatus AnimFrames(const std::filesystem::path& file, const std::string& pattern, std::ostream& err,
                      bool force = false);

// Builds `out` (.ANM or .AVI) from the pictures in order; the first fixes
// the frame size. Palette pictures sharing the first one's palette are
// stored as they are; otherwise every frame is reduced to one palette, that
// of the first frame, for an ".ANM" (and for an ".AVI" of palette pictures).
ExitStatus AnimCreate(const std::filesystem::path& out, const std::vector<std::filesystem::path>& pictures,
                      std::ostream& err, const FrameHook& hook = {});

// Plays the animation once and writes every frame as a numbered picture
// named after it (frames from 1): FORMAT TGA, TGA10, I24, RGB, PCX or BMP for
// true-colour frames, LBM, PCX or BMP for palette frames. A picture of those
// names that exists already is replaced only with `force` (else nothing is
// written): the renderer's images of the same name are numbered from 0.
ExitStatus AnimCut(const std::filesystem::path& file, const std::string& format, std::ostream& err,
                   bool force = false, const FrameHook& hook = {});

// Plays an ".ANM" once, writing every frame into a new animation named like
// it with ".FLP", which then takes the file's name.
ExitStatus AnimFlip(const std::filesystem::path& file, std::ostream& err, const FrameHook& hook = {});

// {"kind":"ANM"|"AVI"|"ANIM","width":W,"height":H,"depth":D,"frames":N}
ExitStatus AnimInfo(const std::filesystem::path& file, std::ostream& out, std::ostream& err);

}  // namespace tessaran::player
