#include "client/sharingui/remote_keys.h"

#include <algorithm>

namespace remote_keys {

namespace {

constexpr std::array<uint8_t, kAllowedKeyCount> MakeTable() {
  std::array<uint8_t, kAllowedKeyCount> table{};
  size_t n = 0;
  for (uint8_t k = 0x41; k <= 0x5A; ++k) table[n++] = k;  // A to Z
  for (uint8_t k = 0x30; k <= 0x39; ++k) table[n++] = k;  // 0 to 9
  for (uint8_t k : {0xC0, 0xAD, 0x3D, 0x3B, 0x2E, 0x25, 0x26, 0x27, 0x28, 0xBD, 0xBB, 0x08, 0xDB,
                    0xDD, 0xDC, 0xBA, 0xDE, 0xBC, 0xBE, 0xBF, 0x09, 0x20, 0x0D, 0x0D, 0x10, 0x11}) {
    table[n++] = k;
  }
  for (uint8_t k = 0x70; k <= 0x7B; ++k) table[n++] = k;  // F1 to F12
  for (uint8_t k : {0x19, 0x1A, 0x1B, 0x1C, 0x22, 0x21, 0x24, 0x23, 0x1B, 0x2F}) table[n++] = k;
  for (uint8_t k = 0x60; k <= 0x69; ++k) table[n++] = k;  // keypad 0 to 9
  for (uint8_t k : {0x6A, 0x6B, 0x6D, 0x6F, 0x6E}) table[n++] = k;
  return table;
}

}  // namespace

const std::array<uint8_t, kAllowedKeyCount> kAllowedKeys = MakeTable();

bool IsAllowed(uint8_t received) {
  return std::find(kAllowedKeys.begin(), kAllowedKeys.end(), received) != kAllowedKeys.end();
}

uint8_t Translate(uint8_t received) {
  switch (received) {
    case 0x3B:
      return 0xBA;
    case 0xAD:
      return 0xBD;
    case 0x3D:
      return 0xBB;
    default:
      return received;
  }
}

std::optional<uint32_t> KeysymOf(uint8_t vk) {
  if (vk >= 0x41 && vk <= 0x5A) return 0x61u + (vk - 0x41u);  // a to z
  if (vk >= 0x30 && vk <= 0x39) return uint32_t{vk};          // 0 to 9
  if (vk >= 0x70 && vk <= 0x7B) return 0xFFBEu + (vk - 0x70u);  // F1 to F12
  if (vk >= 0x60 && vk <= 0x69) return 0xFFB0u + (vk - 0x60u);  // KP_0 to KP_9
  switch (vk) {
    case 0xC0: return 0x60;      // grave
    case 0xBD: return 0x2D;      // minus
    case 0xBB: return 0x3D;      // equal
    case 0xBA: return 0x3B;      // semicolon
    case 0xDB: return 0x5B;      // bracketleft
    case 0xDD: return 0x5D;      // bracketright
    case 0xDC: return 0x5C;      // backslash
    case 0xDE: return 0x27;      // apostrophe
    case 0xBC: return 0x2C;      // comma
    case 0xBE: return 0x2E;      // period
    case 0xBF: return 0x2F;      // slash
    case 0x2E: return 0xFFFF;    // Delete
    case 0x25: return 0xFF51;    // Left
    case 0x26: return 0xFF52;    // Up
    case 0x27: return 0xFF53;    // Right
    case 0x28: return 0xFF54;    // Down
    case 0x08: return 0xFF08;    // BackSpace
    case 0x09: return 0xFF09;    // Tab
    case 0x20: return 0x20;      // space
    case 0x0D: return 0xFF0D;    // Return
    case 0x10: return 0xFFE1;    // Shift_L
    case 0x11: return 0xFFE3;    // Control_L
    case 0x19: return 0xFF21;    // Kanji
    case 0x1B: return 0xFF1B;    // Escape
    case 0x1C: return 0xFF23;    // Henkan
    case 0x22: return 0xFF56;    // Next (page down)
    case 0x21: return 0xFF55;    // Prior (page up)
    case 0x24: return 0xFF50;    // Home
    case 0x23: return 0xFF57;    // End
    case 0x2F: return 0xFF6A;    // Help
    case 0x6A: return 0xFFAA;    // KP_Multiply
    case 0x6B: return 0xFFAB;    // KP_Add
    case 0x6D: return 0xFFAD;    // KP_Subtract
    case 0x6F: return 0xFFAF;    // KP_Divide
    case 0x6E: return 0xFFAE;    // KP_Decimal
    default: return std::nullopt;  // 0x1A and anything not allowed
  }
}

}  // namespace remote_keys
