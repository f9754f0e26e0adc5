// The roster map: the audio status that participants are stored with, joins
// of known ids, leaves of unknown ones, and ids that fill their field.
#include <gtest/gtest.h>

#include "common/log_capture_testlib.h"
#include "client/controller/road_scenario_testlib.h"

namespace vz {
namespace {

using Rosters = RoadScenario;

TEST_F(Rosters, TheStoredAudioStatusFollowsTheTable) {
  struct Case {
    const char16_t* id;
    int32_t status;
    int32_t invisible;
    bool join;
    int32_t stored;
  };
  // A join turns 0 into 1 first; an invisible participant shows 7 for 3, 4
  // and 7 and 8 for anything else.
  const Case cases[] = {
      {u"v", 0, 0, true, 1},  {u"v", 0, 0, false, 0}, {u"v", 5, 0, false, 5},
      {u"i", 4, 1, true, 7},  {u"i", 2, 1, false, 8}, {u"i", 3, 1, false, 7},
      {u"i", 7, 1, false, 7}, {u"i", 0, 1, false, 8}, {u"j", 0, 1, true, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "status " << c.status << " invisible " << c.invisible
                                    << (c.join ? " joined" : " updated"));
    RosterRecord record = Roster(c.id, c.status, c.invisible);
    if (c.join) {
      controller_->OnAppCmdUserJoined(&record);
    } else {
      controller_->OnAppCmdUserUpdated(&record);
    }
    ASSERT_NE(controller_->FindRoster(c.id), nullptr);
    EXPECT_EQ(controller_->FindRoster(c.id)->AudioStatus, c.stored);
  }
}

TEST_F(Rosters, AJoinOfAKnownIdIsAnUpdate) {
  AddRoster(u"R1");
  Connect();
  AVSessionConfig video = VideoRequest();
  controller_->OnAVSessionRequestJoin(&video);
  AddRoster(u"R2", 0);
  hub_.Take();
  AddRoster(u"R2", 4);
  EXPECT_EQ(hub_.Take(), (Journal{"video AppRosterUpdated(R2)", "roster updated R2 audio 4"}));
  std::vector<RosterRecord*> list;
  controller_->GetRosterList(&list);
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(Rosters, LeavingAnUnknownIdChangesNothing) {
  vz::LogLineCapture log_lines;
  AddRoster(u"R1");
  hub_.Take();
  RosterRecord stranger = Roster(u"R9");
  EXPECT_EQ(controller_->OnAppCmdUserLeft(&stranger), 0);
  EXPECT_EQ(controller_->OnAppCmdUserLeft(nullptr), 0);
  EXPECT_EQ(controller_->OnAppCmdUserUpdated(nullptr), 0);
  EXPECT_EQ(hub_.Take(), Journal{});
  EXPECT_EQ(log_lines.Count("roster id [R9] not in meet.", vz::kFileLines), 1u);
  EXPECT_NE(controller_->FindRoster(u"R1"), nullptr);
}

TEST_F(Rosters, AnIdThatFillsItsFieldIsKeptAs127Units) {
  const std::u16string full(128, u'r');
  RosterRecord record = Roster(full);  // no terminator inside the field
  ASSERT_EQ(controller_->OnAppCmdUserJoined(&record), 1);
  const std::u16string kept(127, u'r');
  RosterRecord* stored = controller_->FindRoster(kept.c_str());
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(std::u16string(stored->RosterId), kept);
  // A surrogate pair at the cut goes whole.
  std::u16string paired(126, u'p');
  paired += u"\U0001F600";
  RosterRecord with_pair = Roster(paired);
  controller_->OnAppCmdUserJoined(&with_pair);
  EXPECT_NE(controller_->FindRoster(std::u16string(126, u'p').c_str()), nullptr);
}

}  // namespace
}  // namespace vz
