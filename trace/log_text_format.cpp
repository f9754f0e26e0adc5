#include "trace/log_text_format.h"

#include <sys/types.h>

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <type_traits>

#include "common/log_text.h"
#include "platform/text.h"

namespace vz {
namespace {

// A caller's buffer, filled up to its capacity less the terminator.
class Output {
 public:
  Output(char* buffer, size_t capacity)
      : buffer_(capacity > 0 ? buffer : nullptr), limit_(buffer_ != nullptr ? capacity - 1 : 0) {}
  void Append(const char* text, size_t length) {
    const size_t taken = length < limit_ - size_ ? length : limit_ - size_;
    if (taken > 0) std::memcpy(buffer_ + size_, text, taken);
    size_ += taken;
  }
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  void Repeat(char c, size_t count) {
    while (count-- > 0 && size_ < limit_) buffer_[size_++] = c;
  }
  size_t Finish() {
    if (buffer_ != nullptr) buffer_[size_] = '\0';
    return size_;
  }

 private:
  char* buffer_;
  size_t limit_;
  size_t size_ = 0;
};

enum class Size { kDefault, kChar, kShort, kLong, kLongLong, kMax, kSizeT, kPtrDiff, kLongDouble };

// The flags a directive may carry. printf reads each as a switch, so one
// written twice means what it means once: the directive keeps a set.
constexpr char kFlags[] = "-+ #0'";
constexpr size_t kFlagCount = sizeof(kFlags) - 1;

// One "%..." directive of a format: flags, width, precision, size, conversion.
struct Directive {
  bool flags[kFlagCount] = {};
  bool left = false;
  int width = -1;      // -1: none
  int precision = -1;  // -1: none
  Size size = Size::kDefault;
  char size_text[3] = {};
  char conversion = 0;

