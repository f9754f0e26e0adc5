#pragma once
// One shared monitor's frame: a copy of its MonitorInfo and a top-down
// 32-bit pixel buffer of its size, filled opaque grey when made.
// Presenter: the captured changes are copied in and cut into tiles.
// Attendee: decoded tiles are painted in; the client borrows the pixels
// (OnMonitorShared) and reads them after each OnMonitorUpdated.
//
// Every rectangle handed in is checked against the frame before a byte
// moves: 0 <= left < right <= width and 0 <= top <= bottom <= height, so a
// rectangle from the network can neither write outside the buffer nor read
// past the pixels it came with. The monitor's size is checked before the
// buffer is allocated (Create).
//
// Threads: the engine's thread only.
#include <cstddef>
#include <cstdint>

#include "contracts/capture_records.h"

class CMonitorData {
 public:
  // 0xff606060: the colour of a frame before anything is painted.
  static constexpr uint32_t kGreyPixel = 0xff606060u;
  // Largest side accepted, and largest frame (in pixels).
  static constexpr int32_t kMaxSide = 16384;
  static constexpr int64_t kMaxPixels = 8192LL * 8192LL;

  // A grey frame for `info`. Null (logged) when its rectangle is empty,
  // inverted, larger than kMaxSide or kMaxPixels, its bits per pixel are not
  // 32, or memory ran out.
  static CMonitorData* Create(const MonitorInfo& info);
  ~CMonitorData();
  CMonitorData(const CMonitorData&) = delete;
  CMonitorData& operator=(const CMonitorData&) = delete;

  // Same monitor id and the same four rectangle values.
  bool Matches(const MonitorInfo& other) const;
  bool SameRect(const VzRect& rect) const;

  // Presenter: copies the changed box of `data` into the frame. False when
  // the bits per pixel differ from the frame's, the box lies outside the
  // frame, or the data holds fewer bytes than the box; true without copying
  // when the data carries no pixels (Data 0) or the box is empty. The
  // pixels follow the record's header (CaptureScreenPixels).
  bool ApplyScreenDataForTesting(const CaptureScreenData& data);
  // The same in two steps, so that a caller can copy the rows band by band
  // just before it reads them: CheckScreenData refuses what
  // ApplyScreenDataForTesting refuses and copies nothing; CopyScreenRows copies the
  // rows of checked data's box that lie in [top, bottom).
  bool CheckScreenData(const CaptureScreenData& data) const;
  void CopyScreenRows(const CaptureScreenData& data, int32_t top, int32_t bottom);
  // Attendee: copies packed rows of rect-width x 4 bytes (`size` of them
  // given) into `rect`. False when the rectangle is empty or outside the
  // frame, or `size` is not exactly the rectangle's bytes.
  bool PaintBlockForTesting(const uint8_t* pixels, size_t size, const VzRect& rect);
  // Attendee: where `rect`'s first pixel lies in the frame (its rows are
  // Stride() apart), for decoding straight into it. Null, with a log line,
  // when the rectangle is empty or outside the frame.
  uint8_t* BlockTarget(const VzRect& rect);
  // Greys every pixel outside `shared` (screen coordinates, as the
  // monitor's rectangle).
  void GreyOutside(const VzRect& shared);

  // Whether `rect` (monitor-local) is a non-empty rectangle inside the frame.
  bool Contains(const VzRect& rect) const;

  MonitorInfo* Info() { return &info_; }
  const MonitorInfo& info() const { return info_; }
  int32_t MonitorId() const { return info_.MonitorId; }
  uint8_t* Pixels() { return pixels_; }
  const uint8_t* pixels() const { return pixels_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  size_t Stride() const { return stride_; }
  size_t Size() const { return size_; }

 private:
  CMonitorData(const MonitorInfo& info, int32_t width, int32_t height, uint8_t* pixels);
  // Copies packed rows into `box` (already checked); the bytes copied.
  size_t CopyRows(const uint8_t* source, const VzRect& box);
  void FillGrey(int32_t left, int32_t top, int32_t right, int32_t bottom);

  MonitorInfo info_;
  int32_t width_;
  int32_t height_;
  size_t stride_;
  size_t size_;
  uint8_t* pixels_;
};
