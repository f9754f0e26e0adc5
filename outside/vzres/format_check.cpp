#include "outside/vzres/format_check.h"

#include "outside/vzres/vzres_ids.h"

namespace vzres {

bool CheckFormatConversions(std::string_view text, std::string_view expected, std::string* error) {
  std::string found;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    ++i;
    if (i < text.size() && text[i] == '%') continue;
    while (i < text.size() && (text[i] == '-' || text[i] == '+' || text[i] == ' ' || text[i] == '0' || text[i] == '#')) {
      ++i;
    }
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i < text.size() && text[i] == '.') {
      ++i;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    }
    if (i >= text.size()) {
      *error = "a '%' ends the text";
      return false;
    }
    const char conversion = text[i];
    if (conversion == 's') {
      found += 's';
    } else if (conversion == 'd' || conversion == 'i' || conversion == 'u') {
      found += 'd';
    } else {
      *error = std::string("unsupported conversion '%") + conversion + "'";
      return false;
    }
  }
  if (found != expected) {
    *error = "conversions \"" + found + "\" where \"" + std::string(expected) + "\" are expected";
    return false;
  }
  return true;
}

std::string_view ExpectedConversions(uint32_t id) {
  for (const FormatString& format : kFormatStrings) {
    if (format.id == id) return format.conversions;
  }
  return "";
}

}  // namespace vzres
