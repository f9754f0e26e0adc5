#pragma once
// The engine's frames, one per shared monitor, in the order the sharing
// infos introduced them (the engine's monitor list). A sharing info decides
// which frames exist, on both sides: frames whose monitor (id and rectangle)
// is gone are dropped, surviving ones keep their pixels and are greyed
// outside the shared rectangle, new monitors get a new grey frame. The
// client hears of each change through its sink (null: nobody is told).
//
// Sizes come from the network on the attendee: each monitor is checked by
// CMonitorData::Create, and all frames together stay within the byte budget
// given at construction; a monitor beyond it gets no frame (logged), and its
// blocks are then not painted.
//
// Threads: the engine's thread only.
#include <cstddef>
#include <cstdint>

#include "common/vz_array.h"
#include "contracts/capture_records.h"
#include "contracts/ds_provider.h"
#include "sharing/engine/monitor_data.h"

class CMonitorFrames {
 public:
  // 320 MiB: one largest monitor (8192 x 8192) and 64 MiB more, or nine 4K
  // monitors. With the cache budget beside it, whatever a presenter
  // announces keeps an attendee well under 512 MiB.
  static constexpr size_t kDefaultByteBudget = size_t{320} << 20;

  explicit CMonitorFrames(size_t byte_budget = kDefaultByteBudget) : byte_budget_(byte_budget) {}
  ~CMonitorFrames();
  CMonitorFrames(const CMonitorFrames&) = delete;
  CMonitorFrames& operator=(const CMonitorFrames&) = delete;

  // The first frame of `monitor_id`, or null.
  CMonitorData* Find(int32_t monitor_id) const;
  int32_t GetCount() const { return frames_.GetCount(); }
  CMonitorData* GetAt(int32_t n) const { return static_cast<CMonitorData*>(frames_.GetAt(n)); }

  // Brings the frames in line with `info` (its first MonitorCount monitors,
  // at most 17): OnMonitorUnshared for each frame whose monitor is gone
  // (last to first), then in the info's order OnMonitorUpdated (whole frame)
  // for each that stays, OnMonitorShared for each new one.
  void Apply(const SharingInfo& info, IDSProviderSink* client);

  // Clean-up: OnMonitorUnshared for each frame in list order, each frame
  // released after its call.
  //
  // A frame leaves the list before the client hears it is unshared, so a
  // client may stop the engine (and so call RemoveAll) from any of these
  // callbacks; the MonitorInfo it is given stays valid for the call.
  void RemoveAll(IDSProviderSink* client);

 private:
  size_t BytesInUse() const;

  CVzArrayBase frames_;
  size_t byte_budget_;
};
