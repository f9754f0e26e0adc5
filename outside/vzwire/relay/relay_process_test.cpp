// vzrelay as a process, with the transport library as the system loads it.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "contracts/vz_transport_wrapper.h"
#include "common/transport_records.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "outside/vzwire/recording_sink_testlib.h"
#include "outside/vzwire/transport_peer_testlib.h"

namespace {

using vzrelay_test::PlainJoin;
using vzrelay_test::RawMember;
using vzrelay_test::RelayProcess;
using vzwire_test::RecordingSink;
using vzwire_test::SessionRecord;
using vzwire_test::SharingPayload;

// A member through the transport library, of a sharing session unless told.
struct Peer : vzwire_test::TransportPeer {
  explicit Peer(uint8_t type = kTransportSessionSharing) : TransportPeer(type) {}
};

SessionRecord Sharing(uint16_t port, const std::string& roster, bool presenter, const std::string& token = "tok") {
  SessionRecord record;
  record.ServerAddr("127.0.0.1").TcpPort(port).MeetId("meet-1").DSId("ds-1").RosterId(roster)
      .Token("VDS meet-1:" + token).IsPresenter(presenter ? 1 : 0);
  return record;
}

TEST(RelayProcessTest, TwoMembersExchangeCommandsAndDataByteExactInOrder) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Peer a, b;
  ASSERT_TRUE(a.Join(Sharing(relay.Port(), "alice", true)));
  ASSERT_TRUE(b.Join(Sharing(relay.Port(), "bob", false)));

  std::vector<std::string> sent;
  for (int i = 0; i < 300; ++i) {
    std::string payload(static_cast<size_t>(1 + i * 997 % 70000), '\0');
    for (size_t j = 0; j < payload.size(); ++j) payload[j] = static_cast<char>((i * 31 + j) & 0xFF);
    sent.push_back(SharingPayload(payload));
    ASSERT_EQ(a.wrapper.SendDataBinary(sent.back()), 1) << "payload " << i;
    if (i % 50 == 0) {
      CByteStream command(nullptr, 64, false);
      const uint8_t message[] = {0x08, static_cast<uint8_t>(i)};
      ASSERT_TRUE(WriteCommandRecord(&command, message, 2)) << "command after payload " << i;
      ASSERT_EQ(a.wrapper.SendCommandData(&command), 1) << "command after payload " << i;
    }
  }
  ASSERT_TRUE(b.sink.WaitFor("binary", sent.size(), 30000));
  const auto received = b.sink.Events("binary");
  ASSERT_EQ(received.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(received[i].bytes, sent[i]) << "payload " << i;
  ASSERT_TRUE(b.sink.WaitFor("command", 6));
  const auto commands = b.sink.Events("command");
  for (size_t i = 0; i < commands.size(); ++i) {
    const std::vector<uint8_t> record = vzrelay_test::CommandRecord(std::string("\x08", 1) + static_cast<char>(i * 50));
    EXPECT_EQ(commands[i].bytes, std::string(record.begin(), record.end())) << "command " << i;
  }
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayProcessTest, WrongTokenIsRefusedWithAClearError) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--meeting", "meet-1=secret"}));
  Peer mallory;
  ASSERT_EQ(mallory.wrapper.Join(Sharing(relay.Port(), "mallory", false, "guess").Data(), nullptr, &mallory.sink), 1);
  ASSERT_TRUE(mallory.sink.WaitFor("leave"));
  EXPECT_EQ(mallory.sink.Events("leave")[0].a, 1);
  EXPECT_EQ(mallory.sink.Events("leave")[0].b, 401);

  // The refusal as the relay words it.
  RawMember raw;
  vzrelay::JoinRequest join = PlainJoin("");
  join.token = "VDS meet-1:guess";
  ASSERT_FALSE(raw.Join(relay.Port(), join));
  EXPECT_EQ(raw.refusal, "wrong token for sharing session ds-1");
  EXPECT_TRUE(raw.client.WaitClosed());

  Peer alice;
  EXPECT_TRUE(alice.Join(Sharing(relay.Port(), "alice", true, "secret")));
}

TEST(RelayProcessTest, KilledRelayGivesReconnectingAndARestartANewJoinConfirm) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  const uint16_t port = relay.Port();
  Peer a;
  ASSERT_TRUE(a.Join(Sharing(port, "alice", true)));
  relay.Kill();
  ASSERT_TRUE(a.sink.WaitFor("reconnecting"));
  EXPECT_EQ(a.wrapper.SendDataBinary(SharingPayload("while away")), 0);
  ASSERT_TRUE(relay.Start({}, port));
  ASSERT_TRUE(a.sink.WaitFor("confirm", 2, 20000));
  Peer b;
  ASSERT_TRUE(b.Join(Sharing(port, "bob", false)));
  ASSERT_EQ(a.wrapper.SendDataBinary(SharingPayload("back")), 1);
  ASSERT_TRUE(b.sink.WaitFor("binary"));
  EXPECT_EQ(b.sink.Events("binary")[0].bytes, SharingPayload("back"));
}

