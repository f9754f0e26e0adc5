#include "bridge/application_package_info.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/text_scrambler.h"
#include "platform/text.h"

namespace {

// Splits at any run of `separator`, as strtok does: empty parts never occur.
std::vector<std::string_view> SplitNonEmpty(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && text[at] == separator) ++at;
    const size_t end = std::min(text.find(separator, at), text.size());
    if (end > at) parts.push_back(text.substr(at, end - at));
    at = end;
  }
  return parts;
}

char16_t* FieldOfKey(std::string_view key, ApplicationPackageInfo* info) {
  if (key == "application_pkg") return info->package;
  if (key == "application_folder") return info->folder;
  if (key == "application_ver") return info->version;
  if (key == "application_name") return info->name;
  return nullptr;
}

}  // namespace

int ReadApplicationPackageInfo(std::string_view scrambled, ApplicationPackageInfo* info) {
  if (scrambled.empty()) return 0;
  std::memset(info, 0, sizeof(*info));
  std::string once, twice;
  if (vz::DescrambleHexText(scrambled, 1023, &once) == 0) return 0;
  if (vz::DescrambleHexText(once, 511, &twice) == 0) return 0;
  for (const std::string_view item : SplitNonEmpty(twice, ';')) {
    const std::vector<std::string_view> parts = SplitNonEmpty(item, ':');
    if (parts.size() < 2) continue;
    char16_t* field = FieldOfKey(parts[0], info);
    if (!field) continue;
    const std::u16string value = vz::Utf8ToUtf16(parts[1]);
    if (value.size() >= 127) continue;  // too long: the field keeps what it had
    std::memset(field, 0, 128 * sizeof(char16_t));
    std::memcpy(field, value.data(), value.size() * sizeof(char16_t));
  }
  return 1;
}
