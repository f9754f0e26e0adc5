#include "trace/collect_sink_slot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/tracer_collect_sink.h"
#include "platform/event.h"

namespace vz {
namespace {

class RecordingSink final : public ITracerCollectSink {
 public:
  void OnCollectLog(const char* line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

TEST(CollectSinkSlotTest, LinesGoToTheSinkAndNowhereWithoutOne) {
  CollectSinkSlot slot;
  EXPECT_FALSE(slot.HasSink());
  slot.Deliver("before");  // no sink: nothing happens
  RecordingSink sink;
  slot.Set(&sink);
  EXPECT_TRUE(slot.HasSink());
  slot.Deliver("one");
  slot.Deliver("two");
  slot.Set(nullptr);
  slot.Deliver("after");
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"one", "two"}));
}

// A sink whose OnCollectLog blocks until it is released, as a slow relay would.
class BlockingSink final : public ITracerCollectSink {
 public:
  void OnCollectLog(const char*) override {
    entered.Set();
    release.Wait(Event::kInfinite);
    finished.store(true);
  }
  Event entered{true, false};
  Event release{true, false};
  std::atomic<bool> finished{false};
};

TEST(CollectSinkSlotTest, WithdrawingWaitsForACallStillRunningOnAnotherThread) {
  CollectSinkSlot slot;
  BlockingSink sink;
  slot.Set(&sink);
  std::thread logger([&] { slot.Deliver("line"); });
  sink.entered.Wait(Event::kInfinite);

  Event withdrawn(true, false);
  std::atomic<bool> finished_when_withdrawn{false};
  std::thread owner([&] {
    slot.Set(nullptr);
    finished_when_withdrawn.store(sink.finished.load());
    withdrawn.Set();
  });
  // While the call runs the withdrawal must not return.
  EXPECT_FALSE(withdrawn.Wait(100));
  sink.release.Set();
  EXPECT_TRUE(withdrawn.Wait(Event::kInfinite));
  EXPECT_TRUE(finished_when_withdrawn.load()) << "the sink could have been freed under a running call";
  logger.join();
  owner.join();
}

// Withdraws itself from inside its own call, and collects again from there.
class SelfWithdrawingSink final : public ITracerCollectSink {
 public:
  explicit SelfWithdrawingSink(CollectSinkSlot* slot) : slot_(slot) {}
  void OnCollectLog(const char* line) override {
    lines.push_back(line);
    if (lines.size() == 1) slot_->Deliver("nested");
    if (std::string(line) == "withdraw") slot_->Set(nullptr);
  }
  std::vector<std::string> lines;

 private:
  CollectSinkSlot* slot_;
};

TEST(CollectSinkSlotTest, ASinkMayCollectAndWithdrawFromInsideItsOwnCall) {
  CollectSinkSlot slot;
  SelfWithdrawingSink sink(&slot);
  slot.Set(&sink);
  slot.Deliver("first");
  slot.Deliver("withdraw");
  slot.Deliver("gone");
  EXPECT_FALSE(slot.HasSink());
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"first", "nested", "withdraw"}));
}

}  // namespace
}  // namespace vz
