#include "bridge/message_type_scan.h"

#include <cstring>

#include "bridge/json_plain_run.h"

namespace {

// Deeper texts are left to the parser, whose own limit is higher.
constexpr int kMaxScanDepth = 128;

bool IsSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// The characters of number and literal tokens (true, false, null in any case).
bool IsTokenChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '+' ||
         c == '.';
}

bool IsPlainAscii(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7e) return false;  // char is signed: bytes of 0x80 and above are negative
  }
  return true;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text)
      : p_(text.data()), end_(text.data() + text.size()), values_left_(text.size() / 16 + 64) {}

  bool Run(std::string_view* type) {
    SkipSpace();
    if (p_ == end_ || *p_ != '{') return false;
    ++p_;
    bool found = false;
    SkipSpace();
    if (p_ != end_ && *p_ == '}') {
      ++p_;
    } else {
      for (;;) {
        std::string_view name;
        bool plain = false;
        if (!String(&name, &plain) || !plain || !IsPlainAscii(name)) return false;
        SkipSpace();
        if (p_ == end_ || *p_ != ':') return false;
        ++p_;
        SkipSpace();
        if (name == "type") {
          std::string_view value;
          if (p_ == end_ || *p_ != '"' || !String(&value, &plain) || !plain || !IsPlainAscii(value)) return false;
          *type = value;
          found = true;
        } else if (!Value(1)) {
          return false;
        }
        SkipSpace();
        if (p_ == end_) return false;
        if (*p_ == '}') {
          ++p_;
          break;
        }
        if (*p_ != ',') return false;
        ++p_;
        SkipSpace();
      }
    }
    SkipSpace();
    return found && p_ == end_;
  }

 private:
  void SkipSpace() {
    while (p_ != end_ && IsSpace(*p_)) ++p_;
  }

  bool CountValue() {
    if (values_left_ == 0) return false;
    --values_left_;
    return true;
  }

  // At an opening quote. `text` gets the bytes between the quotes; `plain`
  // says they hold no escape. False (unsure) on a \u escape, a control or
  // zero byte, or a missing closing quote.
  bool String(std::string_view* text, bool* plain) {
    if (p_ == end_ || *p_ != '"' || !CountValue()) return false;
    const char* const start = ++p_;
    *plain = true;
    for (;;) {
      p_ += JsonPlainRunLength(p_, static_cast<size_t>(end_ - p_));
      if (p_ == end_ || static_cast<unsigned char>(*p_) < 0x20) return false;
      if (*p_ == '"') {
        *text = std::string_view(start, static_cast<size_t>(p_ - start));
        ++p_;
        return true;
      }
      // A backslash: the short escapes are sure; \u is left to the parser.
      if (end_ - p_ < 2 || std::strchr("\"\\/bfnrt", p_[1]) == nullptr || p_[1] == '\0') return false;
      *plain = false;
      p_ += 2;
    }
  }

  bool Value(int depth) {
    if (p_ == end_) return false;
    const char c = *p_;
    if (c == '"') {
      std::string_view text;
      bool plain = false;
      return String(&text, &plain);
    }
    if (c == '{' || c == '[') return Container(depth + 1);
    if (!IsTokenChar(c) || !CountValue()) return false;
    while (p_ != end_ && IsTokenChar(*p_)) ++p_;
    return true;
  }

  bool Container(int depth) {
    if (depth > kMaxScanDepth || !CountValue()) return false;
    const bool object = *p_ == '{';
    const char close = object ? '}' : ']';
    ++p_;
    SkipSpace();
    if (p_ != end_ && *p_ == close) {
      ++p_;
      return true;
    }
    for (;;) {
      if (object) {
        std::string_view name;
        bool plain = false;
        if (!String(&name, &plain)) return false;
        SkipSpace();
        if (p_ == end_ || *p_ != ':') return false;
        ++p_;
        SkipSpace();
      }
      if (!Value(depth)) return false;
      SkipSpace();
      if (p_ == end_) return false;
      if (*p_ == close) {
        ++p_;
        return true;
      }
      if (*p_ != ',') return false;
      ++p_;
      SkipSpace();
    }
  }

  const char* p_;
  const char* const end_;
  size_t values_left_;
};

}  // namespace

bool ScanMessageType(std::string_view text, std::string_view* type) {
  Scanner scanner(text);
  std::string_view found;
  if (!scanner.Run(&found)) return false;
  *type = found;
  return true;
}
