#pragma once
// Exact conversions between the system's wide text (UTF-16) and UTF-8.
// No locale is involved. Unpaired surrogates and malformed UTF-8 become U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>

namespace vz {

// Writes the UTF-8 bytes of one code point at `out` (room for 4 bytes) and
// returns the end: the tree's one UTF-8 encoder, inline for hot paths (the
// conversions here, the JSON parser's \u escapes). A surrogate or a value
// above U+10FFFF is no code point and writes U+FFFD.
inline char* EncodeUtf8(char32_t code_point, char* out) {
  if (code_point < 0x80) {
    *out = static_cast<char>(code_point);
    return out + 1;
  }
  if ((code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF) code_point = 0xFFFD;
  size_t length;
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code_point >> 6));
    length = 2;
  } else if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    length = 3;
  } else {
    out[0] = static_cast<char>(0xF0 | (code_point >> 18));
    length = 4;
  }
  // The continuation bytes, six bits each, lowest last.
  for (size_t i = length - 1; i > 0; --i) {
    out[i] = static_cast<char>(0x80 | (code_point & 0x3F));
    code_point >>= 6;
  }
  return out + length;
}

// Appends the UTF-8 bytes of one code point to `out` (EncodeUtf8).
inline void AppendUtf8(std::string& out, char32_t code_point) {
  char bytes[4];
  out.append(bytes, static_cast<size_t>(EncodeUtf8(code_point, bytes) - bytes));
}

std::string Utf16ToUtf8(std::u16string_view text);
// A null pointer gives "".
std::string Utf16ToUtf8(const char16_t* zero_terminated);
std::u16string Utf8ToUtf16(std::string_view text);
// A null pointer gives "".
std::u16string Utf8ToUtf16(const char* zero_terminated);

// Length in UTF-16 units of a zero-terminated wide text; 0 for null.
size_t Utf16Length(const char16_t* text);

// Copies at most capacity - 1 units and always terminates (capacity > 0).
// Returns false when the text did not fit (the copy is then cut).
bool CopyUtf16(char16_t* out, size_t capacity, std::u16string_view text);

}  // namespace vz
