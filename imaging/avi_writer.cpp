// The AVI writer: one uncompressed "00db" chunk per frame, as the frame lies
// in its virtual image, then an "idx1" index of absolute offsets.
#include <system_error>

#include "imaging/avi.h"
#include "imaging/format_io.h"
#include "platform/bytes.h"
#include "platform/console.h"

namespace tessaran {
namespace {

using namespace avi;

constexpr const char* kFrameChunk = "00db";

avi::BitmapHeader FrameFormat(const VirtIm& dib) {
  BitmapHeader h;
  h.width = static_cast<std::int32_t>(dib.width);
  h.height = static_cast<std::int32_t>(dib.height);
  h.bitCount = static_cast<std::uint16_t>(dib.BitCount());
  h.sizeImage = static_cast<std::uint32_t>(DibStride(dib.width, h.bitCount) * dib.height);
  return h;
}

Bytes FormatBytes(const BitmapHeader& h, const VirtIm& dib) {
  Bytes out;
  ByteWriter w(out);
  bmp::WriteInfoHeader(w, h);
  std::size_t colours = PaletteColours(h);
  for (std::size_t i = 0; i < colours * 4; ++i)
    w.U8(i < dib.palette.size() ? dib.palette[i] : 0);
  return out;
}

Bytes MainHeader(const BitmapHeader& h, std::uint32_t frames) {
  Bytes out;
  ByteWriter w(out);
  w.U32LE(kMicrosecondsPerFrame);
  w.U32LE(0);  // maximum bytes per second
  w.U32LE(0);  // padding granularity
  w.U32LE(kHasIndex);
  w.U32LE(frames);
  w.U32LE(0);  // initial frames
  w.U32LE(1);  // streams
  w.U32LE(h.sizeImage);
  w.U32LE(static_cast<std::uint32_t>(h.width));
  w.U32LE(static_cast<std::uint32_t>(h.height));
  w.Zeros(16);
  return out;
}

Bytes StreamHeader(const BitmapHeader& h, std::uint32_t frames) {
  Bytes out;
  ByteWriter w(out);
  w.Tag("vids");
  w.U32LE(0);  // handler
  w.U32LE(0);  // flags
  w.U16LE(0);  // priority
  w.U16LE(0);  // language
  w.U32LE(0);  // initial frames
  w.U32LE(kScale);
  w.U32LE(kRate);
  w.U32LE(0);  // start
  w.U32LE(frames);
  w.U32LE(static_cast<std::uint32_t>(h.width) * static_cast<std::uint32_t>(h.height) * 3);
  w.U32LE(kQuality);
  w.U32LE(0);  // sample size
  w.U16LE(0);
  w.U16LE(0);
  w.U16LE(static_cast<std::uint16_t>(h.width));
  w.U16LE(static_cast<std::uint16_t>(h.height));
  return out;
}

bool WriteChunk(RiffFile& riff, const char* id, const Bytes& data) {
  RiffChunk chunk;
  return riff.CreateChunk(chunk, id) && riff.Write(data) && riff.Ascend(chunk);
}

bool WriteHeaders(AviWriter& avi, const VirtIm& dib) {
  BitmapHeader h = FrameFormat(dib);
  avi.sizeImage = h.sizeImage;
  RiffFile& riff = avi.riff;
  RiffChunk hdrl, strl;
  if (!riff.CreateChunk(avi.form, "RIFF", "AVI ") || !riff.CreateChunk(hdrl, "LIST", "hdrl"))
    return false;
  avi.totalFramesAt = riff.Tell() + 8 + kTotalFramesOffset;
  if (!WriteChunk(riff, "avih", MainHeader(h, avi.announced))) return false;
  if (!riff.CreateChunk(strl, "LIST", "strl")) return false;
  avi.lengthAt = riff.Tell() + 8 + kLengthOffset;
  return WriteChunk(riff, "strh", StreamHeader(h, avi.announced)) &&
         WriteChunk(riff, "strf", FormatBytes(h, dib)) && riff.Ascend(strl) && riff.Ascend(hdrl) &&
         riff.CreateChunk(avi.movi, "LIST", "movi");
}

bool PatchU32(RiffFile& riff, std::uint64_t at, std::uint32_t value) {
  Bytes field;
  ByteWriter(field).U32LE(value);
  return riff.Seek(at) && riff.Write(field);
}

void Abandon(AviWriter& avi) {
  if (!avi.riff.IsOpen()) return;
  avi.riff.Close();
  std::error_code ignored;
  std::filesystem::remove(avi.temporary, ignored);
}

}  // namespace

AviWriter::~AviWriter() { Abandon(*this); }

int AviCreate(AviWriter& avi, const std::filesystem::path& file, int frames, const VirtIm& dib) {
  Abandon(avi);
  avi.failed = false;
  avi.index.clear();
  if (dib.Empty()) return 0;
  avi.announced = frames > 0 ? static_cast<std::uint32_t>(frames) : 0;
  avi.index.reserve(avi.announced);
  avi.target = file;
  avi.temporary = TemporaryOutputName(file);
  if (!avi.riff.Create(avi.temporary)) return 0;
  if (!WriteHeaders(avi, dib)) {
    Abandon(avi);
    return 0;
  }
  return 1;
}

int AviAddFrame(AviWriter& avi, const std::uint8_t* pixels) {
  if (!pixels || !avi.riff.IsOpen() || avi.failed) return 0;
  RiffChunk chunk;
  std::uint64_t at = avi.riff.Tell();
  if (!avi.riff.CreateChunk(chunk, kFrameChunk) || !avi.riff.Write(pixels, avi.sizeImage) ||
      !avi.riff.Ascend(chunk)) {
    avi.failed = true;
    return 0;
  }
  avi.index.push_back({at, chunk.size});
  return 1;
}

int AviClose(AviWriter& avi) {
  if (!avi.riff.IsOpen()) return 0;
  RiffFile& riff = avi.riff;
  bool ok = !avi.failed && riff.Ascend(avi.movi);
  Bytes entries;
  ByteWriter w(entries);
  for (const AviIndexEntry& e : avi.index) {
    w.Tag(kFrameChunk);
    w.U32LE(kKeyFrame);
    w.U32LE(static_cast<std::uint32_t>(e.offset));
    w.U32LE(e.size);
  }
  ok = ok && WriteChunk(riff, "idx1", entries) && riff.Ascend(avi.form);
  if (avi.index.size() > avi.announced) Trace("IncorrectNbim\n");
  // The headers tell the frames really written, so a recording stopped
  // early, or one that went on longer than announced, plays whole.
  auto written = static_cast<std::uint32_t>(avi.index.size());
  ok = ok && PatchU32(riff, avi.totalFramesAt, written) && PatchU32(riff, avi.lengthAt, written);
  ok = riff.Close() && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(avi.temporary, avi.target, error);
  if (!ok || error) {
    std::filesystem::remove(avi.temporary, error);
    return 0;
  }
  return 1;
}

}  // namespace tessaran