  void SetFlag(char flag) { flags[std::strchr(kFlags, flag) - kFlags] = true; }
};

// The directive as snprintf reads it, with any '*' already read into a
// number: '%', each flag once, two numbers of at most ten digits, a size of
// at most two letters, the conversion and a terminator.
struct DirectiveText {
  char text[1 + kFlagCount + 10 + 1 + 10 + 2 + 1 + 1];
};

DirectiveText TextOf(const Directive& directive) {
  DirectiveText out;
  char* at = out.text;
  char* const end = out.text + sizeof(out.text);
  *at++ = '%';
  for (size_t i = 0; i < kFlagCount; ++i) {
    if (directive.flags[i]) *at++ = kFlags[i];
  }
  if (directive.width >= 0) at = std::to_chars(at, end, directive.width).ptr;
  if (directive.precision >= 0) {
    *at++ = '.';
    at = std::to_chars(at, end, directive.precision).ptr;
  }
  for (const char* size = directive.size_text; *size != '\0'; ++size) *at++ = *size;
  *at++ = directive.conversion;
  *at = '\0';
  return out;
}

int ReadNumber(const char** cursor) {
  long long value = 0;
  while (**cursor >= '0' && **cursor <= '9') {
    value = value * 10 + (**cursor - '0');
    if (value > INT_MAX) value = INT_MAX;
    ++*cursor;
  }
  return static_cast<int>(value);
}

// A text made safe for the line, padded to the directive's width (which counts
// bytes). A text with nothing to escape, as most are, is copied as it stands.
void AppendField(Output& out, const Directive& directive, std::string_view value) {
  std::string escaped;
  std::string_view field = value;
  if (PrintableAsciiRunLength(value.data(), value.size()) < value.size()) {
    AppendLineSafeText(&escaped, value);
    field = escaped;
  }
  const size_t width = directive.width > 0 ? static_cast<size_t>(directive.width) : 0;
  const size_t pad = width > field.size() ? width - field.size() : 0;
  if (!directive.left) out.Repeat(' ', pad);
  out.Append(field);
  if (directive.left) out.Repeat(' ', pad);
}

// A wide text as UTF-8, at most `precision` bytes of whole characters when
// one is given (as printf counts %ls).
std::string WideText(const wchar_t* text, int precision) {
  std::string utf8;
  for (; *text != L'\0'; ++text) {
    std::string one;
    AppendUtf8(one, static_cast<char32_t>(*text));
    if (precision >= 0 && utf8.size() + one.size() > static_cast<size_t>(precision)) break;
    utf8 += one;
  }
  return utf8;
}

// A whole number with no flag, width or precision, of a size read as it was
// passed (not narrowed to a char or short first, nor read as another size):
// printf writes just its digits, which are made here without printf's setup,
// as most numbers of a log line are.
bool IsBareInteger(const Directive& directive) {
  if (directive.width >= 0 || directive.precision >= 0) return false;
  for (const bool flag : directive.flags) {
    if (flag) return false;
  }
  return directive.size == Size::kDefault || directive.size == Size::kLong || directive.size == Size::kLongLong ||
         directive.size == Size::kMax || directive.size == Size::kSizeT;
}

template <typename Value>
void AppendInteger(Output& out, char conversion, Value value) {
  constexpr int kOctal = 8, kDecimal = 10, kHex = 16;
  const int base = conversion == 'o' ? kOctal : conversion == 'x' || conversion == 'X' ? kHex : kDecimal;
  char digits[1 + 22];  // a sign and the 22 octal digits of 64 bits
  char* const end = std::to_chars(digits, digits + sizeof(digits), value, base).ptr;
  if (conversion == 'X') {
    for (char* at = digits; at < end; ++at) {
      if (*at >= 'a' && *at <= 'f') *at = static_cast<char>(*at - 'a' + 'A');
    }
  }
  out.Append(digits, static_cast<size_t>(end - digits));
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// One number or pointer as snprintf writes it by its format directive.
template <typename Value>
void AppendFormatted(Output& out, const Directive& directive, Value value) {
  if constexpr (std::is_integral_v<Value>) {
    if (IsBareInteger(directive)) return AppendInteger(out, directive.conversion, value);
  }
  const DirectiveText format = TextOf(directive);
  char text[512];
  const int n = std::snprintf(text, sizeof(text), format.text, value);
  if (n <= 0) return;
  if (static_cast<size_t>(n) < sizeof(text)) {
    out.Append(text, static_cast<size_t>(n));
    return;
  }
  // A wide field: formatted again at its full size.
  std::string wide(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(wide.data(), wide.size(), format.text, value);
  out.Append(wide.data(), static_cast<size_t>(n));
}
#pragma GCC diagnostic pop

}  // namespace

size_t FormatLogTextV(char* out_buffer, size_t capacity, const char* format, va_list args) {
  Output out(out_buffer, capacity);
  if (format == nullptr) return out.Finish();
  const char* cursor = format;
  while (*cursor != '\0') {
    if (*cursor != '%') {
      const char* run = cursor;
      while (*cursor != '\0' && *cursor != '%') ++cursor;
      out.Append(run, static_cast<size_t>(cursor - run));
      continue;
    }
    const char* directive_start = cursor++;
    if (*cursor == '%') {
      out.Append("%", 1);
      ++cursor;
      continue;
    }
    Directive directive;
    while (*cursor != '\0' && std::strchr(kFlags, *cursor) != nullptr) {
      if (*cursor == '-') directive.left = true;
      directive.SetFlag(*cursor++);
    }
    if (*cursor == '*') {
      ++cursor;
      const int width = va_arg(args, int);
      if (width < 0) {
        directive.left = true;
        directive.SetFlag('-');
      }
      directive.width = width < 0 ? (width == INT_MIN ? INT_MAX : -width) : width;
    } else if (*cursor >= '0' && *cursor <= '9') {
      directive.width = ReadNumber(&cursor);
    }
    if (*cursor == '.') {
      ++cursor;
      if (*cursor == '*') {
        ++cursor;
        const int precision = va_arg(args, int);
        directive.precision = precision < 0 ? -1 : precision;
      } else {
        directive.precision = ReadNumber(&cursor);
      }
    }
    const char* size_start = cursor;
    switch (*cursor) {
      case 'h':
        directive.size = cursor[1] == 'h' ? Size::kChar : Size::kShort;
        cursor += cursor[1] == 'h' ? 2 : 1;
        break;
      case 'l':
        directive.size = cursor[1] == 'l' ? Size::kLongLong : Size::kLong;
        cursor += cursor[1] == 'l' ? 2 : 1;
        break;
      case 'q': directive.size = Size::kLongLong; ++cursor; break;
      case 'j': directive.size = Size::kMax; ++cursor; break;
      case 'z':
      case 'Z': directive.size = Size::kSizeT; ++cursor; break;
      case 't': directive.size = Size::kPtrDiff; ++cursor; break;
      case 'L': directive.size = Size::kLongDouble; ++cursor; break;
      default: break;
    }
    std::memcpy(directive.size_text, size_start, static_cast<size_t>(cursor - size_start));
    directive.conversion = *cursor;
    if (directive.conversion != '\0') ++cursor;
    switch (directive.conversion) {
      case 'd':
      case 'i':
        switch (directive.size) {
          case Size::kLong: AppendFormatted(out, directive, va_arg(args, long)); break;
          case Size::kLongLong: AppendFormatted(out, directive, va_arg(args, long long)); break;
          case Size::kMax: AppendFormatted(out, directive, va_arg(args, intmax_t)); break;
          case Size::kSizeT: AppendFormatted(out, directive, va_arg(args, ssize_t)); break;
          case Size::kPtrDiff: AppendFormatted(out, directive, va_arg(args, ptrdiff_t)); break;
          default: AppendFormatted(out, directive, va_arg(args, int)); break;
        }
        break;
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        switch (directive.size) {
          case Size::kLong: AppendFormatted(out, directive, va_arg(args, unsigned long)); break;
          case Size::kLongLong: AppendFormatted(out, directive, va_arg(args, unsigned long long)); break;
          case Size::kMax: AppendFormatted(out, directive, va_arg(args, uintmax_t)); break;
          case Size::kSizeT: AppendFormatted(out, directive, va_arg(args, size_t)); break;
          case Size::kPtrDiff: AppendFormatted(out, directive, va_arg(args, ptrdiff_t)); break;
          default: AppendFormatted(out, directive, va_arg(args, unsigned)); break;
        }
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        if (directive.size == Size::kLongDouble) {
          AppendFormatted(out, directive, va_arg(args, long double));
        } else {
          AppendFormatted(out, directive, va_arg(args, double));
        }
        break;
      case 'p':
        AppendFormatted(out, directive, va_arg(args, void*));
        break;
      case 'c': {
        std::string one;
        if (directive.size == Size::kLong) {
          AppendUtf8(one, static_cast<char32_t>(va_arg(args, wint_t)));
        } else {
          one.push_back(static_cast<char>(va_arg(args, int)));
        }
        AppendField(out, directive, one);
        break;
      }
      case 's':
        if (directive.size == Size::kLong) {
          const wchar_t* text = va_arg(args, const wchar_t*);
          AppendField(out, directive,
                      text == nullptr ? std::string("(null)") : WideText(text, directive.precision));
        } else {
          const char* text = va_arg(args, const char*);
          if (text == nullptr) text = "(null)";
          const size_t length =
              directive.precision < 0 ? std::strlen(text) : strnlen(text, static_cast<size_t>(directive.precision));
          AppendField(out, directive, std::string_view(text, length));
        }
        break;
      case 'n':
        va_arg(args, void*);  // stores nothing
        break;
      default:
        // Unknown: what follows cannot be matched to the arguments.
        out.Append(directive_start, std::strlen(directive_start));
        return out.Finish();
    }
  }
  return out.Finish();
}

}  // namespace vz
