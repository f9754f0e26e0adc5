#include "client/controller/wrapper_module_loader.h"

#include <utility>

#include "platform/module_loader.h"

namespace vz {
namespace {

// One handle per library for the life of the process, shared with every
// other user of the platform's loader: a library that stays mapped anyway
// needs no second handle.
class PlatformModuleLoader : public IModuleLoader {
 public:
  OpenedLibrary Open(std::string_view file_name) override {
    ModuleLoad load = LoadModuleOnce(file_name);
    return OpenedLibrary{load.module, std::move(load.error)};
  }
  void* Ordinal(void* module, int ordinal) override {
    return GetModuleOrdinal(static_cast<ModuleHandle>(module), ordinal);
  }
};

}  // namespace

IModuleLoader& SystemModuleLoader() {
  // Never destroyed: libraries stay loaded while static destructors run.
  static PlatformModuleLoader* loader = new PlatformModuleLoader();
  return *loader;
}

}  // namespace vz
