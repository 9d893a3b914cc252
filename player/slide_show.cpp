#include "player/slide_show.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/console.h"

namespace tessaran::player {

bool SlideShowReader::Open(const std::filesystem::path& file) {
  Close();
  in_.open(file);
  folder_ = file.parent_path();
  return in_.is_open();
}

void SlideShowReader::Close() {
  if (in_.is_open()) in_.close();
  in_.clear();
}

SlideRead SlideShowReader::Next(SlideEntry& entry) {
  if (!in_.is_open()) return SlideRead::EndOfFile;
  bool rewound = false;
  std::string line;
  for (;;) {
    if (!std::getline(in_, line)) return SlideRead::EndOfFile;
    if (line.size() > kSlideLineLength) line.resize(kSlideLineLength);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("BOUCLE", 0) == 0) {
      if (rewound) return SlideRead::EndOfFile;
      rewound = true;
      in_.clear();
      in_.seekg(0);
      continue;
    }
    if (line.rfind("FIN", 0) == 0) return SlideRead::Finished;
    std::vector<char> name(line.size() + 1, '\0');
    int seconds = 0;
    if (std::sscanf(line.c_str(), "%s %d", name.data(), &seconds) != 2) {
      Trace("Erreur de sscanf\n");
      continue;
    }
    std::string text = name.data();
    std::replace(text.begin(), text.end(), '\\', '/');
    entry.file = std::filesystem::path(text).is_absolute() ? std::filesystem::path(text) : folder_ / text;
    entry.seconds = seconds;
    return SlideRead::Entry;
  }
}

}  // namespace tessaran::player
