#include "video/engine/core/vz_video_sample_allocator.h"

#include <new>

#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/vz_video_sample.h"

CVzVideoSampleAllocator::CVzVideoSampleAllocator(int32_t alignment, uint32_t purge_interval_ms, uint32_t max_idle_ms)
    : alignment_(alignment),
      purge_interval_ms_(purge_interval_ms),
      max_idle_ms_(max_idle_ms),
      last_purge_ms_(VZSE_::NowMs()) {}

CVzVideoSampleAllocator::~CVzVideoSampleAllocator() {
  while (free_head_ != nullptr) {
    CVzVideoSample* s = free_head_;
    free_head_ = s->next_free_;
    delete s;
  }
}

VseResult CVzVideoSampleAllocator::GetSample(int32_t size, IVideoSample** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  if (size < 0) return VSE_E_INVALIDARG;
  CVzVideoSample* sample = nullptr;
  {
    CScopedLock guard(lock_);
    CVzVideoSample** best_link = nullptr;
    int64_t best_fit = 0;
    for (CVzVideoSample** link = &free_head_; *link != nullptr; link = &(*link)->next_free_) {
      const int64_t fit = (*link)->buffer_.Fit(size);
      if (fit == 0) {
        best_link = link;
        break;
      }
      // The smallest positive fit; failing any, the smallest fit of all.
      const bool better = best_link == nullptr || (fit > 0 && (best_fit < 0 || fit < best_fit)) ||
                          (fit < 0 && best_fit < 0 && fit < best_fit);
      if (better) {
        best_link = link;
        best_fit = fit;
      }
    }
    if (best_link != nullptr) {
      sample = *best_link;
      *best_link = sample->next_free_;
      sample->next_free_ = nullptr;
      --free_count_;
    }
  }
  if (sample == nullptr) {
    sample = new (std::nothrow) CVzVideoSample(this, alignment_);
    if (sample == nullptr) {
      VZ_LOG_ERROR("no memory for a sample of %d bytes", size);
      return VSE_E_OUTOFMEMORY;
    }
  }
  AddRef();  // the sample's hold on us while it is out of the pool
  sample->count_.store(1, std::memory_order_relaxed);
  sample->pointer_ = nullptr;
  sample->actual_length_ = 0;
  if (!sample->buffer_.Reserve(size)) {
    VZ_LOG_ERROR("no memory for a sample of %d bytes", size);
    sample->Release();  // back to the pool
    return VSE_E_OUTOFMEMORY;
  }
  sample->pointer_ = sample->buffer_.data();
  sample->actual_length_ = size;
  *out = sample;
  return VSE_S_OK;
}

void CVzVideoSampleAllocator::ReturnSample(CVzVideoSample* sample) {
  {
    CScopedLock guard(lock_);
    if (max_idle_ms_ != 0 && purge_interval_ms_ != 0) {
      const uint32_t now = VZSE_::NowMs();
      sample->returned_ms_ = now;
      if (now - last_purge_ms_ >= purge_interval_ms_) PurgeIdle_l(now);
    }
    sample->next_free_ = free_head_;
    free_head_ = sample;
    ++free_count_;
  }
  Release();
}

void CVzVideoSampleAllocator::PurgeIdle_l(uint32_t now) {
  last_purge_ms_ = now;
  int32_t visits = free_count_;
  for (CVzVideoSample** link = &free_head_; *link != nullptr && visits-- > 0;) {
    CVzVideoSample* s = *link;
    if (now - s->returned_ms_ > max_idle_ms_) {
      *link = s->next_free_;
      --free_count_;
      delete s;
    } else {
      link = &s->next_free_;
    }
  }
}

int32_t CVzVideoSampleAllocator::PooledCountForTesting() {
  CScopedLock guard(lock_);
  return free_count_;
}
