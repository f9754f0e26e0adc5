#pragma once
// A memory block whose data start is aligned, reused while it is large
// enough. The raw memory comes from the derived class.
#include <atomic>
#include <cstdint>

class CAlignedMediaBuffer {
 public:
  // alignment 0 or 1: none.
  explicit CAlignedMediaBuffer(int32_t alignment) : alignment_(alignment < 2 ? 0 : alignment) {}
  virtual ~CAlignedMediaBuffer() = default;  // derived classes Free()
  CAlignedMediaBuffer(const CAlignedMediaBuffer&) = delete;
  CAlignedMediaBuffer& operator=(const CAlignedMediaBuffer&) = delete;

  // Keeps the block when it holds n bytes at an aligned start, else
  // allocates. False (the buffer then empty) when there is no memory or n
  // is negative or absurd.
  bool Reserve(int32_t n);
  // A new block for n bytes (the old one freed first).
  bool Allocate(int32_t n);
  void Free();
  // capacity - (n rounded up to the alignment + alignment): 0 exact, > 0
  // larger than needed, < 0 too small.
  int64_t Fit(int32_t n) const;

  uint8_t* data() const { return data_; }
  int32_t length() const { return length_; }

 protected:
  // Returns a block of at least `size` bytes and its size in *got, or null.
  virtual void* AllocateRaw(int32_t size, int32_t* got) = 0;
  virtual void FreeRaw(void* block) = 0;

 private:
  int64_t Needed(int32_t n) const;
  void PlaceData();

  uint8_t* data_ = nullptr;
  int32_t length_ = 0;
  int32_t capacity_ = 0;
  const int32_t alignment_;
  void* raw_ = nullptr;
};

// The variant on malloc and free.
class CPlainMediaBuffer final : public CAlignedMediaBuffer {
 public:
  explicit CPlainMediaBuffer(int32_t alignment) : CAlignedMediaBuffer(alignment) {}
  ~CPlainMediaBuffer() override { Free(); }
  // Raw blocks allocated by every plain buffer so far (for tests of the
  // steady state).
  static uint64_t RawAllocationsForTesting() { return raw_allocations_.load(std::memory_order_relaxed); }

 protected:
  void* AllocateRaw(int32_t size, int32_t* got) override;
  void FreeRaw(void* block) override;

 private:
  static std::atomic<uint64_t> raw_allocations_;
};
