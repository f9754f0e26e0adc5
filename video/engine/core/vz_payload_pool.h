#pragma once
// The blocks a listen channel copies RTP payloads into, recycled through a
// free list. A block returns to its pool on its last release; the pool must
// outlive its blocks. Any thread.
#include <atomic>
#include <cstdint>

#include "common/critical_section_lock.h"
#include "video/engine/core/aligned_media_buffer.h"

class CVzPayloadPool;

class CVzPayloadBlock {
 public:
  uint8_t* data() const { return data_; }
  int32_t length() const { return length_; }
  int32_t AddRef() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  // At 0 the block goes back to its pool (count 1 again); returns the count.
  int32_t Release();

 private:
  friend class CVzPayloadPool;
  explicit CVzPayloadBlock(CVzPayloadPool* owner) : buffer_(0), owner_(owner) {}

  uint8_t* data_ = nullptr;
  int32_t length_ = 0;
  std::atomic<int32_t> count_{1};
  CPlainMediaBuffer buffer_;
  CVzPayloadBlock* next_free_ = nullptr;
  CVzPayloadPool* const owner_;
};

class CVzPayloadPool {
 public:
  CVzPayloadPool() = default;
  ~CVzPayloadPool();  // deletes the free blocks
  CVzPayloadPool(const CVzPayloadPool&) = delete;
  CVzPayloadPool& operator=(const CVzPayloadPool&) = delete;

  // A block of `length` bytes with one reference; null (logged) when there
  // is no memory or the length is negative.
  CVzPayloadBlock* Get(int32_t length);
  int32_t FreeCountForTesting();

 private:
  friend class CVzPayloadBlock;
  void Return(CVzPayloadBlock* block);

  CriticalSectionLock lock_;
  CVzPayloadBlock* free_head_ = nullptr;
  int32_t free_count_ = 0;
};
