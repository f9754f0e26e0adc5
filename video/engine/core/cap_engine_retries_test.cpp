#include "video/engine/core/cap_engine_retries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CapEngineRetriesTest, TheTriesGoTypeZeroThenNoFormatAndShareTheStrictFlag) {
  int32_t strict = 0;
  std::vector<std::string> tries;
  const VideoFormat wanted{2, 640, 480, 30.0f, 0};  // I420
  const VseResult made = MakeEngineWithRetries(&wanted, [&](const VideoFormat* format) -> VseResult {
    tries.push_back(format == nullptr ? "none" : std::to_string(format->video_type) + "/" + std::to_string(strict));
    if (format == nullptr) return VSE_S_OK;
    if (format->video_type != 0) {
      strict = 1;  // the format was set, the connection then refused
      return VSE_E_INVALIDARG;
    }
    return VSE_E_FAIL;
  });
  EXPECT_EQ(made, VSE_S_OK);
  // The second try sees the flag the first one left.
  EXPECT_EQ(tries, (std::vector<std::string>{"2/0", "0/1", "none"}));

  tries.clear();
  EXPECT_EQ(MakeEngineWithRetries(&wanted, [&](const VideoFormat* format) -> VseResult {
              tries.push_back(format == nullptr ? "none" : "format");
              return VSE_E_FAIL;
            }),
            VSE_E_FAIL);
  EXPECT_EQ(tries, (std::vector<std::string>{"format", "none"}));
  tries.clear();
  EXPECT_EQ(MakeEngineWithRetries(nullptr, [&](const VideoFormat*) -> VseResult {
              tries.push_back("none");
              return VSE_E_INVALIDARG;
            }),
            VSE_E_FAIL);
  EXPECT_EQ(tries.size(), 1u);
}

}  // namespace
