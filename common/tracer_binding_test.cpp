// Runs beside a stand-in libvztrace.so: the tracer client must have bound it
// before main, through the module loader, with no call from the test.
#include <gtest/gtest.h>

#include <string>

#include "common/trace_client.h"
#include "common/trace_client_test_hooks.h"
#include "platform/module_loader.h"

namespace {

using TakeFn = void (*)(char* out, size_t capacity);

// What the stand-in recorded since the last call.
std::string Take() {
  static vz::ModuleHandle module = vz::LoadModule("vztrace").module;
  static TakeFn take = reinterpret_cast<TakeFn>(vz::GetModuleSymbol(module, "StandinTracerTake"));
  if (!take) return "(stand-in not found)";
  char buffer[8192];
  take(buffer, sizeof(buffer));
  return buffer;
}

TEST(TracerBindingTest, WriterIsBoundAtLoadTime) {
  ASSERT_TRUE(IsTracerLoaded());
  Take();
  TraceA("%s %d", "narrow", 1);
  TraceW(u"%s %d", u"wide \u00E9", 2);
  TraceCollectA("%s", "collected");
  TraceSetAppInfo("VelzarHub", "1.0.3");
  TraceSetMeetInfo("m-1", "r-2");
  EXPECT_EQ(Take(), "A||narrow 1\nW||wide \xC3\xA9 2\nC||collected\n3|VelzarHub|1.0.3\n7|m-1|r-2\n");
  EXPECT_NE(vz::TracerOrdinal(4), nullptr);
  EXPECT_NE(vz::TracerOrdinal(5), nullptr);
}

TEST(TracerBindingTest, TestsCanUnbindAndRestoreTheWriter) {
  Take();
  vz::BindTracerForTest(nullptr);
  EXPECT_FALSE(IsTracerLoaded());
  TraceA("dropped");
  TraceSetAppInfo("dropped", "dropped");
  EXPECT_EQ(vz::TracerOrdinal(4), nullptr);
  vz::RestoreTracerForTest();
  TraceA("kept");
  EXPECT_EQ(Take(), "A||kept\n");
}

}  // namespace
