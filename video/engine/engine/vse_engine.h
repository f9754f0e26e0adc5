#pragma once
// The video engine of one session: the local streams' send channels and the
// remote streams' listen channels, each keyed by SSRC, the session's RTCP
// channel and the per-stream monitors. Received RTCP reaches the send
// channel it names; listen channels' requests leave as RTCP feedback.
//
// Made by CreateVseEngine (initialised there), freed by DestroyVseEngine.
// A channel the engine lets go (its destroy call, or the engine's end) is
// stopped before it is released: when the call returns its data thread has
// ended and its waiting frames are dropped, so nothing of it runs any more,
// whoever still holds a reference.
// What failure looks like: VSE_ codes, each logged.
// Threads: channels are made and destroyed on the client's thread (the one
// whose run loop runs the channels' timers); InputRtcpPacket on the
// transport's receive thread. The listen map and the source map each have
// their own lock; channels never call back into the maps, and are stopped
// outside them.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "video/engine/core/engine_callbacks.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/vz_timer.h"
#include "video/engine/receive/rtp_monitor_manager.h"
#include "video/engine/receive/vz_video_listen_channel.h"
#include "video/engine/rtp/rtcp_channel.h"
#include "video/engine/send/vz_video_source_channel.h"

class IVseEngine : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVseEngine;
  // A new copy of "2.0"; the caller frees it with delete[].
  virtual char* GetVersion() = 0;
  virtual VseResult SetTransportSink(IVideoPacketTransport* sink) = 0;
  virtual IVideoPacketTransport* GetTransportSink() = 0;
  virtual VseResult SetOption(int32_t value) = 0;
  virtual VseResult SetRtcpEnabled(bool on) = 0;
  virtual bool GetRtcpEnabled() = 0;
  virtual VseResult InputRtcpPacket(const uint8_t* data, int32_t length, uint32_t receive_ms) = 0;
  // The SSRC's channel with one reference for the caller (the same channel
  // again for a known SSRC).
  virtual VseResult CreateVideoListenChannel(uint32_t ssrc, int32_t lctm, int32_t render_video_type,
                                             int32_t decoder_mode, IVideoSampleAllocator* allocator,
                                             IVideoListenChannel** out) = 0;
  virtual VseResult DestroyVideoListenChannel(uint32_t ssrc) = 0;
  virtual VseResult CreateVideoSourceChannel(uint32_t ssrc, int32_t codec_type, IVideoPacketTransport* transport,
                                             IVideoSampleAllocator* allocator, CVzVideoSourceChannel** out) = 0;
  virtual VseResult DestroyVideoSourceChannel(uint32_t ssrc) = 0;
  virtual VseResult UpdateVideoSourceChannel(uint32_t new_ssrc, uint32_t old_ssrc) = 0;
  // status: loss (per mille), delay (ms) and two more figures for the channel.
  virtual VseResult SetNetworkStatus(uint32_t ssrc, const int32_t status[4]) = 0;
  virtual VseResult RequestSourceKeyFrame(uint32_t ssrc) = 0;
  virtual VseResult SetSourceFecSwitch(uint32_t ssrc, int32_t on) = 0;
  virtual VseResult SetSourceSingleTemporalLayer(uint32_t ssrc, int32_t on) = 0;
};

