#include "common/native_message_framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Hands out its bytes at most `chunk` at a time, as a pipe does.
class MemorySource : public NativeMessageSource {
 public:
  explicit MemorySource(std::string bytes, size_t chunk = 1 << 20) : bytes_(std::move(bytes)), chunk_(chunk) {}
  bool ReadExactly(void* buffer, size_t size) override {
    char* out = static_cast<char*>(buffer);
    while (size > 0) {
      const size_t n = std::min({size, chunk_, bytes_.size() - at_});
      if (n == 0) return false;
      std::memcpy(out, bytes_.data() + at_, n);
      at_ += n;
      out += n;
      size -= n;
    }
    return true;
  }

 private:
  std::string bytes_;
  size_t chunk_;
  size_t at_ = 0;
};

std::string Header(uint32_t length) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &length, 4);
  return bytes;
}

TEST(NativeMessageFraming, FramesWithANativeOrderLengthBothWays) {
  const std::string framed = FrameNativeMessage("{\"a\":1}");
  EXPECT_EQ(framed, std::string("\x07\x00\x00\x00{\"a\":1}", 11));

  MemorySource source(framed + Header(3) + "xyz", 1);  // one byte per read
  NativeMessageBuffer text;
  uint32_t announced = 0;
  ASSERT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kMessage);
  EXPECT_EQ(text.view(), "{\"a\":1}");
  EXPECT_EQ(announced, 7u);
  ASSERT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kMessage);
  EXPECT_EQ(text.view(), "xyz");
  EXPECT_EQ(text.data()[3], '\0');  // zero-terminated behind its bytes, though longer text was there
  EXPECT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kEnd);
}

// The room grows step by step while a long message arrives: every byte read
// before a step is kept through it, and the grown room serves later messages.
TEST(NativeMessageFraming, AMessageThatGrowsTheBufferKeepsAllItsTextAndTheRoomIsReused) {
  std::string big(600 * 1024, '\0');  // three reading steps, so the room grows twice
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 23);
  MemorySource source(FrameNativeMessage(big) + FrameNativeMessage("small") + FrameNativeMessage(big));
  NativeMessageBuffer text;
  uint32_t announced = 0;
  ASSERT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kMessage);
  EXPECT_TRUE(text.view() == big);
  EXPECT_EQ(text.data()[big.size()], '\0');
  const char* room = text.data();
  ASSERT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kMessage);
  EXPECT_EQ(text.view(), "small");
  ASSERT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kMessage);
  EXPECT_EQ(text.data(), room);
  EXPECT_TRUE(text.view() == big);
}

TEST(NativeMessageFramingMalformed, EveryBrokenInputEndsWithoutReadingPastIt) {
  NativeMessageBuffer text;
  uint32_t announced = 0;
  for (const std::string& bytes : {std::string(), std::string("\x05", 1), std::string("\x05\x00\x00", 3)}) {
    MemorySource source(bytes);
    EXPECT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kEnd) << bytes.size();
    EXPECT_EQ(announced, 0u) << bytes.size();
  }
  {
    MemorySource source(Header(0) + Header(2) + "ok");
    EXPECT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kEnd);
  }
  {
    MemorySource source(Header(10) + "short");
    EXPECT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kEnd);
    EXPECT_EQ(announced, 10u);
    EXPECT_EQ(text.size(), 0u);
  }
  for (const uint32_t length : {0xFFFFFFFFu, kNativeMessageMaxLength + 1}) {
    SCOPED_TRACE(testing::Message() << "announced length " << length);
    MemorySource source(Header(length) + "data");
    EXPECT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kTooLong);
    EXPECT_EQ(announced, length);
  }
  {
    MemorySource source(Header(kNativeMessageMaxLength) + "cut");
    EXPECT_EQ(ReadNativeMessage(source, &text, &announced), NativeReadResult::kEnd);
  }
  {
    // A reader's own, lower limit.
    MemorySource source(Header(11) + "0123456789a");
    EXPECT_EQ(ReadNativeMessage(source, &text, &announced, 10), NativeReadResult::kTooLong);
  }
}

}  // namespace
