// What the image picker library sets up once in its process: its own
// diagnostic console (written when "KORVANDBGDLL" is set), the renderer's
// message library of the configured language, whose dialog 1536 and
// messages the picker shows, and message boxes for the loader's messages.
// The picker carries its own copies of the picture loader and of the
// virtual images, so its previews never touch the program's slots.
#pragma once

#include "messages/message_library.h"
#include "ui/qt_dialogs.h"

namespace tessaran {

class PickerLibrary {
 public:
  // Set up at the first call, once every static of the library is ready.
  static PickerLibrary& Get();

  // The message library; null when it could not be loaded.
  const MessageLibrary* Messages() const { return messages_.IsLoaded() ? &messages_ : nullptr; }

 private:
  PickerLibrary();

  MessageLibrary messages_{MessageProgram::Renderer};
  QtReporter reporter_{messages_};
};

}  // namespace tessaran
