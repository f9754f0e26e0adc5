#pragma once
// Finds the table indices that hold a 16-byte digest without walking the
// table: an open-addressed hash table (linear probing, deletion by
// backward shift) from digest to index. One digest may be held by several
// indices; each (digest, index) pair is held once.
//
// The owner keeps it in step with every digest it writes: Insert when an
// index takes a digest, Erase when it gives it up. Nothing here allocates
// after construction. Threads: its owner's only.
#include <cstddef>
#include <cstdint>
#include <vector>

class CDigestIndex {
 public:
  static constexpr size_t kDigestSize = 16;
  static constexpr int64_t kNone = -1;

  // Room for at least `max_pairs` pairs, kept at most about 60% full.
  explicit CDigestIndex(size_t max_pairs);
  CDigestIndex(const CDigestIndex&) = delete;
  CDigestIndex& operator=(const CDigestIndex&) = delete;

  // Adds (digest, index). False (nothing added) when the pair is already
  // held or the table holds `max_pairs` pairs.
  bool Insert(const uint8_t digest[kDigestSize], uint32_t index);
  // Removes (digest, index). False when the pair was not held.
  bool Erase(const uint8_t digest[kDigestSize], uint32_t index);
  // The lowest index in [begin, end) that holds the digest, else kNone.
  int64_t Lowest(const uint8_t digest[kDigestSize], uint32_t begin, uint32_t end) const;

  void Clear();
  size_t size_for_testing() const { return size_; }

 private:
  struct Slot {
    uint8_t digest[kDigestSize];
    uint32_t index;  // kEmpty: the slot is free
  };
  static constexpr uint32_t kEmpty = UINT32_MAX;

  size_t Home(const uint8_t digest[kDigestSize]) const;
  // The slot holding (digest, index), else kNone.
  int64_t Locate(const uint8_t digest[kDigestSize], uint32_t index) const;

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  int shift_ = 0;
  size_t size_ = 0;
  size_t max_pairs_ = 0;
};
