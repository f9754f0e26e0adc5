#include "bridge/velzar_meet_application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <chrono>
#include <thread>
#include <cstring>
#include <fstream>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "bridge/native_message.h"
#include "bridge/self_replace.h"
#include "bridge/launcher_fakes_testlib.h"
#include "platform/scoped_test_folder_testlib.h"
#include "common/text_scrambler.h"
#include "platform/file_system.h"
#include "platform/pipe_name_testlib.h"
#include "platform/scoped_environment_testlib.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

// The extension's side of the host's standard output.
class MessageSink : public IByteOutput {
 public:
  bool Write(const void* data, size_t size) override {
    if (throw_next.exchange(false)) throw std::bad_alloc();  // as when memory runs out writing
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_.append(static_cast<const char*>(data), size);
    return true;
  }
  // The messages written so far, cut at their headers.
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> messages;
    size_t at = 0;
    while (at + 4 <= bytes_.size()) {
      uint32_t length;
      std::memcpy(&length, bytes_.data() + at, 4);
      messages.push_back(bytes_.substr(at + 4, length));
      at += 4 + length;
    }
    return messages;
  }
  // Waits (up to 30 s: a loaded machine) until a message holds `text`.
  bool WaitFor(const std::string& text) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
      for (const std::string& message : Messages()) {
        if (message.find(text) != std::string::npos) return true;
      }
      std::this_thread::yield();
    }
    return false;
  }
  std::vector<std::string> NonLog() {
    std::vector<std::string> all = Messages(), kept;
    for (const std::string& message : all) {
      if (message.find("\"type\":\"MEET_APP_LOG\"") == std::string::npos) kept.push_back(message);
    }
    return kept;
  }

 std::atomic<bool> throw_next{false};

 private:
  std::mutex mutex_;
  std::string bytes_;
};

class RecordingExit : public IProcessExit {
 public:
  void ExitProcess(int exit_code) override {
    std::lock_guard<std::mutex> lock(mutex_);
    codes.push_back(exit_code);
  }
  std::vector<int> Codes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return codes;
  }
  // Waits (up to 30 s: a loaded machine) for a call from another thread.
  std::vector<int> WaitForCodes() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Codes().empty() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    return Codes();
  }

 private:
  std::mutex mutex_;
  std::vector<int> codes;
};

class MemoryInput : public IByteInput {
 public:
  explicit MemoryInput(std::string bytes) : bytes_(std::move(bytes)) {}
  long Read(void* buffer, size_t size) override {
    const size_t n = std::min(size, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

std::string Framed(const std::string& text) {
  const uint32_t length = static_cast<uint32_t>(text.size());
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &length, 4);
  return bytes + text;
}

const char kOwnVersion[] = "1.2.3.4";

class ApplicationTest : public ::testing::Test {
 protected:
  ApplicationTest() : runner_(clock_), self_replace_(root_.path() + "/host/vzbridge") {
    root_.Sub("host");
    ports_.output = &output_;
    ports_.own_version = kOwnVersion;
    ports_.self_replace = &self_replace_;
    ports_.process_exit = &exit_;
    ports_.launcher.paths.data_folder = root_.Sub("data");
    ports_.launcher.paths.own_folder = root_.Sub("own");
    ports_.launcher.paths.temp_folder = root_.Sub("tmp");
    ports_.launcher.paths.own_process_id = 77;
    ports_.launcher.versions = &versions_;
    ports_.launcher.processes = &runner_;
    ports_.launcher.downloader = &downloader_;
  }
  std::unique_ptr<CVelzarMeetApplication> Make() { return std::make_unique<CVelzarMeetApplication>(ports_); }
  static int Feed(CVelzarMeetApplication& app, const std::string& text) {
    return app.FeedExtensionJSON(text.c_str(), static_cast<int>(text.size()));
  }

  vz::ScopedPipeTestFolder runtime_;
  vz::ScopedTestFolder root_;
  vz::FakeClock clock_;
  MessageSink output_;
  RecordingExit exit_;
  FakeVersionSource versions_;
  FakeProcessRunner runner_;
  FakeDownloader downloader_;
  FileSelfReplace self_replace_;
  HostPorts ports_;
};

TEST_F(ApplicationTest, AVersionMismatchRenamesTheHostAndCleansTheManifestsBesideIt) {
  const std::string host = root_.path() + "/host/";
  std::ofstream(host + "vzbridge") << "program";
  std::ofstream(host + "vzbridge.old") << "older";
  std::ofstream(host + "com.velzar.meet.host.json") << "{}";
  std::ofstream(host + "other.json") << "{}";
  std::ofstream(host + "notes.txt") << "kept";
  auto app = Make();
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_APP_REQUEST_START\",\"domain\":\"d\"}"), 0);
  EXPECT_EQ(output_.Messages(), std::vector<std::string>{"{\"code\":0,\"type\":\"MEET_ADDON_NEED_UPDATE\"}"});
  EXPECT_EQ(exit_.Codes(), std::vector<int>{0});
  EXPECT_FALSE(vz::FileExists(host + "vzbridge"));
  std::string moved;
  ASSERT_TRUE(vz::ReadFileBytes(host + "vzbridge.old", &moved));
  EXPECT_EQ(moved, "program");
  EXPECT_FALSE(vz::FileExists(host + "com.velzar.meet.host.json"));
  EXPECT_FALSE(vz::FileExists(host + "other.json"));
  EXPECT_TRUE(vz::FileExists(host + "notes.txt"));
}

