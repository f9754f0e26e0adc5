#pragma once
// CVzEncodeController: chooses the encode level the sender codes at. It
// starts from the level tables' default, rises one level when nearly every
// offered byte went out for the hold time, falls (up to four levels, at once
// on base-layer drops) when the send adaptor drops, keeps within what the
// measured bandwidth allows, probes for more bandwidth before a step of
// 100 kbit/s or more, and limits the level by the capture, the subscribers
// and the machine's performance class.
//
// What failure looks like: VSE_E_INVALIDARG for bad records and calls that
// do not apply to the source type, VSE_E_FAIL when a level cannot be read.
// Threads: engine-thread calls; one lock over statistics and configuration.
// The sinks are called under it and must not call back in.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "video/engine/core/engine_callbacks.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_format.h"
#include "video/engine/send/encode_param_generator.h"

inline constexpr VseGuid IID_IVideoEncodeController = {
    0x8E2F4C19, 0x5D3A, 0x4B7E, {0xB2, 0x60, 0x1F, 0x9C, 0x43, 0xD7, 0x0A, 0x55}};

// Six words: time, kind, reference (offered) count, measured (sent) count,
// bandwidth in bytes per second, loss.
struct EncodeFeedback {
  uint32_t time = 0;
  int32_t kind = 0;
  int64_t reference = 0;
  int64_t measured = 0;
  int32_t bandwidth = 0;
  int32_t loss = 0;
};

// The uplink statistics record.
struct UplinkStat {
  int32_t loss_rate = 0;
  int32_t rtt = 0;
  int32_t jitter = 0;
  int32_t reserved = 0;
  int32_t bandwidth = 0;  // bit/s
  int32_t status = 0;
};

// The encode controller's source type: what shape of picture the levels are
// for. Each has its own levels; a SourceInfo's type names one.
enum EncodeSourceType : int32_t {
  kSourceCameraAlternative = 0,  // the camera mode switch's alternative mode
  kSourceCameraLandscape = 1,
  kSourceDescribed = 2,  // configured from a source description (its size and frame rate)
  kSourceCameraPortrait = 3,
};

// The size class of a capture format, of what subscribers ask for and of
// the machine's capability, by the picture's size.
enum VideoSizeClass : int {
  kSizeClassSmallest = 0,  // below 320x180
  kSizeClass180p = 1,      // from 320x180
  kSizeClass360p = 2,      // from 640x360
  kSizeClass720p = 3,      // from 1280x720
};

struct SourceInfo {
  int32_t type = kSourceCameraLandscape;
  int32_t width = 0;
  int32_t height = 0;
  int32_t frame_rate = 0;
};

struct SubscriptionRecord {
  int32_t width = 0;
  int32_t height = 0;
};

// The send channel's notice that the level changed.
class IEncodeLevelChangeSink {
 public:
  virtual void OnEncodeLevelChanged() = 0;

 protected:
  ~IEncodeLevelChangeSink() = default;
};

