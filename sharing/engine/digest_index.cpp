#include "sharing/engine/digest_index.h"

#include <cstring>

CDigestIndex::CDigestIndex(size_t max_pairs) : max_pairs_(max_pairs) {
  // A power of two at least 5/3 of the pairs keeps probe runs short.
  size_t capacity = 16;
  int bits = 4;
  while (capacity * 3 < max_pairs * 5) {
    capacity *= 2;
    ++bits;
  }
  slots_.resize(capacity);
  mask_ = capacity - 1;
  shift_ = 64 - bits;
  Clear();
}

void CDigestIndex::Clear() {
  for (Slot& slot : slots_) slot.index = kEmpty;
  size_ = 0;
}

size_t CDigestIndex::Home(const uint8_t digest[kDigestSize]) const {
  // Both halves enter the hash: keys that differ only at one end spread too.
  uint64_t low = 0;
  uint64_t high = 0;
  std::memcpy(&low, digest, 8);
  std::memcpy(&high, digest + 8, 8);
  return static_cast<size_t>(((low ^ (high * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull) >> shift_);
}

int64_t CDigestIndex::Locate(const uint8_t digest[kDigestSize], uint32_t index) const {
  for (size_t at = Home(digest);; at = (at + 1) & mask_) {
    const Slot& slot = slots_[at];
    if (slot.index == kEmpty) return kNone;
    if (slot.index == index && std::memcmp(slot.digest, digest, kDigestSize) == 0) return static_cast<int64_t>(at);
  }
}

bool CDigestIndex::Insert(const uint8_t digest[kDigestSize], uint32_t index) {
  if (size_ >= max_pairs_ || index == kEmpty || Locate(digest, index) != kNone) return false;
  size_t at = Home(digest);
  while (slots_[at].index != kEmpty) at = (at + 1) & mask_;
  std::memcpy(slots_[at].digest, digest, kDigestSize);
  slots_[at].index = index;
  ++size_;
  return true;
}

bool CDigestIndex::Erase(const uint8_t digest[kDigestSize], uint32_t index) {
  const int64_t found = Locate(digest, index);
  if (found == kNone) return false;
  // Backward shift: later members of the run move into the hole unless
  // their home lies between the hole and them, so no probe run is cut.
  size_t hole = static_cast<size_t>(found);
  slots_[hole].index = kEmpty;
  for (size_t at = (hole + 1) & mask_; slots_[at].index != kEmpty; at = (at + 1) & mask_) {
    const size_t home = Home(slots_[at].digest);
    const bool stays = hole <= at ? (hole < home && home <= at) : (hole < home || home <= at);
    if (stays) continue;
    slots_[hole] = slots_[at];
    slots_[at].index = kEmpty;
    hole = at;
  }
  --size_;
  return true;
}

int64_t CDigestIndex::Lowest(const uint8_t digest[kDigestSize], uint32_t begin, uint32_t end) const {
  int64_t lowest = kNone;
  for (size_t at = Home(digest);; at = (at + 1) & mask_) {
    const Slot& slot = slots_[at];
    if (slot.index == kEmpty) return lowest;
    if (slot.index >= begin && slot.index < end && (lowest == kNone || slot.index < lowest) &&
        std::memcmp(slot.digest, digest, kDigestSize) == 0) {
      lowest = slot.index;
    }
  }
}
