#include "bridge/system_error_code.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(SystemErrorCode, SendsTheWindowsCodeOfTheSameMeaning) {
  EXPECT_EQ(WindowsErrorFromErrno(0), 0);
  EXPECT_EQ(WindowsErrorFromErrno(EACCES), 5);
  EXPECT_EQ(WindowsErrorFromErrno(EPERM), 5);
  EXPECT_EQ(WindowsErrorFromErrno(ENOENT), 2);
  EXPECT_EQ(WindowsErrorFromErrno(ENOTDIR), 3);
  EXPECT_EQ(WindowsErrorFromErrno(ECANCELED), 1223);  // the page treats this one itself
  EXPECT_EQ(WindowsErrorFromErrno(ENOEXEC), 193);
  EXPECT_EQ(WindowsErrorFromErrno(ENOMEM), 8);
  EXPECT_EQ(WindowsErrorFromErrno(ETXTBSY), 32);
  EXPECT_EQ(WindowsErrorFromErrno(ENAMETOOLONG), 206);
}

TEST(SystemErrorCode, AnErrnoWithoutCounterpartIsAGeneralFailureNotItsOwnNumber) {
  // Sent raw, an errno value means something else to the page (33, EDOM, would read as a lock violation).
  EXPECT_EQ(WindowsErrorFromErrno(EDOM), kWindowsErrorGenFailure);
  EXPECT_EQ(WindowsErrorFromErrno(-1), kWindowsErrorGenFailure);
  EXPECT_EQ(WindowsErrorFromErrno(100000), kWindowsErrorGenFailure);
}

}  // namespace
