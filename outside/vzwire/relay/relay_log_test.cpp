// vzrelay's own log file under members that write into it: joins whose ids
// hold line ends, and a flood of joins without a token, played over the
// relay's real socket. The relay writes its log through the log writer into
// the runtime folder the test gives it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "outside/vzwire/relay/token_join_testlib.h"
#include "platform/file_system.h"

namespace {

using vzrelay::MemberRole;
using namespace vzrelay_test;  // the raw member, the relay process and the records they send
using namespace std::string_literals;

// The relay's log file as it stands.
std::string RelayLog(const RelayProcess& relay) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string bytes;
  if (runtime == nullptr ||
      !vz::ReadFileBytes(std::string(runtime) + "/velzar/vzmeet-app." + std::to_string(relay.Pid()) + ".log",
                         &bytes)) {
    ADD_FAILURE() << "no log of the relay";
  }
  return bytes;
}

// Its lines ("\r\n" ends each).
std::vector<std::string> Lines(const std::string& log) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = log.find("\r\n"); end != std::string::npos; end = log.find("\r\n", start)) {
    lines.push_back(log.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Whether a line starts as the log writer starts one: "dddd-dd-dd dd:dd:dd.ddd [pid:tid] ".
bool StartsAsALogLine(const std::string& line, int pid) {
  return line.size() > 24 && line[4] == '-' && line[10] == ' ' && line[19] == '.' &&
         line.compare(23, std::to_string(pid).size() + 2, " [" + std::to_string(pid)) == 0;
}

// Joins and expects a refusal.
void Refused(uint16_t port, const vzrelay::JoinRequest& join) {
  RawMember member;
  EXPECT_FALSE(member.Join(port, join));
  EXPECT_NE(member.refused, 0u);
}

TEST(RelayLogTest, IdsThatHoldLineEndsOrNulsStayInsideTheirLines) {
  SecretRelay secret;
  ASSERT_TRUE(secret.Start());
  const uint16_t port = secret.Port();
  const int pid = secret.relay.Pid();
  const std::string forged = "\r\n1999-09-09 09:09:09.999 [" + std::to_string(pid) + ":1] a line of its own";
  Refused(port, Joining(9, "r", "", false, "meet-1", "s1" + forged));                               // unknown type
  Refused(port, Joining(kVideo, "mallory" + forged, "wrong", false, "meet-1", "meet-1" + forged));  // wrong token
  // Meetings "B" and "B\0", each with its own good token.
  RawMember b, b_nul;
  ASSERT_TRUE(b.Join(port, Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee, "B"), false, "B")));
  ASSERT_TRUE(b_nul.Join(port, Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee, "B\0"s), false, "B\0"s)));
  ASSERT_TRUE(b_nul.Synced());

  const std::string log = RelayLog(secret.relay);
  for (const std::string& line : Lines(log)) {
    EXPECT_TRUE(StartsAsALogLine(line, pid)) << line;
    EXPECT_NE(line.rfind("1999-09-09", 0), 0u) << "a line of a member's own: " << line;
  }
  EXPECT_NE(log.find("id \"s1\\x0D\\x0A1999-09-09 09:09:09.999 ["), std::string::npos);
  EXPECT_NE(log.find("asked to join as [mallory\\x0D\\x0A1999-09-09"), std::string::npos);
  EXPECT_NE(log.find("video session B of meeting [B] opened"), std::string::npos);
  EXPECT_NE(log.find("video session B\\x00 of meeting [B\\x00] opened"), std::string::npos);
  EXPECT_TRUE(secret.relay.Stop());
}

TEST(RelayLogTest, AFloodOfJoinsWithoutATokenNeitherWrapsTheLogNorErasesWhatCameBefore) {
  SecretRelay secret;
  ASSERT_TRUE(secret.Start());
  const uint16_t port = secret.Port();
  // What came just before: an honest member's join, and a good credential
  // refused its fifth session.
  RawMember alice;
  ASSERT_TRUE(alice.Join(port, Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  std::vector<RawMember> sessions(4);
  for (size_t i = 0; i < sessions.size(); ++i) {
    ASSERT_TRUE(sessions[i].Join(port, Joining(kSharing, "bob", Token("bob", MemberRole::kAttendee), false, "meet-1",
                                               "ds-" + std::to_string(i))));
  }
  Refused(port, Joining(kSharing, "bob", Token("bob", MemberRole::kAttendee), false, "meet-1", "ds-fifth"));
  const size_t before = RelayLog(secret.relay).size();

  for (int i = 0; i < 3000; ++i) {
    RawMember nobody;
    ASSERT_FALSE(nobody.Join(port, Joining(kVideo, "n" + std::to_string(i), "")));
    ASSERT_EQ(nobody.refused, 401u) << "join " << i;
  }
  ASSERT_TRUE(alice.Synced());
  const std::string log = RelayLog(secret.relay);
  std::printf("relay log: %zu bytes before the flood, %zu after 3,000 refused joins\n", before, log.size());
  EXPECT_LT(log.size(), before + 20000) << "the flood is written within its budget";
  EXPECT_NE(log.find("(alice) joined video session meet-1"), std::string::npos);
  EXPECT_NE(log.find("refused (429)"), std::string::npos);
  size_t refusals = 0;
  for (const std::string& line : Lines(log)) refusals += line.find("refused (401)") != std::string::npos;
  EXPECT_GE(refusals, 1u);
  EXPECT_LT(refusals, 100u);
  EXPECT_TRUE(secret.relay.Stop());
}

}  // namespace
