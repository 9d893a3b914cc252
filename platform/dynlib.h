// Loading the system's dynamic libraries by the names the system gives them:
// "RZLNGFRA.DLL" is librzlngfra.so in the program directory.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tessaran {

// The directory of the running program.
std::filesystem::path ProgramDirectory();

// "RZLNGFRA.DLL" → "librzlngfra.so".
std::string LibraryFileName(std::string_view systemName);

class DynLib {
 public:
  // Loads the library named as the system names it from directory (the
  // program directory when empty). Returns null and sets *error on failure.
  static std::unique_ptr<DynLib> Open(std::string_view systemName, std::string* error = nullptr,
                                      const std::filesystem::path& directory = {});
  ~DynLib();
  DynLib(const DynLib&) = delete;
  DynLib& operator=(const DynLib&) = delete;

  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  const std::string& SystemName() const { return systemName_; }

 private:
  DynLib(void* handle, std::string systemName);
  void* handle_;
  std::string systemName_;
};

// A program's windows live in a library of their own, so that its batch mode
// starts without loading Qt. This loads that library by its system name
// ("RZWIN.DLL") and calls its `RunWindows` with main()'s arguments; the
// library then stays loaded until the program ends. Returns the windows' exit
// status; when the library or its entry cannot be loaded, says why on stderr
// and returns `failed`.
int RunWindowsLibrary(std::string_view systemName, int argc, char** argv, int failed);

}  // namespace tessaran
