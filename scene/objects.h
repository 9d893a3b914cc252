// Objects of the scene: the object table of ten signed 32-bit words per
// object and the tables kept in parallel with it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scene/growth.h"

namespace tessaran {

// The colour word of a faceted object when it is created: grey, with
// rendering-mode bit 15.
constexpr std::int32_t kFacetedObjectCol = 36044;

// One object: word 0 and word 1 are the mesh sizes (word0 × word1 points
// stored row after row), word 2 the 1-based index of its first point, word 3
// `Col`, words 4-6 attribute words, words 7-9 the material bytes.
struct ObjectRecord {
  std::array<std::int32_t, 10> word{};

  int MeshU() const { return word[0]; }
  int MeshV() const { return word[1]; }
  int FirstPoint() const { return word[2]; }
  void SetMesh(int u, int v) { word[0] = u; word[1] = v; }
  void SetFirstPoint(int index) { word[2] = index; }

  // Bits 0-11 the 12-bit RGB colour, bits 14 and up the rendering mode.
  std::int32_t Col() const { return word[3]; }
  void SetCol(std::int32_t col) { word[3] = col; }
  int RenderingMode() const { return word[3] >> 14; }
  // Changing the mode keeps bits 0-13.
  void SetRenderingMode(int mode) { word[3] = (word[3] & 0x3FFF) | (mode << 14); }

  int Reflection() const { return Byte(7, 0); }
  int Transmission() const { return Byte(7, 1); }
  int Refraction() const { return Byte(8, 0); }
  int KSpec() const { return Byte(8, 1); }
  int NSpec() const { return Byte(9, 0); }
  void SetReflection(int value) { SetByte(7, 0, value); }
  void SetTransmission(int value) { SetByte(7, 1, value); }
  void SetRefraction(int value) { SetByte(8, 0, value); }
  void SetKSpec(int value) { SetByte(8, 1, value); }
  void SetNSpec(int value) { SetByte(9, 0, value); }

 private:
  int Byte(int w, int b) const { return (static_cast<std::uint32_t>(word[w]) >> (8 * b)) & 0xFF; }
  void SetByte(int w, int b, int value) {
    const std::uint32_t mask = 0xFFu << (8 * b);
    const auto bits = (static_cast<std::uint32_t>(value) & 0xFFu) << (8 * b);
    word[w] = static_cast<std::int32_t>((static_cast<std::uint32_t>(word[w]) & ~mask) | bits);
  }
};

// Selection (1 = selected; operations act on the selected objects) and
// face-group number (0 = a plain mesh, n > 0 = faceted, using entry n).
struct ObjectState {
  std::int16_t selection = 0;
  std::int16_t faceGroup = 0;
};

// The eight corners of an object's box in its own frame; corner c lies at
// the maximum of x when bit 0 of c is set, of y for bit 1, of z for bit 2.
using BoundingBox = std::array<std::array<std::int32_t, 3>, 8>;

// The faces of one faceted object in the face table.
struct FaceGroup {
  std::int16_t faceCount = 0;
  std::int32_t pointCount = 0;  // points the faces use, 3 per triangle
  std::int32_t firstFace = 0;   // 0-based index in the face table
};

// The object table and its parallel tables, sized with the object capacity
// (the object table holds one record more, for the closing entry).
struct ObjectTables {
  std::vector<ObjectRecord> records;
  std::vector<ObjectState> states;
  std::vector<BoundingBox> boxes;
  std::vector<FaceGroup> faceGroups;  // entry g (1-based) at index g - 1

  // Resizes every table for n objects keeping contents. Returns 0, or 1
  // (object table), 2 (states or boxes) or 3 (face groups) with every
  // table back at its old size.
  int Resize(int n, const GrowthGate& gate);
};

// The box from the lowest to the highest coordinates, widened to whole
// units so that it encloses them.
BoundingBox BoxFromExtent(const std::array<float, 3>& low, const std::array<float, 3>& high);

}  // namespace tessaran
