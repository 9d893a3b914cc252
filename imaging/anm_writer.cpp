// The ".ANM" writer: frames become RunSkipDump records packed into 64 KB
// pages listed in the page table; a last record brings the last frame back
// to the first so that the animation loops without a jump.
#include <algorithm>
#include <cstring>
#include <system_error>

#include "imaging/anm.h"
#include "imaging/format_io.h"
#include "imaging/runskipdump.h"
#include "platform/bytes.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace anm;

void Fail(AnmWriter& anm, int message) {
  if (!anm.failed) ShowMessage(MessageKind::Error, message);
  anm.failed = true;
}

bool WriteAt(AnmWriter& anm, std::size_t offset, const Bytes& bytes) {
  return std::fseek(anm.file.get(), static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), 1, bytes.size(), anm.file.get()) == bytes.size();
}

Bytes HeaderBytes(const Header& h) {
  Bytes out;
  ByteWriter w(out);
  w.Tag(std::string_view(h.id, 4));
  w.U16LE(h.maxPages);
  w.U16LE(h.pagesInUse);
  w.U32LE(h.records);
  w.U16LE(h.maxRecordsPerPage);
  w.U16LE(h.pageTableOffset);
  w.Tag(std::string_view(h.contentType, 4));
  w.U16LE(h.width);
  w.U16LE(h.height);
  for (std::uint8_t b : {h.variant, h.version, h.hasLastDelta, h.lastDeltaValid, h.pixelType,
                         h.compression, h.otherRecordsPerFrame, h.bitmapType})
    w.U8(b);
  w.Zeros(32);  // record types
  w.U32LE(h.frames);
  w.U16LE(h.framesPerSecond);
  w.Zeros(kHeaderBytes - w.Size());
  return out;
}

Bytes TableBytes(const AnmWriter& anm) {
  Bytes out;
  ByteWriter w(out);
  for (const PageDescriptor& d : anm.table) {
    w.U16LE(d.firstRecord);
    w.U16LE(d.records);
    w.U16LE(d.bytes);
  }
  return out;
}

// The frame in the file's layout: top line first, rows of the row bytes.
void ToFileLayout(const AnmWriter& anm, const std::uint8_t* pixels, std::uint8_t* rows) {
  std::size_t height = anm.header.height;
  for (std::size_t y = 0; y < height; ++y)
    std::memcpy(rows + y * anm.rowBytes, pixels + (height - 1 - y) * anm.stride, anm.rowBytes);
}

void StartPage(AnmWriter& anm, std::size_t page, std::uint32_t firstRecord) {
  anm.page = page;
  anm.pageHeader = PageHeader{};
  anm.pageHeader.descriptor.firstRecord = static_cast<std::uint16_t>(firstRecord);
  anm.recordSizes.clear();
  anm.pageData.clear();
}

std::size_t PageRoom(const AnmWriter& anm) {
  return kPageRoom - 2 * anm.recordSizes.size() - anm.pageData.size();
}

// AnmWritePage: the page header, the record sizes, then the records; its
// descriptor goes into the page table.
bool WritePage(AnmWriter& anm) {
  if (anm.page >= kMaxPages) {
    Fail(anm, kMsgAnmWriteRecord);
    return false;
  }
  PageDescriptor& d = anm.pageHeader.descriptor;
  d.records = static_cast<std::uint16_t>(anm.recordSizes.size());
  d.bytes = static_cast<std::uint16_t>(anm.pageData.size());
  Bytes out;
  ByteWriter w(out);
  w.U16LE(d.firstRecord);
  w.U16LE(d.records);
  w.U16LE(d.bytes);
  w.U16LE(anm.pageHeader.continued);
  for (std::uint16_t size : anm.recordSizes) w.U16LE(size);
  w.Append(std::as_bytes(std::span(anm.pageData)));
  if (!WriteAt(anm, kFirstPageOffset + kPageBytes * anm.page, out)) {
    Fail(anm, kMsgAnmWriteRecord);
    return false;
  }
  anm.table[anm.page] = d;
  anm.header.pagesInUse = static_cast<std::uint16_t>(anm.page + 1);
  return true;
}

