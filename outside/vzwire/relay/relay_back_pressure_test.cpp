// vzrelay holding a sharing presenter back while an attendee is a little
// behind, and no longer once the attendee takes much less than it is sent:
// everything arrives in order once the attendee reads (what passed it by
// anew as a late joiner gets it), a member that never reads is still
// dropped at the backlog limit, and other members and sessions go on
// meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "contracts/vz_transport_wrapper.h"
#include "outside/vzwire/recording_sink_testlib.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send

constexpr size_t kTileBytes = 256u << 10;
constexpr int kTiles = 96;  // 24 MiB: far past what a held presenter gets into the kernel's buffers

// Tile `index`: its own fill, so a lost, torn or reordered one shows.
DsData Tile(int index) {
  DsData message = Header(DS_DATA_CREATE_CACHES);
  AddCache(&message, static_cast<uint64_t>(index), static_cast<uint64_t>(index) * 10,
                         std::string(kTileBytes, static_cast<char>('A' + index % 26)));
  return message;
}

// Reads a member's socket at a pace the test sets: sips, or all it can.
class PacedReader {
 public:
  explicit PacedReader(vz::LocalSocket& socket) : socket_(socket) {}
  // Takes at most `bytes` of what has arrived; the bytes taken.
  size_t Sip(size_t bytes) {
    std::vector<uint8_t> buffer(bytes);
    const vz::IoResult result = socket_.Read(buffer.data(), buffer.size());
    if (result.status != vz::IoStatus::kOk) return 0;
    reader_.Append(buffer.data(), result.bytes);
    return result.bytes;
  }
  // The next sharing message, reading as fast as it comes.
  bool Next(DsData* message, int timeout_ms) {
    const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
    Frame frame;
    while (vz::MonotonicMs() < deadline) {
      while (reader_.Next(&frame) == vzrelay::FrameReader::Result::kFrame) {
        if (frame.kind == FrameKind::kDataBinary) {
          return message->ParseFromArray(frame.payload.data(), static_cast<int>(frame.payload.size()));
        }
      }
      vz::PollItem item{socket_.Fd(), vz::kPollReadable, 0};
      if (vz::PollDescriptors(&item, 1, 50) > 0 && Sip(65536) == 0) return false;
    }
    return false;
  }

 private:
  vz::LocalSocket& socket_;
  vzrelay::FrameReader reader_;
};

// Writes the tiles from its own thread as fast as the relay takes them, a
// ping after every fourth (as the transport pings every second), counting
// what the socket took.
class TileWriter {
 public:
  explicit TileWriter(RawMember* presenter) : presenter_(presenter) {}
  ~TileWriter() {
    if (thread_.joinable()) thread_.join();
  }
  void Start() {
    thread_ = std::thread([this] {
      for (int i = 1; i <= kTiles; ++i) {
        const std::string bytes = Tile(i).SerializeAsString();
        if (!presenter_->SendBytes(bytes)) return;
        written_ += bytes.size();
        if (i % 4 == 0) {
          if (!presenter_->client.Send(FrameKind::kPing, PingPayload(static_cast<uint32_t>(i)))) return;
        }
        tiles_ = i;
      }
    });
  }
  size_t Written() const { return written_.load(); }
  int Tiles() const { return tiles_.load(); }
  void Join() { thread_.join(); }

 private:
  RawMember* presenter_;
  std::thread thread_;
  std::atomic<size_t> written_{0};
  std::atomic<int> tiles_{0};
};

// Reads every tile and checks each arrives whole, once, in order.
void ExpectEveryTileInOrder(PacedReader* attendee, int timeout_ms = 60000) {
  for (int i = 1; i <= kTiles; ++i) {
    DsData message;
    ASSERT_TRUE(attendee->Next(&message, timeout_ms)) << "tile " << i << " never came";
    ASSERT_EQ(message.type(), DS_DATA_CREATE_CACHES) << "tile " << i;
    ASSERT_EQ(message.caches_size(), 1) << "tile " << i;
    ASSERT_EQ(message.caches(0).index(), static_cast<uint64_t>(i)) << "out of order";
    ASSERT_EQ(message.caches(0).cache_data(0).data(), std::string(kTileBytes, static_cast<char>('A' + i % 26)))
        << "tile " << i << " torn";
  }
}

