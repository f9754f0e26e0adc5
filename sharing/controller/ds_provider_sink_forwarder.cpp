#include "sharing/controller/ds_provider_sink_forwarder.h"

int32_t CDSProviderSinkForwarder::OnDSStatusNotification(int32_t status) {
  if (host_sink_ != nullptr) host_sink_->OnDSStatusNotification(status);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnDSErrorNotification(int32_t code, int32_t code_type) {
  if (host_sink_ != nullptr) host_sink_->OnDSErrorNotification(code, code_type);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnDSCommand(DSCommandRecord* command) {
  if (host_sink_ != nullptr) host_sink_->OnDSCommand(command);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnDSWebBinary(CVZBinaryData* data) {
  if (host_sink_ != nullptr) host_sink_->OnDSWebBinary(data);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnMonitorUnshared(MonitorInfo* monitor) {
  if (host_sink_ != nullptr) host_sink_->OnMonitorUnshared(monitor);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) {
  if (host_sink_ != nullptr) host_sink_->OnMonitorShared(monitor, frame_pixels);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) {
  if (host_sink_ != nullptr) host_sink_->OnMonitorUpdated(monitor, rect);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnMouseUpdated(CursorInfo* cursor) {
  if (host_sink_ != nullptr) host_sink_->OnMouseUpdated(cursor);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnSharingInfo(SharingInfo* info) {
  if (host_sink_ != nullptr) host_sink_->OnSharingInfo(info);
  return 1;
}

int32_t CDSProviderSinkForwarder::OnSharingStatus(int32_t paused) {
  if (host_sink_ != nullptr) host_sink_->OnSharingStatus(paused);
  return 1;
}
