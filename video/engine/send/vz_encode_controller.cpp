#include "video/engine/send/vz_encode_controller.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "common/trace_client.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/fec_tables.h"
#include "video/engine/core/video_types.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Video types by preference when two camera formats fit equally well:
// I420, then YV12, then YUY2, then top-down 24-bit RGB or BGR; any other
// type last.
int FormatRank(int32_t type) {
  switch (type) {
    case kVideoTypeI420: return 0;
    case kVideoTypeYv12: return 1;
    case kVideoTypeYuy2: return 2;
    case kVideoTypeBgr24:
    case kVideoTypeRgb24: return 3;
    default: return 4;
  }
}

bool Later(uint32_t now, uint32_t then, uint32_t gap) { return now - then > gap; }

}  // namespace

IVideoEncodeController* CreateEncodeController() {
  auto* controller = new (std::nothrow) CVzEncodeController();
  if (controller == nullptr) return nullptr;
  controller->AddRef();
  return controller;
}

CVzEncodeController::CVzEncodeController() {
  const int types[4] = {1, 1, 2, 3};
  for (int s = 0; s < 4; ++s) generators_[s].reset(CVseEncodeParamFactory::Create(types[s]));
  Init(nullptr);
}

void CVzEncodeController::Init(const SourceInfo* info) {
  Lock hold(lock_);
  if (info != nullptr) {
    source_type_ = kSourceDescribed;
    const auto& described = generators_[kSourceDescribed];
    for (int i = 0; i < 4; ++i) levels_[kSourceDescribed][i] = described ? described->GetDefaultLevel(i) : 0;
  } else {
    VZ_LOG("Get parameter generator by type=%d", source_type_);
    for (int s : {kSourceCameraAlternative, kSourceCameraLandscape, kSourceCameraPortrait}) {
      for (int i = 0; i < 4; ++i) levels_[s][i] = generators_[s] ? generators_[s]->GetDefaultLevel(i) : 0;
    }
  }
  ClearTimesAndHistory();
}

void CVzEncodeController::ClearTimesAndHistory() {
  times_set_ = false;
  sender_.Clear();
  receiver_.Clear();
}

int CVzEncodeController::Index() {
  if (source_type_ == kSourceDescribed) return CVseBaseEncodeParamGenerator::kSpatialIndexCount - 1;
  int c = std::min(capture_class_, subscription_);
  if (c == kSizeClass720p && !(full_hd_ && capability_class_ == kSizeClass720p)) c = kSizeClass360p;
  if (c == kSizeClass360p && capability_class_ < kSizeClass360p) c = kSizeClass180p;
  c = std::min(c, size_limit_);
  return std::clamp(c, 0, 3);
}

int CVzEncodeController::CappedTop() { return static_cast<int>(generator()->GetCappedHighestLevel(Index())); }

int CVzEncodeController::current_level_for_testing() {
  Lock hold(lock_);
  return Level();
}
int CVzEncodeController::capped_top_level_for_testing() {
  Lock hold(lock_);
  return CappedTop();
}
int CVzEncodeController::spatial_index_for_testing() {
  Lock hold(lock_);
  return Index();
}

int CVzEncodeController::DecreaseThreshold(int level) {
  if (level <= 0) return 75;
  const int32_t now = BitrateOf(level);
  if (now <= 0) return 75;
  return std::min(75, static_cast<int>(static_cast<int64_t>(BitrateOf(level - 1)) * 100 / now - 10));
}

int CVzEncodeController::ThroughputRatio(uint32_t window_ms) {
  Lock hold(lock_);
  if (sender_.fill == 0) return -1;
  auto ratio_of = [](const Ring& ring, uint32_t newest_time, uint64_t window) {
    double w = 1, reference = 0, measured = 0;
    for (int i = 0; i < ring.fill; ++i) {
      const EncodeFeedback& r = ring.Newest(i);
      if (newest_time - r.time >= window) break;
      reference += w * static_cast<double>(r.reference);
      measured += w * static_cast<double>(r.measured);
      w *= 0.8;
    }
    // Nothing offered reads as everything through; offered bytes of which
    // none went out read as 0, never as 100 %.
    return reference == 0 ? 1.0 : measured / reference;
  };
  const uint32_t newest = sender_.Newest(0).time;
  double ratio = ratio_of(sender_, newest, window_ms);
  if (source_type_ == kSourceCameraAlternative && receiver_.fill > 0) {
    ratio *= ratio_of(receiver_, receiver_.Newest(0).time, uint64_t{window_ms} * 90);
  }
  return std::clamp(static_cast<int>(ratio * 100 + 0.5), 0, 100);
}

