#pragma once
// The video engine's wrapper: loads "vzvideo.dll", makes the engine through
// the library's first export and offers its operations. Without a library or
// an engine every operation returns its default (0, or -1 for
// GetCurrentCaptureDevice) and does nothing else.
//
// Lives on the UI thread: created, called and deleted there.
#include <cstdint>

#include "client/controller/engine_library_binding.h"
#include "client/controller/wrapper_module_loader.h"
#include "contracts/av_provider.h"

class CAVEngineWrapper : public IAVProvider {
 public:
  // Loads the library; one error line when it is missing.
  explicit CAVEngineWrapper(vz::IModuleLoader& loader = vz::SystemModuleLoader());
  CAVEngineWrapper(const CAVEngineWrapper&) = delete;
  CAVEngineWrapper& operator=(const CAVEngineWrapper&) = delete;

  // 1 when an engine was made for the sink, else 0. An engine held from
  // before is released first.
  int32_t CreateInstance(IAVProviderSink* sink);
  void ReleaseInstance();

  int32_t JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                    int32_t container_window) override;
  int32_t LeaveVideo() override;
  int32_t ConfigVideo() override;
  int32_t PreviewCapture(int32_t value) override;
  int32_t Reserved4(int32_t value) override;
  int32_t Reserved5(int32_t value) override;
  int32_t SetVideoLayoutMode(int32_t mode, int32_t* row_column) override;
  int32_t StartMyVideo(int32_t value) override;
  int32_t StopMyVideo() override;
  int32_t PauseMyVideo() override;
  int32_t ResumeMyVideo() override;
  int32_t IsMyVideoStarted() override;
  int32_t GetCurrentCaptureDevice() override;
  int32_t SelectCaptureDeviceById(int32_t device_id) override;
  void ActivateVideoPanel() override;
  int32_t GetVideoStatus() override;
  int32_t AppRosterJoined(RosterRecord* roster, int32_t last) override;
  int32_t AppRosterUpdated(RosterRecord* roster) override;
  int32_t AppRosterLeft(RosterRecord* roster) override;

  // Releases a held engine; the library stays loaded.
  virtual ~CAVEngineWrapper();

 private:
  IAVProvider* engine() const { return library_.engine(); }

  EngineLibraryBinding<IAVProvider, VideoCreateInstanceFn, VideoDeleteInstanceFn> library_;
};
