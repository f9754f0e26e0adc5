// The sharing server's answers, through a vzrelay process and the transport
// library as the sharing engine uses them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contracts/vz_transport_wrapper.h"
#include "outside/vzwire/recording_sink_testlib.h"
#include "outside/vzwire/transport_peer_testlib.h"
#include "outside/vzwire/relay/relay_messages_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"

namespace {

using vzrelay_test::Command;
using vzrelay_test::Header;
using vzrelay_test::RelayProcess;
using vzwire_test::SessionRecord;

struct Member : vzwire_test::TransportPeer {
  Member() : TransportPeer(kTransportSessionSharing) {}
  bool Join(uint16_t port, const std::string& roster, bool presenter) {
    SessionRecord record;
    record.ServerAddr("127.0.0.1").TcpPort(port).MeetId("meet-1").DSId("ds-1").RosterId(roster)
        .Token("VDS meet-1:tok").IsPresenter(presenter ? 1 : 0);
    return TransportPeer::Join(record);
  }
  void Send(const DsData& message) { ASSERT_EQ(wrapper.SendDataBinary(message.SerializeAsString()), 1); }
  // The binary payloads received so far, parsed.
  std::vector<DsData> Received() {
    std::vector<DsData> messages;
    for (const auto& event : sink.Events("binary")) {
      DsData message;
      EXPECT_TRUE(message.ParseFromString(event.bytes));
      messages.push_back(message);
    }
    return messages;
  }
};

DsData Caches(std::initializer_list<std::pair<uint64_t, std::string>> caches) {
  DsData message = Header(DS_DATA_CREATE_CACHES);
  for (const auto& [index, bytes] : caches) vzrelay_test::AddCache(&message, index, index * 10, bytes);
  return message;
}

TEST(SharingServerProcessTest, StartJoinCachesForLateJoinersAndTheEnd) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Member presenter, early, late;
  ASSERT_TRUE(presenter.Join(relay.Port(), "alice", true));
  presenter.Send(Header(DS_DATA_START));
  ASSERT_TRUE(presenter.sink.WaitFor("binary"));
  EXPECT_EQ(presenter.Received()[0].type(), DS_DATA_START);
  EXPECT_EQ(presenter.Received()[0].code(), DS_CODE_SUCCESS);

  ASSERT_TRUE(early.Join(relay.Port(), "bob", false));
  early.Send(Header(DS_DATA_JOIN));
  ASSERT_TRUE(early.sink.WaitFor("binary"));
  EXPECT_EQ(early.Received()[0].type(), DS_DATA_JOIN);
  EXPECT_EQ(early.Received()[0].code(), DS_CODE_SUCCESS);

  DsData info = Header(DS_DATA_CREATE_SHARINGINFO);
  info.mutable_sharing_info()->set_capture_mode(1);
  presenter.Send(info);
  presenter.Send(Caches({{30, std::string("\xFF\xD8 tile 30", 10)}, {31, "tile 31"}}));
  presenter.Send(Caches({{30, "tile 30 again"}}));  // replaces index 30
  DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
  DsBlock* block = blocks.add_blocks();
  block->set_index(5);
  block->set_cache_index(30);
  block->set_cache_pdu_id(300);
  presenter.Send(blocks);
  ASSERT_TRUE(early.sink.WaitFor("binary", 5));  // the join answer and four relayed messages

  // An attendee is refused when it asks to present.
  early.Send(Header(DS_DATA_START));
  ASSERT_TRUE(early.sink.WaitFor("binary", 6));
  EXPECT_EQ(early.Received()[5].type(), DS_DATA_START);
  EXPECT_EQ(early.Received()[5].code(), DS_CODE_ERROR);

  ASSERT_TRUE(late.Join(relay.Port(), "carol", false));
  late.Send(Header(DS_DATA_JOIN));
  // The kept caches come one a message, in the order of their indices.
  ASSERT_TRUE(late.sink.WaitFor("binary", 5));
  const std::vector<DsData> replay = late.Received();
  EXPECT_EQ(replay[0].type(), DS_DATA_JOIN);
  EXPECT_EQ(replay[1].type(), DS_DATA_CREATE_SHARINGINFO);
  EXPECT_EQ(replay[1].sharing_info().capture_mode(), 1u);
  ASSERT_EQ(replay[2].type(), DS_DATA_CREATE_CACHES);
  ASSERT_EQ(replay[2].caches_size(), 1);
  EXPECT_EQ(replay[2].caches(0).index(), 30u);
  EXPECT_EQ(replay[2].caches(0).cache_data(0).data(), "tile 30 again");
  ASSERT_EQ(replay[3].type(), DS_DATA_CREATE_CACHES);
  ASSERT_EQ(replay[3].caches_size(), 1);
  EXPECT_EQ(replay[3].caches(0).cache_data(0).data(), "tile 31");
  ASSERT_EQ(replay[4].type(), DS_DATA_CREATE_BLOCKS);
  EXPECT_EQ(replay[4].blocks(0).cache_index(), 30u);

