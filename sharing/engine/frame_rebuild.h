#pragma once
// The attendee's rebuild of each shared monitor from received caches and
// blocks. Caches are stored as they come; blocks wait in the keyframe
// table until every pending block's cache is here, then all of them are
// drawn together (JPEG tiles decoded and painted into their monitor's
// frame) and the client hears one OnMonitorUpdated per monitor, with the
// united changed rectangle cut to that monitor. Caches that are missing
// are asked for in one GET_CACHES per block message, each cache once.
//
// Everything here comes from the network and is checked before use: caches
// with index 0 (the table's always-empty entry) are dropped; blocks naming
// a cache index beyond the table are dropped; a block whose rectangle is
// empty or not inside its monitor is neither painted nor reported; a
// decoded tile must have exactly the block's size.
//
// Works on the engine's tables, codec and frames (borrowed for its life).
// Transport and client may be null (nothing is asked for, nobody is told).
// Threads: the engine's thread only.
#include <cstdint>
#include <vector>

#include "contracts/ds_provider.h"
#include "sharing/engine/cache_controller.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/engine/cursor_channel.h"
#include "sharing/engine/keyframe_controller.h"
#include "sharing/engine/monitor_frames.h"
#include "sharing/transport/ds_tp.h"

class CFrameRebuild {
 public:
  static constexpr int32_t kDsCacheJpeg = 10;

  // `codec` may be null: tiles are then not painted (their blocks are still
  // reported).
  CFrameRebuild(CCacheController& caches, CKeyframeController& keyframes, CCodecMgrWin* codec,
                CMonitorFrames& frames)
      : caches_(caches), keyframes_(keyframes), codec_(codec), frames_(frames) {}
  CFrameRebuild(const CFrameRebuild&) = delete;
  CFrameRebuild& operator=(const CFrameRebuild&) = delete;

  // Stores each received cache (the table takes a reference). 1.
  int32_t OnCaches(CCacheEntry* const* list, int32_t count);

  // Queues the blocks; asks for the caches missing (when there is a
  // transport) or else draws what it can. 1.
  int32_t OnBlocks(CKeyframeEntry* const* list, int32_t count, IDSTp* transport, IDSProviderSink* client);

  // The answer to a GET_CACHES (its caches came just before through
  // OnCaches): one block of position 0 answers the cursor's request and
  // delivers the cursor; anything else draws the pending blocks. 1.
  int32_t OnRequestCaches(CKeyframeEntry* const* list, int32_t count, CCursorChannel& cursor,
                          IDSProviderSink* client);

  // Draws the pending blocks when every one of their caches is here, then
  // clears them. 0 when some cache is still missing (nothing drawn), 1
  // otherwise.
  int32_t CheckPendingKeyframe(IDSProviderSink* client);

 private:
  // Paints one block's tile; false when it was not painted.
  bool Paint(CMonitorData* frame, const CKeyframeEntry& block, const CCacheEntry& cache);

  CCacheController& caches_;
  CKeyframeController& keyframes_;
  CCodecMgrWin* codec_;
  CMonitorFrames& frames_;
  std::vector<CKeyframeEntry*> missing_;
};
