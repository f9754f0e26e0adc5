#include "outside/vzwire/relay/media_faults.h"

#include <gtest/gtest.h>

namespace vzrelay {
namespace {

TEST(MediaFaultsTest, LossRateIsRoughlyTheShareDropped) {
  FaultOptions options;
  options.loss_rate = 0.2;
  MediaFaultInjector faults(options, 7);
  int kept = 0;
  uint64_t due = 0;
  for (int i = 0; i < 10000; ++i) kept += faults.Admit(1000, &due) ? 1 : 0;
  EXPECT_NEAR(kept, 8000, 300);
  EXPECT_EQ(faults.Dropped(), static_cast<uint64_t>(10000 - kept));
}

TEST(MediaFaultsTest, JitterDelaysWithoutReorderingUnlessAsked) {
  FaultOptions options;
  options.delay_ms = 50;
  options.jitter_ms = 30;
  MediaFaultInjector in_order(options, 3);
  uint64_t last = 0, due = 0;
  for (uint64_t now = 0; now < 2000; now += 2) {
    ASSERT_TRUE(in_order.Admit(now, &due)) << "at " << now << " ms";
    EXPECT_GE(due, now + 50) << "at " << now << " ms";
    EXPECT_LE(due, now + 50 + 30 + 2) << "at " << now << " ms";  // the floor of the one before may add a little
    EXPECT_GE(due, last) << "at " << now << " ms";
    last = due;
  }
  options.reorder_rate = 0.1;
  MediaFaultInjector reordering(options, 3);
  int overtaken = 0;
  last = 0;
  for (uint64_t now = 0; now < 2000; now += 2) {
    ASSERT_TRUE(reordering.Admit(now, &due)) << "at " << now << " ms";
    overtaken += due < last ? 1 : 0;
    last = due;
  }
  EXPECT_GT(overtaken, 0);
}

TEST(MediaFaultsTest, SameSeedSameDecisions) {
  FaultOptions options;
  options.loss_rate = 0.5;
  options.jitter_ms = 10;
  MediaFaultInjector a(options, 42), b(options, 42);
  for (int i = 0; i < 100; ++i) {
    uint64_t due_a = 0, due_b = 0;
    ASSERT_EQ(a.Admit(i, &due_a), b.Admit(i, &due_b)) << "decision " << i;
    ASSERT_EQ(due_a, due_b) << "decision " << i;
  }
}

}  // namespace
}  // namespace vzrelay
