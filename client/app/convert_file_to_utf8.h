#pragma once
// "/UTF8:": rewrites a UTF-16 (little-endian) text file as UTF-8. The text
// ends at its first zero unit; a byte-order mark is converted like any other
// character (FF FE becomes EF BB BF), and an unpaired surrogate becomes
// U+FFFD. The new text goes to a temporary file that replaces the original
// only when everything succeeded, so a failure never loses the content.
#include <cstddef>
#include <string_view>

// Files larger than this are refused (the input limit, with room for a
// terminating zero unit).
inline constexpr size_t kMaxUtf16InputBytes = 39998;

// 1 when the file was rewritten; 0 for an empty name, a missing file, a
// file above the limit, or any read, write or rename failure (each logged).
int ConvertFileToUtf8(std::string_view file_name);
