#include "trace/linked_tracer.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/user_folders.h"
#include "trace/trace_logger.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using testing::IsLogLine;
using testing::ReadWholeFile;
using testing::SplitCrLfLines;

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LinkedTracerLogA("", format, args);
  va_end(args);
}

void LogWide(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  LinkedTracerLogW(u"", format, args);
  va_end(args);
}

// The crash side of the linked copy (its "app.host" pending file) is shown by
// the crash handler's tests; this is its everyday side, once per process.
TEST(LinkedTracerTest, WritesTheProcessLogOnceStartedAndTheEndMarkerWhenStopped) {
  Log("before the start is dropped");
  ASSERT_TRUE(StartLinkedTracer());
  EXPECT_FALSE(StartLinkedTracer());
  LinkedTracerSetAppInfo("VelzarHub", "9.9");
  Log("%s [line# %d] : >%s", "CBridgeMain::Run", 5, "started");
  LogWide(u"%S [line# %d] : >%s", "CBridgeMain::Run", 6, u"caf\u00E9");
  Log(nullptr);
  StopLinkedTracer();
  Log("after the stop is dropped");

  const std::string path = RuntimeFolder() + "/vzmeet-app." + std::to_string(ProcessId()) + ".log";
  const std::string file = ReadWholeFile(path);
  const std::string marker = kTraceEndMarker;
  ASSERT_GT(file.size(), marker.size());
  EXPECT_EQ(file.substr(file.size() - marker.size()), marker);
  const std::vector<std::string> lines = SplitCrLfLines(file.substr(0, file.size() - marker.size()));
  ASSERT_EQ(lines.size(), 2u) << file;
  EXPECT_TRUE(IsLogLine(lines[0]));
  EXPECT_NE(lines[0].find("] CBridgeMain::Run [line# 5] : >started"), std::string::npos);
  EXPECT_NE(lines[1].find("] CBridgeMain::Run [line# 6] : >caf\xC3\xA9"), std::string::npos);
}

}  // namespace
}  // namespace vz
