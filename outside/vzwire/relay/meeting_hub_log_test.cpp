// The hub's log lines about joins: bounded under a flood, and every id
// written whole, so that two ids never log alike.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/log_capture_testlib.h"
#include "outside/vzwire/relay/meeting_hub.h"
#include "platform/clock.h"

namespace vzrelay {
namespace {

using namespace std::string_literals;

class SilentLink : public IMemberLink {
 public:
  bool Deliver(FrameKind kind, const uint8_t*, size_t) override {
    confirmed = confirmed || kind == FrameKind::kJoinConfirm;
    return true;
  }
  size_t Backlog() const override { return 0; }
  void Close(const char*) override {}
  bool confirmed = false;
};

Frame Join(const std::string& session, const std::string& meeting, const std::string& roster,
           const std::string& token, uint8_t type = 2) {
  JoinRequest join;
  join.session_type = type;
  join.session_id = session;
  join.meet_id = meeting;
  join.roster_id = roster;
  join.token = token;
  return {FrameKind::kJoin, EncodeJoinRequest(join)};
}

TEST(MeetingHubLogTest, RefusedJoinsWithoutAGoodTokenAreLoggedWithinABudgetThatHidesNoOtherRefusal) {
  vz::LogLineCapture log;
  HubOptions options;
  options.meeting_tokens["meet-1"] = "good";
  options.max_sessions_per_member = 1;
  options.refusal_log_burst = 5;
  options.refusal_log_refill_ms = 50;
  MeetingHub hub(options);
  std::vector<SilentLink> links(3005);
  size_t next = 0;
  hub.OnFrame(hub.Connect(&links[next++]), Join("v1", "meet-1", "alice", "good"));
  ASSERT_TRUE(links[0].confirmed);
  // The flood: no token, a malformed join, a frame before any join.
  const uint64_t start_ms = vz::MonotonicMs();
  for (int i = 0; i < 1000; ++i) {
    hub.OnFrame(hub.Connect(&links[next++]), Join("v1", "meet-1", "r" + std::to_string(i), ""));
    hub.OnFrame(hub.Connect(&links[next++]), {FrameKind::kJoin, {1, 2, 3}});
    hub.OnFrame(hub.Connect(&links[next++]), {FrameKind::kRtp, {1, 2, 3}});
  }
  // The burst, and a line for every 50 ms the flood took.
  const uint64_t earned = (vz::MonotonicMs() - start_ms) / 50 + 1;
  EXPECT_LE(log.Count("refused") + log.Count("dropped"), 5u + earned);
  // A good credential's refusal has a budget of its own.
  hub.OnFrame(hub.Connect(&links[next++]), Join("v2", "meet-1", "alice", "good"));
  EXPECT_EQ(log.Count("refused (429)"), 1u);
  // Once a line is earned again, it says how many were left out.
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  hub.OnFrame(hub.Connect(&links[next++]), Join("v1", "meet-1", "late", "bad"));
  const std::vector<std::string> last = log.Matching("late");
  ASSERT_EQ(last.size(), 1u);
  EXPECT_NE(last[0].find(" more like it left out of the log before this one)"), std::string::npos) << last[0];
}

TEST(MeetingHubLogTest, IdsFromAJoinAreWrittenWholeAndTwoIdsNeverLogAlike) {
  vz::LogLineCapture log;
  MeetingHub hub(HubOptions{});
  SilentLink b, b_nul, forged, unknown;
  hub.OnFrame(hub.Connect(&b), Join("B", "B", "alice", "t"));
  const MemberId b_nul_id = hub.Connect(&b_nul);
  hub.OnFrame(b_nul_id, Join("B\0"s, "B\0"s, "alice\0"s, "t"));
  ASSERT_TRUE(b.confirmed && b_nul.confirmed);
  EXPECT_TRUE(log.Has("video session B of meeting [B] opened"));
  EXPECT_TRUE(log.Has("video session B\\x00 of meeting [B\\x00] opened"));
  EXPECT_TRUE(log.Has("(alice\\x00) joined video session B\\x00 "));
  // The lines about what a member does later name it whole too.
  hub.OnFrame(b_nul_id, {FrameKind::kLeave, {}});
  // Sessions are the meeting's own: a line that names one names its meeting.
  EXPECT_TRUE(log.Has("(alice\\x00) leaves video session B\\x00 of meeting [B\\x00]"));
  // A line end or a backslash in an id stays in its line, read back exactly.
  hub.OnFrame(hub.Connect(&unknown), Join("s\r\n2026-01-01 00:00:00.000 [1:1] x\\y", "m", "r", "t", 9));
  EXPECT_TRUE(log.Has("no session of type 9 and id \"s\\x0D\\x0A2026-01-01 00:00:00.000 [1:1] x\\\\y\""));
  hub.OnFrame(hub.Connect(&forged), Join("B", "B", "\r\nmallory", "wrong"));
  EXPECT_TRUE(log.Has("asked to join as [\\x0D\\x0Amallory] (attendee)"));
  for (const std::string& line : log.lines()) EXPECT_EQ(line.find_first_of("\r\n"s + '\0'), std::string::npos) << line;
}

}  // namespace
}  // namespace vzrelay
