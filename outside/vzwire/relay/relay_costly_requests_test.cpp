// vzrelay as a process beside a member whose small requests once made the
// sharing server do a great deal: JOINs by the ten thousand a second, and
// cache requests naming one kept cache in every block. Played over the
// relay's real socket, with the honest attendee's gaps between frames
// measured beside it and beside the same bytes sent as keep-alives.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/presenter_frames_testlib.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send

// Figures are asked of the plain build only (kUnsanitized): the sanitizers slow the relay
// several times and take hundreds of MiB of their own.

// A member that writes one sharing message over and over, as fast as its
// socket takes it, and reads whatever it is sent, from threads of its own.
class Flooder {
 public:
  explicit Flooder(RawMember* member) : member_(member) {}
  ~Flooder() { Stop(); }
  void Start(const DsData& message) {
    const std::string bytes = message.SerializeAsString();
    const std::vector<uint8_t> frame =
        vzrelay::MakeFrame(FrameKind::kDataBinary, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::vector<uint8_t> batch;
    while (batch.size() < (64u << 10)) batch.insert(batch.end(), frame.begin(), frame.end());
    frame_size_ = frame.size();
    writer_ = std::thread([this, batch] {
      vz::LocalSocket& socket = member_->client.Socket();
      size_t at = 0;
      // Whole frames only: the stream stays good for what comes after.
      while (!stop_ || at % frame_size_ != 0) {
        const vz::IoResult result = socket.Write(batch.data() + at, batch.size() - at);
        if (result.status == vz::IoStatus::kOk) {
          at = (at + result.bytes) % batch.size();
          written_ += result.bytes;
        } else if (result.status == vz::IoStatus::kWouldBlock) {
          vz::PollItem item{socket.Fd(), vz::kPollWritable, 0};
          vz::PollDescriptors(&item, 1, 50);
        } else {
          return;
        }
      }
    });
    reader_ = std::thread([this] {
      Frame frame;
      bool ended = false;
      while (!stop_ && !ended) member_->client.Next(&frame, &ended, 100);
    });
  }
  void Stop() {
    stop_ = true;
    if (writer_.joinable()) writer_.join();
    if (reader_.joinable()) reader_.join();
  }
  uint64_t Messages() const { return written_ / frame_size_; }

 private:
  RawMember* member_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> written_{0};
  size_t frame_size_ = 1;
  std::thread writer_, reader_;
};

// A presenter sharing a screen of 4,000 small caches, an honest attendee
// and mallory, all joined.
struct Meeting {
  RelayProcess relay;
  SharingPair pair;
  RawMember mallory;
  bool Start() {
    if (!relay.Start({}) || !pair.Start(relay.Port())) return false;
    for (uint64_t index = 1; index <= 4000; ++index) {
      if (!pair.presenter.Send(Cache(index, 1, 1000))) return false;
    }
    if (!pair.presenter.Synced()) return false;
    for (int i = 0; i < 4000; ++i) {
      DsData seen;
      if (!pair.attendee.Next(&seen)) return false;
    }
    return mallory.Join(relay.Port(), PlainJoin("mallory")) && Ask(mallory, DS_DATA_JOIN) == DS_CODE_SUCCESS;
  }
  // The honest attendee's gaps over 40 frames while mallory sends `message`
  // without end.
  Gaps GapsBesideFlood(const DsData& message, uint64_t* messages) {
    Flooder flood(&mallory);
    flood.Start(message);
    const Gaps gaps = GapsBeside(pair.presenter, pair.attendee, 40, [] { return true; });
    flood.Stop();
    *messages = flood.Messages();
    return gaps;
  }
};

// Every JOIN restarted mallory's late-joiner replay, which listed every
// kept cache first: the honest attendee waited 3.5-5.1 s between frames.
// Now a JOIN while the replay runs restarts nothing, and JOINs cost about
// what keep-alives of the same size do.
TEST(RelayCostlyRequestsTest, AFloodOfJoinsCostsTheOthersNoMoreThanAFloodOfKeepAlives) {
  Meeting meeting;
  ASSERT_TRUE(meeting.Start());
  uint64_t keep_alives = 0, joins = 0;
  const Gaps baseline = meeting.GapsBesideFlood(Header(DS_DATA_KEEPALIVE), &keep_alives);
  const Gaps flooded = meeting.GapsBesideFlood(Header(DS_DATA_JOIN), &joins);
  std::printf("honest attendee beside %llu keep-alives: largest gap %llu ms (%llu not the writer's); beside %llu "
              "JOINs: %llu ms (%llu)\n",
              static_cast<unsigned long long>(keep_alives), static_cast<unsigned long long>(baseline.largest),
              static_cast<unsigned long long>(baseline.largest_not_the_writers), static_cast<unsigned long long>(joins),
              static_cast<unsigned long long>(flooded.largest),
              static_cast<unsigned long long>(flooded.largest_not_the_writers));
  EXPECT_GT(joins, kUnsanitized ? 100000u : 10000u);  // a flood, at the relay's pace
  if (kUnsanitized) {
    EXPECT_LT(flooded.largest_not_the_writers, 2 * baseline.largest_not_the_writers + 1000);
  }
  EXPECT_TRUE(meeting.relay.Stop());
}

// A request of 10,000 blocks naming one kept cache of 20 KB (136 KB) added
// 200 MiB to the relay, an answer larger than any frame that nobody got.
// Now each answer names the cache once, and the relay's memory stays.
TEST(RelayCostlyRequestsTest, CacheRequestsNamingOneCacheInEveryBlockAreAnsweredWithItOnce) {
  Meeting meeting;
  ASSERT_TRUE(meeting.Start());
  ASSERT_TRUE(meeting.pair.presenter.Send(Cache(4001, 1, 20000)));
  ASSERT_TRUE(meeting.pair.presenter.Synced());
  DsData request = Header(DS_DATA_GET_CACHES);
  for (int i = 0; i < 10000; ++i) AddBlock(&request, 1, 10101, 4001, 1);
  const size_t before = ProcessKib(meeting.relay.Pid(), "VmHWM");

  // One request, read back whole.
  ASSERT_TRUE(meeting.mallory.Send(request));
  DsData answer;
  do {
    ASSERT_TRUE(meeting.mallory.Next(&answer));
  } while (answer.type() != DS_DATA_GET_CACHES);
  ASSERT_EQ(answer.caches_size(), 1);
  EXPECT_EQ(answer.caches(0).index(), 4001u);
  EXPECT_EQ(answer.blocks_size(), 1);

  // Then as fast as mallory can write them, beside the honest attendee.
  uint64_t requests = 0;
  const Gaps gaps = meeting.GapsBesideFlood(request, &requests);
  const size_t after = ProcessKib(meeting.relay.Pid(), "VmHWM");
  std::printf("honest attendee beside %llu requests of %zu bytes naming one cache: largest gap %llu ms (%llu not the "
              "writer's); relay VmHWM %zu KiB before, %zu KiB after\n",
              static_cast<unsigned long long>(requests), request.ByteSizeLong(),
              static_cast<unsigned long long>(gaps.largest), static_cast<unsigned long long>(gaps.largest_not_the_writers),
              before, after);
  EXPECT_GT(requests, kUnsanitized ? 100u : 10u);
  if (kUnsanitized) {
    EXPECT_LT(after - std::min(after, before), 64u << 10);
    EXPECT_LT(gaps.largest_not_the_writers, 1500u);
  }
  EXPECT_TRUE(meeting.relay.Stop());
}

}  // namespace
