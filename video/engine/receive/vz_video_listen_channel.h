#pragma once
// CVzVideoListenChannel: the receive side of one remote video stream (one
// SSRC). Packets come in from the transport, are rebuilt into NAL units by
// the channel's receive RTP session, thinned by temporal layer while the
// channel lags, gathered into frames by RTP time stamp, decoded once the
// next frame has begun (or a second after the frame began) and handed as
// pictures to the registered deliverers. A 30 ms timer on the initialising
// thread reports key-frame loss, picture size, frame rate, blocked state and
// receive statistics to the event sink.
//
// Receive modes (lctm): 0 does everything on the caller of InputPacket;
// 1 and 2 queue packets for the channel's data thread. Modes 0 and 1 check
// a frame's play time before decoding it; mode 2 decodes at once and checks
// the picture's play time before showing it (one picture per 15 ms tick).
// The play time comes from a render synchroniser when one is set, else from
// the playout time estimator while smooth play is on.
//
// What failure looks like: VSE_ codes and a log line; a lost or damaged
// frame only costs a key-frame request, at most one per 500 ms.
// Threads: InputPacket on the transport thread; assembly, decoding and
// delivery on the data thread (the caller in mode 0); the timer and every
// event-sink call on the thread that called Initialize.
#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "video/engine/core/com_task_thread.h"
#include "video/engine/core/engine_callbacks.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_deliverer_list.h"
#include "video/engine/core/vz_payload_pool.h"
#include "video/engine/core/vz_timer.h"
#include "video/engine/receive/listen_decoder.h"
#include "video/engine/receive/playout_time_estimator.h"
#include "video/engine/receive/rtp_monitor.h"
#include "video/engine/rtp/rtcp_channel.h"
#include "video/engine/rtp/rtp_session_svc.h"

// The engine's side of a channel's requests, forwarded as RTCP feedback for
// the channel's SSRC.
class IListenChannelOwner {
 public:
  virtual VseResult RequestKeyFrame(uint32_t ssrc) = 0;
  virtual VseResult RequestRefresh(uint32_t ssrc, const vz::rtcp::Feedback16* value) = 0;
  virtual VseResult ReportDecoderEvent(uint32_t ssrc, const vz::rtcp::Feedback12* value) = 0;

 protected:
  virtual ~IListenChannelOwner() = default;
};

// Transforms received payloads after their first 16 bytes. This system
// installs none by itself; a caller may.
class IPayloadTransformer {
 public:
  // 0 on success: *out holds *out_length bytes, owned by the transformer
  // until FreeBlock(*out).
  virtual int32_t Transform(const uint8_t* in, int32_t length, uint8_t** out, int32_t* out_length) = 0;
  virtual int32_t FreeBlock(uint8_t* block) = 0;

 protected:
  virtual ~IPayloadTransformer() = default;
};

// Says when a frame may be shown: Check (1, 0, ssrc, time stamp in ms,
// user value) answers 0 or 1 to let it pass; any other answer holds it.
// Called on the data thread.
class IRenderSynchronizer {
 public:
  virtual int32_t Check(int32_t kind, int32_t reserved, uint32_t ssrc, uint32_t time_stamp_ms, void* user) = 0;

 protected:
  virtual ~IRenderSynchronizer() = default;
};

