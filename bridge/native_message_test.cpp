#include "bridge/native_message.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MemoryOutput : public IByteOutput {
 public:
  bool Write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
    ++writes;
    return true;
  }
  std::string bytes;
  int writes = 0;
};

TEST(NativeMessageToBrowser, NothingOverTheBrowsersLimitIsWritten) {
  MemoryOutput output;
  const std::string at_limit(kNativeMessageMaxToBrowser, 'a');
  ASSERT_EQ(WriteNativeMessage(output, at_limit), NativeWriteResult::kWritten);
  EXPECT_EQ(output.bytes.size(), at_limit.size() + 4);
  EXPECT_EQ(output.bytes.substr(0, 4), std::string("\x00\x00\x10\x00", 4));
  EXPECT_EQ(output.writes, 1);  // header and text in one write

  output.bytes.clear();
  EXPECT_EQ(WriteNativeMessage(output, at_limit + "b"), NativeWriteResult::kTooLong);
  EXPECT_TRUE(output.bytes.empty());
  ASSERT_EQ(WriteNativeMessage(output, "{}"), NativeWriteResult::kWritten);
  EXPECT_EQ(output.bytes, std::string("\x02\x00\x00\x00{}", 6));
}

// A message in parts has one header for all of them, and the limit holds for
// their sum, not for each part.
TEST(NativeMessageToBrowser, PartsShareOneHeaderAndOneLimit) {
  MemoryOutput output;
  const std::string_view parts[] = {"{\"a\":\"", "", "xyz", "\"}"};
  ASSERT_EQ(WriteNativeMessage(output, parts, 4), NativeWriteResult::kWritten);
  EXPECT_EQ(output.bytes, std::string("\x0b\x00\x00\x00{\"a\":\"xyz\"}", 15));
  EXPECT_EQ(output.writes, 1);

  output.bytes.clear();
  const std::string half(kNativeMessageMaxToBrowser / 2, 'h');
  const std::string_view over[] = {half, half, "}"};
  EXPECT_EQ(WriteNativeMessage(output, over, 3), NativeWriteResult::kTooLong);
  EXPECT_EQ(WriteNativeMessage(output, over, 2), NativeWriteResult::kWritten);
  EXPECT_EQ(output.bytes.size(), kNativeMessageMaxToBrowser + 4);
}

}  // namespace
