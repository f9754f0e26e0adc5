#include "platform/ui/recording_input_injector.h"

#include <cstdio>

namespace vz {

namespace {

const char* ButtonName(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft:
      return "left";
    case MouseButton::kRight:
      return "right";
    case MouseButton::kMiddle:
      return "middle";
    default:
      return "none";
  }
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%x", value);
  return text;
}

}  // namespace

void RecordingInputInjector::MoveTo(Point screen) {
  pointer_ = screen;
  events.push_back("move " + std::to_string(screen.x) + "," + std::to_string(screen.y));
}

void RecordingInputInjector::Button(MouseButton button, bool down) {
  SetButtonDown(button, down);
  events.push_back(std::string(down ? "down " : "up ") + ButtonName(button));
}

void RecordingInputInjector::Wheel(int delta) { events.push_back("wheel " + std::to_string(delta)); }

bool RecordingInputInjector::Key(uint32_t keysym, bool down) {
  SetKeyDown(keysym, down);
  events.push_back(std::string(down ? "key down " : "key up ") + Hex(keysym));
  return true;
}

bool RecordingInputInjector::TypeAscii(const std::string& text) {
  for (char c : text) {
    Key(static_cast<unsigned char>(c), true);
    Key(static_cast<unsigned char>(c), false);
  }
  return true;
}

void RecordingInputInjector::SetKeyDown(uint32_t keysym, bool down) {
  if (down) {
    keys_.insert(keysym);
  } else {
    keys_.erase(keysym);
  }
}

void RecordingInputInjector::SetButtonDown(MouseButton button, bool down) {
  if (down) {
    buttons_.insert(button);
  } else {
    buttons_.erase(button);
  }
}

}  // namespace vz
