// Helpers of the animation and colour-reduction tests: frames drawn into
// virtual images, frames seen as RGB pictures, SHA-256 of decoded frames (the
// shared samples list them), and FFmpeg's decoding of a file.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/tests/format_support.h"
#include "imaging/testing/picture_support.h"
#include "storage/virtim.h"

namespace tessaran::testing_support {

// An 8-bit frame: a diagonal band moving with `frame` over a field whose
// neighbouring bytes always differ, so every coding path is used.
inline void DrawAnimationFrame(int slot, int width, int height, int frame) {
  if (VimSlot(slot).Empty() || VimSlot(slot).bytesPerPixel != 1 || VimSlot(slot).width != std::uint32_t(width) ||
      VimSlot(slot).height != std::uint32_t(height))
    VimCreate(slot, width, height, 8);
  VirtIm& image = VimSlot(slot);
  for (int i = 0; i < 256; ++i)
    image.SetPaletteColour(i, std::uint32_t(i) << 16 | std::uint32_t(255 - i) << 8 | std::uint32_t(i * 7 & 255));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* line = image.Line(std::uint32_t(y));
    for (int x = 0; x < width; ++x) {
      int band = (x + y + 3 * frame) % 40;
      line[x] = band < 10 ? std::uint8_t(200 + frame) : std::uint8_t((x * 3 + y * 5) % 97 + (y % 4 < 2 ? 1 : 99));
    }
  }
}

// The frame's pixels (top line first) through its palette (256 × blue,
// green, red, 0).
inline RgbPicture PaletteFrame(const std::uint8_t* pixels, int width, int height, std::size_t stride,
                               const std::uint8_t* palette) {
  RgbPicture picture;
  picture.width = std::uint32_t(width);
  picture.height = std::uint32_t(height);
  picture.rgb.resize(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* line = pixels + std::size_t(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* entry = palette + 4 * line[x];
      picture.rgb[std::size_t(y) * width + x] =
          std::uint32_t(entry[2]) << 16 | std::uint32_t(entry[1]) << 8 | entry[0];
    }
  }
  return picture;
}

// The frame of a 24-bit bottom-up bitmap.
inline RgbPicture TrueColourFrame(const std::uint8_t* pixels, int width, int height, std::size_t stride) {
  RgbPicture picture;
  picture.width = std::uint32_t(width);
  picture.height = std::uint32_t(height);
  picture.rgb.resize(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* line = pixels + std::size_t(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x)
      picture.rgb[std::size_t(y) * width + x] =
          std::uint32_t(line[3 * x + 2]) << 16 | std::uint32_t(line[3 * x + 1]) << 8 | line[3 * x];
  }
  return picture;
}

inline bool SamePicture(const RgbPicture& a, const RgbPicture& b) {
  return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

// SHA-256 as hexadecimal.
inline std::string Sha256(const std::uint8_t* data, std::size_t size) {
  static const std::uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::vector<std::uint8_t> m(data, data + size);
  m.push_back(0x80);
  while (m.size() % 64 != 56) m.push_back(0);
  std::uint64_t bits = std::uint64_t(size) * 8;
  for (int i = 7; i >= 0; --i) m.push_back(std::uint8_t(bits >> (8 * i)));
  auto rotr = [](std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (std::size_t block = 0; block < m.size(); block += 64) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = std::uint32_t(m[block + 4 * i]) << 24 | std::uint32_t(m[block + 4 * i + 1]) << 16 |
             std::uint32_t(m[block + 4 * i + 2]) << 8 | m[block + 4 * i + 3];
    for (int i = 16; i < 64; ++i) {
      std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; ++i) {
      std::uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      hh = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += hh;
  }
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (std::uint32_t v : h)
    for (int s = 28; s >= 0; s -= 4) hex += digits[v >> s & 15];
  return hex;
}

// SHA-256 of a picture's RGB bytes, as the samples' frame lists give them.
inline std::string PictureSha256(const RgbPicture& picture) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(picture.rgb.size() * 3);
  for (std::uint32_t c : picture.rgb) {
    bytes.push_back(std::uint8_t(c >> 16));
    bytes.push_back(std::uint8_t(c >> 8));
    bytes.push_back(std::uint8_t(c));
  }
  return Sha256(bytes.data(), bytes.size());
}

// The hashes of a "*.frames.sha256" list, in order.
inline std::vector<std::string> FrameHashes(const std::filesystem::path& list) {
  Bytes bytes;
  std::vector<std::string> hashes;
  if (!ReadWholeFile(list, bytes)) return hashes;
  std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (end - at >= 64) hashes.push_back(text.substr(at, 64));
    at = end + 1;
  }
  return hashes;
}