class IVideoListenChannel : public IVideoSampleProvider {
 public:
  static constexpr VseGuid kIid = IID_IVideoListenChannel;
  virtual uint32_t GetSSRC() = 0;
  virtual VseResult Initialize(int32_t render_video_type, int32_t decoder_mode, int32_t lctm) = 0;
  virtual void Uninitialize() = 0;
  virtual VseResult SetEventSink(IVideoListenChannelSink* sink) = 0;
  // packet_type 0: an RTP packet; 1: a whole encoded frame.
  virtual VseResult InputPacket(const uint8_t* data, int32_t length, uint32_t receive_ms, int32_t packet_type) = 0;
  virtual VseResult SetPayloadTypesEx(int32_t media, int32_t aux) = 0;
  virtual VseResult SetDecodeEnabled(bool on) = 0;
  virtual VseResult SetBlockTimeout(uint32_t ms) = 0;
  virtual uint32_t GetBlockTimeout() = 0;
  virtual uint32_t GetLastRenderedTimestamp() = 0;
  virtual void ResetBlockState() = 0;
  virtual VseResult SetMaxBufferedPackets(int32_t count) = 0;
  virtual VseResult SetLossRecovery(int32_t value) = 0;
  virtual int32_t GetLossRecovery() = 0;
  virtual int32_t SetAspectRatio(int32_t width, int32_t height) = 0;
  virtual VseResult DecodeNow() = 0;
  virtual uint32_t GetReceivedCount() = 0;
  virtual void SetSSRC(uint32_t ssrc) = 0;
  // The decoder's output colour format follows the video type; the
  // decoder's answer, VSE_E_POINTER without decoder.
  virtual VseResult SetRenderFormat(int32_t video_type) = 0;
  // Starts the decoder afresh (references forgotten); VSE_E_FAIL when that
  // fails.
  virtual VseResult ClearOldData() = 0;
  // 0 or 1 (else VSE_E_INVALIDARG); VSE_E_FAIL without decoder.
  virtual VseResult SetDirectImageOutput(int32_t value) = 0;
  // Stores both (taken by the receive session at Initialize); null:
  // VSE_E_INVALIDARG.
  virtual VseResult SetPayloadTypes(const int32_t* media, const int32_t* aux) = 0;
  virtual VseResult SetPayloadTransformEnabled(bool on) = 0;
  // Must outlive the channel or be replaced first; null removes it.
  virtual VseResult SetPayloadTransformer(IPayloadTransformer* transformer) = 0;
  // The engine's millisecond clock.
  virtual uint32_t NowMs() = 0;
  // Must outlive the channel or be replaced first; null removes it.
  virtual VseResult SetRenderSync(IRenderSynchronizer* sync, void* user) = 0;
  virtual VseResult SetSmoothPlay(bool on) = 0;
};

