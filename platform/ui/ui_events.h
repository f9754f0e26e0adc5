#pragma once
// Input events of the window layer, in the coordinates of the window that
// receives them.
#include <cstdint>
#include <string>

#include "platform/ui/ui_types.h"

namespace vz {

enum class MouseButton { kNone, kLeft, kMiddle, kRight };

enum class MouseAction {
  kPress,
  kRelease,
  kDoubleClick,  // a second press on the same spot within 500 ms (after its kPress)
  kMove,
  kWheel,
  kEnter,
  kLeave,
};

enum ModifierBits : uint32_t {
  kModShift = 1,
  kModControl = 4,
  kModAlt = 8,
  kModButtonLeft = 0x100,
  kModButtonMiddle = 0x200,
  kModButtonRight = 0x400,
};

struct MouseEvent {
  MouseAction action = MouseAction::kMove;
  MouseButton button = MouseButton::kNone;
  Point position;         // in the receiving window
  Point screen_position;  // on the screen
  uint32_t modifiers = 0;
  int wheel_delta = 0;  // +1 up, -1 down (kWheel)
};

// Key symbols: the X keysym values, which every backend uses.
namespace keys {
inline constexpr uint32_t kBackSpace = 0xff08;
inline constexpr uint32_t kTab = 0xff09;
inline constexpr uint32_t kReturn = 0xff0d;
inline constexpr uint32_t kEscape = 0xff1b;
inline constexpr uint32_t kHome = 0xff50;
inline constexpr uint32_t kLeft = 0xff51;
inline constexpr uint32_t kUp = 0xff52;
inline constexpr uint32_t kRight = 0xff53;
inline constexpr uint32_t kDown = 0xff54;
inline constexpr uint32_t kEnd = 0xff57;
inline constexpr uint32_t kKpEnter = 0xff8d;
inline constexpr uint32_t kDelete = 0xffff;
inline constexpr uint32_t kInsert = 0xff63;
inline constexpr uint32_t kSpace = 0x20;
inline constexpr uint32_t kLowerA = 0x61;
inline constexpr uint32_t kLowerC = 0x63;
inline constexpr uint32_t kLowerV = 0x76;
inline constexpr uint32_t kLowerX = 0x78;
}  // namespace keys

struct KeyEvent {
  bool pressed = true;
  uint32_t keysym = 0;
  uint32_t modifiers = 0;
  // The text the key typed (through the input method), UTF-8; empty for
  // keys that type nothing and for releases.
  std::string text;
};

}  // namespace vz
