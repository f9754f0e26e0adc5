#pragma once
// CDSTpController: one sharing session's connection to the media transport
// (session type 3). It turns the engine's records into sharing messages and
// sends them, and turns received messages back into records that it hands
// to the engine's IDSTpSink.
//
// Threads: made, driven and released on the engine's thread, whose run loop
// carries the helper window (CAppThread). The transport calls the sink and
// filter on its own threads; those calls only parse into new records and
// post them, and every IDSTpSink call runs on the engine's thread in posting
// order. The transport's thread waits before parsing the next message while
// the engine's thread is behind (CDsReceiveGate), so the server's queue, not
// this process's, holds what an attendee short of CPU has not taken. A lock guards the joined flag, the byte total and every send; it
// is recursive, since the join confirm sends START or JOIN while holding it.
//
// Lifetime: DSReleaseTpInstance disconnects, stops the helper window (which
// frees every record still queued) and releases. A sink call may release
// the connection; a reference is held while one runs.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "common/app_thread.h"
#include "common/critical_section_lock.h"
#include "contracts/vz_transport_wrapper.h"
#include "contracts/media_transport.h"
#include "platform/clock.h"
#include "sharing/protocol/ds_message_builder.h"
#include "sharing/protocol/ds_reception.h"
#include "sharing/transport/ds_receive_gate.h"
#include "sharing/transport/ds_tp.h"

// Where the connection's outside pieces come from; tests give their own.
struct DsTpOptions {
  const TransportLibraryLoader* loader = nullptr;  // null: the platform's loader
  DsGuidSource guids;                              // empty: random GUIDs
  vz::Clock* clock = nullptr;                      // null: the monotonic clock
  // The longest the transport's thread waits for the engine's thread to
  // handle the last message before it takes the next; bounded because that
  // thread also pings and notices a silent server, and the engine's thread may
  // be stopping (0: never waits, for a transport that calls back while the
  // engine's thread waits for it).
  uint32_t receive_wait_ms = 1000;
};

class CDSTpController : public IDSTp,
                        public IMediaTransportSink,
                        public CAppThread,
                        public IMediaTransportFilter {
 public:
  explicit CDSTpController(IDSTpSink* sink, const DsTpOptions& options = {});
  ~CDSTpController() override;

  // IDSTp (engine thread).
  int32_t DSConnect(const DSSessionConfig* config, const NetworkProxyEntry* proxy) override;
  int32_t DSDisconnect() override;
  int32_t DSSendSharingInfo(const SharingInfo* info) override;
  int32_t DSSendMouseInfo(const CMouseEntry* mouse) override;
  int32_t DSSendCaches(CCacheEntry* const* list, int32_t count) override;
  int32_t DSSendBlocks(CKeyframeEntry* const* list, int32_t count) override;
  int32_t DSRequestKeyFrame() override;
  int32_t DSRequestCaches(CKeyframeEntry* const* list, int32_t count) override;
  int32_t DSSendCommand(const DSCommandRecord* command) override;
  int32_t DSSendWebBinary(const CVZBinaryData* data) override;

  // IMediaTransportSink (transport threads).
  using IMediaTransportSink::OnReceiveDataBinary;
  using IMediaTransportSink::OnReceiveDataUtf8;
  void OnJoinSessionConfirm(uint32_t value) override;
  void OnLeaveSessionConfirm(int32_t reason, int32_t value) override;
  void OnSessionReconnecting(int32_t reason, int32_t value) override;
  void OnReceiveDataUtf8(const char* data, uint32_t size) override;
  void OnReceiveDataUtf8(const std::string& text) override;
  void OnReceiveDataBinary(const uint8_t* data, uint32_t size) override;
  void OnReceiveDataBinary(const std::string& bytes) override;
  void OnSendBacklog(uint32_t value) override;

  // IMediaTransportFilter (transport threads): the session changes nothing.
  int32_t Filter(int32_t a, int32_t b, int32_t* out, int32_t d) override;
  void OnAdjustment(uint8_t state, int32_t bandwidth, int32_t jitter, float lossrate, int32_t rtt,
                    int32_t totalbw) override;
  int32_t QueryValue(uint8_t kind, int32_t* out) override;
  int32_t NotifyFlag(int32_t flag) override;
  uint8_t GetSessionType() override;

  // CAppThread (engine thread): MainThreadHelperProc.
  intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void OnTimer(uintptr_t timer_id) override;

  // Bytes handed to the transport since construction.
  uint64_t TotalSentForTesting();
  // Drops the engine pointer: nothing reaches the sink from here on.
  void ClearSink() { sink_.store(nullptr); }

 private:
  int32_t DSStart();
  int32_t DSJoin();
  int32_t DSStop();
  // Sends one serialized message while joined; counts it. 1 sent, 0 not.
  int32_t SendData(const std::string& bytes);
  void CountSent(uint32_t size);
  void HandleReceived(const uint8_t* data, size_t size);
  void PostEvent(DsReceivedEvent& event);
  void Dispatch(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  IMediaTransportSink* AsSink() { return this; }

  std::unique_ptr<CVzTransportWrapper> transport_;
  vz::Clock& clock_;
  std::atomic<IDSTpSink*> sink_;

  CriticalSectionLock send_lock_;  // guards everything below it
  bool joined_ = false;
  uint64_t total_sent_ = 0;
  bool report_started_ = false;
  uint64_t report_ms_ = 0;
  uint64_t report_total_ = 0;
  CDsMessageBuilder builder_;
  std::unique_ptr<DSSessionConfig> config_;  // the copy handed to the transport
  std::unique_ptr<NetworkProxyEntry> proxy_;

  std::atomic<bool> presenter_{false};
  std::atomic<bool> web_attendee_{false};
  std::atomic<uint64_t> adjustment_logged_ms_{UINT64_MAX};  // never yet
  // Received messages not yet handled on the engine's thread; the
  // transport's thread waits while too many are.
  CDsReceiveGate receive_gate_;
  const uint32_t receive_wait_ms_;
  uint64_t receive_waits_ = 0;  // the transport's thread's own
};

// Makes a connection whose helper window lives on the calling thread's run
// loop; null when that loop is stopped (logged).
IDSTp* DSCreateTpInstance(IDSTpSink* sink, const DsTpOptions& options = {});
// Disconnects, stops the helper window and releases. Null is ignored. 1.
int32_t DSReleaseTpInstance(IDSTp* connection);
