#pragma once
// The keys a participant with remote control may press: the system's
// virtual-key codes as they arrive (some are a browser's codes for the same
// keys), their translation to the system's codes, and the display's key
// symbol for each.
#include <array>
#include <cstdint>
#include <optional>

namespace remote_keys {

inline constexpr size_t kAllowedKeyCount = 99;
// In the order the release walks them; Escape and Return stand twice.
extern const std::array<uint8_t, kAllowedKeyCount> kAllowedKeys;

bool IsAllowed(uint8_t received);
// A browser's codes for ';', '-' and '=' (59, 173, 61) become the system's
// (0xBA, 0xBD, 0xBB); every other code stays.
uint8_t Translate(uint8_t received);
// The key symbol of a (translated) virtual-key code; none for a code no key
// of the display makes (0x1A) or that is not allowed.
std::optional<uint32_t> KeysymOf(uint8_t virtual_key);

}  // namespace remote_keys
