#include "messages/message_library.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "messages/message_table.h"
#include "platform/console.h"
#include "platform/dynlib.h"
#include "platform/profile.h"

namespace tessaran {
namespace {

// The language setting holds at most this many characters.
constexpr std::size_t kLanguageCodeLength = 19;

// A table larger than this is not a message table.
constexpr std::int32_t kLargestTable = 65535;

// How the program names itself in the loading messages.
const char* ProgramWord(MessageProgram program) {
  switch (program) {
    case MessageProgram::Modeler:
      return "MODELER";
    case MessageProgram::Renderer:
      return "RENDERER";
    case MessageProgram::Player:
      return "PLAYER";
  }
  return "";
}

struct LibraryExports {
  std::unique_ptr<DynLib> library;
  GetMsgFunction getMsg = nullptr;
  const char* const* table = nullptr;
  std::int32_t count = 0;
  ResourceTables menus;
  ResourceTables dialogs;
};

// A library without menus or dialog texts serves messages only.
ResourceTables ResolveTables(const DynLib& library, const char* tables, const char* count) {
  ResourceTables found;
  void* tablesSymbol = library.Symbol(tables);
  void* countSymbol = library.Symbol(count);
  if (!tablesSymbol || !countSymbol) return found;
  std::memcpy(&found.count, countSymbol, sizeof found.count);
  if (found.count < 0 || found.count > kLargestTable) return {};
  std::memcpy(&found.tables, tablesSymbol, sizeof found.tables);
  return found;
}

std::span<const ResourceItem> Find(const ResourceTables& tables, std::string_view name);

// Loads a message library and checks its three exports; false with the
// reason when it cannot serve.
bool OpenLibrary(std::string_view systemName, LibraryExports* out, std::string* error) {
  out->library = DynLib::Open(systemName, error);
  if (!out->library) return false;
  void* getMsg = out->library->Symbol("GetMSG");
  void* table = out->library->Symbol("MSGtab");
  void* count = out->library->Symbol("NbMaxMESSAGE");
  if (!getMsg || !table || !count) {
    *error = "GetMSG, MSGtab or NbMaxMESSAGE missing";
    return false;
  }
  std::memcpy(&out->count, count, sizeof out->count);
  if (out->count <= 0 || out->count > kLargestTable) {
    *error = "NbMaxMESSAGE=" + std::to_string(out->count) + " out of range";
    return false;
  }
  out->getMsg = reinterpret_cast<GetMsgFunction>(getMsg);
  out->table = static_cast<const char* const*>(table);
  out->menus = ResolveTables(*out->library, "MENUtab", "NbMENU");
  out->dialogs = ResolveTables(*out->library, "DLGtab", "NbDLG");
  return true;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::toupper(x) == std::toupper(y);
  });
}

}  // namespace

MessageLibrary::MessageLibrary(MessageProgram program) : program_(program) {}

MessageLibrary::~MessageLibrary() = default;

std::string MessageLibrary::LibraryName(MessageProgram program, std::string_view languageCode) {
  switch (program) {
    case MessageProgram::Modeler:
      return SameName(languageCode, "ENG") ? "QMXAN.DLL" : "QMXFR.DLL";
    case MessageProgram::Renderer:
      return "RZLNG" + std::string(languageCode) + ".DLL";
    case MessageProgram::Player:
      return "TXLNG" + std::string(languageCode) + ".DLL";
  }
  return {};
}

std::string MessageLibrary::ConfiguredLanguage() {
  std::string code = GetProfileString("TESSARAN", "LANGUE", "ENG", "TESSARAN.INI");
  if (code.size() > kLanguageCodeLength) code.resize(kLanguageCodeLength);
  return code;
}

bool MessageLibrary::LoadConfigured() {
  return Load(LibraryName(program_, ConfiguredLanguage())) != LoadResult::Fatal;
}

