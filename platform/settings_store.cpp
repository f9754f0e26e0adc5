// The memory backend of the settings store and the process's user store.
#include "platform/settings_store.h"

#include <atomic>
#include <mutex>

#include "platform/file_system.h"
#include "platform/platform_log.h"
#include "platform/settings_tree.h"
#include "platform/user_folders.h"

namespace vz {
namespace {

class MemorySettingsStore : public TreeSettingsStore {
 protected:
  bool Lookup(std::string_view key, std::string_view name, SettingsValue* value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const SettingsValue* found = tree_.Find(key, name);
    if (found == nullptr) return false;
    *value = *found;
    return true;
  }

  bool Update(const Change& change) override {
    std::lock_guard<std::mutex> lock(mutex_);
    change(&tree_);
    return true;
  }

 private:
  std::mutex mutex_;
  SettingsTree tree_;
};

std::atomic<SettingsStore*> g_store_for_testing{nullptr};

SettingsStore* CreateUserFileStore() {
  std::string folder = ConfigFolder();
  if (folder.empty()) {
    PlatformLog("no settings folder; settings will not be stored");
    return OpenFileSettingsStore(std::string()).release();
  }
  return OpenFileSettingsStore(JoinPath(folder, "settings")).release();
}

}  // namespace

SettingsStore& UserSettings() {
  if (SettingsStore* store = g_store_for_testing.load()) return *store;
  // Never destroyed: threads and static destructors may still read settings
  // while the process ends.
  static SettingsStore* const file_store = CreateUserFileStore();
  return *file_store;
}

void SetUserSettingsForTesting(SettingsStore* store) { g_store_for_testing.store(store); }

std::unique_ptr<SettingsStore> CreateMemorySettingsStore() { return std::make_unique<MemorySettingsStore>(); }

}  // namespace vz
