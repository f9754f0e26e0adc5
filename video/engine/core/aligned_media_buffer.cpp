#include "video/engine/core/aligned_media_buffer.h"

#include <cstdlib>

namespace {
// Nothing the engine holds comes near this; a larger request is a fault.
constexpr int64_t kLargestBlock = int64_t{1} << 30;
}  // namespace

int64_t CAlignedMediaBuffer::Needed(int32_t n) const {
  if (alignment_ == 0) return n;
  const int64_t rounded = (static_cast<int64_t>(n) + alignment_ - 1) / alignment_ * alignment_;
  return rounded + alignment_;
}

int64_t CAlignedMediaBuffer::Fit(int32_t n) const { return capacity_ - Needed(n); }

void CAlignedMediaBuffer::PlaceData() {
  const auto raw = reinterpret_cast<uintptr_t>(raw_);
  const uintptr_t a = alignment_ == 0 ? 1 : static_cast<uintptr_t>(alignment_);
  data_ = reinterpret_cast<uint8_t*>((raw + a - 1) / a * a);
}

bool CAlignedMediaBuffer::Allocate(int32_t n) {
  Free();
  if (n < 0) return false;
  const int64_t needed = Needed(n);
  if (needed > kLargestBlock) return false;
  int32_t got = 0;
  void* raw = AllocateRaw(static_cast<int32_t>(needed == 0 ? 1 : needed), &got);
  if (raw == nullptr) return false;
  raw_ = raw;
  capacity_ = got;
  length_ = n;
  PlaceData();
  return true;
}

bool CAlignedMediaBuffer::Reserve(int32_t n) {
  if (n < 0) return false;
  if (raw_ != nullptr && capacity_ >= Needed(n)) {
    length_ = n;
    PlaceData();
    return true;
  }
  return Allocate(n);
}

void CAlignedMediaBuffer::Free() {
  if (raw_ != nullptr) FreeRaw(raw_);
  raw_ = nullptr;
  data_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}

std::atomic<uint64_t> CPlainMediaBuffer::raw_allocations_{0};

void* CPlainMediaBuffer::AllocateRaw(int32_t size, int32_t* got) {
  void* p = std::malloc(static_cast<size_t>(size));
  *got = p ? size : 0;
  if (p) raw_allocations_.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void CPlainMediaBuffer::FreeRaw(void* block) { std::free(block); }
