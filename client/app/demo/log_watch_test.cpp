#include "client/app/demo/log_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

#include "platform/clock.h"
#include "platform/scoped_test_folder_testlib.h"

namespace {

// The watch's new lines until there are `count` of them, or a second went by.
std::vector<std::string> NewLinesUpTo(LogWatch& watch, size_t count) {
  std::vector<std::string> lines;
  const uint64_t deadline = vz::MonotonicMs() + 1000;
  while (lines.size() < count && vz::MonotonicMs() < deadline) {
    for (std::string& line : watch.NewLines()) lines.push_back(std::move(line));
  }
  return lines;
}

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
  // The newest line after a wrap is taken once a read a poll later finds it whole.
  const std::vector<std::string> lines = NewLinesUpTo(watch, 3);
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
  EXPECT_TRUE(watch.Wait("hidden at last", 1000));
  EXPECT_FALSE(watch.Wait("overlay controls hidden 3", 0));
}

// Writes a log as the program's log writer does: whole stamped lines, each in
// one write, back to the start of the file once past the wrap size, over the
// oldest lines and never cutting the file.
class WrappingWriter {
 public:
  WrappingWriter(std::string path, size_t wrap_size) : path_(std::move(path)), wrap_size_(wrap_size) {
    std::ofstream(path_, std::ios::binary);
    file_.open(path_, std::ios::binary | std::ios::in | std::ios::out);
  }
  // Writes the next line (its text of `length` bytes) and returns it without
  // its end. Every third line moves the clock on; the others share its stamp.
  std::string Write(size_t length) {
    if (position_ > wrap_size_) position_ = 0;
    const uint64_t ms = 1000 * 3600 + count_++ / 3;
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "2026-12-10 %02u:%02u:%02u.%03u", unsigned(ms / 3600000 % 24),
                  unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60), unsigned(ms % 1000));
    std::string line = std::string(stamp) + " [1:1] f : >" + std::to_string(count_) + " ";
    while (line.size() < 36 + length) line += static_cast<char>('a' + line.size() % 26);
    file_.seekp(static_cast<std::streamoff>(position_));
    file_ << line << '\n';
    file_.flush();
    position_ += line.size() + 1;
    return line;
  }

 private:
  std::string path_;
  size_t wrap_size_;
  std::fstream file_;
  size_t position_ = 0;
  uint64_t count_ = 0;
};

// How often the demonstration's waits read the log.
constexpr int kWatchPollMs = 20;

// The watch of a log that wraps every few seconds: begun mid-round in a file
// that wrapped already, polled after a few lines or after up to a quarter of
// a round, over several rounds of lines of every length, every line written
// after the watch began is taken once, in order, and a line waited for is
// found.
TEST(LogWatchTest, EveryLineOfAWrappingLogIsTakenOnceInOrderWhereverTheWatchBegins) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/wrapping.log";
  constexpr size_t kWrapSize = 16000;
  WrappingWriter writer(path, kWrapSize);
  std::mt19937 random(7);
  auto length = [&] { return static_cast<size_t>(random() % 300); };
  for (size_t written = 0; written < kWrapSize * 3 / 2;) written += writer.Write(length()).size();
  LogWatch watch(path);
  writer.Write(40);  // "overlay controls shown", as the demonstration waits for it
  EXPECT_TRUE(watch.Wait(" : >", 1000)) << "the line written after the watch began, in a file that had wrapped";

  std::vector<std::string> written;
  std::vector<std::string> taken;
  for (int round = 0; written.size() < 600; ++round) {
    const size_t lines = 1 + random() % (round % 2 == 0 ? 3 : kWrapSize / 4 / 200);
    for (size_t i = 0; i < lines; ++i) written.push_back(writer.Write(length()));
    vz::SleepMs(kWatchPollMs);
    for (std::string& line : watch.NewLines()) taken.push_back(std::move(line));
  }
  for (std::string& line : NewLinesUpTo(watch, written.size() - taken.size())) taken.push_back(std::move(line));
  EXPECT_EQ(taken, written);

  // The same with the writer on a thread of its own, never more than a
  // third of a round ahead of what the watch took.
  std::atomic<size_t> taken_count{0};
  std::vector<std::string> by_thread;
  std::thread thread([&] {
    std::mt19937 lengths(11);
    for (int i = 0; i < 600; ++i) {
      while (by_thread.size() > taken_count.load() + 20) std::this_thread::yield();
      by_thread.push_back(writer.Write(lengths() % 300));
    }
  });
  std::vector<std::string> taken_by_thread;
  // A watch that loses a line would wait for ever: a minute is far more
  // than the run takes on any machine.
  const uint64_t deadline = vz::MonotonicMs() + 60000;
  while (taken_by_thread.size() < 600 && vz::MonotonicMs() < deadline) {
    for (std::string& line : watch.NewLines()) taken_by_thread.push_back(std::move(line));
    taken_count.store(taken_by_thread.size());
    vz::SleepMs(1);
  }
  taken_count.store(600 + 20);  // lets a writer still waiting end
  thread.join();
  EXPECT_EQ(taken_by_thread, by_thread);
}

}  // namespace
