// The slide-show file (".SHW"), read one entry at a time: each line names a
// file and the seconds it stays ("%s %d"); a line beginning with "BOUCLE"
// goes back to the first line, one beginning with "FIN" ends the show.
// Relative names are taken from the folder of the show file.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace tessaran::player {

// Lines are read up to this many characters; the rest of a longer line is
// dropped rather than read as the next line.
constexpr std::size_t kSlideLineLength = 255;

struct SlideEntry {
  std::filesystem::path file;
  int seconds = 0;
};

enum class SlideRead {
  Entry,     // the next entry
  EndOfFile, // the file ended without "FIN" (the show stops with message 223)
  Finished,  // "FIN"
};

class SlideShowReader {
 public:
  // False when the file cannot be opened.
  bool Open(const std::filesystem::path& file);
  void Close();
  bool IsOpen() const { return in_.is_open(); }

  // The next entry. Lines that are not an entry are skipped (traced); a
  // file whose "BOUCLE" comes back to itself without a single entry on the
  // way ends as at the end of the file instead of looping for ever.
  SlideRead Next(SlideEntry& entry);

 private:
  std::ifstream in_;
  std::filesystem::path folder_;
};

}  // namespace tessaran::player
