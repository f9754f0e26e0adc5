// Fuzz target: the native-message reader on any byte stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "bridge/native_message.h"

namespace {

class FuzzInput : public IByteInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  long Read(void* buffer, size_t size) override {
    // Odd read sizes, as a pipe may give them.
    const size_t n = std::min({size, size_ - at_, static_cast<size_t>(1 + at_ % 7)});
    std::memcpy(buffer, data_ + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  NativeMessageBuffer text;
  uint32_t announced = 0;
  while (ReadNativeMessage(input, &text, &announced) == NativeReadResult::kMessage) {
    if (text.size() != announced || text.data()[text.size()] != '\0') __builtin_trap();
  }
  return 0;
}
