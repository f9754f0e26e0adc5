#pragma once
// The text of a log line from a caller's printf format and arguments: what
// vsnprintf writes, except that each text and character argument (%s, %c,
// %ls, %lc) is written through AppendLineSafeText (common/log_text.h), with
// its precision taken from the value as it came and its width applied to the
// escaped text. The format's own text is written as it stands: it is the
// caller's, the arguments may come from anywhere.
//
// %n stores nothing (its pointer is read and skipped). A conversion this
// formatter does not know ends the reading of arguments: it and the rest of
// the format are written as they stand.
//
// Threads: none; a function of its arguments.
#include <cstdarg>
#include <cstddef>

namespace vz {

// Writes at most capacity - 1 bytes and a terminating zero when capacity > 0;
// returns the bytes written. Text that does not fit is cut.
size_t FormatLogTextV(char* out, size_t capacity, const char* format, va_list args);

}  // namespace vz
