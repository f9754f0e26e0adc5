#pragma once
// The attendee's rebuild of each shared monitor from received caches and
// blocks. Caches are stored as they come; blocks wait in the keyframe
// table until every pending block's cache is here, then all of them are
// drawn together (JPEG tiles decoded and painted into their monitor's
// frame) and the client hears one OnMonitorUpdated per monitor, with the
// united changed rectangle cut to that monitor. Caches that are missing
// are asked for in one GET_CACHES per block message, each cache once.
//
// A cache may never come (lost, or named by a member that never sent it):
// one such block must not stop the drawing for good. A cache still missing
// is asked for again every kAskAgainMs, at most kMaxAsks times in all; a
// block whose cache is still missing kGiveUpMs after it was first asked for
// is dropped with a log line, and the blocks behind it draw; later blocks
// naming that same cache are dropped at once. The schedule
// moves on every block message and on OnWaitTick (the engine's timer).
//
// A drawing costs what it shows (sharing/engine/block_painter.h): a block
// that a later one covers wholly is not drawn, a picture that several
// blocks name is decoded once and copied, and where blocks overlap the
// pixels drawn are held to kDrawAreas times the shared monitors' pixels
// (the blocks beyond that are refused with a log line).
//
// Caches are bounded too: one larger than the largest shared monitor's
// frame (and than a cursor image can be) is refused with a log line; the
// table itself keeps to its byte budget.
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
#include <map>
#include <set>
#include <vector>

#include "platform/clock.h"

#include "contracts/ds_provider.h"
#include "sharing/engine/block_painter.h"
#include "sharing/engine/cache_controller.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/engine/cursor_channel.h"
#include "sharing/engine/keyframe_controller.h"
#include "sharing/engine/monitor_frames.h"
#include "sharing/transport/ds_tp.h"

class CFrameRebuild {
 public:
  static constexpr int32_t kDsCacheJpeg = 10;
  // The schedule of a missing cache (see above).
  static constexpr uint64_t kAskAgainMs = 1000;
  static constexpr int kMaxAsks = 4;
  static constexpr uint64_t kGiveUpMs = 5000;
  // The largest cache taken before any monitor is shared: more than any
  // tile or cursor image needs.
  static constexpr uint64_t kMinCacheLimitBytes = 1u << 20;
  // The pixels one drawing of overlapping blocks may paint, in shared
  // monitors' areas: an honest message paints each monitor's cells once.
  static constexpr uint64_t kDrawAreas = 4;

  // `codec` may be null: tiles are then not painted (their blocks are still
  // reported). `clock` null: the monotonic clock.
  CFrameRebuild(CCacheController& caches, CKeyframeController& keyframes, CCodecMgrWin* codec,
                CMonitorFrames& frames, const vz::Clock* clock = nullptr)
      : caches_(caches), keyframes_(keyframes), frames_(frames),
        clock_(clock != nullptr ? *clock : vz::SystemClock()), painter_(codec) {}
  CFrameRebuild(const CFrameRebuild&) = delete;
  CFrameRebuild& operator=(const CFrameRebuild&) = delete;

  // Stores each received cache (the table takes a reference); a cache
  // larger than CacheLimitBytes is refused (logged). 1.
  int32_t OnCaches(CCacheEntry* const* list, int32_t count);
  // The most bytes one cache may hold: the largest shared monitor's frame,
  // at least kMinCacheLimitBytes.
  uint64_t CacheLimitBytes() const;
  // The most pixels one drawing paints: kDrawAreas times the pixels of every
  // shared monitor's frame.
  uint64_t DrawBudgetPixels() const;

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

  // The schedule's turn without a block message: asks again for the caches
  // due, drops the blocks past their deadline and draws what then can be.
  // True while some block still waits for a cache (the engine keeps its
  // timer running until then).
  bool OnWaitTick(IDSTp* transport, IDSProviderSink* client);
  bool IsWaiting() const { return !waits_.empty(); }
  // Forgets the waits and the caches given up on (a session's clean-up).
  void ForgetWaits() {
    waits_.clear();
    given_up_.clear();
  }

 private:
  // One missing cache, by (cache index << 32 | cache PDU id).
  struct Wait {
    uint64_t first_ms;  // first asked for (or first seen missing)
    uint64_t last_ms;   // last asked for
    int asks;
  };
  static uint64_t WaitKey(const CKeyframeEntry& block) {
    return static_cast<uint64_t>(block.CacheIndex) << 32 | block.CachePduId;
  }
  // Notes that the caches of `asked` were just asked for.
  void NoteAsked(const std::vector<CKeyframeEntry*>& asked, uint64_t now);
  // Brings the waits in step with the pending blocks, asks again for the
  // caches due and clears the blocks past their deadline. True when some
  // block was given up.
  bool RunSchedule(uint64_t now, IDSTp* transport);

  // Logs what a drawing left out.
  static void LogPainted(const CBlockPainter::Counts& counts, uint64_t budget);

  CCacheController& caches_;
  CKeyframeController& keyframes_;
  CMonitorFrames& frames_;
  const vz::Clock& clock_;
  CBlockPainter painter_;
  std::vector<CBlockPainter::Tile> tiles_;  // the drawing's tiles, kept between drawings
  std::vector<CKeyframeEntry*> missing_;
  std::map<uint64_t, Wait> waits_;
  // The caches given up on, so that blocks naming them again are dropped
  // at once; forgotten all together when it reaches kGivenUpMemory.
  static constexpr size_t kGivenUpMemory = 1024;
  std::set<uint64_t> given_up_;
};
