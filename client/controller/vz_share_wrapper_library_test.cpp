// The sharing wrapper over the platform's loader and a real library
// (libvzwrappertest.so, built beside the test in place of vzshare).
#include <gtest/gtest.h>

#include "client/controller/vz_share_wrapper.h"
#include "platform/module_loader.h"

namespace {

// Opens the test library whenever a wrapper asks for vzshare.
class RedirectingLoader : public vz::IModuleLoader {
 public:
  vz::OpenedLibrary Open(std::string_view file_name) override {
    ++opens;
    EXPECT_EQ(file_name, "vzshare.dll");
    return vz::SystemModuleLoader().Open("vzwrappertest");
  }
  void* Ordinal(void* module, int ordinal) override { return vz::SystemModuleLoader().Ordinal(module, ordinal); }

  int opens = 0;
};

IDSProviderSink* SomeSink() {
  static char storage[16];
  return reinterpret_cast<IDSProviderSink*>(storage);
}

TEST(ShareWrapperLibraryTest, TwoSessionsLoadTheLibraryByNameAndItStaysMapped) {
  RedirectingLoader loader;
  DSSessionConfig session{};
  session.TcpPort = 443;
  int32_t created_in_first = 0;
  {
    CVzShareWrapper first(loader);
    ASSERT_EQ(first.CreateInstance(SomeSink(), 1), 1);
    EXPECT_EQ(first.StartDS(nullptr, &session, nullptr), 443);  // a call into the library's engine
    EXPECT_EQ(first.StopDS(), 1);                               // the mode the factory got
    created_in_first = first.GetCaptureHold();
    EXPECT_GE(created_in_first, 1);
  }
  {
    CVzShareWrapper second(loader);
    ASSERT_EQ(second.CreateInstance(SomeSink(), 3), 1);
    EXPECT_EQ(second.StopDS(), 3);
    // The library's own counter went on: it was never unloaded in between.
    EXPECT_EQ(second.GetCaptureHold(), created_in_first + 1);
  }
  EXPECT_EQ(loader.opens, 2);
}

// The client's side of the real engine library: it answers each callback
// and counts them.
class CountingSink : public IDSProviderSink {
 public:
  int32_t OnDSStatusNotification(int32_t) override { return ++calls; }
  int32_t OnDSErrorNotification(int32_t, int32_t) override { return ++calls; }
  int32_t OnDSCommand(DSCommandRecord*) override { return ++calls; }
  int32_t OnDSWebBinary(CVZBinaryData*) override { return ++calls; }
  int32_t OnMonitorUnshared(MonitorInfo*) override { return ++calls; }
  int32_t OnMonitorShared(MonitorInfo*, uint8_t*) override { return ++calls; }
  int32_t OnMonitorUpdated(MonitorInfo*, VzRect*) override { return ++calls; }
  int32_t OnMouseUpdated(CursorInfo*) override { return ++calls; }
  int32_t OnSharingInfo(SharingInfo*) override { return ++calls; }
  int32_t OnSharingStatus(int32_t) override { return ++calls; }
  int calls = 0;
};

TEST(ShareWrapperLibraryTest, TheEngineLibraryBindsThroughTheWrapper) {
  CountingSink sink;
  CVzShareWrapper wrapper;  // libvzshare.so beside the test
  ASSERT_EQ(wrapper.CreateInstance(&sink, 1), 1);
  ASSERT_NE(wrapper.GetSessionConfig(), nullptr);
  EXPECT_EQ(wrapper.GetSessionConfig()->IsPresenter, 0);
  EXPECT_EQ(wrapper.GetMonitorInfo(1), nullptr);
  EXPECT_EQ(wrapper.GetMonitorList(), nullptr);  // no capture yet
  DSCommandRecord command{};
  EXPECT_EQ(wrapper.SendCommand(&command), 0);  // no session: nothing sent
  EXPECT_EQ(wrapper.StartDS(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(wrapper.StopDS(), 0);
  wrapper.ReleaseInstance();
  EXPECT_EQ(sink.calls, 0);
}

TEST(ShareWrapperLibraryTest, TheEngineLibraryIgnoresANullEngine) {
  // Kept, as every engine library is: unloading it would drop what its own
  // load-time code holds.
  static vz::ModuleHandle module = vz::LoadModule("vzshare").module;
  ASSERT_NE(module, nullptr);
  auto release = reinterpret_cast<DSDeleteInstanceFn>(vz::GetModuleOrdinal(module, 2));
  ASSERT_NE(release, nullptr);
  EXPECT_EQ(release(nullptr), 1);
}

}  // namespace
