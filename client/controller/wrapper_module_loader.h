#pragma once
// The module loader the engine wrappers load their libraries through: a
// library by its file name, an export by its ordinal. Tests give the
// wrappers an in-memory loader; the program uses SystemModuleLoader().
// There is deliberately no way to unload: an engine library, once loaded,
// stays mapped until the process ends.
#include <string_view>

#include "platform/module_loader.h"

namespace vz {

// An opened library, or null and why it did not open.
struct OpenedLibrary {
  void* module = nullptr;
  ModuleError error;
};

class IModuleLoader {
 public:
  virtual ~IModuleLoader() = default;
  // The library's handle, or null with the reason (the loader logs it too).
  virtual OpenedLibrary Open(std::string_view file_name) = 0;
  // Export `ordinal` of an opened library, or null.
  virtual void* Ordinal(void* module, int ordinal) = 0;
};

// Over the platform's loader ("vzshare.dll" opens libvzshare.so beside the
// executable first; ordinals through the fixed export table).
IModuleLoader& SystemModuleLoader();

}  // namespace vz
