#pragma once
// The cursor on both sides of a sharing session, and the engine's cursor
// state (position, shape size, hot spot, the cursor cache of the shape).
//
// Presenter (OnCaptureMouse): a new shape is keyed by the MD5 of its
// format, size and bytes in the cursor range of the cache table; a shape not seen before becomes a
// PNG cache (formats 11 and 12 encoded, 30 taken as it is) sent alone, then
// the cursor record is sent, every time.
// Attendee (OnReceivedMouse): a record with a new shape delivers the cursor
// with its PNG when the cache is here, otherwise asks for that one cache
// (a block record of position 0) and tells the client nothing until the
// answer comes (Deliver, from the request-caches path). A known shape that
// moves gives the client a position-only cursor.
//
// Outside input is checked: a capture shape of formats 11 or 12 must hold
// width x height x 4 bytes and be 1..128 on each side; a received record
// must name a cache of the cursor range; a received image must decode as a
// PNG of at most 128 x 128 before the client gets it.
//
// Transport and client may be null (nothing is sent, nobody is told).
// Threads: the engine's thread only.
#include <cstdint>

#include "contracts/capture_records.h"
#include "contracts/ds_provider.h"
#include "sharing/engine/cache_controller.h"
#include "sharing/records/mouse_entry.h"
#include "sharing/transport/ds_tp.h"

class CCursorChannel {
 public:
  // CaptureMouseInfo formats.
  static constexpr int32_t kFormatRgba = 11;
  static constexpr int32_t kFormatArgb = 12;
  static constexpr int32_t kFormatPng = 30;
  // Largest format-30 image taken from the capture side.
  static constexpr int32_t kMaxPngBytes = 1 << 20;

  explicit CCursorChannel(CCacheController& caches) : caches_(caches) {}
  CCursorChannel(const CCursorChannel&) = delete;
  CCursorChannel& operator=(const CCursorChannel&) = delete;

  // Presenter. Null: an all-zero record is sent. 1 when the record was sent;
  // 0 (logged) when the shape was refused, no cache entry could be had, or
  // the shape's cache could not be sent (the record is then not sent).
  int32_t OnCaptureMouse(const CaptureMouseInfo* info, IDSTp* transport);

  // Attendee. 1 when the client was told; 0 when the shape's cache was
  // asked for (or the record was refused).
  int32_t OnReceivedMouse(const CMouseEntry* record, IDSTp* transport, IDSProviderSink* client);

  // Attendee: hands the client the cursor with its image when the shape's
  // cache is here. 1 when the client was told, or the image was refused
  // (logged; asking again would bring the same bytes); 0 when it is missing.
  int32_t Deliver(IDSProviderSink* client);

  // Every field of the state to 0.
  void Reset();

  const CMouseEntry& state_for_testing() const { return state_; }

 private:
  bool ShapeAcceptable(const CaptureMouseInfo& info) const;
  // Gives `entry` its image from the shape (PNG), or none when it cannot.
  void MakeImage(const CaptureMouseInfo& info, CCacheEntry* entry);

  CCacheController& caches_;
  CMouseEntry state_;
};
