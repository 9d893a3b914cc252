// The picker's open-file dialog: the file dialog of dialog 1536 with the
// preview pane beside its lists, and the caller's buffer and open-file
// record handled as the program expects them.
#pragma once

#include <QFileDialog>

#include "messages/message_library.h"
#include "ui/pickimg_interface.h"

namespace tessaran {

class PreviewPane;

class PreviewFileDialog final : public QFileDialog {
  Q_OBJECT

 public:
  // `systemFilter` in the system's form; `preview` starts the check box.
  PreviewFileDialog(const MessageLibrary& messages, QWidget* parent, const QString& title,
                    const std::string& systemFilter, bool preview);

  PreviewPane& Pane() const { return *pane_; }

 private:
  PreviewPane* pane_;
};

// The work of `OpenFileBMP`; see pickimg_interface.h for the arguments.
int OpenFileWithPreview(QWidget* parent, const char* title, char* fileName, size_t fileNameSize,
                        const char* initialDirectory, int* preview, const char* filter, PickImgOpenFile* record);

}  // namespace tessaran
