#pragma once
// A printf subset that takes no locks and allocates nothing, for the crash
// report, which is written inside a signal handler.
// Supported: %d %i %u %x %X %c %s %%, the flags '-' and '0', a width, and the
// size prefixes h, l, ll and z. A null string prints "(null)".
#include <cstdarg>
#include <cstddef>

namespace vz {

// Writes at most capacity - 1 bytes and always terminates when capacity > 0.
// Returns the number of bytes written (without the terminator).
size_t SafeFormat(char* out, size_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));
size_t SafeFormatV(char* out, size_t capacity, const char* format, va_list args);

}  // namespace vz
