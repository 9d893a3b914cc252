// The program's side of the message libraries: loading the library of the
// configured language, switching language while running, and formatting
// numbered messages from the library's table.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/report.h"

namespace tessaran {

class DynLib;
struct ResourceItem;
struct ResourceTable;

// The menus or the dialog texts a library exports.
struct ResourceTables {
  const ResourceTable* tables = nullptr;
  std::int32_t count = 0;
};

// Each program has its own family of message libraries.
enum class MessageProgram { Modeler, Renderer, Player };

// What loading a library came to.
enum class LoadResult {
  Loaded,        // the new library is in use
  KeptPrevious,  // it could not be loaded; the previous one stays in use
  Fatal,         // it could not be loaded and there is none: the program ends
};

// The `GetMSG` export: formats a message into the library's own buffer.
using GetMsgFunction = const char* (*)(int index, ...);

class MessageLibrary final : public MessageTextSource {
 public:
  explicit MessageLibrary(MessageProgram program);
  ~MessageLibrary() override;
  MessageLibrary(const MessageLibrary&) = delete;
  MessageLibrary& operator=(const MessageLibrary&) = delete;

  // The library's system name for a language code: "RZLNG" + code + ".DLL",
  // "TXLNG" + code + ".DLL", or "QMXAN.DLL" for "ENG" and else "QMXFR.DLL".
  static std::string LibraryName(MessageProgram program, std::string_view languageCode);

  // "LANGUE" of section "TESSARAN" in "TESSARAN.INI"; "ENG" when missing.
  static std::string ConfiguredLanguage();

  // Start-up: loads the library of the configured language. False when it
  // cannot be loaded; the fatal message has then been reported.
  bool LoadConfigured();

  // Loads the named library ("RZLNGENG.DLL") in place of the current one.
  // On failure the current one stays and the user is told; with no current
  // library the failure is fatal (reported; the program must end).
  LoadResult Load(std::string_view systemName);

  bool IsLoaded() const { return library_ != nullptr; }
  MessageProgram Program() const { return program_; }
  // The system name of the library in use; empty when none.
  std::string SystemName() const;
  // "ENG" when the program's English library is in use, else "FRA": the
  // value written back as "LANGUE".
  std::string LanguageCode() const;

  // NbMaxMESSAGE of the library in use (0 when none).
  int Count() const { return count_; }
  // The unformatted text of a message; null outside the table. Valid until
  // the library is replaced.
  const char* RawText(int number) const;
  // The library's own `GetMSG`, for call sites that use it directly; null
  // when no library is loaded. Its buffer belongs to the library.
  GetMsgFunction GetMSG() const { return getMsg_; }

  // Formats a message with printf arguments, bounded as the program's
  // formatter is (499 or 1023 characters), each 0x01 turned into NUL so
  // that file-dialog filters come out ready. A number outside the table
  // gives the fixed "not found" text.
  std::string Format(int number, ...) const;
  std::string VFormat(int number, va_list args) override;

  // The caption of a message box of that kind: one of the first messages.
  std::string Caption(MessageKind kind) const;

  // The entries of the named menu ("#1") of the library in use, read as
  // message_table.h describes; empty when it has no such menu. Valid until
  // the library is replaced.
  std::span<const ResourceItem> Menu(std::string_view name) const;
  // The texts of the named dialog ("2100"): id 0 its title, others its
  // controls; and one of them, empty when the library lacks it.
  std::span<const ResourceItem> Dialog(std::string_view name) const;
  std::string DialogText(std::string_view dialog, int id) const;

  // The largest formatted message, terminating NUL included.
  int TextSize() const;

 private:
  std::string FormatList(int number, va_list args) const;
  void ReportFailure(std::string_view systemName, bool fatal) const;

  MessageProgram program_;
  std::unique_ptr<DynLib> library_;
  GetMsgFunction getMsg_ = nullptr;
  const char* const* table_ = nullptr;
  int count_ = 0;
  ResourceTables menus_;
  ResourceTables dialogs_;
};

}  // namespace tessaran
