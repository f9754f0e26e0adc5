#include "video/engine/send/vz_send_controller.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "common/trace_client.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/send/multimedia_tick.h"
#include "video/engine/send/vz_send_adaptor.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The delivery lines are logged by one tick every 5 s, process-wide.
std::atomic<uint32_t> g_last_log_second{0};

bool TimeToLog(uint32_t now_ms) {
  const uint32_t second = now_ms / 1000;
  uint32_t last = g_last_log_second.load(std::memory_order_relaxed);
  if (second - last < 5) return false;
  return g_last_log_second.compare_exchange_strong(last, second, std::memory_order_relaxed);
}

}  // namespace

CVzSendController::CVzSendController(std::unique_ptr<ISendAdaptor> adaptor)
    : adaptor_(adaptor ? std::move(adaptor) : std::make_unique<CVzSendAdaptor>()) {
  VZ_LOG("");
}

CVzSendController::~CVzSendController() {
  VZ_LOG("");
  if (started_) UnInitalize();
}

int32_t CVzSendController::SetOption(int32_t type, void* value) {
  if (value == nullptr) return -1;
  switch (type) {
    case 1: {
      const uint32_t rate = *static_cast<const uint32_t*>(value);
      {
        Lock hold(lock_);
        option_bandwidth_ = rate;
      }
      RateUpdate(rate);
      Lock hold(lock_);
      adaptor_->SetBandwidth(rate);
      return 0;
    }
    case 2: {
      Lock hold(lock_);
      // A mode outside 0..3 (a count of 0 outputs gives -1) would make the
      // adaptor refuse every frame: it is kept as it was.
      if (!adaptor_->SetMaxMode(*static_cast<const int32_t*>(value))) {
        VZ_LOG_WARN("[Sender Control] max mode %d refused", *static_cast<const int32_t*>(value));
      }
      return 0;
    }
    case 3: {
      Lock hold(lock_);
      *static_cast<int32_t*>(value) = adaptor_->GetMaxMode();
      return 0;
    }
    case 4: {
      Lock hold(lock_);
      adaptor_->EnableDropP0((*static_cast<const uint32_t*>(value) & 0xFF) != 0);
      return 0;
    }
    case 5: {
      Lock hold(lock_);
      adaptor_->ResetLevelThreshold(-1);
      return 0;
    }
    case 6: {
      Lock hold(lock_);
      adaptor_->SetCongestionSwitch(*static_cast<const int32_t*>(value));
      return 0;
    }
    case 7: {
      Lock hold(lock_);
      adaptor_->SetCongestStatus(*static_cast<const int32_t*>(value));
      return 0;
    }
    case 8: {
      Lock hold(lock_);
      adaptor_->SetEncoderParam(*static_cast<const vzh264::EncoderParam*>(value));
      return 0;
    }
    default:
      return -1;
  }
}

int32_t CVzSendController::Initalize(uint32_t initial_bandwidth, uint32_t time_resolution, bool use_tick) {
  VZ_LOG("dwInitBw=%d dwTimeResolution=%d", initial_bandwidth, time_resolution);
  {
    Lock hold(lock_);
    if (started_) {
      VZ_LOG_WARN("SendController, already started!!!");
      return 0;
    }
    resolution_ms_ = std::min(std::max(VZSE_::kTimerMinPeriodMs, VZSE_::kTimerMinDelayMs), VZSE_::kTimerMaxPeriodMs);
    queue_ = std::make_unique<CVzDataBuff>(static_cast<IVzPacketSender*>(this), kBlockSize, kPoolBlocks);
    queue_->UpdateMaxBuffSize(max_queue_);
    bandwidth_ = 0;
  }
  RateUpdate(initial_bandwidth);
  {
    Lock hold(lock_);
    adaptor_->SetBandwidth(initial_bandwidth);
  }
  // Registered outside the lock: the tick thread takes it in every round.
  int32_t id = 0;
  if (use_tick) {
    id = VZSE_::RegisterMultimediaTick(kTickPeriodMs, this, &TickThunk);
    if (id == 0) {
      Lock hold(lock_);
      queue_.reset();
      return -1;
    }
  }
  Lock hold(lock_);
  tick_id_ = id;
  started_ = true;
  return 0;
}

void CVzSendController::RateUpdate(uint32_t rate) {
  VZ_LOG("dwRate=%d m_dwBandWidth=%d", rate, bandwidth_);
  Lock hold(lock_);
  if (rate == bandwidth_) return;
  bandwidth_ = rate;
  // The bytes of 400 ms in packets of 800 bytes, at least 10.
  max_queue_ = std::max(10, static_cast<int32_t>(static_cast<double>(rate) * 0.4 * 0.125 / 800.0));
  if (queue_) {
    VZ_LOG("m_dwMaxBuffSize=%d dwSize=%d", queue_->max_buff_size(), max_queue_);
    queue_->UpdateMaxBuffSize(max_queue_);
  }
}

