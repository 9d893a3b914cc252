// What the end-to-end tests under Xvfb share: whether the tools are
// installed, a window capture as ImageMagick writes it, and finding a
// picture in it.
#pragma once

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tessaran {

inline bool OnPath(const char* program) {
  return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool XvfbToolsInstalled() { return OnPath("xvfb-run") && OnPath("xdotool") && OnPath("import"); }

// A binary PPM ("P6", 8-bit), as `import -depth 8` writes a capture.
inline QImage ReadCapture(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0) return {};
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) in.read(reinterpret_cast<char*>(image.scanLine(y)), width * 3);
  return in ? image : QImage();
}

// Whether the picture lies 1:1 at the capture's left edge, at most
// `maxTop` rows down (under a menu bar).
inline bool ShowsAtLeftEdge(const QImage& capture, const QImage& picture, int maxTop) {
  for (int top = 0; top + picture.height() <= capture.height() && top <= maxTop; ++top) {
    if (capture.copy(0, top, picture.width(), picture.height()) == picture) return true;
  }
  return false;
}

}  // namespace tessaran
