// The ".ANM" reader: finds each record in play order through the page
// table, loads its page, and applies its RunSkipDump stream to the frame.
#include <sys/stat.h>

#include <cstring>

#include "imaging/anm.h"
#include "imaging/picture.h"
#include "imaging/runskipdump.h"
#include "platform/bytes.h"
#include "platform/console.h"
#include "platform/report.h"

namespace tessaran {
namespace {

using namespace anm;

constexpr std::uint16_t kNoPage = 0xFFFF;

int Error(int message) {
  ShowMessage(MessageKind::Error, message);
  return 0;
}

bool ReadAt(std::FILE* file, std::size_t offset, void* into, std::size_t bytes) {
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fread(into, 1, bytes, file) == bytes;
}

Header ParseHeader(ByteSpan bytes) {
  ByteReader r(bytes);
  Header h;
  std::memcpy(h.id, r.Take(4).data(), 4);
  h.maxPages = r.U16LE();
  h.pagesInUse = r.U16LE();
  h.records = r.U32LE();
  h.maxRecordsPerPage = r.U16LE();
  h.pageTableOffset = r.U16LE();
  std::memcpy(h.contentType, r.Take(4).data(), 4);
  h.width = r.U16LE();
  h.height = r.U16LE();
  h.variant = r.U8();
  h.version = r.U8();
  h.hasLastDelta = r.U8();
  h.lastDeltaValid = r.U8();
  h.pixelType = r.U8();
  h.compression = r.U8();
  h.otherRecordsPerFrame = r.U8();
  h.bitmapType = r.U8();
  r.Seek(kFramesOffset);
  h.frames = r.U32LE();
  h.framesPerSecond = r.U16LE();
  return h;
}

std::uint16_t FindPage(const AnmReader& anm, std::uint32_t record) {
  for (std::size_t p = 0; p < anm.table.size(); ++p) {
    const PageDescriptor& d = anm.table[p];
    if (d.records > 0 && d.firstRecord <= record && record < std::uint32_t(d.firstRecord) + d.records)
      return static_cast<std::uint16_t>(p);
  }
  return kNoPage;
}

// Loads page `page`: its header, its record sizes and as much of its record
// bytes as the file holds (records reaching past that are refused later).
bool LoadPage(AnmReader& anm, std::size_t page) {
  std::size_t maxPages = std::min<std::size_t>(anm.header.maxPages, kMaxPages);
  std::size_t offset = anm.firstPageOffset + kPageBytes * page;
  if (page >= maxPages || std::fseek(anm.file.get(), static_cast<long>(offset), SEEK_SET) != 0)
    return Error(kMsgAnmSeekPage);
  std::uint8_t head[kPageHeaderBytes];
  if (std::fread(head, 1, sizeof head, anm.file.get()) != sizeof head) return Error(kMsgAnmReadPageHeader);
  ByteReader r(std::as_bytes(std::span(head)));
  PageHeader& h = anm.pageHeader;
  h.descriptor.firstRecord = r.U16LE();
  h.descriptor.records = r.U16LE();
  h.descriptor.bytes = r.U16LE();
  h.continued = r.U16LE();
  if (h.descriptor.records != anm.table[page].records)
    Trace("Bizzare nrecords in lp # nRecords in lpfTab\n");
  std::size_t sizesBytes = 2u * h.descriptor.records;
  if (kPageHeaderBytes + sizesBytes > kPageBytes) return Error(kMsgAnmReadTable);
  std::vector<std::uint8_t> sizes(sizesBytes);
  if (std::fread(sizes.data(), 1, sizes.size(), anm.file.get()) != sizes.size())
    return Error(kMsgAnmReadTable);
  anm.recordSizes.resize(h.descriptor.records);
  for (std::size_t i = 0; i < anm.recordSizes.size(); ++i)
    anm.recordSizes[i] = static_cast<std::uint16_t>(sizes[2 * i] | sizes[2 * i + 1] << 8);
  std::size_t dataBytes = std::min<std::size_t>(h.descriptor.bytes, kPageBytes - kPageHeaderBytes - sizesBytes);
  anm.pageData.resize(dataBytes);
  anm.pageData.resize(std::fread(anm.pageData.data(), 1, dataBytes, anm.file.get()));
  anm.loadedPage = static_cast<int>(page);
  return true;
}

// The bytes of record `record` within the loaded page; false when the page
// does not hold it whole.
bool RecordBytes(const AnmReader& anm, std::uint32_t record, const std::uint8_t*& bytes,
                 std::size_t& size, bool& last) {
  const PageDescriptor& d = anm.pageHeader.descriptor;
  if (record < d.firstRecord || record - d.firstRecord >= anm.recordSizes.size()) return false;
  std::size_t index = record - d.firstRecord;
  std::size_t offset = 0;
  for (std::size_t i = 0; i < index; ++i) offset += anm.recordSizes[i];
  size = anm.recordSizes[index];
  if (offset > anm.pageData.size() || size > anm.pageData.size() - offset) return false;
  bytes = anm.pageData.data() + offset;
  last = index + 1 == anm.recordSizes.size();
  return true;
}

bool EnsurePage(AnmReader& anm, std::uint32_t record) {
  std::uint16_t page = FindPage(anm, record);
  if (page == kNoPage) return Error(kMsgAnmSeekPage);
  return page == anm.loadedPage || LoadPage(anm, page);
}

// Reads record `record`, gathering the pieces of a record continued over
// pages; `pieces` tells how many record numbers it took.
bool ReadRecord(AnmReader& anm, std::uint32_t record, const std::uint8_t*& bytes,
                std::size_t& size, std::uint32_t& pieces) {
  pieces = 1;
  bool last = false;
  if (!EnsurePage(anm, record)) return false;
  if (!RecordBytes(anm, record, bytes, size, last)) return Error(kMsgAnmReadRecord);
  if (!(last && anm.pageHeader.continued)) return true;
  anm.gathered.assign(bytes, bytes + size);
  while (last && anm.pageHeader.continued) {
    std::uint32_t next = record + pieces;
    if (next >= anm.header.records || !EnsurePage(anm, next)) return Error(kMsgAnmReadRecord);
    if (!RecordBytes(anm, next, bytes, size, last)) return Error(kMsgAnmReadRecord);
    anm.gathered.insert(anm.gathered.end(), bytes, bytes + size);
    ++pieces;
  }
  bytes = anm.gathered.data();
  size = anm.gathered.size();
  return true;
}

void ToVirtualImage(const AnmReader& anm, std::uint8_t* destination) {
  std::size_t height = anm.header.height;
  for (std::size_t y = 0; y < height; ++y)
    std::memcpy(destination + (height - 1 - y) * anm.stride, anm.frame.data() + y * anm.rowBytes,
                anm.rowBytes);
}

}  // namespace

int AnmOpenRead(AnmReader& anm, const std::filesystem::path& fileName, std::uint8_t* palette,
                int& width, int& height, int& bitCount) {
  anm = AnmReader{};
  anm.file.reset(std::fopen(fileName.c_str(), "rb"));
  if (!anm.file) {
    ShowMessage(MessageKind::Error, kMsgOpenError, fileName.c_str());
    return 0;
  }
  std::uint8_t head[kHeaderBytes];
  if (std::fread(head, 1, sizeof head, anm.file.get()) != sizeof head) return Error(kMsgAnmReadHeader);
  anm.header = ParseHeader(std::as_bytes(std::span(head)));
  anm.rowBytes = RowBytes(anm.header.pixelType, anm.header.width);
  if (anm.rowBytes == 0 && anm.header.width > 0) {
    ShowMessage(MessageKind::Error, kMsgAnmUnknown);
    anm.header.pixelType = kPixel8;
    anm.rowBytes = anm.header.width;
  }
  anm.bitCount = BitCount(anm.header.pixelType);
  anm.stride = (anm.rowBytes + 3) / 4 * 4;
  anm.frameBytes = anm.rowBytes * anm.header.height;
  if (anm.frameBytes == 0 || anm.stride * anm.header.height > kLargestFrame || anm.header.records == 0)
    return Error(kMsgAnmUnknown);

  std::uint8_t cycling[kCyclingBytes];
  std::uint8_t colours[kPaletteBytes];
  if (std::fread(cycling, 1, sizeof cycling, anm.file.get()) != sizeof cycling ||
      std::fread(colours, 1, sizeof colours, anm.file.get()) != sizeof colours)
    return Error(kMsgAnmReadHeader);
  if (palette) std::memcpy(palette, colours, sizeof colours);

  std::uint8_t table[kPageTableBytes];
  if (!ReadAt(anm.file.get(), anm.header.pageTableOffset, table, sizeof table))
    return Error(kMsgAnmReadTable);
  ByteReader r(std::as_bytes(std::span(table)));
  for (PageDescriptor& d : anm.table) {
    d.firstRecord = r.U16LE();
    d.records = r.U16LE();
    d.bytes = r.U16LE();
  }
  anm.firstPageOffset = std::size_t(anm.header.pageTableOffset) + kPageTableBytes;
  anm.frame.assign(anm.frameBytes, 0);
  width = anm.header.width;
  height = anm.header.height;
  bitCount = anm.bitCount;
  return 1;
}

int lpfTab(AnmReader& anm, std::uint8_t* destination) {
  if (!anm.file) return -1;
  if (anm.record >= anm.header.records) {
    // The last delta has already brought the picture back to the first
    // frame, so a looping play goes on at the record after it (record 1,
    // unless the first frame was split over pages).
    ++anm.loops;
    bool skipFirst = anm.header.hasLastDelta && anm.header.records > anm.firstRecordPieces;
    anm.record = skipFirst ? anm.firstRecordPieces : 0;
  }
  std::uint32_t record = anm.record;
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
  std::uint32_t pieces = 1;
  bool read = ReadRecord(anm, record, bytes, size, pieces);
  anm.record += pieces;
  if (!read) return -1;
  if (record == 0) anm.firstRecordPieces = pieces;
  // An empty record leaves the frame as it was.
  if (size > 0) {
    if (size < kRecordPrefixBytes) return Error(kMsgAnmReadRecord) - 1;
    RunSkipDumpResult result = RunSkipDumpDecode(bytes + kRecordPrefixBytes, size - kRecordPrefixBytes,
                                                 anm.frame.data(), anm.frame.size());
    if (!result.ok) {
      if (destination) ToVirtualImage(anm, destination);
      return Error(kMsgAnmReadRecord) - 1;
    }
  }
  if (destination) ToVirtualImage(anm, destination);
  return static_cast<int>(record);
}

std::uint32_t AnmRecordsHeld(const AnmReader& anm) {
  struct stat status{};
  if (!anm.file || fstat(fileno(anm.file.get()), &status) != 0) return 0;
  const auto size = static_cast<std::uint64_t>(status.st_size);
  const std::size_t pages = std::min<std::size_t>(anm.header.pagesInUse, kMaxPages);
  // Pages hold their records in any order: the records play from 0 on
  // while the page of each is in the file whole.
  std::uint32_t held = 0;
  for (bool found = true; found && held < anm.header.records;) {
    found = false;
    for (std::size_t page = 0; page < pages && !found; ++page) {
      const PageDescriptor& d = anm.table[page];
      if (held < d.firstRecord || held >= std::uint32_t(d.firstRecord) + d.records) continue;
      const std::uint64_t end =
          anm.firstPageOffset + kPageBytes * page + kPageHeaderBytes + 2u * d.records + d.bytes;
      if (end > size) break;
      held = std::uint32_t(d.firstRecord) + d.records;
      found = true;
    }
  }
  return held;
}

}  // namespace tessaran
