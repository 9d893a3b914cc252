#include "modeler/app/link_batch.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <ostream>

#include "link/batch_send.h"
#include "link/material_block.h"
#include "modeler/app/batch.h"

namespace tessaran {
namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty() && value >= low && value <= high;
}

bool Has(const std::vector<std::string>& args, const char* option) {
  return std::find(args.begin(), args.end(), option) != args.end();
}

int Send(const std::function<link::SendResult(link::ProgramClient&)>& send, std::ostream& err) {
  link::ProgramClient client = link::ProgramClient::Modeler();
  return link::SendFromBatch(client, "qmx", "renderer", send, err);
}

int Render(const std::string& scene, std::ostream& err) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(scene, error);
  if (!std::filesystem::is_regular_file(path, error)) {
    err << "qmx: --render: " << scene << " is not a scene file\n";
    return kBatchFailed;
  }
  // The renderer reads its argument as one blank-free word.
  if (path.string().find_first_of(" \t\n") != std::string::npos) {
    err << "qmx: --render: the renderer would cut " << path.string()
        << " at its first blank; give a path without blanks\n";
    return kBatchBadUsage;
  }
  return Send([&](link::ProgramClient& c) { return c.Execute(link::kRendererSlot, "RENDER", path.string()); },
              err);
}

// REFL TRANS REFR KSPEC NSPEC (per cent) R G B (0-15) [MAP.LBM].
int PreviewMaterial(const std::vector<std::string>& values, std::ostream& err) {
  int v[8];
  for (int i = 0; i < 8; ++i) {
    const bool colour = i >= 5;
    if (!ParseInt(values[static_cast<std::size_t>(i)], 0, colour ? 15 : 100, v[i])) {
      err << "qmx: --preview-material: " << values[static_cast<std::size_t>(i)]
          << (colour ? " is not a colour level, 0 to 15\n" : " is not a percentage, 0 to 100\n");
      return kBatchBadUsage;
    }
  }
  const std::string map = values.size() > 8 ? values[8] : std::string();
  if (map.size() >= link::kMapNameSize) {
    err << "qmx: --preview-material: the map name is longer than " << link::kMapNameSize - 1 << " characters\n";
    return kBatchBadUsage;
  }
  const link::MaterialBlock block =
      link::MakeMaterialBlock(link::ColourWord(v[5], v[6], v[7]), v[0], v[1], v[2], v[3], v[4], map);
  const std::vector<std::uint8_t> data = link::EncodeMaterialBlock(block);
  // A renderer started for the preview opens the preview project.
  return Send([&](link::ProgramClient& c) { return c.Poke(link::kRendererSlot, link::kMaterialItem, data, {"Q1VOIR.SEE"}); },
              err);
}

}  // namespace

bool IsModelerLinkBatch(const std::vector<std::string>& args) {
  return Has(args, "--render") || Has(args, "--preview-material");
}

std::string ModelerLinkHelp() {
  return "Requests to the renderer (started from the program directory when none runs):\n"
         "  --render F.MAQ        the renderer attaches F to its project (\"RENDER\")\n"
         "  --preview-material REFL TRANS REFR KSPEC NSPEC R G B [MAP.LBM]\n"
         "                        the renderer previews that material on its sphere\n"
         "                        (percentages 0-100, colour levels 0-15, a colour map)\n"
         "  exit 0 when the renderer accepted, 1 when it refused, stayed busy or could\n"
         "  not be started (the message is on stderr)\n";
}

int RunModelerLinkBatch(const std::vector<std::string>& args, std::ostream& err) {
  std::vector<std::string> rest;
  for (const std::string& a : args)
    if (a != "--batch") rest.push_back(a);
  if (rest.size() == 2 && rest[0] == "--render") return Render(rest[1], err);
  if ((rest.size() == 9 || rest.size() == 10) && rest[0] == "--preview-material") {
    return PreviewMaterial({rest.begin() + 1, rest.end()}, err);
  }
  err << "qmx: --render F.MAQ or --preview-material REFL TRANS REFR KSPEC NSPEC R G B [MAP.LBM], alone\n\n"
      << ModelerLinkHelp();
  return kBatchBadUsage;
}

}  // namespace tessaran
