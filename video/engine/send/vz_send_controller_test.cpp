#include "video/engine/send/vz_send_controller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/send/multimedia_tick.h"

namespace {

// Gives each frame the priority the test sets, and the verdict it sets.
class ScriptedAdaptor final : public ISendAdaptor {
 public:
  int32_t AdaptFrame(const uint8_t*, int32_t, int32_t, uint32_t, int32_t* priority) override {
    *priority = next_priority;
    return next_verdict;
  }
  int32_t AdaptPacket(uint32_t, const uint8_t*, int32_t, int32_t* priority) override {
    *priority = next_priority;
    return next_verdict;
  }
  void SetBandwidth(uint32_t rate) override { bandwidth = rate; }
  bool SetMaxMode(int32_t) override { return true; }
  int32_t GetMaxMode() const override { return 2; }
  void EnableDropP0(bool) override {}
  void ResetLevelThreshold(int32_t) override {}
  void SetCongestionSwitch(int32_t) override {}
  void SetCongestStatus(int32_t) override {}
  void SetEncoderParam(const vzh264::EncoderParam&) override {}
  int32_t next_priority = 15;
  int32_t next_verdict = kAdaptSend;
  uint32_t bandwidth = 0;
};

struct RecordingSink final : IVzSendControllerSink {
  void OnSend(uint32_t tick, const uint8_t* data, int32_t length) override {
    sent.push_back({tick, length, data[0]});
    bytes += length;
  }
  void OnQueue(uint32_t, int32_t verdict, int32_t priority, const uint8_t*, int32_t total) override {
    queued.push_back({verdict, priority, total});
  }
  struct Sent {
    uint32_t tick;
    int32_t length;
    uint8_t tag;
  };
  struct Queued {
    int32_t verdict, priority, total;
  };
  std::vector<Sent> sent;
  std::vector<Queued> queued;
  int64_t bytes = 0;
};

class SendControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&clock_);
    auto adaptor = std::make_unique<ScriptedAdaptor>();
    adaptor_ = adaptor.get();
    controller_ = std::make_unique<CVzSendController>(std::move(adaptor));
  }
  void TearDown() override {
    controller_.reset();
    VZSE_::SetEngineClockForTest(nullptr);
  }
  void Start(uint32_t bandwidth) {
    ASSERT_EQ(controller_->Initalize(bandwidth, 1, false), 0);
    controller_->SetSink(&sink_);
  }
  // A frame of `count` packets of `length` bytes, each tagged.
  void Queue(uint32_t ts, int count, int length, int priority, uint8_t tag = 0) {
    std::vector<std::vector<uint8_t>> bytes(static_cast<size_t>(count),
                                            std::vector<uint8_t>(static_cast<size_t>(length), tag));
    std::vector<QueuedPacketView> views;
    for (auto& b : bytes) views.push_back({b.data(), length});
    adaptor_->next_priority = priority;
    int32_t verdict = -1;
    controller_->QueueData(ts, views.data(), count, &verdict);
  }

  VZSE_::FakeEngineClock clock_;
  ScriptedAdaptor* adaptor_ = nullptr;
  std::unique_ptr<CVzSendController> controller_;
  RecordingSink sink_;
};

TEST_F(SendControllerTest, QueueLengthFollowsTheRate) {
  Start(1000000);
  EXPECT_EQ(controller_->max_queue_for_testing(), 62);
  controller_->RateUpdate(10000);
  EXPECT_EQ(controller_->max_queue_for_testing(), 10);
  uint32_t rate = 2000000;
  EXPECT_EQ(controller_->SetOption(1, &rate), 0);
  EXPECT_EQ(controller_->max_queue_for_testing(), 125);
  EXPECT_EQ(adaptor_->bandwidth, 2000000u);
  EXPECT_EQ(controller_->SetOption(9, &rate), -1);
  EXPECT_EQ(controller_->SetOption(1, nullptr), -1);
  int32_t mode = 0;
  EXPECT_EQ(controller_->SetOption(3, &mode), 0);
  EXPECT_EQ(mode, 2);
  // Already started: a warning and 0.
  EXPECT_EQ(controller_->Initalize(1000, 1, false), 0);
}

