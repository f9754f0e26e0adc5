#pragma once
// Locks on construction and unlocks on destruction only while it still holds
// the lock, so a guard may release early.
#include "common/critical_section_lock.h"

class CScopedLock {
 public:
  explicit CScopedLock(CriticalSectionLock& lock) : lock_(lock) {
    lock_.Lock();
    held_ = true;
  }
  ~CScopedLock() { Unlock(); }
  CScopedLock(const CScopedLock&) = delete;
  CScopedLock& operator=(const CScopedLock&) = delete;

  void Unlock() {
    if (held_) {
      held_ = false;
      lock_.Unlock();
    }
  }
  bool IsLockedForTesting() const { return held_; }

 private:
  CriticalSectionLock& lock_;
  bool held_ = false;
};
