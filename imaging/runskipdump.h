// RunSkipDump: the byte delta code of ".ANM" records. A stream turns one
// frame into the next with dumps (literal bytes), runs (one byte repeated)
// and skips (bytes left as they were), and ends with 0x80 0x00 0x00.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaran {

// Encodes `frame` against `previous` (both `length` bytes, in lines of
// `lineBytes`) into `out`. The first frame of a file is encoded against an
// all-zero frame with skips not allowed; every later one with skips allowed.
// Returns the stream length, or 0 when the stream would come within 7 bytes
// of `limit`.
std::size_t RunSkipDumpEncode(const std::uint8_t* previous, const std::uint8_t* frame,
                              std::size_t length, std::size_t lineBytes, bool skipsAllowed,
                              std::uint8_t* out, std::size_t limit);

struct RunSkipDumpResult {
  bool ok = false;          // the end code was reached inside the stream and the frame
  std::size_t passed = 0;   // destination bytes passed over
};

// Applies one stream (at most `streamLength` bytes) to `frame` (`length`
// bytes). Nothing is written outside the frame: an operation that would pass
// its end, or a stream that ends without the end code, stops the decoding
// and gives ok = false.
RunSkipDumpResult RunSkipDumpDecode(const std::uint8_t* stream, std::size_t streamLength,
                                    std::uint8_t* frame, std::size_t length);

}  // namespace tessaran
