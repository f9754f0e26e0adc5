// The crash path's raw read of the settings file against the settings
// store's own parser: for any bytes, fed in pieces of any size, both must
// give the same answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/fatal_signal_settings.h"
#include "platform/settings_tree.h"

namespace {

void Compare(std::string_view text, size_t piece, const char* key, const char* name) {
  vz::SettingsDwordScanner scanner(key, name);
  for (size_t at = 0; at < text.size(); at += piece) {
    scanner.Feed(text.data() + at, text.size() - at < piece ? text.size() - at : piece);
  }
  uint32_t raw = 0;
  const bool raw_found = scanner.Finish(&raw);

  vz::SettingsTree tree;
  std::string error;
  const vz::SettingsValue* value = vz::SettingsTree::Parse(text, &tree, &error) ? tree.Find(key, name) : nullptr;
  const bool tree_found = value != nullptr && value->type == vz::SettingsValue::Type::kDword;
  if (raw_found != tree_found || (raw_found && raw != value->dword)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the size of the pieces; the rest is the file.
  const size_t piece = 1 + data[0] % 17;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  Compare(text, piece, "Software\\Velzar\\vzreport", "Enable");
  Compare(text, text.size() + 1, "k", "v");
  return 0;
}
