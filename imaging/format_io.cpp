#include "imaging/format_io.h"

#include <unistd.h>

#include <atomic>
#include <system_error>

#include "platform/console.h"

namespace tessaran {

bool ReadPictureFile(const std::filesystem::path& path, Bytes& bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || !ReadWholeFile(path, bytes)) {
    ShowMessage(MessageKind::Warning, kMsgOpenError, path.string().c_str());
    return false;
  }
  return true;
}

bool WritePictureFile(const std::filesystem::path& file, ByteSpan bytes, int failureMessage) {
  std::string reason;
  const WriteStep step = WriteFileReplacing(file, bytes, &reason);
  if (step == WriteStep::Done) return true;
  Trace("Ecriture [%s] : %s\n", file.string().c_str(), reason.c_str());
  ReportWriteFailure(file, step, failureMessage);
  return false;
}

std::filesystem::path TemporaryOutputName(const std::filesystem::path& file) {
  static std::atomic<unsigned> recordings{0};
  std::filesystem::path temporary = file;
  temporary += "." + std::to_string(getpid()) + "-" + std::to_string(++recordings) + ".tmp~";
  return temporary;
}

void ReportWriteFailure(const std::filesystem::path& file, WriteStep step, int failureMessage) {
  if (step == WriteStep::Write) {
    Reporter().Report(MessageKind::Error, kMsgDiskFull, MessageText(kMsgDiskFull) + " [" + file.string() + "]");
  } else {
    ShowMessage(MessageKind::Warning, failureMessage, file.string().c_str());
  }
}

std::filesystem::path OutputName(const std::filesystem::path& baseName, int frame,
                                 std::string_view extension) {
  return MakeOutputName(baseName.string(), frame, extension);
}

bool TargetTakesTrueColour(PictureTarget& target) {
  const VirtIm* image = target.Image();
  if (image == nullptr || image->bytesPerPixel == 3) return true;
  ShowMessage(MessageKind::Error, kMsgNot24Bits);
  return false;
}

const VirtIm* TrueColourSource(int slot) {
  if (slot >= 0 && slot < kVirtImSlots) {
    const VirtIm& image = VimSlot(slot);
    if (!image.Empty() && image.bytesPerPixel == 3) return &image;
  }
  ShowMessage(MessageKind::Error, kMsgNot24Bits);
  return nullptr;
}

bool FileHoldsPicture(const std::filesystem::path& path, std::uint64_t needed,
                      std::uint64_t available) {
  if (needed <= available) return true;
  ReportTruncated(path, MessageKind::Error);
  return false;
}

void ReportTruncated(const std::filesystem::path& path, MessageKind kind) {
  ShowMessage(kind, kMsgTruncated, path.filename().string().c_str());
}

}  // namespace tessaran
