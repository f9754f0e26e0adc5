#pragma once
// The presenter's screen updates into tiles: each changed box of a shared
// monitor is copied into that monitor's frame, widened to the block grid,
// and cut into blocks. Each block is keyed by the MD5 of its pixels and its
// size; one JPEG image ("cache") is made per key not in the cache table,
// and a block record is sent only for a cell whose cache changed. One
// update sends at most two messages: the new caches first, then the new
// blocks.
//
// Positions: monitor id x 10000 + block row x 100 + block column + 101.
//
// Works on the engine's tables and codec (borrowed for the pipeline's
// life). The transport may be null: nothing is then sent (logged as a
// failed send). Threads: the engine's thread only (inside the capture's
// blocking delivery, so it holds up the capture while it runs).
#include <cstdint>
#include <vector>

#include "contracts/capture_records.h"
#include "sharing/engine/cache_controller.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/engine/keyframe_controller.h"
#include "sharing/engine/md5_digest.h"
#include "sharing/engine/monitor_frames.h"
#include "sharing/transport/ds_tp.h"

class CTilePipeline {
 public:
  static constexpr int kJpegQuality = 75;
  static constexpr int32_t kDsCacheJpeg = 10;
  static constexpr int32_t kDefaultBlockSide = 128;

  // `codec` may be null: caches are then sent without an image.
  CTilePipeline(CCacheController& caches, CKeyframeController& keyframes, CCodecMgrWin* codec)
      : caches_(caches), keyframes_(keyframes), codec_(codec) {}
  CTilePipeline(const CTilePipeline&) = delete;
  CTilePipeline& operator=(const CTilePipeline&) = delete;

  // One changed box. 1 when it was processed (also when nothing needed
  // sending); 0 (logged) when it was refused: null data, a monitor without
  // a frame or whose rectangle differs, a box the frame refuses, or a
  // table that could not give an entry (what was built before that is
  // still sent, so the keyframe table never claims a block that was not).
  // `block_width` and `block_height` come from the sharing info; 0 or less
  // stands for kDefaultBlockSide.
  int32_t OnScreenData(const CaptureScreenData* data, CMonitorFrames& frames, int32_t block_width,
                       int32_t block_height, IDSTp* transport);

  // The block position of the cell at (left, top).
  static uint32_t Position(int32_t monitor_id, int32_t left, int32_t top, int32_t block_width, int32_t block_height);

 private:
  // The key of a block: MD5 over its width, its height and its rows.
  bool Digest(const CMonitorData& frame, const VzRect& block, uint8_t out[CMd5Digest::kSize]);
  void Send(IDSTp* transport);

  CCacheController& caches_;
  CKeyframeController& keyframes_;
  CCodecMgrWin* codec_;
  CMd5Digest md5_;
  // Kept between updates so that they keep their storage.
  std::vector<CCacheEntry*> new_caches_;
  std::vector<CKeyframeEntry*> new_blocks_;
};
