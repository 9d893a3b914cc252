// Feeds arbitrary bytes as a picture file to LoadPicture, which chooses the
// reader by the extension: the bytes' own signature picks the extension
// (IFF, BMP, PCX, PPM, else Targa), so mutations of each sample stay with
// their reader. Each input is read header-only, then into a created slot,
// into the main image (straight or staged and stretched, with a
// transparent key) or into a pixel sink.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "imaging/picture.h"
#include "fuzz/fuzz_support.h"
#include "storage/virtim.h"

namespace {

// Pictures are held to 64 MiB, so an absurd size is refused at once.
std::uint64_t FuzzMemory() { return std::uint64_t(64) << 20; }

const char* ExtensionFor(const std::uint8_t* data, std::size_t size) {
  if (size >= 4 && std::memcmp(data, "FORM", 4) == 0) return size % 2 ? ".LBM" : ".I24";
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ".BMP";
  if (size >= 2 && data[0] == 'P' && data[1] == '6') return "";
  if (size >= 1 && data[0] == 10) return ".PCX";
  return ".TGA";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  tessaran::SetVimMemoryForTesting(FuzzMemory);
  const auto file = tessaran::fuzzing::InputFile(std::string("PICT") + ExtensionFor(data, size), data, size);

  std::uint32_t sum = 0;
  const tessaran::PixelSink sink = [&sum](std::uint32_t x, std::uint32_t y, std::uint32_t rgb) {
    sum += x ^ y ^ rgb;
  };
  tessaran::PictureHeader header;
  tessaran::LoadPicture(file, 5, tessaran::kHeaderOnly, &header, 0);
  switch (size % 4) {
    case 0:
      tessaran::LoadPicture(file, 5, tessaran::kOpaqueLoad, &header, 0);
      break;
    case 1:
      // A main image of one of the sample sizes: some pictures go straight
      // in, the others are staged and stretched.
      tessaran::VimCreate(0, 40, 30, size % 8 == 1 ? 8 : 24);
      tessaran::LoadPicture(file, 0, 0, &header, 0);
      break;
    case 2:
      tessaran::VimFree(0);
      tessaran::LoadPicture(file, 0, tessaran::kOpaqueLoad, &header, 0);
      break;
    default:
      tessaran::LoadPicture(file, -1, 17, &header, 0, &sink);
      break;
  }
  std::filesystem::remove(file);
  for (int slot : {0, 2, 5}) tessaran::VimFree(slot);
  return 0;
}
