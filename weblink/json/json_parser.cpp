#include "weblink/json/json_parser.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "common/trace_client.h"
#include "platform/text.h"

static_assert(std::endian::native == std::endian::little, "the string scan reads words little-endian");

namespace {

bool IsJsonSpace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Eight bytes at a time: a word's bytes that are 0 show as their top bit.
// Only the lowest flagged byte is sure to be a match, which is all we need.
constexpr uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr uint64_t kTopBits = 0x8080808080808080ULL;
inline uint64_t ZeroBytes(uint64_t word) { return (word - kEveryByte) & ~word & kTopBits; }

// The first double quote, backslash or NUL in [p, end), or end.
const char* FindStringStop(const char* p, const char* end) {
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    const uint64_t hits = ZeroBytes(word) | ZeroBytes(word ^ (kEveryByte * '"')) | ZeroBytes(word ^ (kEveryByte * '\\'));
    if (hits) return p + (std::countr_zero(hits) >> 3);
    p += 8;
  }
  while (p != end && *p != '"' && *p != '\\' && *p != '\0') ++p;
  return p;
}

// Four or five bytes against a lower-case literal, ignoring case. OR-ing 0x20
// only merges a letter with its capital for the letters of these literals.
bool MatchLiteral(const char* p, const char* literal, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if ((p[i] | 0x20) != literal[i]) return false;
  }
  return true;
}

// Integer parts up to this value take the next digit exactly in 64 bits, and
// the double the grammar builds digit by digit is exact up to 2^53 as well,
// so both give the same value; longer runs continue in doubles.
constexpr uint64_t kExactIntegerLimit = ((uint64_t{1} << 53) - 9) / 10;

// The parser's working stack: the finished children of every open container,
// innermost last, as raw 16-byte nodes and 32-byte members. A container's
// children move into the arena, in one block, when it closes.
class ScratchStack {
 public:
  // `limit` caps the growth: the budget allows no more children than that.
  ScratchStack(size_t initial, size_t limit) : capacity_(initial < limit ? initial : limit), limit_(limit) {
    data_ = static_cast<char*>(std::malloc(capacity_));
    if (!data_) throw std::bad_alloc();
  }
  ~ScratchStack() { std::free(data_); }
  ScratchStack(const ScratchStack&) = delete;
  ScratchStack& operator=(const ScratchStack&) = delete;

  template <typename T>
  void Push(const T& item) {
    if (capacity_ - size_ < sizeof(T)) Grow(sizeof(T));
    std::memcpy(data_ + size_, &item, sizeof(T));
    size_ += sizeof(T);
  }
  size_t size() const { return size_; }
  const char* At(size_t offset) const { return data_ + offset; }
  void Truncate(size_t size) { size_ = size; }
  size_t peak_capacity() const { return capacity_; }

 private:
  void Grow(size_t more) {
    size_t capacity = capacity_ * 2;
    if (capacity > limit_) capacity = limit_;
    if (capacity < size_ + more) capacity = size_ + more;
    char* data = static_cast<char*>(std::realloc(data_, capacity));
    if (!data) throw std::bad_alloc();
    data_ = data;
    capacity_ = capacity;
  }

  char* data_;
  size_t size_ = 0;
  size_t capacity_;
  const size_t limit_;
};

// One pass over [cursor, end). The text also ends at a NUL byte: nothing in
// the grammar takes one, so a NUL fails wherever a value or punctuation is
// due, and after the root it is taken as the end.
class Parser {
 public:
  Parser(std::string_view text, JsonArena& arena)
      : cursor_(text.data()),
        end_(text.data() + text.size()),
        arena_(arena),
        nodes_left_(JsonValueBudget(text.size())),
        stack_(text.size() < 4096 ? 512 : 4096, JsonValueBudget(text.size()) * sizeof(JsonValue)) {}

  JsonParseError ParseDocument(JsonValue* root) {
    SkipSpace();
    if (AtTextEnd()) return JsonParseError::kSyntax;
    if (!ParseValue(root)) return error_;
    SkipSpace();
    if (!AtTextEnd()) return JsonParseError::kSyntax;
    return JsonParseError::kNone;
  }

  size_t peak_scratch_bytes() const { return stack_.peak_capacity() + escaped_.capacity(); }

 private:
  bool AtEnd() const { return cursor_ == end_; }
  bool AtTextEnd() const { return cursor_ == end_ || *cursor_ == '\0'; }
  size_t Left() const { return static_cast<size_t>(end_ - cursor_); }
  void SkipSpace() {
    while (cursor_ != end_ && IsJsonSpace(*cursor_)) ++cursor_;
  }

  bool Fail(JsonParseError error) {
    error_ = error;
    return false;
  }

  // Every node, and every member name, is paid for before it is made.
  bool Spend() {
    if (nodes_left_ == 0) return Fail(JsonParseError::kOverBudget);
    --nodes_left_;
    return true;
  }

