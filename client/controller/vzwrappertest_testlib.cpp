// libvzwrappertest.so: a tiny sharing engine library that the wrapper test
// loads through the real loader, in place of vzshare. Its counter lives in
// the library, so it keeps counting only while the library stays mapped.
#include "contracts/ds_provider.h"

namespace {

int g_engines_created = 0;

class TestShareEngine : public IDSProvider {
 public:
  explicit TestShareEngine(int32_t mode) : mode_(mode) {}

  MonitorList* GetMonitorList() override { return nullptr; }
  ApplicationList* GetWindowList() override { return nullptr; }
  int32_t ShareMonitor(MonitorInfo*, int32_t) override { return 0; }
  int32_t ShareWindow(ApplicationInfo*, int32_t) override { return 0; }
  int32_t StartCapture(MeetConfig*, int32_t) override { return 0; }
  int32_t StopCapture() override { return 0; }
  void CaptureNow() override {}
  void Refresh() override {}
  void SetCaptureHold(int32_t) override {}
  // How many engines this library made since it was loaded.
  int32_t GetCaptureHold() override { return g_engines_created; }
  int32_t ShowPointerWindow(int32_t) override { return 0; }
  int32_t IsPointerWindowShown() override { return 0; }
  int32_t ShowArrowIndicator(const char16_t*, uint32_t, VzPoint*) override { return 0; }
  int32_t SetArrowIndicatorText(const char16_t*, uint32_t) override { return 0; }
  int32_t SetExcludedWindow1(VzWindowHandle) override { return 0; }
  int32_t SetExcludedWindow2(VzWindowHandle) override { return 0; }
  int32_t SetExcludedWindow3(VzWindowHandle) override { return 0; }
  void SetCursorCapture(int32_t) override {}
  int32_t SetBlankScreenMode(int32_t) override { return 0; }
  int32_t IsBlankScreenActive() override { return 0; }
  void SetSendBacklog(uint32_t) override {}
  int32_t StartDS(MeetConfig*, DSSessionConfig* session, NetworkProxyEntry*) override {
    return session ? session->TcpPort : -1;
  }
  // The mode the factory was given.
  int32_t StopDS() override { return mode_; }
  MonitorInfo* GetMonitorInfo(int32_t) override { return nullptr; }
  DSSessionConfig* GetSessionConfig() override { return nullptr; }
  int32_t SendCommand(DSCommandRecord*) override { return 0; }
  int32_t SendWebBinary(CVZBinaryData*) override { return 0; }
  int32_t OnCaptureMouseInfo(CaptureMouseInfo*) override { return 0; }

 private:
  int32_t mode_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) IDSProvider* DSCreateInstance(IDSProviderSink* sink, int32_t mode) {
  if (!sink) return nullptr;
  ++g_engines_created;
  return new TestShareEngine(mode);
}

extern "C" __attribute__((visibility("default"))) int32_t DSDeleteInstance(IDSProvider* engine) {
  delete engine;
  return 1;
}
