#include "bridge/log_masking.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "platform/address_credentials.h"

namespace vzbridge {
namespace {

constexpr char kMask[] = "***";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The end of the JSON string whose opening quote is at `open`: the index of
// its closing quote, or the text's size when it is cut short. Escapes are
// read into `decoded` as far as a key needs (ASCII; others as '?').
size_t StringEnd(std::string_view text, size_t open, std::string* decoded) {
  size_t at = open + 1;
  while (at < text.size() && text[at] != '"') {
    if (text[at] != '\\') {
      decoded->push_back(text[at++]);
      continue;
    }
    if (at + 1 >= text.size()) return text.size();
    const char kind = text[at + 1];
    if (kind == 'u' && at + 6 <= text.size()) {
      unsigned value = 0;
      for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexValue(text[i]);
        value = digit < 0 || value > 0xFFF ? 0xFFFF : value * 16 + static_cast<unsigned>(digit);
      }
      decoded->push_back(value < 0x80 ? static_cast<char>(value) : '?');
      at += 6;
    } else {
      decoded->push_back(kind);
      at += 2;
    }
  }
  return at < text.size() ? at : text.size();
}

}  // namespace

bool IsSecretName(std::string_view name) {
  const std::string lower = Lower(name);
  for (const char* part : {"token", "password", "passwd", "secret", "credential"}) {
    if (lower.find(part) != std::string::npos) return true;
  }
  return lower == "pass" || lower == "pwd";
}

std::string MaskedMessageForLog(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] != '"') {
      out.push_back(text[at++]);
      continue;
    }
    std::string key;
    const size_t close = StringEnd(text, at, &key);
    const size_t after = close < text.size() ? close + 1 : close;
    // An address in a string keeps its credentials to itself.
    const std::string_view content = text.substr(at + 1, close - at - 1);
    out += '"';
    out += content.find("://") != std::string_view::npos ? MaskedAddressForLog(content) : std::string(content);
    if (close < text.size()) out += '"';
    at = after;
    // A key is a string followed by a colon.
    size_t value = at;
    while (value < text.size() && IsSpace(text[value])) ++value;
    if (value >= text.size() || text[value] != ':' || !IsSecretName(key)) continue;
    ++value;
    while (value < text.size() && IsSpace(text[value])) ++value;
    out.append(text.substr(at, value - at));
    at = value;
    if (at >= text.size()) break;
    if (text[at] == '"') {
      std::string ignored;
      const size_t end = StringEnd(text, at, &ignored);
      out += '"';
      out += kMask;
      if (end < text.size()) out += '"';
      at = end < text.size() ? end + 1 : end;
    } else if (text[at] != '{' && text[at] != '[') {
      // A number or a word: masked up to what ends it.
      while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']' && !IsSpace(text[at])) ++at;
      out += kMask;
    }
    // An object or array is walked on: its own secrets are masked inside it.
  }
  return out;
}

std::string MaskedAddressForLog(std::string_view address) {
  const std::string out = vz::AddressWithMaskedCredentials(address);
  // Query parameters that name a secret.
  const size_t query = out.find('?');
  if (query == std::string::npos) return out;
  const size_t fragment = std::min(out.find('#', query), out.size());
  const std::string_view parameters = std::string_view(out).substr(query + 1, fragment - query - 1);
  std::string masked;
  size_t start = 0;
  while (start <= parameters.size()) {
    const size_t end = std::min(parameters.find('&', start), parameters.size());
    const std::string_view parameter = parameters.substr(start, end - start);
    const size_t equals = parameter.find('=');
    if (start > 0) masked += '&';
    if (equals != std::string_view::npos && IsSecretName(parameter.substr(0, equals))) {
      masked.append(parameter.substr(0, equals + 1));
      masked += kMask;
    } else {
      masked.append(parameter);
    }
    start = end + 1;
  }
  return out.substr(0, query + 1) + masked + out.substr(fragment);
}

}  // namespace vzbridge
