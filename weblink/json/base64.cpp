#include "weblink/json/base64.h"

std::string Base64Encode(const uint8_t* bytes, size_t length) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  if (!bytes || length == 0) return out;
  out.reserve((length + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += kAlphabet[group >> 18];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kAlphabet[(group >> 6) & 0x3F];
    out += kAlphabet[group & 0x3F];
  }
  const size_t rest = length - i;
  if (rest > 0) {
    uint32_t group = uint32_t{bytes[i]} << 16;
    if (rest == 2) group |= uint32_t{bytes[i + 1]} << 8;
    out += kAlphabet[group >> 18];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += (rest == 2) ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}
