#pragma once
// The records that the screen capture reports, read by layout and copied by
// the sharing engine and the meeting client. Little-endian, 32-bit fields,
// UTF-16 text in fixed arrays. Records without pointers keep their sizes and
// offsets; the two with a data pointer keep their field order only.
#include <cstddef>
#include <cstdint>

// RECT: left, top, right, bottom.
struct VzRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};
static_assert(sizeof(VzRect) == 16);

// POINT.
struct VzPoint {
  int32_t x;
  int32_t y;
};
static_assert(sizeof(VzPoint) == 8);

// A top-level window as the capture side names it (an X11 window id, which
// is 32 bits like the handles of the records); 0 is none.
using VzWindowHandle = uint32_t;

// MonitorInfo state flags.
inline constexpr uint32_t kMonitorStatePrimary = 1;
inline constexpr uint32_t kMonitorStateAttached = 2;
inline constexpr uint32_t kMonitorStateShared = 4;

struct MonitorInfo {
  int32_t Reserved;
  char16_t DeviceName[128];
  int32_t MonitorId;  // 1 for the first listed display
  char16_t Name[128];
  VzRect Rect;         // device pixels
  VzRect LogicalRect;  // as the window manager reports it
  int32_t BitsPerPixel;
  uint32_t StateFlags;
  uint32_t BackgroundColor;
  float DpiScale;  // Rect width / LogicalRect width
};
static_assert(sizeof(MonitorInfo) == 568);
static_assert(offsetof(MonitorInfo, DeviceName) == 4);
static_assert(offsetof(MonitorInfo, MonitorId) == 260);
static_assert(offsetof(MonitorInfo, Name) == 264);
static_assert(offsetof(MonitorInfo, Rect) == 520);
static_assert(offsetof(MonitorInfo, LogicalRect) == 536);
static_assert(offsetof(MonitorInfo, BitsPerPixel) == 552);
static_assert(offsetof(MonitorInfo, StateFlags) == 556);
static_assert(offsetof(MonitorInfo, BackgroundColor) == 560);
static_assert(offsetof(MonitorInfo, DpiScale) == 564);

inline constexpr int kMonitorListCapacity = 17;  // at most 16 are filled

struct MonitorList {
  int32_t Count;
  MonitorInfo Monitors[kMonitorListCapacity];
};
static_assert(sizeof(MonitorList) == 9660);

struct ApplicationInfo {
  char16_t Title[128];
  int32_t ProcessId;
  VzWindowHandle Window;  // the key of the record
  VzRect Rect;
  int32_t Shared;  // 1 while this window is shared
};
static_assert(sizeof(ApplicationInfo) == 284);
static_assert(offsetof(ApplicationInfo, ProcessId) == 256);
static_assert(offsetof(ApplicationInfo, Window) == 260);
static_assert(offsetof(ApplicationInfo, Rect) == 264);
static_assert(offsetof(ApplicationInfo, Shared) == 280);

inline constexpr int kApplicationListCapacity = 65;  // at most 64 are filled

struct ApplicationList {
  int32_t Count;
  ApplicationInfo Applications[kApplicationListCapacity];
};
static_assert(sizeof(ApplicationList) == 18464);

struct SharingInfo {
  int32_t CaptureMode;
  int32_t BlockWidth;   // 128
  int32_t BlockHeight;  // 128
  int32_t IsDesktopSharing;
  VzRect SharedRect;  // device pixels; empty when nothing is shared
  int32_t MonitorCount;
  MonitorInfo Monitors[kMonitorListCapacity];
  int32_t ApplicationCount;
  ApplicationInfo Applications[kApplicationListCapacity];
};
static_assert(sizeof(SharingInfo) == 28156);
static_assert(offsetof(SharingInfo, SharedRect) == 16);
static_assert(offsetof(SharingInfo, MonitorCount) == 32);
static_assert(offsetof(SharingInfo, ApplicationCount) == 9692);
static_assert(offsetof(SharingInfo, Applications) == 9696);

// A changed box of a monitor; the pixels follow the header in the same block.
// Data is a 32-bit slot: the capture side writes the pixels' offset in the
// record (48) there, never an address; readers use CaptureScreenPixels().
inline constexpr int32_t kCaptureScreenHeaderSize = 48;

struct CaptureScreenData {
  int32_t MonitorId;
  VzRect MonitorRect;
  VzRect DirtyRect;  // monitor-local
  int32_t BitsPerPixel;
  int32_t DataSize;
  uint32_t Data;  // 48: the rows follow the header
};
static_assert(sizeof(CaptureScreenData) == 48);
static_assert(offsetof(CaptureScreenData, MonitorRect) == 4);
static_assert(offsetof(CaptureScreenData, DirtyRect) == 20);
static_assert(offsetof(CaptureScreenData, BitsPerPixel) == 36);
static_assert(offsetof(CaptureScreenData, DataSize) == 40);
static_assert(offsetof(CaptureScreenData, Data) == 44);

// The rows of DirtyRect, top row first (DataSize bytes).
inline uint8_t* CaptureScreenPixels(CaptureScreenData* record) {
  return reinterpret_cast<uint8_t*>(record) + kCaptureScreenHeaderSize;
}
inline const uint8_t* CaptureScreenPixels(const CaptureScreenData* record) {
  return reinterpret_cast<const uint8_t*>(record) + kCaptureScreenHeaderSize;
}

// Cursor position and, when Width is not 0, its shape. The shape's pixels
// stand at offset 1,600 of the same block; Data holds that offset (or 0 when
// no shape is part of the record), never an address: readers use
// CaptureMousePixels().
inline constexpr int32_t kCaptureMouseHeaderSize = 40;
inline constexpr int32_t kCaptureMousePixelsOffset = 1600;
inline constexpr int32_t kCaptureMouseFormatArgb = 12;  // bytes A, R, G, B; A = 0 is transparent
inline constexpr int32_t kCaptureMouseMaxSide = 128;

struct CaptureMouseInfo {
  int32_t MonitorId;  // 0: no cursor to report
  int32_t X;
  int32_t Y;
  int32_t Width;
  int32_t Height;
  int32_t HotspotX;
  int32_t HotspotY;
  int32_t Format;  // 12: 32-bit A, R, G, B pixels
  int32_t DataSize;
  uint32_t Data;   // 1,600 when a shape follows, else 0
};
static_assert(sizeof(CaptureMouseInfo) == 40);
static_assert(offsetof(CaptureMouseInfo, Width) == 12);
static_assert(offsetof(CaptureMouseInfo, HotspotX) == 20);
static_assert(offsetof(CaptureMouseInfo, Format) == 28);
static_assert(offsetof(CaptureMouseInfo, DataSize) == 32);
static_assert(offsetof(CaptureMouseInfo, Data) == 36);

// The shape's pixels (DataSize bytes), or null when the record has none.
inline uint8_t* CaptureMousePixels(CaptureMouseInfo* record) {
  return record->Data == 0 ? nullptr : reinterpret_cast<uint8_t*>(record) + kCaptureMousePixelsOffset;
}
inline const uint8_t* CaptureMousePixels(const CaptureMouseInfo* record) {
  return record->Data == 0 ? nullptr : reinterpret_cast<const uint8_t*>(record) + kCaptureMousePixelsOffset;
}
