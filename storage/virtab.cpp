#include "storage/virtab.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/console.h"
#include "platform/report.h"
#include "platform/sysinfo.h"

namespace tessaran {
namespace {

// Warnings of the modeler's message table.
constexpr int kMsgReallocation = 44;     // "Problem in virtual memory allocation"
constexpr int kMsgSupportChanged = 47;   // the support of a table changed
constexpr int kMsgVGetOverflow = 48;     // also the modeler's report of disk access by VGet
constexpr int kMsgSupportInvalid = 49;   // the modeler's report of disk access by VPut
constexpr int kMsgVPutOverflow = 50;

// A platform that answers less than this cannot really measure its memory;
// tables are then sized as if 20000000 bytes were available.
constexpr std::uint64_t kUnmeasuredMemory = 1024;
constexpr std::uint64_t kAssumedMemory = 20000000;

// Another program of the suite may hold the same numbers in the same
// directory; this many names are tried before creation gives up.
constexpr int kNameAttempts = 1000;

constexpr unsigned char kGetShown = 1;
constexpr unsigned char kPutShown = 2;

// The process-wide state of the tables, behind the functions below.
struct Settings {
  std::mutex mutex;
  int fileCounter = 0;  // number of the last temporary file created
  std::filesystem::path directory;
  VirTabLimits limits;
  bool modelerMessages = true;
  int diskFullMessage = 43;
};

Settings& State() {
  static Settings settings;
  return settings;
}

int TakeFileNumber() {
  std::lock_guard lock(State().mutex);
  return ++State().fileCounter;
}

// Closing the last file created frees its number for the next table.
void ReleaseFileNumber(int number) {
  std::lock_guard lock(State().mutex);
  if (number == State().fileCounter) --State().fileCounter;
}

std::filesystem::path TableDirectory() {
  std::lock_guard lock(State().mutex);
  return State().directory.empty() ? TemporaryDirectory() : State().directory;
}

bool ModelerMessages() {
  std::lock_guard lock(State().mutex);
  return State().modelerMessages;
}

void ShowDiskFull() {
  int number;
  {
    std::lock_guard lock(State().mutex);
    number = State().diskFullMessage;
  }
  ShowMessage(MessageKind::Warning, number);
}

std::uint64_t AvailableBytes() {
  std::uint64_t (*measure)();
  {
    std::lock_guard lock(State().mutex);
    measure = State().limits.availableMemory;
  }
  if (measure) return measure();
  const std::uint64_t available = AvailableMemory();
  return available < kUnmeasuredMemory ? kAssumedMemory : available;
}

std::uint64_t FreeBytes(const std::filesystem::path& directory) {
  std::uint64_t (*measure)(const std::filesystem::path&);
  {
    std::lock_guard lock(State().mutex);
    measure = State().limits.freeDiskSpace;
  }
  return measure ? measure(directory) : FreeDiskSpace(directory);
}

bool IsMemory(signed char support) {
  return support == SUP_MEMORY || support == SUP_MEMORY_KEPT;
}

std::int64_t Bytes(int elements, int elementSize) {
  return static_cast<std::int64_t>(elements) * elementSize;
}

std::byte* Element(std::vector<std::byte>& buffer, std::int64_t index, int elementSize) {
  return buffer.data() + index * elementSize;
}

// Creation steps 2 and 3: with little memory one buffer of one element, and
// windows too large for a quarter of the memory per buffer shrink to 10.
void FitBuffersToMemory(std::uint64_t available, int elementSize, int& Nbuf, int& BufSize) {
  if (available < 100ull * elementSize) Nbuf = 0;
  if (Nbuf <= 0) {
    Nbuf = 1;
    BufSize = 1;
    return;
  }
  Nbuf = std::min(Nbuf, 2);
  const std::uint64_t wanted = static_cast<std::uint64_t>(std::max(BufSize, 0)) * elementSize;
  if (available / (4ull * Nbuf) < wanted) BufSize = 10;
}

// The memory kind a selection code asks for (code 3 keeps support 1 on
// re-initialisation), or SUP_INVALID for a code that wants disk only.
signed char MemoryKind(int code, signed char oldSupport) {
  switch (code) {
    case 0:
    case 2: return SUP_MEMORY;
    case 1: return SUP_MEMORY_KEPT;
    case 3: return oldSupport == SUP_MEMORY_KEPT ? SUP_MEMORY_KEPT : SUP_MEMORY;
    default: return SUP_INVALID;
  }
}

signed char ChooseSupport(int code, bool fits, signed char memoryKind) {
  const signed char disk = SUP_DISK;
  const signed char invalid = SUP_INVALID;
  switch (code) {
    case 0:
    case 1: return fits ? memoryKind : disk;
    case 2:
    case 3: return fits ? memoryKind : invalid;
    case 4: return SUP_DISK;
    default: return SUP_INVALID;
  }
}

// Memory support: one buffer holding the whole table. Disk: windows lie
// inside the table, and two windows fit in it side by side; a table too
// short for two windows of one element gets one window.
void ShapeBuffers(signed char support, int count, int& Nbuf, int& BufSize) {
  if (IsMemory(support)) {
    Nbuf = 1;
    BufSize = count;
    return;
  }
  if (support != SUP_DISK) return;
  BufSize = std::min(std::max(BufSize, 1), count);
  if (Nbuf == 2 && count < 2ll * BufSize) BufSize = count / 2;
  if (Nbuf == 2 && BufSize < 1) {
    Nbuf = 1;
    BufSize = count;
  }
}

bool AllocateZeroed(std::vector<std::byte>& block, std::int64_t bytes) {
  try {
    block.assign(static_cast<std::size_t>(bytes), std::byte{0});
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  std::vector<std::byte>().swap(block);
  return false;
}

// Resizes a memory table's block keeping its first bytes; new bytes are zero.
// A refused resize leaves the block as it was.
bool ResizeKeeping(std::vector<std::byte>& block, std::int64_t bytes) {
  try {
    const bool shrinks = static_cast<std::size_t>(bytes) < block.size();
    block.resize(static_cast<std::size_t>(bytes), std::byte{0});
    if (shrinks) block.shrink_to_fit();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return false;
}

// The buffers of a new descriptor: zeroed, buffer 0 at the start of the
// table and buffer 1 at its end.
bool AllocateBuffers(VTH& t) {
  for (int b = 0; b < t.Nbuf; ++b) {
    if (!AllocateZeroed(t.VBuf[b], Bytes(t.BufSize, t.elementSize))) return false;
    t.clean[b] = 1;
  }
  t.VOffs[0] = 0;
  t.VOffs[1] = t.Nbuf == 2 ? t.count - t.BufSize : 0;
  return true;
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool WriteZeros(std::FILE* file, std::int64_t bytes) {
  static const std::byte zeros[64 * 1024] = {};
  while (bytes > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(bytes, sizeof zeros));
    if (std::fwrite(zeros, 1, chunk, file) != chunk) return false;
    bytes -= static_cast<std::int64_t>(chunk);
  }
  return std::fflush(file) == 0;
}

void TruncateTo(std::FILE* file, std::int64_t bytes) {
  std::fflush(file);
  if (ftruncate(fileno(file), static_cast<off_t>(bytes)) != 0) {
    // The file merely stays longer than the table; nothing reads past it.
  }
}

// Creates "VirTa%03d.tmp" under the next number. The file is created
// exclusively: another program of the suite working in the same directory
// counts from 1 as well, and two tables sharing one file would overwrite each
// other. A taken name moves on to the next number.
bool CreateTableFile(VTH& t, const std::filesystem::path& directory) {
  std::filesystem::path path;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const int number = TakeFileNumber();
    char name[32];
    std::snprintf(name, sizeof name, "VirTa%03d.tmp", number);
    path = directory / name;
    std::FILE* file = std::fopen(path.c_str(), "wb+x");
    if (!file && errno == EEXIST) continue;
    if (!file) file = std::fopen(path.c_str(), "wb+x");
    if (!file) {
      ReleaseFileNumber(number);
      break;
    }
    t.VHdl = file;
    t.filePath = path;
    t.fileNumber = number;
    return true;
  }
  Trace("Erreur d'ouverture [%s]\n", path.c_str());
  return false;
}

void DeleteTableFile(VTH& t) {
  if (!t.VHdl) return;
  std::fclose(t.VHdl);
  t.VHdl = nullptr;
  std::error_code ignored;
  std::filesystem::remove(t.filePath, ignored);
  ReleaseFileNumber(t.fileNumber);
}

// Creation step 7: the temporary file of a new disk table, c zero elements.
bool CreateDiskFile(VTH& t) {
  const std::filesystem::path directory = TableDirectory();
  const std::int64_t size = Bytes(t.count, t.elementSize);
  if (FreeBytes(directory) < static_cast<std::uint64_t>(size)) {
    ShowDiskFull();
    return false;
  }
  if (!CreateTableFile(t, directory)) return false;
  if (!WriteZeros(t.VHdl, size)) {
    // A file shorter than its table would fail later reads; the disk is full.
    Trace("Erreur d'initialisation fwrite[%s]\n", t.filePath.c_str());
    ShowDiskFull();
    return false;
  }
  return true;
}

bool InWindow(const VTH& t, int buffer, int n) {
  const std::int64_t offset = static_cast<std::int64_t>(n) - t.VOffs[buffer];
  return offset >= 0 && offset < t.BufSize;
}

int BufferHolding(const VTH& t, int n) {
  for (int b = 0; b < t.Nbuf; ++b)
    if (InWindow(t, b, n)) return b;
  return -1;
}

std::int64_t Distance(int a, int b) {
  const std::int64_t d = static_cast<std::int64_t>(a) - b;
  return d < 0 ? -d : d;
}

// A buffer whose load failed holds no element of the table.
void MarkEmpty(VTH& t, int buffer) {
  t.VOffs[buffer] = -t.BufSize;
  t.clean[buffer] = 1;
}

void TraceOverlap(const VTH& t, int n, int buffer, int direction) {
  if (t.Nbuf != 2 || Distance(t.VOffs[0], t.VOffs[1]) >= t.BufSize) return;
  Trace("\nOVERLAPPING Double Buffer ERROR : ");
  Trace("VOffs[1]=%ld VOffs[2]=%ld BufSize=%ld n=%ld VirtSrc=%ld DestBuf=%d SgnDest=%d\n",
        static_cast<long>(t.VOffs[0]), static_cast<long>(t.VOffs[1]),
        static_cast<long>(t.BufSize), static_cast<long>(n),
        static_cast<long>(Bytes(t.VOffs[buffer], t.elementSize)), buffer, direction);
}

// Moves the window nearer to n so that it holds n: forward from n, or
// backward ending at n, never past either end of the table. Returns the
// buffer, or -1 when the buffer could not be written back or read.
int MoveWindow(VTH& t, int n, const char* loadFailure) {
  int b = 0;
  if (t.Nbuf == 2 && Distance(n, t.VOffs[0]) >= Distance(n, t.VOffs[1])) b = 1;
  if (!VFlush(&t, b)) return -1;
  const int forwardStart = std::min(n, t.count - t.BufSize);
  bool forward = n > t.VOffs[b];
  int start = forward ? forwardStart : std::max(0, n - t.BufSize + 1);
  // Two windows must not hold the same elements: a backward window starting
  // inside the other one goes forward from n instead.
  if (!forward && t.Nbuf == 2 && InWindow(t, 1 - b, start)) {
    start = forwardStart;
    forward = true;
  }
  t.VOffs[b] = start;
  if (!VLoad(&t, b)) {
    MarkEmpty(t, b);
    Trace("%s", loadFailure);
    return -1;
  }
  TraceOverlap(t, n, b, forward ? 1 : -1);
  return b;
}

// Disk access is abnormal for the programs: the modeler says so in a
// warning box, the others on the console (in a box when there is none). A
// box is shown once per table so that a walk over a disk table stays usable.
void ReportDiskAccess(VTH& t, unsigned char which) {
  const bool put = which == kPutShown;
  if (ModelerMessages()) {
    if (t.abnormalShown & which) return;
    t.abnormalShown |= which;
    ShowMessage(MessageKind::Warning, put ? kMsgSupportInvalid : kMsgVGetOverflow);
    return;
  }
  const char* text = put ? "VPut >=SUP_DISK Anormal" : "VGet >=SUP_DISK Anormal";
  if (ConsoleEnabled()) {
    Trace("%s\n", text);
  } else if (!(t.abnormalShown & which)) {
    t.abnormalShown |= which;
    Reporter().Report(MessageKind::Warning, 0, text);
  }
}

// The address element n will be written at, with its buffer marked changed;
// null when n is outside the table or its window could not be placed.
std::byte* ElementForWrite(VTH* t, int n) {
  if (!t) return nullptr;
  if (n < 0 || n >= t->count) {
    ShowMessage(MessageKind::Warning, kMsgVPutOverflow);
    return nullptr;
  }
  if (IsMemory(t->support)) return Element(t->VBuf[0], n, t->elementSize);
  if (t->support != SUP_DISK || t->Nbuf == 0) return nullptr;
  ReportDiskAccess(*t, kPutShown);
  int b = BufferHolding(*t, n);
  if (b < 0) b = MoveWindow(*t, n, "Erreur d'acces à la memoire virtuelle UNFLUSH VPUT\n");
  if (b < 0) return nullptr;
  t->clean[b] = 0;
  return Element(t->VBuf[b], n - t->VOffs[b], t->elementSize);
}

bool IsDirect(const VTH* t, int n, std::size_t valueSize) {
  return t && IsMemory(t->support) && static_cast<unsigned>(n) < static_cast<unsigned>(t->count) &&
         t->elementSize >= valueSize;
}

// Typed reads and writes: memory tables are read in place; elements shorter
// than the value give their bytes at the start of it.
template <typename T>
T ReadValue(VTH* t, int n) {
  T value{};
  if (IsDirect(t, n, sizeof value)) {
    std::memcpy(&value, Element(t->VBuf[0], n, t->elementSize), sizeof value);
    return value;
  }
  if (const void* element = VGet(t, n))
    std::memcpy(&value, element, std::min<std::size_t>(sizeof value, t->elementSize));
  return value;
}

template <typename T>
int WriteValue(VTH* t, int n, T value) {
  if (IsDirect(t, n, sizeof value)) {
    std::memcpy(Element(t->VBuf[0], n, t->elementSize), &value, sizeof value);
    return 1;
  }
  std::byte* element = ElementForWrite(t, n);
  if (!element) return 0;
  std::memcpy(element, &value, std::min<std::size_t>(sizeof value, t->elementSize));
  return 1;
}

bool LoadBuffers(VTH& t) {
  for (int b = 0; b < t.Nbuf; ++b) {
    if (!VLoad(&t, b)) return false;
  }
  return true;
}

// Re-initialisation into memory. A memory table keeps its block, resized in
// place; a disk table is read into a new block and its file deleted.
bool ReInitInMemory(VTH& old, VTH& next) {
  const int s = old.elementSize;
  if (IsMemory(old.support)) {
    if (!ResizeKeeping(old.VBuf[0], Bytes(next.count, s))) return false;
    if (old.support != next.support) ShowMessage(MessageKind::Warning, kMsgSupportChanged);
    next.VBuf[0] = std::move(old.VBuf[0]);
  } else {
    if (!AllocateZeroed(next.VBuf[0], Bytes(next.count, s))) {
      Trace("Pas assez de memoire pour le changement de support\n");
      return false;
    }
    ShowMessage(MessageKind::Warning, kMsgSupportChanged);
    const int kept = std::min(old.count, next.count);
    if (!SeekTo(old.VHdl, 0)) {
      Trace("Seek ERROR on VTH->VHdl\n");
      return false;
    }
    const std::size_t read = kept > 0 ? std::fread(next.VBuf[0].data(), s, kept, old.VHdl) : 0;
    if (read != static_cast<std::size_t>(kept)) {
      Trace("read error on VTH->VHdl nblu=%d\n", static_cast<int>(read));
      return false;
    }
    DeleteTableFile(old);
  }
  if (next.support == SUP_MEMORY) Trace("Virt Tab direct in Base memory\n");
  return true;
}

// Disk to disk: the file stays; growth is zero-filled from the old end and a
// shrink gives the dropped elements' space back once nothing can fail.
bool ReInitKeepingFile(VTH& old, VTH& next) {
  const std::int64_t oldBytes = Bytes(old.count, old.elementSize);
  const std::int64_t newBytes = Bytes(next.count, next.elementSize);
  const bool grows = newBytes > oldBytes;
  if (grows) {
    if (FreeBytes(old.filePath.parent_path()) < static_cast<std::uint64_t>(newBytes - oldBytes)) {
      ShowDiskFull();
      return false;
    }
    if (!SeekTo(old.VHdl, oldBytes)) {
      Trace("Erreur de recherche dans le fichier virtuel\n");
      return false;
    }
    if (!WriteZeros(old.VHdl, newBytes - oldBytes)) {
      Trace("Erreur d'initialisation fwrite virtab\n");
      TruncateTo(old.VHdl, oldBytes);
      return false;
    }
  }
  next.VHdl = old.VHdl;
  if (!LoadBuffers(next)) {
    Trace("Erreur d'acces à la memoire virtuelle UNFLUSH ReinitVirt\n");
    next.VHdl = nullptr;
    if (grows) TruncateTo(old.VHdl, oldBytes);
    return false;
  }
  next.filePath = old.filePath;
  next.fileNumber = old.fileNumber;
  old.VHdl = nullptr;
  if (newBytes < oldBytes) TruncateTo(next.VHdl, newBytes);
  return true;
}

// Memory to disk: a new file holding the first elements of the block, the
// rest zero. On failure the new file is deleted and the table unchanged.
bool ReInitOntoNewFile(VTH& old, VTH& next) {
  const int s = old.elementSize;
  const std::filesystem::path directory = TableDirectory();
  const std::int64_t newBytes = Bytes(next.count, s);
  if (FreeBytes(directory) < static_cast<std::uint64_t>(newBytes)) {
    ShowDiskFull();
    return false;
  }
  if (!CreateTableFile(next, directory)) return false;
  bool done = false;
  struct DeleteUnlessDone {
    VTH& table;
    const bool& done;
    ~DeleteUnlessDone() {
      if (!done) DeleteTableFile(table);
    }
  } guard{next, done};

  ShowMessage(MessageKind::Warning, kMsgSupportChanged);
  const int kept = std::min(old.count, next.count);
  if (!SeekTo(next.VHdl, 0)) {
    Trace("Seek ERROR on NewVTH->VHdl\n");
    return false;
  }
  const std::size_t written = kept > 0 ? std::fwrite(old.VBuf[0].data(), s, kept, next.VHdl) : 0;
  if (written != static_cast<std::size_t>(kept)) {
    Trace("write error on NewVTH->VHdl nbwrite=%d\n", static_cast<int>(written));
    return false;
  }
  if (!WriteZeros(next.VHdl, newBytes - Bytes(kept, s))) {
    Trace("Erreur d'initialisation fwrite virtab\n");
    return false;
  }
  if (!LoadBuffers(next)) {
    Trace("Erreur d'acces à la memoire virtuelle UNFLUSH ReinitVirt\n");
    return false;
  }
  done = true;
  return true;
}

bool ReInitOnDisk(VTH& old, VTH& next) {
  if (!AllocateBuffers(next)) return false;
  return old.support == SUP_DISK ? ReInitKeepingFile(old, next) : ReInitOntoNewFile(old, next);
}

}  // namespace

void VirTabCloser::operator()(VTH* table) const {
  std::unique_ptr<VTH> owned(table);
  if (owned) DeleteTableFile(*owned);
}

VirTab InitVirTab(int elementSize, int count, int Nbuf, int BufSize, int SupportSelect) {
  if (elementSize < 1 || elementSize > 0xFFFF || count < 0) return nullptr;
  VirTab t(std::make_unique<VTH>().release());
  t->elementSize = static_cast<std::uint16_t>(elementSize);
  t->count = count;

  const std::uint64_t available = AvailableBytes();
  FitBuffersToMemory(available, elementSize, Nbuf, BufSize);
  const bool fits = static_cast<std::uint64_t>(Bytes(count, elementSize)) < available;
  t->support = ChooseSupport(SupportSelect, fits, MemoryKind(SupportSelect, SUP_INVALID));
  if (t->support == SUP_INVALID) return nullptr;
  ShapeBuffers(t->support, count, Nbuf, BufSize);
  t->Nbuf = static_cast<unsigned char>(Nbuf);
  t->BufSize = BufSize;

  // A table without its buffers cannot hold anything: creation fails.
  if (!AllocateBuffers(*t)) {
    ShowMessage(MessageKind::Warning, kMsgReallocation);
    return nullptr;
  }
  if (t->support == SUP_DISK && !CreateDiskFile(*t)) return nullptr;
  return t;
}

void* VGet(VTH* t, int n) {
  if (!t) return nullptr;
  if (n < 0 || n >= t->count) {
    ShowMessage(MessageKind::Warning, kMsgVGetOverflow);
    return nullptr;
  }
  if (IsMemory(t->support)) return Element(t->VBuf[0], n, t->elementSize);
  if (t->support != SUP_DISK || t->Nbuf == 0) return nullptr;
  ReportDiskAccess(*t, kGetShown);
  int b = BufferHolding(*t, n);
  if (b < 0) b = MoveWindow(*t, n, "Erreur d'acces à la memoire virtuelle\n");
  if (b < 0) return nullptr;
  return Element(t->VBuf[b], n - t->VOffs[b], t->elementSize);
}

int VPut(const void* src, VTH* t, int n) {
  if (!src) return 0;
  std::byte* element = ElementForWrite(t, n);
  if (!element) return 0;
  std::memcpy(element, src, t->elementSize);
  return 1;
}

float VGetFloat(VTH* t, int n) { return ReadValue<float>(t, n); }
int VGetInt(VTH* t, int n) { return ReadValue<std::int32_t>(t, n); }
int VPutFloat(VTH* t, int n, float value) { return WriteValue(t, n, value); }
int VPutInt(VTH* t, int n, int value) { return WriteValue<std::int32_t>(t, n, value); }

int VFlush(VTH* t, int buffer) {
  if (!t || buffer < 0 || buffer >= t->Nbuf) return 0;
  if (t->clean[buffer]) return 1;
  if (t->support == SUP_INVALID) {
    Trace("VFlush Support Type Unknown\n");
    return 0;
  }
  if (t->support == SUP_DISK && t->BufSize > 0) {
    if (!SeekTo(t->VHdl, Bytes(t->VOffs[buffer], t->elementSize))) {
      Trace("VFlush Seek ERROR on VTH->VHdl\n");
      return 0;
    }
    const std::size_t written =
        std::fwrite(t->VBuf[buffer].data(), t->elementSize, t->BufSize, t->VHdl);
    if (written != static_cast<std::size_t>(t->BufSize) || std::fflush(t->VHdl) != 0) {
      Trace("FFlush write error on VTH->VHdl\n");
      return 0;
    }
  }
  t->clean[buffer] = 1;
  return 1;
}

int VLoad(VTH* t, int buffer) {
  if (!t || buffer < 0 || buffer >= t->Nbuf) return 0;
  if (t->support == SUP_DISK && t->BufSize > 0) {
    if (!SeekTo(t->VHdl, Bytes(t->VOffs[buffer], t->elementSize))) {
      Trace("Seek ERROR on VTH->VHdl\n");
      return 0;
    }
    const std::size_t read =
        std::fread(t->VBuf[buffer].data(), t->elementSize, t->BufSize, t->VHdl);
    if (read != static_cast<std::size_t>(t->BufSize)) {
      Trace("read error on VTH->VHdl nblu=%d\n", static_cast<int>(read));
      return 0;
    }
  }
  t->clean[buffer] = 1;
  return 1;
}

int VSetDBuf(VTH* t, int i, int j) {
  if (!t || t->Nbuf != 2 || t->support != SUP_DISK) return 0;
  Trace("VSetDBUF(%ld,%ld)\n", static_cast<long>(i), static_cast<long>(j));
  Trace("Ancienne pos :(%ld,%ld)\n", static_cast<long>(t->VOffs[0]), static_cast<long>(t->VOffs[1]));
  const int count = t->count;
  const int z = t->BufSize;
  if (i < 0 || i >= count || j < 0 || j >= count) {
    Trace("debordement VSetDBUF(%ld,%ld)\n", static_cast<long>(i), static_cast<long>(j));
    return 0;
  }
  if (i > j) std::swap(i, j);
  j = std::min(j, count - z);
  if (static_cast<std::int64_t>(i) + z > count) i = count - 2 * z;
  if (!VFlush(t, 0) || !VFlush(t, 1)) return 0;
  if (j - i < z) {
    Trace("SetVDBuf overlap detect\n");
    j = i + z;
    // Two windows side by side must still end inside the table.
    if (j > count - z) {
      j = count - z;
      i = j - z;
    }
  }
  Trace("DONNE (%ld,%ld)\n", static_cast<long>(i), static_cast<long>(j));
  t->VOffs[0] = i;
  t->VOffs[1] = j;
  for (int b = 0; b < 2; ++b) {
    if (!VLoad(t, b)) {
      MarkEmpty(*t, b);
      Trace("Erreur d'acces à la memoire virtuelle UNFLUSH VSetDBuf\n");
      return 0;
    }
  }
  TraceOverlap(*t, j, 1, 1);
  return 1;
}

int ReInitVirTab(VTH* t, int count, int Nbuf, int BufSize, int SupportSelect) {
  if (!t || count < 0 || !(IsMemory(t->support) || t->support == SUP_DISK)) return 0;
  const int s = t->elementSize;
  const std::uint64_t available = AvailableBytes();
  FitBuffersToMemory(available, s, Nbuf, BufSize);
  for (int b = 0; b < t->Nbuf; ++b) {
    if (!VFlush(t, b)) return 0;
  }

  // A memory table staying in memory of its kind only needs its growth.
  const signed char kind = MemoryKind(SupportSelect, t->support);
  std::int64_t needed = Bytes(count, s);
  if (t->support == kind) needed -= Bytes(t->count, s);
  const bool fits = needed < 0 || static_cast<std::uint64_t>(needed) < available;
  const signed char support = ChooseSupport(SupportSelect, fits, kind);
  ShapeBuffers(support, count, Nbuf, BufSize);
  if (Nbuf != 1 || BufSize != count) ShowMessage(MessageKind::Warning, kMsgReallocation);
  if (support == SUP_INVALID) return 0;

  VTH next;
  next.support = support;
  next.Nbuf = static_cast<unsigned char>(Nbuf);
  next.elementSize = t->elementSize;
  next.count = count;
  next.BufSize = BufSize;
  next.abnormalShown = t->abnormalShown;
  const bool done = IsMemory(support) ? ReInitInMemory(*t, next) : ReInitOnDisk(*t, next);
  if (!done) return 0;
  // Holders of the table keep their descriptor; its contents are replaced.
  *t = std::move(next);
  return 1;
}

int CloseVirTab(VirTab& t) {
  if (!t) return 0;
  int result = 1;
  if (t->support == SUP_INVALID) {
    Trace("CloseVirTab Support Type Unknown\n");
    result = 0;
  }
  t.reset();
  return result;
}

void SetVirTabDirectory(const std::filesystem::path& directory) {
  std::lock_guard lock(State().mutex);
  State().directory = directory;
}

int VirTabFileCounter() {
  std::lock_guard lock(State().mutex);
  return State().fileCounter;
}

void SetVirTabModelerMessages(bool modeler) {
  std::lock_guard lock(State().mutex);
  State().modelerMessages = modeler;
}

void SetVirTabDiskFullMessage(int number) {
  std::lock_guard lock(State().mutex);
  State().diskFullMessage = number;
}

void SetVirTabLimitsForTesting(const VirTabLimits& limits) {
  std::lock_guard lock(State().mutex);
  State().limits = limits;
}

}  // namespace tessaran
