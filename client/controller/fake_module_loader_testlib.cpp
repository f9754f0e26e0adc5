#include "client/controller/fake_module_loader_testlib.h"

#include <cerrno>

namespace vz {

void FakeModuleLoader::AddLibrary(const std::string& file_name, std::map<int, void*> exports) {
  libraries_[file_name].exports = std::move(exports);
}

OpenedLibrary FakeModuleLoader::Open(std::string_view file_name) {
  const std::string name(file_name);
  ++opens_[name];
  const auto found = libraries_.find(name);
  if (found == libraries_.end()) return OpenedLibrary{nullptr, ModuleError{ENOENT, name + ": no such library"}};
  return OpenedLibrary{&found->second, {}};
}

void* FakeModuleLoader::Ordinal(void* module, int ordinal) {
  ++ordinal_lookups_;
  ++lookups_by_ordinal_[ordinal];
  if (!module) return nullptr;
  const auto& exports = static_cast<Library*>(module)->exports;
  const auto found = exports.find(ordinal);
  return found == exports.end() ? nullptr : found->second;
}

int FakeModuleLoader::open_count(const std::string& file_name) const {
  const auto found = opens_.find(file_name);
  return found == opens_.end() ? 0 : found->second;
}

int FakeModuleLoader::ordinal_lookups(int ordinal) const {
  const auto found = lookups_by_ordinal_.find(ordinal);
  return found == lookups_by_ordinal_.end() ? 0 : found->second;
}

}  // namespace vz
