#include "outside/vzwire/relay/stream_senders.h"

#include <gtest/gtest.h>

#include <set>

namespace vzrelay {
namespace {

std::set<StreamSenders::Sender> Over(const StreamSenders& senders, uint64_t limit) {
  std::set<StreamSenders::Sender> over;
  senders.ForEachOver(limit, [&](StreamSenders::Sender sender) { over.insert(sender); });
  return over;
}

// Two senders' frames interleaved in one member's stream: each one's bytes
// wait until the member is through them, whatever lies between, and only
// the sender with more than the limit waiting is named.
TEST(StreamSendersTest, EachSendersBytesWaitUntilTheMemberIsThroughThem) {
  StreamSenders senders;
  senders.Add(7, 0, 100);
  senders.Add(7, 100, 600);  // one stretch with the one before
  senders.Add(9, 600, 650);
  senders.Add(7, 650, 1650);
  EXPECT_EQ(senders.Waiting(7), 1600u);
  EXPECT_EQ(senders.Waiting(9), 50u);
  EXPECT_EQ(Over(senders, 1000), (std::set<StreamSenders::Sender>{7}));

  senders.TakenThrough(620);  // halfway through sender 9's stretch
  EXPECT_EQ(senders.Waiting(7), 1000u);
  EXPECT_EQ(senders.Waiting(9), 30u);
  EXPECT_TRUE(Over(senders, 1000).empty());

  senders.TakenThrough(620);  // the same position again takes nothing
  senders.TakenThrough(1650);
  EXPECT_EQ(senders.Waiting(7), 0u);
  EXPECT_EQ(senders.Waiting(9), 0u);
  EXPECT_TRUE(Over(senders, 0).empty());
}

}  // namespace
}  // namespace vzrelay
