#include "bridge/log_masking.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>

#include "bridge/json_plain_run.h"
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
// its closing quote, or the text's size when it is cut short. An escape is
// stepped over whole ("\u" and four bytes, whatever they are), so a quote
// inside one does not end the string. Runs free of quotes and backslashes are
// skipped a vector at a time: a value may be a kilobyte long.
size_t StringEnd(std::string_view text, size_t open) {
  size_t at = open + 1;
  while (at < text.size()) {
    at += JsonPlainRunLength(text.data() + at, text.size() - at);
    if (at >= text.size()) break;
    if (text[at] == '"') return at;
    if (text[at] != '\\') {
      ++at;  // a control byte stops the scan but not the string
      continue;
    }
    if (at + 1 >= text.size()) return text.size();
    at += text[at + 1] == 'u' && at + 6 <= text.size() ? 6 : 2;
  }
  return text.size();
}

// A key's content (between its quotes, as StringEnd found them) with its
// escapes read as far as telling a secret's name needs (ASCII; others as '?').
// Only a string followed by a colon is read so.
std::string DecodedKey(std::string_view content) {
  std::string decoded;
  decoded.reserve(content.size());
  size_t at = 0;
  while (at < content.size()) {
    if (content[at] != '\\') {
      decoded.push_back(content[at++]);
      continue;
    }
    // A closed string ends in no lone backslash: the escape is whole here.
    const char kind = content[at + 1];
    if (kind == 'u' && at + 6 <= content.size()) {
      unsigned value = 0;
      for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexValue(content[i]);
        value = digit < 0 || value > 0xFFF ? 0xFFFF : value * 16 + static_cast<unsigned>(digit);
      }
      decoded.push_back(value < 0x80 ? static_cast<char>(value) : '?');
      at += 6;
    } else {
      decoded.push_back(kind);
      at += 2;
    }
  }
  return decoded;
}

// The end of the object or array that opens at `open`: one past its closing
// bracket, or the text's size when it is cut short. Strings inside are
// stepped over whole, so a bracket in a string does not count.
size_t NestedEnd(std::string_view text, size_t open) {
  int depth = 0;
  size_t at = open;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '"') {
      const size_t close = StringEnd(text, at);
      at = close < text.size() ? close + 1 : close;
      continue;
    }
    if (c == '{' || c == '[') ++depth;
    if ((c == '}' || c == ']') && --depth == 0) return at + 1;
    ++at;
  }
  return text.size();
}

// Whether a string's content may hold "://" once its escaped slashes are read
// as slashes: a colon followed by a slash, plain or escaped. Most strings have
// neither, and skip the address work.
bool MayHoldAddress(std::string_view content) {
  return content.find(":/") != std::string_view::npos || content.find(":\\/") != std::string_view::npos;
}

// Appends a string's content as it stands in the JSON text, with an address
// in it masked. JSON may write each slash as "\/" ("https:\/\/user:pw@host"):
// the address is then read with plain slashes and written back escaped.
void AppendMaskedStringContent(std::string* out, std::string_view content) {
  if (!MayHoldAddress(content)) {
    out->append(content);
    return;
  }
  std::string plain;
  plain.reserve(content.size());
  bool escaped_slash = false;
  for (size_t at = 0; at < content.size();) {
    if (content[at] == '\\' && at + 1 < content.size()) {
      if (content[at + 1] == '/') {
        plain += '/';
        escaped_slash = true;
      } else {
        plain.append(content.substr(at, 2));  // other escapes stay as they are
      }
      at += 2;
    } else {
      plain += content[at++];
    }
  }
  if (plain.find("://") == std::string::npos) {
    out->append(content);
    return;
  }
  const std::string masked = MaskedAddressForLog(plain);
  if (!escaped_slash) {
    out->append(masked);
    return;
  }
  for (size_t at = 0; at < masked.size();) {
    if (masked[at] == '\\' && at + 1 < masked.size()) {
      out->append(masked, at, 2);
      at += 2;
    } else {
      if (masked[at] == '/') *out += '\\';
      *out += masked[at++];
    }
  }
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
    // What stands between strings is copied as a run.
    const void* quote = std::memchr(text.data() + at, '"', text.size() - at);
    const size_t open = quote == nullptr ? text.size() : static_cast<size_t>(static_cast<const char*>(quote) - text.data());
    out.append(text, at, open - at);
    at = open;
    if (at >= text.size()) break;
    const size_t close = StringEnd(text, at);
    const size_t after = close < text.size() ? close + 1 : close;
    // An address in a string keeps its credentials to itself.
    const std::string_view content = text.substr(at + 1, close - at - 1);
    out += '"';
    AppendMaskedStringContent(&out, content);
    if (close < text.size()) out += '"';
    at = after;
    // A key is a string followed by a colon.
    size_t value = at;
    while (value < text.size() && IsSpace(text[value])) ++value;
    if (value >= text.size() || text[value] != ':' || !IsSecretName(DecodedKey(content))) continue;
    ++value;
    while (value < text.size() && IsSpace(text[value])) ++value;
    out.append(text.substr(at, value - at));
    at = value;
    if (at >= text.size()) break;
    if (text[at] == '"') {
      const size_t end = StringEnd(text, at);
      out += '"';
      out += kMask;
      if (end < text.size()) out += '"';
      at = end < text.size() ? end + 1 : end;
    } else if (text[at] == '{' || text[at] == '[') {
      // An object or array (a list of tokens, a credential with its parts):
      // the whole value is the secret.
      at = NestedEnd(text, at);
      out += kMask;
    } else {
      // A number or a word: masked up to what ends it.
      while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']' && !IsSpace(text[at])) ++at;
      out += kMask;
    }
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
