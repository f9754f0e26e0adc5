#pragma once
// The settings store's model, shared by its memory and file backends: keys
// holding named values, both compared case-insensitively (ASCII), and the
// text form the file backend keeps on disk. Internal to platform/.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

namespace vz {

struct SettingsValue {
  enum class Type { kDword, kString, kBinary };
  Type type = Type::kDword;
  uint32_t dword = 0;
  std::string text;  // UTF-8
  std::vector<uint8_t> bytes;

  bool operator==(const SettingsValue&) const = default;
};

struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

class SettingsTree {
 public:
  const SettingsValue* Find(std::string_view key, std::string_view name) const;
  // Keeps the spelling of a key or name that already exists, as the registry does.
  void Set(std::string_view key, std::string_view name, SettingsValue value);
  // True when a value was removed. A key left with no values goes too.
  bool Erase(std::string_view key, std::string_view name);

  // The text form: a header line, then per key a "[key]" line followed by
  // "name=dword:0000002a", "name=string:text" or "name=binary:0a0b" lines.
  // '%', '=', '[', ']' and control characters in keys and names, and '%' and
  // control characters in strings, are written as %XX.
  std::string Serialize() const;
  // False (with the reason in `error`) on anything malformed; `tree` is then empty.
  static bool Parse(std::string_view text, SettingsTree* tree, std::string* error);

  bool operator==(const SettingsTree&) const = default;

 private:
  using Values = std::map<std::string, SettingsValue, CaseInsensitiveLess>;
  std::map<std::string, Values, CaseInsensitiveLess> keys_;
};

// Implements the store's operations on a tree; a backend says how a tree is
// loaded and how a change is applied.
class TreeSettingsStore : public SettingsStore {
 public:
  bool ReadDword(std::string_view key, std::string_view name, uint32_t* value) override;
  bool ReadString(std::string_view key, std::string_view name, std::u16string* value) override;
  bool ReadBinary(std::string_view key, std::string_view name, std::vector<uint8_t>* value) override;
  bool WriteDword(std::string_view key, std::string_view name, uint32_t value) override;
  bool WriteString(std::string_view key, std::string_view name, std::u16string_view value) override;
  bool WriteBinary(std::string_view key, std::string_view name, const std::vector<uint8_t>& value) override;
  bool DeleteValue(std::string_view key, std::string_view name) override;

 protected:
  // A change edits the tree and says whether it changed anything.
  using Change = std::function<bool(SettingsTree* tree)>;
  // Finds one value of the current settings; false when it is missing.
  virtual bool Lookup(std::string_view key, std::string_view name, SettingsValue* value) = 0;
  // False when the change could not be stored (logged).
  virtual bool Update(const Change& change) = 0;

 private:
  bool Write(std::string_view key, std::string_view name, SettingsValue value);
};

}  // namespace vz
