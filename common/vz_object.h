#pragma once
// Reference-counted base with a single owner at a time: the count starts at 1,
// there is no AddRef, and Release deletes the object when the count reaches 0.
#include <cstdint>

#include "common/critical_section_lock.h"

class CVZObject {
 public:
  CVZObject() = default;
  virtual ~CVZObject() = default;
  CVZObject(const CVZObject&) = delete;
  CVZObject& operator=(const CVZObject&) = delete;

  // Returns the count after the decrement; the object is gone when it is 0.
  virtual int32_t Release() {
    lock_.Lock();
    const int32_t remaining = --ref_count_;
    lock_.Unlock();
    if (remaining == 0) delete this;
    return remaining;
  }

 protected:
  int32_t ref_count_ = 1;
  CriticalSectionLock lock_;
};
