#pragma once
// A recursive lock, as a Win32 critical section is: the owning thread may
// lock it again without blocking and must unlock it as often.
#include <mutex>

class CriticalSectionLock {
 public:
  CriticalSectionLock() = default;
  virtual ~CriticalSectionLock() = default;
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  virtual void Lock() { mutex_.lock(); }
  virtual void Unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};
