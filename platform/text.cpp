#include "platform/text.h"

#include <cstdint>

namespace vz {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A converted text is sized for the worst case first; a large one that
// came out much shorter gives the rest back (a small one keeps it: the
// copy would cost more than the bytes).
template <typename Text>
void ShrinkLargeWaste(Text& text) {
  if (text.size() >= 4096 && text.capacity() > text.size() + text.size() / 2) text.shrink_to_fit();
}

// Writes one code point as one unit or a surrogate pair; returns the end.
char16_t* EncodeUtf16(char32_t cp, char16_t* out) {
  if (cp < 0x10000) {
    *out = static_cast<char16_t>(cp);
    return out + 1;
  }
  cp -= 0x10000;
  out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  return out + 2;
}

// Decodes one code point at text[*pos] and advances past it. A malformed
// sequence gives U+FFFD and advances past its longest valid-looking prefix
// (one replacement per maximal bad subpart), so good text after it survives.
char32_t DecodeUtf8(std::string_view text, size_t* pos) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(*pos);
  ++*pos;
  if (lead < 0x80) return lead;

  int extra;
  char32_t cp;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogate code points
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return kReplacement;  // continuation byte, C0/C1 overlong lead, or F5..FF
  }

  for (int i = 0; i < extra; ++i) {
    if (*pos >= text.size()) return kReplacement;
    uint8_t next = byte(*pos);
    if (next < low || next > high) return kReplacement;
    low = 0x80;
    high = 0xBF;
    cp = (cp << 6) | (next & 0x3F);
    ++*pos;
  }
  return cp;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  // Sized for the worst case (three bytes a unit; a pair's four bytes take
  // two units), written through a pointer, then cut to what was written.
  std::string out(text.size() * 3, '\0');
  char* to = out.data();
  const size_t size = text.size();
  for (size_t i = 0; i < size; ++i) {
    const char16_t unit = text[i];
    if (unit < 0x80) {
      *to++ = static_cast<char>(unit);
    } else if (IsHighSurrogate(unit) && i + 1 < size && IsLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      to = EncodeUtf8(cp, to);
      ++i;
    } else {
      // An unpaired surrogate is no code point: the encoder writes U+FFFD.
      to = EncodeUtf8(unit, to);
    }
  }
  out.resize(static_cast<size_t>(to - out.data()));
  ShrinkLargeWaste(out);
  return out;
}

std::string Utf16ToUtf8(const char16_t* zero_terminated) {
  if (zero_terminated == nullptr) return std::string();
  return Utf16ToUtf8(std::u16string_view(zero_terminated));
}

std::u16string Utf8ToUtf16(std::string_view text) {
  // No UTF-8 sequence gives more units than it has bytes: sized for that,
  // then cut to what was written. ASCII goes straight across.
  std::u16string out(text.size(), u'\0');
  char16_t* to = out.data();
  size_t pos = 0;
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      *to++ = byte;
      ++pos;
      continue;
    }
    to = EncodeUtf16(DecodeUtf8(text, &pos), to);
  }
  out.resize(static_cast<size_t>(to - out.data()));
  ShrinkLargeWaste(out);
  return out;
}

std::u16string Utf8ToUtf16(const char* zero_terminated) {
  if (zero_terminated == nullptr) return std::u16string();
  return Utf8ToUtf16(std::string_view(zero_terminated));
}

size_t Utf16Length(const char16_t* text) {
  if (text == nullptr) return 0;
  return std::char_traits<char16_t>::length(text);
}

bool CopyUtf16(char16_t* out, size_t capacity, std::u16string_view text) {
  if (out == nullptr || capacity == 0) return false;
  size_t count = text.size();
  bool fits = count < capacity;
  if (!fits) {
    count = capacity - 1;
    // Never leave half of a surrogate pair at the cut.
    if (count > 0 && IsHighSurrogate(text[count - 1]) && IsLowSurrogate(text[count])) --count;
  }
  std::char_traits<char16_t>::copy(out, text.data(), count);
  out[count] = u'\0';
  return fits;
}

}  // namespace vz
