#pragma once
// The link instance: the web page's side of VelzarHub. It owns the pipe
// client to vzbridge, turns pipe events and the web page's requests into
// messages for its helper window on the creating (UI) thread, where the
// client's sink hears them, and queues every report on the pipe.
//
// Threads: IVzLinkInstance and the helper window belong to the creating
// thread; the pipe callbacks run on the pipe's I/O thread; OnCollectLog on
// any thread that logs. Lock order: the instance lock, then the client's.
// The instance lock is never held while waiting for the I/O thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/app_thread.h"
#include "common/critical_section_lock.h"
#include "common/tracer_collect_sink.h"
#include "weblink/link/link_request_poster.h"
#include "contracts/vz_link_instance.h"
#include "weblink/pipe/pipe_client.h"
#include "weblink/pipe/web_socket_client_callback.h"

class CVzLinkInstController final : public IVzLinkInstance,
                                    public ITracerCollectSink,
                                    public CWebSocketClientCallback,
                                    public CAppThread {
 public:
  // `sink` is not owned and must outlive the instance; a null sink hears
  // nothing (requests are then freed undelivered).
  explicit CVzLinkInstController(IVzLinkInstanceSink* sink);
  ~CVzLinkInstController() override;

  // IVzLinkInstance. A second WSStartListen while a client exists is refused.
  int32_t WSStartListen(AppPeerConfig* config) override;
  int32_t WSSendValue1(int32_t value) override;
  int32_t WSSendValue2(int32_t value) override;
  int32_t WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id) override;
  int32_t WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                   const char16_t* ds_id) override;
  int32_t WSDSSessionResponseRemoteControl(int32_t unused, int32_t approved, const char16_t* conf_id,
                                           const char16_t* ds_id) override;
  int32_t WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id, const char16_t* ds_id) override;
  int32_t WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) override;
  int32_t WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) override;
  int32_t WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) override;
  int32_t WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) override;
  int32_t WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) override;
  int32_t WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id) override;
  int32_t WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                            const char16_t* conf_id) override;
  int32_t WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                         const char16_t* conf_id) override;
  int32_t WSACSessionNotifyJoin(const char16_t* conf_id) override;
  int32_t WSACSessionNotifyLeave(const char16_t* conf_id) override;
  int32_t WSACSessionNotifyMute(const char16_t* conf_id) override;
  int32_t WSACSessionNotifyUnmute(const char16_t* conf_id) override;
  int32_t WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) override;
  int32_t WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) override;
  int32_t WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) override;
  int32_t WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) override;
  int32_t WSAVSessionNotifyJoin(const char16_t* conf_id) override;
  int32_t WSDSSessionNotifyStart(const char16_t* conf_id) override;
  // The answer to the web page's ping; the instance calls it itself.
  int32_t WSAppResponsePong(const char16_t* conf_id);

  // Takes the pipe client out and stops it. Returns 1.
  int32_t StopListen();
  // Withdraws the collect sink if this instance registered it; returns when
  // no collect line still runs in it.
  void WithdrawTracerCollect();

  // ITracerCollectSink: queues a line as PIPE_KIND_TRACE_LOG.
  void OnCollectLog(const char* line) override;

  // CWebSocketClientCallback, on the I/O thread.
  void OnConnect() override;
  void OnDisconnect(int reason) override;
  void OnReceiveText(const std::string& payload) override;
  void OnReceiveBinary(const std::string& payload) override;

  // CAppThread: the helper window's procedure.
  intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void OnTimer(uintptr_t timer_id) override;

 private:
  // Posts the web page's requests to the helper window.
  class HelperPoster final : public LinkRequestPoster {
   public:
    explicit HelperPoster(CAppThread& helper) : helper_(helper) {}
    void PostRequest(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

   private:
    CAppThread& helper_;
  };

  intptr_t MainThreadHelperProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);
  // Sends the pending crash report, then registers the collect sink.
  void InitTracerCollect();
  // Queues one frame when a client exists (instance lock, then client lock).
  // True when a pipe client took the frame.
  bool QueueFrame(std::string_view payload, uint32_t kind);

  IVzLinkInstanceSink* const sink_;
  CriticalSectionLock instance_lock_;
  std::unique_ptr<CPipeClient> client_;  // guarded by instance_lock_; null while not listening
  AppPeerConfig peer_config_{};          // the creating thread's
  std::atomic<bool> collect_registered_{false};
  HelperPoster poster_{*this};
};
