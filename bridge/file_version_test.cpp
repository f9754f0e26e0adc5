// The installed client's version, read from the file beside it: a damaged
// file must read as no version, so the launcher reinstalls rather than
// starting a client it wrongly takes for the wanted one.
#include "bridge/file_version.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/scoped_test_folder_testlib.h"

namespace {

TEST(FileVersionTest, OnlyFourNumbersSeparatedByDotsAreAVersion) {
  EXPECT_EQ(ParseVersionText("2.9.1.3"), "2.9.1.3");
  EXPECT_EQ(ParseVersionText(" \t2.9.1.3\r\n"), "2.9.1.3");
  EXPECT_EQ(ParseVersionText("65535.0.00.7"), "65535.0.0.7");
  for (const char* damaged : {"2.9.1.3-beta", "2.9.1.3.7", "2.9.1.3.", "2.9.1", "2.9..3", ".2.9.1.3", "2.9.1.3 4",
                              "2.9.1.x", "2.9.1.+3", "2.9.1.-3", "65536.0.0.1", "4294967298.0.0.1",
                              "0000002.9.1.3", "", " \n"}) {
    EXPECT_EQ(ParseVersionText(damaged), "") << '"' << damaged << '"';
  }
  EXPECT_EQ(ParseVersionText(std::string_view("2.9.1.3\0" "5", 9)), "");
}

TEST(FileVersionTest, AVersionFileWithMoreThanAVersionReadsAsNone) {
  vz::ScopedTestFolder folder;
  const std::string program = folder.path() + "/client";
  std::ofstream(program) << "#!/bin/sh\n";
  auto write_version = [&](const std::string& text) { std::ofstream(program + ".version") << text; };
  SidecarVersionSource versions;
  EXPECT_EQ(versions.FileVersion(program), "");  // no version file
  write_version("2.9.1.3\n");
  EXPECT_EQ(versions.FileVersion(program), "2.9.1.3");
  // A version, blank space, then something else past the first 64 bytes.
  write_version("2.9.1.3" + std::string(80, ' ') + "2.9.1.4");
  EXPECT_EQ(versions.FileVersion(program), "");
  EXPECT_EQ(versions.FileVersion(folder.path() + "/missing"), "");
}

}  // namespace
