#include "outside/vzwire/relay/sender_hold.h"

#include <gtest/gtest.h>

namespace {

using vzrelay::HoldOptions;
using vzrelay::SenderHold;

constexpr SenderHold::Id kPresenter = 1, kSlow = 2, kFast = 3, kElsewhere = 4;

HoldOptions Marks() {
  HoldOptions options;
  options.high_mark = 1000;
  options.low_mark = 400;
  options.max_hold_ms = 2500;
  return options;
}

TEST(SenderHoldTest, ASenderIsHeldFromTheHighMarkUntilItsMembersDrainBelowTheLowMark) {
  SenderHold hold(Marks());
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  uint64_t now = 100, taken = 0;
  const auto turn = [&](size_t slow_pending) {
    hold.OnQueue(kSlow, slow_pending, taken += 10, now);
    hold.OnQueue(kFast, 0, 0, now);
    return hold.Decide(kPresenter, fed, 0, now += 10);
  };
  EXPECT_FALSE(turn(999));
  EXPECT_TRUE(turn(1000));
  EXPECT_TRUE(turn(400));  // between the marks: still behind
  EXPECT_FALSE(turn(399));
  EXPECT_FALSE(turn(999));  // between the marks from below: not yet behind
  EXPECT_TRUE(turn(5000));
  EXPECT_EQ(hold.Holds(), 2u);

  // A full queue holds only the senders that feed it, and never itself.
  EXPECT_FALSE(hold.Decide(kPresenter, {kPresenter, kFast}, 0, now));
  EXPECT_FALSE(hold.Decide(kSlow, {kSlow, kPresenter}, 0, now));
  hold.OnQueue(kElsewhere, 1u << 20, 0, now);
  EXPECT_FALSE(hold.Decide(kPresenter, {kPresenter, kFast}, 0, now));
  // A member gone holds no one.
  hold.Forget(kSlow);
  hold.Forget(kElsewhere);
  EXPECT_FALSE(hold.Decide(kPresenter, fed, 0, now));
}

// A hold never outlasts the sender's transport's patience: after the time
// limit the sender is read until one of its pings is answered; a member
// that keeps taking holds it again, one that takes nothing holds no one
// (its queue then grows to the backlog limit) until it drains.
TEST(SenderHoldTest, AHoldEndsOnTimeAndOnlyAMemberThatTakesNothingStopsHolding) {
  SenderHold hold(Marks());
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  uint64_t slow_taken = 0;
  hold.OnQueue(kSlow, 2000, slow_taken, 0);
  hold.OnQueue(kFast, 2000, 0, 0);
  EXPECT_TRUE(hold.Decide(kPresenter, fed, 7, 1));
  for (uint64_t now = 100; now < 2500; now += 100) {
    hold.OnQueue(kSlow, 2000, slow_taken += 1, now);  // slow, but taking
    hold.OnQueue(kFast, 2000, 0, now);                // stuck
    EXPECT_TRUE(hold.Decide(kPresenter, fed, 7, now)) << now;
  }
  EXPECT_FALSE(hold.Decide(kPresenter, fed, 7, 2501));
  EXPECT_EQ(hold.Expired(), 1u);
  EXPECT_TRUE(hold.Full(kSlow));
  EXPECT_FALSE(hold.Full(kFast));
  // Read until the next ping is answered, however full the slow member.
  EXPECT_FALSE(hold.Decide(kPresenter, fed, 7, 2600));
  EXPECT_TRUE(hold.Decide(kPresenter, fed, 8, 2700));
  EXPECT_EQ(hold.Holds(), 2u);

  // The stuck member above the high mark again holds no one; drained below
  // the low mark it holds again when it falls behind.
  hold.OnQueue(kSlow, 0, slow_taken += 1, 2800);
  hold.OnQueue(kFast, 1u << 20, 0, 2800);
  EXPECT_FALSE(hold.Decide(kPresenter, fed, 8, 2800));
  hold.OnQueue(kFast, 399, 5, 2900);
  hold.OnQueue(kFast, 1000, 5, 3000);
  EXPECT_TRUE(hold.Decide(kPresenter, fed, 8, 3000));
}

}  // namespace
