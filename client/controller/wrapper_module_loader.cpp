#include "client/controller/wrapper_module_loader.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/module_loader.h"

namespace vz {
namespace {

// Keeps one handle per library for the life of the process: a second load
// of a library that stays mapped anyway needs no second handle.
class PlatformModuleLoader : public IModuleLoader {
 public:
  OpenedLibrary Open(std::string_view file_name) override {
    const std::string key = ModuleShortName(file_name);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!key.empty()) {
      const auto found = modules_.find(key);
      if (found != modules_.end()) return OpenedLibrary{found->second, {}};
    }
    ModuleLoad load = LoadModule(file_name);
    if (load.module && !key.empty()) modules_.emplace(key, load.module);
    return OpenedLibrary{load.module, std::move(load.error)};
  }
  void* Ordinal(void* module, int ordinal) override {
    return GetModuleOrdinal(static_cast<ModuleHandle>(module), ordinal);
  }

 private:
  std::mutex mutex_;
  std::map<std::string, ModuleHandle> modules_;
};

}  // namespace

IModuleLoader& SystemModuleLoader() {
  // Never destroyed: libraries stay loaded while static destructors run.
  static PlatformModuleLoader* loader = new PlatformModuleLoader();
  return *loader;
}

}  // namespace vz
