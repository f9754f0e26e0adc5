#include "video/engine/send/fec_level_state.h"

#include <algorithm>

#include "video/engine/core/fec_tables.h"

int CFecLevelState::Update(int32_t loss) {
  if (loss != 0) {
    zero_loss_ = 0;
  } else if (zero_loss_ <= kZeroLossRun) {
    ++zero_loss_;
  }
  int b = -1;
  if (zero_loss_ <= kZeroLossRun) {
    smoothed_ = 0.8 * smoothed_ + 0.2 * loss;
    history_[next_] = smoothed_;
    next_ = (next_ + 1) % kHistory;
    const double largest = *std::max_element(history_, history_ + kHistory);
    b = fec::LossClass(static_cast<int>(largest));
  }
  level_ = std::max(b, level_ - 1);
  return level_;
}
