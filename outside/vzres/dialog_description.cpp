#include "outside/vzres/dialog_description.h"

#include <charconv>
#include <cstdio>
#include <set>

namespace vzres {
namespace {

// Positions and sizes stay inside what a 16-bit dialog unit could hold.
constexpr int64_t kMinCoordinate = -32768;
constexpr int64_t kMaxCoordinate = 32767;

struct Token {
  std::string key;    // empty for a plain token
  std::string value;  // unescaped
  bool quoted = false;
};

bool ParseNumber(std::string_view text, int64_t* value) {
  if (text.empty()) return false;
  bool negative = false;
  if (text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 10) return false;
  uint64_t magnitude = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
  *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool ParseUnsigned(std::string_view text, uint32_t* value) {
  int64_t number = 0;
  if (!ParseNumber(text, &number) || number < 0 || number > 0xFFFFFFFFll) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

bool ParseCoordinate(std::string_view text, bool size, int32_t* value) {
  int64_t number = 0;
  if (!ParseNumber(text, &number)) return false;
  if (number > kMaxCoordinate || number < (size ? 0 : kMinCoordinate)) return false;
  *value = static_cast<int32_t>(number);
  return true;
}

bool ParseId(std::string_view text, uint32_t* value) {
  return ParseUnsigned(text, value) && *value > 0 && *value <= 0xFFFF;
}

bool IsClassName(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (char c : text) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

// Splits a line into tokens; a token is `word`, `key=word` or `key="text"`.
bool Tokenize(std::string_view line, std::vector<Token>* tokens, std::string* what) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    Token token;
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '=' &&
           line[i] != '"') {
      word += line[i++];
    }
    if (i < line.size() && line[i] == '=') {
      if (word.empty()) {
        *what = "'=' without a key";
        return false;
      }
      token.key = word;
      word.clear();
      ++i;
      if (i < line.size() && line[i] == '"') {
        token.quoted = true;
        ++i;
        bool closed = false;
        while (i < line.size()) {
          const char c = line[i++];
          if (c == '"') {
            closed = true;
            break;
          }
          if (c == '\\') {
            if (i >= line.size()) break;
            const char escaped = line[i++];
            if (escaped == 'n') {
              word += '\n';
            } else if (escaped == '"' || escaped == '\\') {
              word += escaped;
            } else {
              *what = "unknown escape in a quoted text";
              return false;
            }
          } else {
            word += c;
          }
        }
        if (!closed) {
          *what = "unterminated quoted text";
          return false;
        }
        if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
          *what = "text after a closing quote";
          return false;
        }
      } else {
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
          if (line[i] == '"' || line[i] == '=') {
            *what = "unexpected character in a value";
            return false;
          }
          word += line[i++];
        }
        if (word.empty()) {
          *what = "empty value";
          return false;
        }
      }
    } else if (i < line.size() && line[i] == '"') {
      *what = "quoted text without a key";
      return false;
    }
    token.value = std::move(word);
    tokens->push_back(std::move(token));
  }
  return true;
}

// Applies the key=value options of a dialog or control line.
bool ApplyOptions(const std::vector<Token>& tokens, size_t first, bool is_dialog, uint32_t* style,
                  uint32_t* ex_style, uint32_t* text_id, std::string* text, std::string* what) {
  std::set<std::string> seen;
  const char* text_key = is_dialog ? "caption" : "text";
  for (size_t i = first; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.key.empty()) {
      *what = "unexpected word '" + token.value + "'";
      return false;
    }
    if (!seen.insert(token.key).second) {
      *what = "option '" + token.key + "' given twice";
      return false;
    }
    if (token.key == "style" && !token.quoted) {
      if (!ParseUnsigned(token.value, style)) {
        *what = "bad style";
        return false;
      }
    } else if (is_dialog && token.key == "exstyle" && !token.quoted) {
      if (!ParseUnsigned(token.value, ex_style)) {
        *what = "bad exstyle";
        return false;
      }
    } else if (token.key == text_key) {
      if (token.quoted) {
        *text = token.value;
      } else if (!ParseId(token.value, text_id)) {
        *what = std::string("bad ") + text_key + " string id";
        return false;
      }
    } else {
      *what = "unknown option '" + token.key + "'";
      return false;
    }
  }
  return true;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof(buffer), "0x%08X", value);
  return buffer;
}

}  // namespace

const DialogControl* DialogDescription::FindControl(uint32_t control_id) const {
  for (const DialogControl& control : controls) {
    if (control.id == control_id) return &control;
  }
  return nullptr;
}

