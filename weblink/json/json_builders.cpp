#include "weblink/json/json_builders.h"

#include <cinttypes>
#include <cstdio>

namespace {

// Escapes only what JSON requires, so text needing none is copied unchanged.
void AppendEscaped(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
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

void AppendQuotedKey(std::string& out, std::string_view key) {
  out += '"';
  AppendEscaped(out, key);
  out += "\":";
}

}  // namespace

std::string JsonMakeStringPair(std::string_view key, std::string_view value) {
  std::string out;
  out.reserve(key.size() + value.size() + 5);
  AppendQuotedKey(out, key);
  out += '"';
  AppendEscaped(out, value);
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
