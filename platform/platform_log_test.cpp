#include "platform/platform_log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/platform_log_sink_testlib.h"

namespace vz {
namespace {

TEST(PlatformLogTest, LinesReachTheSinkWholeFromEveryThread) {
  CapturedPlatformLog log;
  std::string long_text(5000, 'z');
  PlatformLog("long %s end", long_text.c_str());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) PlatformLog("thread %d line %d", t, i);
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 401u);
  EXPECT_EQ(lines[0], "long " + long_text + " end");
  EXPECT_TRUE(log.Has({"thread 3 line 99"}));
}

TEST(PlatformLogTest, WithoutASinkLinesGoToStandardError) {
  SetPlatformLogSink(nullptr);
  testing::internal::CaptureStderr();
  PlatformLog("to stderr %d", 7);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr 7\n");
}

}  // namespace
}  // namespace vz
