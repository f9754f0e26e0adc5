#pragma once
// The sharing engine's wrapper: loads "vzshare.dll", makes the engine through
// the library's first export and offers its operations. Without a library or
// an engine every operation returns 0 (null for the pointer results) and does
// nothing else. SetBlankScreenMode, IsBlankScreenActive, SetSendBacklog and
// the cursor-record entry never reach the engine.
//
// Lives on the UI thread: created, called and deleted there.
#include <cstdint>

#include "client/controller/engine_library_binding.h"
#include "client/controller/wrapper_module_loader.h"
#include "contracts/ds_provider.h"

class CVzShareWrapper : public IDSProvider {
 public:
  // Loads the library; one error line when it is missing.
  explicit CVzShareWrapper(vz::IModuleLoader& loader = vz::SystemModuleLoader());
  // Releases a held engine; the library stays loaded.
  ~CVzShareWrapper() override;
  CVzShareWrapper(const CVzShareWrapper&) = delete;
  CVzShareWrapper& operator=(const CVzShareWrapper&) = delete;

  // 1 when an engine was made for the sink, else 0. The mode reaches the
  // factory unchanged (the client passes 1). An engine held from before is
  // released first.
  int32_t CreateInstance(IDSProviderSink* sink, int32_t mode);
  void ReleaseInstance();

  MonitorList* GetMonitorList() override;
  ApplicationList* GetWindowList() override;
  int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) override;
  int32_t ShareWindow(ApplicationInfo* window, int32_t share) override;
  int32_t StartCapture(MeetConfig* meet_config, int32_t mode) override;
  int32_t StopCapture() override;
  void CaptureNow() override;
  void Refresh() override;
  void SetCaptureHold(int32_t value) override;
  int32_t GetCaptureHold() override;
  int32_t ShowPointerWindow(int32_t show) override;
  int32_t IsPointerWindowShown() override;
  int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) override;
  int32_t SetArrowIndicatorText(const char16_t* label, uint32_t color) override;
  int32_t SetExcludedWindow1(VzWindowHandle window) override;
  int32_t SetExcludedWindow2(VzWindowHandle window) override;
  int32_t SetExcludedWindow3(VzWindowHandle window) override;
  void SetCursorCapture(int32_t enable) override;
  int32_t SetBlankScreenMode(int32_t on) override;  // not forwarded: 0
  int32_t IsBlankScreenActive() override;           // not forwarded: 0
  void SetSendBacklog(uint32_t value) override;     // not forwarded
  int32_t StartDS(MeetConfig* meet_config, DSSessionConfig* session, NetworkProxyEntry* proxy) override;
  int32_t StopDS() override;
  MonitorInfo* GetMonitorInfo(int32_t monitor_id) override;
  DSSessionConfig* GetSessionConfig() override;
  int32_t SendCommand(DSCommandRecord* command) override;
  int32_t SendWebBinary(CVZBinaryData* data) override;
  int32_t OnCaptureMouseInfo(CaptureMouseInfo* mouse) override;  // not forwarded: 0

 private:
  IDSProvider* engine() const { return library_.engine(); }

  EngineLibraryBinding<IDSProvider, DSCreateInstanceFn, DSDeleteInstanceFn> library_;
};
