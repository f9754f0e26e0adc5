// Feeds arbitrary bytes to the log's text escapes and the line formatter, as
// a narrow value and as UTF-16 units: whatever they hold, the text written
// holds no control byte, and LogText's reads back as the value.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/log_text.h"
#include "common/log_text_testlib.h"
#include "platform/text.h"
#include "trace/log_text_format.h"

namespace {

size_t Formatted(char* out, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t n = vz::FormatLogTextV(out, capacity, format, args);
  va_end(args);
  return n;
}

void CheckNoControlByte(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string value(reinterpret_cast<const char*>(data), size);
  const std::string exact = vz::LogText(value);
  std::string back;
  if (!vz::testing::UnescapeLogText(exact, &back) || back != value) std::abort();

  // Through the formatter: the value up to its first NUL, made line-safe.
  char line[4096];
  const std::string text = value.c_str();
  const size_t n = Formatted(line, sizeof(line), "[%s|%c]", text.c_str(), size > 0 ? data[0] : 'x');
  std::string safe;
  vz::AppendLineSafeText(&safe, text);
  if (std::string(line, n).compare(0, safe.size() + 1, ("[" + safe).substr(0, sizeof(line) - 1)) != 0) std::abort();
  CheckNoControlByte(std::string(line, n));
  // The crash report's form of the same pass: the whole value when the room
  // is there, a prefix of it ending between escapes when it is not.
  std::string whole;
  vz::AppendLineSafeText(&whole, value);
  std::string fixed(4 * size + 1, 'z');
  if (std::string(fixed.data(), vz::WriteLineSafeText(fixed.data(), fixed.size(), value)) != whole) std::abort();
  const size_t cut = vz::WriteLineSafeText(fixed.data(), size / 2 + 1, value);
  if (whole.compare(0, cut, fixed.data(), cut) != 0 || fixed[cut] != '\0') std::abort();

  // As UTF-16 units: made line-safe, then written as UTF-8.
  std::u16string units(size / 2, u'\0');
  std::memcpy(units.data(), data, units.size() * 2);
  CheckNoControlByte(vz::Utf16ToUtf8(vz::LineSafeText(units)));
  return 0;
}
