// A window's icon property is another program's data: any items at all.
// Each 4 input bytes are one item (little-endian); a leading byte's low bit
// set fills the item's upper half with ones, as a sign-extended long would.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/screen/window_icons.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool extend = (data[0] & 1) != 0;
  std::vector<unsigned long> items;
  for (size_t at = 1; at + 4 <= size; at += 4) {
    uint32_t value;
    std::memcpy(&value, data + at, 4);
    unsigned long item = value;
    if (extend && (value & 0x80000000u) != 0) item |= ~0xFFFFFFFFul;
    items.push_back(item);
  }
  size_t pixels = 0;
  for (const vz::ScreenIcon& icon : vz::ParseWindowIcons(items)) {
    if (icon.argb.size() != static_cast<size_t>(icon.width) * icon.height) __builtin_trap();
    pixels += icon.argb.size() + 2;
  }
  if (pixels > items.size()) __builtin_trap();
  return 0;
}
