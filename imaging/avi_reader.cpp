// The AVI reader: finds the first video stream, indexes its frame chunks by
// walking "movi" (into "rec " lists), and hands out frames one by one,
// decoding RLE8 and RLE4 frames onto the previous one.
#include <cstdio>
#include <cstring>

#include "imaging/avi.h"
#include "imaging/bitmap_rle.h"
#include "imaging/format_io.h"
#include "imaging/picture.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace avi;

int Damaged(const std::filesystem::path& file) {
  ShowMessage(MessageKind::Error, kMsgTruncated, file.c_str());
  return 0;
}

BitmapHeader ParseFormat(ByteSpan bytes) {
  ByteReader r(bytes);
  return bmp::ReadInfoHeader(r);
}

bool KnownBitCount(unsigned bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::size_t Height(const AviReader& avi) {
  return static_cast<std::size_t>(std::abs(static_cast<long long>(avi.format.height)));
}

// Reads "strf" of the video stream: the bitmap header and its palette.
bool ReadFormat(AviReader& avi, const RiffChunk& strf) {
  if (strf.size < kBitmapHeaderBytes) {
    Trace("chunk strf size<BITMAPINFOHEADER size\n");
    return false;
  }
  Bytes bytes;
  if (!avi.riff.ReadData(strf, bytes, kLargestFormat)) return false;
  avi.format = ParseFormat(bytes);
  avi.palette.assign(1024, 0);
  std::size_t paletteAt = std::max<std::size_t>(kBitmapHeaderBytes, avi.format.size);
  if (paletteAt < bytes.size()) {
    std::size_t colours = std::min<std::size_t>((bytes.size() - paletteAt) / 4, 256);
    std::memcpy(avi.palette.data(), bytes.data() + paletteAt, colours * 4);
  }
  return true;
}

// Looks through the "strl" lists for the first video stream; false when
// there is none or its format cannot be read.
bool FindVideoStream(AviReader& avi, const RiffChunk& hdrl, bool& unsupported) {
  RiffFile& riff = avi.riff;
  RiffChunk strl;
  for (int stream = 0; riff.Descend(strl, &hdrl, "LIST", "strl"); ++stream) {
    RiffChunk strh, strf;
    Bytes header;
    if (riff.Descend(strh, &strl, "strh") && riff.ReadData(strh, header, kStreamHeaderBytes) &&
        header.size() >= 4 && std::memcmp(header.data(), "vids", 4) == 0) {
      if (!riff.Ascend(strh) || !riff.Descend(strf, &strl, "strf") || !ReadFormat(avi, strf))
        return false;
      std::uint32_t c = avi.format.compression;
      if (c != kRgb && c != kRle8 && c != kRle4) {
        Trace("error format de compression non BI_RLE\n");
        ShowMessage(MessageKind::Error, kMsgAviCompression);
        unsupported = true;
        return false;
      }
      char id[8];
      std::snprintf(id, sizeof id, c == kRgb ? "%02ddb" : "%02ddc", stream % 100);
      avi.chunkId = id;
      return true;
    }
    if (!riff.Seek(strl.End() + (strl.size & 1))) return false;
  }
  return false;
}

// A frame chunk of the stream: "db" and "dc" are both taken, as writers
// differ in which they use for uncompressed frames.
bool IsFrameChunk(const AviReader& avi, const RiffChunk& chunk) {
  return chunk.id.compare(0, 2, avi.chunkId, 0, 2) == 0 && (chunk.id[2] == 'd') &&
         (chunk.id[3] == 'b' || chunk.id[3] == 'c');
}

// Walks "movi" (and the "rec " lists in it) and indexes the frame chunks.
void IndexFrames(AviReader& avi, const RiffChunk& movi) {
  RiffFile& riff = avi.riff;
  RiffChunk chunk;
  std::vector<RiffChunk> open{movi};
  while (!open.empty()) {
    if (!riff.Descend(chunk, &open.back())) {
      if (riff.Truncated()) break;
      if (!riff.Seek(open.back().End() + (open.back().size & 1))) break;
      open.pop_back();
      continue;
    }
    if (chunk.id == "LIST" && chunk.type == "rec ") {
      avi.grouped = true;
      open.push_back(chunk);
      continue;
    }
    if (IsFrameChunk(avi, chunk) && chunk.size > 0) avi.index.push_back({chunk.dataOffset - 8, chunk.size});
    if (!riff.Ascend(chunk)) break;
  }
  if (avi.index.size() < avi.totalFrames) Trace("Can't descend in frame %d chunk\n", int(avi.index.size()));
}

// Copies an uncompressed frame into the virtual image's layout: rows padded
// to 4 bytes (or, as some writers store them, unpadded), top-down files
// turned over.
void StoreRawFrame(AviReader& avi, const Bytes& data) {
  std::size_t height = Height(avi);
  std::size_t rowBytes = (std::size_t(avi.format.width) * avi.format.bitCount + 7) / 8;
  std::size_t sourceStride = data.size() >= avi.stride * height ? avi.stride : rowBytes;
  for (std::size_t y = 0; y < height; ++y) {
    std::size_t line = avi.format.height < 0 ? height - 1 - y : y;  // y counts from the bottom
    if ((line + 1) * sourceStride > data.size()) continue;
    std::memcpy(avi.frame.data() + y * avi.stride, data.data() + line * sourceStride, rowBytes);
  }
}

}  // namespace

