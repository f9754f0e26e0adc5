#include "platform/program_launch.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/process.h"
#include "platform/scoped_test_folder_testlib.h"

namespace vz {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(LaunchProgram, TheChildGetsItsArgumentsButNotOurStandardStreamsOrDescriptors) {
  ScopedTestFolder folder;
  const std::string out = folder.path() + "/out.txt";
  // A descriptor of ours without close-on-exec must not reach the child.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  int error = -1;
  // The shell checks its own standard streams and that our descriptor is not there.
  const std::string fd = std::to_string(leaked);
  const std::string script = "echo \"$0|$1|$2\" > '" + out + "'; read line; echo \"read=$?\" >> '" + out +
                             "'; [ \"$(readlink /proc/$$/fd/0)\" = /dev/null ] && [ \"$(readlink /proc/$$/fd/1)\" = "
                             "/dev/null ] && [ ! -e /proc/$$/fd/" + fd + " ]";
  const int pid = LaunchProgram("/bin/sh", {"sh", "-c", script, "first arg", "/f1\"quoted\""}, &error);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(error, 0);
  int exit_code = -1;
  ASSERT_TRUE(WaitForProcess(pid, 60000, &exit_code));
  EXPECT_EQ(exit_code, 0);
  ::close(leaked);
  EXPECT_EQ(ReadAll(out), "first arg|/f1\"quoted\"|\nread=1\n");  // no input: /dev/null
}

TEST(LaunchProgram, AMissingOrNonExecutableProgramGivesItsErrno) {
  ScopedTestFolder folder;
  int error = 0;
  EXPECT_EQ(LaunchProgram(folder.path() + "/absent", {}, &error), -1);
  EXPECT_EQ(error, ENOENT);
  const std::string plain = folder.path() + "/plain";
  std::ofstream(plain) << "not a program";
  EXPECT_EQ(LaunchProgram(plain, {}, &error), -1);
  EXPECT_EQ(error, EACCES);
}

}  // namespace
}  // namespace vz
