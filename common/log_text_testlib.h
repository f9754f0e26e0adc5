#pragma once
// Test support: a log value written by vz::LogText (common/log_text.h) read
// back, with the escapes written out here as a witness of the format.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vz::testing::log_text_detail {

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The number of hex digits at `at`, read into `value`; false unless all are there.
inline bool ReadHex(const std::string& text, size_t at, size_t digits, uint32_t* value) {
  if (text.size() - at < digits) return false;
  *value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int digit = HexDigit(text[at + i]);
    if (digit < 0) return false;
    *value = *value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

// Characters the writer must escape.
inline bool MustBeEscaped(uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace vz::testing::log_text_detail

namespace vz::testing {

// False when `escaped` holds a control byte, malformed UTF-8, a character that
// should have been escaped, or an escape that is not one.
inline bool UnescapeLogText(const std::string& escaped, std::string* field) {
  field->clear();
  size_t at = 0;
  while (at < escaped.size()) {
    const auto lead = static_cast<unsigned char>(escaped[at]);
    if (lead == '\\') {
      uint32_t value = 0;
      const char kind = at + 1 < escaped.size() ? escaped[at + 1] : '\0';
      if (kind == '\\') {
        field->push_back('\\');
        at += 2;
      } else if (kind == 'x' && log_text_detail::ReadHex(escaped, at + 2, 2, &value)) {
        field->push_back(static_cast<char>(value));
        at += 4;
      } else if (kind == 'u' && log_text_detail::ReadHex(escaped, at + 2, 4, &value) && value >= 0x80 && log_text_detail::MustBeEscaped(value)) {
        // A character of two or three bytes in UTF-8.
        if (value < 0x800) {
          field->push_back(static_cast<char>(0xC0 | (value >> 6)));
        } else {
          field->push_back(static_cast<char>(0xE0 | (value >> 12)));
          field->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        }
        field->push_back(static_cast<char>(0x80 | (value & 0x3F)));
        at += 6;
      } else {
        return false;
      }
      continue;
    }
    // A well-formed UTF-8 character that needs no escape.
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4                ? 4
                                                                        : 0;
    if (length == 0 || escaped.size() - at < length) return false;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(escaped[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || log_text_detail::MustBeEscaped(c)) return false;
    field->append(escaped, at, length);
    at += length;
  }
  return true;
}

}  // namespace vz::testing
