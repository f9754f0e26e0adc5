#include "client/app/demo/meeting_participant.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/native_message_framing.h"
#include "platform/scoped_test_folder_testlib.h"

namespace {

// A stand-in host: writes these framed messages to its output and ends.
std::string MakeHost(const std::string& folder, const std::vector<std::string>& messages) {
  std::ofstream(folder + "/out.bin", std::ios::binary) << [&] {
    std::string bytes;
    for (const std::string& message : messages) bytes += FrameNativeMessage(message);
    return bytes;
  }();
  const std::string host = folder + "/host.sh";
  std::ofstream(host) << "#!/bin/sh\ncat '" << folder << "/out.bin'\n";
  std::filesystem::permissions(host, std::filesystem::perms::owner_all);
  return host;
}

TEST(MeetingParticipant, WaitsPastOtherTypesNotesTheProgramAndSeesTheEnd) {
  vz::ScopedTestFolder folder;
  // The launcher's log line names VelzarHub's process; a pid above any the
  // kernel gives, so that nothing real is looked at.
  const std::string host = MakeHost(folder.path(), {
      R"({"type":"MEET_APP_LOG","log":"start application success, pid [4194305]"})",
      R"({"type":"DS_SESSION_RESPONSE_CONNECTING"})",
      R"({"type":"DS_SESSION_RESPONSE_STARTED"})",
      R"({"no_type":1})",
      R"({"type":"DS_SESSION_RESPONSE_STOPPED"})",
  });
  MeetingParticipant participant("tester", folder.path() + "/sandbox");
  ASSERT_TRUE(participant.PrepareSandbox());
  ASSERT_TRUE(std::filesystem::is_directory(folder.path() + "/sandbox/run"));
  ASSERT_TRUE(participant.Start(host, {}));
  ASSERT_TRUE(participant.WaitFor("DS_SESSION_RESPONSE_STARTED", 10000));
  EXPECT_EQ(participant.hub_pid(), 4194305);
  EXPECT_TRUE(participant.SawForTesting("DS_SESSION_RESPONSE_CONNECTING"));
  EXPECT_FALSE(participant.SawForTesting("MEET_APP_LOG"));  // log lines are not reports
  // Taken in order: what was skipped on the way is not waited for again.
  EXPECT_FALSE(participant.WaitFor("DS_SESSION_RESPONSE_CONNECTING", 2000));
  // The host's output ended: a wait for what never comes ends at once.
  EXPECT_FALSE(participant.WaitFor("MEET_APP_STOPPED", 60000));
  std::string why;
  EXPECT_TRUE(participant.WaitEnd(10000, &why)) << why;
  EXPECT_EQ(participant.HubLog(), folder.path() + "/sandbox/run/velzar/vzmeet-app.4194305.log");
}

TEST(MeetingParticipant, AHostThatFailsIsReportedWithItsExitCode) {
  vz::ScopedTestFolder folder;
  const std::string host = folder.path() + "/host.sh";
  std::ofstream(host) << "#!/bin/sh\nexit 3\n";
  std::filesystem::permissions(host, std::filesystem::perms::owner_all);
  MeetingParticipant participant("tester", folder.path() + "/sandbox");
  ASSERT_TRUE(participant.PrepareSandbox());
  ASSERT_TRUE(participant.Start(host, {}));
  EXPECT_FALSE(participant.WaitFor("MEET_APP_STARTED", 10000));
  std::string why;
  EXPECT_FALSE(participant.WaitEnd(10000, &why));
  EXPECT_NE(why.find("exit code 3"), std::string::npos) << why;
}

}  // namespace