TEST(RelayProcessTest, HostileFramesCloseThatMemberOnly) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Peer a, b;
  ASSERT_TRUE(a.Join(Sharing(relay.Port(), "alice", true)));
  ASSERT_TRUE(b.Join(Sharing(relay.Port(), "bob", false)));
  using vzrelay::FrameKind;
  using vzrelay_test::RawFrame;
  const std::vector<std::vector<uint8_t>> hostile = {
      RawFrame(FrameKind::kDataBinary, 0xFFFFFFFF, {1, 2, 3}),
      RawFrame(static_cast<FrameKind>(0x7F01), 1, {0}),  // an unknown kind
      RawFrame(FrameKind::kDataBinary, 100, {1, 2, 3}),  // 100 bytes announced, 3 sent, then the end
      RawFrame(FrameKind::kJoinConfirm, 8, {0, 0, 0, 1, 0, 0, 0, 1}),  // a frame only the server sends
  };
  size_t round = 0;
  for (const auto& bytes : hostile) {
    SCOPED_TRACE(round);
    RawMember raw;
    ASSERT_TRUE(raw.Join(relay.Port(), PlainJoin("mallory")));
    ASSERT_TRUE(raw.client.WriteAll(bytes));
    raw.client.ShutdownWrite();
    EXPECT_TRUE(raw.client.WaitClosed());
    // The session goes on for the others, in both directions.
    const std::string text = "after " + std::to_string(round);
    ASSERT_EQ(a.wrapper.SendDataBinary(SharingPayload(text)), 1);
    ASSERT_EQ(b.wrapper.SendDataBinary(SharingPayload(text)), 1);
    ++round;
    ASSERT_TRUE(b.sink.WaitFor("binary", round));
    ASSERT_TRUE(a.sink.WaitFor("binary", round));
    EXPECT_EQ(b.sink.Events("binary").back().bytes, SharingPayload(text));
  }
  EXPECT_EQ(a.sink.Count("reconnecting"), 0u);
  EXPECT_EQ(b.sink.Count("reconnecting"), 0u);
  EXPECT_TRUE(relay.Stop());
}

}  // namespace

namespace {

SessionRecord Video(uint16_t port, const std::string& roster) {
  SessionRecord record;
  record.ServerAddr("127.0.0.1").TcpPort(port).MeetId("meet-v").RosterId(roster).Token("tok");
  return record;
}

// `count` RTP packets of the sender's stream, numbered from 0.
void SendRtpRun(Peer& sender, int count) {
  const auto ssrc = static_cast<uint32_t>(sender.sink.Events("confirm")[0].a);
  CByteStream stream(nullptr, 2048, false);
  for (int i = 0; i < count; ++i) {
    stream.Clear();
    const std::vector<uint8_t> packet = vzrelay_test::RtpPacket(ssrc, static_cast<uint16_t>(i), 1200);
    ASSERT_TRUE(WriteRtpRecord(&stream, 1, packet.data(), static_cast<uint32_t>(packet.size()))) << "packet " << i;
    ASSERT_EQ(sender.wrapper.SendRtpData(&stream), 1) << "packet " << i;
  }
}

TEST(RelayProcessTest, InjectedLossIsMeasuredAndReportedOnTheTransportsThread) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--loss", "0.3", "--seed", "5"}));
  Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
  ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
  ASSERT_TRUE(b.Join(Video(relay.Port(), "bob")));
  ASSERT_TRUE(vzwire_test::SubscribeVideo(b.wrapper, "bob", "alice", a.sink));  // the server forwards only then
  ASSERT_NO_FATAL_FAILURE(SendRtpRun(a, 500));
  // Some arrive, not all; the receiver's next report says how many were lost.
  ASSERT_TRUE(b.sink.WaitFor("rtp", 250));
  ASSERT_TRUE(b.sink.WaitUntil([](const auto&, const auto& adjustments) {
    for (const auto& adjustment : adjustments) {
      if (adjustment.lossrate > 0.2f && adjustment.lossrate < 0.4f) return true;
    }
    return false;
  }));
  EXPECT_LT(b.sink.Count("rtp"), 500u);
  bool sender_counted = false;
  ASSERT_TRUE(a.sink.WaitUntil([&](const auto&, const auto& adjustments) {
    for (const auto& adjustment : adjustments) {
      EXPECT_NE(adjustment.thread, std::this_thread::get_id())
          << "an adjustment of loss " << adjustment.lossrate << " came on the test's thread";
      // What went out counts in the sent-and-received rate (bits/s).
      sender_counted = sender_counted || adjustment.totalbw > 8 * 500 * 1200 / 2;
    }
    return sender_counted;
  }));
}