class CVzVideoListenChannel final : public TEngineObject<IVideoListenChannel>,
                                    private IVideoDecoderSink,
                                    private IRtpSessionSink,
                                    private IRtpMonitorSink,
                                    private IVideoTimerSink,
                                    private VZSE_::ITimerHandler {
 public:
  static constexpr uint32_t kLoneFrameWaitMs = 1000;
  static constexpr uint32_t kRequestThrottleMs = 500;
  static constexpr uint32_t kDefaultBlockTimeoutMs = 5000;
  static constexpr uint32_t kOldFrameMs = 10000;
  static constexpr uint32_t kBehindSpanMs = 500;
  static constexpr uint32_t kDownGradeMs = 1000;
  static constexpr uint32_t kUpGradeMs = 3000;
  static constexpr int32_t kDecodeBufferBytes = 1 << 20;
  static constexpr int32_t kMaxBufferedPackets = 500;
  // A frame or picture due further ahead than this waits.
  static constexpr int32_t kPlayAheadMs = 14;
  static constexpr int32_t kTransformKeptBytes = 16;
  // Kinds of OnListenParameterChanged.
  static constexpr int32_t kKindByteRate = 0;
  static constexpr int32_t kKindJitter = 1;
  static constexpr int32_t kKindDelay = 2;
  static constexpr int32_t kKindLoss = 3;
  static constexpr int32_t kKindSize = 4;
  static constexpr int32_t kKindFrameRate = 5;

  // owner and allocator must outlive the channel (the allocator is
  // referenced); monitor may be null.
  CVzVideoListenChannel(IListenChannelOwner* owner, uint32_t ssrc, CVseRtpMonitor* monitor,
                        IVideoSampleAllocator* allocator);

  // IEngineUnknown: also the sample-provider id and the marker id.
  VseResult QueryInterface(const VseGuid* iid, void** out) override;

  // IVideoSampleProvider
  VseResult AppendVideoDeliverer(IVideoDeliverer* deliverer) override;
  VseResult RemoveVideoDeliverer(IVideoDeliverer* deliverer) override;
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data) override;

  // IVideoListenChannel
  uint32_t GetSSRC() override { return ssrc_; }
  // 0; 0 again when initialised already; VSE_E_POINTER without owner,
  // VSE_E_OUTOFMEMORY without decoder, VSE_E_FAIL when the decoder refuses.
  VseResult Initialize(int32_t render_video_type, int32_t decoder_mode, int32_t lctm) override;
  void Uninitialize() override;
  VseResult SetEventSink(IVideoListenChannelSink* sink) override;
  // VSE_E_FAIL before Initialize or for another SSRC; VSE_E_INVALIDARG for
  // null data, 12 bytes or less, or an unknown packet type.
  VseResult InputPacket(const uint8_t* data, int32_t length, uint32_t receive_ms, int32_t packet_type) override;
  VseResult SetPayloadTypesEx(int32_t media, int32_t aux) override;
  VseResult SetDecodeEnabled(bool on) override;
  VseResult SetBlockTimeout(uint32_t ms) override;
  uint32_t GetBlockTimeout() override { return block_timeout_ms_; }
  uint32_t GetLastRenderedTimestamp() override { return last_rendered_ts_.load(); }
  void ResetBlockState() override;
  VseResult SetMaxBufferedPackets(int32_t count) override;
  VseResult SetLossRecovery(int32_t value) override;
  int32_t GetLossRecovery() override { return loss_recovery_; }
  // 1 unless both are positive; else stores both, their ratio, and marks
  // the ratio changed.
  int32_t SetAspectRatio(int32_t width, int32_t height) override;
  float aspect_ratio_for_testing() const { return aspect_ratio_.load(); }
  // True once after each accepted SetAspectRatio.
  bool TakeAspectChangedForTesting() { return aspect_changed_.exchange(false); }
  // Mode 0 only (else VSE_E_FAIL): decodes the oldest frame now.
  VseResult DecodeNow() override;
  uint32_t GetReceivedCount() override { return received_count_.load(); }
  void SetSSRC(uint32_t ssrc) override { ssrc_ = ssrc; }
  VseResult SetRenderFormat(int32_t video_type) override;
  VseResult ClearOldData() override;
  VseResult SetDirectImageOutput(int32_t value) override;
  VseResult SetPayloadTypes(const int32_t* media, const int32_t* aux) override;
  VseResult SetPayloadTransformEnabled(bool on) override;
  VseResult SetPayloadTransformer(IPayloadTransformer* transformer) override;
  uint32_t NowMs() override;
  VseResult SetRenderSync(IRenderSynchronizer* sync, void* user) override;
  VseResult SetSmoothPlay(bool on) override;

  // Without a data thread (tests, benchmarks): Initialize with
  // data_thread false, then drive the data side by hand.
  VseResult Initialize(int32_t render_video_type, int32_t decoder_mode, int32_t lctm, bool data_thread);
  // Processes every queued packet (modes 1 and 2), as the data thread does.
  void ProcessQueuedPacketsForTesting();
  // One round of the data thread's 15 ms timer.
  void RunDataTimer();
  // One round of the 30 ms timer (it also runs from the run loop).
  void RunTimerRound();

  // Stops every use of the monitor (the engine removes monitors with their
  // channels, while callers may still hold the channel). Any thread.
  void DetachMonitor();

  // Inspection.
  bool drop_t1_for_testing() const { return drop_t1_.load(); }
  bool drop_t2_for_testing() const { return drop_t2_.load(); }
  size_t queued_media_packets_for_testing();
  uint64_t dropped_layer_packets_for_testing() const { return dropped_layers_.load(); }
  // NAL units that came after their frame was decoded.
  uint64_t late_units() const { return late_units_.load(); }
  // Payload blocks back in the channel's pool, ready for the next units.
  int32_t free_payload_blocks_for_testing() { return payload_pool_.FreeCountForTesting(); }
  const CMMRTPSession4SVC* session() const { return session_; }

 private:
  ~CVzVideoListenChannel() override;

  // A NAL unit's bytes in a block of the channel's pool; the block goes back
  // to the pool with the layer.
  struct ReleaseBlock {
    void operator()(CVzPayloadBlock* block) const { block->Release(); }
  };
  struct Layer {
    uint16_t sequence;
    std::unique_ptr<CVzPayloadBlock, ReleaseBlock> payload;
  };
  struct EncodedFrame {
    uint32_t created_ms = 0;
    uint32_t key = 0;  // RTP time stamp / 90
    uint16_t first_sequence = 0;
    std::list<Layer> layers;  // in sequence order
    int64_t bytes = 0;
    bool play_time_known = false;
    uint32_t play_time_ms = 0;
  };
  // A decoded picture waiting to be shown (receive mode 2); holds a
  // reference on the sample.
  struct DeferredPicture {
    IVideoSample* sample = nullptr;
    uint32_t time_stamp = 0;
    bool play_time_known = false;
    uint32_t play_time_ms = 0;
  };
  struct QueuedPacket {
    std::vector<uint8_t> data;
    uint32_t receive_ms = 0;
  };
  class ReadSignal;

  // IVideoDecoderSink
  void OnDecoded(uint32_t format, uint32_t time_stamp, int32_t width, int32_t height, IVideoSample* sample) override;
  int32_t IsRenderReady() override;
  void OnDecodedImage(uint32_t time_stamp, const uint8_t* plane, const vzh264::DecodeBufferInfo& info) override;
  void RequestKeyFrame() override;
  void RequestRefresh(const uint8_t* block) override;
  void ReportDecoderEvent(const uint8_t* block) override;
  // IRtpSessionSink
  void OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) override;
  // IRtpMonitorSink
  void SetReceiveParameter(int32_t kind, uint32_t value) override;
  // IVideoTimerSink (30 ms)
  void OnTimer(CVzTimer* timer) override;
  // ITimerHandler (15 ms, data thread)
  void OnTimer(const VZSE_::TimeValue& now, void* argument) override;

  VseResult InputReceivedData(int32_t type, uint32_t receive_ms, const uint8_t* data, int32_t length);
  void PostReadSignal();
  void OnReadSignal();
  void CheckOverTimeData(const uint8_t* data, int32_t length);
  void DecodeAndRender(bool force);
  // Whether a frame or picture with this key may be shown now (the render
  // synchroniser, else smooth play); the play time is worked out once.
  bool DueNow(uint32_t key, bool* play_time_known, uint32_t* play_time_ms);
  // Shows one waiting picture of receive mode 2.
  void RenderDeferred();
  void ReleaseDeferred();
  // Points *payload at the transformed bytes (in the scratch buffer) when a
  // transform applies; false when the unit is to be dropped.
  bool TransformPayload(const uint8_t** payload, int* length);
  // Concatenates the frame's layers into the decode buffer; its length, or
  // -1 when they do not fit.
  int32_t PopFrame(const EncodedFrame& frame);
  void ClearTooOldFrames();
  void Deliver(IVideoSample* sample);
  void NoteSize(int32_t width, int32_t height, IVideoSample* sample, uint32_t color);
  // Render time, block state and frame rate for a picture shown.
  void MarkRendered(uint32_t time_stamp);
  void ReportStatistics(uint32_t now);
  void ReleaseResources();

  IListenChannelOwner* const owner_;
  uint32_t ssrc_;
  std::mutex monitor_lock_;  // the monitor may be taken away while packets arrive
  CVseRtpMonitor* monitor_;
  IVideoSampleAllocator* const allocator_;
  IVideoListenChannelSink* sink_ = nullptr;
  CVideoDelivererList deliverers_;
  std::unique_ptr<IVideoDecoder> decoder_;
  CMMRTPSession4SVC* session_ = nullptr;
  std::atomic<bool> initialized_{false};
  int32_t lctm_ = 2;
  int32_t render_video_type_ = 2;
  int32_t decoder_mode_ = 1;
  int32_t media_pt_ = 98;
  int32_t aux_pt_ = 111;
  std::atomic<bool> decode_enabled_{true};
  int32_t loss_recovery_ = 0;
  std::atomic<int32_t> direct_image_{0};

  // Play time and payload transform.
  std::mutex sync_lock_;
  IRenderSynchronizer* render_sync_ = nullptr;
  void* render_sync_user_ = nullptr;
  std::atomic<bool> smooth_play_{false};
  std::unique_ptr<CPlayoutTimeEstimator> playout_;
  std::atomic<bool> transform_enabled_{false};
  std::atomic<IPayloadTransformer*> transformer_{nullptr};
  std::vector<uint8_t> transform_scratch_;

  // Pictures of receive mode 2: whole frames first, then frames from RTP.
  std::mutex deferred_lock_;
  std::deque<DeferredPicture> deferred_whole_;
  std::deque<DeferredPicture> deferred_rtp_;
  bool decoding_from_rtp_ = false;

  // Data side (data thread, or the caller in mode 0). The pool is declared
  // first so that it outlives the frames whose layers hold its blocks.
  CVzPayloadPool payload_pool_;
  std::list<EncodedFrame> frames_;  // newest first
  std::atomic<size_t> frame_count_{0};  // its size, for other threads
  std::vector<uint8_t> decode_buffer_;
  bool have_decoded_key_ = false;
  uint32_t last_decoded_key_ = 0;
  std::atomic<uint64_t> dropped_layers_{0};
  std::atomic<uint64_t> late_units_{0};
  std::unique_ptr<VZSE_::ComTaskThread> thread_;
  std::atomic<bool> stopping_{false};
  bool data_timer_started_ = false;

  // The queues between the transport thread and the data thread.
  std::mutex queue_lock_;
  std::deque<QueuedPacket> media_queue_;
  std::deque<QueuedPacket> aux_queue_;
  size_t max_media_packets_ = kMaxBufferedPackets;
  std::atomic<bool> buffer_full_{false};

  // Layer grading (transport thread).
  std::atomic<bool> drop_t1_{false}, drop_t2_{false};
  bool behind_running_ = false, caught_up_running_ = false;
  uint32_t behind_start_ = 0, caught_up_start_ = 0;

  // Requests to the engine.
  std::mutex request_lock_;
  bool key_requested_once_ = false, refresh_requested_once_ = false;
  uint32_t last_key_request_ms_ = 0, last_refresh_ms_ = 0;

  // Reports for the 30 ms timer.
  std::unique_ptr<CVzTimer> timer_;
  std::atomic<bool> key_frame_lost_{false};
  std::atomic<bool> size_changed_{false};
  std::atomic<bool> rate_changed_{false};
  std::atomic<int32_t> width_{0}, height_{0};
  std::atomic<int32_t> render_rate_{0};
  std::atomic<uint32_t> last_rendered_ts_{0};
  std::atomic<uint32_t> received_count_{0};
  std::mutex render_lock_;
  uint32_t last_render_ms_ = 0;
  int32_t block_state_ = -1;
  bool block_changed_ = false;
  uint32_t block_timeout_ms_ = kDefaultBlockTimeoutMs;
  uint32_t rate_start_ms_ = 0;
  int32_t rate_count_ = 0;
  int32_t aspect_w_ = 16, aspect_h_ = 9;
  std::atomic<float> aspect_ratio_{16.0f / 9.0f};
  std::atomic<bool> aspect_changed_{false};
  // The size line is repeated at most this often while the size holds.
  static constexpr uint32_t kSizeLogMs = 20000;
  bool size_logged_ = false;
  uint32_t size_log_ms_ = 0;

  // Statistics: five one-second buckets of received bytes.
  std::mutex stats_lock_;
  struct Bucket {
    uint32_t start = 0;
    int64_t bytes = 0;
  };
  Bucket buckets_[5];
  int bucket_ = 0;
  int64_t last_rate_ = -1;
  std::atomic<int32_t> params_[4] = {0, 0, 0, 0};
  int32_t reported_params_[4] = {0, 0, 0, 0};
  std::atomic<int32_t> jitter_ms_{15};
};
