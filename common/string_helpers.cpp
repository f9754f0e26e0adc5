#include "common/string_helpers.h"

#include "platform/text.h"

std::string WideToNarrow(const char16_t* text) {
  if (!text || !*text) return std::string();
  // The converted text is sized by its own length: one UTF-16 unit can need up
  // to three UTF-8 bytes, so a buffer of the wide length would cut it.
  return vz::Utf16ToUtf8(text);
}

std::string ULongToString(uint32_t value) { return std::to_string(value); }

bool IsWindowsVersion6() { return false; }
