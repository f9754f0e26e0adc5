#pragma once
// A rectangle as the engine's log lines write it: "{l, t, r, b}(w, h)".
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "contracts/capture_records.h"

struct DsRectText {
  explicit DsRectText(const VzRect& rect) {
    // Width and height in wrapping 32-bit arithmetic: the rectangle may
    // come from the network.
    std::snprintf(text, sizeof text, "{%d, %d, %d, %d}(%d, %d)", rect.left, rect.top, rect.right, rect.bottom,
                  static_cast<int32_t>(static_cast<uint32_t>(rect.right) - static_cast<uint32_t>(rect.left)),
                  static_cast<int32_t>(static_cast<uint32_t>(rect.bottom) - static_cast<uint32_t>(rect.top)));
  }
  const char* c_str() const { return text; }
  char text[96];
};
