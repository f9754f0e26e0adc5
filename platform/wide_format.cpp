#include "platform/wide_format.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/text.h"

namespace vz {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Collects the formatted units, either into a caller's buffer of fixed
// capacity or into a growing string. Once one unit does not fit, everything
// after it is dropped, so the output is always a prefix of the full text.
class Output {
 public:
  Output(char16_t* buffer, size_t capacity)
      : buffer_(buffer != nullptr && capacity > 0 ? buffer : nullptr),
        limit_(buffer_ != nullptr ? capacity - 1 : 0) {}
  explicit Output(std::u16string* text) : text_(text) {}

  void Put(char16_t unit) {
    if (text_ != nullptr) {
      text_->push_back(unit);
    } else if (!full_ && size_ < limit_) {
      buffer_[size_++] = unit;
    } else {
      full_ = true;
    }
  }

  void PutRepeat(char16_t unit, size_t count) {
    if (text_ != nullptr) {
      text_->append(count, unit);
      return;
    }
    for (size_t i = 0; i < count && !full_; ++i) Put(unit);
  }

  // Writes a run of text; a surrogate pair that does not fit whole is cut
  // before its first half.
  void PutText(const char16_t* units, size_t count) {
    if (text_ != nullptr) {
      text_->append(units, count);
      return;
    }
    for (size_t i = 0; i < count && !full_; ++i) {
      if (IsHighSurrogate(units[i]) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
        if (limit_ - size_ < 2 || full_) {
          full_ = true;
          return;
        }
        buffer_[size_++] = units[i];
        buffer_[size_++] = units[++i];
      } else {
        Put(units[i]);
      }
    }
  }

