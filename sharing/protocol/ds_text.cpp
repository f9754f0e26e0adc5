#include "sharing/protocol/ds_text.h"

#include "platform/text.h"

std::string DsUtf8Cut(const char16_t* text, size_t max_bytes) {
  std::string utf8 = vz::Utf16ToUtf8(text);
  if (utf8.size() <= max_bytes) return utf8;
  size_t end = max_bytes;
  // Step back over continuation bytes so no character is split.
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
  utf8.resize(end);
  return utf8;
}

void DsUtf8ToField(std::string_view text, char16_t* field, size_t capacity) {
  if (field == nullptr || capacity == 0) return;
  std::u16string wide = vz::Utf8ToUtf16(text);
  if (wide.size() > capacity - 1) {
    size_t end = capacity - 1;
    // Do not keep the first half of a surrogate pair.
    if (end > 0 && wide[end - 1] >= 0xD800 && wide[end - 1] <= 0xDBFF) --end;
    wide.resize(end);
  }
  vz::CopyUtf16(field, capacity, wide);
}
