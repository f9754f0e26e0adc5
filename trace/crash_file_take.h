#pragma once
// Hands a pending crash file, left by an earlier process's crash, to the next run.
#include <cstdint>
#include <string>

class CVZBinaryData;

namespace vz {

constexpr uint32_t kCrashTakeLimit = 0x3EC00;  // 257,024 bytes from the file's end
constexpr uint32_t kCrashRecordSlack = 130;

// Takes the first "native.*.exception" file of the folder, in listing order,
// whose name contains `app_name` (an empty name matches every such file).
// Returns a record holding "<file name>*<last 257,024 bytes>\0", zero-filled
// to name + taken + 130 bytes, and deletes the file; null when there is none
// or it cannot be read (the file then stays).
CVZBinaryData* TakePendingCrashFile(const std::string& folder, const std::string& app_name);

}  // namespace vz
