#pragma once
// What each engine instance is given as its sink: a relay to the controller.
// Every callback through a relay runs inside an engine callback scope (so an
// engine let go of meanwhile is released only after the call), and once the
// controller has let go of the engine the relay is detached: whatever that
// engine still delivers before its release (a status it had queued) is
// logged and dropped instead of reaching a newer session of the same road.
//
// Lives on the UI thread with its controller; a callback from another
// thread is logged as an error line (UiThreadCheck). The relay must outlive
// the engine instance it was given to.
#include <cstdint>

#include "client/controller/engine_release_queue.h"
#include "client/controller/ui_thread_check.h"
#include "contracts/ac_provider.h"
#include "contracts/av_provider.h"
#include "contracts/ds_provider.h"

class DSProviderSinkRelay final : public IDSProviderSink {
 public:
  // Both stay the caller's and must outlive the relay while it is attached.
  DSProviderSinkRelay(IDSProviderSink& target, EngineReleaseQueue& queue, const UiThreadCheck& thread)
      : target_(&target), queue_(queue), thread_(thread) {}
  void Detach() { target_ = nullptr; }

  int32_t OnDSStatusNotification(int32_t status) override;
  int32_t OnDSErrorNotification(int32_t code, int32_t code_type) override;
  int32_t OnDSCommand(DSCommandRecord* command) override;
  int32_t OnDSWebBinary(CVZBinaryData* data) override;
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override;
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) override;
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override;
  int32_t OnMouseUpdated(CursorInfo* cursor) override;
  int32_t OnSharingInfo(SharingInfo* info) override;
  int32_t OnSharingStatus(int32_t paused) override;

 private:
  IDSProviderSink* target_;
  EngineReleaseQueue& queue_;
  const UiThreadCheck& thread_;
};

class ACProviderSinkRelay final : public IACProviderSink {
 public:
  ACProviderSinkRelay(IACProviderSink& target, EngineReleaseQueue& queue, const UiThreadCheck& thread)
      : target_(&target), queue_(queue), thread_(thread) {}
  void Detach() { target_ = nullptr; }

  int32_t OnACStatusNotification(int32_t status, int32_t muted) override;
  int32_t OnACActivedSpeaker(ACSpeakerEntry* speakers, int32_t count) override;
  int32_t OnACRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count) override;
  int32_t OnACDeviceVolumeLevel(int32_t speaker_level, int32_t microphone_level) override;
  int32_t OnACMicStatus(int32_t status) override;
  int32_t OnACAudioErrorCode(int32_t code, int32_t code_type) override;

 private:
  IACProviderSink* target_;
  EngineReleaseQueue& queue_;
  const UiThreadCheck& thread_;
};

class AVProviderSinkRelay final : public IAVProviderSink {
 public:
  AVProviderSinkRelay(IAVProviderSink& target, EngineReleaseQueue& queue, const UiThreadCheck& thread)
      : target_(&target), queue_(queue), thread_(thread) {}
  void Detach() { target_ = nullptr; }

  int32_t OnAVStatusNotification(int32_t status, int32_t broadcasted) override;
  int32_t OnAVVideoBroadcasted(int32_t broadcasted, const char* roster_id) override;
  int32_t OnAVVideoErrorCode(int32_t code, int32_t code_type) override;
  int32_t OnAVMyStatusChanged(const char16_t* roster_id, int32_t status) override;

 private:
  IAVProviderSink* target_;
  EngineReleaseQueue& queue_;
  const UiThreadCheck& thread_;
};
