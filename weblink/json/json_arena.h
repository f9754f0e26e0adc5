#pragma once
// The bump allocator behind one parsed document: every node, member array
// and text of the tree is carved out of a few large blocks, and all of it is
// freed at once with the arena. Not thread-safe; one parse fills it, then it
// is only read.
#include <cstddef>

class JsonArena {
 public:
  // `first_block` is the size of the first block taken (at the first
  // allocation); later blocks grow, up to a cap, with the arena.
  explicit JsonArena(size_t first_block = 0);
  ~JsonArena();
  JsonArena(JsonArena&& other) noexcept;
  JsonArena& operator=(JsonArena&& other) noexcept;
  JsonArena(const JsonArena&) = delete;
  JsonArena& operator=(const JsonArena&) = delete;

  // `bytes` of storage aligned for a pointer or a double. Throws
  // std::bad_alloc when the system refuses a block.
  void* Allocate(size_t bytes) {
    bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
    if (static_cast<size_t>(limit_ - next_) < bytes) return AllocateSlow(bytes);
    char* result = next_;
    next_ += bytes;
    return result;
  }

  // Bytes taken from the system so far (blocks and their headers).
  size_t bytes_reserved() const { return reserved_; }

 private:
  static constexpr size_t kAlign = 8;
  struct Block;

  void* AllocateSlow(size_t bytes);
  void Release();

  Block* blocks_ = nullptr;
  char* next_ = nullptr;
  char* limit_ = nullptr;
  size_t next_block_ = 0;
  size_t reserved_ = 0;
};
