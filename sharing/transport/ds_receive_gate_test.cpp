#include "sharing/transport/ds_receive_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The transport's thread takes the next message only once the engine's
// thread is no more than the limit behind; a stopping engine (Open) or one
// that never answers (the time limit) never leaves it waiting for good.
TEST(DsReceiveGateTest, TheNextMessageWaitsUntilTheEngineCatchesUpOrTheGateOpens) {
  CDsReceiveGate gate(100, 60000);
  EXPECT_TRUE(gate.Admit(150));  // nothing waiting: taken at once, however large
  std::atomic<bool> admitted{false};
  std::thread transport([&] {
    EXPECT_TRUE(gate.Admit(10));
    admitted = true;
  });
  gate.Handled(40);  // 110 still waiting: above the limit
  EXPECT_EQ(gate.Waiting(), 110u);
  EXPECT_FALSE(admitted.load());
  gate.Handled(10);  // 100: at the limit
  transport.join();
  EXPECT_TRUE(admitted.load());
  EXPECT_EQ(gate.Waiting(), 110u);

  // Handled more than counted (a message freed unhandled twice) floors at 0.
  gate.Handled(1000);
  EXPECT_EQ(gate.Waiting(), 0u);

  EXPECT_TRUE(gate.Admit(500));
  std::thread stopping([&] { EXPECT_TRUE(gate.Admit(1)); });
  gate.Open();
  stopping.join();
  EXPECT_TRUE(gate.Admit(1));  // open for good
}

TEST(DsReceiveGateTest, AWaitEndsAtItsLimitAndCountsTheMessageAnyway) {
  CDsReceiveGate gate(0, 20);
  EXPECT_TRUE(gate.Admit(5));
  EXPECT_FALSE(gate.Admit(7));
  EXPECT_EQ(gate.Waiting(), 12u);
}

}  // namespace
