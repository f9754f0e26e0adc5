#include "weblink/json/json_builders.h"

#include <cinttypes>
#include <cstdio>

// Escapes only what is asked for, so text needing none is copied unchanged.
void JsonAppendEscaped(std::string* out_text, std::string_view text, JsonSlash slash) {
  static const char kHex[] = "0123456789abcdef";
  std::string& out = *out_text;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '/':
        if (slash == JsonSlash::kEscape) {
          out += "\\/";
        } else {
          out += c;
        }
        break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
}

namespace {

void AppendQuotedKey(std::string& out, std::string_view key) {
  out += '"';
  JsonAppendEscaped(&out, key);
  out += "\":";
}

}  // namespace

std::string JsonMakeStringPair(std::string_view key, std::string_view value) {
  std::string out;
  out.reserve(key.size() + value.size() + 5);
  AppendQuotedKey(out, key);
  out += '"';
  JsonAppendEscaped(&out, value);
  out += '"';
  return out;
}

std::string JsonMakeNumberPair(std::string_view key, int32_t n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%" PRIu32, static_cast<uint32_t>(n));
  std::string out;
  AppendQuotedKey(out, key);
  out += digits;
  return out;
}
