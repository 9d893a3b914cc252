// The C interface of the image picker library "PICKIMG.DLL"
// (libpickimg.so), shared by the library and the programs that bind it by
// name.
#pragma once

#include <stddef.h>
#include <stdint.h>

extern "C" {

// The part of the caller's open-file record the picker reads and writes.
struct PickImgOpenFile {
  // In: the filter pair shown first (1 = the first pair; 0 is taken as 1).
  // Out: the pair in force when the file was chosen.
  int32_t filterIndex;
  // In: the extension added to a name typed without one ("lbm" when null).
  const char* defaultExtension;
  // Out: the offset in the chosen path of its extension (after the dot),
  // or of the path's end when the name has none.
  uint16_t extensionOffset;
};

// Opens the file dialog with the picture preview. `fileName` (room for
// `fileNameSize` bytes, at least 110) holds the initial name and receives
// the chosen path; on cancel it is left exactly as it was. `filter` is a
// list of description and pattern pairs, each part ended by a NUL and the
// list by an empty string; null for the picture filter of the renderer's
// message library. `preview` is read for the preview check box and
// receives its state when the dialog closes. `parent` is the owner
// QWidget, or null. 1 when a file was chosen, 0 otherwise.
typedef int (*OpenFileBMPFunction)(void* parent, const char* title, char* fileName, size_t fileNameSize,
                                   const char* initialDirectory, int* preview, const char* filter,
                                   PickImgOpenFile* record);

// Opens the colour dialog fully open on the colour at `colour` (0x00BBGGRR)
// and stores the chosen one there. 1 when a colour was chosen, 0 otherwise.
typedef int (*OpenChooseColorFunction)(uint32_t* colour, int help);

}  // extern "C"

namespace tessaran {

// The smallest file-name buffer the picker accepts, and the export names.
inline constexpr size_t kPickImgMinimumName = 110;
inline constexpr char kPickImgLibrary[] = "PICKIMG.DLL";
inline constexpr char kOpenFileBMPName[] = "OpenFileBMP";
inline constexpr char kOpenChooseColorName[] = "OpenChooseColor";

}  // namespace tessaran
