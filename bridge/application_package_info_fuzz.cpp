// Fuzz target: the package info reader and, through it, the descrambler, on
// any text the web page could send.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bridge/application_package_info.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ApplicationPackageInfo info;
  ReadApplicationPackageInfo(std::string_view(reinterpret_cast<const char*>(data), size), &info);
  // Every field stays terminated within its 128 units.
  for (const char16_t* field : {info.package, info.folder, info.version, info.name}) {
    if (vz::Utf16Length(field) >= 128) __builtin_trap();
  }
  return 0;
}
