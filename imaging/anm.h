// ".ANM" large-page-file animations: the writer the renderer records an
// animation with, and the reader the player plays it with. Frames cross this
// interface as the pixel bytes of a virtual image (bottom-up lines of the
// image's stride) of the animation's size and depth.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "imaging/anm_format.h"
#include "storage/virtim.h"

namespace tessaran {

// Messages of the ".ANM" reader and writer.
enum AnmMessage {
  kMsgAnmReadHeader = 161,     // "Fichier ANM: Impossible de lire LHR."
  kMsgAnmWriteHeader = 162,    // "Fichier ANM: Impossible d'écrire LHR."
  kMsgAnmUnknown = 163,        // "Fichier ANM non reconnu."
  kMsgAnmReadTable = 164,      // "Fichier ANM: Impossible de lire LPFTABLE."
  kMsgAnmWriteTable = 165,     // "Fichier ANM: Impossible d'écrire LPFTABLE."
  kMsgAnmStopCode = 166,       // "Fichier ANM: Mauvais STOP CODE"
  kMsgAnmDeltaTooLarge = 167,  // "Delta trop important, compression impossible."
  kMsgAnmWriteRecord = 168,    // "Fichier ANM: Ecriture enregistrement courant impossible."
  kMsgAnmReadPageHeader = 169, // "Fichier ANM: Impossible de lire LPHF."
  kMsgAnmSeekPage = 171,       // "Fichier ANM: SEEK next lp impossible."
  kMsgAnmReadRecord = 261,     // "Fichier ANM: Lecture enregistrement courant impossible."
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// An animation being written. It is written under a temporary name in the
// destination folder and takes its name only when AnmClose succeeds, so a
// failed recording never replaces a good file.
struct AnmWriter {
  AnmWriter() = default;
  AnmWriter(const AnmWriter&) = delete;
  AnmWriter& operator=(const AnmWriter&) = delete;
  ~AnmWriter();  // an animation never closed leaves nothing behind

  FileHandle file;
  std::filesystem::path target;
  std::filesystem::path temporary;
  bool failed = false;
  anm::Header header;
  std::array<anm::PageDescriptor, anm::kMaxPages> table{};
  std::size_t stride = 0;    // bytes per line of the caller's frames
  std::size_t rowBytes = 0;  // bytes per line in the file
  std::size_t frameBytes = 0;
  // The page being filled.
  std::size_t page = 0;
  anm::PageHeader pageHeader;
  std::vector<std::uint16_t> recordSizes;
  std::vector<std::uint8_t> pageData;
  // Frames in the file's layout: the last one recorded and the first.
  std::vector<std::uint8_t> previous;
  std::vector<std::uint8_t> first;
  std::vector<std::uint8_t> current;
  std::vector<std::uint8_t> work;  // one encoded record
};

// Creates the animation for frames of `dib`'s size and depth, with `dib`'s
// palette (none: 256 black entries). 1 on success, 0 after a message.
int AnmOpen(AnmWriter& anm, const std::filesystem::path& file, const VirtIm& dib,
            bool withPalette = true);
// Encodes a frame (pixels of a virtual image) against the last one recorded
// and appends its record. 1 on success; 0 when the frame was given up (after
// message 167) or the writer has failed.
int AnmAddFrame(AnmWriter& anm, const std::uint8_t* pixels);
// Appends the last delta (last frame back to the first), writes the page,
// header and page table, and gives the file its name. 1 on success.
int AnmClose(AnmWriter& anm);

// An animation being played.
struct AnmReader {
  FileHandle file;
  anm::Header header;
  std::array<anm::PageDescriptor, anm::kMaxPages> table{};
  std::size_t firstPageOffset = anm::kFirstPageOffset;
  std::size_t rowBytes = 0;
  std::size_t stride = 0;
  std::size_t frameBytes = 0;
  int bitCount = 8;
  std::uint32_t record = 0;  // the next record in play order
  int loops = 0;             // times the play went round
  std::uint32_t firstRecordPieces = 1;  // records the first frame takes
  int loadedPage = -1;
  anm::PageHeader pageHeader;
  std::vector<std::uint16_t> recordSizes;
  std::vector<std::uint8_t> pageData;  // the loaded page's record bytes
  std::vector<std::uint8_t> frame;     // the frame in the file's layout
  std::vector<std::uint8_t> gathered;  // a record continued over pages
};

// Opens an animation for playing: palette into `palette` (256 × blue, green,
// red, 0; may be null), size and bits per pixel out. 1 on success, 0 after a
// message.
int AnmOpenRead(AnmReader& anm, const std::filesystem::path& file, std::uint8_t* palette,
                int& width, int& height, int& bitCount);

// Moves to the next record in play order, decodes it onto the animation's
// frame and, when `destination` is given, copies the frame there as the
// pixels of a virtual image. Returns the record number, −1 after a message
// when the record cannot be read.
int lpfTab(AnmReader& anm, std::uint8_t* destination);

// The records the file holds whole, counted over its pages in use: a file
// cut short holds fewer than its header counts.
std::uint32_t AnmRecordsHeld(const AnmReader& anm);

}  // namespace tessaran
