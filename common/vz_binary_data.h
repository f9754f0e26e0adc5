#pragma once
// A CVZObject that owns a copied byte buffer; the receiver releases it.
#include <cstdint>
#include <cstring>
#include <new>

#include "common/vz_object.h"

class CVZBinaryData : public CVZObject {
 public:
  // Allocates `length` zero-filled bytes; data() is null when that failed.
  explicit CVZBinaryData(uint32_t length)
      : data_(new (std::nothrow) uint8_t[length == 0 ? 1 : length]()), length_(data_ ? length : 0) {}
  CVZBinaryData(const void* bytes, uint32_t length) : CVZBinaryData(length) {
    if (data_ && length) std::memcpy(data_, bytes, length);
  }
  ~CVZBinaryData() override { delete[] data_; }

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  uint32_t length() const { return length_; }

 private:
  uint8_t* data_;
  uint32_t length_;
};
