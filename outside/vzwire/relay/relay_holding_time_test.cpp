// Whose time a presenter is held for, through a vzrelay process over its
// real socket: attendee tokens that connect anew, one again and again or
// several taking turns, each full at once with the late joiner's replay,
// beside an honest attendee whose gaps between frames are measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/presenter_frames_testlib.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "outside/vzwire/relay/token_join_testlib.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send

// A join of session ds-1 with the member token of `roster` in `role`.
vzrelay::JoinRequest TokenJoin(const std::string& roster, MemberRole role) {
  return Joining(kSharing, roster, Token(roster, role), role == MemberRole::kPresenter);
}

// Attendee tokens that take turns opening a new connection every `every_ms`
// (one token: that token again and again), from a thread of their own: each
// asks for the screen, says it took nothing and reads nothing, so the late
// joiner's replay makes it full at once. Its last connection is replaced as
// a reconnection's is.
class ReconnectingMembers {
 public:
  ReconnectingMembers(uint16_t port, int tokens, uint64_t every_ms) : port_(port), every_ms_(every_ms) {
    for (int i = 0; i < tokens; ++i) rosters_.push_back("mallory-" + std::to_string(i));
    open_.resize(rosters_.size());
  }
  ~ReconnectingMembers() { Stop(); }
  void Start() {
    thread_ = std::thread([this] {
      uint64_t next_ms = vz::MonotonicMs();
      while (running_) {
        if (!Connect()) {
          failed_ = true;
          return;
        }
        next_ms += every_ms_;
        while (running_ && vz::MonotonicMs() < next_ms) vz::SleepMs(5);
      }
    });
  }
  void Stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }
  bool Failed() const { return failed_; }
  uint64_t Connections() const { return connections_; }

 private:
  bool Connect() {
    const size_t turn = connections_ % rosters_.size();
    // The join, the request for the screen and the count in one write: the
    // relay reads them in one turn, so the last connection's place is
    // taken by a full one at once.
    const std::vector<uint8_t> join = vzrelay::EncodeJoinRequest(TokenJoin(rosters_[turn], MemberRole::kAttendee));
    const std::string ask = Header(DS_DATA_JOIN).SerializeAsString();
    const std::vector<uint8_t> count = ConsumedCount(0);
    std::vector<uint8_t> bytes;
    vzrelay::AppendFrame(&bytes, FrameKind::kJoin, join.data(), join.size());
    vzrelay::AppendFrame(&bytes, FrameKind::kDataBinary, reinterpret_cast<const uint8_t*>(ask.data()), ask.size());
    vzrelay::AppendFrame(&bytes, FrameKind::kConsumed, count.data(), count.size());
    auto member = std::make_unique<RawClient>();
    Frame answer;
    if (!member->Connect(port_) || !member->WriteAll(bytes) || !member->Next(&answer, nullptr, 30000) ||
        answer.kind != FrameKind::kJoinConfirm) {
      ADD_FAILURE() << "connection " << connections_ << " of " << rosters_[turn] << " was not confirmed";
      return false;
    }
    open_[turn] = std::move(member);  // the relay closed the last one
    ++connections_;
    return true;
  }

  const uint16_t port_;
  const uint64_t every_ms_;
  std::vector<std::string> rosters_;
  std::vector<std::unique_ptr<RawClient>> open_;  // the thread's
  std::thread thread_;
  std::atomic<bool> running_{true};
  std::atomic<bool> failed_{false};
  std::atomic<uint64_t> connections_{0};
};

// The gaps of an honest attendee while `tokens` attendee tokens of the
// meeting take turns connecting anew every 230 ms.
Gaps GapsBesideReconnectingMembers(int tokens) {
  SecretRelay relay;
  EXPECT_TRUE(relay.Start());
  RawMember presenter, honest;
  EXPECT_TRUE(presenter.Join(relay.Port(), TokenJoin("alice", MemberRole::kPresenter)));
  EXPECT_EQ(Ask(presenter, DS_DATA_START), DS_CODE_SUCCESS);
  EXPECT_TRUE(honest.Join(relay.Port(), TokenJoin("bob", MemberRole::kAttendee)));
  EXPECT_EQ(Ask(honest, DS_DATA_JOIN), DS_CODE_SUCCESS);
  ReconnectingMembers hostile(relay.Port(), tokens, 230);
  hostile.Start();
  const Gaps gaps = GapsBeside(presenter, honest, 120, [&] { return !hostile.Failed(); });
  hostile.Stop();
  std::printf("honest attendee beside %d attendee token%s connecting anew every 230 ms (%llu connections): %zu "
              "frames in %.1f s, largest gap %llu ms, %zu gaps over 0.5 s; without the writer's own delays %llu ms, "
              "%zu over 0.5 s\n",
              tokens, tokens == 1 ? "" : "s", static_cast<unsigned long long>(hostile.Connections()), gaps.frames,
              gaps.seconds, static_cast<unsigned long long>(gaps.largest), gaps.over_half_second,
              static_cast<unsigned long long>(gaps.largest_not_the_writers), gaps.not_the_writers_over_half_second);
  EXPECT_TRUE(relay.relay.Stop());
  return gaps;
}

// The largest gap beside `tokens` such tokens that is not of the test
// writer's own making, over at most three measurements: a loaded machine
// gives an honest attendee a gap of half a second now and then with no
// hostile member at all, while a broken bound (2.5 s holds) shows in every
// measurement.
uint64_t LargestGapOfThree(int tokens) {
  uint64_t best = UINT64_MAX;
  for (int attempt = 0; attempt < 3 && best >= 500; ++attempt) {
    best = std::min(best, GapsBesideReconnectingMembers(tokens).largest_not_the_writers);
  }
  return best;
}

// Each new connection of one attendee token had a holding time of its own,
// and the late joiner's replay made it full at once: the presenter was held
// 2.5 s at a time. The holding time is the credential's now.
TEST(RelayHoldingTimeTest, AnAttendeeThatConnectsAnewEveryMomentHoldsThePresenterOnlyItsCredentialsTime) {
  EXPECT_LT(LargestGapOfThree(1), 500u);
}

// Five tokens of one meeting taking turns added their holding times up and
// held the presenter nearly every second; all the members together hold it
// no longer than one may now.
TEST(RelayHoldingTimeTest, FiveAttendeesTakingTurnsHoldThePresenterNoLongerThanOneMay) {
  EXPECT_LT(LargestGapOfThree(5), 500u);
}

}  // namespace