void CVzEncodeController::Notify() {
  if (level_sink_ != nullptr) level_sink_->OnEncodeLevelChanged();
}

VseResult CVzEncodeController::SendStatistics(uint32_t time_ms, int32_t result, int32_t length, int32_t priority,
                                              bool fec) {
  if (result == 2 || result < 0 || result > 2 || length <= 0) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (!period_open_) {
    period_open_ = true;
    period_start_ = time_ms;
  }
  if (result == 1 && priority == 0) {
    offered_ += length;
    if (!base_drop_noted_) {
      base_drop_noted_ = true;
      base_drop_time_ = time_ms;
    } else if (time_ms - base_drop_time_ >= 400) {
      EncodeFeedback drop;
      drop.time = time_ms;
      drop.kind = 1;
      UpdateFilterInfo(1, &drop);
      base_drop_time_ = time_ms;
    }
  } else if (priority != 15 && !fec) {
    offered_ += length;
    if (result == 0) sent_ += length;
  }
  if (time_ms - period_start_ >= 500) {
    EncodeFeedback record;
    record.time = time_ms;
    record.kind = 0;
    record.reference = offered_;
    record.measured = sent_;
    if (UpdateFilterInfo(1, &record) == VSE_S_OK) {
      period_start_ = time_ms;
      offered_ = sent_ = 0;
    }
  }
  return VSE_S_OK;
}