TEST_F(ApplicationTest, AnUnreadableOwnVersionIsNoMismatch) {
  const std::string host = root_.path() + "/host/";
  std::ofstream(host + "vzbridge") << "program";
  ports_.own_version.clear();
  auto app = Make();
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"9.9.9.9\"}"), 1);
  // Past the gate the start goes on to the launcher, which ends it for the
  // missing meeting parameters: stopped, never "needs an update".
  EXPECT_EQ(exit_.WaitForCodes(), std::vector<int>{0});
  EXPECT_EQ(output_.NonLog(), std::vector<std::string>{"{\"code\":0,\"type\":\"MEET_APP_STOPPED\"}"});
  app->stopApplication();
  EXPECT_TRUE(vz::FileExists(host + "vzbridge"));
  for (const std::string& message : output_.Messages()) {
    EXPECT_EQ(message.find("NEED_UPDATE"), std::string::npos) << message;
  }
}

TEST_F(ApplicationTest, UnknownTextsComeBackAndStrayMessagesEndTheHost) {
  auto app = Make();
  EXPECT_EQ(Feed(*app, "not json at all"), 1);
  EXPECT_EQ(Feed(*app, "{\"notype\":1,  \"x\":[1,2]}"), 1);
  EXPECT_EQ(Feed(*app, "{\"type\":\"\"}"), 1);
  EXPECT_EQ(Feed(*app, "[\"type\"]"), 1);
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_APP_UPGRADEDISABLED\"}"), 1);
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_DS_REQUEST\"}"), 0);  // no pipe server
  const std::vector<std::string> messages = output_.NonLog();
  EXPECT_EQ(messages, (std::vector<std::string>{"not json at all", "{\"notype\":1,  \"x\":[1,2]}", "{\"type\":\"\"}",
                                                "[\"type\"]", "{\"code\":0,\"type\":\"MEET_APP_STOPPED\"}"}));
  const std::vector<std::string> all = output_.Messages();
  ASSERT_EQ(all.size(), 6u);
  EXPECT_TRUE(std::regex_search(all[4], std::regex("\"log\":\"\\.\\.win\\.\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] "
                                                   "\\[\\d+:\\d+\\] \\[host\\] Request ->MEET_APP_UPGRADEDISABLED\"")))
      << all[4];
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_APP_REQUEST_STOP\"}"), 0);
}

TEST_F(ApplicationTest, ATextHoldingAZeroByteComesBackWhole) {
  auto app = Make();
  const std::string not_json("{\"type\":\0\"MEET_DS_REQUEST\"}", 27);
  const std::string no_type("{\"x\":1}\0{\"type\":\"MEET_DS_REQUEST\"}", 34);
  const std::string leading_zero("\0not json", 9);
  EXPECT_EQ(Feed(*app, not_json), 1);
  EXPECT_EQ(Feed(*app, no_type), 1);
  EXPECT_EQ(Feed(*app, leading_zero), 1);
  EXPECT_EQ(output_.NonLog(), (std::vector<std::string>{not_json, no_type, leading_zero}));
}

TEST_F(ApplicationTest, OwnMessagesAreKnownHoweverTheirTypeIsWritten) {
  auto app = Make();
  // Each would end the host with "stopped" if it were taken for a relay
  // (there is no pipe server).
  EXPECT_EQ(Feed(*app, " {\"a\":[1,{\"type\":\"X\"}],\"type\":\"MEET_APP_UPGRADEDISABLED\"}\n"), 1);
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_DS_REQUEST\",\"type\":\"MEET_APP_UPGRADEDISABLE\\u0044\"}"), 1);
  EXPECT_TRUE(output_.NonLog().empty());
  EXPECT_EQ(Feed(*app, "{\"type\":\"MEET_APP_REQUEST_STO\\u0050\"}"), 0);
  EXPECT_TRUE(output_.NonLog().empty());
}

