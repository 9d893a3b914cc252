// The exports of the image picker library, with C linkage, looked up by
// name by the programs: `OpenFileBMP` and `OpenChooseColor`.
#include <QApplication>
#include <QColorDialog>

#include "imagepicker/open_file_dialog.h"
#include "imagepicker/picker_library.h"
#include "ui/dialog_texts.h"
#include "ui/pickimg_interface.h"
#include "ui/rgb_value.h"

#define TESSARAN_EXPORT __attribute__((visibility("default")))

namespace {

// "Choose a colour": the colour dialog's title.
constexpr int kMsgColourTitle = 98;

}  // namespace

extern "C" TESSARAN_EXPORT int OpenFileBMP(void* parent, const char* title, char* fileName, size_t fileNameSize,
                                           const char* initialDirectory, int* preview, const char* filter,
                                           PickImgOpenFile* record) {
  return tessaran::OpenFileWithPreview(static_cast<QWidget*>(parent), title, fileName, fileNameSize,
                                       initialDirectory, preview, filter, record);
}

// Qt's colour dialog always shows its custom colours: it is fully open.
// There is no help to call up, so the help flag changes nothing.
extern "C" TESSARAN_EXPORT int OpenChooseColor(uint32_t* colour, int /*help*/) {
  if (!colour || !QApplication::instance()) return 0;
  const tessaran::MessageLibrary* messages = tessaran::PickerLibrary::Get().Messages();
  QColorDialog dialog(tessaran::ColourOfRgbValue(*colour), QApplication::activeWindow());
  if (messages) dialog.setWindowTitle(tessaran::MessageString(*messages, kMsgColourTitle));
  if (dialog.exec() != QDialog::Accepted) return 0;
  *colour = tessaran::RgbValueOfColour(dialog.selectedColor());
  return 1;
}