VseResult CVzEncodeController::UpdateFilterInfo(int32_t filter_id, const EncodeFeedback* record) {
  if (record == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (filter_id == 0) {
    if (source_type_ != kSourceCameraAlternative) return VSE_E_INVALIDARG;
    if (record->bandwidth != 0) downlink_ = int64_t{8} * record->bandwidth;
    downlink_overhead_ = record->loss != 0 ? OverheadFromLoss(record->loss, downlink_) : 0.0f;
    if (record->kind == 1) {
      kind1_pending_ = true;
    } else {
      receiver_.Add(*record);
    }
    return VSE_S_OK;
  }
  if (filter_id != 1) {
    VZ_LOG("{Encoder Control} error filter ID");
    return 1;
  }
  if (record->kind == 0) sender_.Add(*record);
  if (record->kind == 1 || kind1_pending_) {
    kind1_pending_ = false;
    base_loss_ = true;
  }
  Decide(VZSE_::NowMs());
  return VSE_S_OK;
}

void CVzEncodeController::Decide(uint32_t now) {
  delta_ = 0;
  changed_ = false;
  if (!times_set_) {
    times_set_ = true;
    last_increase_ = last_decrease_ = now;
  }
  const int level = Level();
  const uint32_t hold = generator()->IsLastLevelOfRow(level) ? kRowEndHoldMs : kHoldMs;
  enum { kNone, kUp, kDown } direction = kNone;
  if (!base_loss_) {
    const int ratio = ThroughputRatio(hold);
    if (ratio < 0) return;  // no sender records yet: nothing to decide on
    if (ratio > 97 && (Later(now, last_increase_, hold) || probe_subscription_) && level < CappedTop()) {
      direction = kUp;
    }
    const int ratio2 = hold != kHoldMs ? ThroughputRatio(kHoldMs) : ratio;
    if (!(ratio2 >= DecreaseThreshold(level) || !Later(now, last_decrease_, kDecreaseGapMs))) direction = kDown;
  } else {
    direction = kDown;
  }
  if (direction == kDown) {
    const int rate = base_loss_ ? 65 : std::max(ThroughputRatio(kHoldMs), 0);
    const double target = (1.0 - uplink_overhead_) * (static_cast<double>(rate) * BitrateOf(level) / 80.0);
    delta_ = std::clamp(LevelFor(target) - level, -4, 0);
  } else if (direction == kUp) {
    delta_ = 1;
  }
  ApplyLevelLimitation(now);
  if (changed_ && level_sink_ != nullptr) {
    const int next = Level() + delta_;
    if (generator()->IsSameRow(next, Level())) {
      sender_.Clear();
      receiver_.Clear();
    }
    Level() = next;
    VZ_LOG("{Encoder Control} SourceType = %d level=%d bitrate=%d", source_type_, next, BitrateOf(next));
    Notify();
  }
  base_loss_ = false;
}

int CVzEncodeController::BandwidthLimit() {
  CVseBaseEncodeParamGenerator* g = generator();
  const double usable = static_cast<double>(uplink_) * (1.0 - uplink_overhead_) * 90.0 / 100.0;
  int up = LevelFor(usable);
  if (up <= g->GetCappedHighestLevel(1)) {
    up = LevelFor(usable * 105.0 / 100.0);
  } else if (up <= g->GetCappedHighestLevel(0)) {
    up = LevelFor(usable * 110.0 / 100.0);
  }
  int limit = up;
  if (source_type_ == kSourceCameraAlternative) {
    limit = std::min(up, LevelFor(static_cast<double>(downlink_) * (1.0 - downlink_overhead_) * 90.0 / 100.0));
  }
  return std::min(limit, CappedTop());
}

void CVzEncodeController::ResetProbe() {
  probing_ = false;
  probe_returned_ = false;
  returned_probe_bandwidth_ = 0;
  probe_target_ = -1;
}

bool CVzEncodeController::ProbeDecision(int target, uint32_t now) {
  const int limit = BandwidthLimit();
  const double needed = static_cast<double>(BitrateOf(target)) * 100.0 / ((1.0 - uplink_overhead_) * 90.0);
  const int32_t delta = static_cast<int32_t>(std::max<double>(kMinProbeBitrate, needed - static_cast<double>(uplink_)));
  if (BitrateOf(target) - BitrateOf(Level()) < 100000) {
    ResetProbe();
    up_level_ = true;
    VZ_LOG("{Encoder Control} SourceType = %d level=%d, noprobing", source_type_, target);
    return true;
  }
  if ((!probed_once_ || Later(now, last_probe_, kProbeGapMs)) && limit < target && !probing_) {
    if (controller_sink_ != nullptr) controller_sink_->OnProbingDeltaBitrate(static_cast<int32_t>(source_id_), delta / 1024);
    probed_once_ = true;
    last_probe_ = now;
    probing_ = true;
    probe_returned_ = false;
    probe_target_ = target;
    returned_probe_bandwidth_ = 0;
    VZ_LOG("{Encoder Control} SourceType = %d level=%d delta=%d, invokeprobing", source_type_, target, delta);
    return false;
  }
  if (probing_) {
    if (probe_returned_) {
      const bool ok = limit >= target;
      VZ_LOG("{Encoder Control} SourceType = %d level=%d, %s", source_type_, target,
             ok ? "probingsuccess" : "probingfailed");
      ResetProbe();
      return ok;
    }
    VZ_LOG("{Encoder Control} SourceType = %d level=%d, waitprobebandwidth", source_type_, target);
    return false;
  }
  if (limit < target) {
    ResetProbe();
    up_level_ = true;
    VZ_LOG("{Encoder Control} SourceType = %d level=%d, noprobing", source_type_, target);
    return false;
  }
  ResetProbe();
  VZ_LOG("{Encoder Control} SourceType = %d level=%d, enoughbandwidth", source_type_, target);
  return true;
}

void CVzEncodeController::ApplyLevelLimitation(uint32_t now) {
  const int level = Level();
  const int top = CappedTop();
  const uint32_t hold = generator()->IsLastLevelOfRow(level) ? kRowEndHoldMs : kHoldMs;
  int target = std::clamp(level + delta_, 0, top);
  if ((!Later(now, last_increase_, hold) && !probe_subscription_) || target <= level) {
    const int limit = BandwidthLimit();
    const int lower = std::min(limit, target);
    if (Later(now, last_decrease_, kDecreaseGapMs) && lower < level) {
      delta_ = lower - level;
      changed_ = true;
      last_decrease_ = now;
    } else {
      delta_ = 0;
    }
    ResetProbe();
  } else {
    if (probe_subscription_ && probe_target_ >= 0) target = std::max(target, std::min(probe_target_, top));
    up_level_ = false;
    const bool allowed = ProbeDecision(target, now);
    delta_ = 0;
    if (allowed) {
      delta_ = target - level;
      changed_ = delta_ != 0;
      last_increase_ = now;
    }
    if (up_level_) {
      const int limit = BandwidthLimit();
      const int adjusted = std::clamp(level + delta_, 0, limit);
      VZ_LOG("{Encoder Control}  SourceType = %d nCurLevel =%d nLevelLimitation=%d nAdjustLevel=%d", source_type_,
             level, limit, adjusted);
      if (adjusted > level) {
        delta_ = adjusted - level;
        changed_ = true;
        last_increase_ = now;
      } else if (adjusted < level && Later(now, last_decrease_, kDecreaseGapMs)) {
        delta_ = adjusted - level;
        changed_ = true;
        last_decrease_ = now;
      } else {
        delta_ = 0;
        changed_ = false;
      }
    }
  }
  // At the top for long with everything through: rate control steps aside once.
  const int current = Level();
  if (ThroughputRatio(15000) == 100 && current == top && delta_ == 0 && Later(now, last_increase_, 15000) &&
      Later(now, last_decrease_, 15000)) {
    if (generator()->GetRateControl(current) == 1) {
      generator()->SetRateControl(current, 0);
      changed_ = true;
    }
  } else {
    generator()->SetRateControl(current, 1);
  }
}

float CVzEncodeController::OverheadFromLoss(int32_t loss, int64_t bandwidth) {
  const int c = fec::LossClass(loss) * 10;
  EncodeLevel level;
  if (source_type_ == kSourceCameraPortrait || generator()->GetLevel(Level(), &level) != VSE_S_OK) {
    return static_cast<float>(std::min(70, c)) / 100.0f;
  }
  int64_t e = 0, g = 0, s = 0;
  for (int i = 0; i < level.layer_count; ++i) {
    const int64_t area = int64_t{level.widths[i]} * level.heights[i];
    const double x = area <= 240 * 135 ? 1.1 : (area <= 480 * 270 ? 0.8 : 0.6);
    g += level.bitrates[i];
    e += static_cast<int64_t>(c * x * level.bitrates[i] / 100);
    s += g + e;
    if (s > bandwidth) break;
  }
  if (s <= 0) return static_cast<float>(std::min(70, c)) / 100.0f;
  return static_cast<float>(std::min<int64_t>(70, e * 100 / s)) / 100.0f;
}

VseResult CVzEncodeController::UpdateUpLinkStat(const UplinkStat* stat, int32_t /*unused*/) {
  if (stat == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (VZSE_::NowMs() / 1000 % 10 == 0) {
    VZ_LOG("UpdateUpLinkStat to status =%d bandwidth=%d RTT=%d lossRate=%d Jitter=%d", stat->status, stat->bandwidth,
           stat->rtt, stat->loss_rate, stat->jitter);
  }
  int64_t bandwidth = stat->bandwidth;
  if (probing_) {
    returned_probe_bandwidth_ = stat->bandwidth;
    probe_returned_ = true;
    VZ_LOG("{Encoder Control} SourceType = %d returnProbingBandwidth = %d", source_type_, stat->bandwidth);
  }
  const bool changed = bandwidth != uplink_;
  if (changed) {
    uplink_ = bandwidth;
    VZ_LOG("{Encoder Control} SourceType = %d uplinkBandwidth = %d", source_type_, stat->bandwidth);
  }
  if (stat->status == 8) {
    VZ_LOG("{Encoder Control} SourceType = %d realloc->uplinkBandwidth = %d", source_type_, static_cast<int>(uplink_));
    UpdateLevelBandwidthRealloc(VZSE_::NowMs());
  }
  if (changed && source_type_ != kSourceDescribed && capture_class_ != kSizeClass720p) UpdateCaptureParameter();
  return VSE_S_OK;
}

void CVzEncodeController::UpdateLevelBandwidthRealloc(uint32_t now) {
  const int64_t bandwidth = source_type_ == kSourceCameraAlternative ? std::min(uplink_, downlink_) : uplink_;
  const int level = std::min(CappedTop(), LevelFor(static_cast<double>(bandwidth)));
  if (level == Level()) return;
  const bool lower = level < Level();
  Level() = level;
  VZ_LOG("{Encoder Control} SourceType = %d up-bandwidth=%d downbandwidth=%d", source_type_, static_cast<int>(uplink_),
         static_cast<int>(downlink_));
  Notify();
  if (lower) {
    last_decrease_ = now;
  } else {
    last_increase_ = now;
  }
}

VseResult CVzEncodeController::SetProbingBandwidth(int32_t bandwidth) {
  Lock hold(lock_);
  if (source_type_ == kSourceDescribed || bandwidth < 0) return VSE_E_INVALIDARG;
  probe_bandwidth_ = bandwidth;
  returned_probe_bandwidth_ = bandwidth;
  VZ_LOG("{Encoder Control} SourceType = %d probBandwidth=%d", source_type_, bandwidth);
  return UpdateCaptureParameter();
}

int CVzEncodeController::CaptureRequirement() {
  if (source_type_ == kSourceDescribed) VZ_LOG_ERROR("0");  // the system's own text: a described source has no camera
  if (device_class_ == 0) return 0;
  if (device_class_ == 1) return 1;
  int requirement = 2;
  const int32_t hd = generator()->GetHDVideoBWThreshold();
  const bool bandwidth_ok = uplink_ >= hd && (source_type_ != kSourceCameraAlternative || downlink_ >= hd);
  if (capability_class_ == kSizeClass720p && subscription_ == kSizeClass720p && device_class_ == 3 &&
      raised_performance_ && (performance_class_ == 3 || performance_class_ == 4) && full_hd_ && bandwidth_ok) {
    requirement = 3;
  }
  if (performance_class_ == 1 || capability_class_ < kSizeClass360p) requirement = 1;
  return requirement;
}

bool CVzEncodeController::ChooseCapture(int32_t count, const VideoFormat* caps, VideoFormat* chosen) {
  if (count <= 0 || caps == nullptr) return false;
  auto best_for = [&](int w, int h, float min_rate, VideoFormat* out) {
    int best = -1;
    int64_t best_diff = 0;
    for (int i = 0; i < count; ++i) {
      const VideoFormat& f = caps[i];
      const float top = f.max_frame_rate();
      if (f.width < w || f.height < h || top < min_rate || f.frame_rate > 30.0f) continue;
      const int64_t diff = int64_t{f.width - w} + (f.height - h);
      if (best < 0 || diff < best_diff) {
        best = i;
        best_diff = diff;
      } else if (diff == best_diff) {
        if (f.video_type > kLastVideoType) break;
        const VideoFormat& b = caps[best];
        if (FormatRank(f.video_type) < FormatRank(b.video_type) ||
            (FormatRank(f.video_type) == FormatRank(b.video_type) && top > b.max_frame_rate())) {
          best = i;
        }
      }
    }
    if (best >= 0) *out = caps[best];
    return best >= 0;
  };
  const int requirement = CaptureRequirement();
  if (requirement >= 3 && best_for(1280, 720, 15, chosen)) return true;
  if (requirement >= 2 && best_for(640, 360, 24, chosen)) return true;
  if (requirement >= 1 && best_for(320, 180, 24, chosen)) return true;
  *chosen = caps[0];
  return true;
}

VseResult CVzEncodeController::GetCaptureCapability(int32_t count, const VideoFormat* caps, int32_t performance,
                                                   VideoFormat* chosen) {
  if (caps == nullptr || chosen == nullptr || count <= 0) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  performance_class_ = performance;
  return ChooseCapture(count, caps, chosen) ? VSE_S_OK : VSE_E_FAIL;
}

VseResult CVzEncodeController::SetCaptureCameraCapability(int32_t count, const VideoFormat* caps,
                                                         int32_t performance) {
  if (caps == nullptr || count <= 0) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  capabilities_.assign(caps, caps + count);
  performance_class_ = performance;
  return Reevaluate();
}

VseResult CVzEncodeController::UpdateCaptureParameter() {
  if (capture_class_ == kSizeClass720p && has_capture_) return VSE_S_OK;
  if (capabilities_.empty()) return VSE_S_OK;
  VideoFormat chosen{};
  if (!ChooseCapture(static_cast<int32_t>(capabilities_.size()), capabilities_.data(), &chosen)) return VSE_E_FAIL;
  const bool changed = !has_capture_ || chosen.width != chosen_capture_.width ||
                       chosen.height != chosen_capture_.height || chosen.video_type != chosen_capture_.video_type ||
                       chosen.frame_rate != chosen_capture_.frame_rate || chosen.extra != chosen_capture_.extra;
  if (!changed) return VSE_S_OK;
  chosen_capture_ = chosen;
  has_capture_ = true;
  below_hd_ = chosen.width < 1280 || chosen.height < 720;
  capture_class_ = chosen.width >= 1280 && chosen.height >= 720   ? kSizeClass720p
                   : chosen.width >= 640 && chosen.height >= 360 ? kSizeClass360p
                   : chosen.width >= 320 && chosen.height >= 180 ? kSizeClass180p
                                                                 : kSizeClassSmallest;
  VZ_LOG("{Encoder Control} bUpdateCapture = %d pSink=0x%016llX", 1,
         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(controller_sink_)));
  if (controller_sink_ != nullptr) controller_sink_->OnCaptureParameterChanged(chosen);
  return VSE_S_OK;
}

void CVzEncodeController::ProbingSubscription(uint32_t now) {
  const int level = Level();
  if (level > backup_level_) {
    Level() = backup_level_;
    const bool allowed = ProbeDecision(level, now);
    probe_subscription_ = probing_;
    if (probing_) last_probe_ = now;
    if (allowed) {
      Level() = level;
      last_increase_ = now;
      changed_ = true;
    } else {
      changed_ = false;
    }
  } else {
    probe_target_ = -1;
    probe_subscription_ = false;
    changed_ = true;
  }
}

VseResult CVzEncodeController::UpdateDefaultLevel() {
  const int index = Index();
  const int before = Level();
  const int64_t bandwidth = source_type_ == kSourceCameraAlternative ? std::min(uplink_, downlink_) : uplink_;
  const int level =
      std::min({generator()->GetDefaultLevel(index), LevelFor(static_cast<double>(bandwidth)), CappedTop()});
  backup_level_ = level;
  Level() = level;
  const uint32_t now = VZSE_::NowMs();
  ProbingSubscription(now);
  VZ_LOG("{Encoder Control} level=%d", Level());
  if (changed_ || Level() != before) Notify();
  changed_ = false;
  ClearTimesAndHistory();
  return VSE_S_OK;
}

VseResult CVzEncodeController::Reevaluate() {
  if (source_type_ != kSourceDescribed && capture_class_ != kSizeClass720p && UpdateCaptureParameter() != VSE_S_OK) {
    return VSE_E_FAIL;
  }
  return UpdateDefaultLevel();
}

VseResult CVzEncodeController::SetSubscription(int32_t count, const SubscriptionRecord* records) {
  if (count < 0 || (count > 0 && records == nullptr)) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  const bool portrait = source_type_ == kSourceCameraPortrait;
  int status = kSizeClassSmallest;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t w = records[i].width, h = records[i].height;
    int s = kSizeClassSmallest;
    if (w >= 1280 || h >= 720) {
      s = kSizeClass720p;
    } else if (portrait ? (w >= 384 && h >= 600) : (w >= 640 && h >= 360)) {
      s = kSizeClass360p;
    } else if (portrait ? (w >= 192 && h >= 300) : (w >= 320 && h >= 180)) {
      s = kSizeClass180p;
    }
    status = std::max(status, s);
  }
  if (status == subscription_) return VSE_S_OK;
  subscription_ = status;
  VZ_LOG("{Encoder Control} SourceType = %d SubscriptionStatus=%d", source_type_, status);
  return Reevaluate();
}

