#pragma once
// The in-memory module loader for tests: a test registers a library's
// exports by ordinal, and the loader counts what the wrappers ask of it.
#include <map>
#include <string>
#include <string_view>

#include "client/controller/wrapper_module_loader.h"

namespace vz {

class FakeModuleLoader : public IModuleLoader {
 public:
  // Makes `file_name` loadable with these exports (ordinal -> function).
  // Registering the name again replaces its exports.
  void AddLibrary(const std::string& file_name, std::map<int, void*> exports);

  // Null for an unknown name, with ENOENT as the system loader gives it.
  OpenedLibrary Open(std::string_view file_name) override;
  void* Ordinal(void* module, int ordinal) override;

  // Opens of that name, successful or not.
  int open_count(const std::string& file_name) const;
  // Ordinal lookups of any library.
  int ordinal_lookups() const { return ordinal_lookups_; }
  int ordinal_lookups(int ordinal) const;

 private:
  struct Library {
    std::map<int, void*> exports;
  };
  std::map<std::string, Library> libraries_;
  std::map<std::string, int> opens_;
  std::map<int, int> lookups_by_ordinal_;
  int ordinal_lookups_ = 0;
};

}  // namespace vz
