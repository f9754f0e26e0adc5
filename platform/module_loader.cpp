#include "platform/module_loader.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/elf_modules.h"
#include "platform/file_system.h"
#include "platform/platform_log.h"
#include "platform/process.h"

namespace vz {

struct Module {
  void* handle;
  std::string name;  // short name, the key of the ordinal table
};

namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = text[text.size() - suffix.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != suffix[i]) return false;
  }
  return true;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

const char* LastError() {
  const char* error = dlerror();
  return error != nullptr ? error : "unknown error";
}

// The errno-like code of a failed dlopen. dlopen keeps no code that a
// caller can read (it leaves errno as it found it), but its text ends with
// the system's message for the file access that failed; a file found but
// refused (not a library, a missing dependency or symbol) ends otherwise and
// is ELIBBAD.
int LoadErrorCode(std::string_view reason) {
  for (int code : {ENOENT, EACCES, EPERM, ENOTDIR, EISDIR, ELOOP, ENAMETOOLONG, ENOMEM, EMFILE, ENFILE, EIO}) {
    const std::string tail = std::string(": ") + std::strerror(code);
    if (reason.size() >= tail.size() && reason.substr(reason.size() - tail.size()) == tail) return code;
  }
  return ELIBBAD;
}

ModuleLoad LoadFailure(const std::string& library) {
  ModuleLoad load;
  load.error.reason = LastError();
  load.error.code = LoadErrorCode(load.error.reason);
  PlatformLog("cannot load module %s: %s", library.c_str(), load.error.reason.c_str());
  return load;
}

}  // namespace

std::string ModuleShortName(std::string_view file_name) {
  if (file_name.empty() || file_name.find('/') != std::string_view::npos) return std::string();
  std::string_view name = file_name;
  // Windows names ("VzShare.dll", "vzshare") ignore case as its file system
  // does; a Linux name ("libvzshare.so") is taken as written.
  if (EndsWith(name, ".so")) {
    name.remove_suffix(3);
    if (name.substr(0, 3) == "lib") name.remove_prefix(3);
    return std::string(name);
  }
  if (EndsWith(name, ".dll")) name.remove_suffix(4);
  if (name.empty()) return std::string();
  return LowerAscii(name);
}

ModuleLoad LoadModule(std::string_view file_name) {
  const std::string name = ModuleShortName(file_name);
  if (name.empty()) {
    ModuleLoad load;
    load.error.code = EINVAL;
    load.error.reason = "not a library file name: \"" + std::string(file_name) + "\"";
    PlatformLog("cannot load module: %s", load.error.reason.c_str());
    return load;
  }
  const std::string library = "lib" + name + ".so";
  const std::string folder = ExecutableDir();
  const std::string beside = folder.empty() ? std::string() : JoinPath(folder, library);
  // A library beside the program that fails to load is an error of its own;
  // another copy found elsewhere would hide it.
  const std::string& path = !beside.empty() && FileExists(beside) ? beside : library;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return LoadFailure(path);
  // The crash handler reads the list of images only from this snapshot.
  RefreshElfModuleSnapshot();
  ModuleLoad load;
  load.module = new Module{handle, name};
  return load;
}

ModuleLoad LoadModuleOnce(std::string_view file_name) {
  // Never destroyed: a library's users may still ask while the process ends.
  static std::mutex* mutex = new std::mutex();
  static auto* modules = new std::map<std::string, ModuleHandle>();
  const std::string key = ModuleShortName(file_name);
  std::lock_guard<std::mutex> lock(*mutex);
  const auto found = modules->find(key);
  if (found != modules->end()) return ModuleLoad{found->second, {}};
  ModuleLoad load = LoadModule(file_name);
  if (load.module != nullptr) modules->emplace(key, load.module);
  return load;
}

void* GetModuleSymbol(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) {
    PlatformLog("cannot resolve %s: no module loaded", name != nullptr ? name : "(null)");
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(module->handle, name);
  if (symbol == nullptr) {
    PlatformLog("cannot resolve %s in lib%s.so: %s", name, module->name.c_str(), LastError());
  }
  return symbol;
}

void* GetModuleOrdinal(ModuleHandle module, int ordinal) {
  if (module == nullptr) {
    PlatformLog("cannot resolve ordinal %d: no module loaded", ordinal);
    return nullptr;
  }
  const char* name = OrdinalExportName(module->name, ordinal);
  if (name == nullptr) {
    PlatformLog("cannot resolve ordinal %d of lib%s.so: no export of that ordinal", ordinal, module->name.c_str());
    return nullptr;
  }
  return GetModuleSymbol(module, name);
}

void FreeModule(ModuleHandle module) {
  if (module == nullptr) return;
  if (dlclose(module->handle) != 0) PlatformLog("cannot unload lib%s.so: %s", module->name.c_str(), LastError());
  delete module;
  RefreshElfModuleSnapshot();
}

}  // namespace vz
