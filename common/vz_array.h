#pragma once
// A growable array of borrowed, untyped pointers that grows in steps of 300
// entries. Entries keep their insertion order; removals close the gap. The
// array never deletes or releases what it points to; its owner does that.
// Entries are never null, so a null result always means "no entry".
// Not thread-safe: the owner serialises all use.
#include <cstddef>
#include <cstdint>

class CVzArrayBase {
 public:
  static constexpr int32_t kGrowStep = 300;

  CVzArrayBase() = default;
  virtual ~CVzArrayBase();
  CVzArrayBase(const CVzArrayBase&) = delete;
  CVzArrayBase& operator=(const CVzArrayBase&) = delete;

  // Appends `entry`. Returns 1 when it was appended; 0 when it is null, when
  // `unique` is set and it is already present, or when the array could not
  // grow (the old entries are then kept unchanged).
  int Add(void* entry, bool unique = false);
  // The same as Add(entry, false).
  int Append(void* entry);

  // Access. Null for an index below 0 or not below the count.
  void* GetAt(int32_t index) const;
  void* operator[](int32_t index) const { return GetAt(index); }
  // Replaces an existing entry. Returns 0 (and changes nothing) for an index
  // out of range or a null entry.
  int SetAt(int32_t index, void* entry);

  // Index of the first entry holding `entry`, or -1 (also for null).
  int32_t Find(const void* entry) const;

  // Removal. Later entries move down one place. Return 1 when an entry was
  // taken out, 0 for a null or absent pointer or an index out of range.
  int Remove(const void* entry);
  int RemoveAt(int32_t index);
  // Frees the buffer; count and capacity become 0. Returns 0.
  int RemoveAll();

  int32_t GetCount() const { return count_; }
  int32_t GetCapacityForTesting() const { return capacity_; }

 protected:
  // Allocates the buffer of a growth. An override may return null to refuse;
  // otherwise it must return the base's result (the buffer is freed with
  // delete[]).
  virtual void** AllocateEntries(size_t count);

  // The capacity after one growth step; false when it would not fit in int32.
  static bool GrownCapacity(int32_t capacity, int32_t* grown);

 private:
  bool Grow();

  void** entries_ = nullptr;
  int32_t capacity_ = 0;
  int32_t count_ = 0;
};
