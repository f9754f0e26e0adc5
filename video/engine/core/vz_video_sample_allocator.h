#pragma once
// The pool of video samples shared by capture, decoding and rendering.
// GetSample takes the pooled sample that fits best (exact, else the
// smallest larger one, else the smallest of all, grown); samples come back
// on their last release. Every purge interval, at a return, samples idle
// for longer than the maximum idle time are deleted, so a resolution drop
// gives memory back. Any thread; one lock guards the pool.
#include <cstdint>

#include "common/critical_section_lock.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_interfaces.h"

class CVzVideoSample;

class CVzVideoSampleAllocator final : public TEngineObject<IVideoSampleAllocator> {
 public:
  // The session's allocator is (64, 10,000, 10,000). A zero interval or idle
  // time turns the purge off. The count starts at 0.
  CVzVideoSampleAllocator(int32_t alignment, uint32_t purge_interval_ms, uint32_t max_idle_ms);

  VseResult GetSample(int32_t size, IVideoSample** out) override;

  // Samples waiting in the pool.
  int32_t PooledCountForTesting();

 private:
  friend class CVzVideoSample;
  ~CVzVideoSampleAllocator() override;  // deletes every pooled sample
  // A sample's last release: back to the pool, then the sample's reference
  // on us goes (which may delete us and the pool with it).
  void ReturnSample(CVzVideoSample* sample);
  void PurgeIdle_l(uint32_t now);

  const int32_t alignment_;
  const uint32_t purge_interval_ms_;
  const uint32_t max_idle_ms_;
  uint32_t last_purge_ms_;
  CriticalSectionLock lock_;
  CVzVideoSample* free_head_ = nullptr;
  int32_t free_count_ = 0;
};
