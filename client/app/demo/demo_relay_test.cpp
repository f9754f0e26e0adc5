#include "client/app/demo/demo_relay.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/scoped_test_folder.h"

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

// Each member gets a token of its own from the meeting's secret, signed for
// its role: the presenter's is not the one the same roster id gets as an attendee.
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
  ASSERT_TRUE(DemoMemberToken(bin, work.path() + "/meeting-secret", "M1", "R1", false, &as_attendee, &why)) << why;
  EXPECT_NE(as_attendee, tokens["R1"]);
}

}  // namespace
