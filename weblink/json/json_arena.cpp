#include "weblink/json/json_arena.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

namespace {
constexpr size_t kSmallestBlock = 1024;
// Growth stops doubling here, so the unused tail of the last block stays a
// small part of a large document.
constexpr size_t kLargestGrowth = size_t{8} << 20;
}  // namespace

struct JsonArena::Block {
  Block* next;
  size_t size;  // including this header
};

JsonArena::JsonArena(size_t first_block) : next_block_(std::max(first_block, kSmallestBlock)) {}

JsonArena::~JsonArena() { Release(); }

JsonArena::JsonArena(JsonArena&& other) noexcept
    : blocks_(std::exchange(other.blocks_, nullptr)),
      next_(std::exchange(other.next_, nullptr)),
      limit_(std::exchange(other.limit_, nullptr)),
      next_block_(other.next_block_),
      reserved_(std::exchange(other.reserved_, 0)) {}

JsonArena& JsonArena::operator=(JsonArena&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::exchange(other.blocks_, nullptr);
    next_ = std::exchange(other.next_, nullptr);
    limit_ = std::exchange(other.limit_, nullptr);
    next_block_ = other.next_block_;
    reserved_ = std::exchange(other.reserved_, 0);
  }
  return *this;
}

void JsonArena::Release() {
  while (blocks_) {
    Block* next = blocks_->next;
    std::free(blocks_);
    blocks_ = next;
  }
  next_ = limit_ = nullptr;
  reserved_ = 0;
}

void* JsonArena::AllocateSlow(size_t bytes) {
  constexpr size_t kHeader = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
  // A large request gets a block of its own, kept behind the current one, so
  // that the rest of the current block still serves the small ones.
  const bool own_block = bytes + kHeader > next_block_ / 2 && blocks_ != nullptr;
  const size_t size = own_block ? bytes + kHeader : std::max(next_block_, bytes + kHeader);
  auto* block = static_cast<Block*>(std::malloc(size));
  if (!block) throw std::bad_alloc();
  block->size = size;
  reserved_ += size;
  char* start = reinterpret_cast<char*>(block) + kHeader;
  if (own_block) {
    block->next = blocks_->next;
    blocks_->next = block;
    return start;
  }
  block->next = blocks_;
  blocks_ = block;
  next_block_ = std::min(std::max(next_block_ * 2, kSmallestBlock), std::max(kLargestGrowth, next_block_));
  next_ = start + bytes;
  limit_ = reinterpret_cast<char*>(block) + size;
  return start;
}
