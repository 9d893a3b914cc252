#include "link/material_block.h"

#include <algorithm>
#include <cstring>

namespace tessaran::link {
namespace {

std::int32_t GetI32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                   std::uint32_t(p[3]) << 24);
}

void PutI32(std::uint8_t* p, std::int32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

// A NUL-terminated name of at most `size` bytes; one without its NUL ends
// at the field's end.
std::string Name(const std::uint8_t* p, std::size_t size) {
  const std::uint8_t* end = std::find(p, p + size, std::uint8_t{0});
  return std::string(p, end);
}

}  // namespace

std::uint16_t ColourWord(int red, int green, int blue) {
  return static_cast<std::uint16_t>(red << 8 | green << 4 | blue);
}

MaterialBlock MakeMaterialBlock(std::uint16_t col, int reflection, int transmission, int refraction, int kSpec,
                                int nSpec, const std::string& colourMap) {
  MaterialBlock block;
  block.record[8] = static_cast<std::uint8_t>(col);
  block.record[9] = static_cast<std::uint8_t>(col >> 8);
  block.record[10] = static_cast<std::uint8_t>(reflection);
  block.record[11] = static_cast<std::uint8_t>(transmission);
  block.record[12] = static_cast<std::uint8_t>(refraction);
  block.record[13] = static_cast<std::uint8_t>(kSpec);
  block.record[22] = static_cast<std::uint8_t>(nSpec);
  if (!colourMap.empty()) {
    block.maps[0] = {1, 1001, colourMap.substr(0, kMapNameSize - 1)};
    block.hasMaps = true;
  }
  return block;
}

bool ParseMaterialBlock(const std::vector<std::uint8_t>& data, MaterialBlock& block) {
  if (data.size() < kMaterialRecordSize) return false;
  block = MaterialBlock{};
  std::copy_n(data.begin(), kMaterialRecordSize, block.record.begin());
  if (data.size() >= kMaterialBlockSize) {
    for (std::size_t m = 0; m < 3; ++m) {
      const std::uint8_t* d = data.data() + kMaterialRecordSize + m * kMapDescriptorSize;
      block.maps[m] = {GetI32(d), GetI32(d + 4), Name(d + 8, kMapNameSize)};
      block.hasMaps = block.hasMaps || !block.maps[m].name.empty();
    }
    return true;
  }
  // The short form: a colour map repeated once each way, when named.
  const std::size_t nameBytes = std::min(data.size() - kMaterialRecordSize, kShortMapNameSize);
  const std::string name = Name(data.data() + kMaterialRecordSize, nameBytes);
  if (!name.empty()) {
    block.maps[0] = {1, 1001, name};
    block.hasMaps = true;
  }
  return true;
}

std::vector<std::uint8_t> EncodeMaterialBlock(const MaterialBlock& block) {
  std::vector<std::uint8_t> data(kMaterialBlockSize, 0);
  std::copy(block.record.begin(), block.record.end(), data.begin());
  for (std::size_t m = 0; m < 3; ++m) {
    std::uint8_t* d = data.data() + kMaterialRecordSize + m * kMapDescriptorSize;
    PutI32(d, block.maps[m].inUse);
    PutI32(d + 4, block.maps[m].repetition);
    const std::string& name = block.maps[m].name;
    std::memcpy(d + 8, name.data(), std::min(name.size(), kMapNameSize - 1));
  }
  return data;
}

}  // namespace tessaran::link