  bool ParseValue(JsonValue* out) {
    if (!Spend()) return false;
    switch (*cursor_) {
      case '"': {
        ++cursor_;
        std::string_view text;
        if (!ParseString(&text)) return false;
        *out = JsonValue::String(text.data(), static_cast<uint32_t>(text.size()));
        return true;
      }
      case 't':
      case 'T':
        if (Left() < 4 || !MatchLiteral(cursor_, "true", 4)) return Fail(JsonParseError::kSyntax);
        cursor_ += 4;
        *out = JsonValue::Bool(true);
        return true;
      case 'f':
      case 'F':
        if (Left() < 5 || !MatchLiteral(cursor_, "false", 5)) return Fail(JsonParseError::kSyntax);
        cursor_ += 5;
        *out = JsonValue::Bool(false);
        return true;
      case 'n':
      case 'N':
        if (Left() < 4 || !MatchLiteral(cursor_, "null", 4)) return Fail(JsonParseError::kSyntax);
        cursor_ += 4;
        *out = JsonValue::Null();
        return true;
      case '[':
      case '{': {
        if (depth_ >= kJsonMaxDepth) return Fail(JsonParseError::kTooDeep);
        const bool array = (*cursor_ == '[');
        ++cursor_;
        ++depth_;
        const bool ok = array ? ParseArray(out) : ParseObject(out);
        --depth_;
        return ok;
      }
      default:
        if (*cursor_ == '-' || IsDigit(*cursor_)) return ParseNumber(out);
        return Fail(JsonParseError::kSyntax);
    }
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
        vz::AppendUtf8(out, 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) +
                            (static_cast<uint32_t>(low) - 0xDC00));
        return true;
      }
      cursor_ = after_high;  // not a pair: the second escape is read on its own
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      vz::AppendUtf8(out, kReplacementCharacter);
    } else {
      vz::AppendUtf8(out, static_cast<uint32_t>(unit));
    }
    return true;
  }

  // Copies `length` bytes into the arena. Empty texts take no storage.
  std::string_view Keep(const char* bytes, size_t length) {
    if (length == 0) return std::string_view();
    char* copy = static_cast<char*>(arena_.Allocate(length));
    std::memcpy(copy, bytes, length);
    return std::string_view(copy, length);
  }

  // The cursor stands after the opening double quote. A text without escapes
  // is copied once; one with escapes is decoded into a reused buffer first.
  bool ParseString(std::string_view* text) {
    const char* run = cursor_;
    cursor_ = FindStringStop(cursor_, end_);
    if (AtEnd() || *cursor_ == '\0') return Fail(JsonParseError::kSyntax);
    if (*cursor_ == '"') {
      *text = Keep(run, static_cast<size_t>(cursor_ - run));
      ++cursor_;
      return true;
    }
    escaped_.assign(run, cursor_);
    for (;;) {
      ++cursor_;  // the backslash
      if (AtEnd()) return Fail(JsonParseError::kSyntax);
      switch (*cursor_++) {
        case '"': escaped_ += '"'; break;
        case '\\': escaped_ += '\\'; break;
        case '/': escaped_ += '/'; break;
        case 'b': escaped_ += '\b'; break;
        case 'f': escaped_ += '\f'; break;
        case 'n': escaped_ += '\n'; break;
        case 'r': escaped_ += '\r'; break;
        case 't': escaped_ += '\t'; break;
        case 'u':
          if (!ParseUnicodeEscape(escaped_)) return Fail(JsonParseError::kSyntax);
          break;
        default:
          return Fail(JsonParseError::kSyntax);
      }
      run = cursor_;
      cursor_ = FindStringStop(cursor_, end_);
      escaped_.append(run, cursor_);
      if (AtEnd() || *cursor_ == '\0') return Fail(JsonParseError::kSyntax);
      if (*cursor_ == '"') {
        *text = Keep(escaped_.data(), escaped_.size());
        ++cursor_;
        return true;
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

  bool ParseNumber(JsonValue* out) {
    const bool negative = (*cursor_ == '-');
    if (negative) ++cursor_;
    if (AtEnd() || !IsDigit(*cursor_)) return Fail(JsonParseError::kSyntax);
    double value = 0;
    if (*cursor_ == '0') {
      ++cursor_;
    } else {
      uint64_t exact = 0;
      while (cursor_ != end_ && IsDigit(*cursor_) && exact <= kExactIntegerLimit) {
        exact = exact * 10 + static_cast<uint64_t>(*cursor_++ - '0');
      }
      value = static_cast<double>(exact);
      while (cursor_ != end_ && IsDigit(*cursor_)) value = value * 10 + (*cursor_++ - '0');
    }
    if (cursor_ != end_ && *cursor_ == '.') {
      ++cursor_;
      if (AtEnd() || !IsDigit(*cursor_)) return Fail(JsonParseError::kSyntax);
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
      if (AtEnd() || !IsDigit(*cursor_)) return Fail(JsonParseError::kSyntax);
      // Repeated multiplication as the grammar says, but it stops once the
      // value can no longer change (0 or infinite), so any count is prompt.
      unsigned count = ReadExponentCount();
      const double limit = std::numeric_limits<double>::max();
      while (count-- > 0 && value != 0 && value <= limit) value = divide ? value / 10 : value * 10;
    }
    *out = JsonValue::Number(negative ? -value : value);
    return true;
  }

  // Moves the children pushed since `base` into the arena.
  template <typename T>
  const T* Settle(size_t base, uint32_t* count) {
    const size_t bytes = stack_.size() - base;
    *count = static_cast<uint32_t>(bytes / sizeof(T));
    if (bytes == 0) return nullptr;
    void* block = arena_.Allocate(bytes);
    std::memcpy(block, stack_.At(base), bytes);
    stack_.Truncate(base);
    return static_cast<const T*>(block);
  }

  // The cursor stands after "[".
  bool ParseArray(JsonValue* out) {
    const size_t base = stack_.size();
    SkipSpace();
    if (AtEnd()) return Fail(JsonParseError::kSyntax);
    if (*cursor_ != ']') {
      for (;;) {
        JsonValue item;
        if (!ParseValue(&item)) return false;
        stack_.Push(item);
        SkipSpace();
        if (AtEnd()) return Fail(JsonParseError::kSyntax);
        const char c = *cursor_++;
        if (c == ']') break;
        if (c != ',') return Fail(JsonParseError::kSyntax);
        SkipSpace();
        if (AtEnd()) return Fail(JsonParseError::kSyntax);
      }
    } else {
      ++cursor_;
    }
    uint32_t count;
    const JsonValue* items = Settle<JsonValue>(base, &count);
    *out = JsonValue::Array(items, count);
    return true;
  }

  // The cursor stands after "{".
  bool ParseObject(JsonValue* out) {
    const size_t base = stack_.size();
    SkipSpace();
    if (AtEnd()) return Fail(JsonParseError::kSyntax);
    if (*cursor_ != '}') {
      for (;;) {
        if (*cursor_ != '"') return Fail(JsonParseError::kSyntax);
        ++cursor_;
        JsonMember member;
        if (!Spend() || !ParseString(&member.name)) return false;
        SkipSpace();
        if (AtEnd() || *cursor_ != ':') return Fail(JsonParseError::kSyntax);
        ++cursor_;
        SkipSpace();
        if (AtEnd()) return Fail(JsonParseError::kSyntax);
        if (!ParseValue(&member.value)) return false;
        stack_.Push(member);
        SkipSpace();
        if (AtEnd()) return Fail(JsonParseError::kSyntax);
        const char c = *cursor_++;
        if (c == '}') break;
        if (c != ',') return Fail(JsonParseError::kSyntax);
        SkipSpace();
        if (AtEnd()) return Fail(JsonParseError::kSyntax);
      }
    } else {
      ++cursor_;
    }
    uint32_t count;
    const JsonMember* members = Settle<JsonMember>(base, &count);
    *out = JsonValue::Object(members, count);
    return true;
  }

  const char* cursor_;
  const char* const end_;
  JsonArena& arena_;
  size_t nodes_left_;
  int depth_ = 0;
  JsonParseError error_ = JsonParseError::kSyntax;
  ScratchStack stack_;
  std::string escaped_;
};

// The arena's first block: about what an ordinary message's tree takes, so
// that most parses ask the system for memory twice (arena and stack).
size_t FirstBlockFor(size_t text_size) {
  constexpr size_t kLargestFirstBlock = size_t{1} << 20;
  const size_t guess = text_size * 2 + 256;
  return guess < kLargestFirstBlock ? guess : kLargestFirstBlock;
}

}  // namespace

class JsonDocumentBuilder {
 public:
  static JsonDocument Parse(std::string_view text) {
    JsonDocument document;
    document.arena_ = JsonArena(FirstBlockFor(text.size()));
    try {
      Parser parser(text, document.arena_);
      document.error_ = parser.ParseDocument(&document.root_);
      document.peak_scratch_bytes_ = parser.peak_scratch_bytes();
    } catch (const std::bad_alloc&) {
      document.error_ = JsonParseError::kOutOfMemory;
    }
    switch (document.error_) {
      case JsonParseError::kNone:
        return document;
      case JsonParseError::kSyntax:
        break;
      case JsonParseError::kTooDeep:
        VZ_LOG_ERROR("JSON text of %zu bytes nests deeper than %d: refused", text.size(), kJsonMaxDepth);
        break;
      case JsonParseError::kOverBudget:
        VZ_LOG_ERROR("JSON text of %zu bytes holds more than %zu values: refused", text.size(),
                     JsonValueBudget(text.size()));
        break;
      case JsonParseError::kOutOfMemory:
        VZ_LOG_ERROR("JSON text of %zu bytes: out of memory while parsing", text.size());
        break;
    }
    // A failed document keeps nothing.
    const JsonParseError error = document.error_;
    const size_t peak = document.peak_scratch_bytes_;
    document = JsonDocument();
    document.error_ = error;
    document.peak_scratch_bytes_ = peak;
    return document;
  }
};

JsonDocument JsonParse(std::string_view text) { return JsonDocumentBuilder::Parse(text); }
