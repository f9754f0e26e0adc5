#include "platform/settings_tree.h"

#include <cstdio>

#include "platform/text.h"

namespace vz {
namespace {

constexpr std::string_view kHeader = "velzar-settings 1";
constexpr char kHexDigits[] = "0123456789abcdef";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendEscaped(std::string* out, std::string_view text, bool is_name) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    bool escape = IsControl(byte) || c == '%' || (is_name && (c == '=' || c == '[' || c == ']'));
    if (escape) {
      out->push_back('%');
      out->push_back(kHexDigits[byte >> 4]);
      out->push_back(kHexDigits[byte & 0x0F]);
    } else {
      out->push_back(c);
    }
  }
}

bool Unescape(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexValue(text[i + 1]);
    int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out->push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexValue(text[i]);
    int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

bool ParseValue(std::string_view text, SettingsValue* value) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view type = text.substr(0, colon);
  std::string_view payload = text.substr(colon + 1);
  if (type == "dword") {
    if (payload.size() != 8) return false;
    uint32_t number = 0;
    for (char c : payload) {
      int digit = HexValue(c);
      if (digit < 0) return false;
      number = number * 16 + static_cast<uint32_t>(digit);
    }
    value->type = SettingsValue::Type::kDword;
    value->dword = number;
    return true;
  }
  if (type == "string") {
    value->type = SettingsValue::Type::kString;
    return Unescape(payload, &value->text);
  }
  if (type == "binary") {
    value->type = SettingsValue::Type::kBinary;
    return ParseHexBytes(payload, &value->bytes);
  }
  return false;
}

}  // namespace

bool CaseInsensitiveLess::operator()(std::string_view a, std::string_view b) const {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

const SettingsValue* SettingsTree::Find(std::string_view key, std::string_view name) const {
  auto key_it = keys_.find(key);
  if (key_it == keys_.end()) return nullptr;
  auto value_it = key_it->second.find(name);
  return value_it == key_it->second.end() ? nullptr : &value_it->second;
}

void SettingsTree::Set(std::string_view key, std::string_view name, SettingsValue value) {
  auto key_it = keys_.find(key);
  if (key_it == keys_.end()) key_it = keys_.emplace(std::string(key), Values()).first;
  auto value_it = key_it->second.find(name);
  if (value_it == key_it->second.end()) {
    key_it->second.emplace(std::string(name), std::move(value));
  } else {
    value_it->second = std::move(value);
  }
}

bool SettingsTree::Erase(std::string_view key, std::string_view name) {
  auto key_it = keys_.find(key);
  if (key_it == keys_.end()) return false;
  auto value_it = key_it->second.find(name);
  if (value_it == key_it->second.end()) return false;
  key_it->second.erase(value_it);
  if (key_it->second.empty()) keys_.erase(key_it);
  return true;
}

std::string SettingsTree::Serialize() const {
  std::string out(kHeader);
  out.push_back('\n');
  for (const auto& [key, values] : keys_) {
    out.push_back('[');
    AppendEscaped(&out, key, true);
    out.append("]\n");
    for (const auto& [name, value] : values) {
      AppendEscaped(&out, name, true);
      switch (value.type) {
        case SettingsValue::Type::kDword: {
          char number[9];
          std::snprintf(number, sizeof(number), "%08x", value.dword);
          out.append("=dword:").append(number);
          break;
        }
        case SettingsValue::Type::kString:
          out.append("=string:");
          AppendEscaped(&out, value.text, false);
          break;
        case SettingsValue::Type::kBinary:
          out.append("=binary:");
          for (uint8_t byte : value.bytes) {
            out.push_back(kHexDigits[byte >> 4]);
            out.push_back(kHexDigits[byte & 0x0F]);
          }
          break;
      }
      out.push_back('\n');
    }
  }
  return out;
}

bool SettingsTree::Parse(std::string_view text, SettingsTree* tree, std::string* error) {
  *tree = SettingsTree();
  if (text.empty()) return true;
  // A file always ends with a line break; one that does not was cut short.
  if (text.back() != '\n') {
    *error = "the last line is incomplete";
    return false;
  }
  size_t line_number = 0;
  const std::string* key = nullptr;
  std::string unescaped;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    const auto fail = [&](const char* reason) {
      *error = "line " + std::to_string(line_number) + ": " + reason;
      *tree = SettingsTree();
      return false;
    };
    if (line_number == 1) {
      if (line != kHeader) return fail("not a settings file");
      continue;
    }
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']') return fail("a key line must end with ']'");
      if (!Unescape(line.substr(1, line.size() - 2), &unescaped)) return fail("bad escape in a key");
      auto it = tree->keys_.find(unescaped);
      if (it == tree->keys_.end()) it = tree->keys_.emplace(unescaped, Values()).first;
      key = &it->first;
      continue;
    }
    if (key == nullptr) return fail("a value before any key");
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return fail("a value line needs '='");
    if (!Unescape(line.substr(0, equals), &unescaped)) return fail("bad escape in a value name");
    SettingsValue value;
    if (!ParseValue(line.substr(equals + 1), &value)) return fail("bad value");
    tree->Set(*key, unescaped, std::move(value));
  }
  // Keys written with no values are not kept, as Erase does not keep them.
  for (auto it = tree->keys_.begin(); it != tree->keys_.end();) {
    it = it->second.empty() ? tree->keys_.erase(it) : std::next(it);
  }
  return true;
}

bool TreeSettingsStore::ReadDword(std::string_view key, std::string_view name, uint32_t* value) {
  SettingsValue found;
  if (!Lookup(key, name, &found) || found.type != SettingsValue::Type::kDword) return false;
  *value = found.dword;
  return true;
}

bool TreeSettingsStore::ReadString(std::string_view key, std::string_view name, std::u16string* value) {
  SettingsValue found;
  if (!Lookup(key, name, &found) || found.type != SettingsValue::Type::kString) return false;
  *value = Utf8ToUtf16(found.text);
  return true;
}

bool TreeSettingsStore::ReadBinary(std::string_view key, std::string_view name, std::vector<uint8_t>* value) {
  SettingsValue found;
  if (!Lookup(key, name, &found) || found.type != SettingsValue::Type::kBinary) return false;
  *value = std::move(found.bytes);
  return true;
}

bool TreeSettingsStore::Write(std::string_view key, std::string_view name, SettingsValue value) {
  return Update([&](SettingsTree* tree) {
    const SettingsValue* old = tree->Find(key, name);
    if (old != nullptr && *old == value) return false;
    tree->Set(key, name, value);
    return true;
  });
}

bool TreeSettingsStore::WriteDword(std::string_view key, std::string_view name, uint32_t value) {
  SettingsValue stored;
  stored.type = SettingsValue::Type::kDword;
  stored.dword = value;
  return Write(key, name, std::move(stored));
}

bool TreeSettingsStore::WriteString(std::string_view key, std::string_view name, std::u16string_view value) {
  SettingsValue stored;
  stored.type = SettingsValue::Type::kString;
  stored.text = Utf16ToUtf8(value);
  return Write(key, name, std::move(stored));
}

bool TreeSettingsStore::WriteBinary(std::string_view key, std::string_view name, const std::vector<uint8_t>& value) {
  SettingsValue stored;
  stored.type = SettingsValue::Type::kBinary;
  stored.bytes = value;
  return Write(key, name, std::move(stored));
}

bool TreeSettingsStore::DeleteValue(std::string_view key, std::string_view name) {
  return Update([&](SettingsTree* tree) { return tree->Erase(key, name); });
}

}  // namespace vz
