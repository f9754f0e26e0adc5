#include "outside/vzwire/relay/sender_hold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "outside/vzwire/relay/hold_account.h"

namespace {

using vzrelay::HoldOptions;
using vzrelay::SenderHold;

constexpr SenderHold::Id kPresenter = 1, kSlow = 2, kFast = 3, kElsewhere = 4;

// Each connection of these tests is a member of its own.
SenderHold::Account Who(SenderHold::Id id) { return "member " + std::to_string(id); }

HoldOptions Marks() {
  HoldOptions options;
  options.high_mark = 1000;
  options.low_mark = 400;
  options.max_hold_ms = 2500;
  // The holding time is a test of its own.
  options.hold_budget_ms = 1000000;
  options.sender_hold_budget_ms = 1000000;
  return options;
}

TEST(SenderHoldTest, ASenderIsHeldFromTheHighMarkUntilItsMembersDrainBelowTheLowMark) {
  SenderHold hold(Marks());
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  uint64_t now = 100, taken = 0;
  const auto turn = [&](size_t slow_pending) {
    hold.OnQueue(kSlow, Who(kSlow), slow_pending, taken += 10, now);
    hold.OnQueue(kFast, Who(kFast), 0, 0, now);
    return hold.Decide(kPresenter, Who(kPresenter), fed, 0, now += 10);
  };
  EXPECT_FALSE(turn(999));
  EXPECT_TRUE(turn(1000));
  EXPECT_TRUE(turn(400));  // between the marks: still behind
  EXPECT_FALSE(turn(399));
  EXPECT_FALSE(turn(999));  // between the marks from below: not yet behind
  EXPECT_TRUE(turn(5000));
  EXPECT_EQ(hold.HoldsForTesting(), 2u);

  // A full queue holds only the senders that feed it, and never itself.
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), {kPresenter, kFast}, 0, now));
  EXPECT_FALSE(hold.Decide(kSlow, Who(kSlow), {kSlow, kPresenter}, 0, now));
  hold.OnQueue(kElsewhere, Who(kElsewhere), 1u << 20, 0, now);
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), {kPresenter, kFast}, 0, now));
  // A member gone holds no one.
  hold.Forget(kSlow, now);
  hold.Forget(kElsewhere, now);
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, now));
}

// One slow or lying member does not slow the others: a full queue that
// takes next to nothing is behind within the stall time, one that takes
// but stays full is behind at the lag time; either holds no one until it
// drains below the low mark, and both changes are reported once.
TEST(SenderHoldTest, AFullMemberThatStallsOrStaysFullStopsHoldingUntilItDrains) {
  HoldOptions options = Marks();
  options.stall_ms = 250;
  options.stall_bytes = 4096;
  options.lag_ms = 1000;
  SenderHold hold(options);
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  using Change = SenderHold::Change;
  // A count that grows by a byte at a time is a stall.
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 2000, 1, 1000), Change::kNone);
  EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 1000));
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 1999, 2, 1249), Change::kNone);
  EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 1249));
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 1998, 3, 1250), Change::kFellBehind);
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 1250));
  EXPECT_TRUE(hold.BehindForTesting(kSlow));
  EXPECT_FALSE(hold.Full(kSlow));
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 1u << 20, 4, 5000), Change::kNone);  // reported once
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 5000));
  // Between the marks it is still behind; below the low mark it caught up.
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 500, 5, 5100), Change::kNone);
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 399, 6, 5200), Change::kCaughtUp);
  EXPECT_FALSE(hold.BehindForTesting(kSlow));

  // Full again and taking a relay frame at a time: it holds until the lag
  // time, however long each window, and not after.
  uint64_t taken = 6;
  for (uint64_t now = 6000; now < 7000; now += 100) {
    EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 5000, taken += 65000, now), Change::kNone) << now;
    EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, now)) << now;
  }
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 5000, taken += 65000, 7000), Change::kFellBehind);
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 7000));
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 0, taken, 7100), Change::kCaughtUp);

  // A queue that drains within the lag never goes behind.
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 1000, taken, 8000), Change::kNone);
  EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 8000));
  EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), 300, taken += 700, 8200), Change::kNone);
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 8200));
  EXPECT_FALSE(hold.BehindForTesting(kSlow));
}

