#include "client/app/convert_file_to_utf8.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "common/trace_client.h"
#include "platform/file_system.h"
#include "platform/text.h"

int ConvertFileToUtf8(std::string_view file_name_view) {
  const std::string file_name(file_name_view);
  if (file_name.empty() || !vz::FileExists(file_name) || vz::IsDirectory(file_name)) return 0;
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(file_name, error);
  if (error) {
    VZ_LOG_ERROR("can't read the size of [%s]", file_name.c_str());
    return 0;
  }
  if (size > kMaxUtf16InputBytes) {
    VZ_LOG_ERROR("[%s] holds %llu bytes, more than %d: left as it is", file_name.c_str(),
                 static_cast<unsigned long long>(size), static_cast<int>(kMaxUtf16InputBytes));
    return 0;
  }
  std::string bytes;
  if (!vz::ReadFileBytes(file_name, &bytes)) {
    VZ_LOG_ERROR("can't read [%s]", file_name.c_str());
    return 0;
  }
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit =
        static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  // At most 3 bytes per unit: the output always fits, whatever the script.
  const std::string utf8 = vz::Utf16ToUtf8(text);
  const std::filesystem::perms mode = std::filesystem::status(file_name, error).permissions();
  const unsigned bits = error ? 0600u : static_cast<unsigned>(mode & std::filesystem::perms::mask);
  if (!vz::WriteFileAtomic(file_name, utf8, bits)) {
    VZ_LOG_ERROR("can't write [%s]: left as it is", file_name.c_str());
    return 0;
  }
  VZ_LOG("[%s] rewritten as UTF-8, %d bytes", file_name.c_str(), static_cast<int>(utf8.size()));
  return 1;
}