TEST_F(SendControllerTest, BusyTimeFromOvershootAndTheBudgetAfterIt) {
  Start(500000);
  Queue(0, 1, 1250, 3, 1);
  controller_->OnTick();  // nothing busy: exactly one packet goes
  ASSERT_EQ(sink_.sent.size(), 1u);
  EXPECT_EQ(controller_->busy_ms_for_testing(), 20u);  // 1,250 bytes at 500 kbit/s
  controller_->RateUpdate(1000000);
  Queue(1, 6, 500, 3, 2);
  clock_.AdvanceMs(15);
  controller_->OnTick();  // still busy
  EXPECT_EQ(sink_.sent.size(), 1u);
  clock_.AdvanceMs(15);  // 30 ms after: 10 ms spare, 1,250 bytes
  controller_->OnTick();
  ASSERT_EQ(sink_.sent.size(), 4u);  // 500 + 500, and the one that overruns the last 250
  EXPECT_EQ(sink_.bytes, 1250 + 1500);
  EXPECT_EQ(controller_->busy_ms_for_testing(), 2u);  // 250 bytes over at 1 Mbit/s

  // 1,500 bytes over at 100 kbit/s is 120 ms, kept to 80.
  CVzSendController slow(std::make_unique<ScriptedAdaptor>());
  ASSERT_EQ(slow.Initalize(100000, 1, false), 0);
  slow.SetSink(&sink_);
  std::vector<uint8_t> big(1500, 9);
  QueuedPacketView view{big.data(), 1500};
  slow.QueueData(5, &view, 1, nullptr);
  slow.OnTick();
  EXPECT_EQ(slow.busy_ms_for_testing(), 80u);
  // An emptied queue clears the busy time.
  clock_.AdvanceMs(100);
  slow.OnTick();
  EXPECT_EQ(slow.busy_ms_for_testing(), 0u);
}

TEST_F(SendControllerTest, FullQueueDropsByPriority) {
  Start(10000);  // at most 10 packets
  Queue(0, 5, 100, 3, 3);
  Queue(1, 5, 100, 7, 7);
  ASSERT_EQ(controller_->queued(), 10u);
  Queue(2, 2, 100, 9, 9);  // less important than anything queued: dropped
  EXPECT_EQ(controller_->queued(), 10u);
  Queue(3, 2, 100, 5, 5);  // the 7s make room
  EXPECT_EQ(controller_->queued(), 7u);
  controller_->OnTick();
  clock_.AdvanceMs(1000);
  for (int i = 0; i < 20; ++i) {
    controller_->OnTick();
    clock_.AdvanceMs(100);
  }
  std::vector<uint8_t> tags;
  for (const auto& s : sink_.sent) tags.push_back(s.tag);
  EXPECT_EQ(tags, std::vector<uint8_t>({3, 3, 3, 3, 3, 5, 5}));
  EXPECT_EQ(controller_->quiet(), 0);
}

TEST_F(SendControllerTest, AllBasePacketsAreClearedOnlyAtFiveTimesTheLimit) {
  Start(10000);
  for (int f = 0; f < 5; ++f) Queue(static_cast<uint32_t>(f), 10, 100, 0);
  EXPECT_EQ(controller_->queued(), 50u);  // all priority 0: kept past the limit
  Queue(5, 10, 100, 0);
  EXPECT_EQ(controller_->queued(), 10u);  // cleared, then this frame queued
}

TEST_F(SendControllerTest, RefusedPacketsVerdictsAndTheQuietFlag) {
  Queue(0, 1, 100, 3);  // not started: nothing
  EXPECT_TRUE(sink_.queued.empty());
  Start(1000000);
  Queue(10, 1, 1600, 3);  // larger than a buffer
  EXPECT_EQ(controller_->queued(), 0u);
  ASSERT_EQ(sink_.queued.size(), 1u);
  EXPECT_EQ(sink_.queued[0].total, 1600);
  adaptor_->next_verdict = kAdaptDropForRate;
  Queue(20, 2, 100, 3);
  EXPECT_EQ(controller_->queued(), 0u);
  EXPECT_EQ(sink_.queued.back().verdict, kAdaptDropForRate);
  adaptor_->next_verdict = kAdaptSend;
  Queue(1020, 1, 100, 3);
  EXPECT_EQ(controller_->quiet(), 0);  // 1,000 ms after the drop
  Queue(1021, 1, 100, 3);
  EXPECT_EQ(controller_->quiet(), 1);  // 1,001 ms
  EXPECT_EQ(controller_->AssessPacketForTesting(5, nullptr, 0), kAdaptSend);
}

