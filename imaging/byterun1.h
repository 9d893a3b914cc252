// ByteRun1: the run-length code of ILBM plane rows (and the chunky rows of
// PBM pictures). A control byte n < 128 is followed by n + 1 literal bytes,
// n > 128 by one byte repeated 257 − n times; 128 is no operation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/bytes.h"

namespace tessaran {

// Packs one row of `length` bytes and appends the packets to `out`. Each
// packet looks at most 128 bytes ahead; two equal bytes start a replicate
// packet, a literal packet keeps pairs of equal bytes and stops before three
// equal bytes or before a pair that ends the row.
void ByteRun1Pack(const std::uint8_t* row, std::size_t length, Bytes& out);

// Unpacks one row of `length` bytes from `stream`, starting at `position`
// and advancing it. A packet that passes the row's end has its excess
// dropped. False when the stream ends first; the rest of the row is zero.
bool ByteRun1Unpack(ByteSpan stream, std::size_t& position, std::uint8_t* row, std::size_t length);

}  // namespace tessaran
