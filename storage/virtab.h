// Virtual tables: arrays of fixed-size elements held whole in memory or on a
// temporary disk file ("VirTa%03d.tmp") seen through one or two windows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace tessaran {

// Support kinds of a table.
enum : signed char {
  SUP_INVALID = -1,
  SUP_MEMORY = 0,
  SUP_MEMORY_KEPT = 1,  // memory, kept as a distinct kind by re-initialisation
  SUP_DISK = 2,
};

// The descriptor of one table.
struct VTH {
  int fileNumber = 0;             // n of "VirTa%03d.tmp" (disk support)
  signed char support = SUP_INVALID;
  unsigned char Nbuf = 0;         // 0, 1 or 2
  std::uint16_t elementSize = 0;  // bytes per element
  int count = 0;                  // number of elements
  std::FILE* VHdl = nullptr;      // the temporary file (disk support)
  std::filesystem::path filePath;
  int BufSize = 0;                // elements per buffer; count for memory support
  int clean[2] = {1, 1};          // 1 = buffer matches the file
  std::vector<std::byte> VBuf[2]; // the buffers
  int VOffs[2] = {0, 0};          // index of the first element of each buffer
  unsigned char abnormalShown = 0;  // disk access already shown in a box: 1 VGet, 2 VPut
};

// Closes a table as CloseVirTab does.
struct VirTabCloser {
  void operator()(VTH* table) const;
};
using VirTab = std::unique_ptr<VTH, VirTabCloser>;

// Creates a table; null on failure (the warning has been shown).
VirTab InitVirTab(int elementSize, int count, int Nbuf, int BufSize, int SupportSelect);

// Address of element n, valid until the next access to the table; null when
// n is outside the table (warning shown, the table stays usable).
void* VGet(VTH* t, int n);
int VPut(const void* src, VTH* t, int n);

// 32-bit accessors: direct for memory support, through VGet/VPut otherwise.
float VGetFloat(VTH* t, int n);
int VGetInt(VTH* t, int n);
int VPutFloat(VTH* t, int n, float value);
int VPutInt(VTH* t, int n, int value);

int VSetDBuf(VTH* t, int i, int j);
int ReInitVirTab(VTH* t, int count, int Nbuf, int BufSize, int SupportSelect);
int VFlush(VTH* t, int buffer);
int VLoad(VTH* t, int buffer);

// Frees everything and deletes the temporary file; 0 when there is no table.
int CloseVirTab(VirTab& t);

// Where new temporary files go: the directory of the present scene file, or
// the temporary directory when empty.
void SetVirTabDirectory(const std::filesystem::path& directory);

// The number of the last temporary file created.
int VirTabFileCounter();

// How disk access, which the programs treat as abnormal, is reported. The
// modeler (the default) shows warnings 48 for VGet and 49 for VPut; the
// renderer, player and picker trace "VGet >=SUP_DISK Anormal" and
// "VPut >=SUP_DISK Anormal" on the console, or show the text in a warning
// box when there is no console. A box is shown once per table, a trace on
// every access. Set once by the program at start-up.
void SetVirTabModelerMessages(bool modeler);

// The number of the program's "SWAP disc memory is full" message (43 in the
// modeler's table), shown when the disk cannot hold a table.
void SetVirTabDiskFullMessage(int number);

// The figures tables are sized by. Tests replace them to simulate small
// memory or a full disk; a null member means the platform's own figure
// (AvailableMemory, FreeDiskSpace).
struct VirTabLimits {
  std::uint64_t (*availableMemory)() = nullptr;
  std::uint64_t (*freeDiskSpace)(const std::filesystem::path& directory) = nullptr;
};
void SetVirTabLimitsForTesting(const VirTabLimits& limits);

}  // namespace tessaran
