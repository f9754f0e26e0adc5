#pragma once
// The settings store that takes the place of the registry under
// HKEY_CURRENT_USER. Keys are paths such as "Software\\Velzar\\vzreport"; key and
// value names compare case-insensitively (ASCII), as in the registry.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Each Read returns false when the value is missing or has another type.
  virtual bool ReadDword(std::string_view key, std::string_view name, uint32_t* value) = 0;
  virtual bool ReadString(std::string_view key, std::string_view name, std::u16string* value) = 0;
  virtual bool ReadBinary(std::string_view key, std::string_view name, std::vector<uint8_t>* value) = 0;

  // Each Write returns false when the value could not be stored.
  virtual bool WriteDword(std::string_view key, std::string_view name, uint32_t value) = 0;
  virtual bool WriteString(std::string_view key, std::string_view name, std::u16string_view value) = 0;
  virtual bool WriteBinary(std::string_view key, std::string_view name, const std::vector<uint8_t>& value) = 0;

  // True when the value is gone afterwards (also when it never existed).
  virtual bool DeleteValue(std::string_view key, std::string_view name) = 0;
};

// The user's store: the file "settings" in ConfigFolder(), mode 0600, written
// atomically (temporary file, then rename) under a lock on "settings.lock".
// Every operation reads the file afresh, so processes see each other's writes.
// A corrupt file reads as empty (logged); the next write keeps it aside as
// "settings.corrupt". Tests may replace the store.
SettingsStore& UserSettings();
void SetUserSettingsForTesting(SettingsStore* store);  // null restores the file store

std::unique_ptr<SettingsStore> OpenFileSettingsStore(const std::string& path);
std::unique_ptr<SettingsStore> CreateMemorySettingsStore();

}  // namespace vz
