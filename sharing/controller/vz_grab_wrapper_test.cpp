// The capture binding against the stand-in capture library loaded by name,
// a library without the exports, and none at all.
#include "sharing/controller/vz_grab_wrapper.h"

#include <gtest/gtest.h>

#include "sharing/controller/engine_testlib.h"

namespace {

using engine_test::FakeGrab;
using engine_test::LogCapture;
using Calls = std::vector<std::string>;

// The capture's sink is only handed on here; nothing calls it.
class NoSink : public IVzGrabProviderSink {
 public:
  int32_t OnDSKeSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnDSKeMouseInfo(CaptureMouseInfo*) override { return 1; }
  int32_t OnDSKeScreenData(CaptureScreenData*) override { return 1; }
  int32_t OnDSKeSharingStatus(int32_t) override { return 1; }
};

class GrabWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(FakeGrab(), nullptr) << "libvzgrabfake.so beside the test must export FakeGrabControl";
    FakeGrab()->Reset();
  }
  NoSink sink_;
};

TEST_F(GrabWrapperTest, MakesOneProviderAndReleasesItAfterStoppingIt) {
  CVzGrabWrapper wrapper(kFakeGrabLibrary);
  ASSERT_TRUE(wrapper.IsLoadedForTesting());
  ASSERT_EQ(wrapper.CreateProviderInstance(&sink_), 1);
  EXPECT_EQ(FakeGrab()->Sink(), &sink_);
  EXPECT_EQ(wrapper.provider(), FakeGrab()->Live());
  // A second call keeps the provider it has.
  EXPECT_EQ(wrapper.CreateProviderInstance(&sink_), 1);
  EXPECT_EQ(wrapper.ReleaseProviderInstance(), 1);
  EXPECT_EQ(wrapper.provider(), nullptr);
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  EXPECT_EQ(FakeGrab()->Calls(), (Calls{"DSCreateCapture", "StopCapture()", "DSReleaseCapture"}));
}

TEST_F(GrabWrapperTest, AWrapperWithoutProviderCallsNothingInTheLibrary) {
  {
    CVzGrabWrapper wrapper(kFakeGrabLibrary);
    EXPECT_EQ(wrapper.ReleaseProviderInstance(), 0);
  }
  EXPECT_TRUE(FakeGrab()->Calls().empty());
}

TEST_F(GrabWrapperTest, DestroyingTheWrapperReleasesTheProvider) {
  {
    CVzGrabWrapper wrapper(kFakeGrabLibrary);
    ASSERT_EQ(wrapper.CreateProviderInstance(&sink_), 1);
  }
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  EXPECT_EQ(FakeGrab()->Calls(), (Calls{"DSCreateCapture", "StopCapture()", "DSReleaseCapture"}));
}

TEST_F(GrabWrapperTest, TheLibraryRefusesASecondLiveCaptureAndANullSink) {
  CVzGrabWrapper first(kFakeGrabLibrary);
  CVzGrabWrapper second(kFakeGrabLibrary);
  EXPECT_EQ(first.CreateProviderInstance(nullptr), 0);
  ASSERT_EQ(first.CreateProviderInstance(&sink_), 1);
  EXPECT_EQ(second.CreateProviderInstance(&sink_), 0);
  EXPECT_EQ(second.provider(), nullptr);
  // The refused one releases nothing; the live capture is untouched.
  EXPECT_EQ(second.ReleaseProviderInstance(), 0);
  EXPECT_EQ(FakeGrab()->Live(), first.provider());
}

TEST_F(GrabWrapperTest, AMissingLibraryOrExportGivesNoProvider) {
  LogCapture log;
  CVzGrabWrapper missing("vzgrabnotthere");
  EXPECT_FALSE(missing.IsLoadedForTesting());
  EXPECT_EQ(log.Count("Can't find DS caputre dll!"), 1u);
  EXPECT_EQ(missing.CreateProviderInstance(&sink_), 0);
  EXPECT_EQ(missing.ReleaseProviderInstance(), 0);

  CVzGrabWrapper empty(kEmptyGrabLibrary);
  EXPECT_TRUE(empty.IsLoadedForTesting());
  EXPECT_EQ(empty.CreateProviderInstance(&sink_), 0);
  EXPECT_EQ(log.Count("no export DSCreateCapture"), 1u);
  EXPECT_TRUE(FakeGrab()->Calls().empty());
}

}  // namespace
