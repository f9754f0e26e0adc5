#include "video/engine/send/vz_send_adaptor.h"

#include <algorithm>

#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_header_extension.h"

namespace {

using W = vzh264::EncoderParam;

// Shares of a layer's bit rate over its temporal priorities.
constexpr double kShares[3][3] = {{1.0, 0, 0}, {0.6, 0.4, 0}, {0.4, 0.3, 0.3}};

// Raises the priority-0 threshold at low rates, where one key frame is a
// large part of 600 ms.
float LowRateFactor(uint32_t rate) {
  if (rate <= 100000) return 1.66667f;
  if (rate > 200000) return 1.0f;
  return 1.66667f - static_cast<float>(rate - 100000) * 0.66667f / 100000.0f;
}

}  // namespace

CVzSendAdaptor::CVzSendAdaptor() : origin_us_(VZSE_::MonotonicMicroseconds()) { SetBandwidth(kInitialRate); }

int64_t CVzSendAdaptor::NowUs() const {
  const int64_t now = VZSE_::MonotonicMicroseconds();
  return now >= origin_us_ ? now - origin_us_ : 0;
}

int32_t CVzSendAdaptor::Fill600() const { return static_cast<int32_t>(static_cast<double>(rate_) / 8000.0 * 600.0); }

int32_t CVzSendAdaptor::Leak() {
  const int64_t now = NowUs();
  int64_t elapsed = now - last_leak_us_;
  if (elapsed < 0) {
    // A clock step back: nothing leaks, and the leak restarts from now.
    last_leak_us_ = now;
    elapsed = 0;
  }
  const int64_t leak = std::max<int64_t>(0, static_cast<int64_t>(rate_ / 8000) * (elapsed / 1000));
  last_leak_us_ += elapsed;
  return static_cast<int32_t>(std::max<int64_t>(0, occupancy_ - leak));
}

int CVzSendAdaptor::PacketPriority(const uint8_t* data, int32_t length, int32_t* slot_priority) const {
  const uint8_t* element = nullptr;
  if (data == nullptr ||
      !vz::rtp::FindOneByteElementOfLength(data, length, 1, CRtpOneByteHeaderExtend_Priority::kLength, &element)) {
    return 15;
  }
  int p = 15;
  for (int slot = 0; slot <= max_mode_; ++slot) {
    p = std::min(p, CRtpOneByteHeaderExtend_Priority::GetPriority(element, slot));
  }
  if (slot_priority != nullptr) *slot_priority = CRtpOneByteHeaderExtend_Priority::GetPriority(element, max_mode_);
  return p;
}

int32_t CVzSendAdaptor::AdaptFrame(const uint8_t* data, int32_t length, int32_t total, uint32_t time_stamp,
                                   int32_t* priority) {
  const int32_t new_occ = Leak();
  const int p = PacketPriority(data, length, priority);
  FeedWindow(time_stamp, total, p);
  const uint32_t key = data != nullptr && length >= 8
                           ? vz::Load32(data + 4)
                           : 0;
  int32_t result = kAdaptSend;
  if (p == 15) {
    VZ_LOG("[Sender Adaptor]  packaet is NOUSE!!!");
    result = kAdaptUnusable;
  } else if (p > 15) {
    VZ_LOG_ERROR("prioirty <= 0x0F");
    VZ_LOG("[Sender Adaptor]  GetPriority error, priority=%d", p);
    result = kAdaptUnusable;
  } else if (p >= 1) {
    if (new_occ + total >= thresholds_[p]) {
      VZ_LOG("[Sender Adaptor] threshold=%d prioirty=%d", thresholds_[p], p);
      result = kAdaptDropForRate;
    } else if (last_idr_dropped_) {
      VZ_LOG("[Sender Adaptor] lastIDRDrooped is true");
      result = kAdaptDropForRate;
    }
  } else if (new_occ + total < thresholds_[0]) {
    last_idr_dropped_ = false;
  } else if (drop_p0_ || max_mode_ == 0) {
    last_idr_dropped_ = true;
    VZ_LOG("[Sender Adaptor]  lNewOcc = %d ulPacketLen=%d levelThresHold[0]=%d enableDropP0=%d nMaxMode=%d", new_occ,
           total, thresholds_[0], drop_p0_ ? 1 : 0, max_mode_);
    result = kAdaptDropForRate;
  } else {
    last_idr_dropped_ = false;
  }
  if (result != kAdaptUnusable) {
    last_priority_ = p;
    last_key_ = key;
    last_result_ = result;
  }
  occupancy_ = result == kAdaptSend ? new_occ + total : new_occ;
  return result;
}

