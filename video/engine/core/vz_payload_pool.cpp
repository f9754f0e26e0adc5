#include "video/engine/core/vz_payload_pool.h"

#include <new>

#include "common/scoped_lock.h"
#include "common/trace_client.h"

int32_t CVzPayloadBlock::Release() {
  const int32_t n = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (n != 0) return n;
  length_ = 0;
  count_.store(1, std::memory_order_relaxed);
  owner_->Return(this);
  return 0;
}

CVzPayloadPool::~CVzPayloadPool() {
  while (free_head_ != nullptr) {
    CVzPayloadBlock* b = free_head_;
    free_head_ = b->next_free_;
    delete b;
  }
}

CVzPayloadBlock* CVzPayloadPool::Get(int32_t length) {
  CVzPayloadBlock* block = nullptr;
  {
    CScopedLock guard(lock_);
    if (free_head_ != nullptr) {
      block = free_head_;
      free_head_ = block->next_free_;
      block->next_free_ = nullptr;
      --free_count_;
    }
  }
  if (block == nullptr) block = new (std::nothrow) CVzPayloadBlock(this);
  if (block == nullptr) {
    VZ_LOG_ERROR("no memory for a payload block");
    return nullptr;
  }
  block->count_.store(1, std::memory_order_relaxed);
  if (!block->buffer_.Reserve(length)) {
    VZ_LOG_ERROR("no memory for a payload of %d bytes", length);
    block->Release();
    return nullptr;
  }
  block->data_ = block->buffer_.data();
  block->length_ = length;
  return block;
}

void CVzPayloadPool::Return(CVzPayloadBlock* block) {
  CScopedLock guard(lock_);
  block->next_free_ = free_head_;
  free_head_ = block;
  ++free_count_;
}

int32_t CVzPayloadPool::FreeCountForTesting() {
  CScopedLock guard(lock_);
  return free_count_;
}
