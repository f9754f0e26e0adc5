#include "outside/vzres/string_table.h"

#include <charconv>

namespace vzres {
namespace {

bool ParseDecimal(std::string_view text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

bool IsWellFormedUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

bool ParseStringTable(std::string_view text, StringTable* table, std::string* error) {
  table->language = 0;
  table->strings.clear();
  size_t line_number = 0;
  size_t start = 0;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(line_number) + ": " + what;
    return false;
  };
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') continue;
    line.remove_prefix(first);
    const size_t gap = line.find_first_of(" \t");
    const std::string_view head = line.substr(0, gap);
    std::string_view rest = gap == std::string_view::npos ? std::string_view() : line.substr(gap + 1);

    if (head == "language") {
      if (table->language != 0) return fail("language given twice");
      if (!ParseDecimal(rest, &table->language) || table->language == 0 || table->language > 0xFFFF) {
        return fail("bad language id");
      }
      continue;
    }
    if (table->language == 0) return fail("the first line must be 'language <id>'");
    uint32_t id = 0;
    if (!ParseDecimal(head, &id) || id == 0 || id > 0xFFFF) return fail("bad string id '" + std::string(head) + "'");
    std::string value;
    for (size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] != '\\') {
        value += rest[i];
        continue;
      }
      if (++i >= rest.size()) return fail("a '\\' ends the line");
      switch (rest[i]) {
        case 'n': value += '\n'; break;
        case 't': value += '\t'; break;
        case '\\': value += '\\'; break;
        default: return fail(std::string("unknown escape '\\") + rest[i] + "'");
      }
    }
    if (value.find('\0') != std::string::npos) return fail("NUL character");
    if (!IsWellFormedUtf8(value)) return fail("text is not well-formed UTF-8");
    if (!table->strings.emplace(id, std::move(value)).second) return fail("string " + std::to_string(id) + " given twice");
  }
  if (table->language == 0) {
    *error = "no 'language <id>' line";
    return false;
  }
  return true;
}

}  // namespace vzres
