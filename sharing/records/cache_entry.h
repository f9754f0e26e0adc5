#pragma once
// One cache: an encoded image that the presenter sends once and attendees
// keep, named by (index, PDU id). Up to two data slots; the bytes of a slot
// come from malloc and are freed with free, by the entry.
//
// Threads: none of its own; one thread at a time (built on the transport's
// thread on reception, then handed over whole to the engine's thread).
#include <cstdint>

#include "sharing/records/shared_record.h"

class CCacheController;

struct CacheSlot {
  int32_t Type;    // DsCacheType; 0: the slot is empty
  uint32_t Size;   // bytes at Data (0 when Data is null)
  uint8_t* Data;   // malloc'ed, or null
};

class CCacheEntry : public CSharedRecord {
 public:
  static constexpr int kSlotCount = 2;

  CCacheEntry() = default;
  explicit CCacheEntry(uint32_t index) : Index(index) {}
  ~CCacheEntry() override { ClearData(); }

  // Copies `size` bytes into slot `slot` (freeing what it held). False, with
  // a log line and the slot left without data, when memory ran out; the
  // type is set either way.
  bool SetSlot(int slot, int32_t type, const void* bytes, uint32_t size);
  // Frees both slots and sets their types and sizes to 0; index, PDU id,
  // digest and stamp stay.
  void ClearData();

  // The key and age the cache table finds the entry by. Only the table
  // writes them, so that its digest index and age order stay in step.
  const uint8_t* DigestForTesting() const { return digest_; }
  uint32_t StampForTesting() const { return stamp_; }

  uint32_t Index = 0;
  uint32_t PduId = 0;  // 0: no image yet
  CacheSlot Slots[kSlotCount] = {};

 private:
  friend class CCacheController;
  uint8_t digest_[16] = {};  // MD5 of the pixels the image was made from (presenter)
  uint32_t stamp_ = 0;       // LRU stamp
};
