#include <gtest/gtest.h>

#include "weblink/json/json_lookup.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/record_fixture_testlib.h"

namespace {

TEST(RosterRecordBuilderTest, FixtureGivesGoldenBytes) {
  auto request = LoadFixture("rosters_joined.json");
  ASSERT_TRUE(request);
  const JsonItems rosters = JsonGetArray(ActionOf(*request), "rosters");
  ASSERT_EQ(rosters.size(), 2u);

  RosterRecord record;
  ParseRosterRecord(rosters[0].members(), &record);
  GoldenBytes first(1044);
  first.Text(0, u"r-1").Text(256, u"Zo\u00EB M\u00FCller").Text(512, u"Zo\u00EB").Text(768, u"M\u00FCller");
  first.Int(1028, 1).Int(1032, 0).Int(1036, 1).Int(1040, 5);
  EXPECT_TRUE(SameBytes(&record, sizeof record, first));

  // A number where a flag is expected counts as false; no status objects: 2.
  ParseRosterRecord(rosters[1].members(), &record);
  GoldenBytes second(1044);
  second.Text(0, u"r-2").Text(256, u"\U0001F600 Bot").Int(1040, 2);
  EXPECT_TRUE(SameBytes(&record, sizeof record, second));

  ParseRosterLeftRecord(rosters[0].members(), &record);
  EXPECT_TRUE(SameBytes(&record, sizeof record, GoldenBytes(1044).Text(0, u"r-1")));
}

struct AudioStatusCase {
  const char* audio;      // the "audio_status" member, or empty for none
  const char* telephone;  // the "telephone_status" member, or empty for none
  int32_t status;
};

const AudioStatusCase kAudioStatusCases[] = {
    {"", "", 2},
    {"{\"is_in_session\":false,\"is_mute\":true}", "", 2},
    {"{\"is_in_session\":true}", "", 3},
    {"{\"is_in_session\":true,\"is_mute\":false}", "", 3},
    {"{\"is_in_session\":true,\"is_mute\":true}", "", 4},
    {"{\"is_in_session\":1,\"is_mute\":true}", "", 2},
    {"{\"is_in_session\":true,\"is_mute\":1}", "", 3},
    {"", "{\"is_in_session\":true,\"is_mute\":false}", 5},
    {"", "{\"is_in_session\":true,\"is_mute\":true}", 6},
    {"", "{\"is_in_session\":false,\"is_mute\":true}", 2},
    {"{\"is_in_session\":true,\"is_mute\":true}", "{\"is_in_session\":true,\"is_mute\":false}", 5},
    {"{\"is_in_session\":true,\"is_mute\":false}", "{\"is_in_session\":true,\"is_mute\":true}", 6},
    {"{\"is_in_session\":true,\"is_mute\":true}", "{\"is_in_session\":false}", 4},
    {"true", "true", 2},
};

TEST(RosterRecordBuilderTest, AudioStatusMatrix) {
  for (const AudioStatusCase& c : kAudioStatusCases) {
    std::string text = "{\"id\":\"r\"";
    if (*c.audio) text += std::string(",\"audio_status\":") + c.audio;
    if (*c.telephone) text += std::string(",\"telephone_status\":") + c.telephone;
    text += "}";
    auto roster = ParseOrFail(text);
    ASSERT_TRUE(roster) << text;
    RosterRecord record;
    ParseRosterRecord(roster->members(), &record);
    EXPECT_EQ(record.AudioStatus, c.status) << text;
  }
}

TEST(RosterRecordBuilderTest, FlagsComeFromTheElementNotFromUser) {
  auto roster = ParseOrFail("{\"id\":\"r\",\"user\":{\"is_host\":true,\"is_presenter\":true},\"is_invisible\":false}");
  ASSERT_TRUE(roster);
  RosterRecord record;
  ParseRosterRecord(roster->members(), &record);
  EXPECT_EQ(record.IsHost, 0);
  EXPECT_EQ(record.IsPresenter, 0);
  EXPECT_EQ(record.IsInvisible, 0);
}

}  // namespace
