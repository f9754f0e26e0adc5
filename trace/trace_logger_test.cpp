#include "trace/trace_logger.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/log_text.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/scoped_test_folder_testlib.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using testing::IsLogLine;
using testing::ReadWholeFile;
using testing::SplitCrLfLines;

void Log(TraceLogger& logger, const char* format, ...) {
  va_list args;
  va_start(args, format);
  logger.LogA(format, args);
  va_end(args);
}

void LogWide(TraceLogger& logger, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  logger.LogW(format, args);
  va_end(args);
}

size_t Collect(TraceLogger& logger, char* out, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t n = logger.FormatCollectLine(out, capacity, format, args);
  va_end(args);
  return n;
}

// The text of a log line after its "time [pid:tid] " prefix.
std::string TextOf(const std::string& line) {
  const size_t end = line.find("] ");
  return end == std::string::npos ? std::string() : line.substr(end + 2);
}

class TraceLoggerTest : public ::testing::Test {
 protected:
  TraceLogger::Options Options() const {
    TraceLogger::Options options;
    options.folder = folder_.path();
    options.process_id = 4321;
    return options;
  }
  std::string LogPath() const { return folder_.path() + "/vzmeet-app.4321.log"; }

  ScopedTestFolder folder_;
};

TEST_F(TraceLoggerTest, CreatesTheLogNamedByTheProcessAndWritesTheLineFormat) {
  TraceLogger logger(Options());
  ASSERT_TRUE(logger.is_open_for_testing());
  EXPECT_EQ(logger.log_path_for_testing(), LogPath());
  Log(logger, "%s [line# %d] : >%s", "CApp::Start", 12, "hello");
  const std::vector<std::string> lines = SplitCrLfLines(ReadWholeFile(LogPath()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(IsLogLine(lines[0])) << lines[0];
  EXPECT_NE(lines[0].find(" [4321:" + std::to_string(ThreadId()) + "] "), std::string::npos) << lines[0];
  EXPECT_EQ(TextOf(lines[0]), "CApp::Start [line# 12] : >hello");
  EXPECT_EQ(ReadWholeFile(LogPath()).substr(ReadWholeFile(LogPath()).size() - 2), "\r\n");
}

TEST_F(TraceLoggerTest, EightThreadsWriteWholeLinesThatNeverInterleave) {
  constexpr int kThreads = 8;
  constexpr int kLines = 10000;
  const std::string payload = "abcdefghijklmnopqrstuvwxyz";
  TraceLogger logger(Options());
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) Log(logger, "T%d L%05d %s", t, i, payload.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();
  Log(logger, "FINAL");

  const std::string file = ReadWholeFile(LogPath());
  EXPECT_LE(file.size(), static_cast<size_t>(kLogWrapSize) + kTraceBufferSize);
  // The file has wrapped many times: it holds the current round from offset 0
  // up to the last line written, then the older lines behind it.
  const size_t final_at = file.find("] FINAL\r\n");
  ASSERT_NE(final_at, std::string::npos);
  const size_t round_end = final_at + 9;
  std::vector<std::string> lines = SplitCrLfLines(file.substr(0, round_end));
  const size_t round_lines = lines.size();
  const size_t older_start = file.find("\r\n", round_end);
  if (older_start != std::string::npos) {
    // The older round's lines, up to the end of that round: rounds end at
    // slightly different places, so the file may close with the leftover
    // of an even older round, shorter than a line (as short as "\r\n").
    const std::string older = file.substr(older_start + 2);
    size_t at = 0;
    for (const std::string& line : SplitCrLfLines(older)) {
      if (!IsLogLine(line)) {
        EXPECT_LT(older.size() - at, static_cast<size_t>(kTraceBufferSize)) << "a broken line inside the older round";
        break;
      }
      lines.push_back(line);
      at += line.size() + 2;
    }
  }
  ASSERT_GT(lines.size(), 1000u);

  std::map<int, std::string> thread_ids;  // writer number -> its [pid:tid]
  std::map<int, int> last_number;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    ASSERT_TRUE(IsLogLine(line)) << "line " << i << ": " << line;
    const std::string text = TextOf(line);
    if (text == "FINAL") continue;
    int t = -1, n = -1;
    char rest[64] = {};
    ASSERT_EQ(std::sscanf(text.c_str(), "T%d L%d %63s", &t, &n, rest), 3) << line;
    ASSERT_EQ(text, "T" + std::to_string(t) + " L" + std::string(5 - std::to_string(n).size(), '0') +
                        std::to_string(n) + " " + payload)
        << line;
    const std::string ids = line.substr(24, line.find("] ") - 24);
    if (thread_ids.count(t)) {
      EXPECT_EQ(thread_ids[t], ids) << line;
    }
    thread_ids[t] = ids;
    // Within the current round each writer's lines keep their order, and
    // every line is stamped no earlier than the line before it: a reader of
    // the wrapped file finds where the round ends by time.
    if (i < round_lines) {
      if (i > 0) {
        EXPECT_GE(line.substr(0, 23), lines[i - 1].substr(0, 23)) << "line " << i << " is older than the one before";
      }
      if (last_number.count(t)) {
        EXPECT_GT(n, last_number[t]) << line;
      }
      last_number[t] = n;
    }
  }
}

TEST_F(TraceLoggerTest, ALineThatWaitedForTheLoggerIsStampedWhenItIsWritten) {
  TraceLogger logger(Options());
  // The test holds the logger while another thread logs; the waiting line
  // must not carry the time it was asked for, or it lands after a newer one.
  logger.lock_for_testing().lock();
  Event asked(true, false);
  std::thread waiter([&] {
    asked.Set();
    Log(logger, "waited");
  });
  asked.Wait(Event::kInfinite);
  // Long enough for the clock to pass a millisecond while the waiter waits;
  // on a machine slower than that the waiter stamps later and the test
  // cannot fail wrongly.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Log(logger, "held");
  logger.lock_for_testing().unlock();
  waiter.join();
  const std::vector<std::string> lines = SplitCrLfLines(ReadWholeFile(LogPath()));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(TextOf(lines[0]), "held");
  EXPECT_EQ(TextOf(lines[1]), "waited");
  EXPECT_GE(lines[1].substr(0, 23), lines[0].substr(0, 23)) << "the later line is stamped earlier";
}

TEST_F(TraceLoggerTest, TheFirstLineAfter256000BytesLandsAtOffsetZero) {
  TraceLogger logger(Options());
  std::uintmax_t size = 0;
  int written = 0;
  while (size <= static_cast<std::uintmax_t>(kLogWrapSize)) {
    Log(logger, "filler %06d %s", written++, std::string(100, 'f').c_str());
    size = std::filesystem::file_size(LogPath());
  }
  Log(logger, "first after the wrap");
  EXPECT_EQ(std::filesystem::file_size(LogPath()), size) << "the file is not truncated";
  const std::string file = ReadWholeFile(LogPath());
  const std::string first = file.substr(0, file.find("\r\n"));
  EXPECT_TRUE(IsLogLine(first)) << first;
  EXPECT_EQ(TextOf(first), "first after the wrap");
  // The older lines behind it stay until they are overwritten.
  EXPECT_NE(file.find("filler 000001"), std::string::npos);
}

TEST_F(TraceLoggerTest, AWideLineArrivesAsExactUtf8) {
  TraceLogger logger(Options());
  LogWide(logger, u"%S [line# %d] : >%s", "CMainFrame::CMainFrame", 7, u"Grüße, 日本, \U0001F600");
  const std::vector<std::string> lines = SplitCrLfLines(ReadWholeFile(LogPath()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(IsLogLine(lines[0]));
  EXPECT_EQ(TextOf(lines[0]), "CMainFrame::CMainFrame [line# 7] : >Gr\xC3\xBC\xC3\x9F" "e, \xE6\x97\xA5\xE6\x9C\xAC, \xF0\x9F\x98\x80");
}

TEST_F(TraceLoggerTest, OverlongLinesAreCutBetweenCharactersAndKeepTheirLineEnd) {
  TraceLogger logger(Options());
  Log(logger, "%s", std::string(5000, 'x').c_str());
  const std::u16string wide(4095, u'\u00E9');  // two bytes each in UTF-8
  LogWide(logger, u"%s", wide.c_str());
  Log(logger, "after");
  const std::string file = ReadWholeFile(LogPath());
  const std::vector<std::string> lines = SplitCrLfLines(file);
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    SCOPED_TRACE(line.substr(0, 60));
    EXPECT_TRUE(IsLogLine(line));
    EXPECT_LE(line.size() + 2, kTraceBufferSize - 1);
  }
  EXPECT_GT(lines[0].size(), 4000u);
  const std::string wide_text = TextOf(lines[1]);
  EXPECT_GT(wide_text.size(), 4000u);
  EXPECT_EQ(wide_text.size() % 2, 0u) << "a character was split";
  EXPECT_EQ(wide_text.substr(0, 4), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(TextOf(lines[2]), "after");
}

TEST_F(TraceLoggerTest, CloseWritesTheEndMarkerOnceAndLaterLinesAreDropped) {
  {
    TraceLogger logger(Options());
    Log(logger, "last line");
    logger.Close();
    EXPECT_FALSE(logger.is_open_for_testing());
    Log(logger, "dropped");
  }  // the destructor closes again: nothing more
  const std::string file = ReadWholeFile(LogPath());
  const std::string marker = kTraceEndMarker;
  EXPECT_EQ(marker, "\n\n       --------------> [ VZTRACE END ] <-------------------\n\n\n\n\n");
  ASSERT_GE(file.size(), marker.size());
  EXPECT_EQ(file.substr(file.size() - marker.size()), marker);
  EXPECT_EQ(file.find(marker), file.size() - marker.size());
  EXPECT_EQ(file.find("dropped"), std::string::npos);
}

TEST_F(TraceLoggerTest, IdentityKeepsEarlierValuesForNullOrEmptyOnes) {
  TraceLogger logger(Options());
  char name[256];
  const CivilTime t{2024, 1, 2, 3, 4, 5, 6};
  logger.SetAppInfo("app", "1.0.0");
  logger.SetAppInfo("", "2.0.0");
  logger.SetAppInfo(nullptr, nullptr);
  logger.FormatPendingName(name, sizeof(name), t);
  EXPECT_STREQ(name, "native.crash.win.app.2.0.0.2024-01-02.03.04.05.exception");
  EXPECT_EQ(logger.AppName(), "app");
  // An identity cannot lead the pending file out of its folder.
  logger.SetAppInfo("../../evil", nullptr);
  logger.FormatPendingName(name, sizeof(name), t);
  EXPECT_STREQ(name, "native.crash.win..._.._evil.2.0.0.2024-01-02.03.04.05.exception");

  TraceLogger::Options fixed = Options();
  fixed.process_id = 4322;
  fixed.fixed_app_name = "app.host";
  TraceLogger host(fixed);
  host.SetAppInfo("VelzarHub", "3.1");
  host.FormatPendingName(name, sizeof(name), t);
  EXPECT_STREQ(name, "native.crash.win.app.host.3.1.2024-01-02.03.04.05.exception");
}

// At most `length` bytes of the file from `offset`.
std::string ReadAt(const std::string& path, size_t offset, size_t length) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(length, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(length));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

// The log line that starts at `offset`, without its "\r\n"; empty when none
// ends within a line's size.
std::string LineAt(const std::string& path, size_t offset) {
  const std::string bytes = ReadAt(path, offset, kTraceBufferSize);
  const size_t end = bytes.find("\r\n");
  return end == std::string::npos ? std::string() : bytes.substr(0, end);
}

// Lines of differing lengths, each naming its number.
std::string NumberedLine(int number) {
  return "after the wrap " + std::to_string(number) + " " + std::string(static_cast<size_t>(number * 37 % 211), 'w');
}

TEST_F(TraceLoggerTest, AfterEachWrapEveryLineFollowsTheOneBeforeItAndTheCrashFileEndsTheRound) {
  TraceLogger logger(Options());
  int written = 0;
  while (std::filesystem::file_size(LogPath()) <= static_cast<std::uintmax_t>(kLogWrapSize)) {
    Log(logger, "filler %06d %s", written++, std::string(100, 'f').c_str());
  }
  const std::uintmax_t largest = std::filesystem::file_size(LogPath());
  // Two more wraps' worth of lines of differing lengths: each round starts
  // at offset 0 and holds its lines in order, back to back.
  int number = 0;
  for (int round = 0; round < 2; ++round) {
    const int round_start = number;
    size_t round_bytes = 0;
    while (round_bytes <= static_cast<size_t>(kLogWrapSize)) {  // past it, the next line wraps
      Log(logger, "%s", NumberedLine(number).c_str());
      const std::string line = LineAt(LogPath(), round_bytes);
      ASSERT_TRUE(IsLogLine(line)) << "line " << number << ": " << line;
      ASSERT_EQ(TextOf(line), NumberedLine(number)) << "line " << number;
      round_bytes += line.size() + 2;
      ++number;
    }
    ASSERT_GT(number - round_start, 1000) << "round " << round;
  }
  EXPECT_LE(std::filesystem::file_size(LogPath()), largest + kTraceBufferSize) << "the file never grows on";
  // A third round begins.
  size_t at = 0;
  for (int n = number; n < number + 40; ++n) {
    Log(logger, "%s", NumberedLine(n).c_str());
    const std::string line = LineAt(LogPath(), at);
    ASSERT_TRUE(IsLogLine(line)) << line;
    ASSERT_EQ(TextOf(line), NumberedLine(n));
    at += line.size() + 2;
  }
  // A crash now: the report, the header and the end marker follow the last
  // line, and the older round's bytes stay behind them.
  logger.SetAppInfo("app", "1.2");
  const char report[] = "report line\r\n";
  logger.WriteRaw(report, sizeof(report) - 1);
  ASSERT_TRUE(logger.FinishCrashLog(CivilTime{2025, 11, 30, 23, 58, 7, 0}));
  const std::string pending = ReadWholeFile(folder_.path() + "/native.crash.win.app.1.2.2025-11-30.23.58.07.exception");
  const std::string ending = std::string(report) + "[app] [1.2] \nMeetId: [] \nRosterId: []\n\n" + kTraceEndMarker;
  ASSERT_GE(pending.size(), at + ending.size());
  EXPECT_EQ(pending.substr(at, ending.size()), ending);
  const std::vector<std::string> lines = SplitCrLfLines(pending.substr(0, at));
  ASSERT_EQ(lines.size(), 40u);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(TextOf(lines[i]), NumberedLine(number + static_cast<int>(i))) << "line " << i;
  }
  EXPECT_NE(pending.find(NumberedLine(number - 1)), std::string::npos) << "the older round is kept behind";
}

TEST_F(TraceLoggerTest, AValueFromOutsideStaysInsideItsLineAndReadsBackAsItCame) {
  TraceLogger logger(Options());
  const std::string forged = "s1\r\n2026-01-01 00:00:00.000 [1:1] a line of its own";
  Log(logger, "no session of type %d and id \"%s\"", 9, forged.c_str());
  Log(logger, "meeting [%s], meeting [%s]", "B", LogText(std::string("B\0\\", 3)).c_str());
  LogWide(logger, u"wide [%s] narrow [%S] unit [%c]", u"a\u2028b", "c\xFF\\", u'\n');
  const std::vector<std::string> lines = SplitCrLfLines(ReadWholeFile(LogPath()));
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) EXPECT_TRUE(IsLogLine(line)) << line;
  EXPECT_EQ(TextOf(lines[0]), "no session of type 9 and id \"s1\\x0D\\x0A2026-01-01 00:00:00.000 [1:1] a line of its own\"");
  EXPECT_EQ(TextOf(lines[1]), "meeting [B], meeting [B\\x00\\\\]");
  EXPECT_EQ(TextOf(lines[2]), "wide [a\\u2028b] narrow [c\\xFF\\] unit [\\x0A]");
  char line[kTraceBufferSize];
  Collect(logger, line, sizeof(line), "collected [%s]", "x\ny");
  EXPECT_EQ(TextOf(line), "collected [x\\x0Ay]");
}

TEST_F(TraceLoggerTest, CollectLinesCarryThePrefixButNoLineEnd) {
  TraceLogger logger(Options());
  char line[kTraceBufferSize];
  const size_t n = Collect(logger, line, sizeof(line), "%s [line# %d] : >%s", "F", 1, "text");
  EXPECT_EQ(n, std::string(line).size());
  EXPECT_TRUE(IsLogLine(line)) << line;
  EXPECT_EQ(TextOf(line), "F [line# 1] : >text");
  const std::string big(5000, 'y');
  Collect(logger, line, sizeof(line), "%s", big.c_str());
  EXPECT_EQ(std::string(line).size(), kTraceBufferSize - 1);
  EXPECT_EQ(ReadWholeFile(LogPath()), "") << "collect lines never reach the file";
}

TEST_F(TraceLoggerTest, TheCrashPathAddsTheHeaderAndTheMarkerAndMovesTheLogAside) {
  TraceLogger logger(Options());
  logger.SetAppInfo("app", "1.2");
  logger.SetMeetInfo("M-77", "R-5");
  Log(logger, "before the crash");
  const char raw[] = "report line\r\n";
  logger.WriteRaw(raw, sizeof(raw) - 1);
  ASSERT_TRUE(logger.FinishCrashLog(CivilTime{2025, 11, 30, 23, 58, 7, 0}));
  EXPECT_FALSE(logger.is_open_for_testing());
  Log(logger, "dropped");
  EXPECT_FALSE(std::filesystem::exists(LogPath()));

  const std::string pending = folder_.path() + "/native.crash.win.app.1.2.2025-11-30.23.58.07.exception";
  const std::string file = ReadWholeFile(pending);
  const std::string tail = std::string("report line\r\n") + "[app] [1.2] \nMeetId: [M-77] \nRosterId: [R-5]\n\n" +
                           kTraceEndMarker;
  ASSERT_GE(file.size(), tail.size());
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
  EXPECT_EQ(TextOf(file.substr(0, file.find("\r\n"))), "before the crash");
  EXPECT_FALSE(logger.FinishCrashLog(CivilTime{})) << "the log is gone already";
}

// Ids from outside cannot add lines to the crash report's header: they are
// escaped as in every log line, whole even when every byte is escaped.
TEST_F(TraceLoggerTest, TheCrashHeaderKeepsEachIdInsideItsLine) {
  TraceLogger logger(Options());
  logger.SetAppInfo("app", "1.2");
  const std::string roster(255, '\n');
  logger.SetMeetInfo("M-1\r\nRosterId: [forged]", roster.c_str());
  ASSERT_TRUE(logger.FinishCrashLog(CivilTime{2025, 11, 30, 23, 58, 7, 0}));
  const std::string file = ReadWholeFile(folder_.path() + "/native.crash.win.app.1.2.2025-11-30.23.58.07.exception");
  std::string escaped_roster;
  for (size_t i = 0; i < roster.size(); ++i) escaped_roster += "\\x0A";
  const std::string tail = "[app] [1.2] \nMeetId: [M-1\\x0D\\x0ARosterId: [forged]] \nRosterId: [" + escaped_roster +
                           "]\n\n" + kTraceEndMarker;
  ASSERT_GE(file.size(), tail.size());
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
}

TEST_F(TraceLoggerTest, WithoutAUsableFolderTheLoggerDropsLines) {
  TraceLogger::Options options = Options();
  options.folder = folder_.path() + "/missing";
  TraceLogger logger(options);
  EXPECT_FALSE(logger.is_open_for_testing());
  Log(logger, "nowhere");
  logger.WriteRaw("x", 1);
  EXPECT_FALSE(logger.FinishCrashLog(CivilTime{}));
  options.folder = "";
  TraceLogger no_folder(options);
  EXPECT_FALSE(no_folder.is_open_for_testing());
}

TEST_F(TraceLoggerTest, TheRawWriteDoesNotHangOnAHeldLoggerLock) {
  TraceLogger logger(Options());
  // Held by the writing thread itself, as after a fault inside the logger.
  logger.lock_for_testing().lock();
  logger.WriteRaw("own\r\n", 5);
  logger.lock_for_testing().unlock();
  // Held by a thread that never lets go: the write goes ahead after a bounded wait.
  Event held(true, false), release(true, false);
  std::thread holder([&] {
    logger.lock_for_testing().lock();
    held.Set();
    release.Wait(Event::kInfinite);
    logger.lock_for_testing().unlock();
  });
  held.Wait(Event::kInfinite);
  logger.WriteRaw("other\r\n", 7);
  release.Set();
  holder.join();
  EXPECT_EQ(ReadWholeFile(LogPath()), "own\r\nother\r\n");
}

}  // namespace
}  // namespace vz
