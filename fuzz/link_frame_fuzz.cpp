// Feeds arbitrary bytes to the link's frame reader as a peer's stream, cut
// where the first byte says, and re-encodes every frame it accepts.
#include <cstdint>
#include <cstdlib>

#include "link/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaran::link;
  if (size == 0) return 0;
  const std::size_t cut = data[0] % (size);
  FrameReader reader;
  reader.Append(data + 1, cut);
  Frame frame;
  auto drain = [&] {
    FrameReader::Result result;
    while ((result = reader.Next(frame)) == FrameReader::Result::Frame) {
      // What was read is written back to the same bytes' meaning.
      const std::vector<std::uint8_t> bytes = EncodeFrame(frame);
      if (bytes.empty()) std::abort();
      const std::optional<Frame> again = DecodeFrame(bytes.data() + 4, bytes.size() - 4);
      if (!again || !(*again == frame)) std::abort();
    }
  };
  drain();
  if (size > cut + 1) reader.Append(data + 1 + cut, size - 1 - cut);
  drain();
  return 0;
}
