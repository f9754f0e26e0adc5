#include "weblink/json/json_parser.h"

#include <cstdint>
#include <cstring>

namespace {

bool IsJsonSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// A single pass over [cursor, end); `end` is the text's NUL.
class Parser {
 public:
  Parser(const char* begin, const char* end) : cursor_(begin), end_(end) {}

  std::unique_ptr<JsonValue> ParseDocument() {
    SkipSpace();
    if (AtEnd()) return nullptr;
    std::unique_ptr<JsonValue> root = ParseValue();
    if (!root) return nullptr;
    SkipSpace();
    if (!AtEnd()) return nullptr;
    return root;
  }

 private:
  bool AtEnd() const { return cursor_ == end_; }
  size_t Left() const { return static_cast<size_t>(end_ - cursor_); }
  void SkipSpace() {
    while (cursor_ != end_ && IsJsonSpace(*cursor_)) ++cursor_;
  }

  // Compares `literal` (lower case) with the next bytes, ignoring case.
  bool MatchLiteral(const char* literal, size_t length) const {
    if (Left() < length) return false;
    for (size_t i = 0; i < length; ++i) {
      char c = cursor_[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != literal[i]) return false;
    }
    return true;
  }

  std::unique_ptr<JsonValue> ParseValue() {
    const char c = *cursor_;
    if (c == '"') {
      ++cursor_;
      auto node = std::make_unique<JsonValue>(kJsonTagString);
      if (!ParseString(node->text)) return nullptr;
      return node;
    }
    if (MatchLiteral("true", 4) || MatchLiteral("false", 5)) {
      auto node = std::make_unique<JsonValue>(kJsonTagBool);
      node->flag = (c == 't' || c == 'T');
      cursor_ += node->flag ? 4 : 5;
      return node;
    }
    if (MatchLiteral("null", 4)) {
      cursor_ += 4;
      return std::make_unique<JsonValue>(kJsonTagNull);
    }
    if (c == '-' || IsDigit(c)) return ParseNumber();
    if (c == '[' || c == '{') {
      if (depth_ >= kJsonMaxDepth) return nullptr;
      ++cursor_;
      ++depth_;
      std::unique_ptr<JsonValue> node = (c == '[') ? ParseArray() : ParseObject();
      --depth_;
      return node;
    }
    return nullptr;
  }

  // Reads four hex digits after "\u"; -1 when they are not there.
  int32_t ReadHexQuad() {
    if (Left() < 4) return -1;
    int32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = HexDigitValue(cursor_[i]);
      if (digit < 0) return -1;
      value = (value << 4) | digit;
    }
    cursor_ += 4;
    return value;
  }

