// Who a member is, who presents and whose records reach the attendees,
// through a vzrelay process over its real socket: every member, honest or
// not, is played by a raw client of the relay's framing.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "platform/scoped_test_folder_testlib.h"

namespace {

using vzrelay::MemberRole;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send

constexpr char kSecret[] = "a meeting secret of the test's own";
constexpr char kPlainToken[] = "VDS meet-1:tok";

std::string Token(const std::string& roster, MemberRole role, const std::string& meeting = "meet-1") {
  return vzrelay::MakeMemberToken(kSecret, meeting, roster, role);
}

// A join of meeting meet-1 (its sharing session ds-1) with `token`.
vzrelay::JoinRequest Joining(uint8_t type, const std::string& roster, const std::string& token,
                             bool presenter = false) {
  vzrelay::JoinRequest join =
      PlainJoin(roster, type, type == kSharing ? "ds-1" : "meet-1", "meet-1", presenter);
  join.token = token;
  return join;
}

// A block at `position` showing cache 1.
void AddBlock(DsData* message, uint64_t position) { vzrelay_test::AddBlock(message, position, position, 1, 1); }

// vzrelay with a meeting secret in a file of the test's folder.
struct SecretRelay {
  vz::ScopedTestFolder folder;
  RelayProcess relay;
  std::string secret_file;
  bool Start() {
    secret_file = folder.path() + "/secret";
    std::ofstream(secret_file) << kSecret << "\n";
    return relay.Start({"--secret-file", secret_file});
  }
  uint16_t Port() const { return relay.Port(); }
};

TEST(RelayMemberIdentityTest, TheRelaysMemberTokenIsTheLibrarysAndNeedsItsSecret) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  vz::PipedChild maker;
  ASSERT_TRUE(maker.Start(VZ_RELAY_BINARY, {"vzrelay", "--secret-file", relay.secret_file, "--member-token", "meet-1",
                                            "alice", "presenter"}, {}));
  std::string printed(65, '\0');
  ASSERT_TRUE(maker.ReadExactly(printed.data(), printed.size(), 10000));
  int code = -1;
  ASSERT_TRUE(maker.Wait(10000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(printed, Token("alice", MemberRole::kPresenter) + "\n");

  // Without a secret, or with an unknown role, no token is printed.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"vzrelay", "--member-token", "meet-1", "alice", "presenter"},
        std::vector<std::string>{"vzrelay", "--secret-file", relay.secret_file, "--member-token", "meet-1", "alice",
                                 "host"}}) {
    vz::PipedChild refused;
    ASSERT_TRUE(refused.Start(VZ_RELAY_BINARY, args, {}));
    ASSERT_TRUE(refused.Wait(10000, &code));
    EXPECT_EQ(code, 2);
  }
}

