#pragma once
// The sharing-info handler that both sides run: a new sharing info resets
// the keyframe table and the cursor, replaces the engine's stored copy,
// brings the monitor frames in line with it (CMonitorFrames::Apply) and is
// handed to the client (OnSharingInfo, with the stored copy). The presenter
// runs it on the capture's own sharing info, with every monitor's
// background set to the frames' grey, and then sends the stored copy.
//
// Counts in the record are bounded by its slots (17 monitors, 65
// applications) whatever they say. Client and transport may be null.
// Threads: the engine's thread only.
#include <cstdint>

#include "contracts/capture_records.h"
#include "contracts/ds_provider.h"
#include "sharing/engine/cursor_channel.h"
#include "sharing/engine/keyframe_controller.h"
#include "sharing/engine/monitor_frames.h"
#include "sharing/transport/ds_tp.h"

// The engine's parts the handler changes; all borrowed.
struct DsScreenState {
  SharingInfo* stored;
  CKeyframeController* keyframes;
  CCursorChannel* cursor;
  CMonitorFrames* frames;
};

// Both sides (the attendee's received sharing info). 0 for null, else 1.
int32_t HandleSharingInfo(const SharingInfo* info, const DsScreenState& state, IDSProviderSink* client);

// Presenter: the capture's sharing info. 0 for null, else 1.
int32_t HandleCapturedSharingInfo(const SharingInfo* info, const DsScreenState& state, IDSProviderSink* client,
                                  IDSTp* transport);
