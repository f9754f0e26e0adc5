#include "client/app/demo/log_watch.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/scoped_test_folder_testlib.h"

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

// The program's log is wrapped in place: past its limit the writer goes
// back to the start and writes over the oldest lines. What it writes after
// the wrap is found; the older lines after it are not taken again.
TEST(LogWatchTest, LinesWrittenAfterTheLogWrappedInPlaceAreFoundAndOldOnesNotTakenAgain) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/wrapped.log";
  std::string old;
  for (int i = 0; i < 40; ++i) {
    old += "2026-12-10 06:48:" + std::to_string(10 + i) + ".000 [1:1] f : >overlay controls hidden " +
           std::to_string(i) + "\n";
  }
  Append(path, old);
  LogWatch watch(path);
  Append(path, "2026-12-10 06:49:00.000 [1:1] f : >before the wrap\n");
  EXPECT_EQ(watch.NewLines().size(), 1u);
  Append(path, "2026-12-10 06:49:01.000 [1:1] f : >last before the wrap\n");
  // Back to the start, over the oldest lines, as the writer does: the new
  // lines end inside an old one.
  const std::string fresh = "2026-12-10 06:49:02.000 [1:1] f : >overlay controls shown\n"
                            "2026-12-10 06:49:02.100 [1:1] f : >after\n";
  {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(0);
    file << fresh;
  }
  const std::vector<std::string> lines = watch.NewLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("last before the wrap"), std::string::npos);
  EXPECT_NE(lines[1].find("overlay controls shown"), std::string::npos);
  EXPECT_NE(lines[2].find("after"), std::string::npos);
  EXPECT_TRUE(watch.NewLines().empty());
  // The writer goes on over the old lines; Wait finds what it writes.
  {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(fresh.size()));
    file << "2026-12-10 06:49:03.000 [1:1] f : >overlay controls hidden at last\n";
  }
  EXPECT_TRUE(watch.Wait("hidden at last", 0));
  EXPECT_FALSE(watch.Wait("overlay controls hidden 3", 0));
}

}  // namespace