// A hold never outlasts the sender's transport's patience, however the
// members take turns being full: after the time limit the sender is read
// until one of its pings is answered.
TEST(SenderHoldTest, AHoldEndsOnTimeAndResumesAfterTheNextPing) {
  HoldOptions options = Marks();
  options.stall_ms = 10000;
  options.lag_ms = 10000;
  SenderHold hold(options);
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  hold.OnQueue(kSlow, Who(kSlow), 2000, 0, 0);
  EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 7, 1));
  for (uint64_t now = 100; now < 2500; now += 100) {
    hold.OnQueue(kSlow, Who(kSlow), 2000, now, now);
    EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 7, now)) << now;
  }
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 7, 2501));
  EXPECT_EQ(hold.ExpiredForTesting(), 1u);
  EXPECT_TRUE(hold.Full(kSlow));
  // Read until the next ping is answered, however full the slow member.
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 7, 2600));
  EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 8, 2700));
  EXPECT_EQ(hold.HoldsForTesting(), 2u);
}

// A member that stays just full for most of a second, drains a moment and
// fills again, over and over, held the presenter almost all the time
// without ever being behind. Its holding time counts across such cycles:
// it holds at most the budget at once, then only as the time comes back.
TEST(SenderHoldTest, AMemberThatDrainsAMomentAndFillsAgainHoldsOnlyItsHoldingTime) {
  HoldOptions options = Marks();
  options.hold_budget_ms = 250;
  options.hold_refill = 4;
  options.lag_ms = 1000;
  options.stall_ms = 250;
  options.stall_bytes = 4096;
  SenderHold hold(options);
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  uint64_t taken = 0;
  uint64_t longest_hold = 0, held_ms = 0, hold_began = 0;
  bool held = false;
  constexpr uint64_t kTurn = 10, kEnd = 15000;
  for (uint64_t now = 1000; now <= kEnd; now += kTurn) {
    // 900 ms just full, taking enough not to stall, then one turn drained.
    const bool drained = (now - 1000) % 1000 >= 900 && (now - 1000) % 1000 < 910;
    EXPECT_EQ(hold.OnQueue(kSlow, Who(kSlow), drained ? 0 : 1500, taken += 200, now), SenderHold::Change::kNone) << now;
    hold.OnQueue(kFast, Who(kFast), 0, 0, now);
    const bool now_held = hold.Decide(kPresenter, Who(kPresenter), fed, now / 1000, now);
    if (now_held && !held) hold_began = now;
    if (now_held) held_ms += kTurn;
    if (!now_held && held) longest_hold = std::max(longest_hold, now - hold_began);
    held = now_held;
  }
  EXPECT_LE(longest_hold, 260u) << "one hold outlasted the holding time";
  // About a fifth of the time: a quarter of what it does not hold.
  EXPECT_LT(held_ms, kEnd / 4) << "held " << held_ms << " ms of " << kEnd;
  EXPECT_GT(held_ms, kEnd / 10) << "an honest slow member must still hold a while";
  EXPECT_FALSE(hold.BehindForTesting(kSlow));

  // Once it holds no one for a second, it has its whole holding time again.
  for (uint64_t now = kEnd + kTurn; now <= kEnd + 1000; now += kTurn) hold.OnQueue(kSlow, Who(kSlow), 0, taken, now);
  hold.OnQueue(kSlow, Who(kSlow), 1500, taken += 4096, kEnd + 1010);
  EXPECT_TRUE(hold.Full(kSlow));
  for (uint64_t now = kEnd + 1020; now < kEnd + 1250; now += kTurn) {
    EXPECT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 99, now)) << now;
    hold.OnQueue(kSlow, Who(kSlow), 1500, taken += 4096, now + kTurn);
  }
  hold.OnQueue(kSlow, Who(kSlow), 1500, taken += 4096, kEnd + 1270);
  EXPECT_FALSE(hold.Full(kSlow)) << "it held past its holding time";
}