class IVideoEncodeController : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoEncodeController;
  virtual VseResult SetCaptureCameraCapability(int32_t count, const VideoFormat* caps, int32_t performance) = 0;
  virtual VseResult GetCaptureCapability(int32_t count, const VideoFormat* caps, int32_t performance,
                                         VideoFormat* chosen) = 0;
  virtual VseResult SetSubscription(int32_t count, const SubscriptionRecord* records) = 0;
  virtual VseResult SetDeviceClass(int32_t value) = 0;
  // 1 selects the alternative camera mode (source type 0), any other value
  // the landscape camera (1); the level carries over by its bit rate.
  virtual VseResult SetCameraMode(int32_t mode) = 0;
  virtual VseResult SetProbingBandwidth(int32_t bandwidth) = 0;
  virtual VseResult SetCapabilityClass(int32_t value) = 0;
  virtual VseResult AdjustPerformance(int32_t direction) = 0;
  virtual VseResult SetControllerSink(IVideoEncodeControllerSink* sink) = 0;
  virtual VseResult UpdateUpLinkStat(const UplinkStat* stat, int32_t unused) = 0;
  virtual VseResult EnablePeriodicIntraCoding(bool on) = 0;
  virtual VseResult GetEncodeConfiguration(EncodeParams* out) = 0;
  virtual VseResult UpdateFilterInfo(int32_t filter_id, const EncodeFeedback* record) = 0;
  virtual VseResult SetFullHd(int32_t on) = 0;
  virtual VseResult SetSourceId(uint32_t id) = 0;
  virtual VseResult SetUplinkOverheadRatio(float ratio) = 0;
  virtual VseResult SetSourceBitrate(int32_t bitrate) = 0;
  virtual VseResult SetLevelChangeSink(IEncodeLevelChangeSink* sink) = 0;
  virtual VseResult SetSourceInfo(const SourceInfo* info) = 0;
  virtual VseResult IsAtTopLevel(int32_t* out) = 0;
  virtual VseResult IsAtLevelZero(int32_t* out) = 0;
  virtual VseResult GetBitrates(int32_t* level_zero, int32_t* current) = 0;
  // A frame the send adaptor decided on: result 0 sent, 1 dropped.
  virtual VseResult SendStatistics(uint32_t time_ms, int32_t result, int32_t length, int32_t priority,
                                   bool fec) = 0;
  virtual VseResult SetSizeLimit(int32_t width, int32_t height) = 0;
};

class CVzEncodeController final : public TEngineObject<IVideoEncodeController> {
 public:
  static constexpr int kRing = 100;
  static constexpr uint32_t kHoldMs = 2000;
  static constexpr uint32_t kRowEndHoldMs = 5000;
  static constexpr uint32_t kDecreaseGapMs = 2000;
  static constexpr uint32_t kProbeGapMs = 10000;
  static constexpr int32_t kMinProbeBitrate = 20480;
  static constexpr int32_t kStartBandwidth = 800000;

  CVzEncodeController();

