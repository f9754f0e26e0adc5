#pragma once
// CVzSendController: the send channel queues each frame's RTP packets here;
// the send adaptor gives the frame its verdict and priority; a full queue
// drops by priority; the shared 10 ms multimedia tick releases packets to
// the sink at the configured bandwidth, carrying an overshoot over as busy
// time.
//
// What failure looks like: Initalize answers -1 (logged) when the tick
// cannot be had; a packet that does not fit a buffer, or finds the pool
// empty, is lost with a warning.
// Threads: QueueData and the options on the send channel's thread; OnTick
// on the shared tick thread, which calls the sink's OnSend there. One lock
// guards the queue, the bandwidth and the pacing state; it is never held
// while the tick is registered or unregistered.
#include <cstdint>
#include <memory>
#include <mutex>

#include "video/engine/core/vz_data_buff.h"
#include "video/engine/send/send_adaptor.h"

class IVzSendControllerSink {
 public:
  // A packet leaves the queue (on the tick thread).
  virtual void OnSend(uint32_t tick_ms, const uint8_t* data, int32_t length) = 0;
  // A frame given to QueueData, or an assessed packet, with its verdict.
  virtual void OnQueue(uint32_t time_stamp, int32_t verdict, int32_t priority, const uint8_t* first,
                       int32_t total) = 0;

 protected:
  ~IVzSendControllerSink() = default;
};

struct QueuedPacketView {
  const uint8_t* data;
  int32_t length;
};

class CVzSendController : private IVzPacketSender {
 public:
  static constexpr int32_t kBlockSize = 1536;
  static constexpr int32_t kPoolBlocks = 800;
  static constexpr uint32_t kTickPeriodMs = 10;
  static constexpr uint32_t kMaxBusyMs = 80;
  static constexpr uint32_t kZeroBandwidth = 1048576;
  static constexpr uint32_t kQuietAfterMs = 1000;

  // The adaptor is owned; null makes a CVzSendAdaptor.
  explicit CVzSendController(std::unique_ptr<ISendAdaptor> adaptor = nullptr);
  virtual ~CVzSendController();
  CVzSendController(const CVzSendController&) = delete;
  CVzSendController& operator=(const CVzSendController&) = delete;

  // Options 1..8 (see the .cpp); -1 for a null value or an unknown type.
  int32_t SetOption(int32_t type, void* value);
  // 0; -1 when the tick cannot be registered. Already started: warns, 0.
  // `use_tick` false leaves the ticking to the caller (OnTick), for tests.
  int32_t Initalize(uint32_t initial_bandwidth, uint32_t time_resolution, bool use_tick = true);
  void QueueData(uint32_t time_stamp, const QueuedPacketView* packets, int32_t count, int32_t* verdict);
  int32_t AssessPacketForTesting(uint32_t time_stamp, const uint8_t* data, int32_t length);
  void SetSink(IVzSendControllerSink* sink);
  int32_t quiet() const;
  void UnInitalize();

  void RateUpdate(uint32_t rate);
  // One pacing round at the engine clock's now.
  void OnTick();

  // For tests and statistics.
  size_t queued() const;
  int32_t max_queue_for_testing() const;
  uint32_t busy_ms_for_testing() const;

 private:
  void SendPacket(uint32_t tick_now, const uint8_t* data, int32_t length) override;
  static void TickThunk(void* owner);

  mutable std::recursive_mutex lock_;  // the sink may call back in
  std::unique_ptr<ISendAdaptor> adaptor_;
  std::unique_ptr<CVzDataBuff> queue_;
  IVzSendControllerSink* sink_ = nullptr;
  uint32_t bandwidth_ = 0;
  uint32_t option_bandwidth_ = 0;
  uint32_t resolution_ms_ = 0;
  int32_t quiet_ = 0;
  uint32_t last_drop_ = 0;
  int32_t tick_id_ = 0;
  bool started_ = false;
  uint32_t busy_ms_ = 0;
  uint32_t last_send_tick_ = 0;
  uint32_t last_tick_ = 0;
  int32_t max_queue_ = CVzDataBuff::kDefaultMaxBuffSize;
};
