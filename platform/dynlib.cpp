#include "platform/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <system_error>

namespace tessaran {
namespace {

// dlopen with the loader's reason in *error on failure.
void* OpenFile(const std::filesystem::path& file, int flags, std::string* error) {
  void* handle = dlopen(file.c_str(), flags);
  if (!handle && error) {
    const char* reason = dlerror();
    *error = reason ? reason : ("cannot load " + file.string());
  }
  return handle;
}

}  // namespace

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
  void* handle = OpenFile(file, RTLD_NOW | RTLD_LOCAL, error);
  if (!handle) return nullptr;
  return std::unique_ptr<DynLib>(new DynLib(handle, std::string(systemName)));
}

DynLib::DynLib(void* handle, std::string systemName)
    : handle_(handle), systemName_(std::move(systemName)) {}

DynLib::~DynLib() { dlclose(handle_); }

void* DynLib::Symbol(const char* name) const { return dlsym(handle_, name); }

int RunWindowsLibrary(std::string_view systemName, int argc, char** argv, int failed) {
  const auto file = ProgramDirectory() / LibraryFileName(systemName);
  std::string error;
  // Never unloaded: Qt's own clean-up runs at exit, as in a program linked
  // with it.
  void* handle = OpenFile(file, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE, &error);
  using Entry = int (*)(int, char**);
  const auto run = handle ? reinterpret_cast<Entry>(dlsym(handle, "RunWindows")) : nullptr;
  if (!run) {
    if (handle) error = file.string() + " has no RunWindows";
    const std::string program = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "program";
    std::cerr << program << ": cannot open the windows: " << error << "\n";
    return failed;
  }
  return run(argc, argv);
}

}  // namespace tessaran
