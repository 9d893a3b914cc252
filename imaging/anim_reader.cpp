// IFF ANIM animated maps: the first ILBM picture into two plane sets, then
// byte vertical deltas (DLTA operation 5) applied frame by frame, double
// buffered or into one set as each ANHD says.
#include <algorithm>
#include <cstring>
#include <list>

#include "imaging/anim.h"
#include "imaging/anim_format.h"
#include "imaging/byterun1.h"
#include "imaging/ilbm.h"
#include "platform/console.h"
#include "platform/report.h"
#include "storage/iff.h"

namespace tessaran {
namespace {

using namespace anim;

// The chunks of the FORM ANIM; a file cut short gives what it holds.
bool AnimContents(ByteSpan file, ByteSpan& contents) {
  if (!IsAnimFile(file)) return false;
  std::uint32_t size = ByteReader(file.subspan(4, 4)).U32BE();
  std::size_t length = std::min<std::size_t>(size < 4 ? 0 : size - 4, file.size() - 12);
  contents = file.subspan(12, length);
  return true;
}

// The chunks of a FORM ILBM, or nothing for any other chunk.
bool IlbmContents(const IffChunk& chunk, ByteSpan& contents) {
  std::string type;
  return chunk.tag == ilbm::kForm && IffGroupContents(chunk, type, contents) && type == ilbm::kIlbm;
}

std::size_t After(const IffChunk& chunk) {
  return chunk.offset + 8 + chunk.data.size() + (chunk.data.size() & 1);
}

std::size_t PlaneSetBytes(const AnimMap& map) {
  return std::size_t(map.bmhd.planes) * map.bmhd.height * map.rowBytes;
}

std::uint8_t* PlaneRow(AnimMap& map, int set, int plane, std::size_t y) {
  return map.sets[set].data() + (std::size_t(plane) * map.bmhd.height + y) * map.rowBytes;
}

// Decodes the BODY of the first picture into plane set 0.
void DecodeBody(AnimMap& map, ByteSpan body) {
  const ilbm::Bmhd& b = map.bmhd;
  std::vector<std::uint8_t> maskRow(map.rowBytes);
  std::size_t position = 0;
  int rows = b.planes + (b.masking == ilbm::kMaskHasMask ? 1 : 0);
  for (std::size_t y = 0; y < b.height; ++y) {
    for (int p = 0; p < rows; ++p) {
      std::uint8_t* row = p < b.planes ? PlaneRow(map, 0, p, y) : maskRow.data();
      if (b.compression == ilbm::kCompressByteRun1) {
        if (!ByteRun1Unpack(body, position, row, map.rowBytes)) return;
      } else {
        if (body.size() - position < map.rowBytes) return;
        std::memcpy(row, body.data() + position, map.rowBytes);
        position += map.rowBytes;
      }
    }
  }
}

// Reads BMHD, CMAP, CAMG and BODY of the first picture; both plane sets
// start as its planes.
bool ReadFirstPicture(AnimMap& map, ByteSpan ilbmChunks) {
  IffWalker walker(ilbmChunks);
  IffChunk chunk;
  bool haveBmhd = false;
  std::optional<ByteSpan> body;
  map.cmap.clear();
  map.camg.reset();
  while (walker.Next(chunk)) {
    if (chunk.tag == ilbm::kBmhd) {
      haveBmhd = ilbm::ReadBmhd(chunk.data, map.bmhd);
    } else if (chunk.tag == ilbm::kCmap) {
      std::size_t entries = std::min<std::size_t>(chunk.data.size() / 3, ilbm::kMaxPaletteEntries);
      ByteReader r(chunk.data);
      for (std::size_t i = 0; i < entries; ++i) {
        std::uint32_t red = r.U8(), green = r.U8(), blue = r.U8();
        map.cmap.push_back(red << 16 | green << 8 | blue);
      }
    } else if (chunk.tag == ilbm::kCamg && chunk.data.size() >= 4) {
      map.camg = ByteReader(chunk.data).U32BE() & ilbm::kCamgMask;
    } else if (chunk.tag == ilbm::kBody) {
      body = chunk.data;
    }
  }
  const ilbm::Bmhd& b = map.bmhd;
  if (!haveBmhd || !body || b.width == 0 || b.height == 0 || b.planes == 0 ||
      b.planes > ilbm::kMaxPlanes ||
      (b.compression != ilbm::kCompressNone && b.compression != ilbm::kCompressByteRun1)) {
    Trace("ANIM: premiere image illisible\n");
    return false;
  }
  map.rowBytes = ilbm::PlaneRowBytes(b.width);
  // The smallest BODY that can describe the picture (one ByteRun1 replicate
  // packet per 128 bytes of a row): a shorter one announces a picture the
  // file cannot hold, and no planes are allocated for it.
  std::size_t rows = std::size_t(b.planes) + (b.masking == ilbm::kMaskHasMask ? 1 : 0);
  std::size_t smallest = b.compression == ilbm::kCompressByteRun1
                             ? std::size_t(b.height) * rows * ((map.rowBytes + 127) / 128) * 2
                             : std::size_t(b.height) * rows * map.rowBytes;
  if (body->size() < smallest) {
    Trace("ANIM: chunk BODY trop court pour l'image annoncee\n");
    return false;
  }
  if (PlaneSetBytes(map) > kLargestPlanes) {
    Trace("Pas assez de mémoire pour NewAniMap\n");
    return false;
  }
  Trace("CurAnimMap(%s) alloc OK\n", map.file.string().c_str());
  for (auto& set : map.sets) set.assign(PlaneSetBytes(map), 0);
  for (int p = 0; p < b.planes; ++p) Trace("\nDouble plan depth alloc ok:%d\n", p);
  DecodeBody(map, *body);
  map.sets[1] = map.sets[0];
  return true;
}

// Applies the byte vertical delta of one column of one plane; false when
// the chunk ends inside it.
bool DecodeColumn(AnimMap& map, int set, int plane, std::size_t column, ByteReader& in, bool xorWrite) {
  const std::size_t height = map.bmhd.height;
  auto store = [&](std::size_t y, std::uint8_t value) {
    std::uint8_t& byte = PlaneRow(map, set, plane, y)[column];
    byte = xorWrite ? byte ^ value : value;
  };
  std::size_t y = 0;
  std::uint8_t operations = in.U8();
  for (std::uint8_t i = 0; i < operations && in.Ok(); ++i) {
    std::uint8_t op = in.U8();
    if (y > height) Trace("Erreur Ligne :%d > animBM->h : %d\n", int(y), int(height));
    if (op == 0) {  // run: count, value
      std::size_t count = in.U8();
      std::uint8_t value = in.U8();
      if (y + count > height) {
        Trace("Erreur mode nduplique : op =%d\n", op);
        continue;
      }
      for (std::size_t k = 0; k < count; ++k) store(y + k, value);
      y += count;
    } else if (op & 0x80) {  // copy the next bytes down the column
      std::size_t count = op & 0x7F;
      ByteSpan bytes = in.Take(count);
      if (!in.Ok()) break;
      if (y + count > height) {
        Trace("Erreur mode ncopie : op =%d\n", op);
        continue;
      }
      for (std::size_t k = 0; k < count; ++k) store(y + k, std::to_integer<std::uint8_t>(bytes[k]));
      y += count;
    } else {  // skip lines
      if (y + op > height) {
        Trace("Erreur mode skip : op =%d\n", op);
        continue;
      }
      y += op;
    }
  }
  return in.Ok();
}

void DecodeDelta(AnimMap& map, int set, ByteSpan dlta, bool xorWrite) {
  ByteReader pointers(dlta);
  int planes = std::min<int>(map.bmhd.planes, static_cast<int>(kDeltaPointers));
  for (int p = 0; p < planes; ++p) {
    pointers.Seek(std::size_t(p) * 4);
    std::uint32_t offset = pointers.U32BE();
    if (!pointers.Ok()) return;
    if (offset == 0) continue;
    if (offset >= dlta.size()) {
      Trace("DLTA: plan %d hors du chunk (%u)\n", p, offset);
      continue;
    }
    ByteReader in(dlta);
    in.Seek(offset);
    for (std::size_t column = 0; column < map.rowBytes; ++column) {
      if (!DecodeColumn(map, set, p, column, in, xorWrite)) {
        Trace("DLTA: plan %d tronque\n", p);
        break;
      }
    }
  }
}

// Finds the next FORM holding a DLTA from the remembered position and
// applies it as frame `frame`; false when the file holds no more.
bool ApplyNextDelta(AnimMap& map, ByteSpan contents, int frame) {
  if (map.next > contents.size()) return false;
  IffWalker walker(contents.subspan(map.next));
  IffChunk form;
  std::size_t base = map.next;
  while (walker.Next(form)) {
    map.next = base + After(form);
    ByteSpan chunks;
    if (!IlbmContents(form, chunks)) continue;
    std::optional<IffChunk> dlta = IffFind(chunks, kDlta);
    if (!dlta) continue;
    std::optional<IffChunk> anhdChunk = IffFind(chunks, kAnhd);
    Anhd anhd = anhdChunk ? ReadAnhd(anhdChunk->data) : Anhd{};
    int set = anhd.interleave == 0 ? frame % 2 : map.currentSet;
    if (anhd.interleave == 1) map.sets[set] = map.sets[map.currentSet];
    if (anhd.operation == kByteVerticalDelta) DecodeDelta(map, set, dlta->data, anhd.bits & kXorBit);
    map.currentSet = set;
    return true;
  }
  return false;
}

}  // namespace

bool IsAnimFile(ByteSpan file) {
  return file.size() >= 12 && std::memcmp(file.data(), "FORM", 4) == 0 &&
         std::memcmp(file.data() + 8, "ANIM", 4) == 0;
}

int AnimLoad(AnimMap& map, ByteSpan file) {
  map.loaded = false;
  ByteSpan contents;
  if (!AnimContents(file, contents)) return 0;
  IffWalker walker(contents);
  IffChunk form;
  bool first = true;
  int deltas = 0;
  while (walker.Next(form)) {
    ByteSpan chunks;
    if (!IlbmContents(form, chunks)) continue;
    if (first) {
      if (!ReadFirstPicture(map, chunks)) return 0;
      map.next = After(form);
      first = false;
    } else if (IffFind(chunks, kDlta)) {
      ++deltas;
    }
  }
  if (first) return 0;
  map.frames = std::max(deltas, 1);
  map.current = 0;
  map.currentSet = 0;
  map.loaded = true;
  return 1;
}

int AnimSelectFrame(AnimMap& map, ByteSpan file, int frame) {
  if (!map.loaded) return 0;
  int wanted = ((frame % map.frames) + map.frames) % map.frames;
  if (wanted == map.current) return 1;
  if (wanted < map.current && !AnimLoad(map, file)) return 0;  // an earlier frame: start again
  ByteSpan contents;
  if (!AnimContents(file, contents)) return 0;
  while (map.current < wanted && ApplyNextDelta(map, contents, map.current + 1)) ++map.current;
  return 1;
}

Bytes AnimFrameAsIlbm(const AnimMap& map) {
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup(ilbm::kForm, ilbm::kIlbm);
  ilbm::Bmhd bmhd = map.bmhd;
  bmhd.masking = 0;
  bmhd.compression = ilbm::kCompressNone;
  iff.BeginChunk(ilbm::kBmhd);
  ilbm::WriteBmhd(iff.Data(), bmhd);
  iff.End();
  iff.BeginChunk(ilbm::kCmap);
  for (std::uint32_t c : map.cmap) {
    iff.Data().U8(std::uint8_t(c >> 16));
    iff.Data().U8(std::uint8_t(c >> 8));
    iff.Data().U8(std::uint8_t(c));
  }
  iff.End();
  if (map.camg) {
    iff.BeginChunk(ilbm::kCamg);
    iff.Data().U32BE(*map.camg);
    iff.End();
  }
  iff.BeginChunk(ilbm::kBody);
  for (std::size_t y = 0; y < map.bmhd.height; ++y)
    for (int p = 0; p < map.bmhd.planes; ++p)
      iff.Data().Append(std::as_bytes(std::span(map.PlaneRow(p, y), map.rowBytes)));
  iff.End();
  iff.End();
  return out;
}

namespace {
std::list<AnimMap>& Maps() {
  static std::list<AnimMap> maps;
  return maps;
}
}  // namespace

AnimMap& CurAnimMap(const std::filesystem::path& file) {
  for (AnimMap& map : Maps())
    if (map.file == file) return map;
  AnimMap& map = Maps().emplace_back();
  map.file = file;
  return map;
}

void FreeAnimMaps() { Maps().clear(); }

int LoadAnimFrame(const std::filesystem::path& path, int slot, int mode, PictureHeader* header,
                  int frame, const PixelSink* sink) {
  Bytes file;
  if (!ReadWholeFile(path, file)) {
    ShowMessage(MessageKind::Warning, kMsgOpenError, path.string().c_str());
    return 0;
  }
  AnimMap& map = CurAnimMap(path);
  if ((!map.loaded && !AnimLoad(map, file)) || !AnimSelectFrame(map, file, frame)) {
    Maps().remove_if([&](const AnimMap& m) { return m.file == path; });  // the map is dropped
    return 0;
  }
  // The frame goes through the ILBM reader, which turns planes into pixels
  // for every picture kind; the animation's file names it in messages.
  Bytes picture = AnimFrameAsIlbm(map);
  return ReadIlbmBytes(picture, path, slot, mode, header, sink);
}

}  // namespace tessaran
