#include "platform/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <system_error>

namespace tessaran {

std::filesystem::path ProgramDirectory() {
  std::error_code error;
  auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path(error);
  return program.parent_path();
}

std::string LibraryFileName(std::string_view systemName) {
  std::string name(systemName);
  // Paths written the system's way keep only their last component.
  if (auto slash = name.find_last_of("\\/"); slash != std::string::npos) name.erase(0, slash + 1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0) name.resize(name.size() - 4);
  return "lib" + name + ".so";
}

std::unique_ptr<DynLib> DynLib::Open(std::string_view systemName, std::string* error,
                                     const std::filesystem::path& directory) {
  auto file = (directory.empty() ? ProgramDirectory() : directory) / LibraryFileName(systemName);
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* reason = dlerror();
      *error = reason ? reason : ("cannot load " + file.string());
    }
    return nullptr;
  }
  return std::unique_ptr<DynLib>(new DynLib(handle, std::string(systemName)));
}

DynLib::DynLib(void* handle, std::string systemName)
    : handle_(handle), systemName_(std::move(systemName)) {}

DynLib::~DynLib() { dlclose(handle_); }

void* DynLib::Symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace tessaran
