#include "common/vz_array.h"

#include <cstring>
#include <limits>
#include <new>

CVzArrayBase::~CVzArrayBase() { RemoveAll(); }

int CVzArrayBase::Add(void* entry, bool unique) {
  if (!entry) return 0;
  // Checked before growing so that a refused duplicate never costs a growth.
  if (unique && Find(entry) >= 0) return 0;
  if (count_ == capacity_ && !Grow()) return 0;
  entries_[count_++] = entry;
  return 1;
}

int CVzArrayBase::Append(void* entry) { return Add(entry, false); }

void* CVzArrayBase::GetAt(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  return entries_[index];
}

int CVzArrayBase::SetAt(int32_t index, void* entry) {
  if (!entry || index < 0 || index >= count_) return 0;
  entries_[index] = entry;
  return 1;
}

int32_t CVzArrayBase::Find(const void* entry) const {
  if (!entry) return -1;
  for (int32_t i = 0; i < count_; ++i) {
    if (entries_[i] == entry) return i;
  }
  return -1;
}

int CVzArrayBase::Remove(const void* entry) { return RemoveAt(Find(entry)); }

int CVzArrayBase::RemoveAt(int32_t index) {
  if (index < 0 || index >= count_) return 0;
  const int32_t later = count_ - index - 1;
  if (later > 0) {
    std::memmove(entries_ + index, entries_ + index + 1, static_cast<size_t>(later) * sizeof(void*));
  }
  --count_;
  entries_[count_] = nullptr;
  return 1;
}

int CVzArrayBase::RemoveAll() {
  delete[] entries_;
  entries_ = nullptr;
  capacity_ = 0;
  count_ = 0;
  return 0;
}

void** CVzArrayBase::AllocateEntries(size_t count) { return new (std::nothrow) void*[count]; }

bool CVzArrayBase::GrownCapacity(int32_t capacity, int32_t* grown) {
  if (capacity < 0 || capacity > std::numeric_limits<int32_t>::max() - kGrowStep) return false;
  *grown = capacity + kGrowStep;
  return true;
}

bool CVzArrayBase::Grow() {
  int32_t grown = 0;
  if (!GrownCapacity(capacity_, &grown)) return false;
  void** fresh = AllocateEntries(static_cast<size_t>(grown));
  if (!fresh) return false;
  if (count_ > 0) std::memcpy(fresh, entries_, static_cast<size_t>(count_) * sizeof(void*));
  delete[] entries_;
  entries_ = fresh;
  capacity_ = grown;
  return true;
}
