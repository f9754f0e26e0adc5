#include "client/controller/engine_sink_relays.h"

#include "common/trace_client.h"

namespace {

int32_t Dropped(const char* callback) {
  VZ_LOG("%s of an engine already let go of: dropped", callback);
  return 0;
}

}  // namespace

// Each callback: checked for the UI thread, inside a callback scope, to the
// controller while attached.
#define VZ_RELAY_TO_TARGET(call)                         \
  VZ_CHECK_UI_THREAD(thread_);                           \
  EngineReleaseQueue::CallbackScope in_callback(queue_); \
  if (target_ == nullptr) return Dropped(__func__);      \
  return target_->call

int32_t DSProviderSinkRelay::OnDSStatusNotification(int32_t status) {
  VZ_RELAY_TO_TARGET(OnDSStatusNotification(status));
}
int32_t DSProviderSinkRelay::OnDSErrorNotification(int32_t code, int32_t code_type) {
  VZ_RELAY_TO_TARGET(OnDSErrorNotification(code, code_type));
}
int32_t DSProviderSinkRelay::OnDSCommand(DSCommandRecord* command) { VZ_RELAY_TO_TARGET(OnDSCommand(command)); }
int32_t DSProviderSinkRelay::OnDSWebBinary(CVZBinaryData* data) { VZ_RELAY_TO_TARGET(OnDSWebBinary(data)); }
int32_t DSProviderSinkRelay::OnMonitorUnshared(MonitorInfo* monitor) { VZ_RELAY_TO_TARGET(OnMonitorUnshared(monitor)); }
int32_t DSProviderSinkRelay::OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) {
  VZ_RELAY_TO_TARGET(OnMonitorShared(monitor, frame_pixels));
}
int32_t DSProviderSinkRelay::OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) {
  VZ_RELAY_TO_TARGET(OnMonitorUpdated(monitor, rect));
}
int32_t DSProviderSinkRelay::OnMouseUpdated(CursorInfo* cursor) { VZ_RELAY_TO_TARGET(OnMouseUpdated(cursor)); }
int32_t DSProviderSinkRelay::OnSharingInfo(SharingInfo* info) { VZ_RELAY_TO_TARGET(OnSharingInfo(info)); }
int32_t DSProviderSinkRelay::OnSharingStatus(int32_t paused) { VZ_RELAY_TO_TARGET(OnSharingStatus(paused)); }

int32_t ACProviderSinkRelay::OnACStatusNotification(int32_t status, int32_t muted) {
  VZ_RELAY_TO_TARGET(OnACStatusNotification(status, muted));
}
int32_t ACProviderSinkRelay::OnACActivedSpeaker(ACSpeakerEntry* speakers, int32_t count) {
  VZ_RELAY_TO_TARGET(OnACActivedSpeaker(speakers, count));
}
int32_t ACProviderSinkRelay::OnACRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count) {
  VZ_RELAY_TO_TARGET(OnACRostersNetwork(rosters, count));
}
int32_t ACProviderSinkRelay::OnACDeviceVolumeLevel(int32_t speaker_level, int32_t microphone_level) {
  VZ_RELAY_TO_TARGET(OnACDeviceVolumeLevel(speaker_level, microphone_level));
}
int32_t ACProviderSinkRelay::OnACMicStatus(int32_t status) { VZ_RELAY_TO_TARGET(OnACMicStatus(status)); }
int32_t ACProviderSinkRelay::OnACAudioErrorCode(int32_t code, int32_t code_type) {
  VZ_RELAY_TO_TARGET(OnACAudioErrorCode(code, code_type));
}

int32_t AVProviderSinkRelay::OnAVStatusNotification(int32_t status, int32_t broadcasted) {
  VZ_RELAY_TO_TARGET(OnAVStatusNotification(status, broadcasted));
}
int32_t AVProviderSinkRelay::OnAVVideoBroadcasted(int32_t broadcasted, const char* roster_id) {
  VZ_RELAY_TO_TARGET(OnAVVideoBroadcasted(broadcasted, roster_id));
}
int32_t AVProviderSinkRelay::OnAVVideoErrorCode(int32_t code, int32_t code_type) {
  VZ_RELAY_TO_TARGET(OnAVVideoErrorCode(code, code_type));
}
int32_t AVProviderSinkRelay::OnAVMyStatusChanged(const char16_t* roster_id, int32_t status) {
  VZ_RELAY_TO_TARGET(OnAVMyStatusChanged(roster_id, status));
}

#undef VZ_RELAY_TO_TARGET