  VseResult SetCaptureCameraCapability(int32_t count, const VideoFormat* caps, int32_t performance) override;
  VseResult GetCaptureCapability(int32_t count, const VideoFormat* caps, int32_t performance,
                                 VideoFormat* chosen) override;
  VseResult SetSubscription(int32_t count, const SubscriptionRecord* records) override;
  VseResult SetDeviceClass(int32_t value) override;
  VseResult SetCameraMode(int32_t mode) override;
  int source_type_for_testing() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return source_type_;
  }
  VseResult SetProbingBandwidth(int32_t bandwidth) override;
  VseResult SetCapabilityClass(int32_t value) override;
  VseResult AdjustPerformance(int32_t direction) override;
  VseResult SetControllerSink(IVideoEncodeControllerSink* sink) override;
  VseResult UpdateUpLinkStat(const UplinkStat* stat, int32_t unused) override;
  VseResult EnablePeriodicIntraCoding(bool on) override;
  VseResult GetEncodeConfiguration(EncodeParams* out) override;
  VseResult UpdateFilterInfo(int32_t filter_id, const EncodeFeedback* record) override;
  VseResult SetFullHd(int32_t on) override;
  VseResult SetSourceId(uint32_t id) override;
  VseResult SetUplinkOverheadRatio(float ratio) override;
  VseResult SetSourceBitrate(int32_t bitrate) override;
  VseResult SetLevelChangeSink(IEncodeLevelChangeSink* sink) override;
  VseResult SetSourceInfo(const SourceInfo* info) override;
  VseResult IsAtTopLevel(int32_t* out) override;
  VseResult IsAtLevelZero(int32_t* out) override;
  VseResult GetBitrates(int32_t* level_zero, int32_t* current) override;
  VseResult SendStatistics(uint32_t time_ms, int32_t result, int32_t length, int32_t priority, bool fec) override;
  VseResult SetSizeLimit(int32_t width, int32_t height) override;

  // For tests and statistics.
  int current_level_for_testing();
  int capped_top_level_for_testing();
  int spatial_index_for_testing();
  // Throughput in percent over `window_ms`; -1 with no sender records.
  int ThroughputRatio(uint32_t window_ms);
  CVseBaseEncodeParamGenerator* generator() { return generators_[source_type_].get(); }

 private:
  ~CVzEncodeController() override = default;

  struct Ring {
    EncodeFeedback records[kRing];
    int next = 0;
    int fill = 0;
    void Add(const EncodeFeedback& r) {
      records[next] = r;
      next = (next + 1) % kRing;
      if (fill < kRing) ++fill;
    }
    void Clear() { next = fill = 0; }
    // i = 0 the newest.
    const EncodeFeedback& Newest(int i) const { return records[(next - 1 - i + 2 * kRing) % kRing]; }
  };

  void Init(const SourceInfo* info);
  int& Level() { return levels_[source_type_][Index()]; }
  int Index();
  int CappedTop();
  int32_t BitrateOf(int level) { return generator()->GetLevelBitrate(level); }
  int LevelFor(double bitrate) { return generator()->GetLevelForBitrate(static_cast<int32_t>(bitrate)); }
  int DecreaseThreshold(int level);
  void Decide(uint32_t now);
  void ApplyLevelLimitation(uint32_t now);
  int BandwidthLimit();
  bool ProbeDecision(int target, uint32_t now);
  void ResetProbe();
  void ClearTimesAndHistory();
  void Notify();
  VseResult Reevaluate();
  VseResult UpdateCaptureParameter();
  VseResult UpdateDefaultLevel();
  void ProbingSubscription(uint32_t now);
  void UpdateLevelBandwidthRealloc(uint32_t now);
  int CaptureRequirement();
  bool ChooseCapture(int32_t count, const VideoFormat* caps, VideoFormat* chosen);
  float OverheadFromLoss(int32_t loss, int64_t bandwidth);

  std::recursive_mutex lock_;
  std::unique_ptr<CVseBaseEncodeParamGenerator> generators_[4];
  int source_type_ = kSourceCameraLandscape;
  int levels_[4][4] = {};
  int64_t uplink_ = kStartBandwidth;
  int64_t downlink_ = kStartBandwidth;
  float uplink_overhead_ = 0;
  float downlink_overhead_ = 0;
  int64_t probe_bandwidth_ = kStartBandwidth;
  int32_t source_bitrate_ = kStartBandwidth;
  int capture_class_ = kSizeClass360p;
  int subscription_ = kSizeClass360p;
  int device_class_ = 2;
  int capability_class_ = 2;
  int performance_class_ = 2;
  bool raised_performance_ = false;
  bool full_hd_ = true;
  int size_limit_ = 3;
  bool size_limit_set_ = false;
  int32_t size_limit_w_ = 0, size_limit_h_ = 0;
  Ring sender_;
  Ring receiver_;
  bool times_set_ = false;
  uint32_t last_increase_ = 0;
  uint32_t last_decrease_ = 0;
  uint32_t last_probe_ = 0;
  bool probed_once_ = false;
  int delta_ = 0;
  bool changed_ = false;
  bool base_loss_ = false;
  bool kind1_pending_ = false;
  bool probing_ = false;
  bool probe_returned_ = false;
  bool probe_subscription_ = false;
  int probe_target_ = -1;
  int64_t returned_probe_bandwidth_ = 0;
  bool up_level_ = false;
  uint32_t source_id_ = 0;
  int backup_level_ = 0;
  bool periodic_intra_ = false;
  bool below_hd_ = false;
  std::vector<VideoFormat> capabilities_;
  VideoFormat chosen_capture_{};
  bool has_capture_ = false;
  IEncodeLevelChangeSink* level_sink_ = nullptr;
  IVideoEncodeControllerSink* controller_sink_ = nullptr;
  // Send statistics period.
  bool period_open_ = false;
  uint32_t period_start_ = 0;
  int64_t offered_ = 0;
  int64_t sent_ = 0;
  bool base_drop_noted_ = false;
  uint32_t base_drop_time_ = 0;
};

// Makes a controller with its first reference; null when it cannot be made.
IVideoEncodeController* CreateEncodeController();
