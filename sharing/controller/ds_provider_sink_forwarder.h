#pragma once
// The engine's only road to the meeting client: each callback goes to the
// client's sink while one is set and returns 1 either way. Clearing the sink
// (StopDS, destruction) silences the engine for good.
// Threads: the engine's thread only.
#include "contracts/ds_provider.h"

class CDSProviderSinkForwarder : public IDSProviderSink {
 public:
  explicit CDSProviderSinkForwarder(IDSProviderSink* host) : host_sink_(host) {}

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

 protected:
  ~CDSProviderSinkForwarder() = default;
  void ClearHostSink() { host_sink_ = nullptr; }
  bool HasHostSink() const { return host_sink_ != nullptr; }

 private:
  IDSProviderSink* host_sink_;
};