TEST(RelayMemberIdentityTest, WithASecretNoMemberJoinsAsAnotherRosterIdOrRole) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  RawMember alice, bob;
  ASSERT_TRUE(alice.Join(relay.Port(),
                         Joining(kSharing, "alice", "VDS meet-1:" + Token("alice", MemberRole::kPresenter), true)));
  ASSERT_EQ(Ask(alice, DS_DATA_START), DS_CODE_SUCCESS);
  ASSERT_TRUE(bob.Join(relay.Port(), Joining(kSharing, "bob", Token("bob", MemberRole::kAttendee))));
  ASSERT_EQ(Ask(bob, DS_DATA_JOIN), DS_CODE_SUCCESS);

  // mallory holds her own attendee token and the plain one of old.
  const std::string own = Token("mallory", MemberRole::kAttendee);
  struct Attempt {
    std::string roster, token;
    bool presenter;
  };
  const Attempt attempts[] = {
      {"alice", own, false},                                   // the presenter's roster id
      {"alice", own, true},                                    // ...as its presenter
      {"bob", "VDS meet-1:" + own, false},                      // an attendee's
      {"mallory", own, true},                                  // her own as a presenter
      {"alice", kPlainToken, true},                            // the meeting's shared token
      {"alice", Token("alice", MemberRole::kAttendee, "meet-2"), false},  // another meeting's
      {"alice", Token("alice", MemberRole::kPresenter).substr(0, 63), true},  // a token cut short
  };
  for (const Attempt& attempt : attempts) {
    RawMember mallory;
    EXPECT_FALSE(mallory.Join(relay.Port(), Joining(kSharing, attempt.roster, attempt.token, attempt.presenter)))
        << attempt.roster << " " << attempt.token;
    EXPECT_EQ(mallory.refused, vzrelay::kRefusedWrongToken);
    EXPECT_TRUE(mallory.client.WaitClosed());
  }

  // alice and bob are still the only ones who hold their roster ids: a
  // command to alice reaches her, stamped as bob's.
  ASSERT_TRUE(bob.Send(Command(2, "", "alice")));
  DsData seen;
  ASSERT_TRUE(alice.Next(&seen));
  EXPECT_EQ(seen.command().src_roster_id(), "bob");

  // In video as well: an impostor of alice is refused, and alice's
  // stream still reaches bob, who subscribed to it.
  RawMember alice_video, bob_video, impostor;
  ASSERT_TRUE(alice_video.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  ASSERT_TRUE(bob_video.Join(relay.Port(), Joining(kVideo, "bob", Token("bob", MemberRole::kAttendee))));
  ASSERT_TRUE(bob_video.Send(SubscribeRequest("bob", "alice")));
  AvData notice;
  ASSERT_TRUE(alice_video.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &notice));
  EXPECT_FALSE(impostor.Join(relay.Port(), Joining(kVideo, "alice", own)));
  EXPECT_EQ(impostor.refused, vzrelay::kRefusedWrongToken);
  ASSERT_TRUE(alice_video.SendRtp(1));
  EXPECT_TRUE(bob_video.NextRtp());
  EXPECT_TRUE(relay.relay.Stop());
}

TEST(RelayMemberIdentityTest, ASecondJoinWithTheSameCredentialReplacesTheFirstAsAReconnectionDoes) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  RawMember alice, bob;
  ASSERT_TRUE(alice.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  ASSERT_TRUE(bob.Join(relay.Port(), Joining(kVideo, "bob", Token("bob", MemberRole::kAttendee))));
  AvData seen;
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &seen));  // everyone, as bob joined
  ASSERT_EQ(seen.rosters_size(), 2);
  ASSERT_TRUE(bob.Send(SubscribeRequest("bob", "alice")));
  ASSERT_TRUE(alice.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &seen));

  // alice again, as a reconnection: the old connection is closed, bob
  // hears alice leave and come back (one alice, never two).
  RawMember again;
  ASSERT_TRUE(again.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  EXPECT_EQ(again.members, 2u);
  EXPECT_TRUE(alice.client.WaitClosed());
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &seen));
  EXPECT_EQ(seen.rostertype(), 2u);
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &seen));
  EXPECT_EQ(seen.rostertype(), 1u);
  ASSERT_EQ(seen.rosters_size(), 1);
  EXPECT_EQ(seen.rosters(0).roster_id(), "alice");
  EXPECT_EQ(seen.rosters(0).ssrc(), again.ssrc);

  // The subscription is the new connection's, and so is the stream.
  ASSERT_TRUE(again.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &seen));
  EXPECT_EQ(seen.roster_id(), "bob");
  ASSERT_TRUE(again.SendRtp(1));
  EXPECT_TRUE(bob.NextRtp());
  EXPECT_TRUE(relay.relay.Stop());
}

