#include "player/batch.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <ostream>

#include "imaging/bmp.h"
#include "imaging/ilbm.h"
#include "imaging/pcx.h"
#include "imaging/picture.h"
#include "imaging/ppm.h"
#include "imaging/rawrgb.h"
#include "imaging/tga.h"
#include "messages/message_library.h"
#include "storage/virtim.h"

namespace tessaran::player {
namespace {

// A palette picture widened to true colour for the 24-bit writers.
constexpr int kTrueColourSlot = 3;

std::string Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Frees the player's slots whatever way an operation ends.
struct SlotGuard {
  ~SlotGuard() {
    VimFree(kPictureSlot);
    VimFree(kTrueColourSlot);
  }
};

bool LoadSource(const std::filesystem::path& in, std::ostream& err) {
  if (!std::filesystem::is_regular_file(in)) {
    err << "tovix: no such picture file: " << in.string() << "\n";
    return false;
  }
  PictureHeader header;
  if (LoadPicture(in, kPictureSlot, kOpaqueLoad, &header, 0) != 1 || VimSlot(kPictureSlot).Empty()) {
    err << "tovix: cannot read " << in.string() << " as a picture\n";
    return false;
  }
  return true;
}

// The slot holding the picture as 24-bit pixels.
int TrueColourSlot() {
  const VirtIm& source = VimSlot(kPictureSlot);
  if (source.bytesPerPixel == 3) return kPictureSlot;
  if (VimCreate(kTrueColourSlot, int(source.width), int(source.height), 24) != 1) return -1;
  std::vector<std::uint32_t> line(source.width);
  for (std::uint32_t y = 0; y < source.height; ++y) {
    for (std::uint32_t x = 0; x < source.width; ++x)
      line[x] = std::uint32_t(VimGetPixel(kPictureSlot, y, x));
    VimPutLine(kTrueColourSlot, line.data(), y, 1, 0);
  }
  return kTrueColourSlot;
}

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
  char head[12] = {};
  std::ifstream in(file, std::ios::binary);
  in.read(head, sizeof head);
  if (head[0] == 'P' && head[1] == '6') return "PPM";
  std::string type(head + 8, 4);
  if (type == "PBM ") return "PBM";
  if (type == "ANIM") return "ANIM";
  return "ILBM";
}

}  // namespace

ExitStatus ConvertPicture(const std::filesystem::path& in, const std::filesystem::path& out,
                          int depth, std::ostream& err) {
  std::string extension = Upper(out.extension().string());
  static const std::vector<std::string> kWritable = {".LBM", ".I24", ".TGA", ".PCX",
                                                      ".BMP", ".RGB", ".PPM"};
  if (std::find(kWritable.begin(), kWritable.end(), extension) == kWritable.end()) {
    err << "tovix: cannot write " << out.string()
        << ": the output extension must be .LBM .I24 .TGA .PCX .BMP .RGB or .PPM\n";
    return kBadUsage;
  }
  if (depth != 0 && extension != ".PCX" && extension != ".BMP") {
    err << "tovix: --depth applies to .PCX and .BMP output only\n";
    return kBadUsage;
  }
  SlotGuard guard;
  if (!LoadSource(in, err)) return kFailure;
  const VirtIm& source = VimSlot(kPictureSlot);
  bool palette = source.bytesPerPixel != 3;
  bool eightBit = extension == ".LBM" ||
                  ((extension == ".PCX" || extension == ".BMP") && (depth == 8 || (depth == 0 && palette)));
  if (eightBit && !palette) {
    err << "tovix: " << in.string() << " is a 24-bit picture; writing it as 8-bit "
        << extension << " needs the colour reduction, which is not available yet"
        << (extension == ".LBM" ? " (write .I24 .TGA .PCX .BMP .RGB or .PPM)\n"
                                : " (use --depth 24)\n");
    return kFailure;
  }
  const std::string base = out.string();
  bool written = false;
  if (eightBit) {
    if (extension == ".LBM") written = WriteLbm(base, -1, source) == 0;
    else if (extension == ".PCX") written = WritePcx(base, -1, source) == 1;
    else written = WriteBmp(base, -1, source) == 0;
  } else {
    int slot = TrueColourSlot();
    if (slot < 0) {
      err << "tovix: not enough memory for a 24-bit copy of " << in.string() << "\n";
      return kFailure;
    }
    int w = int(source.width), h = int(source.height);
    if (extension == ".I24") written = WriteI24(base, -1, w, h, slot) == 0;
    else if (extension == ".TGA") written = WriteTga(base, -1, w, h, slot, false) == 0;
    else if (extension == ".PCX") written = WritePcx(base, -1, slot) == 1;
    else if (extension == ".BMP") written = WriteBmp(base, -1, slot, h) == 0;
    else if (extension == ".RGB") written = WriteRawRgb(base, -2, w, h, slot) == 1;
    else written = WritePpm(base, -1, slot) == 0;
  }
  if (!written) {
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
  SlotGuard guard;
  if (!LoadSource(file, err)) return kFailure;
  const VirtIm& image = VimSlot(kPictureSlot);
  out << "{\"kind\":\"" << KindOf(file) << "\",\"width\":" << image.width
      << ",\"height\":" << image.height << ",\"depth\":" << image.BitCount()
      << ",\"frames\":1}\n";
  return kSuccess;
}

std::string HelpText() {
  return "Usage: tovix --batch OPERATION\n"
         "\n"
         "Operations:\n"
         "  --convert IN OUT   convert any readable picture (.LBM .I24 .TGA .PCX .BMP,\n"
         "                     binary .PPM, IFF of any name) to the format of OUT's\n"
         "                     extension: .LBM .I24 .TGA .PCX .BMP .RGB .PPM\n"
         "  --depth 8|24       with --convert to .PCX or .BMP: the writer's depth\n"
         "                     (default: the source's; .LBM is always 8-bit)\n"
         "  --info FILE        print {\"kind\",\"width\",\"height\",\"depth\",\"frames\"} as JSON\n"
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
  bool batch = false;
  std::vector<std::string> convert, info;
  int depth = 0;
  auto usage = [&err](const std::string& reason) {
    err << "tovix: " << reason << "\n" << "Try 'tovix --help'.\n";
    return kBadUsage;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    std::size_t left = arguments.size() - i - 1;
    if (a == "--batch") {
      batch = true;
    } else if (a == "--convert") {
      if (left < 2) return usage("--convert needs IN and OUT");
      convert = {arguments[i + 1], arguments[i + 2]};
      i += 2;
    } else if (a == "--info") {
      if (left < 1) return usage("--info needs FILE");
      info = {arguments[++i]};
    } else if (a == "--depth") {
      if (left < 1) return usage("--depth needs 8 or 24");
      const std::string& v = arguments[++i];
      if (v != "8" && v != "24") return usage("--depth must be 8 or 24, not '" + v + "'");
      depth = v == "8" ? 8 : 24;
    } else {
      return usage("unknown option '" + a + "'");
    }
  }
  if (!batch) return usage("only the batch mode exists yet: give --batch");
  if (convert.empty() == info.empty()) return usage("give one operation: --convert or --info");
  if (depth != 0 && convert.empty()) return usage("--depth goes with --convert");

  MessageLibrary messages(MessageProgram::Player);
  if (!messages.LoadConfigured()) return kFailure;
  InstallMessageText(&messages);
  ExitStatus status = convert.empty() ? PictureInfo(info[0], out, err)
                                      : ConvertPicture(convert[0], convert[1], depth, err);
  InstallMessageText(nullptr);
  return status;
}

}  // namespace tessaran::player
