#pragma once
// Stores the web page's UTF-8 texts in the records' fixed UTF-16 fields.
#include <cstddef>
#include <string_view>

// Converts `utf8` to UTF-16 (malformed bytes become U+FFFD) into `field` of
// `capacity` units, NUL-terminated. A text whose UTF-16 form has more than
// capacity - 1 units leaves the whole field zero, and an error line naming
// `field_name` says so. Returns true when the text was stored.
bool StoreWideField(char16_t* field, size_t capacity, std::string_view utf8, const char* field_name);

template <size_t N>
bool StoreWideField(char16_t (&field)[N], std::string_view utf8, const char* field_name) {
  return StoreWideField(field, N, utf8, field_name);
}