class CVseEngineImp final : public TEngineObject<IVseEngine>,
                            private IRtcpChannelSink,
                            private IListenChannelOwner,
                            private ISourceChannelOwner,
                            private IRtpPacketOut,
                            private IVideoTimerSink {
 public:
  static constexpr uint32_t kPeriodicReportMs = 5000;

  CVseEngineImp();
  bool initialized() const { return initialized_; }

  char* GetVersion() override;
  VseResult SetTransportSink(IVideoPacketTransport* sink) override;
  IVideoPacketTransport* GetTransportSink() override { return transport_; }
  VseResult SetOption(int32_t value) override;
  VseResult SetRtcpEnabled(bool on) override;
  bool GetRtcpEnabled() override { return rtcp_on_; }
  VseResult InputRtcpPacket(const uint8_t* data, int32_t length, uint32_t receive_ms) override;
  VseResult CreateVideoListenChannel(uint32_t ssrc, int32_t lctm, int32_t render_video_type, int32_t decoder_mode,
                                     IVideoSampleAllocator* allocator, IVideoListenChannel** out) override;
  VseResult DestroyVideoListenChannel(uint32_t ssrc) override;
  VseResult CreateVideoSourceChannel(uint32_t ssrc, int32_t codec_type, IVideoPacketTransport* transport,
                                     IVideoSampleAllocator* allocator, CVzVideoSourceChannel** out) override;
  VseResult DestroyVideoSourceChannel(uint32_t ssrc) override;
  VseResult UpdateVideoSourceChannel(uint32_t new_ssrc, uint32_t old_ssrc) override;
  VseResult SetNetworkStatus(uint32_t ssrc, const int32_t status[4]) override;
  VseResult RequestSourceKeyFrame(uint32_t ssrc) override;
  VseResult SetSourceFecSwitch(uint32_t ssrc, int32_t on) override;
  VseResult SetSourceSingleTemporalLayer(uint32_t ssrc, int32_t on) override;

  // Sends an SDES for the SSRC when RTCP is on and 5,000 ms have passed
  // since the last one accepted; VSE_E_FAIL otherwise.
  VseResult SendPeriodicReport(uint32_t now_ms, uint32_t ssrc) override;
  int32_t network_class_for_testing() const { return network_class_; }
  // Channels made from now on run without their own threads: send channels
  // encode on the delivering thread and pace by PumpSendController, listen
  // channels are driven by hand (loopback programs and tests).
  void SetChannelsThreadless(bool on) { threadless_ = on; }
  CVseRtpMonitorManager* monitors() { return monitors_.get(); }
  size_t listen_channel_count_for_testing();

 private:
  ~CVseEngineImp() override;
  friend VseResult DestroyVseEngine(IVseEngine* engine);

  VseResult Initialize();
  void Uninitialize();
  // IRtcpChannelSink
  bool SendRtcp(const uint8_t* data, int length) override;
  void OnKeyFrameRequest(uint32_t media_ssrc) override;
  void OnFeedback12(uint32_t media_ssrc, const vz::rtcp::Feedback12& feedback) override;
  void OnFeedback16(uint32_t media_ssrc, const vz::rtcp::Feedback16& feedback) override;
  // IListenChannelOwner
  VseResult RequestKeyFrame(uint32_t ssrc) override;
  VseResult RequestRefresh(uint32_t ssrc, const vz::rtcp::Feedback16* value) override;
  VseResult ReportDecoderEvent(uint32_t ssrc, const vz::rtcp::Feedback12* value) override;
  // IVideoTimerSink
  void OnTimer(CVzTimer* timer) override;
  // IRtpPacketOut: the monitors' feedback leaves through the transport.
  VseResult SendPacket(const uint8_t* data, int32_t length, int32_t kind) override;

  void NotifySourceRemoved(uint32_t ssrc);
  // The SSRC's send channel under the source-map lock, or the error.
  template <class F>
  VseResult WithSource(uint32_t ssrc, F&& f);

  std::recursive_mutex source_lock_;
  std::map<uint32_t, CVzVideoSourceChannel*> sources_;
  IVseRtcpChannel* rtcp_ = nullptr;
  std::unique_ptr<CVseRtpMonitorManager> monitors_;
  IVideoPacketTransport* transport_ = nullptr;
  int32_t option_ = 0;
  std::recursive_mutex listen_lock_;
  std::map<uint32_t, CVzVideoListenChannel*> listeners_;
  int32_t network_class_ = 0;
  bool initialized_ = false;
  bool rtcp_on_ = false;
  std::mutex report_lock_;
  bool reported_once_ = false;
  uint32_t last_report_ms_ = 0;
  std::unique_ptr<CVzTimer> timer_;
  bool threadless_ = false;
};

// VSE_E_INVALIDARG for a null out; VSE_E_OUTOFMEMORY when the engine cannot
// be made or initialised. *out holds one reference.
VseResult CreateVseEngine(IVseEngine** out);
// Uninitialises and deletes the engine whatever its count; VSE_E_INVALIDARG
// for null.
VseResult DestroyVseEngine(IVseEngine* engine);
