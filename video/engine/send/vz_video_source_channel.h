#pragma once
// CVzVideoSourceChannel: the local camera's way out. Cropped pictures wait
// one deep for the channel's data thread, are encoded at the level the
// encode controller chooses, packed into RTP with the SVC priorities and FEC,
// queued in the paced send controller, and leave through the client's packet
// transport with the timing element stamped. The channel keeps per-period
// send statistics, the bandwidth the source needs, the FEC level from the
// uplink loss, and runs the simple network policy.
//
// What failure looks like: VSE_ codes, each logged; a failed encode leaves
// the channel running.
// Threads: pictures arrive on the capture thread and are encoded on the
// data thread; options on the engine thread; packets leave on the shared
// tick thread. The channel lock guards configuration and statistics, the
// frame lock the encode path; sinks are called without the channel lock
// where the Part allows.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "video/engine/core/com_task_thread.h"
#include "video/engine/core/engine_callbacks.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_interfaces.h"
#include "video/engine/core/vz_timer.h"
#include "video/engine/rtp/rtp_packer.h"
#include "video/engine/send/fec_level_state.h"
#include "video/engine/send/key_frame_budget.h"
#include "video/engine/send/network_policy.h"
#include "video/engine/send/vz_encode_controller.h"
#include "video/engine/send/vz_h264_svc_encoder.h"
#include "video/engine/send/vz_send_controller.h"

inline constexpr VseGuid IID_IVideoSourceChannel = {
    0x6A91D3E7, 0x0C42, 0x4F5B, {0x83, 0x1E, 0x2D, 0x77, 0xB0, 0x19, 0x64, 0xC8}};

struct NetworkOption {
  uint32_t max_bw = 0;
  uint32_t min_bw = 0;
  uint32_t default_bw = 0;
  int32_t link_type = 2;  // 2: not TCP
};

struct OutputRecord {
  int32_t width = 0;
  int32_t height = 0;
  float frame_rate = 0;
  int32_t priority_mode = 0;
};

// The engine's side of a source channel: the periodic RTCP report that the
// channel offers with every frame it encodes (the engine decides whether the
// report is due). Called on the encoding thread with the channel's lock held.
class ISourceChannelOwner {
 public:
  virtual VseResult SendPeriodicReport(uint32_t now_ms, uint32_t ssrc) = 0;

 protected:
  virtual ~ISourceChannelOwner() = default;
};

