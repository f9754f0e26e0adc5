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
  NativeMessageBuffer scratch;
  const std::string at_limit(kNativeMessageMaxToBrowser, 'a');
  ASSERT_EQ(WriteNativeMessage(output, at_limit, &scratch), NativeWriteResult::kWritten);
  EXPECT_EQ(output.bytes.size(), at_limit.size() + 4);
  EXPECT_EQ(output.bytes.substr(0, 4), std::string("\x00\x00\x10\x00", 4));
  EXPECT_EQ(output.writes, 1);  // header and text in one write

  output.bytes.clear();
  EXPECT_EQ(WriteNativeMessage(output, at_limit + "b", &scratch), NativeWriteResult::kTooLong);
  EXPECT_TRUE(output.bytes.empty());
  ASSERT_EQ(WriteNativeMessage(output, "{}", &scratch), NativeWriteResult::kWritten);
  EXPECT_EQ(output.bytes, std::string("\x02\x00\x00\x00{}", 6));
}

}  // namespace
