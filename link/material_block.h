// The material the modeler pokes to the renderer on item "Q1VOIR": a
// 504-byte little-endian block (the 24-byte material record, then the
// colour, bump and opacity map descriptors of 160 bytes), or its short
// form of fewer bytes: the record and at most a 50-byte colour map name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaran::link {

constexpr std::size_t kMaterialBlockSize = 504;
constexpr std::size_t kMaterialRecordSize = 24;
constexpr std::size_t kMapDescriptorSize = 160;
constexpr std::size_t kMapNameSize = 152;
constexpr std::size_t kShortMapNameSize = 50;

struct MapDescriptor {
  std::int32_t inUse = 0;
  std::int32_t repetition = 1001;  // repX × 1000 + repY
  std::string name;                // empty: no map
  int RepX() const { return repetition / 1000; }
  int RepY() const { return repetition % 1000; }
};

struct MaterialBlock {
  // The 24-byte record as poked: the bytes the renderer does not read are
  // carried through.
  std::array<std::uint8_t, kMaterialRecordSize> record{};
  std::array<MapDescriptor, 3> maps;  // colour, bump, opacity
  bool hasMaps = false;               // some map name is given

  std::uint16_t Col() const { return static_cast<std::uint16_t>(record[8] | record[9] << 8); }
  std::uint8_t Reflection() const { return record[10]; }
  std::uint8_t Transmission() const { return record[11]; }
  std::uint8_t Refraction() const { return record[12]; }
  std::uint8_t KSpec() const { return record[13]; }
  std::uint8_t NSpec() const { return record[22]; }
};

// The modeler's colour word: red 8 bits up, green 4, blue (0 … 15 each).
std::uint16_t ColourWord(int red, int green, int blue);

// A block from the material's values; `colourMap` empty for none.
MaterialBlock MakeMaterialBlock(std::uint16_t col, int reflection, int transmission, int refraction, int kSpec,
                                int nSpec, const std::string& colourMap);

// Reads a poke: the whole block from 504 bytes or more, the short form from
// 24 to 503. Fewer than 24 bytes hold no material: false.
bool ParseMaterialBlock(const std::vector<std::uint8_t>& data, MaterialBlock& block);

// The 504 bytes of the block.
std::vector<std::uint8_t> EncodeMaterialBlock(const MaterialBlock& block);

}  // namespace tessaran::link