  void PutAscii(const char* text, size_t count) {
    for (size_t i = 0; i < count; ++i) Put(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
  }

  size_t Finish() {
    if (text_ != nullptr) return text_->size();
    if (buffer_ != nullptr) buffer_[size_] = u'\0';
    return size_;
  }

 private:
  char16_t* buffer_ = nullptr;
  size_t limit_ = 0;  // units that fit before the terminator
  size_t size_ = 0;
  bool full_ = false;
  std::u16string* text_ = nullptr;
};

enum class Size { kDefault, kShort, kLong, kLongLong, kSizeT };

struct Spec {
  bool left = false;
  bool zero = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;  // -1: none given
  Size size = Size::kDefault;
};

int ReadNumber(const char16_t** cursor) {
  long long value = 0;
  while (**cursor >= u'0' && **cursor <= u'9') {
    value = value * 10 + (**cursor - u'0');
    if (value > INT_MAX) value = INT_MAX;
    ++*cursor;
  }
  return static_cast<int>(value);
}

// Pads `body_length` units of content out to the width. `emit_prefix` writes
// the sign and "0x" part, `emit_body` the rest; zero padding goes between.
template <typename Prefix, typename Body>
void EmitPadded(Output& out, const Spec& spec, size_t body_length, bool zero_pad, Prefix emit_prefix,
                Body emit_body) {
  size_t width = static_cast<size_t>(spec.width);
  size_t pad = width > body_length ? width - body_length : 0;
  if (spec.left) {
    emit_prefix();
    emit_body();
    out.PutRepeat(u' ', pad);
  } else if (zero_pad) {
    emit_prefix();
    out.PutRepeat(u'0', pad);
    emit_body();
  } else {
    out.PutRepeat(u' ', pad);
    emit_prefix();
    emit_body();
  }
}

void FormatInteger(Output& out, const Spec& spec, unsigned long long magnitude, bool negative, bool is_signed,
                   int base, bool upper) {
  char digits[24];
  size_t count = 0;
  if (!(spec.precision == 0 && magnitude == 0)) {
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    do {
      digits[count++] = alphabet[magnitude % static_cast<unsigned>(base)];
      magnitude /= static_cast<unsigned>(base);
    } while (magnitude != 0);
  }
  bool nonzero = count > 0 && !(count == 1 && digits[0] == '0');

  char prefix[3];
  size_t prefix_length = 0;
  if (negative) {
    prefix[prefix_length++] = '-';
  } else if (is_signed && spec.plus) {
    prefix[prefix_length++] = '+';
  } else if (is_signed && spec.space) {
    prefix[prefix_length++] = ' ';
  }
  if (spec.alternate && base == 16 && nonzero) {
    prefix[prefix_length++] = '0';
    prefix[prefix_length++] = upper ? 'X' : 'x';
  }
  size_t precision = spec.precision > 0 ? static_cast<size_t>(spec.precision) : 0;
  size_t leading_zeros = precision > count ? precision - count : 0;
  bool zero_pad = spec.zero && spec.precision < 0;

  EmitPadded(
      out, spec, prefix_length + leading_zeros + count, zero_pad, [&] { out.PutAscii(prefix, prefix_length); },
      [&] {
        out.PutRepeat(u'0', leading_zeros);
        for (size_t i = count; i > 0; --i) out.Put(static_cast<char16_t>(digits[i - 1]));
      });
}

void FormatSigned(Output& out, const Spec& spec, long long value) {
  bool negative = value < 0;
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  FormatInteger(out, spec, magnitude, negative, true, 10, false);
}

void FormatText(Output& out, const Spec& spec, const char16_t* text, size_t length) {
  EmitPadded(
      out, spec, length, false, [] {}, [&] { out.PutText(text, length); });
}

void FormatWideArgument(Output& out, const Spec& spec, const char16_t* text, const WideFormatFields* fields) {
  if (text == nullptr) text = u"(null)";
  size_t length = 0;
  if (spec.precision < 0) {
    length = std::char_traits<char16_t>::length(text);
  } else {
    // The text need not be terminated within the precision; read no further.
    size_t limit = static_cast<size_t>(spec.precision);
    while (length < limit && text[length] != u'\0') ++length;
    if (length == limit && length > 0 && IsHighSurrogate(text[length - 1])) --length;
  }
  if (fields != nullptr && fields->wide != nullptr) {
    const std::u16string changed = fields->wide(std::u16string_view(text, length));
    FormatText(out, spec, changed.data(), changed.size());
    return;
  }
  FormatText(out, spec, text, length);
}

// Precision of a narrow argument counts its bytes, so "%.*S" prints a slice.
void FormatNarrowArgument(Output& out, const Spec& spec, const char* text, const WideFormatFields* fields) {
  if (text == nullptr) text = "(null)";
  size_t length = spec.precision < 0 ? std::strlen(text) : strnlen(text, static_cast<size_t>(spec.precision));
  if (fields != nullptr && fields->narrow != nullptr) {
    const std::u16string wide = Utf8ToUtf16(fields->narrow(std::string_view(text, length)));
    FormatText(out, spec, wide.data(), wide.size());
    return;
  }
  std::u16string wide = Utf8ToUtf16(std::string_view(text, length));
  FormatText(out, spec, wide.data(), wide.size());
}

void FormatDouble(Output& out, const Spec& spec, double value) {
  // Fixed notation of a double has at most 309 integer digits; more than
  // this many decimals only pads with zeros nobody reads.
  constexpr int kMaxPrecision = 512;
  int precision = spec.precision < 0 ? 6 : (spec.precision > kMaxPrecision ? kMaxPrecision : spec.precision);
  char digits[320 + kMaxPrecision + 2];
  size_t count = 0;
  bool finite = std::isfinite(value);
  if (finite) {
    auto result =
        std::to_chars(digits, digits + sizeof(digits) - 1, std::fabs(value), std::chars_format::fixed, precision);
    count = static_cast<size_t>(result.ptr - digits);
    if (spec.alternate && precision == 0) digits[count++] = '.';
  } else {
    const char* word = std::isnan(value) ? "nan" : "inf";
    std::memcpy(digits, word, 3);
    count = 3;
  }
  char sign = 0;
  if (std::signbit(value)) {
    sign = '-';
  } else if (spec.plus) {
    sign = '+';
  } else if (spec.space) {
    sign = ' ';
  }
  EmitPadded(
      out, spec, count + (sign ? 1 : 0), spec.zero && finite,
      [&] {
        if (sign) out.Put(static_cast<char16_t>(sign));
      },
      [&] { out.PutAscii(digits, count); });
}

size_t Format(Output& out, const char16_t* format, va_list args, const WideFormatFields* fields) {
  if (format == nullptr) return out.Finish();
  const char16_t* cursor = format;
  while (*cursor != u'\0') {
    if (*cursor != u'%') {
      const char16_t* run = cursor;
      while (*cursor != u'\0' && *cursor != u'%') ++cursor;
      out.PutText(run, static_cast<size_t>(cursor - run));
      continue;
    }
    const char16_t* spec_start = cursor++;
    if (*cursor == u'%') {
      out.Put(u'%');
      ++cursor;
      continue;
    }

    Spec spec;
    for (;; ++cursor) {
      if (*cursor == u'-') {
        spec.left = true;
      } else if (*cursor == u'0') {
        spec.zero = true;
      } else if (*cursor == u'+') {
        spec.plus = true;
      } else if (*cursor == u' ') {
        spec.space = true;
      } else if (*cursor == u'#') {
        spec.alternate = true;
      } else {
        break;
      }
    }
    if (*cursor == u'*') {
      ++cursor;
      int width = va_arg(args, int);
      if (width < 0) {
        spec.left = true;
        width = width == INT_MIN ? INT_MAX : -width;
      }
      spec.width = width;
    } else {
      spec.width = ReadNumber(&cursor);
    }
    if (*cursor == u'.') {
      ++cursor;
      if (*cursor == u'*') {
        ++cursor;
        int precision = va_arg(args, int);
        spec.precision = precision < 0 ? -1 : precision;
      } else {
        spec.precision = ReadNumber(&cursor);
      }
    }
    if (*cursor == u'h') {
      spec.size = Size::kShort;
      ++cursor;
    } else if (*cursor == u'l') {
      ++cursor;
      spec.size = Size::kLong;
      if (*cursor == u'l') {
        spec.size = Size::kLongLong;
        ++cursor;
      }
    } else if (*cursor == u'z') {
      spec.size = Size::kSizeT;
      ++cursor;
    }

    char16_t conversion = *cursor;
    if (conversion == u'\0') {
      out.PutText(spec_start, static_cast<size_t>(cursor - spec_start));
      break;
    }
    ++cursor;
    switch (conversion) {
      case u'd':
      case u'i': {
        long long value;
        switch (spec.size) {
          case Size::kShort: value = static_cast<short>(va_arg(args, int)); break;
          case Size::kLong: value = va_arg(args, long); break;
          case Size::kLongLong: value = va_arg(args, long long); break;
          case Size::kSizeT: value = va_arg(args, ptrdiff_t); break;
          default: value = va_arg(args, int); break;
        }
        FormatSigned(out, spec, value);
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        unsigned long long value;
        switch (spec.size) {
          case Size::kShort: value = static_cast<unsigned short>(va_arg(args, unsigned)); break;
          case Size::kLong: value = va_arg(args, unsigned long); break;
          case Size::kLongLong: value = va_arg(args, unsigned long long); break;
          case Size::kSizeT: value = va_arg(args, size_t); break;
          default: value = va_arg(args, unsigned); break;
        }
        FormatInteger(out, spec, value, false, false, conversion == u'u' ? 10 : 16, conversion == u'X');
        break;
      }
      case u'c': {
        char16_t unit = static_cast<char16_t>(va_arg(args, int));
        if (fields != nullptr && fields->wide != nullptr) {
          const std::u16string changed = fields->wide(std::u16string_view(&unit, 1));
          FormatText(out, spec, changed.data(), changed.size());
        } else {
          FormatText(out, spec, &unit, 1);
        }
        break;
      }
      case u's':
      case u'S': {
        // Windows meanings: %s wide and %S narrow in a wide format; h forces
        // narrow, l forces wide.
        bool wide = conversion == u's';
        if (spec.size == Size::kShort) wide = false;
        if (spec.size == Size::kLong) wide = true;
        if (wide) {
          FormatWideArgument(out, spec, va_arg(args, const char16_t*), fields);
        } else {
          FormatNarrowArgument(out, spec, va_arg(args, const char*), fields);
        }
        break;
      }
      case u'p': {
        // As on Windows: every digit of the pointer, upper case, no prefix.
        Spec pointer_spec = spec;
        pointer_spec.precision = static_cast<int>(sizeof(void*) * 2);
        pointer_spec.alternate = false;
        auto value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
        FormatInteger(out, pointer_spec, value, false, false, 16, true);
        break;
      }
      case u'f':
        FormatDouble(out, spec, va_arg(args, double));
        break;
      default:
        // Unknown conversions are shown as written; no argument is read.
        out.PutText(spec_start, static_cast<size_t>(cursor - spec_start));
        break;
    }
  }
  return out.Finish();
}

}  // namespace

size_t FormatWideV(char16_t* out, size_t capacity, const char16_t* format, va_list args) {
  Output output(out, capacity);
  return Format(output, format, args, nullptr);
}

size_t FormatWideV(char16_t* out, size_t capacity, const char16_t* format, va_list args,
                   const WideFormatFields& fields) {
  Output output(out, capacity);
  return Format(output, format, args, &fields);
}

size_t FormatWide(char16_t* out, size_t capacity, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  size_t written = FormatWideV(out, capacity, format, args);
  va_end(args);
  return written;
}

std::u16string FormatWideStringV(const char16_t* format, va_list args) {
  std::u16string text;
  Output output(&text);
  Format(output, format, args, nullptr);
  return text;
}

std::u16string FormatWideString(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string text = FormatWideStringV(format, args);
  va_end(args);
  return text;
}

}  // namespace vz