TEST_F(SendControllerTest, PacedOutputStaysWithinTwoPercentOfTheBandwidth) {
  for (uint32_t bandwidth : {100000u, 1000000u, 4000000u}) {
    CVzSendController paced(std::make_unique<ScriptedAdaptor>());
    ASSERT_EQ(paced.Initalize(bandwidth, 1, false), 0) << bandwidth;
    RecordingSink sink;
    paced.SetSink(&sink);
    std::vector<uint8_t> packet(1000, 1);
    QueuedPacketView view{packet.data(), 1000};
    // Warm up, then count one second of ticks with the queue never empty.
    int64_t counted = 0;
    for (int tick = 0; tick < 300; ++tick) {
      while (paced.queued() < 5) paced.QueueData(static_cast<uint32_t>(tick), &view, 1, nullptr);
      if (tick == 100) counted = sink.bytes;
      paced.OnTick();
      clock_.AdvanceMs(10);
    }
    const double per_second = static_cast<double>(sink.bytes - counted) / 2.0;
    EXPECT_NEAR(per_second, bandwidth / 8.0, bandwidth / 8.0 * 0.02) << bandwidth;
    paced.UnInitalize();
  }
}

TEST(MultimediaTick, TwoControllersShareOneThreadJoinedAfterTheLast) {
  const int32_t starts = VZSE_::MultimediaTickThreadStarts();
  CVzSendController first, second;
  ASSERT_EQ(first.Initalize(1000000, 1, true), 0);
  ASSERT_EQ(second.Initalize(1000000, 1, true), 0);
  EXPECT_EQ(VZSE_::MultimediaTickRegistrations(), 2);
  EXPECT_EQ(VZSE_::MultimediaTickThreadStarts(), starts + 1);
  first.UnInitalize();
  EXPECT_TRUE(VZSE_::MultimediaTickThreadRunning());
  second.UnInitalize();
  EXPECT_FALSE(VZSE_::MultimediaTickThreadRunning());
  EXPECT_EQ(VZSE_::MultimediaTickRegistrations(), 0);
}

TEST(MultimediaTick, IdsAreNeverReusedAndEachFirstRegistrationStartsAThread) {
  struct Counter {
    std::mutex lock;
    std::condition_variable ticked;
    int ticks = 0;
  } counter;
  auto callback = [](void* owner) {
    auto* c = static_cast<Counter*>(owner);
    std::lock_guard<std::mutex> hold(c->lock);
    ++c->ticks;
    c->ticked.notify_all();
  };
  const int32_t starts = VZSE_::MultimediaTickThreadStarts();
  const int32_t a = VZSE_::RegisterMultimediaTick(10, &counter, callback);
  ASSERT_GT(a, 0);
  {
    std::unique_lock<std::mutex> hold(counter.lock);
    ASSERT_TRUE(counter.ticked.wait_for(hold, std::chrono::seconds(10), [&] { return counter.ticks >= 2; }));
  }
  EXPECT_EQ(VZSE_::UnregisterMultimediaTick(a), 0);
  EXPECT_FALSE(VZSE_::MultimediaTickThreadRunning());
  const int ticks_at_stop = counter.ticks;
  const int32_t b = VZSE_::RegisterMultimediaTick(10, &counter, callback);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(VZSE_::MultimediaTickThreadStarts(), starts + 2);
  EXPECT_EQ(VZSE_::UnregisterMultimediaTick(999999), 0);  // unknown: nothing changes
  EXPECT_EQ(VZSE_::MultimediaTickRegistrations(), 1);
  EXPECT_EQ(VZSE_::UnregisterMultimediaTick(b), 0);
  EXPECT_EQ(VZSE_::UnregisterMultimediaTick(b), 0);  // none left: at once
  EXPECT_EQ(VZSE_::RegisterMultimediaTick(10, &counter, nullptr), 0);
  EXPECT_GE(counter.ticks, ticks_at_stop);
}

}  // namespace

namespace {

TEST(SendControllerWithAdaptor, MaxModeOutsideZeroToThreeKeepsTheAdaptorsMode) {
  CVzSendController controller;
  ASSERT_EQ(controller.Initalize(1000000, 1, false), 0);
  int32_t mode = -1;  // what a count of 0 outputs passes
  EXPECT_EQ(controller.SetOption(2, &mode), 0);
  int32_t read = 0;
  ASSERT_EQ(controller.SetOption(3, &read), 0);
  EXPECT_EQ(read, 3);
  mode = 1;
  controller.SetOption(2, &mode);
  controller.SetOption(3, &read);
  EXPECT_EQ(read, 1);
}

}  // namespace
