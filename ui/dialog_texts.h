// Texts of a dialog from the program's message library, as Qt strings.
#pragma once

#include <QString>
#include <string_view>

#include "messages/message_library.h"

namespace tessaran {

inline QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Control `id` of dialog `dialog`; id 0 is the dialog's title.
inline QString DialogText(const MessageLibrary& library, std::string_view dialog, int id) {
  return Utf8(library.DialogText(dialog, id));
}

// Numbered message `number` of the library, formatted.
template <typename... Args>
QString MessageString(const MessageLibrary& library, int number, Args... args) {
  return Utf8(library.Format(number, args...));
}

}  // namespace tessaran
