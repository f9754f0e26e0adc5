// The video wrapper over the platform's loader and the real video library
// (libvzvideo.so, built beside the test).
#include <gtest/gtest.h>

#include <cstdlib>

#include "client/controller/av_engine_wrapper.h"
#include "platform/module_loader.h"
#include "platform/run_loop.h"

namespace {

class CountingSink : public IAVProviderSink {
 public:
  int32_t OnAVStatusNotification(int32_t status, int32_t) override {
    last_status = status;
    return ++calls;
  }
  int32_t OnAVVideoBroadcasted(int32_t, const char*) override { return ++calls; }
  int32_t OnAVVideoErrorCode(int32_t code, int32_t) override {
    last_error = code;
    return ++calls;
  }
  int32_t OnAVMyStatusChanged(const char16_t*, int32_t) override { return ++calls; }
  int calls = 0;
  int last_status = -1;
  int last_error = 0;
};

TEST(AVWrapperLibraryTest, TheVideoLibraryBindsThroughTheWrapper) {
  // The library's setting for the synthetic camera, read at its first
  // instance in the process (this one).
  setenv("VZ_VIDEO_TEST_CAMERA", "1", 1);
  CountingSink sink;
  CAVEngineWrapper wrapper;  // libvzvideo.so beside the test
  ASSERT_EQ(wrapper.CreateInstance(&sink), 1);
  unsetenv("VZ_VIDEO_TEST_CAMERA");
  EXPECT_EQ(wrapper.GetCurrentCaptureDevice(), 0);  // the test camera's type
  EXPECT_EQ(wrapper.GetVideoStatus(), 0);
  EXPECT_EQ(wrapper.IsMyVideoStarted(), 0);
  EXPECT_EQ(wrapper.JoinVideo(nullptr, nullptr, nullptr, 0), 0);  // no request: refused
  EXPECT_EQ(wrapper.AppRosterJoined(nullptr, 1), 0);
  RosterRecord me{};
  me.RosterId[0] = u'a';
  EXPECT_EQ(wrapper.AppRosterJoined(&me, 1), 1);
  EXPECT_EQ(wrapper.PauseMyVideo(), 1);
  EXPECT_EQ(wrapper.ResumeMyVideo(), 1);
  // A request without a server: the transport refuses to start, and the
  // library says so at once (connecting, error 1, idle) instead of staying
  // "connecting" for good.
  AVSessionConfig join{};
  join.RosterId[0] = u'a';
  EXPECT_EQ(wrapper.JoinVideo(nullptr, &join, nullptr, 0), 0);
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
  EXPECT_EQ(sink.calls, 3);
  EXPECT_EQ(sink.last_error, 1);
  EXPECT_EQ(sink.last_status, 0);
  wrapper.ReleaseInstance();
  EXPECT_EQ(wrapper.GetVideoStatus(), 0);
}

TEST(AVWrapperLibraryTest, TheVideoLibraryIgnoresANullEngine) {
  // Kept loaded, as every engine library is.
  static vz::ModuleHandle module = vz::LoadModule("vzvideo").module;
  ASSERT_NE(module, nullptr);
  auto release = reinterpret_cast<VideoDeleteInstanceFn>(vz::GetModuleOrdinal(module, 2));
  ASSERT_NE(release, nullptr);
  EXPECT_EQ(release(nullptr), 1);
}

}  // namespace
