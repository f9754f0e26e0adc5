#pragma once
// The input injector's double: it records every injected event in order
// and keeps the state the events leave (pointer position, buttons and keys
// down), so code that reads the state back sees its own effects. A test
// moves the "local" pointer or holds keys itself through the setters.
#include <set>
#include <string>
#include <vector>

#include "platform/ui/input_injector.h"

namespace vz {

class RecordingInputInjector : public InputInjector {
 public:
  // One event as text: "move 10,20", "down left", "up right", "wheel 120",
  // "key down 0x61", "key up 0xff1b".
  std::vector<std::string> events;

  void MoveTo(Point screen) override;
  void Button(MouseButton button, bool down) override;
  void Wheel(int delta) override;
  bool Key(uint32_t keysym, bool down) override;
  bool TypeAscii(const std::string& text) override;
  void Sync() override {}
  Point PointerPosition() override { return pointer_; }
  bool IsButtonDown(MouseButton button) override { return buttons_.count(button) != 0; }
  bool IsKeyDown(uint32_t keysym) override { return keys_.count(keysym) != 0; }

  // The local user's doing, not recorded as events.
  void SetPointer(Point p) { pointer_ = p; }
  void SetKeyDown(uint32_t keysym, bool down);
  void SetButtonDown(MouseButton button, bool down);

 private:
  Point pointer_;
  std::set<MouseButton> buttons_;
  std::set<uint32_t> keys_;
};

}  // namespace vz
