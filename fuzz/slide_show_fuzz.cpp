// Feeds arbitrary bytes to the slide-show reader as a ".SHW" file: each
// read must come back (an entry, "FIN" or the end of the file) without
// looping for ever over lines that are no entry.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "player/slide_show.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  const auto file = tessaran::fuzzing::ScratchFolder() / "SHOW.SHW";
  if (!tessaran::WriteFileAtomically(file, tessaran::ByteSpan(reinterpret_cast<const std::byte*>(data), size))) return 0;
  tessaran::player::SlideShowReader reader;
  if (!reader.Open(file)) return 0;
  tessaran::player::SlideEntry entry;
  // A show that loops gives entries for ever: a few rounds of reads will do.
  for (std::size_t read = 0; read <= size + 2; ++read) {
    if (reader.Next(entry) != tessaran::player::SlideRead::Entry) return 0;
  }
  return 0;
}