class CVzVideoSourceChannel final : public TEngineObject<IVideoDeliverer>,
                                    private IVideoEncoderSink,
                                    private IRtpPackerSink,
                                    private IVzSendControllerSink,
                                    private IEncodeLevelChangeSink,
                                    private IVideoTimerSink {
 public:
  static constexpr uint32_t kSendControllerRate = 1638400;
  static constexpr uint32_t kBandwidthSinkRate = 2097152;
  static constexpr int32_t kWorkBufferBytes = 64 * 1024;
  // Kinds of OnSourceParameterChanged.
  static constexpr int32_t kKindParametersChanged = 10;

  explicit CVzVideoSourceChannel(uint32_t client_id);

  // 0; 1 when already initialised; VSE_E_FAIL (uninitialised again) on a
  // failure. `data_thread` false encodes on the delivering thread; `shared_tick`
  // false leaves pacing to PumpSendController (tests and benchmarks).
  VseResult Initialize(int32_t codec_type, bool data_thread = true, bool shared_tick = true);
  // Stops the channel for good. When it returns (called off the data
  // thread), the data thread has ended, the waiting picture and the queued
  // frame tasks are dropped, the timer is cancelled and the pacing tick no
  // longer calls the channel: nothing of it runs any more, whoever still
  // holds a reference. The engine calls it, on the thread that made the
  // channel, before letting the channel go.
  void Uninitialize();

  // With a data thread: the picture waits for it (VSE_E_FAIL once the
  // channel has stopped). Without: encoded at once on the calling thread.
  VseResult DeliverSample(IVideoSample* sample) override;
  // One picture, encoded at once on the calling thread (only while started).
  VseResult InputFrame(const VideoFormat* format, const uint8_t* data, int32_t length);

  uint32_t client_id() const { return client_id_; }
  VseResult SetSourceId(uint32_t id);
  VseResult SetPayloadTypes(int32_t media, int32_t fec);
  void SetPacketTransport(IVideoPacketTransport* transport);
  // The engine that made the channel, or null. The owner must outlive its
  // place here: it clears it (with null) before it goes; once that call has
  // returned, no frame calls the old owner any more.
  void SetOwner(ISourceChannelOwner* owner);
  VseResult SetSink(IVideoSourceChannelSink* sink);
  VseResult SetNetworkOption(const NetworkOption* option);
  VseResult SetEncodeParam(const EncodeParams* params);
  VseResult SetSingleTemporalLayer(bool on);
  VseResult SetFecSwitch(bool on);
  // The source channel's "get FEC switch" operation; no caller reads it yet.
  bool fec_switch() const { return fec_on_; }
  int fec_level();
  // A loss value mapped to its class (negative: none), and the manual flag.
  VseResult SetFecLevel(int32_t loss, bool manual);
  VseResult StartSend();
  VseResult StopSend();
  // Forces a key frame for a request, within the requested key frames'
  // budget (key_frame_budget.h: four at once, 500 ms apart, then one a
  // second): requests the budget cannot serve yet are served together by one
  // key frame at the first picture it allows, so requests from any number
  // of members, however often, cannot fill the uplink with key frames and
  // no request is lost. (The key frame that starts a stream answers no
  // request and spends none of it.) VSE_S_OK then; VSE_E_INVALIDARG
  // without an encoder.
  VseResult RequestKeyFrame();
  // -1 without packer or send controller.
  int32_t ConfigureOutputs(int32_t count, const OutputRecord* outputs);
  VseResult UpdateUpLinkNetStat(const UplinkStat* stat);
  // Non-zero: the simple policy (the default); zero: the estimator. An
  // operation of the source channel's interface that no caller uses yet.
  VseResult ChooseNetworkPolicy(int32_t simple);
  VseResult SetEncodeController(IVideoEncodeController* controller);
  VseResult SetLimitToCapture(bool on);
  VseResult SetSourceInfo(const SourceInfo* info);
  // Out 1 when a frame was dropped since the last clear, or the encode
  // controller is below its top level.
  VseResult GetStatus(int32_t* dropped, bool clear);
  VseResult SetLongTermReference(bool on);

  // One pacing round of the send controller (without the shared tick).
  void PumpSendController();
  // One round of the 30 ms timer's reports (the timer runs on the run loop
  // of the thread that initialised the channel, when it has one).
  void RunTimerRound();
  // A key frame was asked of this source (reported on the next timer round).
  void NoteKeyFrameRequested() { key_frame_requested_ = true; }
  // Kinds of OnSourceParameterChanged from the timer.
  static constexpr int32_t kKindSendRate = 0;       // bytes per second over the last five seconds
  static constexpr int32_t kKindBandwidth = 2;      // the network policy's rate, bit/s
  static constexpr int32_t kKindLayerSize = 4;      // top layer width << 16 | height, while sending
  static constexpr int32_t kKindFrameRate = 8;      // the top layer's frame rate, a float's bits
  // For tests and statistics.
  uint32_t last_time_stamp() const { return last_time_stamp_; }

 private:
  ~CVzVideoSourceChannel() override;
  class FrameTask;

  // IVideoEncoderSink
  void OnFrameEncoded(uint32_t time_stamp_ms, const uint8_t* nal, int32_t length) override;
  void OnEncoderReconfigured(const vzh264::EncoderParam& param) override;
  void OnInputFrameRate(float rate) override;
  // IRtpPackerSink
  void Deliver(uint32_t timestamp_ms, CVseRtpPacket* const* packets, int count) override;
  // IVzSendControllerSink
  void OnSend(uint32_t tick_ms, const uint8_t* data, int32_t length) override;
  void OnQueue(uint32_t time_stamp, int32_t verdict, int32_t priority, const uint8_t* first,
               int32_t total) override;
  // IEncodeLevelChangeSink
  void OnEncodeLevelChanged() override;
  // IVideoTimerSink
  void OnTimer(CVzTimer* timer) override;

  void RunWaitingSample();
  // The sample's picture through InputFrame, on the calling thread.
  VseResult InputSample(IVideoSample* sample);
  // Under the channel lock, with an encoder.
  VseResult ForceKeyFrame();
  void UpdateFecLevel(bool from_statistics);
  // Under the statistics lock: the FEC share, the measured rate and the
  // smoothed bounds are the statistics period's, ended on the tick thread.
  VseResult SetRequiredMinMaxBw();
  void EndStatisticsPeriod(uint32_t now);
  VseResult ApplyEncodeParam(const EncodeParams& params);

  // Configuration and the encode path. Never taken on the tick thread: the
  // send controller calls OnSend and OnQueue under its own lock, which is
  // taken inside this one.
  std::recursive_mutex lock_;
  std::mutex queue_lock_;  // the waiting sample
  std::mutex stats_lock_;  // the statistics period, on the tick thread (taken after lock_)
  uint32_t client_id_;
  int32_t codec_type_ = 1;
  bool initialized_ = false;
  bool started_ = false;
  int32_t media_type_ = 98;
  int32_t fec_type_ = 111;
  std::unique_ptr<CVzSendController> send_controller_;
  std::unique_ptr<CVseRtpPacker> packer_;
  std::unique_ptr<INetworkPolicy> policy_;
  uint32_t policy_bw_[3] = {800000, 32000, 1280000};  // default, min, max
  CVzH264SvcEncoder* encoder_ = nullptr;
  IVideoEncodeController* encode_controller_ = nullptr;
  std::atomic<bool> data_thread_{false};  // frames go through a data thread
  std::unique_ptr<VZSE_::ComTaskThread> thread_;  // under queue_lock_
  IVideoSample* waiting_ = nullptr;  // under queue_lock_
  std::vector<uint8_t> work_buffer_;
  IVideoSourceChannelSink* sink_ = nullptr;
  IVideoPacketTransport* transport_ = nullptr;
  ISourceChannelOwner* owner_ = nullptr;
  EncodeParams params_;
  bool has_params_ = false;
  std::atomic<bool> params_pending_{true};
  bool single_temporal_ = false;
  bool limit_to_capture_ = true;
  bool long_term_ = false;
  uint32_t last_time_stamp_ = 0;
  bool has_time_stamp_ = false;
  float input_rate_ = 24.0f;
  float top_rate_ = 0;
  VideoFormat input_format_{};
  // FEC.
  bool fec_on_ = true;
  bool tcp_link_ = false;
  bool manual_fec_ = false;
  CFecLevelState fec_;
  int manual_level_ = -1;
  UplinkStat last_stat_{};
  std::atomic<int> logged_fec_level_{-1};
  std::atomic<int> logged_loss_{0};
  // Statistics of the period.
  bool period_open_ = false;
  uint32_t period_start_ = 0;
  int64_t media_bytes_ = 0, fec_bytes_ = 0, dropped_bytes_ = 0, p0_bytes_ = 0;
  int64_t packets_ = 0, queued_packets_ = 0, queued_bytes_ = 0;
  float fec_share_ = 0;
  int64_t measured_rate_ = 0;  // bit/s
  std::atomic<bool> dropped_{false};
  // Required bandwidth.
  double smoothed_min_ = 0, smoothed_max_ = 0;
  int required_count_ = 0;
  // The timer's rate slots (five of one second each) and last reports.
  struct RateSlot {
    uint32_t start = 0;
    int64_t bytes = 0;
  };
  RateSlot slots_[5];
  int slot_ = 0;
  int32_t reported_[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::atomic<bool> key_frame_requested_{false};
  // The last key frame forced, and the requests served by it since.
  KeyFrameBudget key_frame_budget_;
  bool key_frame_deferred_ = false;  // asked beyond the budget: forced once it allows
  uint32_t key_frames_spared_ = 0;
  std::unique_ptr<CVzTimer> timer_;
  // Timing element.
  uint16_t timing_counter_ = 0;
  std::atomic<int32_t> last_rtt_{-1};
  bool rtt_warned_ = false;
};
