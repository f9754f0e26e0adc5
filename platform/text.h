#pragma once
// Exact conversions between the system's wide text (UTF-16) and UTF-8.
// No locale is involved. Unpaired surrogates and malformed UTF-8 become U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>

namespace vz {

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
