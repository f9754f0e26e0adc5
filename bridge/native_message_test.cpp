#include "bridge/native_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Hands out its bytes at most `chunk` at a time, as a pipe does.
class MemoryInput : public IByteInput {
 public:
  explicit MemoryInput(std::string bytes, size_t chunk = 1 << 20) : bytes_(std::move(bytes)), chunk_(chunk) {}
  long Read(void* buffer, size_t size) override {
    const size_t n = std::min({size, chunk_, bytes_.size() - at_});
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string bytes_;
  size_t chunk_;
  size_t at_ = 0;
};

class MemoryOutput : public IByteOutput {
 public:
  bool Write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    return true;
  }
  std::string bytes;
};

std::string Header(uint32_t length) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &length, 4);
  return bytes;
}

TEST(NativeMessage, FramesWithANativeOrderLengthBothWays) {
  MemoryOutput output;
  ASSERT_TRUE(WriteNativeMessage(output, "{\"a\":1}"));
  EXPECT_EQ(output.bytes, std::string("\x07\x00\x00\x00{\"a\":1}", 11));

  MemoryInput input(output.bytes + Header(3) + "xyz", 1);  // one byte per read
  std::string text;
  uint32_t announced = 0;
  ASSERT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kMessage);
  EXPECT_EQ(text, "{\"a\":1}");
  ASSERT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kMessage);
  EXPECT_EQ(text, "xyz");
  EXPECT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kEnd);
}

TEST(NativeMessageMalformed, EveryBrokenInputEndsWithoutReadingPastIt) {
  std::string text;
  uint32_t announced = 0;
  for (const std::string& bytes : {std::string(), std::string("\x05", 1), std::string("\x05\x00\x00", 3)}) {
    MemoryInput input(bytes);
    EXPECT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kEnd) << bytes.size();
    EXPECT_EQ(announced, 0u);
  }
  {
    MemoryInput input(Header(0) + Header(2) + "ok");
    EXPECT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kEnd);
  }
  {
    MemoryInput input(Header(10) + "short");
    EXPECT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kEnd);
    EXPECT_EQ(announced, 10u);
    EXPECT_TRUE(text.empty());
  }
  for (const uint32_t length : {0xFFFFFFFFu, kNativeMessageMaxLength + 1}) {
    MemoryInput input(Header(length) + "data");
    EXPECT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kTooLong);
    EXPECT_EQ(announced, length);
  }
  {
    MemoryInput input(Header(kNativeMessageMaxLength) + "cut");
    EXPECT_EQ(ReadNativeMessage(input, &text, &announced), NativeReadResult::kEnd);
  }
}

}  // namespace