TEST(RelayMemberIdentityTest, OnlyAMemberJoinedAsPresenterStartsAndAReconnectingPresenterGetsItBack) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember &alice = pair.presenter, &bob = pair.attendee, carol;
  ASSERT_TRUE(carol.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_EQ(Ask(carol, DS_DATA_JOIN), DS_CODE_SUCCESS);

  // While the presenter is away, an attendee asks to present: refused,
  // and its blocks do not reach carol.
  alice.client.Socket().Close();
  EXPECT_EQ(Ask(bob, DS_DATA_START), DS_CODE_ERROR);
  DsData forged = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&forged, 9);
  ASSERT_TRUE(bob.Send(forged));
  ASSERT_TRUE(bob.Synced());

  // The presenter comes back (and again while its last connection is still
  // open): its START succeeds, and carol sees its screen, not bob's.
  RawMember back, back_again;
  ASSERT_TRUE(back.Join(relay.Port(), PresenterJoin("alice")));
  ASSERT_EQ(Ask(back, DS_DATA_START), DS_CODE_SUCCESS);
  ASSERT_TRUE(back_again.Join(relay.Port(), PresenterJoin("alice")));
  ASSERT_EQ(Ask(back_again, DS_DATA_START), DS_CODE_SUCCESS);
  EXPECT_TRUE(back.client.WaitClosed());
  DsData screen = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&screen, 1);
  ASSERT_TRUE(back_again.Send(screen));
  DsData seen;
  ASSERT_TRUE(carol.Next(&seen));
  ASSERT_EQ(seen.blocks_size(), 1);
  EXPECT_EQ(seen.blocks(0).position(), 1u);
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayMemberIdentityTest, RecordsInsideAnyMessageReachAttendeesOnlyFromThePresenter) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember &alice = pair.presenter, &bob = pair.attendee, mallory;
  ASSERT_TRUE(mallory.Join(relay.Port(), PlainJoin("mallory")));

  // Caches, blocks, a sharing info and a cursor under a type the protocol
  // does not define, under no type, and inside commands with and without
  // an addressee.
  DsData records = Header(DS_DATA_COMMAND);
  AddCache(&records, 7, 7, "forged tile");
  AddBlock(&records, 3);
  records.mutable_sharing_info()->set_capture_mode(1);
  records.mutable_mouse_info()->set_monitor_id(1);
  DsData untyped = records;
  untyped.clear_type();
  untyped.clear_command();
  // Type 999 (field 20 as a varint), written by hand: the schema has no such value.
  const std::string undefined = untyped.SerializeAsString() + std::string("\xA0\x01\xE7\x07", 4);
  DsData addressed = records;
  addressed.mutable_command()->set_type(7);
  addressed.mutable_command()->set_dst_roster_id("bob");
  DsData unaddressed = records;
  unaddressed.mutable_command()->set_type(8);
  ASSERT_TRUE(mallory.SendBytes(undefined));
  for (const DsData* message : {&untyped, &addressed, &unaddressed}) ASSERT_TRUE(mallory.Send(*message));
  ASSERT_TRUE(mallory.Synced());

  // Then the presenter's own block, the last thing bob is to see.
  DsData screen = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&screen, 1);
  ASSERT_TRUE(alice.Send(screen));

  std::vector<uint32_t> commands;
  DsData seen;
  for (;;) {
    ASSERT_TRUE(bob.Next(&seen));
    if (seen.type() == DS_DATA_CREATE_BLOCKS && seen.blocks_size() == 1 && seen.blocks(0).position() == 1) break;
    EXPECT_EQ(seen.type(), DS_DATA_COMMAND);
    EXPECT_EQ(seen.caches_size(), 0);
    EXPECT_EQ(seen.blocks_size(), 0);
    EXPECT_FALSE(seen.has_sharing_info());
    EXPECT_FALSE(seen.has_mouse_info());
    commands.push_back(seen.command().type());
  }
  EXPECT_EQ(commands, (std::vector<uint32_t>{7, 8}));
  EXPECT_TRUE(relay.Stop());
}

}  // namespace