// Members that each open a new connection every `every_ms`, `accounts`
// of them in turn: the late joiner's replay makes a connection full at
// once, and it takes nothing. Beside them a member that keeps up. The
// presenter's holds over `end_ms`, in 10 ms turns.
struct Holds {
  uint64_t longest = 0;
  uint64_t total = 0;
};
Holds HoldsBesideReconnectingMembers(SenderHold& hold, int accounts, uint64_t every_ms, uint64_t end_ms) {
  constexpr uint64_t kTurn = 10;
  std::vector<SenderHold::Id> open(accounts, 0);
  SenderHold::Id next_id = 100;
  uint64_t next_connection = 0;
  int turn = 0;
  Holds holds;
  uint64_t began = 0;
  bool held = false;
  for (uint64_t now = 0; now <= end_ms; now += kTurn) {
    if (now >= next_connection) {
      next_connection += every_ms;
      SenderHold::Id& slot = open[turn++ % accounts];
      if (slot != 0) hold.Forget(slot, now);
      slot = next_id++;
    }
    std::vector<SenderHold::Id> fed = {kPresenter, kFast};
    for (int a = 0; a < accounts; ++a) {
      if (open[a] == 0) continue;
      hold.OnQueue(open[a], "mallory-" + std::to_string(a), 1u << 20, 0, now);
      fed.push_back(open[a]);
    }
    hold.OnQueue(kFast, Who(kFast), 0, 0, now);
    const bool now_held = hold.Decide(kPresenter, Who(kPresenter), fed, now / 1000, now);
    if (now_held && !held) began = now;
    if (now_held) holds.total += kTurn;
    if (held) holds.longest = std::max(holds.longest, now - began);
    held = now_held;
  }
  return holds;
}

HoldOptions Budgets() {
  HoldOptions options = Marks();
  options.hold_budget_ms = 250;
  options.hold_refill = 4;
  return options;
}

// A member's holding time is its credential's: a connection opened anew
// (full at once with the late joiner's replay) spends what the last one
// left, and the time is kept while the member is away, until it came back
// whole.
TEST(SenderHoldTest, AMemberThatConnectsAnewHoldsNoLongerThanItsCredentialsHoldingTime) {
  SenderHold hold(Budgets());
  const Holds holds = HoldsBesideReconnectingMembers(hold, 1, 230, 15000);
  EXPECT_LE(holds.longest, 260u) << "a new connection had holding time of its own";
  EXPECT_LT(holds.total, 15000u / 5 + 400) << "held " << holds.total << " ms of 15000";
  EXPECT_GT(holds.total, 15000u / 10) << "a member that is full must still hold a while";

  // Gone for good: its account is forgotten once its time came back.
  hold.Forget(100 + 15000 / 230, 15000);
  for (uint64_t now = 15000; now <= 18000; now += 10) hold.OnQueue(kFast, Who(kFast), 0, 0, now);
  EXPECT_EQ(hold.AccountsForTesting(), 2u) << "the fast member's and the presenter's, no more";
}

// Members taking turns do not add their holding times up: five, each
// with a new connection full at once while its own time lasts, hold the
// presenter no longer at a time, and no more in all, than one member may.
TEST(SenderHoldTest, MembersTakingTurnsHoldASenderOnlyForTheSendersHoldingTime) {
  HoldOptions options = Budgets();
  options.sender_hold_budget_ms = 250;
  SenderHold hold(options);
  const Holds holds = HoldsBesideReconnectingMembers(hold, 5, 230, 15000);
  EXPECT_LE(holds.longest, 260u) << "members taking turns held the presenter longer than one may";
  EXPECT_LT(holds.total, 15000u / 5 + 400) << "held " << holds.total << " ms of 15000";
  EXPECT_GT(holds.total, 15000u / 10);
}

