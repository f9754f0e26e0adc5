#include "outside/vzwire/relay/stream_answers.h"

#include <gtest/gtest.h>

namespace {

using vzrelay::StreamAnswers;

// A stream of data with answers among it: what the member has not taken of
// the answers is left out of its queue, and what it took of them is no
// progress; an answer half taken counts half.
TEST(StreamAnswersTest, AnswersTakenAndUnreadFollowTheMembersPlaceInTheStream) {
  StreamAnswers answers;
  answers.Add(100, 126);  // a pong after 100 bytes of data
  answers.Add(126, 140);  // a count right behind it: one stretch
  answers.Add(500, 526);
  answers.Add(600, 600);  // nothing
  EXPECT_EQ(answers.Unread(), 66u);
  answers.TakenThrough(50);
  EXPECT_EQ(answers.Taken(), 0u);
  answers.TakenThrough(113);
  EXPECT_EQ(answers.Taken(), 13u);
  EXPECT_EQ(answers.Unread(), 53u);
  answers.TakenThrough(113);  // the same place again changes nothing
  EXPECT_EQ(answers.Taken(), 13u);
  answers.TakenThrough(520);
  EXPECT_EQ(answers.Taken(), 60u);
  EXPECT_EQ(answers.Unread(), 6u);
  answers.TakenThrough(10000);
  EXPECT_EQ(answers.Taken(), 66u);
  EXPECT_EQ(answers.Unread(), 0u);
  answers.Add(10000, 10026);
  EXPECT_EQ(answers.Unread(), 26u);
}

}  // namespace
