#pragma once
// The project's formatter for wide (UTF-16) format strings, with Windows
// meanings: %s takes a const char16_t*, %S a narrow const char* (UTF-8).
// Supported: %d %i %u %x %X %c %s %S %p %f %%, flags '-' '0' '+' ' ' '#', width and
// precision (also '*'), and the size prefixes h, l, ll, z (l and ll read the C
// long and long long types, as on this platform). A null string prints "(null)".
// As on Windows, %hs/%hS are narrow and %ls/%lS wide, and %p prints every digit
// of the pointer in upper case with no prefix. A precision on a narrow string
// counts its bytes (so "%.*S" prints a slice), on a wide one its units. A
// conversion not listed here (%n among them) is copied as written, reading no
// argument. Output that does not fit is cut before the first unit that does
// not, never between the halves of a surrogate pair.
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace vz {

// Writes at most capacity - 1 units and always terminates when capacity > 0.
// Returns the number of units written (without the terminator).
size_t FormatWide(char16_t* out, size_t capacity, const char16_t* format, ...);
size_t FormatWideV(char16_t* out, size_t capacity, const char16_t* format, va_list args);

// What becomes of each text and character argument before it is written
// (the log writer escapes them): `narrow` takes a narrow text as it came
// (UTF-8, after its precision), `wide` a wide text or character. A null
// function leaves its arguments as they are; width is applied afterwards.
struct WideFormatFields {
  std::string (*narrow)(std::string_view text) = nullptr;
  std::u16string (*wide)(std::u16string_view text) = nullptr;
};
size_t FormatWideV(char16_t* out, size_t capacity, const char16_t* format, va_list args,
                   const WideFormatFields& fields);

// Formats into a string with no limit.
std::u16string FormatWideString(const char16_t* format, ...);
std::u16string FormatWideStringV(const char16_t* format, va_list args);

}  // namespace vz