TEST_F(ApplicationTest, TheMessageLoopEndsOnEveryBrokenInputWithZero) {
  for (const std::string& input : {std::string(), std::string("\0\0\0\0", 4), std::string("\x03\x00", 2),
                                   std::string("\xff\xff\xff\xff", 4) + "abc", std::string("\x09\x00\x00\x00", 4) + "cut"}) {
    SCOPED_TRACE("input " + testing::PrintToString(input));
    auto app = Make();
    MemoryInput stream(Framed("echo") + input);
    EXPECT_EQ(app->RunMessageLoop(stream), 0);
  }
  EXPECT_EQ(output_.NonLog(), std::vector<std::string>(5, "echo"));
}

TEST_F(ApplicationTest, LauncherAndPipeReportsBecomeTheirMessages) {
  auto app = Make();
  app->onUpgradeProgress(40);
  app->OnReceiveBase64Data(7, "QUJD");
  app->OnReceiveReport("f.exception*body/\"x\"\x01");
  app->OnReceiveReport("no star");
  app->OnReceiveTextData("{\"code\":0,\"type\":\"X\"}");
  app->onSystemErrorCode(-5);
  EXPECT_EQ(output_.Messages(),
            (std::vector<std::string>{
                "{\"code\":0,\"type\":\"MEET_APP_UPGRADE_PROGRESS\",\"percent\":40}",
                "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":7,\"datacode\":\"QUJD\"}",
                "{\"code\":0,\"type\":\"MEET_APP_CRASHREPORT\",\"filename\":\"f.exception\","
                "\"report\":\"f.exception*body\\/\\\"x\\\"\\u0001\"}",
                "{\"code\":0,\"type\":\"X\"}",
                "{\"code\":4294967291,\"type\":\"PLUGIN_RESPONSE_SYSTEMERROR\"}"}));
  EXPECT_EQ(exit_.Codes(), std::vector<int>{0});
}

TEST_F(ApplicationTest, NothingOverTheBrowsersLimitIsWrittenAndTheHostGoesOn) {
  auto app = Make();
  // A crash report whose escaped form is six times its size is cut to fit,
  // after escaping, and stays valid JSON.
  const std::string report = "big.exception*" + std::string(300000, '\x01');
  app->OnReceiveReport(report);
  // Binary data and texts over the limit are refused.
  app->OnReceiveBase64Data(7, std::string(kNativeMessageMaxToBrowser + 1, 'A'));
  app->OnReceiveTextData("{\"type\":\"X\",\"pad\":\"" + std::string(kNativeMessageMaxToBrowser, 'p') + "\"}");
  app->OnReceiveBase64Data(7, "QUJD");
  const std::vector<std::string> messages = output_.NonLog();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_LE(messages[0].size(), kNativeMessageMaxToBrowser);
  EXPECT_GT(messages[0].size(), kNativeMessageMaxToBrowser - 8);
  const JsonDocument parsed = JsonParse(messages[0]);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(JsonGetString(parsed->members(), "filename"), "big.exception");
  const std::string kept = JsonGetString(parsed->members(), "report");
  EXPECT_EQ(kept, report.substr(0, kept.size()));
  EXPECT_EQ(messages[1], "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":7,\"datacode\":\"QUJD\"}");
}

// Binary data goes out as it lies when it is base64; anything that would
// break the JSON is escaped; and the envelope counts toward the limit.
TEST_F(ApplicationTest, BinaryDataStaysValidJsonAndWithinTheLimit) {
  auto app = Make();
  const std::string base64(100 * 1024, 'Q');
  app->OnReceiveBase64Data(1, base64);
  app->OnReceiveBase64Data(9, std::string("a\"b\\c\x01", 6));
  // Under the limit alone, over it with its envelope: refused, the host goes on.
  app->OnReceiveBase64Data(1, std::string(kNativeMessageMaxToBrowser - 20, 'B'));
  app->OnReceiveBase64Data(2, "QQ==");
  const std::vector<std::string> messages = output_.NonLog();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0], "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":1,\"datacode\":\"" + base64 + "\"}");
  const JsonDocument escaped = JsonParse(messages[1]);
  ASSERT_TRUE(escaped);
  EXPECT_EQ(JsonGetString(escaped->members(), "datacode"), std::string("a\"b\\c\x01", 6));
  EXPECT_EQ(messages[2], "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":2,\"datacode\":\"QQ==\"}");
}

TEST_F(ApplicationTest, AnExitWritesNothingMoreAndIsAskedForOnce) {
  auto app = Make();
  app->OnDisconnect();
  app->onLog("host", "after the end");
  app->OnReceiveTextData("{\"type\":\"LATE\"}");
  app->onSystemErrorCode(5);
  app->OnStartApplicationResult(2);
  EXPECT_EQ(Feed(*app, "not json"), 0);  // not echoed: the host ends
  EXPECT_EQ(output_.Messages(), std::vector<std::string>{"{\"code\":0,\"type\":\"MEET_APP_STOPPED\"}"});
  EXPECT_EQ(exit_.Codes(), std::vector<int>{0});
}

