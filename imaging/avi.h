// AVI animations: the writer the renderer records uncompressed frames with
// (15 frames per second, with an index), and the reader the player plays
// uncompressed, RLE8 and RLE4 files with. Frames cross this interface as the
// pixel bytes of a virtual image: bottom line first, lines of the bitmap's
// stride (width × bits rounded up to a multiple of 4 bytes).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/avi_format.h"
#include "imaging/riff.h"
#include "storage/virtim.h"

namespace tessaran {

enum AviMessage {
  kMsgAviCompression = 321,  // unknown AVI compression
};

struct AviIndexEntry {
  std::uint64_t offset = 0;  // of the frame chunk's header
  std::uint32_t size = 0;    // of its data
};

// An animation being written, under a temporary name in the destination
// folder until AviClose gives it its name.
struct AviWriter {
  AviWriter() = default;
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;
  ~AviWriter();  // a file never closed leaves nothing behind

  RiffFile riff;
  std::filesystem::path target;
  std::filesystem::path temporary;
  RiffChunk form;
  RiffChunk movi;
  std::uint64_t totalFramesAt = 0;  // offsets of the frame counts in the headers
  std::uint64_t lengthAt = 0;
  std::uint32_t announced = 0;
  std::uint32_t sizeImage = 0;
  std::vector<AviIndexEntry> index;
  bool failed = false;
};

// Creates the file for `frames` frames of `dib`'s size, depth and palette.
// 1 when the file is created and its headers written, 0 otherwise.
int AviCreate(AviWriter& avi, const std::filesystem::path& file, int frames, const VirtIm& dib);
// Appends a frame (the pixels of a virtual image of the animation's size).
// 1; 0 for no pixels or a write failure.
int AviAddFrame(AviWriter& avi, const std::uint8_t* pixels);
// Writes the index, closes the form and gives the file its name. 1 on success.
int AviClose(AviWriter& avi);

// An animation being played.
struct AviReader {
  RiffFile riff;
  std::string chunkId;  // "%02ddb" or "%02ddc" with the video stream's number
  avi::BitmapHeader format;
  std::vector<std::uint8_t> palette;  // 256 × (blue, green, red, 0)
  std::uint32_t totalFrames = 0;
  bool grouped = false;  // frames lie in "rec " lists
  std::vector<AviIndexEntry> index;
  int position = -1;     // the next frame; −1 when no frame can be read
  std::size_t stride = 0;
  std::vector<std::uint8_t> data;   // one frame chunk
  std::vector<std::uint8_t> frame;  // the present frame of an RLE stream
};

// Opens an animation: its palette into `palette` (256 × blue, green, red, 0;
// may be null), size and bits per pixel out. 1 when a video stream of a
// supported format was found.
int AviOpen(AviReader& avi, const std::filesystem::path& file, std::uint8_t* palette, int& width,
            int& height, int& bitCount);
// Reads the next frame into `destination` (when `read` is set) and moves on,
// back to the first frame after the last. The size of the frame's chunk, 0
// when no frame can be read.
std::size_t AviNextFrame(AviReader& avi, std::uint8_t* destination, bool read = true);

}  // namespace tessaran
