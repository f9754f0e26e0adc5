#include "trace/crash_file_take.h"

#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

#include "common/vz_binary_data.h"
#include "platform/fatal_signal_safe_io.h"
#include "platform/file_system.h"

namespace vz {
namespace {

bool IsPendingCrashName(std::string_view name, std::string_view app_name) {
  constexpr std::string_view kStart = "native.";
  constexpr std::string_view kEnd = ".exception";
  if (name.size() < kStart.size() + kEnd.size()) return false;
  if (name.substr(0, kStart.size()) != kStart || name.substr(name.size() - kEnd.size()) != kEnd) return false;
  return name.find(app_name) != std::string_view::npos;
}

void Complain(const std::string& what, const std::string& path) {
  const std::string message = "vztrace: " + what + " " + path + "\n";
  WriteStderrSafely(message.c_str());
}

}  // namespace

CVZBinaryData* TakePendingCrashFile(const std::string& folder, const std::string& app_name) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, &entries)) return nullptr;
  const DirectoryEntry* found = nullptr;
  for (const DirectoryEntry& entry : entries) {
    if (!entry.is_directory && IsPendingCrashName(entry.name, app_name)) {
      found = &entry;
      break;
    }
  }
  if (found == nullptr) return nullptr;
  const std::string path = JoinPath(folder, found->name);

  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    Complain("cannot open the crash file", path);
    return nullptr;
  }
  const std::streamoff size = file.tellg();
  if (size < 0) {
    Complain("cannot read the crash file", path);
    return nullptr;
  }
  const uint32_t taken = size > kCrashTakeLimit ? kCrashTakeLimit : static_cast<uint32_t>(size);
  const std::string& name = found->name;
  const uint64_t record_size = name.size() + static_cast<uint64_t>(taken) + kCrashRecordSlack;
  auto* record = new (std::nothrow) CVZBinaryData(static_cast<uint32_t>(record_size));
  if (record == nullptr || record->data() == nullptr) {
    if (record) record->Release();
    Complain("no memory for the crash file", path);
    return nullptr;
  }
  uint8_t* out = record->data();
  std::memcpy(out, name.data(), name.size());
  out[name.size()] = '*';
  file.seekg(size - taken);
  file.read(reinterpret_cast<char*>(out + name.size() + 1), taken);
  if (!file || file.gcount() != static_cast<std::streamsize>(taken)) {
    record->Release();
    Complain("cannot read the crash file", path);
    return nullptr;
  }
  file.close();
  if (!RemoveFile(path)) Complain("cannot delete the crash file", path);
  return record;
}

}  // namespace vz
