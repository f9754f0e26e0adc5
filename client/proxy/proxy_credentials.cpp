// The proxy credentials in the settings store.
#include "client/proxy/proxy_credentials.h"

#include <string>
#include <string_view>

#include "common/text_scrambler.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

// Limits of the stored forms: the hex text with its terminator, the
// password's UTF-8 bytes and its wide characters.
constexpr int kScrambledTextLimit = 1023;
constexpr size_t kStoredTextCapacity = 1024;
constexpr size_t kPasswordUtf8Limit = 512;
constexpr size_t kPasswordWideLimit = 512;

// A field of an entry up to its terminator, never past its end.
template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
  const char16_t* end = std::char_traits<char16_t>::find(field, N, u'\0');
  return {field, end != nullptr ? static_cast<size_t>(end - field) : N};
}

// The value's name for the entry's host; the formats hold one "%s".
std::string ValueName(std::string_view format, const NetworkProxyEntry& entry) {
  const size_t at = format.find("%s");
  return std::string(format.substr(0, at)) + vz::Utf16ToUtf8(FieldText(entry.Host)) +
         std::string(format.substr(at + 2));
}

// The stored hex text is ASCII; any other character becomes one that is not a
// hex digit, so decoding stops there instead of reading a wrong digit.
std::string NarrowHexText(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (const char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

// The UTF-8 text cut to at most `limit` bytes, never inside a character.
std::string_view CutUtf8(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

std::u16string_view CutUtf16(std::u16string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  if (cut > 0 && text[cut] >= 0xDC00 && text[cut] <= 0xDFFF) --cut;  // keep surrogate pairs whole
  return text.substr(0, cut);
}

}  // namespace

bool LoadProxyCredentials(NetworkProxyEntry* entry, vz::SettingsStore& store) {
  if (entry == nullptr) return false;

  std::u16string user_name;
  if (store.ReadString(kNetworkProxySettingsKey, ValueName(kProxyUserNameValueFormat, *entry), &user_name)) {
    vz::CopyUtf16(entry->UserName, std::size(entry->UserName), user_name);
  }

  std::u16string stored_password;
  if (store.ReadString(kNetworkProxySettingsKey, ValueName(kProxyPasswordValueFormat, *entry),
                       &stored_password) &&
      !stored_password.empty()) {
    const std::string hex = NarrowHexText(CutUtf16(stored_password, kStoredTextCapacity - 1));
    std::string bytes;
    if (vz::DescrambleHexText(hex, kScrambledTextLimit, &bytes) > 0) {
      const std::u16string password = vz::Utf8ToUtf16(bytes);
      vz::CopyUtf16(entry->Password, std::size(entry->Password), CutUtf16(password, kPasswordWideLimit));
    } else {
      VZ_LOG_WARN("the stored password of a proxy holds nothing");
    }
  }

  const bool complete = !FieldText(entry->UserName).empty() && !FieldText(entry->Password).empty();
  entry->Authentication = complete ? 1 : 0;
  return complete;
}

void SaveProxyCredentials(const NetworkProxyEntry* entry, vz::SettingsStore& store) {
  if (entry == nullptr) return;
  const std::u16string_view user_name = FieldText(entry->UserName);
  const std::u16string_view password = FieldText(entry->Password);
  if (user_name.empty() || password.empty()) return;

  if (!store.WriteString(kNetworkProxySettingsKey, ValueName(kProxyUserNameValueFormat, *entry), user_name)) {
    VZ_LOG_ERROR("can't store the proxy user name");
    return;
  }
  const std::string utf8 = vz::Utf16ToUtf8(password);
  std::string hex;
  if (vz::ScrambleHexText(CutUtf8(utf8, kPasswordUtf8Limit), kScrambledTextLimit, &hex) <= 0) {
    VZ_LOG_ERROR("can't scramble the proxy password");
    return;
  }
  if (!store.WriteString(kNetworkProxySettingsKey, ValueName(kProxyPasswordValueFormat, *entry),
                         vz::Utf8ToUtf16(hex))) {
    VZ_LOG_ERROR("can't store the proxy password");
  }
}