// Every frame FFmpeg decodes from `file` (with `format` forced when not
// empty), as pictures; empty when FFmpeg fails.
inline std::vector<RgbPicture> FfmpegFrames(const std::filesystem::path& file, const std::string& format,
                                            const std::string& name) {
  std::vector<RgbPicture> frames;
  std::filesystem::path folder = ScratchFolder(name);
  std::string command = "ffmpeg -v error " + (format.empty() ? "" : "-f " + format + " ") + "-i '" +
                        file.string() + "' -map 0:v:0 -fps_mode passthrough -f image2 -vcodec ppm '" +
                        (folder / "f%03d.ppm").string() + "'";
  if (!RunTool(command)) return frames;
  for (int i = 1;; ++i) {
    char name_[16];
    std::snprintf(name_, sizeof name_, "f%03d.ppm", i);
    if (!std::filesystem::exists(folder / name_)) break;
    frames.push_back(ReadPpmFile(folder / name_));
  }
  return frames;
}

}  // namespace tessaran::testing_support

namespace tessaran::testing_support {

// The standard output of a shell command.
inline std::string ToolOutput(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

// An AVI file made byte by byte, for the cases no tool writes: RLE frames,
// "rec " lists, a video stream after an audio one, no index.
struct HandMadeAvi {
  int width = 0, height = 0, bitCount = 8;
  std::uint32_t compression = 0;
  std::vector<std::uint8_t> palette;  // 4 bytes a colour
  std::vector<std::vector<std::uint8_t>> frames;
  bool audioFirst = false;
  bool recLists = false;
  bool index = true;

  Bytes Build() const {
    Bytes out;
    ByteWriter w(out);
    std::vector<std::size_t> open;
    auto begin = [&](const char* id, const char* type) {
      w.Tag(id);
      open.push_back(w.Size());
      w.U32LE(0);
      if (type) w.Tag(type);
    };
    auto end = [&]() {
      std::size_t at = open.back();
      open.pop_back();
      std::size_t size = w.Size() - at - 4;
      w.PatchU32LE(at, std::uint32_t(size));
      if (size & 1) w.U8(0);
    };
    const char* video = audioFirst ? "01dc" : "00dc";
    begin("RIFF", "AVI ");
    begin("LIST", "hdrl");
    begin("avih", nullptr);
    w.U32LE(66666), w.U32LE(0), w.U32LE(0), w.U32LE(index ? 16 : 0), w.U32LE(std::uint32_t(frames.size()));
    w.U32LE(0), w.U32LE(audioFirst ? 2 : 1), w.U32LE(0), w.U32LE(std::uint32_t(width)), w.U32LE(std::uint32_t(height));
    w.Zeros(16);
    end();
    if (audioFirst) {
      begin("LIST", "strl");
      begin("strh", nullptr);
      w.Tag("auds"), w.Zeros(16), w.U32LE(1), w.U32LE(8000), w.Zeros(28);
      end();
      begin("strf", nullptr);
      w.U16LE(1), w.U16LE(1), w.U32LE(8000), w.U32LE(8000), w.U16LE(1), w.U16LE(8);
      end();
      end();
    }
    begin("LIST", "strl");
    begin("strh", nullptr);
    w.Tag("vids"), w.Zeros(16), w.U32LE(1), w.U32LE(15), w.U32LE(0), w.U32LE(std::uint32_t(frames.size()));
    w.Zeros(12), w.U16LE(0), w.U16LE(0), w.U16LE(std::uint16_t(width)), w.U16LE(std::uint16_t(height));
    end();
    begin("strf", nullptr);
    w.U32LE(40), w.U32LE(std::uint32_t(width)), w.U32LE(std::uint32_t(height)), w.U16LE(1);
    w.U16LE(std::uint16_t(bitCount)), w.U32LE(compression), w.U32LE(0), w.U32LE(0), w.U32LE(0);
    w.U32LE(std::uint32_t(palette.size() / 4)), w.U32LE(0);
    for (std::uint8_t b : palette) w.U8(b);
    end();
    end();
    end();
    begin("LIST", "movi");
    std::size_t movi = w.Size() - 4;
    std::vector<std::uint32_t> offsets;
    for (std::size_t f = 0; f < frames.size(); ++f) {
      if (recLists) begin("LIST", "rec ");
      if (audioFirst) {
        begin("00wb", nullptr);
        w.Zeros(533);
        end();
      }
      offsets.push_back(std::uint32_t(w.Size() - movi));
      begin(video, nullptr);
      for (std::uint8_t b : frames[f]) w.U8(b);
      end();
      if (recLists) end();
    }
    end();
    if (index) {
      begin("idx1", nullptr);
      for (std::size_t f = 0; f < frames.size(); ++f) w.Tag(video), w.U32LE(16), w.U32LE(offsets[f]), w.U32LE(std::uint32_t(frames[f].size()));
      end();
    }
    end();
    return out;
  }
};

}  // namespace tessaran::testing_support
