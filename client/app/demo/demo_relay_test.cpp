#include "client/app/demo/demo_relay.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/file_system.h"
#include "platform/scoped_test_folder_testlib.h"

namespace {

// A stand-in "vzrelay" in a folder of its own that prints `first_line`.
std::string FakeRelayFolder(const vz::ScopedTestFolder& folder, const std::string& first_line) {
  const std::string path = folder.path() + "/vzrelay";
  std::ofstream(path) << "#!/bin/sh\necho '" << first_line << "'\nexec sleep 5\n";
  ::chmod(path.c_str(), 0700);
  return folder.path();
}

TEST(DemoRelayTest, TheRealRelayListensOnTheLoopbackPortItNames) {
  vz::PipedChild relay;
  int32_t port = 0;
  std::string why;
  const std::string bin = std::filesystem::path(VZ_RELAY_BINARY).parent_path().string();
  ASSERT_TRUE(StartDemoRelay(bin, {"--loss", "0.1", "--seed", "3"}, &relay, &port, &why)) << why;
  EXPECT_GT(port, 0);
  EXPECT_LT(port, 65536);
}

TEST(DemoRelayTest, AnythingElseOnItsFirstLineOrNoProgramIsAClearFailure) {
  vz::ScopedTestFolder folder;
  vz::PipedChild relay;
  int32_t port = -1;
  std::string why;
  EXPECT_FALSE(StartDemoRelay(FakeRelayFolder(folder, "cannot listen: address in use"), {}, &relay, &port, &why));
  EXPECT_EQ(why, "vzrelay said [cannot listen: address in use]");
  EXPECT_EQ(port, -1);

  vz::ScopedTestFolder empty;
  vz::PipedChild none;
  EXPECT_FALSE(StartDemoRelay(empty.path(), {}, &none, &port, &why));
  EXPECT_NE(why.find("vzrelay"), std::string::npos) << why;
}

// The token vzrelay prints for a member from the secret file (one line).
std::string RelayPrintedToken(const std::string& bin, const std::string& secret_file, const std::string& roster,
                              const std::string& role) {
  vz::PipedChild maker;
  if (!maker.Start(bin + "/vzrelay", {"vzrelay", "--secret-file", secret_file, "--member-token", "M1", roster, role},
                   {})) {
    return "cannot start vzrelay";
  }
  std::string line;
  maker.ReadLine(&line, 200, 10000);
  int code = -1;
  EXPECT_TRUE(maker.Wait(10000, &code));
  EXPECT_EQ(code, 0);
  return line;
}

// Each member gets a token of its own from the meeting's secret, signed for
// its role: the presenter's is not the one the same roster id gets as an
// attendee. The tokens are made in this process, and are the ones vzrelay
// itself makes from the secret it was given.
TEST(DemoRelayTest, AMeetingRelayHandsEachMemberATokenForItsRole) {
  vz::ScopedTestFolder work;
  vz::PipedChild relay;
  int32_t port = 0;
  std::map<std::string, std::string> tokens;
  std::string why;
  const std::string bin = std::filesystem::path(VZ_RELAY_BINARY).parent_path().string();
  ASSERT_TRUE(StartDemoMeetingRelay(bin, work.path(), {}, "M1", {{"R1", true}, {"R2"}}, &relay, &port, &tokens, &why))
      << why;
  EXPECT_GT(port, 0);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens["R1"].size(), 64u);
  EXPECT_NE(tokens["R1"], tokens["R2"]);
  std::string as_attendee;
  const std::string secret_file = work.path() + "/meeting-secret";
  ASSERT_TRUE(DemoMemberToken(secret_file, "M1", "R1", false, &as_attendee, &why)) << why;
  EXPECT_NE(as_attendee, tokens["R1"]);
  EXPECT_EQ(tokens["R1"], RelayPrintedToken(bin, secret_file, "R1", "presenter"));
  EXPECT_EQ(tokens["R2"], RelayPrintedToken(bin, secret_file, "R2", "attendee"));
  EXPECT_EQ(as_attendee, RelayPrintedToken(bin, secret_file, "R1", "attendee"));
}

// A secret that cannot be read, or is too short to sign with, makes no token
// and says why.
TEST(DemoRelayTest, NoTokenWithoutAUsableSecret) {
  vz::ScopedTestFolder work;
  std::string token = "untouched";
  std::string why;
  EXPECT_FALSE(DemoMemberToken(work.path() + "/missing", "M1", "R1", false, &token, &why));
  EXPECT_NE(why.find("the meeting secret: cannot open " + work.path() + "/missing"), std::string::npos) << why;
  ASSERT_TRUE(vz::WriteFileAtomic(work.path() + "/short", "fifteen bytes!!\n", 0600));
  EXPECT_FALSE(DemoMemberToken(work.path() + "/short", "M1", "R1", false, &token, &why));
  EXPECT_NE(why.find("has 15 bytes; at least 16 are needed"), std::string::npos) << why;
  EXPECT_EQ(token, "");
}

}  // namespace
