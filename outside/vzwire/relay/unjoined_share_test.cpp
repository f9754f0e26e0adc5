#include "outside/vzwire/relay/unjoined_share.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace vzrelay {
namespace {

struct FakeConnection final : UnjoinedShareConnection {
  explicit FakeConnection(std::string name) : name(std::move(name)) {}
  bool Joined() const override { return joined; }
  bool Closing() const override { return closing; }
  bool Gone() const override { return gone; }
  size_t PartialBytes() const override { return partial; }

  std::string name;
  bool joined = false, closing = false, gone = false;
  size_t partial = 0;
  bool join_waits = false;  // its join waits unread: a read joins it
};

// The relay as the share sees it: reads join what waited, closes are noted.
struct FakeRelay final : UnjoinedShareHost {
  void ReadWaiting(UnjoinedShareConnection& connection) override {
    auto& fake = static_cast<FakeConnection&>(connection);
    read.push_back(fake.name);
    if (fake.join_waits) fake.joined = true;
  }
  void CloseUnjoined(UnjoinedShareConnection& connection, size_t) override {
    auto& fake = static_cast<FakeConnection&>(connection);
    fake.gone = true;
    closed.push_back(fake.name);
  }
  // The connections closed since the last call.
  std::vector<std::string> TakeClosed() { return std::exchange(closed, {}); }

  std::vector<std::string> read, closed;
};

using Names = std::vector<std::string>;

TEST(UnjoinedShareTest, PastTheShareEachNewcomerClosesTheOldestSilentConnectionAndJoinedOnesNeverCount) {
  std::deque<FakeConnection> relay;  // oldest first
  const auto connection = [&](const std::string& name) -> FakeConnection& { return relay.emplace_back(name); };
  connection("member-1").joined = true;
  connection("silent-a");
  connection("member-2").joined = true;
  connection("refused").closing = true;  // a refused join's answer on its way: open, not counted
  connection("left").gone = true;        // neither open nor counted
  connection("silent-b");
  connection("member-3").joined = true;

  FakeRelay host;
  UnjoinedShare share(3, 9);
  for (FakeConnection& c : relay) share.Count(c);
  EXPECT_EQ(share.Open(), 6u);
  EXPECT_EQ(share.Unjoined(), 2u);

  // Up to the share nothing closes, however many have joined.
  share.Admit(connection("silent-c"), host);
  EXPECT_EQ(host.TakeClosed(), Names{});
  EXPECT_EQ(share.Unjoined(), 3u);
  // Past it, one closes a newcomer, the oldest that has not joined.
  share.Admit(connection("silent-d"), host);
  EXPECT_EQ(host.TakeClosed(), Names{"silent-a"});
  share.Admit(connection("silent-e"), host);
  EXPECT_EQ(host.TakeClosed(), Names{"silent-b"});
  EXPECT_EQ(share.Unjoined(), 3u);

  // The next turn counts what stayed, and goes on with its oldest.
  UnjoinedShare next_turn(3, 9);
  for (FakeConnection& c : relay) next_turn.Count(c);
  EXPECT_EQ(next_turn.Open(), 7u);
  EXPECT_EQ(next_turn.Unjoined(), 3u);
  next_turn.Admit(connection("silent-f"), host);
  EXPECT_EQ(host.TakeClosed(), Names{"silent-c"});

  // Connections in all: a newcomer finds room below the bound, none at it.
  EXPECT_FALSE(next_turn.Full());
  FakeConnection& member = connection("member-4");
  member.joined = true;  // its join came with it: it counts in all only
  next_turn.Admit(member, host);
  EXPECT_EQ(host.TakeClosed(), Names{});
  EXPECT_EQ(next_turn.Unjoined(), 3u);
  EXPECT_TRUE(next_turn.Full());
}

TEST(UnjoinedShareTest, AConnectionWhoseJoinCameOrIsArrivingStaysAndTheNewcomerClosesWhenAllOlderOnesDo) {
  std::deque<FakeConnection> relay;
  const auto connection = [&](const std::string& name) -> FakeConnection& { return relay.emplace_back(name); };
  connection("join-waits").join_waits = true;  // its join came after it was counted
  connection("join-arriving").partial = 40;    // part of its join read
  connection("silent");

  FakeRelay host;
  UnjoinedShare share(3, 100);
  for (FakeConnection& c : relay) share.Count(c);
  // The oldest is read before it would be closed, and joins instead.
  share.Admit(connection("newcomer-1"), host);
  EXPECT_EQ(host.TakeClosed(), Names{});
  EXPECT_TRUE(relay[0].joined);
  // One whose join is arriving stays, and still counts; the next one closes.
  share.Admit(connection("newcomer-2"), host);
  EXPECT_EQ(host.TakeClosed(), Names{"silent"});
  EXPECT_EQ(share.Unjoined(), 3u);
  // When every older one has begun its join, the newcomer itself closes
  // (read once already, as it came).
  relay[3].partial = relay[4].partial = 10;
  share.Admit(connection("newcomer-3"), host);
  EXPECT_EQ(host.TakeClosed(), Names{"newcomer-3"});
  EXPECT_EQ(share.Unjoined(), 3u);
  EXPECT_EQ(host.read, (Names{"join-waits", "join-arriving", "silent", "newcomer-1", "newcomer-2"}));
}

}  // namespace
}  // namespace vzrelay