VseResult CVzEncodeController::SetDeviceClass(int32_t value) {
  Lock hold(lock_);
  if (value == device_class_) return VSE_S_OK;
  device_class_ = value;
  return Reevaluate();
}

VseResult CVzEncodeController::SetCameraMode(int32_t mode) {
  Lock hold(lock_);
  if (source_type_ == kSourceDescribed) return VSE_E_INVALIDARG;
  const int target = mode == 1 ? kSourceCameraAlternative : kSourceCameraLandscape;
  if (target == source_type_ || !generators_[target]) return VSE_S_OK;
  const int32_t old_bitrate = BitrateOf(Level());
  source_type_ = target;
  const int index = Index();
  int level = std::min(CappedTop(), generator()->GetLevelForBitrate(old_bitrate) - 1);
  level = std::max(level, 0);
  if (target == kSourceCameraLandscape && index >= 1 && level <= generator()->GetHighestLevel(0)) {
    level = generator()->GetHighestLevel(0) + 1;
  }
  Level() = level;
  ClearTimesAndHistory();
  VZ_LOG("{Encoder Control} SourceType = %d level=%d", source_type_, level);
  Notify();
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetCapabilityClass(int32_t value) {
  Lock hold(lock_);
  if (source_type_ == kSourceDescribed) return VSE_E_INVALIDARG;
  if (value == capability_class_) return VSE_S_OK;
  capability_class_ = value;
  return Reevaluate();
}

VseResult CVzEncodeController::AdjustPerformance(int32_t direction) {
  Lock hold(lock_);
  if (source_type_ == kSourceDescribed) return VSE_E_INVALIDARG;
  CVseBaseEncodeParamGenerator* g = generator();
  const int32_t result = g->AdjustPerformanceLevel(direction, g->GetPerformanceLevel());
  raised_performance_ = g->GetPerformanceLevel() > 3;
  if ((result & 1) == 0) return VSE_S_OK;
  return Reevaluate();
}

VseResult CVzEncodeController::SetControllerSink(IVideoEncodeControllerSink* sink) {
  Lock hold(lock_);
  controller_sink_ = sink;
  return VSE_S_OK;
}

VseResult CVzEncodeController::EnablePeriodicIntraCoding(bool on) {
  Lock hold(lock_);
  periodic_intra_ = on;
  return VSE_S_OK;
}

VseResult CVzEncodeController::GetEncodeConfiguration(EncodeParams* out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  out->codec_type = 1;
  out->camera_type = has_capture_ ? chosen_capture_.video_type : 0;
  out->below_hd = source_type_ == kSourceDescribed ? 0 : (below_hd_ ? 1 : 0);
  if (generator()->GetLevel(Level(), &out->level) != VSE_S_OK) return VSE_E_FAIL;
  out->level.periodic_intra = source_type_ == kSourceDescribed ? 1 : (periodic_intra_ ? 1 : 0);
  out->level.long_term_reference = source_type_ == kSourceCameraAlternative ? 1 : 0;
  out->level.multi_slice = source_type_ == kSourceCameraLandscape && out->level.layer_count == 4 ? 1 : 0;
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetFullHd(int32_t on) {
  if (on != 0 && on != 1) return 1;
  Lock hold(lock_);
  if ((on == 1) == full_hd_) return VSE_S_OK;
  full_hd_ = on == 1;
  return Reevaluate();
}

VseResult CVzEncodeController::SetSourceId(uint32_t id) {
  Lock hold(lock_);
  source_id_ = id;
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetUplinkOverheadRatio(float ratio) {
  Lock hold(lock_);
  uplink_overhead_ = std::clamp(ratio, 0.0f, 0.7f);
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetSourceBitrate(int32_t bitrate) {
  Lock hold(lock_);
  source_bitrate_ = bitrate;
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetLevelChangeSink(IEncodeLevelChangeSink* sink) {
  Lock hold(lock_);
  level_sink_ = sink;
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetSourceInfo(const SourceInfo* info) {
  if (info == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  VZ_LOG("SourceType = %d nWidth=%d nHeight=%d fps=%d source_type=%d", info->type, info->width, info->height,
         info->frame_rate, source_type_);
  if (info->type == kSourceDescribed) {
    Init(info);
  } else if (info->type == kSourceCameraLandscape || info->type == kSourceCameraPortrait) {
    source_type_ = info->type;
    Init(nullptr);
  }
  return VSE_S_OK;
}

VseResult CVzEncodeController::IsAtTopLevel(int32_t* out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  *out = Level() >= CappedTop() ? 1 : 0;
  return VSE_S_OK;
}

VseResult CVzEncodeController::IsAtLevelZero(int32_t* out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  *out = Level() == 0 ? 1 : 0;
  return VSE_S_OK;
}

VseResult CVzEncodeController::GetBitrates(int32_t* level_zero, int32_t* current) {
  if (level_zero == nullptr || current == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  *level_zero = BitrateOf(0);
  *current = BitrateOf(Level());
  return VSE_S_OK;
}

VseResult CVzEncodeController::SetSizeLimit(int32_t width, int32_t height) {
  Lock hold(lock_);
  if (size_limit_set_ && width == size_limit_w_ && height == size_limit_h_) return VSE_S_OK;
  size_limit_set_ = true;
  size_limit_w_ = width;
  size_limit_h_ = height;
  if (source_type_ == kSourceCameraPortrait) {
    size_limit_ = width >= 384 && height >= 600 ? 2 : (width >= 192 && height >= 192 ? 1 : 0);
  } else {
    size_limit_ = width >= 1280 && height >= 720  ? 3
                  : width >= 640 && height >= 360 ? 2
                  : width < 320 || height < 180   ? 0
                                                  : 1;
  }
  return VSE_S_OK;
}