  // The cursor stands after "\u". Joins a surrogate pair; a lone surrogate
  // becomes U+FFFD. \u0000 fails, since later C-string handling would cut there.
  bool ParseUnicodeEscape(std::string& out) {
    const int32_t unit = ReadHexQuad();
    if (unit <= 0) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF && Left() >= 2 && cursor_[0] == '\\' && cursor_[1] == 'u') {
      const char* after_high = cursor_;
      cursor_ += 2;
      const int32_t low = ReadHexQuad();
      if (low < 0) return false;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) +
                            (static_cast<uint32_t>(low) - 0xDC00));
        return true;
      }
      cursor_ = after_high;  // not a pair: the second escape is read on its own
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacementCharacter);
    } else {
      AppendUtf8(out, static_cast<uint32_t>(unit));
    }
    return true;
  }

  // The cursor stands after the opening double quote.
  bool ParseString(std::string& out) {
    for (;;) {
      const char* run = cursor_;
      while (cursor_ != end_ && *cursor_ != '"' && *cursor_ != '\\') ++cursor_;
      out.append(run, cursor_);
      if (AtEnd()) return false;
      if (*cursor_ == '"') {
        ++cursor_;
        return true;
      }
      ++cursor_;  // the backslash
      if (AtEnd()) return false;
      const char escape = *cursor_++;
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
          if (!ParseUnicodeEscape(out)) return false;
          break;
        default:
          return false;
      }
    }
  }

  // Reads a digit run as an exponent count, saturating: beyond a few hundred
  // the value is 0 or infinite anyway.
  unsigned ReadExponentCount() {
    unsigned count = 0;
    while (cursor_ != end_ && IsDigit(*cursor_)) {
      if (count < 100000) count = count * 10 + static_cast<unsigned>(*cursor_ - '0');
      ++cursor_;
    }
    return count;
  }

  std::unique_ptr<JsonValue> ParseNumber() {
    const bool negative = (*cursor_ == '-');
    if (negative) ++cursor_;
    if (AtEnd() || !IsDigit(*cursor_)) return nullptr;
    double value = 0;
    if (*cursor_ == '0') {
      ++cursor_;
    } else {
      while (cursor_ != end_ && IsDigit(*cursor_)) value = value * 10 + (*cursor_++ - '0');
    }
    if (cursor_ != end_ && *cursor_ == '.') {
      ++cursor_;
      if (AtEnd() || !IsDigit(*cursor_)) return nullptr;
      double weight = 0.1;
      while (cursor_ != end_ && IsDigit(*cursor_)) {
        value += (*cursor_++ - '0') * weight;
        weight *= 0.1;
      }
    }
    if (cursor_ != end_ && (*cursor_ == 'e' || *cursor_ == 'E')) {
      ++cursor_;
      bool divide = false;
      if (cursor_ != end_ && (*cursor_ == '+' || *cursor_ == '-')) divide = (*cursor_++ == '-');
      if (AtEnd() || !IsDigit(*cursor_)) return nullptr;
      // Repeated multiplication as the grammar says, but it stops once the
      // value can no longer change (0 or infinite), so any count is prompt.
      unsigned count = ReadExponentCount();
      const double limit = 1.7976931348623157e308;
      while (count-- > 0 && value != 0 && value <= limit) value = divide ? value / 10 : value * 10;
    }
    auto node = std::make_unique<JsonValue>(kJsonTagNumber);
    node->number = negative ? -value : value;
    return node;
  }

  // The cursor stands after "[".
  std::unique_ptr<JsonValue> ParseArray() {
    auto node = std::make_unique<JsonValue>(kJsonTagArray);
    for (;;) {
      SkipSpace();
      if (AtEnd()) return nullptr;
      if (node->items.empty() && *cursor_ == ']') {
        ++cursor_;
        return node;
      }
      std::unique_ptr<JsonValue> item = ParseValue();
      if (!item) return nullptr;
      node->items.push_back(item.release());
      SkipSpace();
      if (AtEnd()) return nullptr;
      const char c = *cursor_++;
      if (c == ']') return node;
      if (c != ',') return nullptr;
    }
  }

  // The cursor stands after "{".
  std::unique_ptr<JsonValue> ParseObject() {
    auto node = std::make_unique<JsonValue>(kJsonTagObject);
    bool first = true;
    for (;;) {
      SkipSpace();
      if (AtEnd()) return nullptr;
      if (first && *cursor_ == '}') {
        ++cursor_;
        return node;
      }
      first = false;
      if (*cursor_ != '"') return nullptr;
      ++cursor_;
      std::string name;
      if (!ParseString(name)) return nullptr;
      SkipSpace();
      if (AtEnd() || *cursor_ != ':') return nullptr;
      ++cursor_;
      SkipSpace();
      if (AtEnd()) return nullptr;
      std::unique_ptr<JsonValue> value = ParseValue();
      if (!value) return nullptr;
      auto [slot, inserted] = node->members.try_emplace(std::move(name), nullptr);
      if (!inserted) delete slot->second;  // the last duplicate wins
      slot->second = value.release();
      SkipSpace();
      if (AtEnd()) return nullptr;
      const char c = *cursor_++;
      if (c == '}') return node;
      if (c != ',') return nullptr;
    }
  }

  const char* cursor_;
  const char* const end_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<JsonValue> JsonParse(const char* text) {
  if (!text) return nullptr;
  Parser parser(text, text + std::strlen(text));
  return parser.ParseDocument();
}
