// The merging of a turn's participant changes, as the panel takes them.
#include "video/engine/client/user_change_batch.h"

#include <gtest/gtest.h>

#include "video/engine/client/video_controller.h"

namespace {

UserChange Change(uint32_t msg, const char* id, uint32_t ssrc, int32_t video = 1, intptr_t arg = 0) {
  UserChange change;
  change.msg = msg;
  change.user.rosterId = id;
  change.user.ssrc = ssrc;
  change.user.videoStatus = video;
  change.arg = arg;
  return change;
}

// A member that left and entered again reaches the panel as its leaving
// then its entry (the new member has none of the old one's renderers); an
// entry updated before the panel saw it stays an entry, with the last
// record; and the batch is empty once taken.
TEST(UserChangeBatchTest, ALeaveAndAReturnStayBothAndAnEntryKeepsItsKindWithTheLastRecord) {
  UserChangeBatch batch;
  batch.Add(Change(WMVC_USER_UPDATED, "bob", 1));
  batch.Add(Change(WMVC_USER_LEFT, "bob", 1));
  batch.Add(Change(WMVC_USER_ENTER, "carol", 7, 1, 0));
  batch.Add(Change(WMVC_USER_ENTER, "bob", 2, 0, 1));
  batch.Add(Change(WMVC_USER_UPDATED, "bob", 3));
  batch.Add(Change(WMVC_USER_UPDATED, "carol", 8));
  const std::vector<UserChange> out = batch.Take();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].msg, WMVC_USER_LEFT);
  EXPECT_EQ(out[0].user.rosterId, "bob");
  EXPECT_EQ(out[1].msg, WMVC_USER_ENTER);
  EXPECT_EQ(out[1].user.rosterId, "carol");
  EXPECT_EQ(out[1].user.ssrc, 8u);
  EXPECT_EQ(out[1].arg, 1) << "an entry updated before it was shown is shown at once";
  EXPECT_EQ(out[2].msg, WMVC_USER_ENTER);
  EXPECT_EQ(out[2].user.rosterId, "bob");
  EXPECT_EQ(out[2].user.ssrc, 3u);
  EXPECT_EQ(out[2].user.videoStatus, 1);
  EXPECT_TRUE(batch.empty());
  EXPECT_TRUE(batch.Take().empty());
}

}  // namespace