// The relay is stopped while a member sends until its queue grows (the
// kernel's buffers take megabytes first); once the relay goes on, the
// queue empties. Each report is waited for as it comes, however slowly the
// relay forwards.
TEST(RelayProcessTest, SendBacklogFollowsTheRealQueue) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
  ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
  ASSERT_TRUE(b.Join(Video(relay.Port(), "bob")));
  ASSERT_EQ(::kill(relay.Pid(), SIGSTOP), 0);
  // Going on whatever happens below (a stopped relay would not end).
  struct GoesOn {
    int pid;
    ~GoesOn() { ::kill(pid, SIGCONT); }
  } goes_on{relay.Pid()};
  // A queue that grew is reported...
  const auto grown = [](const std::vector<vzwire_test::SinkEvent>& events, size_t* at) {
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i].name == "backlog" && events[i].a > 16000) {
        *at = i;
        return true;
      }
    }
    return false;
  };
  size_t grown_at = 0;
  const auto reported_growth = [&](int timeout_ms) {
    return a.sink.WaitUntil([&](const auto& events, const auto&) { return grown(events, &grown_at); }, timeout_ms);
  };
  // A MiB at a time until the growth is reported, within the transport's
  // queue limit (16 MiB).
  const std::string chunk(1u << 20, 'x');
  size_t sent = 0;
  while (sent < 12 && !reported_growth(200)) {
    ASSERT_EQ(a.wrapper.SendDataBinary(chunk), 1) << "chunk " << sent;
    ++sent;
  }
  ASSERT_TRUE(reported_growth(120000)) << "no growth reported after " << sent << " MiB";
  // ...and so is its emptying, once the relay reads again.
  ASSERT_EQ(::kill(relay.Pid(), SIGCONT), 0);
  ASSERT_TRUE(a.sink.WaitUntil([&](const auto& events, const auto&) {
    for (size_t i = grown_at; i < events.size(); ++i) {
      if (events[i].name == "backlog" && events[i].a == 0) return true;
    }
    return false;
  }, 120000));
  ASSERT_TRUE(b.sink.WaitFor("binary", sent, 120000));
}

}  // namespace

namespace {

TEST(RelayProcessTest, ACutAfterSecondsGivesReconnectingThenANewConfirm) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--cut-after", "1", "--cut-for", "1"}));
  Peer a(kTransportSessionVideo);
  ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
  ASSERT_TRUE(a.sink.WaitFor("reconnecting", 1, 10000));
  ASSERT_TRUE(a.sink.WaitFor("confirm", 2, 15000));
  EXPECT_EQ(a.sink.Events("confirm")[1].a, a.sink.Events("confirm")[0].a);  // the same SSRC again
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayProcessTest, ACutCountsFromTheJoinOfTheMemberItIsFor) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--cut-after", "1", "--cut-for", "1", "--cut-roster", "bob"}));
  // A slow start: longer than the cut's delay passes before bob joins.
  const uint64_t until = vz::MonotonicMs() + 2500;
  while (vz::MonotonicMs() < until) vz::PollDescriptors(nullptr, 0, static_cast<int>(until - vz::MonotonicMs()));
  Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
  ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
  ASSERT_TRUE(b.Join(Video(relay.Port(), "bob")));
  const uint64_t joined = vz::MonotonicMs();
  ASSERT_TRUE(b.sink.WaitFor("reconnecting", 1, 15000));
  EXPECT_GE(vz::MonotonicMs() - joined, 900u);  // not before its time either
  ASSERT_TRUE(b.sink.WaitFor("confirm", 2, 15000));
  EXPECT_EQ(a.sink.Count("reconnecting"), 0u);
  EXPECT_TRUE(relay.Stop());
}

// What vzrelay prints and how it ends, for arguments it does not take.
struct Outcome {
  std::string output;  // standard output and error
  int code = -1;
};

Outcome RunRelay(const std::string& arguments) {
  vz::PipedChild child;
  Outcome outcome;
  if (!child.Start("/bin/sh", {"sh", "-c", std::string(VZ_RELAY_BINARY) + " " + arguments + " 2>&1"}, {})) {
    return outcome;
  }
  char c = 0;
  bool ended = false;
  while (outcome.output.size() < 8192 && child.ReadExactly(&c, 1, 10000, &ended)) outcome.output.push_back(c);
  child.Wait(10000, &outcome.code);
  return outcome;
}