LoadResult MessageLibrary::Load(std::string_view systemName) {
  LibraryExports next;
  std::string error;
  if (!OpenLibrary(systemName, &next, &error)) {
    Trace("LoadLibrary[%.*s] : %s\n", static_cast<int>(systemName.size()), systemName.data(),
          error.c_str());
    bool fatal = library_ == nullptr;
    ReportFailure(systemName, fatal);
    return fatal ? LoadResult::Fatal : LoadResult::KeptPrevious;
  }
  // The previous library is freed only now, once the new one is usable.
  library_ = std::move(next.library);
  getMsg_ = next.getMsg;
  table_ = next.table;
  count_ = next.count;
  menus_ = next.menus;
  dialogs_ = next.dialogs;
  Trace("LoadLibrary[%s] OK\nNbMaxMESSAGE=%d\n", library_->SystemName().c_str(), count_);
  return LoadResult::Loaded;
}

void MessageLibrary::ReportFailure(std::string_view systemName, bool fatal) const {
  const std::string word = ProgramWord(program_);
  const std::string file = "CAN NOT FIND THE FILE [" + std::string(systemName) + "] ";
  if (fatal) {
    Trace("Pas de DLL ressource depuis l'executable\n");
    Reporter().Report(MessageKind::Error, -1,
                      word + " FATAL ERROR: " + file + word +
                          " EXECUTION IMPOSSIBLE\nPLEASE CHECK YOUR TESSARAN INSTALLATION");
  } else {
    Reporter().Report(MessageKind::Error, -1,
                      word + " ERROR: " + file + "LANGAGE BACK TO PREVIOUS ONE");
  }
}

std::string MessageLibrary::SystemName() const {
  return library_ ? library_->SystemName() : std::string();
}

std::string MessageLibrary::LanguageCode() const {
  if (!library_) return "ENG";
  return SameName(library_->SystemName(), LibraryName(program_, "ENG")) ? "ENG" : "FRA";
}

const char* MessageLibrary::RawText(int number) const {
  if (number < 0 || number >= count_) return nullptr;
  return table_[number];
}

namespace {

std::span<const ResourceItem> Find(const ResourceTables& tables, std::string_view name) {
  for (int i = 0; i < tables.count; ++i) {
    const ResourceTable& table = tables.tables[i];
    if (table.name && SameName(table.name, name)) {
      return {table.items, static_cast<std::size_t>(std::max(table.count, 0))};
    }
  }
  return {};
}

}  // namespace

std::span<const ResourceItem> MessageLibrary::Menu(std::string_view name) const { return Find(menus_, name); }

std::span<const ResourceItem> MessageLibrary::Dialog(std::string_view name) const { return Find(dialogs_, name); }

std::string MessageLibrary::DialogText(std::string_view dialog, int id) const {
  for (const ResourceItem& item : Dialog(dialog)) {
    if (item.id == id) return item.text;
  }
  return {};
}

int MessageLibrary::TextSize() const {
  return program_ == MessageProgram::Modeler ? kModelerMessageSize : kRendererMessageSize;
}

std::string MessageLibrary::Format(int number, ...) const {
  va_list args;
  va_start(args, number);
  std::string text = FormatList(number, args);
  va_end(args);
  return text;
}

std::string MessageLibrary::VFormat(int number, va_list args) {
  return FormatList(number, args);
}

// Formats into a buffer of its own rather than the library's, so that
// several threads may format at once.
std::string MessageLibrary::FormatList(int number, va_list args) const {
  const char* format = RawText(number);
  if (!format) return kMessageNotFound;
  std::string text(static_cast<std::size_t>(TextSize()), '\0');
  int written = std::vsnprintf(text.data(), text.size(), format, args);
  if (written < 0) return {};
  text.resize(std::min(static_cast<std::size_t>(written), text.size() - 1));
  // File-dialog filters separate their parts with 0x01 where a NUL is meant.
  std::replace(text.begin(), text.end(), '\x01', '\0');
  return text;
}

std::string MessageLibrary::Caption(MessageKind kind) const {
  int number = 0;
  if (program_ == MessageProgram::Modeler) {
    // " MESSAGE ", " WARNING ", " ERROR ".
    number = kind == MessageKind::Warning ? 1 : kind == MessageKind::Error ? 2 : 0;
  } else {
    // Warning, error, question, information, in the order of MessageKind.
    number = static_cast<int>(kind);
  }
  const char* text = RawText(number);
  return text ? text : "";
}

}  // namespace tessaran
