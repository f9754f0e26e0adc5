#include "common/log_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vz {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsPrintableAscii(uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

// Characters that would end a line, or make it read as something else.
bool IsEscapedCharacter(uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

template <typename Text>
void AppendByteEscape(Text* out, uint8_t byte) {
  out->push_back('\\');
  out->push_back('x');
  out->push_back(kHex[byte >> 4]);
  out->push_back(kHex[byte & 0xF]);
}

template <typename Text>
void AppendUnitEscape(Text* out, uint32_t unit) {
  out->push_back('\\');
  out->push_back('u');
  for (int shift = 12; shift >= 0; shift -= 4) out->push_back(kHex[(unit >> shift) & 0xF]);
}

// The control bytes as bytes, the other escaped characters as code points.
template <typename Text>
void AppendCharacterEscape(Text* out, uint32_t c) {
  if (c < 0x80) {
    AppendByteEscape(out, static_cast<uint8_t>(c));
  } else {
    AppendUnitEscape(out, c);
  }
}

// The length of the well-formed UTF-8 sequence at `at` (2 to 4 bytes) and its
// code point, or 0 when the bytes there are not one.
size_t Utf8Sequence(std::string_view text, size_t at, uint32_t* c) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong form
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
  uint32_t value = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  *c = value;
  return length;
}

// A caller's fixed buffer as an escape's output: it takes bytes while they
// fit, and remembers where the last whole character or escape ended, so a
// text cut for room never ends inside an escape or a UTF-8 sequence.
class FixedText {
 public:
  FixedText(char* buffer, size_t capacity) : buffer_(buffer), limit_(capacity > 0 ? capacity - 1 : 0) {}
  void push_back(char c) {
    if (size_ < limit_) {
      buffer_[size_++] = c;
    } else {
      full_ = true;
    }
  }
  void append(std::string_view bytes) {
    for (const char c : bytes) push_back(c);
  }
  // A run of one-byte characters: as many as fit, each of them whole, so a
  // run cut for room still counts up to its last byte taken.
  void AppendRun(std::string_view run) {
    const size_t taken = std::min(run.size(), limit_ - size_);
    std::memcpy(buffer_ + size_, run.data(), taken);
    size_ += taken;
    whole_ = size_;
    if (taken < run.size()) full_ = true;
  }
  void MarkWhole() {
    if (!full_) whole_ = size_;
  }
  bool full() const { return full_; }
  size_t whole() const { return whole_; }

 private:
  char* buffer_;
  size_t limit_;
  size_t size_ = 0;
  size_t whole_ = 0;
  bool full_ = false;
};

void AppendRun(std::string* out, std::string_view run) { out->append(run); }
void AppendRun(FixedText* out, std::string_view run) { out->AppendRun(run); }
void MarkWhole(std::string*) {}
void MarkWhole(FixedText* out) { out->MarkWhole(); }
bool Full(const std::string*) { return false; }
bool Full(const FixedText* out) { return out->full(); }

// Escapes `text` into `out`; `exact` also writes each backslash as two.
// Runs of printable ASCII, most of any log text, are found a word at a time
// and copied whole; what stops a run is escaped a character at a time.
template <typename Text>
void AppendEscaped(Text* out, std::string_view text, bool exact) {
  size_t at = 0;
  while (at < text.size() && !Full(out)) {
    std::string_view run = text.substr(at, PrintableAsciiRunLength(text.data() + at, text.size() - at));
    if (exact) run = run.substr(0, std::min(run.find('\\'), run.size()));
    if (!run.empty()) {
      AppendRun(out, run);
      at += run.size();
      continue;
    }
    const auto byte = static_cast<uint8_t>(text[at]);
    if (byte < 0x80) {
      if (IsEscapedCharacter(byte)) {
        AppendByteEscape(out, byte);
      } else {
        if (exact && byte == '\\') out->push_back('\\');
        out->push_back(static_cast<char>(byte));
      }
      ++at;
    } else {
      uint32_t c = 0;
      const size_t length = Utf8Sequence(text, at, &c);
      if (length == 0) {
        AppendByteEscape(out, byte);
        ++at;
      } else if (IsEscapedCharacter(c)) {
        AppendCharacterEscape(out, c);
        at += length;
      } else {
        out->append(text.substr(at, length));
        at += length;
      }
    }
    MarkWhole(out);
  }
}

}  // namespace

size_t PrintableAsciiRunLength(const char* text, size_t size) {
  // A word of eight bytes is all printable when no byte is below 0x20, is
  // 0x7F or has its top bit set. The subtractions borrow only from a byte that
  // holds a hit, so the test of a whole word is exact; the hit's place is then
  // found a byte at a time.
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kTops = 0x8080808080808080ULL;
  size_t at = 0;
  for (; size - at >= sizeof(uint64_t); at += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, text + at, sizeof(word));
    const uint64_t below_space = (word - kOnes * 0x20) & ~word;
    const uint64_t del = ((word ^ (kOnes * 0x7F)) - kOnes) & ~(word ^ (kOnes * 0x7F));
    if (((below_space | del | word) & kTops) != 0) break;
  }
  while (at < size && IsPrintableAscii(static_cast<uint8_t>(text[at]))) ++at;
  return at;
}

std::string LogText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  AppendEscaped(&out, value, true);
  return out;
}

void AppendLineSafeText(std::string* out, std::string_view text) {
  out->reserve(out->size() + text.size());
  AppendEscaped(out, text, false);
}

size_t WriteLineSafeText(char* out, size_t capacity, std::string_view text) {
  if (capacity == 0) return 0;
  FixedText fixed(out, capacity);
  AppendEscaped(&fixed, text, false);
  out[fixed.whole()] = '\0';
  return fixed.whole();
}

std::u16string LineSafeText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
      out.push_back(unit);
      out.push_back(text[++at]);  // a pair: beyond every escaped character
    } else if (high || low) {
      AppendUnitEscape(&out, unit);
    } else if (IsEscapedCharacter(unit)) {
      AppendCharacterEscape(&out, unit);
    } else {
      out.push_back(unit);
    }
  }
  return out;
}

}  // namespace vz