int32_t CVzSendAdaptor::AdaptPacket(uint32_t time_stamp, const uint8_t* data, int32_t length, int32_t* priority) {
  const int32_t new_occ = Leak();
  const int p = PacketPriority(data, length, priority);
  FeedWindow(time_stamp, length, p);
  if (p >= 15) {
    if (p > 15) VZ_LOG_ERROR("prioirty <= 0x0F");
    occupancy_ = new_occ;
    return kAdaptUnusable;
  }
  const uint32_t key = data != nullptr && length >= 8
                           ? vz::Load32(data + 4)
                           : 0;
  int32_t result = kAdaptSend;
  if (p == last_priority_ && key == last_key_) {
    result = last_result_;  // every packet of a frame shares its decision
  } else if (p >= 1) {
    result = new_occ >= thresholds_[p] ? kAdaptDropForRate : kAdaptSend;
  } else {
    result = new_occ >= thresholds_[0] && (drop_p0_ || max_mode_ == 0) ? kAdaptDropForRate : kAdaptSend;
  }
  last_priority_ = p;
  last_key_ = key;
  last_result_ = result;
  occupancy_ = result == kAdaptSend ? new_occ + length : new_occ;
  return result;
}

void CVzSendAdaptor::ScaleBaseThreshold() {
  thresholds_[0] = static_cast<int32_t>(static_cast<float>(thresholds_[0]) * LowRateFactor(rate_));
}

void CVzSendAdaptor::ResetLevelThreshold(int32_t rate) {
  VZ_LOG("bandwidth=%d max_mode=%d", rate, max_mode_);
  const uint32_t r = rate == -1 ? rate_ : static_cast<uint32_t>(rate);
  const double fill = static_cast<double>(r) * 0.125 * 600.0 / 1000.0;
  if (fill == 0) {
    std::fill(thresholds_, thresholds_ + kPriorities, 0);
    return;
  }
  if (layers_known_) {
    GenerateBitrateRatio();
    last_idr_dropped_ = false;
    return;
  }
  // The fill is truncated before the division (157,286 / 22.5 x 14 = 97,866).
  const int32_t whole = static_cast<int32_t>(fill);
  thresholds_[0] = whole;
  for (int k = 1; k < kPriorities; ++k) thresholds_[k] = static_cast<int32_t>((15 - k) * (whole / 22.5));
  const uint32_t saved = rate_;
  rate_ = r;
  ScaleBaseThreshold();
  rate_ = saved;
  last_idr_dropped_ = false;
}

void CVzSendAdaptor::SetBandwidth(uint32_t rate) {
  if (rate == rate_) return;
  rate_ = rate;
  VZ_LOG("[Encoder Control] m_dwRate = %d m_nMaxMode=%d", rate, max_mode_);
  if (layers_known_) {
    GenerateBitrateRatio();
  } else if (thresholds_[0] != 0) {
    const double fill = Fill600();
    const double base = thresholds_[0];
    for (int k = kPriorities - 1; k >= 0; --k) {
      thresholds_[k] = static_cast<int32_t>(thresholds_[k] / base * fill);
    }
  } else {
    ResetLevelThreshold(-1);
  }
  occupancy_ = std::min(occupancy_, thresholds_[0]);
}

bool CVzSendAdaptor::SetMaxMode(int32_t mode) {
  // A mode below 0 (an output count of 0) would leave no slot to read and
  // drop every frame as unusable: refused like those above 3.
  if (mode < 0 || mode > 3) return false;
  if (mode == max_mode_) return true;
  max_mode_ = mode;
  std::fill(counters_, counters_ + kPriorities, 0);
  std::fill(smoothed_, smoothed_ + kPriorities, 0);
  window_started_ = false;
  VZ_LOG("[Sender Adaptor] m_nMaxMode=%d m_lPreOcc=%d m_LevelThresHold[0]=%d", max_mode_, occupancy_, thresholds_[0]);
  return true;
}

void CVzSendAdaptor::EnableDropP0(bool on) {
  if (on == drop_p0_) return;
  VZ_LOG("[Sender CONTROL] bEnable=%d m_bEnableDropP0=%d", on ? 1 : 0, drop_p0_ ? 1 : 0);
  drop_p0_ = on;
}

void CVzSendAdaptor::SetCongestStatus(int32_t status) {
  if (congestion_switch_ != 1) return;
  if (status == 2) occupancy_ = std::max(occupancy_, thresholds_[0] / 2);
  if (status == 4) occupancy_ = std::max(occupancy_, thresholds_[0] * 3 / 4);
  VZ_LOG("[SENDER CONTROL]  Congest Status is %d PreOcc is=%d", status, occupancy_);
}