TEST(RelayBackPressureTest, ASlowAttendeeDoesNotHoldThePresenterAndStillGetsEveryTileInOrder) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair sharing;
  ASSERT_TRUE(sharing.Start(relay.Port()));
  RawMember carol;  // a second attendee, whose commands still reach the presenter
  ASSERT_TRUE(carol.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(carol.Send(Header(DS_DATA_JOIN)));
  RawMember video_a, video_b;  // a video session beside it
  ASSERT_TRUE(video_a.Join(relay.Port(), PlainJoin("dave", kVideo, "meet-v")));
  ASSERT_TRUE(video_b.Join(relay.Port(), PlainJoin("erin", kVideo, "meet-v")));

  // The kernel's buffers on the presenter's side stay small, so what the
  // presenter got written says what the relay read.
  sharing.presenter.client.Socket().SetSendBufferSize(256 << 10);
  TileWriter writer(&sharing.presenter);
  writer.Start();
  // Bob reads slowly: he takes something, but far less than is sent, so he
  // holds the presenter only until the relay finds him behind; the
  // presenter's 24 MiB are all taken while he still sips.
  PacedReader bob(sharing.attendee.client.Socket());
  const uint64_t slow_until = vz::MonotonicMs() + 60000;
  while (writer.Tiles() < kTiles && vz::MonotonicMs() < slow_until) {
    bob.Sip(64 << 10);
    vz::SleepMs(100);
  }
  EXPECT_EQ(writer.Tiles(), kTiles) << "the slow attendee held the presenter back";

  // Meanwhile: the video session and Carol's command to the presenter.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(video_a.client.Send(FrameKind::kDataBinary, std::vector<uint8_t>(1024, 'v'))) << "video payload " << i;
  }
  for (int i = 0; i < 20; ++i) {
    Frame frame;
    ASSERT_TRUE(video_b.client.Next(&frame, nullptr, 10000)) << "the video session stalled at " << i;
  }
  ASSERT_TRUE(carol.Send(Command(1, "", "alice")));
  DsData heard;
  ASSERT_TRUE(sharing.presenter.Next(&heard, 10000));
  EXPECT_EQ(heard.type(), DS_DATA_COMMAND);
  EXPECT_EQ(heard.command().src_roster_id(), "carol");

  // Bob reads again: nothing lost, torn or reordered (what passed him by
  // comes anew from the kept caches).
  ExpectEveryTileInOrder(&bob);
  writer.Join();
  EXPECT_EQ(writer.Tiles(), kTiles);
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayBackPressureTest, AnAttendeeThatNeverReadsIsStillDroppedAtTheBacklogLimit) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--max-backlog", "8388614"}));
  SharingPair sharing;
  ASSERT_TRUE(sharing.Start(relay.Port()));
  RawMember stalled;
  ASSERT_TRUE(stalled.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(stalled.Send(Header(DS_DATA_JOIN)));
  TileWriter writer(&sharing.presenter);
  writer.Start();
  // Carol holds the presenter only until she is found behind: she takes
  // nothing, so the relay reads on, what passes her by reaches the limit
  // and she is dropped; Bob, who reads, gets every tile.
  PacedReader bob(sharing.attendee.client.Socket());
  ExpectEveryTileInOrder(&bob);
  writer.Join();
  EXPECT_EQ(writer.Tiles(), kTiles);
  EXPECT_TRUE(stalled.client.WaitClosed(30000));
  EXPECT_TRUE(relay.Stop());
}