TEST(RelayProcessTest, UnknownOptionsAreNamedAndHelpPrintsTheUsage) {
  for (const std::string arguments : {"--bogus", "--port 0 --bogus", "--bogus 5"}) {
    SCOPED_TRACE(arguments);
    const Outcome outcome = RunRelay(arguments);
    EXPECT_EQ(outcome.code, 2);
    EXPECT_NE(outcome.output.find("unknown option --bogus"), std::string::npos) << outcome.output;
  }
  const Outcome missing = RunRelay("--port");
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.output.find("--port needs a value"), std::string::npos) << missing.output;
  for (const std::string arguments : {"--help", "-h", "--port 0 --help"}) {
    SCOPED_TRACE(arguments);
    const Outcome help = RunRelay(arguments);
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.output.find("usage: vzrelay [options]"), std::string::npos) << help.output;
    EXPECT_NE(help.output.find("--cut-after S"), std::string::npos);
    EXPECT_NE(help.output.find("--join-deadline S"), std::string::npos);
  }
}

TEST(RelayProcessTest, ACutOfOneRosterLeavesTheOtherMembersJoined) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--cut-after", "1", "--cut-for", "1", "--cut-roster", "bob"}));
  Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
  ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
  ASSERT_TRUE(b.Join(Video(relay.Port(), "bob")));
  ASSERT_TRUE(b.sink.WaitFor("reconnecting", 1, 10000));
  ASSERT_TRUE(b.sink.WaitFor("confirm", 2, 15000));
  // alice was never cut and still hears bob after his return.
  ASSERT_EQ(b.wrapper.SendDataBinary(std::string("back")), 1);
  ASSERT_TRUE(a.sink.WaitFor("binary", 1, 10000));
  EXPECT_EQ(a.sink.Count("reconnecting"), 0u);
  EXPECT_EQ(a.sink.Count("confirm"), 1u);
  EXPECT_TRUE(relay.Stop());
}

}  // namespace

namespace {

TEST(RelayProcessTest, AMemberThatStopsReadingIsDroppedAloneAndTheOthersGetEverything) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--max-backlog", "8388614"}));
  Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
  ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
  ASSERT_TRUE(b.Join(Video(relay.Port(), "bob")));
  RawMember stalled;
  vzrelay::JoinRequest join = PlainJoin("", vzrelay_test::kVideo, "meet-v", "meet-v");
  join.token = "tok";  // the video members' own
  ASSERT_TRUE(stalled.Join(relay.Port(), join));
  // 48 MB while the stalled member reads nothing: far past its backlog and
  // the kernel's buffers.
  const std::string payload(1u << 20, 'p');
  for (int i = 0; i < 48; ++i) {
    ASSERT_EQ(a.wrapper.SendDataBinary(payload), 1) << "payload " << i;
    ASSERT_TRUE(b.sink.WaitFor("binary", static_cast<size_t>(i + 1), 30000)) << "payload " << i;
  }
  EXPECT_EQ(b.sink.Count("binary"), 48u);
  EXPECT_TRUE(stalled.client.WaitClosed());  // what it had got, then the end
  ASSERT_EQ(b.wrapper.SendDataBinary(std::string("still here")), 1);
  ASSERT_TRUE(a.sink.WaitFor("binary"));
  EXPECT_EQ(a.sink.Count("reconnecting") + b.sink.Count("reconnecting"), 0u);
}

}  // namespace

namespace {

// The RTP sequence numbers b received, in arrival order.
std::vector<int> SequencesReceived(RecordingSink& sink) {
  std::vector<int> sequences;
  for (const auto& event : sink.Events("rtp")) {
    sequences.push_back(vzrelay_test::RtpRecordSequence(reinterpret_cast<const uint8_t*>(event.bytes.data())));
  }
  return sequences;
}

TEST(RelayProcessTest, JitterKeepsTheOrderAndReorderingBreaksIt) {
  for (const bool reorder : {false, true}) {
    SCOPED_TRACE(reorder ? "reordering" : "jitter only");
    RelayProcess relay;
    std::vector<std::string> args = {"--delay-ms", "5", "--jitter-ms", "20", "--seed", "2"};
    if (reorder) args.insert(args.end(), {"--reorder", "0.2"});
    ASSERT_TRUE(relay.Start(args));
    Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
    ASSERT_TRUE(a.Join(Video(relay.Port(), "alice")));
    ASSERT_TRUE(b.Join(Video(relay.Port(), "bob")));
    ASSERT_TRUE(vzwire_test::SubscribeVideo(b.wrapper, "bob", "alice", a.sink));
    ASSERT_NO_FATAL_FAILURE(SendRtpRun(a, 200));
    ASSERT_TRUE(b.sink.WaitFor("rtp", 200));  // delayed, none lost
    const std::vector<int> sequences = SequencesReceived(b.sink);
    int out_of_order = 0;
    for (size_t i = 1; i < sequences.size(); ++i) out_of_order += sequences[i] < sequences[i - 1] ? 1 : 0;
    if (reorder) {
      EXPECT_GT(out_of_order, 0);
    } else {
      EXPECT_EQ(out_of_order, 0);
    }
  }
}

}  // namespace
