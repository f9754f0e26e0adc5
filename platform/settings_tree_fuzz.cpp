// Feeds arbitrary bytes to the settings file parser: it must never crash, and
// whatever it accepts must come back the same through the text form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/settings_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vz::SettingsTree tree;
  std::string error;
  if (!vz::SettingsTree::Parse(text, &tree, &error)) return 0;
  vz::SettingsTree again;
  if (!vz::SettingsTree::Parse(tree.Serialize(), &again, &error) || !(again == tree)) std::abort();
  return 0;
}
