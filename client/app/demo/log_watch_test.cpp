#include "client/app/demo/log_watch.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/scoped_test_folder.h"

namespace {

void Append(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << text;
}

TEST(LogWatchTest, OnlyLinesWrittenAfterTheStartCountAndEachLineOnce) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/hub.log";
  Append(path, "type [14], color [0xFF0000FF]\n");
  LogWatch watch(path);
  EXPECT_FALSE(watch.Wait("type [14]", 0));  // before the watch
  Append(path, "other\ntype [14], color [0xFF0000FF] first\nmore\n");
  EXPECT_TRUE(watch.Wait("type [14]", 0));
  EXPECT_FALSE(watch.Wait("type [14]", 0));  // the same line again does not count
  EXPECT_TRUE(watch.Wait("more", 0));        // lines after it still do
  Append(path, "type [14] again");           // not ended by a newline yet
  EXPECT_TRUE(watch.Wait("type [14]", 0));
  EXPECT_FALSE(watch.Wait("again", 0));
}

TEST(LogWatchTest, AFileThatAppearsLaterIsReadFromItsStart) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/later.log";
  LogWatch watch(path);
  EXPECT_FALSE(watch.Wait("answered", 0));
  Append(path, "remote-control question answered [1]\n");
  EXPECT_TRUE(watch.Wait("answered [1]", 0));
}

TEST(LogWatchTest, NewLinesGivesEachWholeLineOnceAndWaitsForAnEnd) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/lines.log";
  Append(path, "before the watch\n");
  LogWatch watch(path);
  EXPECT_TRUE(watch.NewLines().empty());
  Append(path, "one\ntwo\nthr");
  EXPECT_EQ(watch.NewLines(), (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(watch.NewLines().empty());  // "thr" is not a whole line yet
  Append(path, "ee\n\n");
  EXPECT_EQ(watch.NewLines(), (std::vector<std::string>{"three", ""}));
}

}  // namespace