// The server waits for a hold's end no longer than its holding time: it
// is told when the time of the member holding, or of the sender held, runs
// out, whichever comes first.
TEST(SenderHoldTest, TheServerIsToldWhenAHoldRunsOutOfTime) {
  HoldOptions options = Budgets();
  options.sender_hold_budget_ms = 400;
  SenderHold hold(options);
  const std::vector<SenderHold::Id> fed = {kPresenter, kSlow, kFast};
  EXPECT_EQ(hold.HoldEndsMs(), UINT64_MAX);
  hold.OnQueue(kSlow, Who(kSlow), 1u << 20, 0, 1000);
  EXPECT_EQ(hold.HoldEndsMs(), UINT64_MAX) << "full, but no one held yet";
  ASSERT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 1000));
  EXPECT_EQ(hold.HoldEndsMs(), 1250u);  // the member's 250 ms before the sender's 400
  hold.OnQueue(kSlow, Who(kSlow), 1u << 20, 10000, 1100);
  ASSERT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 1100));
  EXPECT_EQ(hold.HoldEndsMs(), 1250u);
  hold.OnQueue(kSlow, Who(kSlow), 1u << 20, 20000, 1250);
  EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, 1250));
  EXPECT_EQ(hold.HoldEndsMs(), UINT64_MAX);

  // A sender whose own time is shorter is let go at its end.
  HoldOptions short_sender = Budgets();
  short_sender.sender_hold_budget_ms = 100;
  SenderHold other(short_sender);
  other.OnQueue(kSlow, Who(kSlow), 1u << 20, 0, 1000);
  ASSERT_TRUE(other.Decide(kPresenter, Who(kPresenter), fed, 0, 1000));
  EXPECT_EQ(other.HoldEndsMs(), 1100u);
}

// Whose time a connection spends: a member's reconnections and its other
// sessions of one kind spend one time, no two credentials share one (the
// meeting's and roster id's texts cannot run into each other), and the
// video connection's queue, full with each key frame, leaves the sharing
// connection's time whole.
TEST(SenderHoldTest, ACredentialsConnectionsOfOneKindShareAnAccountAndNoOtherCredentialDoes) {
  using vzrelay::HoldAccountOf;
  using vzrelay::JoinRequest;
  const auto join = [](const std::string& meeting, const std::string& roster, bool presenter, uint8_t type) {
    JoinRequest request;
    request.session_type = type;
    request.meet_id = meeting;
    request.roster_id = roster;
    request.presenter = presenter;
    request.session_id = type == 2 ? meeting : "DS-1";
    return request;
  };
  const JoinRequest sharing = join("meet-1", "bob", false, 3);
  JoinRequest again = sharing;
  again.session_id = "DS-2";
  again.previous_ssrc = 7;
  again.token = "another connection's copy";
  EXPECT_EQ(HoldAccountOf(again), HoldAccountOf(sharing));
  for (const JoinRequest& other : {join("meet-2", "bob", false, 3), join("meet-1", "alice", false, 3),
                                   join("meet-1", "bob", true, 3), join("meet-1", "bob", false, 2),
                                   join("meet-1b", "ob", false, 3), join("meet-", "1bob", false, 3),
                                   join("meet-14:bob", "", false, 3)}) {
    EXPECT_NE(HoldAccountOf(other), HoldAccountOf(sharing)) << other.meet_id << " / " << other.roster_id;
  }

  // bob's video connection is full for a second, taking what it is sent:
  // his sharing connection, full after it, still holds the presenter for
  // all of his holding time.
  HoldOptions options = Marks();
  options.hold_budget_ms = 250;
  SenderHold hold(options);
  const SenderHold::Id video = 10, screen = 11;
  const std::vector<SenderHold::Id> fed = {kPresenter, screen};
  for (uint64_t now = 0; now <= 1000; now += 10) {
    hold.OnQueue(video, HoldAccountOf(join("meet-1", "bob", false, 2)), 1u << 20, now * 1000, now);
    hold.OnQueue(screen, HoldAccountOf(sharing), 0, 0, now);
    EXPECT_FALSE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, now));
  }
  for (uint64_t now = 1010; now < 1250; now += 10) {
    hold.OnQueue(screen, HoldAccountOf(sharing), 1u << 20, now * 1000, now);
    ASSERT_TRUE(hold.Decide(kPresenter, Who(kPresenter), fed, 0, now))
        << "the video connection spent the sharing connection's holding time: let go after " << now - 1010 << " ms";
  }
}

}  // namespace
