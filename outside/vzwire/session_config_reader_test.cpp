#include "outside/vzwire/session_config_reader.h"

#include <gtest/gtest.h>

#include "outside/vzwire/recording_sink_testlib.h"

namespace vzwire {
namespace {

using vzwire_test::SessionRecord;

TEST(SessionConfigReaderTest, SharingRecordGivesTheDsSessionAndItsPeople) {
  SessionRecord record;
  record.ServerAddr("127.0.0.1").TcpPort(4443).Port(5000).MeetId("meet-9").DSId("ds-9").RosterId("r-1")
      .Token("VDS meet-9:abc").IsPresenter(1).IsWebAttendee(1);
  JoinTarget target;
  std::string error;
  ASSERT_TRUE(ReadSessionConfig(3, record.Data(), &target, &error)) << error;
  EXPECT_FALSE(target.loopback);
  EXPECT_EQ(target.port, 4443);  // the TCP port, not the media port
  EXPECT_EQ(target.request.session_type, 3);
  EXPECT_EQ(target.request.session_id, "ds-9");
  EXPECT_EQ(target.request.meet_id, "meet-9");
  EXPECT_EQ(target.request.token, "VDS meet-9:abc");
  EXPECT_EQ(target.request.roster_id, "r-1");
  EXPECT_TRUE(target.request.presenter);
  EXPECT_TRUE(target.request.web_attendee);
}

TEST(SessionConfigReaderTest, VideoRecordIsKeyedByTheMeetingAndFallsBackToThePort) {
  SessionRecord record;
  record.ServerAddr("localhost").Port(6000).MeetId("meet-v").DSId("ignored").IsPresenter(1);
  JoinTarget target;
  std::string error;
  ASSERT_TRUE(ReadSessionConfig(2, record.Data(), &target, &error)) << error;
  EXPECT_EQ(target.request.session_id, "meet-v");
  EXPECT_EQ(target.port, 6000);
  EXPECT_FALSE(target.request.presenter);  // the flag at that offset means Broadcast for video
}

TEST(SessionConfigReaderTest, LoopbackAndServerIpSelectTheServer) {
  SessionRecord loopback;
  loopback.ServerAddr("loopback").DSId("ds");
  JoinTarget target;
  std::string error;
  ASSERT_TRUE(ReadSessionConfig(3, loopback.Data(), &target, &error));
  EXPECT_TRUE(target.loopback);
  SessionRecord by_ip;
  by_ip.ServerIp("127.0.0.1").TcpPort(1).DSId("ds");
  JoinTarget ip_target;
  ASSERT_TRUE(ReadSessionConfig(3, by_ip.Data(), &ip_target, &error));
  EXPECT_EQ(ip_target.port, 1);
}

TEST(SessionConfigReaderTest, UnusableRecordsSayWhy) {
  JoinTarget target;
  std::string error;
  SessionRecord remote;
  remote.ServerAddr("10.0.0.1").TcpPort(443).DSId("ds");
  EXPECT_FALSE(ReadSessionConfig(3, remote.Data(), &target, &error));
  EXPECT_NE(error.find("not on this machine"), std::string::npos);
  SessionRecord no_port;
  no_port.ServerAddr("127.0.0.1").DSId("ds");
  EXPECT_FALSE(ReadSessionConfig(3, no_port.Data(), &target, &error));
  SessionRecord bad_port;
  bad_port.ServerAddr("127.0.0.1").TcpPort(70000).DSId("ds");
  EXPECT_FALSE(ReadSessionConfig(3, bad_port.Data(), &target, &error));
  SessionRecord no_id;
  no_id.ServerAddr("loopback");
  EXPECT_FALSE(ReadSessionConfig(3, no_id.Data(), &target, &error));
  EXPECT_FALSE(ReadSessionConfig(4, no_id.Data(), &target, &error));
  EXPECT_FALSE(ReadSessionConfig(3, nullptr, &target, &error));
}

TEST(SessionConfigReaderTest, TextsWithoutTheirNulStopAtTheFieldsEnd) {
  SessionRecord record;
  record.ServerAddr("loopback").DSId(std::string(127, 'd'));
  // The DS id field's last unit and the next field's first are not NULs.
  auto* bytes = const_cast<uint8_t*>(static_cast<const uint8_t*>(record.Data()));
  bytes[1352 + 254] = 'x';
  bytes[1608] = 'y';
  JoinTarget target;
  std::string error;
  ASSERT_TRUE(ReadSessionConfig(3, record.Data(), &target, &error));
  EXPECT_EQ(target.request.session_id, std::string(127, 'd') + "x");
}

}  // namespace
}  // namespace vzwire