  // Asking for a kept cache is answered by the server with the same block.
  DsData ask = Header(DS_DATA_GET_CACHES);
  DsBlock* wanted = ask.add_blocks();
  wanted->set_cache_index(31);
  wanted->set_cache_pdu_id(310);
  late.Send(ask);
  ASSERT_TRUE(late.sink.WaitFor("binary", 6));
  const DsData answer = late.Received()[5];
  EXPECT_EQ(answer.type(), DS_DATA_GET_CACHES);
  ASSERT_EQ(answer.caches_size(), 1);
  EXPECT_EQ(answer.caches(0).cache_data(0).data(), "tile 31");
  ASSERT_EQ(answer.blocks_size(), 1);
  EXPECT_EQ(answer.blocks(0).cache_pdu_id(), 310u);

  // The presenter stops: everyone else hears the conference end (code 80).
  presenter.Send(Header(DS_DATA_STOP));
  ASSERT_TRUE(early.sink.WaitFor("binary", 7));
  ASSERT_TRUE(late.sink.WaitFor("binary", 7));
  EXPECT_EQ(early.Received().back().type(), DS_DATA_SERVER_DISCONNECT);
  EXPECT_EQ(early.Received().back().code(), DS_CODE_CONF_END);
  EXPECT_EQ(late.Received().back().type(), DS_DATA_SERVER_DISCONNECT);
  // Starting and stopping is the server's business: neither reached a member.
  for (const DsData& message : early.Received()) EXPECT_NE(message.type(), DS_DATA_STOP);
  EXPECT_TRUE(relay.Stop());
}

TEST(SharingServerProcessTest, PayloadsThatAreNotSharingMessagesAreDropped) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Member a, b;
  ASSERT_TRUE(a.Join(relay.Port(), "alice", true));
  ASSERT_TRUE(b.Join(relay.Port(), "bob", false));
  ASSERT_EQ(a.wrapper.SendDataBinary(std::string("\xFF\xFF\xFF\xFF", 4)), 1);
  a.Send(Command(1, "", ""));
  ASSERT_TRUE(b.sink.WaitFor("binary"));
  EXPECT_EQ(b.Received()[0].type(), DS_DATA_COMMAND);
  EXPECT_EQ(b.sink.Count("binary"), 1u);
}

TEST(SharingServerProcessTest, CommandsReachTheirAddresseeOnlyAndUnaddressedOnesEveryone) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Member presenter, attendee, web;
  ASSERT_TRUE(presenter.Join(relay.Port(), "R1", true));
  ASSERT_TRUE(attendee.Join(relay.Port(), "R2", false));
  ASSERT_TRUE(web.Join(relay.Port(), "vzweb-R3", false));
  const size_t presenter_before = presenter.sink.Count("binary");
  const size_t attendee_before = attendee.sink.Count("binary");
  const size_t web_before = web.sink.Count("binary");

  // The web attendee asks the presenter; the presenter gives it control.
  web.Send(Command(10, "vzweb-R3", "R1"));
  ASSERT_TRUE(presenter.sink.WaitFor("binary", presenter_before + 1));
  presenter.Send(Command(1, "R1", "vzweb-R3"));
  ASSERT_TRUE(web.sink.WaitFor("binary", web_before + 1));
  EXPECT_EQ(presenter.Received().back().command().type(), 10);
  EXPECT_EQ(web.Received().back().command().type(), 1);

  // No addressee, or one that is not joined: everyone else gets it. The
  // attendee's first command is the first one after the two addressed ones,
  // which it never saw.
  web.Send(Command(30, "vzweb-R3", ""));
  web.Send(Command(50, "vzweb-R3", "nobody"));
  ASSERT_TRUE(attendee.sink.WaitFor("binary", attendee_before + 2));
  ASSERT_TRUE(presenter.sink.WaitFor("binary", presenter_before + 3));
  const std::vector<DsData> seen = attendee.Received();
  ASSERT_EQ(seen.size(), attendee_before + 2);
  EXPECT_EQ(seen[attendee_before].command().type(), 30);
  EXPECT_EQ(seen[attendee_before + 1].command().type(), 50);
  // A command addressed to its own sender goes to the others.
  attendee.Send(Command(50, "R2", "R2"));
  ASSERT_TRUE(web.sink.WaitFor("binary", web_before + 2));
  EXPECT_EQ(attendee.sink.Count("binary"), attendee_before + 2);
}

}  // namespace
