// The renderer without windows: `rz --batch [FILE] [options]` attaches FILE
// (a project, a scene, or none: the last or the default project), overrides
// the project for this run and renders it, answering the renderer's
// questions as batch mode does.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "renderer/app/render_project.h"

namespace tessaran {

// Exit statuses of `rz --batch`.
inline constexpr int kRzDone = 0;
inline constexpr int kRzFailed = 1;     // the message is on stderr
inline constexpr int kRzBadUsage = 2;
inline constexpr int kRzStopped = 9;    // SIGINT or SIGTERM: the user's stop

struct RendererBatchOptions {
  bool help = false;
  std::string file;                 // empty: the last or the default project
  std::string outDirectory;         // --out
  std::optional<int> width, height; // --size WxH
  std::optional<int> mode;          // --mode
  std::optional<int> antialias;     // --aa 0..3
  std::optional<int> format24, format8, animFormat;
  std::optional<int> first, last;   // image numbers to compute
  int threads = 0;                  // 0: every core
  bool estimate = false;
  bool noResume = false;
  bool fullNames = false;           // --full-names
};

// The options `rz --help` lists.
std::string RendererBatchHelp();

// Parses the arguments after the program name; false with the reason on
// bad usage.
bool ParseRendererBatch(const std::vector<std::string>& args, RendererBatchOptions& options, std::string& error);

// The options' overrides of a project, for this run only.
void ApplyOverrides(const RendererBatchOptions& options, RenderProject& copy);

// The whole batch run; returns the exit status.
int RunRendererBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tessaran
