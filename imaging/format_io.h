// What the TGA, PCX, BMP, raw RGB and PPM readers and writers share beyond
// the picture loader's target: reading a picture file whole, replacing an
// output file in one step, and the messages they have in common.
#pragma once

#include <cstdint>
#include <filesystem>
#include <new>
#include <string>

#include "imaging/picture.h"
#include "platform/bytes.h"
#include "platform/report.h"

namespace tessaran {

enum FormatMessage {
  kMsgDiskFull = 25,    // "Le disque est plein"
  kMsgNot24Bits = 258,  // "Erreur VIRTIM NON 24 BITS"
  kMsgTruncated = 230,  // "Fichier [%s] incomplet : la fin de l'image manque."
};

// Reads a whole picture file. Shows message 208 with the file name and
// answers false when it cannot be read.
bool ReadPictureFile(const std::filesystem::path& path, Bytes& bytes);

// Replaces `file` with `bytes` in one step (temporary name, then rename), so
// a failure never leaves a half-written picture. Answers false on failure
// after ReportWriteFailure.
bool WritePictureFile(const std::filesystem::path& file, ByteSpan bytes, int failureMessage);

// The name an animation is recorded under until it is whole: `file` with the
// process number and a count of this process's recordings, so that two
// recordings of one file, in one process or two, never share it.
std::filesystem::path TemporaryOutputName(const std::filesystem::path& file);

// Tells why `file` was not written: data that did not go onto the disk is a
// full disk (message 25, with the file's name); a file that could not be
// created or put in place gets `failureMessage` with its name.
void ReportWriteFailure(const std::filesystem::path& file, WriteStep step, int failureMessage);

// The output name of a writer as a path.
std::filesystem::path OutputName(const std::filesystem::path& baseName, int frame,
                                 std::string_view extension);

// True-colour pixels go only into a 24-bit image: answers false after
// message 258 when the target's image holds palette indices.
bool TargetTakesTrueColour(PictureTarget& target);

// The 24-bit virtual image a writer drains: null after message 258 when the
// slot is empty, out of range or not 24-bit.
const VirtIm* TrueColourSource(int slot);

// Bytes a picture needs at least, compared with what the file holds: when
// the file is shorter, message 230 with the file name and false. Guards
// every allocation made from sizes read in a header.
bool FileHoldsPicture(const std::filesystem::path& path, std::uint64_t needed,
                      std::uint64_t available);

// Reports a picture whose data ended before its last line (message 230):
// a warning when the lines decoded so far are kept.
void ReportTruncated(const std::filesystem::path& path, MessageKind kind = MessageKind::Warning);

// Runs the work of a reader or writer. A memory shortage shows `message`
// (252 when reading, 246 when writing) and gives `failure`.
template <class Work>
int GuardMemory(int message, int failure, Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    ShowMessage(MessageKind::Error, message);
    return failure;
  }
}

}  // namespace tessaran