// Through the transport library: the presenter's send backlog counts what
// the relay has not read yet (the kernel's buffers included), so it passes
// the capture's 16,000-byte mark while the relay holds it back, and falls
// to nothing once the attendee has read everything.
TEST(RelayBackPressureTest, ThePresentersBacklogCountsWhatTheRelayHasNotTakenAndFallsToNothing) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  vzwire_test::RecordingSink sink;
  CVzTransportWrapper presenter;
  ASSERT_TRUE(presenter.CreateInstance(&sink, kTransportSessionSharing));
  vzwire_test::SessionRecord record;
  record.ServerAddr("127.0.0.1").TcpPort(relay.Port()).MeetId("meet-1").DSId("ds-1").RosterId("alice")
      .Token("VDS meet-1:tok").IsPresenter(1);
  ASSERT_EQ(presenter.Join(record.Data(), nullptr, &sink), 1);
  ASSERT_TRUE(sink.WaitFor("confirm"));
  ASSERT_EQ(presenter.SendDataBinary(Header(DS_DATA_START).SerializeAsString()), 1);
  ASSERT_TRUE(sink.WaitFor("binary"));
  RawMember attendee;
  ASSERT_TRUE(attendee.Join(relay.Port(), PlainJoin("bob")));
  ASSERT_TRUE(attendee.Send(Header(DS_DATA_JOIN)));
  DsData answer;
  ASSERT_TRUE(attendee.Next(&answer));

  for (int i = 1; i <= kTiles / 4; ++i) {
    ASSERT_EQ(presenter.SendDataBinary(Tile(i).SerializeAsString()), 1) << "tile " << i;
  }
  const auto last_backlog = [&sink] {
    const auto events = sink.Events("backlog");
    return events.empty() ? int64_t{-1} : events.back().a;
  };
  // The transport reports the backlog from its own thread: wait for the
  // report of what was just queued (the last one may still be the start's 0).
  const uint64_t reported = vz::MonotonicMs() + 20000;
  while (last_backlog() <= 16000 && vz::MonotonicMs() < reported) vz::SleepMs(5);
  ASSERT_GT(last_backlog(), 16000);
  PacedReader reader(attendee.client.Socket());
  for (int i = 1; i <= kTiles / 4; ++i) {
    DsData message;
    ASSERT_TRUE(reader.Next(&message, 60000)) << "tile " << i << " never came";
    ASSERT_EQ(message.caches(0).index(), static_cast<uint64_t>(i)) << "out of order";
  }
  const uint64_t deadline = vz::MonotonicMs() + 20000;
  while (last_backlog() != 0 && vz::MonotonicMs() < deadline) vz::SleepMs(5);
  EXPECT_EQ(last_backlog(), 0);
  presenter.Leave();
  EXPECT_TRUE(relay.Stop());
}

// A member's count of what it took comes from outside: a count past what
// the relay wrote to it, one that goes back, or a short one closes that
// member alone.
TEST(RelayBackPressureTest, ImpossibleConsumedCountsCloseThatMemberAlone) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair sharing;
  ASSERT_TRUE(sharing.Start(relay.Port()));
  RawMember liar, backwards, short_count;
  ASSERT_TRUE(liar.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(liar.client.Send(FrameKind::kConsumed, ConsumedCount(uint64_t{1} << 40)));
  ASSERT_TRUE(backwards.Join(relay.Port(), PlainJoin("dave")));
  ASSERT_TRUE(backwards.client.Send(FrameKind::kConsumed, ConsumedCount(10)));  // the join confirm was 14 bytes
  ASSERT_TRUE(backwards.client.Send(FrameKind::kConsumed, ConsumedCount(9)));
  ASSERT_TRUE(short_count.Join(relay.Port(), PlainJoin("erin")));
  ASSERT_TRUE(short_count.client.Send(FrameKind::kConsumed, {1, 2, 3}));
  EXPECT_TRUE(liar.client.WaitClosed());
  EXPECT_TRUE(backwards.client.WaitClosed());
  EXPECT_TRUE(short_count.client.WaitClosed());
  // The others are served on.
  ASSERT_TRUE(sharing.presenter.Send(Tile(1)));
  DsData message;
  ASSERT_TRUE(sharing.attendee.Next(&message));
  EXPECT_EQ(message.caches(0).index(), 1u);
  EXPECT_TRUE(relay.Stop());
}

}  // namespace