// Writes the page being filled and starts the next one.
bool NextPage(AnmWriter& anm) {
  if (!WritePage(anm)) return false;
  if (anm.page + 1 >= kMaxPages) {
    Fail(anm, kMsgAnmWriteRecord);
    return false;
  }
  StartPage(anm, anm.page + 1, anm.pageHeader.descriptor.firstRecord + anm.recordSizes.size());
  return true;
}

void AppendRecord(AnmWriter& anm, const std::uint8_t* bytes, std::size_t size) {
  anm.recordSizes.push_back(static_cast<std::uint16_t>(size));
  anm.pageData.insert(anm.pageData.end(), bytes, bytes + size);
  ++anm.header.records;
}

// Encodes `to` against `from` behind the record prefix; the record size, or
// 0 when the stream does not fit in `limit` bytes.
std::size_t EncodeRecord(AnmWriter& anm, const std::uint8_t* from, const std::uint8_t* to,
                         bool skips, std::size_t limit) {
  if (limit <= kRecordPrefixBytes) return 0;
  std::size_t stream = RunSkipDumpEncode(from, to, anm.frameBytes, anm.rowBytes, skips,
                                         anm.work.data() + kRecordPrefixBytes,
                                         limit - kRecordPrefixBytes);
  if (stream == 0) return 0;
  std::copy(kRecordPrefix.begin(), kRecordPrefix.end(), anm.work.begin());
  std::size_t size = stream + kRecordPrefixBytes;
  if (!std::equal(kEndCode.begin(), kEndCode.end(), anm.work.begin() + size - kEndCode.size())) {
    ShowMessage(MessageKind::Error, kMsgAnmStopCode);
    std::copy(kEndCode.begin(), kEndCode.end(), anm.work.begin() + size - kEndCode.size());
  }
  return size;
}

// A record that no page takes whole goes over as many pages as it needs;
// every piece is a record, every page but the last is marked continued.
bool SplitRecord(AnmWriter& anm, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    std::size_t piece = std::min(size - done, PageRoom(anm));
    AppendRecord(anm, anm.work.data() + done, piece);
    done += piece;
    if (done < size) {
      anm.pageHeader.continued = 1;
      if (!NextPage(anm)) return false;
    }
  }
  return true;
}

// Appends the record turning `from` into `to`: into the page being filled
// when it fits, else into a fresh page, else split over pages.
bool AddRecord(AnmWriter& anm, const std::uint8_t* from, const std::uint8_t* to, bool skips) {
  for (;;) {
    bool pageHasRoomForRecord = anm.recordSizes.size() <= kWriterRecordsBeforeFull;
    std::size_t size = pageHasRoomForRecord ? EncodeRecord(anm, from, to, skips, PageRoom(anm)) : 0;
    if (size > 0) {
      AppendRecord(anm, anm.work.data(), size);
      ++anm.header.frames;
      return true;
    }
    if (anm.recordSizes.empty()) break;
    if (!NextPage(anm)) return false;
  }
  std::size_t size = EncodeRecord(anm, from, to, skips, kLargestStream);
  if (size == 0) {
    ShowMessage(MessageKind::Error, kMsgAnmDeltaTooLarge);
    return false;
  }
  if (!SplitRecord(anm, size)) return false;
  ++anm.header.frames;
  return true;
}

// Closes and deletes the temporary file of a recording that cannot finish.
void Abandon(AnmWriter& anm) {
  if (!anm.file) return;
  anm.file.reset();
  std::error_code ignored;
  std::filesystem::remove(anm.temporary, ignored);
}

}  // namespace

AnmWriter::~AnmWriter() { Abandon(*this); }