bool ParseDialogDescriptions(std::string_view text, std::vector<DialogDescription>* dialogs, std::string* error) {
  std::set<uint32_t> dialog_ids;
  std::set<uint32_t> control_ids;
  bool in_dialog = false;
  DialogDescription current;
  size_t line_number = 0;
  size_t start = 0;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(line_number) + ": " + what;
    return false;
  };
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (line.find('\0') != std::string_view::npos) return fail("NUL character");
    std::vector<Token> tokens;
    std::string what;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') {
      if (end == text.size()) break;
      continue;
    }
    if (!Tokenize(line, &tokens, &what)) return fail(what);
    if (tokens.empty() || !tokens[0].key.empty()) return fail("a line must start with dialog, control or end");
    const std::string& keyword = tokens[0].value;
    if (keyword == "dialog") {
      if (in_dialog) return fail("dialog inside a dialog (missing end)");
      if (tokens.size() < 4) return fail("dialog needs an id, a width and a height");
      for (size_t i = 1; i < 4; ++i) {
        if (!tokens[i].key.empty()) return fail("dialog needs an id, a width and a height");
      }
      current = DialogDescription();
      if (!ParseId(tokens[1].value, &current.id)) return fail("bad dialog id");
      if (!ParseCoordinate(tokens[2].value, true, &current.width) ||
          !ParseCoordinate(tokens[3].value, true, &current.height)) {
        return fail("bad dialog size");
      }
      if (!dialog_ids.insert(current.id).second) return fail("dialog " + std::to_string(current.id) + " given twice");
      if (!ApplyOptions(tokens, 4, true, &current.style, &current.ex_style, &current.caption_id, &current.caption,
                        &what)) {
        return fail(what);
      }
      control_ids.clear();
      in_dialog = true;
    } else if (keyword == "control") {
      if (!in_dialog) return fail("control outside a dialog");
      if (tokens.size() < 7) return fail("control needs an id, a class, x, y, width and height");
      for (size_t i = 1; i < 7; ++i) {
        if (!tokens[i].key.empty()) return fail("control needs an id, a class, x, y, width and height");
      }
      DialogControl control;
      if (!ParseId(tokens[1].value, &control.id)) return fail("bad control id");
      if (!IsClassName(tokens[2].value)) return fail("bad control class");
      control.control_class = tokens[2].value;
      if (!ParseCoordinate(tokens[3].value, false, &control.x) ||
          !ParseCoordinate(tokens[4].value, false, &control.y) ||
          !ParseCoordinate(tokens[5].value, true, &control.width) ||
          !ParseCoordinate(tokens[6].value, true, &control.height)) {
        return fail("bad control rectangle");
      }
      if (!control_ids.insert(control.id).second) {
        return fail("control " + std::to_string(control.id) + " given twice");
      }
      uint32_t unused_ex_style = 0;
      if (!ApplyOptions(tokens, 7, false, &control.style, &unused_ex_style, &control.text_id, &control.text, &what)) {
        return fail(what);
      }
      current.controls.push_back(std::move(control));
    } else if (keyword == "end") {
      if (!in_dialog) return fail("end outside a dialog");
      if (tokens.size() != 1) return fail("text after end");
      dialogs->push_back(std::move(current));
      current = DialogDescription();
      in_dialog = false;
    } else {
      return fail("unknown keyword '" + keyword + "'");
    }
    if (end == text.size()) break;
  }
  if (in_dialog) {
    *error = "line " + std::to_string(line_number) + ": dialog " + std::to_string(current.id) + " has no end";
    return false;
  }
  return true;
}

std::string FormatDialogDescription(const DialogDescription& dialog) {
  std::string out = "dialog " + std::to_string(dialog.id) + " " + std::to_string(dialog.width) + " " +
                    std::to_string(dialog.height) + " style=" + Hex(dialog.style) + " exstyle=" + Hex(dialog.ex_style);
  if (dialog.caption_id != 0) {
    out += " caption=" + std::to_string(dialog.caption_id);
  } else {
    out += " caption=" + Quote(dialog.caption);
  }
  out += "\n";
  for (const DialogControl& control : dialog.controls) {
    out += "control " + std::to_string(control.id) + " " + control.control_class + " " + std::to_string(control.x) +
           " " + std::to_string(control.y) + " " + std::to_string(control.width) + " " +
           std::to_string(control.height) + " style=" + Hex(control.style);
    if (control.text_id != 0) {
      out += " text=" + std::to_string(control.text_id);
    } else {
      out += " text=" + Quote(control.text);
    }
    out += "\n";
  }
  out += "end\n";
  return out;
}

}  // namespace vzres
