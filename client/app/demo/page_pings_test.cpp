#include "client/app/demo/page_pings.h"

#include <gtest/gtest.h>

namespace {

// The answers name no ping: the n-th answer is the n-th ping's, and a ping
// with no answer by the end is lost, whichever ping waited longest.
TEST(PagePingsTest, AnswersMatchThePingsInOrderAndTheUnansweredAreLost) {
  const PingFigures figures = PingRoundTrips({0, 100, 200, 300}, {5, 400, 410});
  EXPECT_EQ(4u, figures.sent);
  EXPECT_EQ(1u, figures.lost);
  EXPECT_EQ(5u, figures.min_ms);
  EXPECT_EQ(210u, figures.median_ms);
  EXPECT_EQ(300u, figures.max_ms);

  const PingFigures none = PingRoundTrips({0, 100}, {});
  EXPECT_EQ(2u, none.lost);
  EXPECT_EQ(0u, none.max_ms);
}

}  // namespace