void CVzSendController::QueueData(uint32_t time_stamp, const QueuedPacketView* packets, int32_t count,
                                  int32_t* verdict) {
  if (packets == nullptr || count <= 0) return;
  int32_t total = 0;
  for (int32_t i = 0; i < count; ++i) total += std::max(packets[i].length, 0);
  int lost = 0;
  {
    Lock hold(lock_);
    if (!started_) {
      VZ_LOG_ERROR("CMmVseSendController::process, stopped");
      return;
    }
    int32_t priority = 15;
    const int32_t v = adaptor_->AdaptFrame(packets[0].data, packets[0].length, total, time_stamp, &priority);
    if (verdict != nullptr) *verdict = v;
    if (sink_ != nullptr) sink_->OnQueue(time_stamp, v, priority, packets[0].data, total);
    if (v != kAdaptSend) {
      VZ_LOG_ERROR("[Sender Control] time_stamp=%d iPacketNum=%d, type=%d, nPriority=%d lPacketLen=%d", time_stamp,
                   count, v, priority, total);
      if (v == kAdaptDropForRate) {
        last_drop_ = time_stamp;
        quiet_ = 0;
      }
      return;
    }
    bool drop = false;
    if (queue_->size() >= static_cast<size_t>(queue_->max_buff_size())) {
      int32_t greatest = 0;
      queue_->GetMaxPriority(&greatest);
      if (greatest < priority) {
        VZ_LOG("[Sender Control] bDropCurrentPackets=%d nPriority=%d, iPriority=%d", 1, priority, greatest);
        drop = true;
      } else {
        queue_->DropLowestPriority();
      }
      last_drop_ = time_stamp;
      quiet_ = 0;
    } else if (time_stamp - last_drop_ >= kQuietAfterMs + 1) {
      quiet_ = 1;
    }
    if (drop) return;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t length = packets[i].length;
      if (length <= 0 || packets[i].data == nullptr) continue;
      if (length > kBlockSize) {
        VZ_LOG_WARN("packet size is %d exceeds size of %d", length, kBlockSize);
        continue;
      }
      // Only pooled buffers: queueing allocates nothing.
      if (queue_->recycled() == 0) {
        ++lost;
        continue;
      }
      uint8_t* block = queue_->GetBlock(kBlockSize);
      std::memcpy(block, packets[i].data, static_cast<size_t>(length));
      queue_->Push(static_cast<uint16_t>(length), static_cast<uint16_t>(priority), block, time_stamp, kBlockSize);
    }
  }
  if (lost > 0) {
    VZ_LOG_WARN("[Sender Control]: process null:%d bandwidth=%d", static_cast<int>(queued()), bandwidth_);
  }
}

int32_t CVzSendController::AssessPacketForTesting(uint32_t time_stamp, const uint8_t* data, int32_t length) {
  Lock hold(lock_);
  int32_t priority = 15;
  const int32_t v = adaptor_->AdaptPacket(time_stamp, data, length, &priority);
  if (sink_ != nullptr) sink_->OnQueue(time_stamp, v, priority, data, length);
  return v;
}

void CVzSendController::SetSink(IVzSendControllerSink* sink) {
  Lock hold(lock_);
  sink_ = sink;
}

int32_t CVzSendController::quiet() const {
  Lock hold(lock_);
  return quiet_;
}

void CVzSendController::UnInitalize() {
  int32_t id = 0;
  {
    Lock hold(lock_);
    VZ_LOG("StopSend: bStarted:%d TimerId=%d ", started_ ? 1 : 0, tick_id_);
    started_ = false;
    queue_.reset();
    sink_ = nullptr;
    busy_ms_ = 0;
    last_send_tick_ = 0;
    id = tick_id_;
    tick_id_ = 0;
  }
  // After the controller's lock: a running tick takes that lock.
  if (id != 0) VZSE_::UnregisterMultimediaTick(id);
}

void CVzSendController::TickThunk(void* owner) { static_cast<CVzSendController*>(owner)->OnTick(); }

void CVzSendController::OnTick() {
  const uint32_t now = VZSE_::NowMs();
  const bool log = TimeToLog(now);
  Lock hold(lock_);
  if (sink_ == nullptr || !queue_) return;
  uint32_t spare = 0;
  if (busy_ms_ != 0 && last_send_tick_ != 0 && static_cast<int32_t>(now - last_send_tick_) >= 0) {
    const uint32_t elapsed = now - last_send_tick_;
    if (elapsed < busy_ms_) return;
    spare = elapsed - busy_ms_;
  }
  const int64_t budget = static_cast<int64_t>(spare) * (bandwidth_ / 1000) / 8;
  int32_t carry = 0;
  queue_->DeliveryPackets(&carry, static_cast<int32_t>(std::min<int64_t>(budget, INT32_MAX)), now, log);
  last_tick_ = now;
  if (carry > 0) {
    last_send_tick_ = now;
    const uint32_t bandwidth = bandwidth_ != 0 ? bandwidth_ : kZeroBandwidth;
    const uint64_t busy = static_cast<uint64_t>(carry) * 8000 / bandwidth;
    busy_ms_ = static_cast<uint32_t>(std::clamp<uint64_t>(busy, 1, kMaxBusyMs));
  } else {
    busy_ms_ = 0;
    last_send_tick_ = 0;
  }
}

void CVzSendController::SendPacket(uint32_t tick_now, const uint8_t* data, int32_t length) {
  if (sink_ != nullptr) sink_->OnSend(tick_now, data, length);
}

size_t CVzSendController::queued() const {
  Lock hold(lock_);
  return queue_ ? queue_->size() : 0;
}

int32_t CVzSendController::max_queue_for_testing() const {
  Lock hold(lock_);
  return max_queue_;
}

uint32_t CVzSendController::busy_ms_for_testing() const {
  Lock hold(lock_);
  return busy_ms_;
}
