// The picture loader: the extension table chooses the reader.

#include "imaging/anim.h"
#include "imaging/bmp.h"
#include "imaging/ilbm.h"
#include "imaging/pcx.h"
#include "imaging/picture.h"
#include "imaging/ppm.h"
#include "imaging/tga.h"
#include "platform/console.h"

namespace tessaran {
namespace {

// A name outside the table that starts as a binary PPM is read as one:
// pictures exchanged with other tools keep their own extension.
bool LooksLikePpm(const Bytes& start) {
  return start.size() >= 2 && start[0] == std::byte{'P'} && start[1] == std::byte{'6'};
}

// The first bytes of a file that tell its kind: a FORM's type or a PPM's
// magic.
constexpr std::size_t kKindBytes = 12;

// IFF files: an ANIM gives the frame asked for, anything else a picture.
int ReadIff(const std::filesystem::path& path, const Bytes& start, int slot, int mode,
            PictureHeader* header, int frame, const PixelSink* sink) {
  if (IsAnimFile(start)) return LoadAnimFrame(path, slot, mode, header, frame, sink);
  return ReadIlbm(path, slot, mode, header, sink);
}

}  // namespace

int LoadPicture(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                int frame, const PixelSink* sink) {
  std::optional<FileKind> kind = FileKindOf(path);
  if (!kind) {
    Bytes start = ReadFileStart(path, kKindBytes);
    if (LooksLikePpm(start)) return ReadPpm(path, slot, mode, header, sink);
    return ReadIff(path, start, slot, mode, header, frame, sink);
  }
  switch (*kind) {
    case FileKind::Lbm:
    case FileKind::I24: return ReadIff(path, ReadFileStart(path, kKindBytes), slot, mode, header, frame, sink);
    case FileKind::Tga: return ReadTga(path, slot, mode, header, sink);
    case FileKind::Pcx: return ReadPcx(path, slot, mode, header, sink);
    case FileKind::Bmp: return ReadBmp(path, slot, mode, header, sink);
    default:
      Trace("LoadPicture [%s] : pas une image\n", path.string().c_str());
      return 0;
  }
}

}  // namespace tessaran
