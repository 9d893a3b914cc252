// The exports of one message library: `GetMSG`, `MSGtab` and `NbMaxMESSAGE`,
// with C linkage, looked up by name by the programs and the image picker.
//
// This file is compiled into every message library. The build tells it:
//   TESSARAN_MESSAGE_TABLE    the library's table file ({number, text} lines);
//   TESSARAN_MESSAGE_BASE     a table the library starts from, when it has one
//                             (the player's libraries take the renderer's
//                             texts and replace a few of them);
//   TESSARAN_MODELER_MESSAGES defined for the modeler's libraries (96 messages,
//                             500 chars), absent for the others (326, 1024);
//   TESSARAN_RESOURCE_TABLE   the library's menus and dialog texts, when it
//                             has them: a file that defines kMenus and
//                             kDialogs, arrays of ResourceTable.
#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "messages/message_table.h"

#define TESSARAN_EXPORT __attribute__((visibility("default")))

namespace {

#ifdef TESSARAN_MODELER_MESSAGES
constexpr int kCount = tessaran::kModelerMessageCount;
constexpr int kTextSize = tessaran::kModelerMessageSize;
#else
constexpr int kCount = tessaran::kRendererMessageCount;
constexpr int kTextSize = tessaran::kRendererMessageSize;
#endif

struct MessageEntry {
  int number;
  const char* text;
};

// The leading placeholder keeps the array valid for a library without a base.
constexpr MessageEntry kBaseEntries[] = {
    {-1, nullptr},
#ifdef TESSARAN_MESSAGE_BASE
#include TESSARAN_MESSAGE_BASE
#endif
};

constexpr MessageEntry kOwnEntries[] = {
#include TESSARAN_MESSAGE_TABLE
};

// Numbers rising strictly and within the table, placeholders (-1) aside, so
// that no entry is written twice or lost.
template <std::size_t N>
constexpr bool InOrder(const MessageEntry (&entries)[N]) {
  int previous = -1;
  for (const MessageEntry& entry : entries) {
    if (entry.number == -1 && entry.text == nullptr) continue;
    if (entry.number <= previous || entry.number >= kCount || entry.text == nullptr) return false;
    previous = entry.number;
  }
  return true;
}

constexpr std::array<const char*, kCount> BuildTable() {
  std::array<const char*, kCount> texts{};
  for (const MessageEntry& entry : kBaseEntries) {
    if (entry.number >= 0) texts[entry.number] = entry.text;
  }
  for (const MessageEntry& entry : kOwnEntries) texts[entry.number] = entry.text;
  return texts;
}

constexpr bool Complete(const std::array<const char*, kCount>& texts) {
  for (const char* text : texts) {
    if (text == nullptr) return false;
  }
  return true;
}

static_assert(InOrder(kBaseEntries) && InOrder(kOwnEntries),
              "message numbers must rise strictly and stay within the table");
static_assert(Complete(BuildTable()), "every message number must have a text");

#ifdef TESSARAN_RESOURCE_TABLE
using tessaran::kMenuEnd;
using tessaran::kMenuPopup;
using tessaran::ResourceItem;
using tessaran::ResourceTable;
#include TESSARAN_RESOURCE_TABLE
constexpr std::int32_t kMenuCount = static_cast<std::int32_t>(std::size(kMenus));
constexpr std::int32_t kDialogCount = static_cast<std::int32_t>(std::size(kDialogs));
#else
constexpr tessaran::ResourceTable kMenus[1] = {{nullptr, nullptr, 0}};
constexpr tessaran::ResourceTable kDialogs[1] = {{nullptr, nullptr, 0}};
constexpr std::int32_t kMenuCount = 0;
constexpr std::int32_t kDialogCount = 0;
#endif

// Every popup closed, none closed twice, every command labelled.
constexpr bool Balanced(const tessaran::ResourceTable& menu) {
  int open = 0;
  for (int i = 0; i < menu.count; ++i) {
    const tessaran::ResourceItem& item = menu.items[i];
    if (item.id == tessaran::kMenuPopup) ++open;
    if (item.id == tessaran::kMenuEnd && --open < 0) return false;
    if (item.id > 0 && item.text == nullptr) return false;
  }
  return open == 0;
}

constexpr bool MenusBalanced() {
  for (int i = 0; i < kMenuCount; ++i) {
    if (!Balanced(kMenus[i])) return false;
  }
  return true;
}

// Every dialog text present, each control once.
constexpr bool DialogsComplete() {
  for (int d = 0; d < kDialogCount; ++d) {
    const tessaran::ResourceTable& dialog = kDialogs[d];
    for (int i = 0; i < dialog.count; ++i) {
      if (dialog.items[i].id < 0 || dialog.items[i].text == nullptr) return false;
      for (int j = 0; j < i; ++j) {
        if (dialog.items[j].id == dialog.items[i].id) return false;
      }
    }
  }
  return true;
}
static_assert(MenusBalanced(), "every menu popup must be closed once");
static_assert(DialogsComplete(), "every dialog control must have one text");

}  // namespace

// The unformatted table, index = message number. A std::array is laid out as
// the plain array of text pointers the programs read through the symbol.
extern "C" TESSARAN_EXPORT constinit const std::array<const char*, kCount> MSGtab = BuildTable();
static_assert(sizeof(MSGtab) == kCount * sizeof(const char*));

extern "C" TESSARAN_EXPORT const std::int32_t NbMaxMESSAGE = kCount;

// The menus and dialog texts of the language, looked up by name.
extern "C" TESSARAN_EXPORT constinit const tessaran::ResourceTable* const MENUtab = kMenus;
extern "C" TESSARAN_EXPORT const std::int32_t NbMENU = kMenuCount;
extern "C" TESSARAN_EXPORT constinit const tessaran::ResourceTable* const DLGtab = kDialogs;
extern "C" TESSARAN_EXPORT const std::int32_t NbDLG = kDialogCount;

// Formats message `index` with printf arguments into the library's one
// buffer, which the next call overwrites; a number outside the table gives
// the fixed "not found" text.
extern "C" TESSARAN_EXPORT const char* GetMSG(int index, ...) {
  static char buffer[kTextSize];
  if (index < 0 || index >= kCount) {
    std::snprintf(buffer, sizeof buffer, "%s", tessaran::kMessageNotFound);
    return buffer;
  }
  va_list args;
  va_start(args, index);
  std::vsnprintf(buffer, sizeof buffer, MSGtab[index], args);
  va_end(args);
  return buffer;
}
