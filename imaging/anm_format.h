// Constants and record layouts of the ".ANM" large-page file, shared by its
// reader and writer only. All numbers in the file are little-endian.
//
// Frames are stored top line first with rows of exactly the row bytes, as
// every other program that reads or writes these files expects; the reader
// and the writer convert from and to the bottom-up, 4-byte-padded lines of
// a virtual image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessaran::anm {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kCyclingBytes = 128;
constexpr std::size_t kPaletteBytes = 1024;
constexpr std::size_t kPageTableOffset = kHeaderBytes + kCyclingBytes + kPaletteBytes;  // 1280
constexpr std::size_t kMaxPages = 256;
constexpr std::size_t kDescriptorBytes = 6;
constexpr std::size_t kPageTableBytes = kMaxPages * kDescriptorBytes;  // 1536
constexpr std::size_t kFirstPageOffset = kPageTableOffset + kPageTableBytes;  // 2816
constexpr std::size_t kPageBytes = 65536;
constexpr std::size_t kPageHeaderBytes = 8;
constexpr std::size_t kMaxRecordsPerPage = 256;
// A page takes a record while it holds at most this many.
constexpr std::size_t kWriterRecordsBeforeFull = 254;
// Record bytes a page can take: 65524 minus 2 per record already in it.
constexpr std::size_t kPageRoom = 65524;
// The output limit of a record that no page can take whole.
constexpr std::size_t kLargestStream = 65534;
constexpr std::size_t kRecordPrefixBytes = 4;
constexpr std::array<std::uint8_t, 4> kRecordPrefix = {0x42, 0x00, 0x01, 0x00};
constexpr std::array<std::uint8_t, 3> kEndCode = {0x80, 0x00, 0x00};
constexpr std::uint16_t kFramesPerSecond = 18;

// Frames beyond this many bytes are refused rather than allocated: no real
// animation comes near it and a damaged header must not exhaust memory.
constexpr std::size_t kLargestFrame = 64u << 20;

// Pixel types of the header and the bits per pixel they stand for.
constexpr std::uint8_t kPixel8 = 0;
constexpr std::uint8_t kPixel16 = 2;
constexpr std::uint8_t kPixel24 = 3;
constexpr std::uint8_t kPixel32 = 4;
constexpr std::uint8_t kPixel1 = 248;
constexpr std::uint8_t kPixel4 = 254;

// The 128-byte file header, field by field.
struct Header {
  char id[4] = {'L', 'P', 'F', ' '};
  std::uint16_t maxPages = kMaxPages;
  std::uint16_t pagesInUse = 1;
  std::uint32_t records = 0;
  std::uint16_t maxRecordsPerPage = kMaxRecordsPerPage;
  std::uint16_t pageTableOffset = kPageTableOffset;
  char contentType[4] = {'A', 'N', 'I', 'M'};
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t variant = 0;
  std::uint8_t version = 0;
  std::uint8_t hasLastDelta = 1;
  std::uint8_t lastDeltaValid = 1;
  std::uint8_t pixelType = kPixel8;
  std::uint8_t compression = 1;  // RunSkipDump
  std::uint8_t otherRecordsPerFrame = 0;
  std::uint8_t bitmapType = 1;
  std::uint32_t frames = 0;
  std::uint16_t framesPerSecond = kFramesPerSecond;
};
// Offsets of the fields after the record types (32 bytes from offset 32).
constexpr std::size_t kFramesOffset = 64;

// One entry of the page table, and the head of a page, which repeats it
// and adds the continuation flag.
struct PageDescriptor {
  std::uint16_t firstRecord = 0;
  std::uint16_t records = 0;
  std::uint16_t bytes = 0;
};
struct PageHeader {
  PageDescriptor descriptor;
  std::uint16_t continued = 0;  // 1: the page's last record goes on in the next page
};

// Bytes of one stored row of a frame for a pixel type; 0 for an unknown type.
inline std::size_t RowBytes(std::uint8_t pixelType, std::size_t width) {
  switch (pixelType) {
    case kPixel8: return width;
    case kPixel16: return 2 * width;
    case kPixel24: return 3 * width;
    case kPixel32: return 4 * width;
    case kPixel1: return (width + 7) / 8;
    case kPixel4: return (width + 1) / 2;
    default: return 0;
  }
}

inline int BitCount(std::uint8_t pixelType) {
  switch (pixelType) {
    case kPixel16: return 16;
    case kPixel24: return 24;
    case kPixel32: return 32;
    case kPixel1: return 1;
    case kPixel4: return 4;
    default: return 8;
  }
}

// The pixel type of a bit count; false for a count the format cannot hold.
inline bool PixelType(int bitCount, std::uint8_t& type) {
  switch (bitCount) {
    case 8: type = kPixel8; return true;
    case 16: type = kPixel16; return true;
    case 24: type = kPixel24; return true;
    case 32: type = kPixel32; return true;
    case 1: type = kPixel1; return true;
    case 4: type = kPixel4; return true;
    default: return false;
  }
}

}  // namespace tessaran::anm
