#pragma once
// How text from outside is written into a log line.
//
// The log writer passes every text argument of every line through
// AppendLineSafeText, so whatever a value holds, it stays inside its line:
// - a control byte (0x01 to 0x1F, 0x7F) and a byte that is not part of a
//   well-formed UTF-8 sequence are written as "\x" and two upper-case hex
//   digits: a line end is "\x0D\x0A";
// - the C1 controls (U+0080 to U+009F), the line and paragraph separators
//   (U+2028, U+2029) and the marks and embeddings that reorder text
//   (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) are written as "\u"
//   and four upper-case hex digits;
// - every other character, a backslash included, is written as it is.
//
// A value whose every byte matters (an id a member chose, which may hold a
// NUL or a backslash) is handed to the log as LogText(value).c_str(): the
// whole value, NUL bytes included, escaped as above and with each backslash
// written as two, so that it reads back as exactly what it was and two
// values never log alike. The writer then finds nothing more to escape.
//
// Threads: none; functions of their arguments.
#include <cstddef>
#include <string>
#include <string_view>

namespace vz {

// A value for a "%s" of a log line, read back exactly (above).
std::string LogText(std::string_view value);

// The length of the leading run of `text` (`size` bytes) that the writer
// writes as it stands: printable ASCII (0x20 to 0x7E). A text whose run is
// its whole size needs no escape.
size_t PrintableAsciiRunLength(const char* text, size_t size);

// The log writer's pass over a narrow text argument.
void AppendLineSafeText(std::string* out, std::string_view text);
// The same pass into a caller's buffer, for the crash report: it allocates
// nothing and takes no lock (async-signal-safe). Writes at most capacity - 1
// bytes and a terminating zero when capacity > 0, and returns the bytes
// written; text that does not fit is cut before the first character or
// escape that does not fit whole.
size_t WriteLineSafeText(char* out, size_t capacity, std::string_view text);
// The same for a UTF-16 text argument; a unit of a surrogate pair that is not
// whole is written as "\u" and its four hex digits.
std::u16string LineSafeText(std::u16string_view text);

}  // namespace vz
