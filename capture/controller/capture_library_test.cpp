// The library's one live instance: creation, release and the pointers that
// do not match it.
#include <gtest/gtest.h>

#include "capture/controller/capture_library.h"
#include "capture/controller/capture_testlib.h"

namespace {

class CaptureLibraryTest : public ::testing::Test {
 protected:
  CaptureLibraryTest()
      : loop_(vz::SystemClock()),
        environment_(capture_test::DoubleEnvironment(std::make_shared<capture_test::SharedScreen>(64, 48))) {}

  vz::RunLoop loop_;
  CaptureEnvironment environment_;
  capture_test::RecordingSink sink_;
};

TEST_F(CaptureLibraryTest, OneLiveInstanceAtATime) {
  IVzGrabProvider* first = CaptureLibraryCreate(&sink_, environment_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(CaptureLibraryCreate(&sink_, environment_), nullptr);
  EXPECT_EQ(CaptureLibraryRelease(first), 1);
  IVzGrabProvider* second = CaptureLibraryCreate(&sink_, environment_);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(CaptureLibraryRelease(second), 1);
}

TEST_F(CaptureLibraryTest, ANullSinkMakesNoInstance) {
  EXPECT_EQ(CaptureLibraryCreate(nullptr, environment_), nullptr);
  IVzGrabProvider* provider = CaptureLibraryCreate(&sink_, environment_);
  ASSERT_NE(provider, nullptr);  // nothing was left behind
  EXPECT_EQ(CaptureLibraryRelease(provider), 1);
}

TEST_F(CaptureLibraryTest, AReleaseOfAnotherPointerLeavesTheLiveInstanceWorking) {
  IVzGrabProvider* provider = CaptureLibraryCreate(&sink_, environment_);
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(CaptureLibraryRelease(nullptr), 0);
  int not_a_provider = 0;
  EXPECT_EQ(CaptureLibraryRelease(reinterpret_cast<IVzGrabProvider*>(&not_a_provider)), 0);
  MonitorList* list = provider->GetMonitorList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count, 1);
  EXPECT_EQ(list->Monitors[0].Rect.right, 64);
  EXPECT_EQ(CaptureLibraryRelease(provider), 1);
  EXPECT_EQ(CaptureLibraryRelease(provider), 0);  // no longer live
}

TEST_F(CaptureLibraryTest, ReleasingWhileCapturingStopsTheCaptureThread) {
  IVzGrabProvider* provider = CaptureLibraryCreate(&sink_, environment_);
  ASSERT_NE(provider, nullptr);
  ASSERT_EQ(provider->StartCapture(nullptr, 2), 1);
  EXPECT_EQ(provider->StartCapture(nullptr, 2), 1);  // already running: nothing more starts
  MonitorList* list = provider->GetMonitorList();
  ASSERT_EQ(provider->ShareMonitor(&list->Monitors[0], 1), 1);
  EXPECT_EQ(provider->ShareMonitor(nullptr, 1), 0);
  EXPECT_EQ(CaptureLibraryRelease(provider), 1);
}

}  // namespace
