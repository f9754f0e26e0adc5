#include "trace/signal_safe_format.h"

#include <cstdint>

namespace vz {
namespace {

class Output {
 public:
  Output(char* out, size_t capacity) : out_(out), limit_(capacity ? capacity - 1 : 0), active_(capacity > 0) {}
  void Put(char c) {
    if (active_ && length_ < limit_) out_[length_++] = c;
  }
  void Repeat(char c, int count) {
    for (int i = 0; i < count; ++i) Put(c);
  }
  size_t Finish() {
    if (active_) out_[length_] = '\0';
    return length_;
  }

 private:
  char* out_;
  size_t limit_;
  bool active_;
  size_t length_ = 0;
};

struct Conversion {
  bool left = false;
  bool zero = false;
  int width = 0;
};

void PutPadded(Output& out, const Conversion& conv, const char* text, int length, bool numeric, bool negative) {
  const int sign = negative ? 1 : 0;
  const int pad = conv.width > length + sign ? conv.width - length - sign : 0;
  if (conv.left) {
    if (negative) out.Put('-');
    for (int i = 0; i < length; ++i) out.Put(text[i]);
    out.Repeat(' ', pad);
    return;
  }
  if (numeric && conv.zero) {
    if (negative) out.Put('-');
    out.Repeat('0', pad);
  } else {
    out.Repeat(' ', pad);
    if (negative) out.Put('-');
  }
  for (int i = 0; i < length; ++i) out.Put(text[i]);
}

void PutUnsigned(Output& out, const Conversion& conv, unsigned long long value, unsigned base, bool upper,
                 bool negative) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[24];
  int n = 0;
  do {
    reversed[n++] = digits[value % base];
    value /= base;
  } while (value != 0);
  char text[24];
  for (int i = 0; i < n; ++i) text[i] = reversed[n - 1 - i];
  PutPadded(out, conv, text, n, true, negative);
}

}  // namespace

size_t SafeFormatV(char* out_buffer, size_t capacity, const char* format, va_list args) {
  Output out(out_buffer, capacity);
  if (format == nullptr) return out.Finish();
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    ++p;
    Conversion conv;
    for (;; ++p) {
      if (*p == '-') conv.left = true;
      else if (*p == '0') conv.zero = true;
      else break;
    }
    while (*p >= '0' && *p <= '9') conv.width = conv.width * 10 + (*p++ - '0');
    int longs = 0;
    bool size_t_arg = false;
    for (;; ++p) {
      if (*p == 'h') continue;  // shorts arrive promoted to int
      if (*p == 'l') ++longs;
      else if (*p == 'z') size_t_arg = true;
      else break;
    }
    switch (*p) {
      case 'd':
      case 'i': {
        long long value;
        if (size_t_arg) value = static_cast<long long>(va_arg(args, size_t));
        else if (longs >= 2) value = va_arg(args, long long);
        else if (longs == 1) value = va_arg(args, long);
        else value = va_arg(args, int);
        const bool negative = value < 0;
        const unsigned long long magnitude =
            negative ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
        PutUnsigned(out, conv, magnitude, 10, false, negative);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        unsigned long long value;
        if (size_t_arg) value = va_arg(args, size_t);
        else if (longs >= 2) value = va_arg(args, unsigned long long);
        else if (longs == 1) value = va_arg(args, unsigned long);
        else value = va_arg(args, unsigned int);
        PutUnsigned(out, conv, value, *p == 'u' ? 10 : 16, *p == 'X', false);
        break;
      }
      case 'c': {
        const char c = static_cast<char>(va_arg(args, int));
        PutPadded(out, conv, &c, 1, false, false);
        break;
      }
      case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        int length = 0;
        while (text[length] != '\0') ++length;
        PutPadded(out, conv, text, length, false, false);
        break;
      }
      case '%':
        out.Put('%');
        break;
      case '\0':
        return out.Finish();
      default:  // unsupported: print it as it stands
        out.Put('%');
        out.Put(*p);
        break;
    }
  }
  return out.Finish();
}

size_t SafeFormat(char* out, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t n = SafeFormatV(out, capacity, format, args);
  va_end(args);
  return n;
}

}  // namespace vz
