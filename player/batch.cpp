#include "player/batch.h"

#include <algorithm>
#include <ostream>

#include "imaging/picture.h"
#include "messages/message_library.h"
#include "player/anim_batch.h"
#include "player/picture_output.h"
#include "platform/sysinfo.h"
#include "storage/virtim.h"

namespace tessaran::player {
namespace {

// What the reader of the file's format is called, from its first bytes.
std::string KindOf(const std::filesystem::path& file) {
  if (auto kind = FileKindOf(file)) {
    switch (*kind) {
      case FileKind::Tga: return "TGA";
      case FileKind::Pcx: return "PCX";
      case FileKind::Bmp: return "BMP";
      default: break;
    }
  }
  Bytes start = ReadFileStart(file, 12);
  start.resize(12);
  const char* head = reinterpret_cast<const char*>(start.data());
  if (head[0] == 'P' && head[1] == '6') return "PPM";
  std::string type(head + 8, 4);
  if (type == "PBM ") return "PBM";
  if (type == "ANIM") return "ANIM";
  return "ILBM";
}

}  // namespace

ExitStatus ConvertPicture(const std::filesystem::path& in, const std::filesystem::path& out,
                          int depth, std::ostream& err) {
  const std::string extension = Upper(out.extension().string());
  if (!IsWritableExtension(extension)) {
    err << "tovix: cannot write " << out.string() << ": the output extension must be "
        << kWritableExtensions << "\n";
    return kBadUsage;
  }
  if (depth != 0 && extension != ".PCX" && extension != ".BMP") {
    err << "tovix: --depth applies to .PCX and .BMP output only\n";
    return kBadUsage;
  }
  WorkSlots slots;
  if (!LoadPictureSlot(in, err)) return kFailure;
  // A true-colour source written 8-bit goes through the colour reduction.
  if (!WritePictureAs(kPictureSlot, out.string(), -1, extension, depth)) {
    err << "tovix: could not write " << out.string() << "\n";
    return kFailure;
  }
  return kSuccess;
}

ExitStatus PictureInfo(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
  if (auto kind = FileKindOf(file); kind && *kind != FileKind::Lbm && *kind != FileKind::I24 &&
                                    *kind != FileKind::Tga && *kind != FileKind::Pcx &&
                                    *kind != FileKind::Bmp) {
    err << "tovix: " << file.string() << " is not a picture file\n";
    return kFailure;
  }
  WorkSlots slots;
  if (!LoadPictureSlot(file, err)) return kFailure;
  const VirtIm& image = VimSlot(kPictureSlot);
  out << "{\"kind\":\"" << KindOf(file) << "\",\"width\":" << image.width
      << ",\"height\":" << image.height << ",\"depth\":" << image.BitCount()
      << ",\"frames\":1}\n";
  return kSuccess;
}

std::string HelpText() {
  return "Usage: tovix --batch OPERATION\n"
         "\n"
         "Without a display (DISPLAY and WAYLAND_DISPLAY unset) --batch may be left out.\n"
         "\n"
         "Operations:\n"
         "  --convert IN OUT   convert any readable picture (.LBM .I24 .TGA .PCX .BMP,\n"
         "                     binary .PPM, IFF of any name) to the format of OUT's\n"
         "                     extension: .LBM .I24 .TGA .PCX .BMP .RGB .PPM; a 24-bit\n"
         "                     picture written 8-bit is reduced to 256 colours\n"
         "  --depth 8|24       with --convert to .PCX or .BMP: the writer's depth\n"
         "                     (default: the source's; .LBM is always 8-bit)\n"
         "  --frames ANIM PATTERN\n"
         "                     every frame of an .ANM, .AVI or IFF ANIM file as a picture\n"
         "                     named by PATTERN, which holds one printf %d (frames from 1)\n"
         "                     and the extension of a --convert output\n"
         "  --create OUT.ANM|OUT.AVI IMG...\n"
         "                     build an animation from pictures, in order; the first\n"
         "                     fixes the frame size\n"
         "  --cut FILE FORMAT  every frame of an animation as a numbered picture named\n"
         "                     after it; FORMAT TGA, TGA10, I24, RGB, PCX or BMP for\n"
         "                     24-bit frames, LBM, PCX or BMP for palette frames\n"
         "  --force            with --frames or --cut: replace pictures of the names to\n"
         "                     write that exist already (without it nothing is written\n"
         "                     and the first such file is named)\n"
         "  --flip F.ANM       rewrite an .ANM in place, frame by frame\n"
         "  --info FILE        print {\"kind\",\"width\",\"height\",\"depth\",\"frames\"} as JSON\n"
         "                     for a picture or an animation (frames counted)\n"
         "  --help             this text\n"
         "\n"
         "Exit status: 0 success, 1 failure (message on stderr), 2 bad usage.\n";
}

ExitStatus RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                          std::ostream& err) {
  if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
    out << HelpText();
    return kSuccess;
  }
  auto usage = [&err](const std::string& reason) {
    err << "tovix: " << reason << "\n" << "Try 'tovix --help'.\n";
    return kBadUsage;
  };
  // The operation chosen and its operands.
  std::string operation;
  std::vector<std::string> operands;
  bool batch = false;
  bool force = false;
  int depth = 0;
  struct Operation {
    const char* name;
    std::size_t operands;  // at least; --create takes all that follow
    const char* needs;
  };
  static const Operation kOperations[] = {
      {"--convert", 2, "IN and OUT"},        {"--info", 1, "FILE"},
      {"--frames", 2, "ANIM and PATTERN"},   {"--create", 2, "OUT.ANM|OUT.AVI and pictures"},
      {"--cut", 2, "FILE and FORMAT"},       {"--flip", 1, "F.ANM"}};
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    std::size_t left = arguments.size() - i - 1;
    const Operation* op = nullptr;
    for (const Operation& o : kOperations)
      if (a == o.name) op = &o;
    if (a == "--batch") {
      batch = true;
    } else if (a == "--force") {
      force = true;
    } else if (op) {
      if (!operation.empty()) return usage("give one operation, not " + operation + " and " + a);
      std::size_t count = op->operands;
      if (a == "--create")
        while (count < left && arguments[i + 1 + count].rfind("--", 0) != 0) ++count;
      if (left < count) return usage(a + " needs " + op->needs);
      operation = a;
      operands.assign(arguments.begin() + std::ptrdiff_t(i + 1), arguments.begin() + std::ptrdiff_t(i + 1 + count));
      i += count;
    } else if (a == "--depth") {
      if (left < 1) return usage("--depth needs 8 or 24");
      const std::string& v = arguments[++i];
      if (v != "8" && v != "24") return usage("--depth must be 8 or 24, not '" + v + "'");
      depth = v == "8" ? 8 : 24;
    } else {
      return usage("unknown option '" + a + "'");
    }
  }
  // On a display the operations run only when asked for: without --batch
  // the player opens its window.
  if (!batch && DisplayAvailable()) return usage("the operations run in batch mode: give --batch");
  if (operation.empty())
    return usage("give one operation: --convert, --frames, --create, --cut, --flip or --info");
  if (depth != 0 && operation != "--convert") return usage("--depth goes with --convert");
  if (force && operation != "--frames" && operation != "--cut") return usage("--force goes with --frames or --cut");

  MessageLibrary messages(MessageProgram::Player);
  if (!messages.LoadConfigured()) return kFailure;
  InstallMessageText(&messages);
  ExitStatus status = kFailure;
  if (operation == "--convert") {
    status = ConvertPicture(operands[0], operands[1], depth, err);
  } else if (operation == "--info") {
    status = IsAnimationFile(operands[0]) ? AnimInfo(operands[0], out, err) : PictureInfo(operands[0], out, err);
  } else if (operation == "--frames") {
    status = AnimFrames(operands[0], operands[1], err, force);
  } else if (operation == "--create") {
    status = AnimCreate(operands[0], {operands.begin() + 1, operands.end()}, err);
  } else if (operation == "--cut") {
    status = AnimCut(operands[0], operands[1], err, force);
  } else {
    status = AnimFlip(operands[0], err);
  }
  InstallMessageText(nullptr);
  return status;
}

}  // namespace tessaran::player
