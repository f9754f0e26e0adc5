#pragma once
// The small records that the web link builds from the web page's requests
// besides the session records, each freed by the link after the sink call.
#include <cstddef>
#include <cstdint>

// "PLUGIN_WINDOW_EVENT": the frame as left, top, right, bottom.
struct WindowEventRecord {
  int32_t Left;    // x
  int32_t Top;     // y
  int32_t Right;   // x + width
  int32_t Bottom;  // y + height
};
static_assert(sizeof(WindowEventRecord) == 16);

// "PLUGIN_MOUSE_EVENT".
struct MouseEventRecord {
  int32_t Type;
  int32_t X;
  int32_t Y;
  int32_t Count;
};
static_assert(sizeof(MouseEventRecord) == 16);

// The session id text of a stop or leave request: at most 255 characters in
// a zero-filled buffer of 256 (512 bytes).
inline constexpr size_t kSessionIdTextCapacity = 256;