int AnmOpen(AnmWriter& anm, const std::filesystem::path& fileName, const VirtIm& dib,
            bool withPalette) {
  anm.failed = false;
  anm.header = Header{};
  anm.table = {};
  std::uint8_t pixelType = kPixel8;
  int bitCount = dib.bytesPerPixel == 3 ? 24 : dib.bytesPerPixel == 1 ? 8 : 4;
  if (dib.Empty() || dib.width == 0 || dib.height == 0 || dib.width > 0xFFFF ||
      dib.height > 0xFFFF || !PixelType(bitCount, pixelType)) {
    ShowMessage(MessageKind::Error, kMsgAnmWriteHeader);
    return 0;
  }
  anm.header.width = static_cast<std::uint16_t>(dib.width);
  anm.header.height = static_cast<std::uint16_t>(dib.height);
  anm.header.pixelType = pixelType;
  anm.stride = static_cast<std::size_t>(dib.stride);
  anm.rowBytes = RowBytes(pixelType, dib.width);
  anm.frameBytes = anm.rowBytes * dib.height;

  anm.target = fileName;
  anm.temporary = TemporaryOutputName(fileName);
  anm.file.reset(std::fopen(anm.temporary.c_str(), "w+bx"));
  if (!anm.file) return 0;

  Bytes start = HeaderBytes(anm.header);
  if (!WriteAt(anm, 0, start)) {
    Fail(anm, kMsgAnmWriteHeader);
    Abandon(anm);
    return 0;
  }
  Bytes rest(kCyclingBytes);
  if (withPalette && dib.palette.size() >= kPaletteBytes) {
    for (std::size_t i = 0; i < kPaletteBytes; ++i) rest.push_back(std::byte{dib.palette[i]});
  } else {
    rest.resize(kCyclingBytes + kPaletteBytes);
  }
  rest.resize(rest.size() + kPageTableBytes);
  if (!WriteAt(anm, kHeaderBytes, rest)) {
    Fail(anm, kMsgAnmWriteTable);
    Abandon(anm);
    return 0;
  }
  anm.previous.assign(anm.frameBytes, 0);
  anm.first.clear();
  anm.current.assign(anm.frameBytes, 0);
  anm.work.assign(kLargestStream + kRecordPrefixBytes, 0);
  anm.pageData.reserve(kPageBytes);
  StartPage(anm, 0, 0);
  return 1;
}

int AnmAddFrame(AnmWriter& anm, const std::uint8_t* pixels) {
  if (!anm.file || anm.failed || !pixels) return 0;
  ToFileLayout(anm, pixels, anm.current.data());
  bool firstFrame = anm.first.empty();
  if (!AddRecord(anm, anm.previous.data(), anm.current.data(), !firstFrame)) return 0;
  // Only a recorded frame becomes the reference of the next delta, so a
  // frame given up leaves the file consistent.
  anm.previous.swap(anm.current);
  if (firstFrame) anm.first = anm.previous;
  return 1;
}

int AnmClose(AnmWriter& anm) {
  if (!anm.file) return 0;
  // No program plays an animation without frames: it replaces nothing.
  if (anm.first.empty()) {
    Abandon(anm);
    return 0;
  }
  if (!anm.failed) {
    if (AddRecord(anm, anm.previous.data(), anm.first.data(), true)) {
      Trace("ANM: %u enregistrements, %u images\n", anm.header.records, anm.header.frames);
    } else {
      // Without its last delta the animation still plays, with a jump.
      anm.header.hasLastDelta = 0;
      anm.header.lastDeltaValid = 0;
    }
  }
  if (!anm.failed && !anm.recordSizes.empty()) WritePage(anm);
  if (!anm.failed && !WriteAt(anm, 0, HeaderBytes(anm.header))) Fail(anm, kMsgAnmWriteHeader);
  if (!anm.failed && !WriteAt(anm, kPageTableOffset, TableBytes(anm))) Fail(anm, kMsgAnmWriteTable);
  bool ok = !anm.failed && std::fflush(anm.file.get()) == 0;
  ok = (std::fclose(anm.file.release()) == 0) && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(anm.temporary, anm.target, error);
  if (!ok || error) {
    if (ok) ShowMessage(MessageKind::Error, kMsgAnmWriteHeader);
    std::filesystem::remove(anm.temporary, error);
    return 0;
  }
  return 1;
}

}  // namespace tessaran