int AviOpen(AviReader& avi, const std::filesystem::path& file, std::uint8_t* palette, int& width,
            int& height, int& bitCount) {
  avi = AviReader{};
  RiffFile& riff = avi.riff;
  if (!riff.Open(file)) {
    ShowMessage(MessageKind::Error, kMsgOpenError, file.c_str());
    return 0;
  }
  // A recording cut short has a form longer than the file: what is there is read.
  std::uint8_t head[12];
  if (riff.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "AVI ", 4) != 0)
    return Damaged(file);
  RiffChunk form{"RIFF", "AVI ", 0, 8};
  form.size = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(ByteReader(std::as_bytes(std::span(head + 4, 4))).U32LE(), riff.FileSize() - 8));

  RiffChunk hdrl, avih;
  Bytes main;
  if (!riff.Descend(hdrl, &form, "LIST", "hdrl") || !riff.Descend(avih, &hdrl, "avih") ||
      !riff.ReadData(avih, main, kMainHeaderBytes) || !riff.Ascend(avih))
    return Damaged(file);
  ByteReader mainReader(main);
  mainReader.Seek(kTotalFramesOffset);
  std::uint32_t total = mainReader.U32LE();
  std::uint32_t initial = mainReader.U32LE();
  avi.totalFrames = total > initial ? total - initial : 0;

  bool unsupported = false;
  if (!FindVideoStream(avi, hdrl, unsupported)) return unsupported ? 0 : Damaged(file);
  const BitmapHeader& f = avi.format;
  bool rle = f.compression != kRgb;
  if (f.width <= 0 || f.height == 0 || !KnownBitCount(f.bitCount) ||
      (f.compression == kRle8 && f.bitCount != 8) || (f.compression == kRle4 && f.bitCount != 4) ||
      (rle && f.height < 0))
    return Damaged(file);
  avi.stride = DibStride(static_cast<std::size_t>(f.width), f.bitCount);
  if (avi.stride > kLargestFrame / Height(avi)) return Damaged(file);

  RiffChunk chunk;
  riff.Seek(form.dataOffset + 4);
  if (!riff.Descend(chunk, &form, "idx1")) Trace("Pas de chunk idx1\n");
  riff.Seek(form.dataOffset + 4);
  RiffChunk movi;
  if (!riff.DescendCut(movi, &form, "LIST", "movi")) return Damaged(file);
  IndexFrames(avi, movi);
  if (avi.index.empty()) return Damaged(file);

  avi.frame.assign(avi.stride * Height(avi), 0);
  avi.position = 0;
  width = f.width;
  height = static_cast<int>(Height(avi));
  bitCount = f.bitCount;
  if (palette) std::memcpy(palette, avi.palette.data(), 1024);
  return 1;
}

std::size_t AviNextFrame(AviReader& avi, std::uint8_t* destination, bool read) {
  if (avi.position < 0 || avi.index.empty()) return 0;
  const AviIndexEntry& entry = avi.index[static_cast<std::size_t>(avi.position)];
  if (++avi.position >= static_cast<int>(avi.index.size())) avi.position = 0;  // playback loops
  RiffChunk chunk{"", "", entry.size, entry.offset + 8};
  if (read && destination) {
    Bytes data;
    if (!avi.riff.ReadData(chunk, data, entry.size)) return 0;
    if (avi.format.compression == kRgb) {
      StoreRawFrame(avi, data);
    } else if (!DecodeBitmapRle(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(),
                                avi.format.bitCount, avi.frame.data(),
                                static_cast<std::size_t>(avi.format.width), Height(avi), avi.stride)) {
      Trace("Trame RLE endommagee\n");
    }
    std::memcpy(destination, avi.frame.data(), avi.frame.size());
  }
  return entry.size;
}

}  // namespace tessaran