TEST_F(ApplicationTest, AMessageThatFailsByAnExceptionFailsAloneAndTheHostGoesOn) {
  auto app = Make();
  output_.throw_next = true;
  EXPECT_EQ(Feed(*app, "not json"), 1);  // its echo ran out of memory
  EXPECT_EQ(Feed(*app, "again"), 1);
  EXPECT_EQ(output_.NonLog(), std::vector<std::string>{"again"});
}

TEST_F(ApplicationTest, ItsOwnOperationsAreRefusedOffItsThread) {
  auto app = Make();
  int fed = -1;
  std::thread other([&] {
    fed = Feed(*app, "{\"type\":\"MEET_APP_REQUEST_STOP\"}");
    MemoryInput stream(Framed("echo"));
    app->RunMessageLoop(stream);
  });
  other.join();
  EXPECT_EQ(fed, 1);  // not the stop's 0: nothing was handled
  EXPECT_TRUE(output_.NonLog().empty());
  EXPECT_EQ(Feed(*app, "echo"), 1);
  EXPECT_EQ(output_.NonLog(), std::vector<std::string>{"echo"});
}

TEST_F(ApplicationTest, WithUpgradesDisabledTheClientBesideTheHostStartsAndLogsCarryTheMeeting) {
  auto app = Make();
  ASSERT_EQ(Feed(*app, "{\"type\":\"MEET_APP_UPGRADEDISABLED\"}"), 1);
  std::string once, package;
  vz::ScrambleHexText("application_pkg:/p/x.run;application_folder:F;application_ver:3.0.0.1;application_name:Hub",
                      4096, &once);
  vz::ScrambleHexText(once, 4096, &package);
  ASSERT_EQ(Feed(*app, std::string("{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"") + kOwnVersion +
                           "\",\"meetid\":\"M7\",\"rosterid\":\"R9\",\"domain\":\"http://h\",\"language\":\"\","
                           "\"application_pkg\":\"" + package + "\"}"),
            1);
  ASSERT_TRUE(output_.WaitFor("start application with result error [0]"));
  app->stopApplication();
  ASSERT_EQ(runner_.started.size(), 1u);
  EXPECT_EQ(runner_.started[0].path, ports_.launcher.paths.own_folder + "/Hub");
  EXPECT_TRUE(versions_.lookups.empty());
  EXPECT_EQ(runner_.started[0].argv[1], "/P:77");
  EXPECT_EQ(runner_.started[0].argv[3].rfind("/PN:\\\\.\\pipe\\", 0), 0u) << runner_.started[0].argv[3];

  app->OnReceiveLog(std::string(5000, 'z'));
  const std::string last = output_.Messages().back();
  EXPECT_NE(last.find("\"log\":\"M7.R9.win.["), std::string::npos) << last;
  EXPECT_NE(last.find("] [APP] zzz"), std::string::npos);
  EXPECT_LE(last.size(), 4095u + 64u);  // the line is cut at its 4,096-byte buffer
}

TEST_F(ApplicationTest, AStartWithMissingParametersSaysStoppedInsteadOfWaiting) {
  auto app = Make();
  ASSERT_EQ(Feed(*app, std::string("{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"") + kOwnVersion +
                           "\",\"meetid\":\"M1\",\"rosterid\":\"R1\"}"),
            1);
  EXPECT_EQ(exit_.WaitForCodes(), std::vector<int>{0});
  EXPECT_EQ(output_.NonLog(), std::vector<std::string>{"{\"code\":0,\"type\":\"MEET_APP_STOPPED\"}"});
  app->stopApplication();
}

TEST_F(ApplicationTest, APipeThatCannotBeMadeSaysStoppedInsteadOfWaiting) {
  const std::string not_a_folder = root_.path() + "/file";
  std::ofstream(not_a_folder) << "x";
  vz::ScopedEnvironmentVariable runtime("XDG_RUNTIME_DIR", not_a_folder.c_str());
  auto app = Make();
  EXPECT_EQ(Feed(*app, std::string("{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"") + kOwnVersion +
                           "\",\"meetid\":\"M1\",\"rosterid\":\"R1\"}"),
            0);
  EXPECT_EQ(output_.NonLog(), std::vector<std::string>{"{\"code\":0,\"type\":\"MEET_APP_STOPPED\"}"});
  EXPECT_TRUE(runner_.started.empty());
}

}  // namespace
