#include "contracts/session_records.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

// Offsets measured on a live object, so a compiler's layout choice that the
// static checks somehow missed still shows here.
template <typename Record, typename Field>
size_t OffsetIn(const Record& record, const Field& field) {
  return static_cast<size_t>(reinterpret_cast<const char*>(&field) - reinterpret_cast<const char*>(&record));
}

TEST(SessionRecordsTest, MeetConfigAndRosterLayout) {
  MeetConfig meet{};
  EXPECT_EQ(sizeof meet, 40u);
  EXPECT_EQ(OffsetIn(meet, meet.VideoQuality), 8u);
  EXPECT_EQ(OffsetIn(meet, meet.HeaderBgColor), 24u);
  EXPECT_EQ(OffsetIn(meet, meet.HeaderTextColor), 28u);
  EXPECT_EQ(OffsetIn(meet, meet.ShowPoweredBy), 36u);

  RosterRecord roster{};
  EXPECT_EQ(sizeof roster, 1044u);
  EXPECT_EQ(OffsetIn(roster, roster.Name), 256u);
  EXPECT_EQ(OffsetIn(roster, roster.FirstName), 512u);
  EXPECT_EQ(OffsetIn(roster, roster.LastName), 768u);
  EXPECT_EQ(OffsetIn(roster, roster.Reserved), 1024u);
  EXPECT_EQ(OffsetIn(roster, roster.IsHost), 1028u);
  EXPECT_EQ(OffsetIn(roster, roster.IsPresenter), 1032u);
  EXPECT_EQ(OffsetIn(roster, roster.IsInvisible), 1036u);
  EXPECT_EQ(OffsetIn(roster, roster.AudioStatus), 1040u);
}

template <typename Config>
void ExpectSessionLayout(const Config& config, const char* name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(OffsetIn(config, config.Zone), 0u);
  EXPECT_EQ(OffsetIn(config, config.ServerAddr), 64u);
  EXPECT_EQ(OffsetIn(config, config.Token), 576u);
  EXPECT_EQ(OffsetIn(config, config.RosterId), 832u);
  EXPECT_EQ(OffsetIn(config, config.MeetId), 1088u);
  EXPECT_EQ(OffsetIn(config, config.Port), 1344u);
  EXPECT_EQ(OffsetIn(config, config.TcpPort), 1348u);
  EXPECT_EQ(OffsetIn(config, config.DSId), 1352u);
  EXPECT_EQ(OffsetIn(config, config.ServerIp), 1608u);
  EXPECT_EQ(OffsetIn(config, config.ApplicationName), 1864u);
  EXPECT_EQ(OffsetIn(config, config.JoinParameters), 2120u);
  EXPECT_EQ(OffsetIn(config, config.EdgeServerCount), 2632u);
  EXPECT_EQ(OffsetIn(config, config.EdgeServers[0]), 2636u);
  EXPECT_EQ(OffsetIn(config, config.EdgeServers[15].TcpPort), 2636u + 15 * 328 + 324);
}

TEST(SessionRecordsTest, SessionRecordLayouts) {
  EdgeServerEntry edge{};
  EXPECT_EQ(sizeof edge, 328u);
  EXPECT_EQ(OffsetIn(edge, edge.ServerAddr), 64u);
  EXPECT_EQ(OffsetIn(edge, edge.Port), 320u);
  EXPECT_EQ(OffsetIn(edge, edge.TcpPort), 324u);

  DSSessionConfig ds{};
  ExpectSessionLayout(ds, "DSSessionConfig");
  EXPECT_EQ(sizeof ds, 7892u);
  EXPECT_EQ(OffsetIn(ds, ds.IsPresenter), 7884u);
  EXPECT_EQ(OffsetIn(ds, ds.IsWebAttendee), 7888u);

  ACSessionConfig ac{};
  ExpectSessionLayout(ac, "ACSessionConfig");
  EXPECT_EQ(sizeof ac, 7892u);
  EXPECT_EQ(OffsetIn(ac, ac.IsMuted), 7884u);
  EXPECT_EQ(OffsetIn(ac, ac.IsInvisible), 7888u);

  AVSessionConfig av{};
  ExpectSessionLayout(av, "AVSessionConfig");
  EXPECT_EQ(sizeof av, 7904u);
  EXPECT_EQ(OffsetIn(av, av.Broadcast), 7884u);
  EXPECT_EQ(OffsetIn(av, av.IsInvisible), 7888u);
  EXPECT_EQ(OffsetIn(av, av.Layout), 7892u);
  EXPECT_EQ(OffsetIn(av, av.VideoQuality), 7896u);
  EXPECT_EQ(OffsetIn(av, av.VideoToolbar), 7900u);
}

}  // namespace
