#include "video/engine/send/network_policy.h"

#include <algorithm>

#include "video/engine/send/vz_encode_controller.h"
#include "video/engine/send/vz_send_controller.h"

namespace {

void GiveRate(CVzSendController* controller, uint32_t rate) {
  if (controller != nullptr) controller->SetOption(1, &rate);
}

}  // namespace

void CSimpleNetworkPolicy::Update(const UplinkStat& stat, uint32_t /*now_ms*/, bool /*hold*/,
                                  CVzSendController* controller) {
  bandwidth_ = static_cast<uint32_t>(stat.bandwidth < 0 ? 0 : stat.bandwidth);
  status_ = stat.status;
  if (controller == nullptr) return;
  GiveRate(controller, bandwidth_);
  uint32_t drop_p0 = (status_ == 2 || status_ == 4 || status_ == 8 || status_ == 64) ? 1 : 0;
  controller->SetOption(4, &drop_p0);
}

void CEstimatorNetworkPolicy::SetBandwidths(uint32_t default_bw, uint32_t min_bw, uint32_t max_bw) {
  min_ = min_bw;
  max_ = max_bw >= min_bw ? max_bw : min_bw;
  (void)default_bw;  // the estimator starts from its own rate
  rate_ = std::clamp(rate_, min_, max_);
}

void CEstimatorNetworkPolicy::Cut(double to, uint32_t now_ms) {
  remembered_ = rate_;
  rate_ = std::min(rate_, to);
  // The records before the cut leave the loss average.
  for (Record& r : history_) r.flagged = false;
  last_cut_ = now_ms;
  cut_once_ = true;
  state_ = kDecrease;
}

void CEstimatorNetworkPolicy::Update(const UplinkStat& stat, uint32_t now_ms, bool hold,
                                     CVzSendController* controller) {
  status_ = stat.status;
  const int32_t r = stat.rtt, j = stat.jitter, l = stat.loss_rate, d = stat.reserved;
  history_.push_back({r, j, l, d, true});
  if (history_.size() > kHistory) history_.pop_front();
  // Averages of the delay word (non-zero values) and of the flagged losses.
  double delay_sum = 0;
  int delay_n = 0;
  for (auto it = history_.rbegin(); it != history_.rend() && delay_n < kDelayAverage; ++it) {
    if (it->delay != 0) {
      delay_sum += it->delay;
      ++delay_n;
    }
  }
  const double average_delay = delay_n > 0 ? delay_sum / delay_n : d;
  double loss_sum = 0;
  int loss_n = 0, seen = 0;
  for (auto it = history_.rbegin(); it != history_.rend() && seen < kLossAverage; ++it, ++seen) {
    if (it->flagged) {
      loss_sum += it->loss;
      ++loss_n;
    }
  }
  const double average_loss = loss_n > 0 ? loss_sum / loss_n : l;

  // Round-trip time, never below 50 ms.
  const int32_t rr = std::max(r, kMinRtt);
  if (first_) {
    first_ = false;
    smoothed_rtt_ = r;
    reference_rtt_ = r;
    min_rtt_ = rr;
    smoothed_jitter_ = j;
    high_mark_ = higher_mark_ = std::max(4.0 * rr, rr + 550.0);
    previous_rtt_ = rr;
  } else {
    smoothed_rtt_ = 0.75 * smoothed_rtt_ + 0.25 * rr;
    min_rtt_ = std::min(min_rtt_, static_cast<double>(rr));
    smoothed_jitter_ = 0.9 * smoothed_jitter_ + 0.1 * j;
  }
  if (smoothed_rtt_ > 1.1 * reference_rtt_) {
    ++rise_count_;
    reference_rtt_ = smoothed_rtt_;
  } else if (smoothed_rtt_ < 0.8 * reference_rtt_) {
    rise_count_ = 0;
    reference_rtt_ = smoothed_rtt_;
  } else if (rise_count_ == 0 && smoothed_rtt_ < reference_rtt_) {
    reference_rtt_ = smoothed_rtt_;
  }
  smoothed_loss_ = 0.9 * smoothed_loss_ + 0.1 * l;
  if (smoothed_loss_ > std::max(average_loss + 10, 1.2 * average_loss)) ++loss_rise_;
  if (average_loss >= std::max(static_cast<double>(l), smoothed_loss_)) loss_rise_ = 0;

  const double limit = 0.9 * average_delay;
  const double mn = min_rtt_;
  const bool rising = rise_count_ > 3 && rr >= previous_rtt_;
  if (rising && rr > std::min(high_mark_, std::max(4 * mn, mn + 550)) &&
      j > std::min(higher_mark_, std::max(2 * mn, mn + 200)) && (!cut_once_ || now_ms - last_cut_ > 1000)) {
    Cut(std::max(limit, 0.5 * rate_), now_ms);
  } else if (rising && rr > std::max(2 * mn, mn + 200) && j > mn + 100) {
    Cut(std::max(0.9 * rate_, 0.95 * average_delay), now_ms);
  } else if (loss_rise_ > kLossRiseLimit && (!loss_cut_once_ || now_ms - last_loss_cut_ > 15000)) {
    loss_rise_ = 0;
    Cut(limit, now_ms);
    last_loss_cut_ = now_ms;
    loss_cut_once_ = true;
  } else if (loss_rise_ == 0 && average_loss >= l &&
             ((rise_count_ == 0 && smoothed_rtt_ < 1.2 * mn && smoothed_rtt_ >= rr) ||
              (mn / 4 >= j && mn / 4 >= smoothed_jitter_)) &&
             (!loss_cut_once_ || now_ms - last_loss_cut_ > 20000)) {
    state_ = kIncrease;
    if (!hold && (!raised_once_ || now_ms - last_raise_ >= 1000)) {
      double step;
      if (rate_ >= 0.9 * remembered_ && rate_ <= remembered_) {
        step = std::max(1.0, 0.0025 * rate_);
      } else if (rate_ >= 0.8 * remembered_ && rate_ <= 1.2 * remembered_) {
        step = std::max(1024.0, 0.02 * rate_);
      } else {
        step = std::max(4096.0, 0.05 * rate_);
      }
      rate_ += step;
      raised_once_ = true;
      last_raise_ = now_ms;
    }
  } else {
    state_ = kHold;
  }
  previous_rtt_ = rr;
  rate_ = std::clamp(rate_, min_, max_);
  GiveRate(controller, static_cast<uint32_t>(rate_));
}