void CVzSendAdaptor::SetEncoderParam(const vzh264::EncoderParam& param) {
  layers_ = param;
  layers_known_ = true;
  if (layers_.At(W::kPadding) == 0) GenerateBitrateRatio();
}

void CVzSendAdaptor::GenerateBitrateRatio() {
  double b[kPriorities] = {};
  const int layers = std::clamp(static_cast<int>(layers_.At(W::kSpatialLayers)), 0, W::kMaxSpatialLayers);
  const float max_rate = layers_.FloatAt(W::kFrameRate);
  const int temporal = static_cast<int>(layers_.At(W::kTemporalLevels));
  for (int k = 0; k < layers && max_rate > 0; ++k) {
    const float rate = std::bit_cast<float>(layers_.Layer(k, W::kLayerFrameRate));
    const int count = static_cast<int>(rate / max_rate * static_cast<float>(temporal) + 0.5f);
    int max_priority = count - 1;
    if (max_priority < 0) continue;
    if (max_priority > 2) {
      VZ_LOG_ERROR("priority error, iMaxPriority = %d", max_priority);
      max_priority = 2;  // the share table has rows for up to three
    }
    for (int i = 0; i <= max_priority; ++i) {
      const int q = max_priority == 0 ? 0 : static_cast<int>(15.0 / (max_priority + 2) * i + 0.5);
      b[q] += static_cast<double>(layers_.Layer(k, W::kLayerBitrate)) * kShares[max_priority][i];
    }
  }
  double sum = 0;
  for (double v : b) sum += v;
  int32_t cum[kPriorities];
  bool present[kPriorities];
  double running = 0;
  for (int j = 0; j < kPriorities; ++j) {
    running += b[j];
    cum[j] = sum == 0 ? j * 100 / 14 : static_cast<int32_t>(running * 100 / sum);
    present[j] = b[j] != 0;
  }
  ApplyDistribution(cum, present, true);
}

void CVzSendAdaptor::ApplyDistribution(const int32_t cum[kPriorities], const bool present[kPriorities],
                                       bool forced) {
  if (!forced && layers_known_ && layers_.At(W::kPadding) == 0) return;
  int32_t out[kPriorities] = {};
  int marks[kPriorities];
  int r = -1;
  for (int j = 0; j < kPriorities; ++j) {
    if (present[j]) marks[++r] = j;
  }
  if (present[0]) {
    if (r == 0) {
      for (int j = 0; j < kPriorities; ++j) out[j] = j * 100 / 15;
    } else {
      const int m1 = marks[1];
      for (int j = 1; j <= m1; ++j) out[j] = static_cast<int32_t>(static_cast<double>(j) * cum[0] / m1);
      for (int i = 2; i <= r; ++i) {
        const int lo = marks[i - 1], hi = marks[i];
        const double from = cum[marks[i - 2]], to = cum[lo];
        for (int j = lo + 1; j <= hi; ++j) {
          out[j] = static_cast<int32_t>(from + static_cast<double>(j - lo) / (hi - lo) * (to - from));
        }
      }
      const int last = marks[r];
      const double from = cum[marks[r - 1]], to = cum[last];
      for (int j = last + 1; j < kPriorities; ++j) {
        out[j] = static_cast<int32_t>(from + static_cast<double>(j - last) / (15 - last) * (to - from));
      }
    }
  }
  const int64_t fill = Fill600();
  for (int i = 0; i < kPriorities; ++i) thresholds_[i] = static_cast<int32_t>((100 - out[i]) * fill / 100);
  ScaleBaseThreshold();
}

void CVzSendAdaptor::FeedWindow(uint32_t time_stamp, int32_t length, int p) {
  if (p < 0 || p >= kPriorities) return;
  if (!window_started_) {
    window_started_ = true;
    window_start_ = time_stamp;
  }
  counters_[p] += std::max(length, 0);
  if (time_stamp - window_start_ < kWindowMs) return;
  int64_t total = 0;
  for (int64_t c : counters_) total += c;
  if (total == 0) {
    std::fill(counters_, counters_ + kPriorities, 1);
    total = kPriorities;
  }
  bool present[kPriorities];
  int64_t running = 0;
  for (int i = 0; i < kPriorities; ++i) {
    present[i] = counters_[i] != 0;
    running += counters_[i];
    const int32_t pct = static_cast<int32_t>(running * 100 / total);
    smoothed_[i] = smoothed_[i] != 0 ? (pct + 3 * smoothed_[i]) / 4 : pct;
  }
  ApplyDistribution(smoothed_, present, false);
  std::fill(counters_, counters_ + kPriorities, 0);
  window_start_ = time_stamp;
}
