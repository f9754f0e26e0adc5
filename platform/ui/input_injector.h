#pragma once
// Input injection into the display, as if from the real mouse and keyboard
// (remote control, and tests that drive real windows). It opens a display
// connection of its own, so it may live on any one thread.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/ui_events.h"
#include "platform/ui/ui_types.h"

namespace vz {

class InputInjector {
 public:
  virtual ~InputInjector() = default;
  // Null, logged, when the display cannot be opened or has no XTest.
  static std::unique_ptr<InputInjector> Open(const char* display_name = nullptr);

  virtual void MoveTo(Point screen) = 0;
  virtual void Button(MouseButton button, bool down) = 0;
  // A wheel turn of `delta` in the system's units (120 a notch, positive
  // away from the user): one click of the wheel per 120, and at least one
  // click for a smaller non-zero delta. 0 does nothing.
  virtual void Wheel(int delta) = 0;
  // A key by keysym; false when no key of the keyboard makes it.
  virtual bool Key(uint32_t keysym, bool down) = 0;
  // Presses and releases the key of each ASCII character (with Shift where
  // the keyboard needs it). False when a character has no key.
  virtual bool TypeAscii(const std::string& text) = 0;
  void Click(Point screen) {
    MoveTo(screen);
    Button(MouseButton::kLeft, true);
    Button(MouseButton::kLeft, false);
  }
  void Tap(uint32_t keysym) {
    Key(keysym, true);
    Key(keysym, false);
  }
  // Waits until the display has taken everything sent.
  virtual void Sync() = 0;

  // The state the display has now, after everything sent was taken (so a
  // position read right after MoveTo is the moved one).
  virtual Point PointerPosition() = 0;
  virtual bool IsButtonDown(MouseButton button) = 0;
  virtual bool IsKeyDown(uint32_t keysym) = 0;
};

}  // namespace vz
