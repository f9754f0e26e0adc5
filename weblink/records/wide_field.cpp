#include "weblink/records/wide_field.h"

#include <cstring>
#include <string>

#include "common/trace_client.h"
#include "platform/text.h"

bool StoreWideField(char16_t* field, size_t capacity, std::string_view utf8, const char* field_name) {
  std::memset(field, 0, capacity * sizeof(char16_t));
  const std::u16string wide = vz::Utf8ToUtf16(utf8);
  if (wide.size() + 1 > capacity) {
    // The record keeps its layout, so the text cannot be cut silently either.
    VZ_LOG_ERROR("%s is %zu characters, more than the %zu its field holds: left empty", field_name, wide.size(),
                 capacity - 1);
    return false;
  }
  std::memcpy(field, wide.data(), wide.size() * sizeof(char16_t));
  return true;
}
